// MX queries against dnsmasq: a widely used server's own answer layout (exchange names
// written in full) and its refusal of names it does not know.
#include <QUrl>

#include "DnsPeers.h"

using namespace modMXQuery;

class TstDnsmasq : public QObject {
  Q_OBJECT
  TestEnv env_;
  PeerProcess dnsmasq_;

 private slots:
  void initTestCase() {
    const QStringList args{
        "--no-daemon", "--conf-file=/dev/null", "--no-resolv", "--no-hosts",
        "--listen-address=127.0.0.31", "--bind-interfaces", "--port", "53", "--log-queries",
        "--mx-host=example.com,mail2.example.com,20", "--mx-host=example.com,mail1.example.com,10",
        "--mx-host=example.com,mail3.example.com,15", "--mx-host=žuto.hr,mx.xn--uto-b3a.hr,5"};
    QVERIFY2(dnsmasq_.start("dnsmasq", args, PeerReadiness::onOutput("started")),
             qPrintable(dnsmasq_.errorString() + QString::fromUtf8(dnsmasq_.output())));
  }
  void cleanupTestCase() { dnsmasq_.stop(); }
  void init() { useResolver(env_, "nameserver 127.0.0.31\ndomain example.com\n"); }

  void returnsEveryExchangeSorted() {
    QCOMPARE(describe(MXQuery("example.com")),
             QStringList({"mail1.example.com:10", "mail3.example.com:15", "mail2.example.com:20"}));
  }

  void bestExchange_data() {
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("exchange");
    QTest::newRow("refused subdomain asks the local domain") << "office.example.com" << "mail1.example.com";
    QTest::newRow("Croatian letters") << "ŽUTO.hr" << "mx.xn--uto-b3a.hr";
  }
  void bestExchange() {
    QFETCH(QString, domain);
    QTEST(modMXQuery::bestExchange(domain), "exchange");
    QVERIFY(dnsmasq_.output().contains("query[MX] " + QUrl::toAce(domain).toLower()));
  }
};

QTEST_GUILESS_MAIN(TstDnsmasq)
#include "tst_dnsmasq.moc"
