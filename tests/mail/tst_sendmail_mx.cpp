// The session object's MX query and sending without a configured host, against a real
// DNS server (tests/peers/dns_server.py) and a real SMTP server on loopback.
#include <QTest>

#include "SendMailFixture.h"
#include "dns/modMXQuery.h"
#include "support/PeerProcess.h"
#include "support/TestEnv.h"

class TstSendMailMx : public QObject {
  Q_OBJECT
  TestEnv env_;

  bool startDns(PeerProcess& dns, const QStringList& args) {
    QStringList all{SmtpPeer::scriptPath("dns_server.py"), "--address", "127.0.0.19"};
    all << args;
    const bool ok = dns.start("/usr/bin/python3", all, PeerReadiness::onOutput("READY"));
    if (!ok) qWarning() << dns.errorString() << dns.output();
    return ok;
  }
  void useResolver(const QByteArray& text) {
    env_.writeFile("resolv.conf", text);
    modMXQuery::resetConfig();
  }

 private slots:
  void queryOfAShortDomainIsAStatusAndNothing() {
    clsSendMail m;
    EventLog log(m);
    QCOMPARE(m.MXQuery(" abc "), QString());
    QCOMPARE(log.statuses(),
             QStringList({"Performing MX Query, Domain: abc", "No Valid Domain Specified"}));
  }

  void bestExchangeOfADomain() {
    PeerProcess dns;
    QVERIFY(startDns(dns, {"--mx", "kupac.hr", "20", "mx2.kupac.hr", "--mx", "kupac.hr", "10",
                           "mx1.kupac.hr"}));
    useResolver("nameserver 127.0.0.19\n");
    clsSendMail m;
    EventLog log(m);
    QCOMPARE(m.MXQuery("kupac.hr"), QString("mx1.kupac.hr"));
    QCOMPARE(log.statuses(), QStringList{"Performing MX Query, Domain: kupac.hr"});
  }

  void silentServerIsAStatusAndNothing() {
    PeerProcess dns;
    QVERIFY(startDns(dns, {"--mode", "silent"}));
    useResolver("nameserver 127.0.0.19\n");
    clsSendMail m;
    EventLog log(m);
    QCOMPARE(m.MXQuery("kupac.hr"), QString());
    QCOMPARE(log.statuses().value(1), QString("Problem receiving MX query"));
  }

  void emptyHostSendsToOwnDomainsExchanger() {
    PeerProcess dns;
    QVERIFY(startDns(dns, {"--mx", "velkor.test", "10", "127.0.0.18"}));
    useResolver("nameserver 127.0.0.19\ndomain velkor.test\n");
    SmtpPeer::Options o;
    o.host = "127.0.0.18";
    SmtpPeer smtp(o);
    QVERIFY2(smtp.start(), qPrintable(smtp.error()));
    clsSendMail m;
    EventLog log(m);
    m.setFrom("posiljatelj@velkor.hr");
    m.setRecipient("primatelj@velkor.hr");
    m.setSMTPHost("");
    m.Send();
    QCOMPARE(log.explanation, QString());
    QCOMPARE(log.successes, 1);
    QCOMPARE(log.statuses().mid(0, 2), QStringList({"Performing MX Query",
                                                    "Connecting to SMTP Server (127.0.0.18)..."}));
    QCOMPARE(m.SMTPHost(), QString("127.0.0.18"));
    QCOMPARE(smtp.messages().size(), 1);
    QCOMPARE(problemsIn(smtp), QString());
  }

  void emptyHostWithoutAnswerFails() {
    PeerProcess dns;
    QVERIFY(startDns(dns, {}));  // knows no MX at all
    useResolver("nameserver 127.0.0.19\ndomain velkor.test\n");
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
