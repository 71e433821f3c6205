// The session object's properties, stored settings and error list; no network is used
// (every Send here stops at the checks before connecting).
#include <QFile>
#include <QSettings>
#include <QTest>

#include "SendMailFixture.h"
#include "mail/ErrorList.h"
#include "platform/SettingsStore.h"
#include "support/TestEnv.h"

namespace {

QString storedValue(const char* key) { return platform::GetSetting("Kestrova", "Settings", key, "<none>"); }

}  // namespace

class TstSendMailProperties : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env_;

 private slots:
  void init() { env_ = std::make_unique<TestEnv>(); }

  void defaultsUnderTheirNames() {
    clsSendMail m;
    const QList<QPair<const char*, QVariant>> expected = {
        {"AsHTML", false},     {"ConnectRetry", 4},      {"ConnectTimeout", 40},    {"Delimiter", ";"},
        {"EmailAddressValidation", 1}, {"EncodeType", 0}, {"MaxRecipients", 100},   {"MessageTimeout", 60},
        {"PersistentSettings", false}, {"Priority", 3},  {"Receipt", false},       {"SMTPHostValidation", 3},
        {"SmtpPort", 25},      {"UseAuthentication", false}, {"UsePopAuthentication", false}, {"from", ""},
        {"SMTPHost", ""},      {"Recipient", ""}};
    for (const auto& [name, value] : expected) QVERIFY2(m.property(name) == value, name);
    QVERIFY(m.pendingErrors().isEmpty());
    QVERIFY(!QFile::exists(platform::settingsFilePath("Kestrova")));
  }

  void rangesKeepOldValueButStoreWhatWasPassed() {
    clsSendMail m;
    m.setPersistentSettings(true);
    m.setConnectRetry(21);
    QCOMPARE(m.ConnectRetry(), 4);
    QCOMPARE(storedValue("ConnectRetry"), QString("21"));
    m.setConnectRetry(20);
    QCOMPARE(m.ConnectRetry(), 20);
    m.setConnectRetry(0);
    QCOMPARE(m.ConnectRetry(), 20);
    m.setConnectTimeout(121);
    QCOMPARE(m.ConnectTimeout(), 40);
    QCOMPARE(storedValue("ConnectTimeout"), QString("121"));
    m.setMaxRecipients(-7);
    QCOMPARE(m.MaxRecipients(), 7);
    m.setMessageTimeout(-30);
    QCOMPARE(m.MessageTimeout(), 30);
  }

  void badPortBlocksNextSendUntilFixed() {
    clsSendMail m;
    EventLog log(m);
    m.setFrom("a@velkor.hr");
    m.setRecipient("b@kupac.hr");
    m.setSmtpPort(0);
    QCOMPARE(m.SmtpPort(), 25);
    m.Send();
    QCOMPARE(log.explanation, QString("Pogrešan Remote Port\r\n"));
    QVERIFY(m.pendingErrors().isEmpty());  // the report emptied the list
    m.setSmtpPort(65536);
    QCOMPARE(m.pendingErrors(), QStringList{"Pogrešan Remote Port"});
    m.setSmtpPort(2525);
    QCOMPARE(m.SmtpPort(), 2525);
    QVERIFY(m.pendingErrors().isEmpty());
  }

  void listsSplitCleanAndJoin() {
    clsSendMail m;
    m.setRecipient("a@kupac.hr; b@kupac.hr");
    m.setCcRecipient(" c@kup\tac.hr\r\n");
    QCOMPARE(m.CcRecipient(), QString("c@kupac.hr"));
    m.setDelimiter(", ");
    QCOMPARE(m.Recipient(), QString("a@kupac.hr,b@kupac.hr"));
    QVERIFY(m.pendingErrors().isEmpty());
    m.setEmailAddressValidation(0);
    m.setRecipient("bez-monkey");
    QVERIFY(m.pendingErrors().isEmpty());
    m.setEmailAddressValidation(1);
    m.setRecipient("bez-monkey");
    QCOMPARE(m.pendingErrors(), QStringList{"Pogrešna ili nedostaje E-mail adresa primatelja"});
  }

  void checksBeforeSendReportTogetherInOrder() {
    clsSendMail m;
    EventLog log(m);
    m.setCcRecipient("nije adresa");  // a setter's message comes first
    m.setAsHTML(true);
    m.setEncodeType(1);
    m.Send();
    QCOMPARE(log.failures, 1);
    QCOMPARE(log.explanation, QString("Pogrešan Cc: E-mail adresa\r\n"
                                      "Pogrešna ili nedostaje E-mail adresa pošiljatelja\r\n"
                                      "Slanje HTML poruke zahtijeva MIME encoding\r\n"));
    QVERIFY(log.statuses().isEmpty());
  }

  void recipientCount() {
    clsSendMail m;
    EventLog log(m);
    m.setFrom("a@velkor.hr");
    const auto list = [](const char* prefix, int n) {
      QStringList l;
      for (int i = 0; i < n; ++i) l << QString("%1%2@kupac.hr").arg(prefix).arg(i);
      return l.join(';');
    };
    m.setRecipient(list("t", 60));
    m.setCcRecipient(list("c", 30));
    m.setBccRecipient(list("b", 11));  // 101 in all
    m.Send();
    QCOMPARE(log.explanation, QString("Previše primatelja\r\n"));
    m.setRecipient("");
    m.setCcRecipient("");
    m.setBccRecipient("");
    m.Send();
    QCOMPARE(log.explanation, QString("Nije unesena E-mail adresa primatelja\r\n"));
  }

  void errorListHoldsEachTextOnce() {
    mail::ErrorList e;
    e.add("Previše primatelja");
    e.add("PREVIŠE PRIMATELJA");
    e.add("Drugo");
    QCOMPARE(e.entries(), QStringList({"Previše primatelja", "Drugo"}));
    e.remove("previše primatelja");
    e.add("Treće");
    QCOMPARE(e.take(), QString("Drugo\r\nTreće\r\n"));
    QVERIFY(e.isEmpty());
  }

  void priorityWordAndContentBase() {
    clsSendMail m;
    const QList<QPair<int, QString>> words = {{1, "High"}, {5, "Low"}, {2, "Low"}, {3, "Normal"}};
    for (const auto& [priority, word] : words) {
      m.setPriority(priority);
      QCOMPARE(m.priorityWord(), word);
    }
    m.setContentBase("www.velkor.hr\\slike");
    QCOMPARE(m.ContentBase(), QString("http://www.velkor.hr/slike/"));
    m.setContentBase("HTTP://velkor.hr/");
    QCOMPARE(m.ContentBase(), QString("HTTP://velkor.hr/"));
  }

  void attachmentMustExist() {
    clsSendMail m;
    const QString a = env_->writeFile("racun.pdf", "%PDF");
    m.setAttachment(a + ";" + env_->path("nema.pdf"));
    QCOMPARE(m.pendingErrors(), QStringList{"Datoteka koju ste pokušali da prikačite ne postoji"});
    m.setAttachment(env_->path());  // a directory is no file either
    QCOMPARE(m.pendingErrors().size(), 1);
    m.setAttachment(a);
    QVERIFY(m.pendingErrors().isEmpty());
  }

  void hostSetterAndValidationMode() {
    clsSendMail m;
    m.setSMTPHostValidation(1);
    m.setSMTPHost("mail.velkor.hr");
    m.setSMTPHost("posta");  // one label: refused, the old host stays
    QCOMPARE(m.SMTPHost(), QString("mail.velkor.hr"));
    QCOMPARE(m.pendingErrors(), QStringList{"Pogrešan ili nedostaje SMTP Host Name"});
    m.setSMTPHost(QString("127.0.0.1") + QChar(0));
    QCOMPARE(m.SMTPHost(), QString("127.0.0.1"));
    QVERIFY(m.pendingErrors().isEmpty());
    m.setSMTPHostValidation(0);
    m.setSMTPHost("posta");
    QCOMPARE(m.SMTPHost(), QString("posta"));
    m.setSMTPHostValidation(1);  // applied to the host at once
    QCOMPARE(m.pendingErrors(), QStringList{"Pogrešan ili nedostaje SMTP Host Name"});
  }

  void settingsPersistOnlyWhileOn() {
    {
      clsSendMail m;
      m.setFrom("nije-spremljeno@velkor.hr");
      QVERIFY(!QFile::exists(platform::settingsFilePath("Kestrova")));
      m.setPersistentSettings(true);
      m.setFrom(" prodaja@velkor.hr ");
      m.setSMTPHostValidation(0);
      m.setSMTPHost("127.0.0.10");
      m.setSmtpPort(2525);
      m.setUserName("korisnik");
      m.setPassword("tajna");
      m.setUseAuthentication(true);
      m.setMaxRecipients(0);
      m.setPersistentSettings(false);  // not written: the stored "-1" stays
      m.setConnectRetry(9);
    }
    QCOMPARE(storedValue("PersistentSettings"), QString("-1"));
    QCOMPARE(storedValue("From"), QString(" prodaja@velkor.hr "));
    QCOMPARE(storedValue("UseAuthentication"), QString("-1"));
    QCOMPARE(storedValue("ConnectRetry"), QString("<none>"));
    QVERIFY(!QSettings(platform::settingsFilePath("Kestrova"), QSettings::IniFormat)
                 .allKeys().join(' ').contains("tajna", Qt::CaseInsensitive));
    clsSendMail again;
    QVERIFY(again.PersistentSettings());
    QCOMPARE(again.from(), QString(" prodaja@velkor.hr "));  // read as stored
    QCOMPARE(again.SMTPHost(), QString("127.0.0.10"));
    QCOMPARE(again.SmtpPort(), 2525);
    QCOMPARE(again.UserName(), QString("korisnik"));
    QCOMPARE(again.Password(), QString());
    QVERIFY(again.UseAuthentication());
    QCOMPARE(again.MaxRecipients(), 100);  // a stored 0 is no limit to keep
    QCOMPARE(again.SMTPHostValidation(), 0);
  }

  void messageIsPreparedWhenAssigned() {
    clsSendMail m;
    m.setMessage(".\r\n" + QString(2500, 'a'));
    QCOMPARE(m.message().left(1004), "..\r\n" + QString(998, 'a') + "\r\n");
  }
};

QTEST_GUILESS_MAIN(TstSendMailProperties)
#include "tst_sendmail_properties.moc"
