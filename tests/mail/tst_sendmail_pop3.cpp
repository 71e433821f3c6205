// POP3 login before SMTP against a real dovecot and a real SMTP server on loopback.
#include <QTest>

#include "MessageCheck.h"
#include "SendMailFixture.h"
#include "support/Pop3Peer.h"
#include "support/TestEnv.h"

class TstSendMailPop3 : public QObject {
  Q_OBJECT
  TestEnv env_;
  Pop3Peer pop_{"127.0.0.14", "korisnik", "tajna"};

  static bool prepare(Session& s, const QString& password) {
    if (!s.start()) return false;
    s.m.setPOP3Host("127.0.0.14");
    s.m.setUsePopAuthentication(true);
    s.m.setUserName("korisnik");
    s.m.setPassword(password);
    return true;
  }

 private slots:
  void initTestCase() { QVERIFY2(pop_.start(), qPrintable(pop_.error())); }

  void goodLoginThenSmtp() {
    Session s(peerOptions("127.0.0.15"));
    QVERIFY(prepare(s, "tajna"));
    s.m.Send();
    QCOMPARE(s.log.explanation, QString());
    QCOMPARE(s.log.statuses().mid(0, 3), QStringList({"Connecting to POP3 Server (127.0.0.14)...",
                                                      "POP3 Authentication Successful...",
                                                      "Connecting to SMTP Server (127.0.0.15)..."}));
    QVERIFY(pop_.log().contains("Login: user=<korisnik>"));
    QCOMPARE(s.peer.messages().size(), 1);
    QCOMPARE(problemsIn(s.peer), QString());
  }

  void rejectedLoginStopsBeforeSmtp() {
    Session s(peerOptions("127.0.0.15"));
    QVERIFY(prepare(s, "kriva"));
    s.m.Send();
    QCOMPARE(s.log.failures, 1);
    QVERIFY2(s.log.explanation.startsWith("-ERR") && s.log.explanation.endsWith("\r\n"),
             qPrintable(s.log.explanation));
    QVERIFY(!s.log.statuses().contains("POP3 Authentication Successful..."));
    QVERIFY(!s.log.statuses().contains("Connecting to SMTP Server (127.0.0.15)..."));
    QVERIFY(s.peer.messages().isEmpty());
  }

  void missingOrSilentPop3Host() {
    Session s(peerOptions("127.0.0.15"));
    QVERIFY(prepare(s, "tajna"));
    s.m.setPOP3Host("");
    QVERIFY(!s.m.Connect());
    QCOMPARE(s.log.explanation, QString("Pogrešan ili nedostaje POP3 Host Name\r\n"));
    SmtpPeer::Options o = peerOptions("127.0.0.16", "silent");  // never greets, where POP3 is asked
    o.port = 110;
    SmtpPeer silent(o);
    QVERIFY2(silent.start(), qPrintable(silent.error()));
    s.m.setPOP3Host("127.0.0.16");
    s.m.setConnectTimeout(1);
    s.m.Send();
    QCOMPARE(s.log.failures, 2);
    QCOMPARE(s.log.explanation, QString("Timeout dostignut: SMTP Host ne odgovara na zahtjeve\r\n"));
    QVERIFY(!s.log.statuses().contains("POP3 Authentication Successful..."));
    QVERIFY(s.peer.messages().isEmpty());
  }
};

QTEST_GUILESS_MAIN(TstSendMailPop3)
#include "tst_sendmail_pop3.moc"
