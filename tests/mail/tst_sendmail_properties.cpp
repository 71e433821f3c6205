// The session object's properties, stored settings and error list; no network is used
// (every Send here stops at the checks before connecting).
#include <QFile>
#include <QSettings>
#include <QTest>

#include <functional>

#include "SendMailFixture.h"
#include "core/SettingsStore.h"
#include "support/TestEnv.h"

using Setup = std::function<void(clsSendMail&)>;
Q_DECLARE_METATYPE(Setup)

namespace {

QString storedValue(const char* key) { return platform::GetSetting("Kestrova", "Settings", key, "<none>"); }

QString addresses(const char* prefix, int n) {
  QStringList l;
  for (int i = 0; i < n; ++i) l << QString("%1%2@kupac.hr").arg(prefix).arg(i);
  return l.join(';');
}

}  // namespace

class TstSendMailProperties : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env_;

 private slots:
  void init() { env_ = std::make_unique<TestEnv>(); }

  void rangesKeepOldValueButStoreWhatWasPassed() {
    clsSendMail m;
    m.setPersistentSettings(true);
    m.setConnectRetry(21);
    QCOMPARE(m.ConnectRetry(), 4);
    QCOMPARE(storedValue("ConnectRetry"), QString("21"));
    m.setConnectRetry(20);
    m.setConnectRetry(0);
    QCOMPARE(m.ConnectRetry(), 20);
    m.setConnectTimeout(121);
    QCOMPARE(m.ConnectTimeout(), 40);
    m.setMaxRecipients(-7);
    QCOMPARE(m.MaxRecipients(), 7);
    m.setMessageTimeout(-30);
    QCOMPARE(m.MessageTimeout(), 30);
    m.setSmtpPort(65536);
    QCOMPARE(m.SmtpPort(), 25);
    QCOMPARE(m.pendingErrors(), QStringList{"Pogrešan Remote Port"});
    m.setSmtpPort(2525);  // a good value takes its error back
    QCOMPARE(m.SmtpPort(), 2525);
    QVERIFY(m.pendingErrors().isEmpty());
  }

  void checksBeforeSend_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("explanation");
    QTest::newRow("port") << Setup([](clsSendMail& m) { m.setSmtpPort(0); }) << "Pogrešan Remote Port\r\n";
    QTest::newRow("together, a setter's first") << Setup([](clsSendMail& m) {
      m.setCcRecipient("nije adresa");
      m.setFrom("");
      m.setAsHTML(true);
      m.setEncodeType(1);
    }) << "Pogrešan Cc: E-mail adresa\r\nPogrešna ili nedostaje E-mail adresa pošiljatelja\r\n"
          "Slanje HTML poruke zahtijeva MIME encoding\r\n";
    QTest::newRow("101 recipients") << Setup([](clsSendMail& m) {
      m.setRecipient(addresses("t", 60));
      m.setCcRecipient(addresses("c", 30));
      m.setBccRecipient(addresses("b", 11));
    }) << "Previše primatelja\r\n";
    const QString missing = "Datoteka koju ste pokušali da prikačite ne postoji\r\n";
    QTest::newRow("missing attachment") << Setup([this](clsSendMail& m) {
      m.setAttachment(env_->writeFile("racun.pdf", "%PDF") + ";" + env_->path("nema.pdf"));
    }) << missing;
    QTest::newRow("directory attached") << Setup([this](clsSendMail& m) { m.setAttachment(env_->path()); })
                                        << missing;
  }
  void checksBeforeSend() {
    QFETCH(Setup, setup);
    QFETCH(QString, explanation);
    clsSendMail m;
    EventLog log(m);
    m.setFrom("a@velkor.hr");
    m.setRecipient("b@kupac.hr");
    setup(m);
    m.Send();
    QCOMPARE(log.failures, 1);
    QCOMPARE(log.explanation, explanation);
    QVERIFY(log.statuses().isEmpty());
    QVERIFY(m.pendingErrors().isEmpty());  // the report emptied the list
  }

  void listsSplitCleanAndJoin() {
    clsSendMail m;
    m.setRecipient("a@kupac.hr; b@kupac.hr");
    m.setCcRecipient(" c@kup\tac.hr\r\n");
    QCOMPARE(m.CcRecipient(), QString("c@kupac.hr"));
    m.setDelimiter(", ");
    QCOMPARE(m.Recipient(), QString("a@kupac.hr,b@kupac.hr"));
    m.setEmailAddressValidation(0);
    m.setRecipient("bez-monkey");
    QVERIFY(m.pendingErrors().isEmpty());
  }

  void priorityWordAndContentBase() {
    clsSendMail m;
    for (const auto& [priority, word] : {std::pair{1, "High"}, {5, "Low"}, {2, "Low"}, {3, "Normal"}}) {
      m.setPriority(priority);
      QCOMPARE(m.priorityWord(), QString(word));
    }
    m.setContentBase("www.velkor.hr\\slike");
    QCOMPARE(m.ContentBase(), QString("http://www.velkor.hr/slike/"));
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
    QCOMPARE(again.UserName(), QString("korisnik"));
    QCOMPARE(again.Password(), QString());
    QVERIFY(again.UseAuthentication());
    QCOMPARE(again.MaxRecipients(), 100);  // a stored 0 is no limit to keep
  }
  void storedValuesOutOfRangeReadAsDefaults_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("property");
    QTest::addColumn<int>("expected");
    QTest::newRow("ConnectTimeout 0") << "ConnectTimeout" << "0" << "ConnectTimeout" << 40;
    QTest::newRow("ConnectTimeout 500") << "ConnectTimeout" << "500" << "ConnectTimeout" << 40;
    QTest::newRow("ConnectTimeout 7") << "ConnectTimeout" << "7" << "ConnectTimeout" << 7;
    QTest::newRow("MessageTimeout 0") << "MessageTimeout" << "0" << "MessageTimeout" << 60;
    QTest::newRow("ConnectRetry 0") << "ConnectRetry" << "0" << "ConnectRetry" << 4;
    QTest::newRow("SecureConnection 7") << "SecureConnection" << "7" << "SecureConnection" << 1;
    QTest::newRow("SecureConnection 3") << "SecureConnection" << "3" << "SecureConnection" << 3;
    QTest::newRow("RemotePort 0") << "RemotePort" << "0" << "SmtpPort" << 25;
  }
  void storedValuesOutOfRangeReadAsDefaults() {
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, property);
    platform::SaveSetting("Kestrova", "Settings", "PersistentSettings", "-1");
    platform::SaveSetting("Kestrova", "Settings", key, value);
    clsSendMail m;
    QTEST(m.property(qPrintable(property)).toInt(), "expected");
  }

  void settingsFileWrittenByHandBecomesPrivate() {
    const QString path = platform::settingsFilePath("Kestrova");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("[Settings]\nRemoteHost=posta.velkor.hr\n") > 0);
    f.close();
    QVERIFY(f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                             QFileDevice::ReadOther));
    platform::SaveSetting("Kestrova", "Settings", "Username", "korisnik");
    const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther |
                        QFileDevice::WriteOther;
    QCOMPARE(int(f.permissions() & others), 0);
    QCOMPARE(storedValue("RemoteHost"), QString("posta.velkor.hr"));
  }
};

QTEST_GUILESS_MAIN(TstSendMailProperties)
#include "tst_sendmail_properties.moc"
