// The session object's properties, stored settings and error list; no network is used
// (every Send here stops at the checks before connecting).
#include <QSettings>

#include "SendMailFixture.h"
#include "core/SettingsStore.h"

namespace {

QString storedValue(const char* key) { return core::GetSetting("Kestrova", "Settings", key, "<none>"); }

QString addresses(const char* prefix, int n) {
  QStringList l;
  for (int i = 0; i < n; ++i) l << QString("%1%2@kupac.hr").arg(prefix).arg(i);
  return l.join(';');
}

// Sets properties in order, each given as "Name=value"; "{dir}" stands for a directory.
bool assign(mail::clsSendMail& m, const QStringList& assignments, const QString& dir = {}) {
  for (QString a : assignments)
    if (!m.setProperty(qPrintable(a.section('=', 0, 0)), a.section('=', 1).replace("{dir}", dir))) return false;
  return true;
}

}  // namespace

class TstSendMailProperties : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env_;

 private slots:
  void init() { env_ = std::make_unique<TestEnv>(); }

  // Properties set in order ("Name=value"), then one read back and the errors left.
  void setters_data() {
    QTest::addColumn<QStringList>("assignments");
    QTest::addColumn<QString>("readBack");
    QTest::addColumn<QStringList>("errors");
    const auto row = [](const char* name, const QStringList& assignments, const char* readBack,
                        const char* error = nullptr) {
      QTest::newRow(name) << assignments << readBack << (error ? QStringList{error} : QStringList());
    };
    const char* const badHost = "Pogrešan ili nedostaje SMTP Host Name";
    row("retry out of range keeps the old value", {"ConnectRetry=20", "ConnectRetry=0", "ConnectRetry=21"},
        "ConnectRetry=20");
    row("connect time-out out of range keeps the old value", {"ConnectTimeout=0", "ConnectTimeout=121"},
        "ConnectTimeout=40");
    row("negative message time-out", {"MessageTimeout=-30"}, "MessageTimeout=30");
    row("negative recipient limit", {"MaxRecipients=-7"}, "MaxRecipients=7");
    row("port out of range", {"SmtpPort=65536"}, "SmtpPort=25", "Pogrešan Remote Port");
    row("a good port takes its error back", {"SmtpPort=65536", "SmtpPort=2525"}, "SmtpPort=2525");
    row("one-label host refused, the old one stays",
        {"SMTPHostValidation=1", "SMTPHost=mail.velkor.hr", "SMTPHost=posta"}, "SMTPHost=mail.velkor.hr", badHost);
    row("NUL cut from the host", {"SMTPHostValidation=1", QString("SMTPHost=127.0.0.1") + QChar(0)},
        "SMTPHost=127.0.0.1");
    row("validation applied to the host at once", {"SMTPHostValidation=0", "SMTPHost=posta", "SMTPHostValidation=1"},
        "SMTPHost=posta", badHost);
    row("list entries cleaned", {"CcRecipient= c@kup\tac.hr\r\n"}, "CcRecipient=c@kupac.hr");
    row("joined with the new delimiter", {"Recipient=a@kupac.hr; b@kupac.hr", "Delimiter=, "},
        "Recipient=a@kupac.hr,b@kupac.hr");
    row("validation off accepts any address", {"EmailAddressValidation=0", "Recipient=bez-monkey"},
        "Recipient=bez-monkey");
    row("content base made a URL", {"ContentBase=www.velkor.hr\\slike"}, "ContentBase=http://www.velkor.hr/slike/");
  }
  void setters() {
    QFETCH(QStringList, assignments);
    QFETCH(QString, readBack);
    mail::clsSendMail m;
    QVERIFY(assign(m, assignments));
    QCOMPARE(readBack.section('=', 0, 0) + '=' + m.property(qPrintable(readBack.section('=', 0, 0))).toString(),
             readBack);
    QTEST(m.pendingErrors(), "errors");
  }

  void checksBeforeSend_data() {
    QTest::addColumn<QStringList>("assignments");
    QTest::addColumn<QString>("explanation");
    const QString missing = "Datoteka koju ste pokušali da prikačite ne postoji\r\n";
    QTest::newRow("port") << QStringList{"SmtpPort=0"} << "Pogrešan Remote Port\r\n";
    QTest::newRow("together, a setter's first")
        << QStringList{"CcRecipient=nije adresa", "from=", "AsHTML=true", "EncodeType=1"}
        << "Pogrešan Cc: E-mail adresa\r\nPogrešna ili nedostaje E-mail adresa pošiljatelja\r\n"
           "Slanje HTML poruke zahtijeva MIME encoding\r\n";
    QTest::newRow("101 recipients") << QStringList{"Recipient=" + addresses("t", 60), "CcRecipient=" + addresses("c", 30),
                                                   "BccRecipient=" + addresses("b", 11)}
                                    << "Previše primatelja\r\n";
    QTest::newRow("missing attachment") << QStringList{"Attachment={dir}/racun.pdf;{dir}/nema.pdf"} << missing;
    QTest::newRow("directory attached") << QStringList{"Attachment={dir}"} << missing;
  }
  void checksBeforeSend() {
    QFETCH(QStringList, assignments);
    mail::clsSendMail m;
    EventLog log(m);
    m.setFrom("a@velkor.hr");
    m.setRecipient("b@kupac.hr");
    env_->writeFile("racun.pdf", "%PDF");
    QVERIFY(assign(m, assignments, env_->path()));
    m.Send();
    QCOMPARE(log.failures, 1);
    QTEST(log.explanation, "explanation");
    QVERIFY(log.statuses().isEmpty());
    QVERIFY(m.pendingErrors().isEmpty());  // the report emptied the list
  }

  // Stored values out of range read as the defaults.
  void settingsPersistOnlyWhileOn() {
    {
      mail::clsSendMail m;
      m.setFrom("nije-spremljeno@velkor.hr");
      QVERIFY(!QFile::exists(core::settingsFilePath("Kestrova")));
      m.setPersistentSettings(true);
      m.setFrom(" prodaja@velkor.hr ");
      m.setUserName("korisnik");
      m.setPassword("tajna");
      m.setUseAuthentication(true);
      m.setMaxRecipients(0);
      m.setSmtpPort(2525);
      m.setConnectRetry(21);        // stored as passed, though not taken
      m.setPersistentSettings(false);  // not written: the stored "-1" stays
      m.setConnectTimeout(9);
    }
    QCOMPARE(storedValue("PersistentSettings"), QString("-1"));
    QCOMPARE(storedValue("From"), QString(" prodaja@velkor.hr "));
    QCOMPARE(storedValue("UseAuthentication"), QString("-1"));
    QCOMPARE(storedValue("ConnectRetry"), QString("21"));
    QCOMPARE(storedValue("ConnectTimeout"), QString("<none>"));
    QVERIFY(!QSettings(core::settingsFilePath("Kestrova"), QSettings::IniFormat)
                 .allKeys().join(' ').contains("tajna", Qt::CaseInsensitive));
    mail::clsSendMail again;
    QVERIFY(again.PersistentSettings());
    QCOMPARE(again.from(), QString(" prodaja@velkor.hr "));  // read as stored
    QCOMPARE(again.UserName(), QString("korisnik"));
    QCOMPARE(again.Password(), QString());
    QVERIFY(again.UseAuthentication());
    QCOMPARE(again.MaxRecipients(), 100);  // a stored 0 is no limit to keep
    QCOMPARE(again.SmtpPort(), 2525);
    QCOMPARE(again.ConnectRetry(), 4);     // out of range reads as the default
    for (auto [key, value, expected] : {std::tuple{"ConnectTimeout", "0", 40}, {"ConnectTimeout", "500", 40},
                                        {"MessageTimeout", "0", 60}, {"SecureConnection", "7", 1},
                                        {"SecureConnection", "3", 3}}) {
      core::SaveSetting("Kestrova", "Settings", key, value);
      QCOMPARE(mail::clsSendMail().property(key).toInt(), expected);
    }
  }
};

QTEST_GUILESS_MAIN(TstSendMailProperties)
#include "tst_sendmail_properties.moc"
