// The mail-program route: sendmail for sending at once, xdg-email for a compose window.
#include "RouteTestSupport.h"
#include "sender/modOutlookEMail.h"

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

}  // namespace

class TstOutlookRoute : public Fixture {
  Q_OBJECT
  std::unique_ptr<StandIns> s;

  void sendmailStandIn() { qputenv("VELKOR_SENDMAIL", s->add("sendmail").toUtf8()); }

 private slots:
  void init() {
    Fixture::init();
    s = std::make_unique<StandIns>(QStringList{"xdg-email"});
  }
  void cleanup() {
    qunsetenv("VELKOR_SENDMAIL");
    s.reset();
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
    QCOMPARE(s->calls("sendmail"), QList<QStringList>({{"-t", "-i"}}));
    QVERIFY(s->calls("xdg-email").isEmpty());

    QByteArray ulaz = s->input("sendmail");
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
    QVERIFY(s->calls("sendmail").isEmpty());
    const QList<QStringList> pozivi = s->calls("xdg-email");
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
    QVERIFY(s->calls("sendmail").isEmpty() && s->calls("xdg-email").isEmpty());
    s->exitWith("xdg-email", 3, "no mailer");
    QVERIFY(!posalji(false));
    QCOMPARE(dlg->last().text,
             greska("nije pronađen program za pisanje e-maila (xdg-email). no mailer"));

    s->onlyStandInsOnPath();
    QFile::remove(s->bin() + "/xdg-email");
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
    QVERIFY(s->calls("sendmail").isEmpty());

    // The local mail system refuses: its exit code and words are shown.
    s->exitWith("sendmail", 75, "queue file write error");
    QVERIFY(!posalji(true));
    QVERIFY2(dlg->last().text.startsWith("Desila se greška: sendmail je završio s greškom 75: "
                                       "queue file write error\r\n\r\n"),
             qPrintable(dlg->last().text));
    QCOMPARE(dlg->calls.size(), 7);
  }
};

QTEST_MAIN(TstOutlookRoute)
#include "tst_outlookroute.moc"
