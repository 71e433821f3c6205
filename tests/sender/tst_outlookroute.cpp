#include <QtTest>
#include <memory>

#include "RouteTestSupport.h"
#include "platform/SettingsStore.h"
#include "sender/frmSlanjeeMaila.h"
#include "sender/modOutlookEMail.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

using platform::SaveVelkorSetting;

namespace {

const QString kPodrska = QStringLiteral(
    "\r\n\r\nUkoliko je MS Outlook pokrenut pod drugim korisnikom, uskladite korisnike za velkor "
    "program i Outlook. Kontaktirajte velkor tim za podršku u slučaju potrebe.");
const QString kPredmet = QStringLiteral("Ponuda br. 5 – čćđšž ČĆĐŠŽ");

// The local mail system puts CR LF on the wire; the checker reads the message as sent.
QJsonObject checkSendmailInput(const StandIns& s, const TestEnv& env) {
  QByteArray text = s.input("sendmail");
  text.replace("\n", "\r\n");
  return checkMessage(env.writeFile("poslano.eml", text));
}

}  // namespace

class TstOutlookRoute : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env;

 private slots:
  void init() { env = std::make_unique<TestEnv>(); }
  void cleanup() {
    qunsetenv("VELKOR_SENDMAIL");
    env.reset();
  }

  void sendAtOnce_completeMessageToSendmail() {
    StandIns s({"xdg-email"});
    qputenv("VELKOR_SENDMAIL", s.add("sendmail").toUtf8());
    ScriptedDialogs d;
    const QString prvi = env->writeFile("Račun Đurđević.pdf", "%PDF-1.4 čćđ\n");
    QByteArray bajtovi(300000, '\0');
    for (int i = 0; i < bajtovi.size(); ++i) bajtovi[i] = char((i * 7919) >> 3);
    const QString treci = env->writeFile("slika.bin", bajtovi);
    const QString tijelo = QStringLiteral("Poštovani,\n.točka na početku\nPozdrav");

    QVERIFY(OutlookRouteSend(kPredmet, "ana@firma.hr;ivo@firma.hr", tijelo, prvi, "   ",
                             "tajni@firma.hr", false, "", treci, true));
    QVERIFY(d.calls.isEmpty());
    QCOMPARE(s.calls("sendmail"), QList<QStringList>({{"-t", "-i"}}));
    QVERIFY(s.calls("xdg-email").isEmpty());

    const QByteArray ulaz = s.input("sendmail");
    QVERIFY(!ulaz.contains('\r'));                  // Unix text for a Unix program
    QVERIFY(ulaz.contains("\n.to"));                 // no SMTP dot-stuffing
    QVERIFY(!ulaz.contains("\n..to"));
    QVERIFY(ulaz.contains("\nBcc: tajni@firma.hr\n") || ulaz.startsWith("Bcc: tajni@firma.hr\n"));
    const QJsonObject j = checkSendmailInput(s, *env);
    QCOMPARE(j.value("problems").toArray(), QJsonArray());
    QCOMPARE(j.value("subject").toString(), kPredmet);
    QCOMPARE(addressesOf(j, "to"), QStringList({"ana@firma.hr", "ivo@firma.hr"}));
    QVERIFY(!j.value("headers").toVariant().toStringList().contains("Cc"));  // blanks only
    QCOMPARE(j.value("text").toString(), QString(tijelo).replace("\n", "\r\n") + "\r\n");
    QCOMPARE(j.value("attachments").toArray().size(), 2);
    QCOMPARE(attachmentNamed(j, "Račun Đurđević.pdf").value("sha256").toString(), sha256OfFile(prvi));
    QCOMPARE(attachmentNamed(j, "slika.bin").value("sha256").toString(), sha256OfFile(treci));
    QVERIFY(QFile::exists(prvi) && QFile::exists(treci));
  }

  void display_composeWindowThroughXdgEmail_deletesWhenAsked() {
    StandIns s({"xdg-email"});
    qputenv("VELKOR_SENDMAIL", s.add("sendmail").toUtf8());
    ScriptedDialogs d;
    const QString prvi = env->writeFile("a.pdf", "a"), treci = env->writeFile("c d.pdf", "c");
    QVERIFY(OutlookRouteSend(kPredmet, "ana@firma.hr;ivo@firma.hr", "Red 1\nRed 2", prvi,
                             "marko@firma.hr", "  ", true, "  ", treci, false));
    QVERIFY(d.calls.isEmpty());
    QVERIFY(s.calls("sendmail").isEmpty());
    QCOMPARE(s.calls("xdg-email"),
             QList<QStringList>({{"--utf8", "--cc", "marko@firma.hr", "--subject", kPredmet,
                                  "--body", "Red 1\nRed 2", "--attach", prvi, "--attach", treci,
                                  "ana@firma.hr", "ivo@firma.hr"}}));
    // Deleted after success; the blank second path was skipped.
    QVERIFY(!QFile::exists(prvi));
    QVERIFY(!QFile::exists(treci));
  }

  void failures_boxNamesWhatIsMissing() {
    StandIns s({});
    s.onlyStandInsOnPath();
    qputenv("VELKOR_SENDMAIL", env->path("nema/sendmail").toUtf8());
    ScriptedDialogs d;
    QVERIFY(!OutlookRouteAvailable());
    QVERIFY(!OutlookRouteSend("P", "ana@firma.hr", "T", "", "", "", false, "", "", true));
    QCOMPARE(d.calls.size(), 1);
    QCOMPARE(d.last().text, "Desila se greška: nije pronađen ni program za slanje pošte "
                            "(sendmail) ni xdg-email." + kPodrska);
    QCOMPARE(d.last().icon, platform::MsgIcon::Exclamation);
    QCOMPARE(d.last().title, QString());

    // sendmail present, compose window wanted: xdg-email is named.
    qputenv("VELKOR_SENDMAIL", s.add("sendmail").toUtf8());
    QVERIFY(OutlookRouteAvailable());
    QVERIFY(!OutlookRouteSend("P", "ana@firma.hr", "T", "", "", "", false, "", "", false));
    QCOMPARE(d.last().text, "Desila se greška: nije pronađen program xdg-email." + kPodrska);

    // An unreadable attachment stops the item before anything is handed over.
    const QString nema = env->path("nema.pdf");
    QVERIFY(!OutlookRouteSend("P", "ana@firma.hr", "T", "", "", "", false, nema, "", true));
    QCOMPARE(d.last().text,
             "Desila se greška: datoteku priloga \"" + nema + "\" nije moguće pročitati." + kPodrska);
    QVERIFY(s.calls("sendmail").isEmpty());

    // The local mail system refuses: its exit code and words are shown.
    s.exitWith("sendmail", 75, "queue file write error");
    QVERIFY(!OutlookRouteSend("P", "ana@firma.hr", "T", "", "", "", false, "", "", true));
    QVERIFY2(d.last().text.startsWith("Desila se greška: sendmail je završio s greškom 75: "
                                      "queue file write error\r\n\r\n"),
             qPrintable(d.last().text));
    QCOMPARE(d.calls.size(), 4);
  }

  void xdgEmailFailure_described() {
    StandIns s({"xdg-email"});
    s.exitWith("xdg-email", 3, "no mailer");
    ScriptedDialogs d;
    QVERIFY(!OutlookRouteSend("P", "ana@firma.hr", "T", "", "", "", false, "", "", false));
    QCOMPARE(d.last().text, "Desila se greška: nije pronađen program za pisanje e-maila "
                            "(xdg-email). no mailer" + kPodrska);
  }

  // The send form's route 0: its one-time probe, the menu option and the result texts.
  void sendForm_route0() {
    StandIns s({"xdg-email"});
    qputenv("VELKOR_SENDMAIL", s.add("sendmail").toUtf8());
    ScriptedDialogs d;
    SaveVelkorSetting("mnuEmailPrekoOutlookaThunderSMTP", "0");
    SaveVelkorSetting("chkZatvoriFrmSlEmaila", "0");
    frmSlanjeeMaila::PostaviRute({});
    frmSlanjeeMaila* f = frmSlanjeeMaila::forma();
    f->Napuni("Ponuda", "kupac@firma.hr", "", "", "Tekst", "", "", "");
    f->cmdSlanje_Click();
    QVERIFY2(d.texts().contains("E-mail uspješno generiran!"), qPrintable(d.texts().join('|')));
    QCOMPARE(platform::VelkorSetting("ProvPostOutlook"), QString("1"));
    QCOMPARE(s.calls("sendmail").size(), 1);
    f->cmdPrekid_Click();

    // Nothing to hand the item to: the one-time check fails silently.
    platform::DeleteSetting("Velkor", "Settings", "ProvPostOutlook");
    StandIns nista({});
    nista.onlyStandInsOnPath();
    qputenv("VELKOR_SENDMAIL", env->path("nema").toUtf8());
    d.calls.clear();
    f = frmSlanjeeMaila::forma();
    f->Napuni("Ponuda", "kupac@firma.hr", "", "", "Tekst", "", "", "");
    f->cmdSlanje_Click();
    QCOMPARE(d.texts(), QStringList({"E-mail nije uspješno generiran!"}));
    QCOMPARE(platform::VelkorSetting("ProvPostOutlook", "0"), QString("0"));
    f->cmdPrekid_Click();
  }
};

QTEST_MAIN(TstOutlookRoute)
#include "tst_outlookroute.moc"
