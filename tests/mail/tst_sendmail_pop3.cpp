// POP3 login before SMTP against a real dovecot (a password only after STLS) and a real
// SMTP server on loopback.
#include <QTest>

#include "MessageCheck.h"
#include "SendMailFixture.h"
#include "support/DovecotPeer.h"
#include "support/TestEnv.h"

class TstSendMailPop3 : public QObject {
  Q_OBJECT
  TestEnv env_;
  Pop3Peer pop_{"127.0.0.14", "korisnik", "tajna"};

 private slots:
  void initTestCase() {
    QVERIFY2(pop_.start(), qPrintable(pop_.error()));
    qputenv("SSL_CERT_FILE", pop_.caFile().toUtf8());
  }

  void loginBeforeSmtp_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("failure");  // how the explanation starts; empty: sent
    QTest::addColumn<int>("port");          // 110: STLS; 995: TLS from the first byte
    QTest::newRow("good login, STLS") << "127.0.0.14" << "tajna" << "" << 110;
    QTest::newRow("good login, port 995") << "127.0.0.14" << "tajna" << "" << 995;
    QTest::newRow("rejected login stops before SMTP") << "127.0.0.14" << "kriva" << "-ERR [AUTH] Authentication failed."
                                                      << 110;
    QTest::newRow("no POP3 host") << "" << "tajna" << "Pogrešan ili nedostaje POP3 Host Name\r\n" << 110;
  }
  void loginBeforeSmtp() {
    QFETCH(QString, host);
    QFETCH(QString, password);
    QFETCH(QString, failure);
    QFETCH(int, port);
    Session s({.host = "127.0.0.15"});
    QVERIFY(s.start());
    s.m.setPOP3Host(host);
    s.m.setPop3Port(port);
    s.m.setPop3Security(port == 995 ? 3 : 1);
    s.m.setUsePopAuthentication(true);
    s.m.setUserName("korisnik");
    s.m.setPassword(password);
    s.m.Send();
    const QStringList st = s.log.statuses();
    if (failure.isEmpty()) {
      QCOMPARE(s.log.explanation, QString());
      QCOMPARE(st.mid(0, 3), QStringList({"Connecting to POP3 Server (127.0.0.14)...",
                                          "POP3 Authentication Successful...",
                                          "Connecting to SMTP Server (127.0.0.15)..."}));
      QVERIFY(pop_.log().contains("Login: user=<korisnik>"));
      QCOMPARE(s.peer.messages().size(), 1);
      cleanMessage(s.peer.messages()[0].emlPath);
      return;
    }
    QCOMPARE(s.log.failures, 1);
    QVERIFY2(s.log.explanation.startsWith(failure) && s.log.explanation.endsWith("\r\n"),
             qPrintable(s.log.explanation));
    QVERIFY(!st.contains("POP3 Authentication Successful..."));
    QVERIFY(!st.contains("Connecting to SMTP Server (127.0.0.15)..."));
    QVERIFY(s.peer.messages().isEmpty());
  }
};

QTEST_GUILESS_MAIN(TstSendMailPop3)
#include "tst_sendmail_pop3.moc"
