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

  void exchanges_data() {
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QStringList>("table");
    const QStringList all{"mail1.example.com:10", "mail3.example.com:15", "mail2.example.com:20"};
    QTest::newRow("every exchange, sorted") << "example.com" << all;
    QTest::newRow("refused subdomain asks the local domain") << "office.example.com" << all;
    QTest::newRow("Croatian letters") << "ŽUTO.hr" << QStringList{"mx.xn--uto-b3a.hr:5"};
  }
  void exchanges() {
    QFETCH(QString, domain);
    QTEST(describe(MXQuery(domain)), "table");
    QVERIFY(dnsmasq_.output().contains("query[MX] " + QUrl::toAce(domain).toLower()));
  }
};

QTEST_GUILESS_MAIN(TstDnsmasq)
#include "tst_dnsmasq.moc"
