// Finding the DNS servers and the local domain from the resolver file.
#include "DnsPeers.h"

using namespace modMXQuery;

class TstDiscovery : public QObject {
  Q_OBJECT
  TestEnv env_;
  PeerProcess server_;

 private slots:
  void cleanup() { server_.stop(); }

  // A file naming no domain makes discovery ask its server for the server's own name:
  // those cases run that server here, the others name a domain.
  void readsServersAndDomain_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("serverName");
    QTest::addColumn<QStringList>("servers");
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("base");
    QTest::newRow("first search entry, base of three labels")
        << QByteArray("search office.example.com other.org\nnameserver 10.0.0.1\n") << ""
        << QStringList{"10.0.0.1"} << "office.example.com" << "example.com";
    QTest::newRow("domain wins over search")
        << QByteArray("domain a.example.net.\nsearch b.example.org\nnameserver ::1\n") << ""
        << QStringList{"::1"} << "a.example.net" << "example.net";
    QTest::newRow("several on a line, duplicates kept, comments skipped")
        << QByteArray("# nameserver 10.9.9.9\n; nameserver 10.8.8.8\noptions ndots:2\n"
                      "nameserver 10.0.0.1 10.0.0.2\r\nnameserver\t10.0.0.1\n"
                      "domain localdomain\n")
        << "" << QStringList{"10.0.0.1", "10.0.0.2", "10.0.0.1"} << "localdomain" << "localdomain";
    QTest::newRow("no domain: the server's own") << QByteArray("nameserver 127.0.0.33\n") << "dns1.example.net"
                                                 << QStringList{"127.0.0.33"} << "example.net" << "example.net";
    QTest::newRow("no domain, server name of one label") << QByteArray("nameserver 127.0.0.33\n") << "resolver"
                                                         << QStringList{"127.0.0.33"} << "" << "";
  }
  void readsServersAndDomain() {
    QFETCH(QByteArray, file);
    QFETCH(QString, serverName);
    QFETCH(QStringList, servers);
    if (!serverName.isEmpty())
      QVERIFY(startDnsServer(server_, "127.0.0.33", {"--ptr", "33.0.0.127.in-addr.arpa", serverName}));
    useResolver(env_, file);
    const DnsConfig found = discover();
    QCOMPARE(found.servers, servers);
    QTEST(found.localDomain, "local");
    QTEST(found.baseDomain, "base");
    QCOMPARE(currentConfig().servers, servers);  // discovery fills the process-wide values
  }

  void discoveryIsKeptUntilItFindsNothing() {
    QVERIFY(startDnsServer(server_, "127.0.0.33", {"--mx", "example.com", "10", "mx.example.com"}));
    useResolver(env_, "");
    QCOMPARE(mxError([] { (void)MXQuery("example.com"); }),
             QString("No DNS entries found, MX Query cannot contine."));
    // An empty discovery is repeated at the next query...
    env_.writeFile("resolv.conf", "nameserver 127.0.0.33\ndomain example.com\n");
    QCOMPARE(bestExchange("example.com"), QStringLiteral("mx.example.com"));
    // ...a successful one is kept, even when the file changes.
    env_.writeFile("resolv.conf", "nameserver 127.0.0.39\ndomain example.org\n");
    QCOMPARE(bestExchange(""), QStringLiteral("mx.example.com"));
    QCOMPARE(currentConfig().servers, QStringList{"127.0.0.33"});
  }
};

QTEST_GUILESS_MAIN(TstDiscovery)
#include "tst_discovery.moc"
