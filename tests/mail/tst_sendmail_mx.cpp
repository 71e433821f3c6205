// The session object's MX query and sending without a configured host, against a real
// DNS server (tests/peers/dns_server.py) and a real SMTP server on loopback.
#include <QTest>

#include "MessageCheck.h"
#include "SendMailFixture.h"
#include "dns/DnsPeers.h"

class TstSendMailMx : public QObject {
  Q_OBJECT
  TestEnv env_;
  PeerProcess dns_;

  bool serveDns(const QStringList& args, const QByteArray& resolver = "nameserver 127.0.0.19\n") {
    useResolver(env_, resolver);
    return startDnsServer(dns_, "127.0.0.19", args);
  }

 private slots:
  void cleanup() { dns_.stop(); }

  void queryStatuses_data() {
    QTest::addColumn<QStringList>("server");
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("exchange");
    QTest::addColumn<QStringList>("statuses");
    QTest::newRow("best of two") << QStringList{"--mx", "kupac.hr", "20", "mx2.kupac.hr", "--mx", "kupac.hr", "10",
                                                "mx1.kupac.hr"}
                                 << "kupac.hr" << "mx1.kupac.hr"
                                 << QStringList{"Performing MX Query, Domain: kupac.hr"};
    QTest::newRow("short domain") << QStringList{} << " abc " << ""
                                  << QStringList{"Performing MX Query, Domain: abc", "No Valid Domain Specified"};
    QTest::newRow("silent server") << QStringList{"--mode", "silent"} << "kupac.hr" << ""
                                   << QStringList{"Performing MX Query, Domain: kupac.hr", "Problem receiving MX query"};
  }
  void queryStatuses() {
    QFETCH(QStringList, server);
    QFETCH(QString, domain);
    QFETCH(QString, exchange);
    QFETCH(QStringList, statuses);
    QVERIFY(serveDns(server));
    clsSendMail m;
    EventLog log(m);
    QCOMPARE(m.MXQuery(domain), exchange);
    QCOMPARE(log.statuses(), statuses);
  }

  void emptyHostSendsToOwnDomainsExchanger() {
    QVERIFY(serveDns({"--mx", "velkor.test", "10", "127.0.0.18"}, "nameserver 127.0.0.19\ndomain velkor.test\n"));
    Session s(peerOptions("127.0.0.18"));
    QVERIFY(s.start());
    s.m.setSMTPHost("");
    s.m.Send();
    QCOMPARE(s.log.explanation, QString());
    QCOMPARE(s.log.statuses().mid(0, 2),
             QStringList({"Performing MX Query", "Connecting to SMTP Server (127.0.0.18)..."}));
    QCOMPARE(s.m.SMTPHost(), QString("127.0.0.18"));
    QCOMPARE(s.peer.messages().size(), 1);
    QCOMPARE(problemsIn(s.peer), QString());
  }

  void emptyHostWithoutAnswerFails() {
    QVERIFY(serveDns({}, "nameserver 127.0.0.19\ndomain velkor.test\n"));  // knows no MX at all
    clsSendMail m;
    EventLog log(m);
    m.setFrom("posiljatelj@velkor.hr");
    m.setRecipient("primatelj@velkor.hr");
    m.Send();
    // Reported at once, not left behind for the next Send.
    QCOMPARE(log.failures, 1);
    QCOMPARE(log.explanation, QString("Pogrešan ili nedostaje SMTP Host Name\r\n"));
    QVERIFY(m.pendingErrors().isEmpty());
  }
};

QTEST_GUILESS_MAIN(TstSendMailMx)
#include "tst_sendmail_mx.moc"
