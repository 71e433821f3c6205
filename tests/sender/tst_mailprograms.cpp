// The routes through the desktop's mail programs, with recording stand-ins: sendmail for
// sending at once and xdg-email for a compose window; Thunderbird and the keystroke tool.
#include <QElapsedTimer>

#include "RouteTestSupport.h"
#include "sender/modOutlookEMail.h"
#include "sender/modThunderBirdEMail.h"

using namespace sender;
namespace {

const QString kPredmet = "Ponuda br. 5 – čćđšž ČĆĐŠŽ";

QString greska(const QString& opis) {
  return "Desila se greška: " + opis +
         "\r\n\r\nUkoliko je MS Outlook pokrenut pod drugim korisnikom, uskladite korisnike za "
         "velkor program i Outlook. Kontaktirajte velkor tim za podršku u slučaju potrebe.";
}

bool posalji(bool odmah, const QString& a2 = "") {
  return OutlookRouteSend("P", "ana@firma.hr", "T", "", "", "", false, a2, "", odmah);
}


const QString kPosiljatelj = "Ana Anić <ana@firma.hr>";

// Thunderbird's reading of the -compose argument: a comma outside quotes ends a field, and
// so does the value's opening quote character met again before a comma or the end; a quoted
// value is taken as it is, any other percent-decoded. Later duplicates are kept apart (key#).
QMap<QString, QString> composeFields(const QString& a) {
  QStringList parts(1);
  QChar quote, prev;
  for (qsizetype i = 0; i < a.size(); prev = a[i++]) {
    const QChar c = a[i], next = i + 1 < a.size() ? a[i + 1] : QChar();
    if (!quote.isNull() && c == quote && (next == ',' || next.isNull()))
      quote = QChar();
    else if ((c == '\'' || c == '"') && prev == '=' && quote.isNull())
      quote = c;
    else if (c == ',' && quote.isNull()) {
      parts << QString();
      continue;
    }
    parts.last() += c;
  }
  QMap<QString, QString> out;
  for (const QString& p : parts) {
    const qsizetype eq = p.indexOf('=');
    if (eq < 0) continue;
    QString k = p.left(eq), v = p.mid(eq + 1);
    while (out.contains(k)) k += '#';
    const bool quoted = v.size() > 1 && v.startsWith('\'') && v.endsWith('\'');
    out[k] = quoted ? v.mid(1, v.size() - 2) : QUrl::fromPercentEncoding(v.toUtf8());
  }
  return out;
}

// xdotool as the route meets it: a search by Thunderbird's class finds its window 11, and
// after the start also the compose window 4242 when one opens; a search by title finds the
// host's own window 777, which shares the subject.
void xdotoolStandIn(StandIns& s, bool prozorSeOtvara) {
  const QString put = s.bin() + "/xdotool";
  QFile::remove(put);
  QFile f(put);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(R"(#!/bin/sh
PATH=/usr/bin:/bin
d=$VELKOR_STANDIN_DIR
i=1; while [ -e "$d/xdotool.$i.args" ]; do i=$((i + 1)); done
printf '%s\0' "$@" > "$d/xdotool.$i.args"
case " $* " in
  *" --class "*) echo 11; [ $i -gt 1 ] && [ -e "$d/../prozor" ] && echo 4242 ;;
  *" search "*) echo 777 ;;
esac
exit 0
)");
  f.close();
  f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  if (prozorSeOtvara) QFile(s.bin() + "/../prozor").open(QIODevice::WriteOnly);
}

const QStringList kTrazenje{"search", "--onlyvisible", "--class", "thunderbird"};

}  // namespace

class TstMailPrograms : public Fixture {
  Q_OBJECT
  std::unique_ptr<StandIns> ms;  // xdg-email, and sendmail when asked

  void sendmailStandIn() { qputenv("VELKOR_SENDMAIL", ms->add("sendmail").toUtf8()); }

 private slots:
  void init() {
    Fixture::init();
    ms = std::make_unique<StandIns>(QStringList{"xdg-email"});
  }
  void cleanup() {
    qunsetenv("VELKOR_SENDMAIL");
    ms.reset();
    Fixture::cleanup();
  }

