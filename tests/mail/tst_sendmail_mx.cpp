// Sending without a configured host, against a real DNS server (tests/peers/dns_server.py)
// and a real SMTP server on loopback. The session object's MX query and its statuses are
// run by velkor-sendmail --mx (tst_sendmail_tool).
#include <QTest>

#include "MessageCheck.h"
#include "SendMailFixture.h"
#include "dns/DnsPeers.h"

class TstSendMailMx : public QObject {
  Q_OBJECT
  TestEnv env_;
  PeerProcess dns_;

  // The sender's domain, velkor.test, is the local one.
  bool serveDns(const QStringList& args) {
    useResolver(env_, "nameserver 127.0.0.19\ndomain velkor.test\n");
    return startDnsServer(dns_, "127.0.0.19", args);
  }

 private slots:
  void cleanup() { dns_.stop(); }

  void emptyHostSendsToOwnDomainsExchanger() {
    QVERIFY(serveDns({"--mx", "velkor.test", "10", "127.0.0.18"}));
    Session s({.host = "127.0.0.18"});
    QVERIFY(s.start());
    s.m.setSMTPHost("");
    s.m.Send();
    QCOMPARE(s.log.explanation, QString());
    QCOMPARE(s.log.statuses().mid(0, 2),
             QStringList({"Performing MX Query", "Connecting to SMTP Server (127.0.0.18)..."}));
    QCOMPARE(s.m.SMTPHost(), QString("127.0.0.18"));
    QCOMPARE(s.peer.messages().size(), 1);
    cleanMessage(s.peer.messages()[0].emlPath);
  }

  void emptyHostWithoutAnswerFails() {
    QVERIFY(serveDns({}));  // knows no MX at all
    mail::clsSendMail m;
    EventLog log(m);
    m.setFrom("posiljatelj@velkor.hr");
    m.setRecipient("primatelj@velkor.hr");
    m.Send();
    // Reported at once, not left behind for the next Send.
    QCOMPARE(log.failures, 1);
    QCOMPARE(log.explanation, QString("Pogrešan ili nedostaje SMTP Host Name\r\n"));
    // The status names why: the user sees more than the missing host.
    QCOMPARE(log.statuses(), QStringList({"Performing MX Query", "Domain has no MX record"}));
    QVERIFY(m.pendingErrors().isEmpty());
  }
};

QTEST_GUILESS_MAIN(TstSendMailMx)
#include "tst_sendmail_mx.moc"
