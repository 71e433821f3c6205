// POP3 login before SMTP against a real dovecot and a real SMTP server on loopback.
#include <QTest>

#include "SendMailFixture.h"
#include "support/Pop3Peer.h"
#include "support/TestEnv.h"

class TstSendMailPop3 : public QObject {
  Q_OBJECT
  TestEnv env_;
  Pop3Peer pop_{"127.0.0.14", "korisnik", "tajna"};
  std::unique_ptr<SmtpPeer> smtp_;

  void prepare(clsSendMail& m, const QString& password) {
    aimAt(m, *smtp_);
    m.setPOP3Host("127.0.0.14");
    m.setUsePopAuthentication(true);
    m.setUserName("korisnik");
    m.setPassword(password);
    m.setRecipient("primatelj@kupac.hr");
  }

 private slots:
  void initTestCase() {
    QVERIFY2(pop_.start(), qPrintable(pop_.error()));
    SmtpPeer::Options o;
    o.host = "127.0.0.15";
    smtp_ = std::make_unique<SmtpPeer>(o);
    QVERIFY2(smtp_->start(), qPrintable(smtp_->error()));
  }

  void goodLoginThenSmtp() {
    clsSendMail m;
    EventLog log(m);
    prepare(m, "tajna");
    m.Send();
    QCOMPARE(log.explanation, QString());
    QCOMPARE(log.successes, 1);
    const QStringList s = log.statuses();
    QCOMPARE(s.mid(0, 3), QStringList({"Connecting to POP3 Server (127.0.0.14)...",
                                       "POP3 Authentication Successful...",
                                       "Connecting to SMTP Server (127.0.0.15)..."}));
    QVERIFY(pop_.log().contains("Login: user=<korisnik>"));
    QCOMPARE(smtp_->messages().size(), 1);
    QCOMPARE(problemsIn(*smtp_), QString());
  }

  void rejectedLoginStopsBeforeSmtp() {
    const int before = smtp_->messages().size();
    clsSendMail m;
    EventLog log(m);
    prepare(m, "kriva");
    m.Send();
    QCOMPARE(log.successes, 0);
    QCOMPARE(log.failures, 1);
    QVERIFY2(log.explanation.startsWith("-ERR"), qPrintable(log.explanation));
    QVERIFY(log.explanation.endsWith("\r\n"));
    QVERIFY(!log.statuses().contains("POP3 Authentication Successful..."));
    QVERIFY(!log.statuses().contains("Connecting to SMTP Server (127.0.0.15)..."));
    QCOMPARE(smtp_->messages().size(), before);
  }

  void missingPop3HostIsReported() {
    clsSendMail m;
    EventLog log(m);
    prepare(m, "tajna");
    m.setPOP3Host("");
    QVERIFY(!m.Connect());
    QCOMPARE(log.explanation, QString("Pogrešan ili nedostaje POP3 Host Name\r\n"));
  }

  void silentPop3ServerIsNotASuccess() {
    SmtpPeer::Options o;  // a server that never greets, standing where POP3 is asked
    o.host = "127.0.0.16";
    o.port = 110;
    o.mode = "silent";
    SmtpPeer silent(o);
    QVERIFY2(silent.start(), qPrintable(silent.error()));
    clsSendMail m;
    EventLog log(m);
    prepare(m, "tajna");
    m.setPOP3Host("127.0.0.16");
    m.setConnectTimeout(1);
    m.Send();
    QCOMPARE(log.failures, 1);
    QCOMPARE(log.explanation, QString("Timeout dostignut: SMTP Host ne odgovara na zahtjeve\r\n"));
    QVERIFY(!log.statuses().contains("POP3 Authentication Successful..."));
  }
};

QTEST_GUILESS_MAIN(TstSendMailPop3)
#include "tst_sendmail_pop3.moc"