  void sendAtOnce_completeMessageToSendmail() {
    sendmailStandIn();
    const QString prvi = env->writeFile("Račun Đurđević.pdf", "%PDF-1.4 čćđ\n");
    const QString treci = env->writeFile("slika.bin", binaryBytes(300000));
    const QString tijelo = "Poštovani,\n.točka na početku\nPozdrav";
    QVERIFY(OutlookRouteSend(kPredmet, "ana@firma.hr;ivo@firma.hr", tijelo, prvi, "   ",
                             "tajni@firma.hr", false, "", treci, true));
    QVERIFY(dlg->calls.isEmpty());
    QCOMPARE(ms->calls("sendmail"), QList<QStringList>({{"-t", "-i"}}));
    QVERIFY(ms->calls("xdg-email").isEmpty());

    QByteArray ulaz = ms->input("sendmail");
    QVERIFY(!ulaz.contains('\r'));                                // Unix text for a Unix program
    QVERIFY(ulaz.contains("\n.to") && !ulaz.contains("\n..to"));  // no SMTP dot-stuffing
    QVERIFY(ulaz.contains("\nBcc: tajni@firma.hr\n") || ulaz.startsWith("Bcc: tajni@firma.hr\n"));
    // The local mail system puts CR LF on the wire; the checker reads the message as sent.
    const QJsonObject j = cleanMessage(env->writeFile("poslano.eml", ulaz.replace("\n", "\r\n")));
    QCOMPARE(j.value("subject").toString(), kPredmet);
    QCOMPARE(fields(j, "to", "address"), QStringList({"ana@firma.hr", "ivo@firma.hr"}));
    QVERIFY(!j.value("headers").toVariant().toStringList().contains("Cc"));  // blanks only
    QCOMPARE(j.value("text").toString(), QString(tijelo).replace("\n", "\r\n") + "\r\n");
    QCOMPARE(fields(j, "attachments", "filename"),
             QStringList({"Račun Đurđević.pdf", "slika.bin"}));
    QCOMPARE(fields(j, "attachments", "sha256"),
             QStringList({sha256Of(readWholeFile(prvi)), sha256Of(readWholeFile(treci))}));
  }

  // xdg-email gets one mailto URL of ours: an address cannot add fields to it, and the files
  // are private copies that outlive the caller's deleting its own.
  void display_composeWindowThroughXdgEmail_deletesWhenAsked() {
    sendmailStandIn();
    const QString prvi = env->writeFile("a.pdf", "a"), treci = env->writeFile("c d&e.pdf", "c");
    const QString zamka = "mailto:ivo@firma.hr?attach=/etc/shadow&x=";
    QVERIFY(OutlookRouteSend(kPredmet, "ana@firma.hr;" + zamka, "Red 1\nRed 2 & više", prvi,
                             "marko@firma.hr", "  ", true, "  ", treci, false));
    QVERIFY(dlg->calls.isEmpty());
    QVERIFY(ms->calls("sendmail").isEmpty());
    const QList<QStringList> pozivi = ms->calls("xdg-email");
    QCOMPARE(pozivi.size(), 1);
    QCOMPARE(pozivi[0].size(), 2);
    QCOMPARE(pozivi[0][0], "--utf8");
    const QUrl url(pozivi[0][1]);
    QCOMPARE(url.scheme(), "mailto");
    QCOMPARE(url.path(QUrl::FullyDecoded), "ana@firma.hr," + zamka);
    QList<QPair<QString, QString>> polja = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    QStringList prilozi;
    for (qsizetype i = polja.size() - 1; i >= 0; --i)
      if (polja[i].first == "attach") prilozi.prepend(polja.takeAt(i).second);
    QCOMPARE(polja, (QList<QPair<QString, QString>>{{"cc", "marko@firma.hr"},
                                                     {"subject", kPredmet},
                                                     {"body", "Red 1\r\nRed 2 & više"}}));
    // Deleted after success (the blank second path skipped); the copies stay for the window.
    QVERIFY(!QFile::exists(prvi) && !QFile::exists(treci));
    QCOMPARE(prilozi.size(), 2);
    QCOMPARE(QFileInfo(prilozi[1]).fileName(), "c d&e.pdf");
    QCOMPARE(readWholeFile(prilozi[0]) + readWholeFile(prilozi[1]), QByteArray("ac"));
    QCOMPARE(QFileInfo(QFileInfo(prilozi[0]).path() + "/..").permissions() & 0077, 0);
  }

  void failures_boxNamesWhatIsMissing() {
    // A line break in an address list stops the item before any program sees it.
    sendmailStandIn();
    for (const bool odmah : {false, true}) {
      QVERIFY(!OutlookRouteSend("P", "ana@firma.hr", "T", "", "", "arhiva@firma.hr\n\nLazni.tekst",
                                false, "", "", odmah));
      QCOMPARE(dlg->last().text, greska("adresa \"arhiva@firma.hr Lazni.tekst\" sadrži prijelom retka."));
    }
    QVERIFY(ms->calls("sendmail").isEmpty() && ms->calls("xdg-email").isEmpty());
    ms->exitWith("xdg-email", 3, "no mailer");
    QVERIFY(!posalji(false));
    QCOMPARE(dlg->last().text,
             greska("nije pronađen program za pisanje e-maila (xdg-email). no mailer"));

    ms->onlyStandInsOnPath();
    QFile::remove(ms->bin() + "/xdg-email");
    qputenv("VELKOR_SENDMAIL", env->path("nema/sendmail").toUtf8());
    QVERIFY(!OutlookRouteAvailable());
    QVERIFY(!posalji(true));
    QCOMPARE(dlg->last().text,
             greska("nije pronađen ni program za slanje pošte (sendmail) ni xdg-email."));
    QCOMPARE(dlg->last().icon, platform::MsgIcon::Exclamation);
    QCOMPARE(dlg->last().title, QString());

    // sendmail present, compose window wanted: xdg-email is named.
    sendmailStandIn();
    QVERIFY(OutlookRouteAvailable());
    QVERIFY(!posalji(false));
    QCOMPARE(dlg->last().text, greska("nije pronađen program xdg-email."));

    // An unreadable attachment stops the item before anything is handed over.
    const QString nema = env->path("nema.pdf");
    QVERIFY(!posalji(true, nema));
    QCOMPARE(dlg->last().text, greska("datoteku priloga \"" + nema + "\" nije moguće pročitati."));
    QVERIFY(ms->calls("sendmail").isEmpty());

    // The local mail system refuses: its exit code and words are shown.
    ms->exitWith("sendmail", 75, "queue file write error");
    QVERIFY(!posalji(true));
    QVERIFY2(dlg->last().text.startsWith("Desila se greška: sendmail je završio s greškom 75: "
                                       "queue file write error\r\n\r\n"),
             qPrintable(dlg->last().text));
    QCOMPARE(dlg->calls.size(), 7);
  }
  void composeArgument_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("cc");               // "-": absent
    QTest::addColumn<QStringList>("attachments");  // none: absent
    QTest::addColumn<QString>("items");            // from cc to the sender
    QTest::addColumn<bool>("tipka");
    QTest::newRow("three attachments empty; keystroke to the window found by its subject")
        << "Poštovani" << "" << QStringList{"", "", ""} << "cc='',bcc=''" << true;
    QTest::newRow("boxes 1 and 3: one item, one comma between")
        << "T" << "c@d.hr" << QStringList{"/tmp/Račun 1.pdf", "", "/tmp/3.xlsx"}
        << "cc='c@d.hr',bcc='',attachment='/tmp/Račun 1.pdf,/tmp/3.xlsx'" << false;
    QTest::newRow("quote and line break unchanged, absent items give nothing")
        << "Red 1\nRed 2 \\n it's, \"x\"" << "-" << QStringList{} << "bcc=''" << false;
  }
  void composeArgument() {
    QFETCH(QString, body);
    QFETCH(QString, cc);
    QFETCH(QStringList, attachments);
    QFETCH(QString, items);
    QFETCH(bool, tipka);
    StandIns s({"thunderbird"});
    xdotoolStandIn(s, true);
    QVERIFY(PronadjiThunderbird());
    QElapsedTimer t;
    t.start();
    QVERIFY(TB_SendEmail(
        QString("kupac@firma.hr"), QString("Račun O'Brien (17) [$]."), body,
        cc == "-" ? std::nullopt : std::optional(cc), QString(""),
        attachments.isEmpty() ? std::nullopt : std::optional<TBAttachments>(attachments),
        kPosiljatelj, tipka));
    QTRY_COMPARE(s.calls("thunderbird").size(), 1);  // started detached
    const QStringList argv = s.calls("thunderbird").at(0);
    QCOMPARE(argv.size(), 2);
    const QString file = composeFields(argv[1]).value("message");
    QCOMPARE(argv[1], "to='kupac@firma.hr',subject='Račun O'Brien (17) [$].',message='" + file +
                          "'," + items + ",from='Ana Anić <ana@firma.hr>',format=1,");
    QCOMPARE(QString::fromUtf8(readWholeFile(file)), body);
    const QStringList tipke{"windowactivate", "--sync", "4242", "key", "--clearmodifiers", "ctrl+shift+Return"};
    QCOMPARE(s.calls("xdotool"), tipka ? QList<QStringList>({kTrazenje, kTrazenje, tipke}) : QList<QStringList>());
    QVERIFY(!tipka || t.elapsed() >= 1000);  // the window is given time to open
    QVERIFY(dlg->calls.isEmpty());
  }

  // Text that would end its field in Thunderbird's reading stays inside it. Thunderbird
  // reads the files after the route has returned and the form has deleted the host's
  // report: it gets copies; a path that names no file goes as it was given.
  void noValueEndsItsField_attachmentsCopied() {
    StandIns s({"thunderbird"});
    const QString inj = "x',attachment='/home/user/.ssh/id_rsa";
    const QString izvjestaj = env->writeFile("Račun a,b.pdf", "%PDF čćđ");
    const QStringList files{izvjestaj, "", "/nema/O'Brien's',c.txt"};
    QVERIFY(TB_SendEmail("to" + inj, "subject" + inj, "body" + inj, "cc" + inj, "bcc" + inj,
                         TBAttachments(files), "from" + inj, false));
    QTRY_COMPARE(s.calls("thunderbird").size(), 1);
    QFile::remove(izvjestaj);
    const QStringList argv = s.calls("thunderbird").at(0);
    QCOMPARE(argv.size(), 2);
    const QMap<QString, QString> f = composeFields(argv[1]);
    QCOMPARE(f.keys(), QStringList({"attachment", "bcc", "cc", "format", "from", "message",
                                    "subject", "to"}));
    for (const char* k : {"to", "subject", "cc", "bcc", "from"}) QCOMPARE(f[k], k + inj);
    QStringList attached;
    for (const QString& a : f["attachment"].split(','))
      attached << (a.startsWith("file:") ? QUrl(a).toLocalFile() : a);
    QCOMPARE(attached.size(), 2);
    QCOMPARE(QFileInfo(attached[0]).fileName(), "Račun a,b.pdf");
    QCOMPARE(readWholeFile(attached[0]), QByteArray("%PDF čćđ"));
    QCOMPARE(attached[1], files[2]);
    QCOMPARE(QString::fromUtf8(readWholeFile(f["message"])), "body" + inj);
  }

  // No box but these; a keystroke never goes anywhere but to a new compose window.
  void errorBoxes_data() {
    QTest::addColumn<QString>("kvar");
    QTest::addColumn<QString>("naslov");
    QTest::addColumn<QString>("pocetak");
    QTest::addColumn<QString>("kraj");
    const QString greska = "Nastala je slijedeća greška:\r\n\r\nError Number: ";
    const QString nastala = "Nastala je greška!", izvor = "\r\nError Source: TB_SendEmail\r\n";
    QTest::newRow("keystroke fails")
        << "tipka" << nastala
        << greska + "3" + izvor + "Error Description: Tipke nije moguće poslati (xdotool): Can't open display"
        << "\r\nLine No: 7";
    QTest::newRow("no compose window: not reported done")
        << "prozor" << nastala << greska + "1" + izvor
        << "Error Description: Prozor za pisanje poruke nije se otvorio na vrijeme.\r\nLine No: 7";
    QTest::newRow("line break in an address")
        << "prijelom" << nastala << greska + "53" + izvor
        << "Error Description: Adresa \"arhiva@firma.hr Lazni.tekst\" sadrži prijelom retka.\r\nLine No: 1";
    QTest::newRow("program named by the setting cannot start")
        << "pokvaren" << nastala << greska + "53" + izvor << "\r\nLine No: 6";
    QTest::newRow("program not found")  // from the look-up and from the send alike
        << "nema"
        << "Operacija prekinuta!"
        << "Nije moguće odrediti Thunderbird.exe lokaciju.\r\n\r\nProvjerite da li je "
           "Thunderbird instaliran i pokušajte ponovno.\r\nInače, kontaktirajte velkor za "
           "daljnju pomoć."
        << "pomoć.";
  }
  void errorBoxes() {
    QFETCH(QString, kvar);
    QFETCH(QString, pocetak);
    QFETCH(QString, kraj);
    StandIns s({"thunderbird", "xdotool"});
    s.exitWith("xdotool", 3, "Can't open display");
    if (kvar == "prozor") xdotoolStandIn(s, false);
    if (kvar == "pokvaren") {
      const QString pokvaren = env->writeFile("tb/thunderbird", "#!/nema/takvog/tumaca\n");
      QFile::setPermissions(pokvaren, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
      core::SaveVelkorSetting("PutanjaThunderbird", pokvaren);
    } else if (kvar == "nema") {
      QFile::remove(s.bin() + "/thunderbird");
      s.onlyStandInsOnPath();
      QVERIFY(!PronadjiThunderbird());
    }
    QVERIFY(!TB_SendEmail(QString("kupac@firma.hr"), QString("Račun 17.2026"), QString("Poštovani"),
                          QString(""), QString(kvar == "prijelom" ? "arhiva@firma.hr\n\nLazni.tekst" : ""),
                          TBAttachments(QStringList{"", "", ""}), kPosiljatelj,
                          kvar == "tipka" || kvar == "prozor"));
    QCOMPARE(s.calls("thunderbird").size(), kvar == "prozor" ? 1 : 0);
    for (const QStringList& c : s.calls("xdotool")) QCOMPARE(c, kTrazenje);
    QCOMPARE(dlg->calls.size(), kvar == "nema" ? 2 : 1);
    for (const DialogCall& c : dlg->calls) {
      QTEST(c.title, "naslov");
      QCOMPARE(c.icon, platform::MsgIcon::Critical);
      QVERIFY2(c.text.startsWith(pocetak) && c.text.endsWith(kraj), qPrintable(c.text));
    }
  }
};

QTEST_MAIN(TstMailPrograms)
#include "tst_mailprograms.moc"
