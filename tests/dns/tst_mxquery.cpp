// MX queries: the datagram and the answer reader on their own, then against the Python DNS
// server with well-formed tables and crafted faulty answers, and against dnsmasq; finding
// the DNS servers and the local domain from the resolver file.
#include <QTimer>
#include <QUrl>

#include "DnsPeers.h"

using namespace modMXQuery;

namespace {
const QString kBadDomain = "No Valid Domain Specified";

// A response to the example.com query holding one record: preference 10, mx.example.com.
QByteArray oneRecordAnswer() {
  return QByteArray::fromHex("11df81800001000100000000"
                             "076578616d706c6503636f6d00000f0001"
                             "c00c000f00010000012c0007000a026d78c00c");
}
}  // namespace

class TstMXQuery : public QObject {
  Q_OBJECT
  TestEnv env_;
  PeerProcess server_;
  QString log_;

  bool serve(const QStringList& args, const QString& address = "127.0.0.32") {
    log_ = env_.path(QString("queries-%1.log").arg(QTest::currentTestFunction()));
    QFile::remove(log_);
    return startDnsServer(server_, address, QStringList{"--log", log_} + args);
  }

 private slots:
  void init() { useResolver(env_, "nameserver 127.0.0.32\ndomain example.com\n"); }
  void cleanup() { server_.stop(); }

  void queryDatagramOnTheWire() {
    QVERIFY(serve({"--mx", "example.com", "10", "mx.example.com"}));
    QCOMPARE(bestExchange("  example.com  "), QString("mx.example.com"));
    QCOMPARE(bestExchange("example.com"), QString("mx.example.com"));
    // Everything but the ID is fixed; the ID is drawn anew for every query.
    const QByteArrayList queries = readWholeFile(log_).split('\n');
    const QByteArray first = queries.value(0), second = queries.value(1);
    QCOMPARE(first.mid(4), QByteArray("01000001000000000000076578616d706c6503636f6d00000f0001"));
    QCOMPARE(second.mid(4), first.mid(4));
    QVERIFY2(first.left(4) != second.left(4), first.constData());
  }

  void queryDatagramLimits() {
    QCOMPARE(buildMXQuery("example.com."), buildMXQuery("example.com"));
    const QString label63(63, 'a');
    QCOMPARE(buildMXQuery(label63 + ".hr").at(12), char(63));
    QCOMPARE(mxError([&] { (void)buildMXQuery(label63 + "a.hr"); }), kBadDomain);
    const QString name253 = QStringList(4, label63).join('.').left(253);  // longest name
    QCOMPARE(buildMXQuery(name253).size(), 16 + 255);
    QCOMPARE(mxError([&] { (void)buildMXQuery(name253 + "a"); }), kBadDomain);
  }

  void recordThatOverrunsItsLengthEndsParsing() {
    QByteArray answer = oneRecordAnswer();
    QCOMPARE(describe(parseMXAnswer(answer, kQueryId)), QStringList({"mx.example.com:10"}));
    answer[answer.size() - 8] = 0x05;  // RDLENGTH 5: the exchange name runs past it
    QVERIFY(parseMXAnswer(answer, kQueryId).isEmpty());
    answer[answer.size() - 8] = 0x20;  // RDLENGTH past the end of the datagram
    QVERIFY(parseMXAnswer(answer, kQueryId).isEmpty());
  }

  void badDomainsAndNoServer() {
    QCOMPARE(mxError([] { (void)MXQuery("a.hr"); }), kBadDomain);
    QCOMPARE(mxError([] { (void)MXQuery("a..example.com"); }), kBadDomain);
    useResolver(env_, "nameserver 127.0.0.32\n# domain example.com\n");
    QCOMPARE(mxError([] { (void)MXQuery(""); }), kBadDomain);  // no local domain to use
    // Nothing listens on 127.0.0.39: the refusal ends the wait at once.
    useResolver(env_, "nameserver 127.0.0.39\ndomain example.com\n");
    QCOMPARE(mxError([] { (void)MXQuery("example.com", 60000); }), QString("Problem receiving MX query"));
  }

  // Well-formed tables, crafted faulty answers and failures: the table read, the names
  // asked, why the table is empty, and the error when no answer could be used.
  void answers_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QStringList>("table");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("error");  // empty: none thrown
    QTest::addColumn<QByteArray>("resolver");  // empty: example.com's own server
    const QStringList one{"--mx", "example.com", "10", "mx.example.com"}, once{"example.com"};
    const QString noMx = "Domain has no MX record", unusable = "No usable MX record in the answer";
    const auto row = [&](const char* name, const QStringList& args, const QString& domain, const QStringList& table,
                         const QStringList& asked, const QString& reason = {}, const QByteArray& resolver = {}) {
      QTest::newRow(name) << args << domain << table << asked << reason << QString() << resolver;
    };
    // With no usable answer by half the wait, the query is sent once more.
    const auto crafted = [&](const char* name, const char* mode, const QStringList& table, const QString& reason,
                             const QString& error = {}) {
      QTest::newRow(name) << QStringList{"--mode", mode} << "example.com" << table
                          << (error.isEmpty() ? once : once + once) << reason << error << QByteArray();
    };
    row("sorted by unsigned preference, root exchange skipped",
        {"--mx", "example.com", "40000", "big.example.com", "--mx", "example.com", "20", "mx2.example.com", "--mx",
         "example.com", "0", ".", "--mx", "example.com", "10", "mx1.example.com"},
        "example.com", {"mx1.example.com:10", "mx2.example.com:20", "big.example.com:40000"}, once);
    // Enough records that an unstable sort would reorder equal preferences.
    QStringList args, ten, twenty;
    for (int i = 0; i < 40; ++i) {
      const QString host = QString("r%1.example.com").arg(39 - i), pref = i % 3 ? "10" : "20";
      args << "--mx" << "example.com" << pref << host;
      (i % 3 ? ten : twenty) << host + ":" + pref;
    }
    row("equal preferences keep the answer order", args, "example.com", ten + twenty, once);
    row("no answers: parents asked down to the base", one, "a.office.example.com", {"mx.example.com:10"},
        {"a.office.example.com", "office.example.com", "example.com"});
    row("first datagram lost: sent again", QStringList{"--drop-first"} + one, "example.com", {"mx.example.com:10"},
        once + once);
    row("base itself", {}, "EXAMPLE.com", {}, {"EXAMPLE.com"}, noMx);
    row("not a label", {}, "myexample.com", {}, {"myexample.com"}, noMx);
    row("base inside", {}, "www.example.com.hr", {}, {"www.example.com.hr", "example.com.hr"}, noMx);
    row("truncated over UDP: asked again over TCP (not logged)", QStringList{"--mode", "tc"} + one, "example.com",
        {"mx.example.com:10"}, once);
    row("dead first server: the next one asked", one, "example.com", {"mx.example.com:10"}, once, {},
        "nameserver 127.0.0.71\nnameserver 127.0.0.32\ndomain example.com\n");
    row("NXDOMAIN", {"--mode", "nxdomain"}, "example.com", {}, once, "Domain does not exist (NXDOMAIN)");
    row("SERVFAIL", {"--mode", "servfail"}, "example.com", {}, once, "DNS server failure (RCODE 2)");
    crafted("pointer chain", "pointer-chain",
            {"backup.mx1.example.com:10", "a.backup.mx1.example.com:20", "mx1.example.com:30"}, {});
    crafted("pointer past 255, other record first", "far-pointer", {"mx2.mx1.example.com:10", "mx1.example.com:20"},
            {});
    crafted("forged answers first", "spoofs", {"real.example.com:10"}, {});
    crafted("answers but no MX", "non-mx", {}, unusable);
    // a malformed answer keeps the records before the fault
    crafted("pointer loop", "pointer-loop", {"mx1.example.com:10"}, {});
    crafted("truncated", "truncated", {"mx1.example.com:10"}, {});
    const QString receive = "Problem receiving MX query";
    crafted("silence", "silent", {}, {}, receive);
    crafted("other ID only", "wrong-id", {}, {}, receive);
    crafted("shorter than a header", "short", {}, {}, receive);
  }
  void answers() {
    QFETCH(QStringList, args);
    QFETCH(QString, domain);
    QFETCH(QByteArray, resolver);
    QVERIFY(serve(args));
    if (!resolver.isEmpty()) useResolver(env_, resolver);
    int ticks = 0;
    QTimer window;  // stands for the caller's window: it is served during the wait
    connect(&window, &QTimer::timeout, [&] { ++ticks; });
    window.start(20);
    MXLookup found;
    QTEST(mxError([&] { found = lookUpMX(domain, 600); }), "error");
    QTEST(describe(found.records), "table");
    QTEST(found.reason, "reason");
    QTEST(loggedQueryNames(log_), "asked");
    if (args.contains("silent")) QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
  }

  // The hosts direct delivery tries, in order, or why there are none.
  void exchangers_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("hosts");
    QTest::addColumn<QString>("reason");
    const QStringList address{"--a", "example.com", "127.0.0.9"};
    QStringList backups;
    for (const char* mx : {"20 b1", "10 a1", "20 b2", "10 a2"})
      backups << "--mx" << "example.com" << QString(mx).section(' ', 0, 0) << QString(mx).section(' ', 1) + ".example.com";
    QTest::newRow("backups by preference, equal ones in answer order")
        << backups + address << QStringList{"a1.example.com", "a2.example.com", "b1.example.com", "b2.example.com"} << "";
    QTest::newRow("address only: the domain itself") << address << QStringList{"example.com"} << "";
    QTest::newRow("first datagram of each question lost") << QStringList{"--drop-first"} + address
                                                          << QStringList{"example.com"} << "";
    QTest::newRow("neither MX nor address") << QStringList{} << QStringList{}
                                            << "Domain has neither an MX record nor an address";
    QTest::newRow("null MX, though it has an address") << QStringList{"--mx", "example.com", "0", "."} + address
                                                       << QStringList{} << "Domena ne prima e-poštu (null MX)";
    QTest::newRow("NXDOMAIN") << QStringList{"--mode", "nxdomain"} << QStringList{} << "Domain does not exist (NXDOMAIN)";
  }
  void exchangers() {
    QFETCH(QStringList, args);
    QVERIFY(serve(args));
    const Exchangers found = exchangersFor("Example.com.", 600);
    QTEST(found.hosts, "hosts");
    QTEST(found.reason, "reason");
  }

  // dnsmasq: a widely used server's own answer layout (exchange names written in full) and
  // its refusal of names it does not know.
  void dnsmasq_data() {
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QStringList>("table");
    const QStringList all{"mail1.example.com:10", "mail3.example.com:15", "mail2.example.com:20"};
    QTest::newRow("every exchange, sorted") << "example.com" << all;
    QTest::newRow("refused subdomain asks the local domain") << "office.example.com" << all;
    QTest::newRow("Croatian letters") << "ŽUTO.hr" << QStringList{"mx.xn--uto-b3a.hr:5"};
  }
  void dnsmasq() {
    QFETCH(QString, domain);
    const QStringList args{
        "--no-daemon", "--conf-file=/dev/null", "--no-resolv", "--no-hosts",
        "--listen-address=127.0.0.31", "--bind-interfaces", "--port", "53", "--log-queries",
        "--mx-host=example.com,mail2.example.com,20", "--mx-host=example.com,mail1.example.com,10",
        "--mx-host=example.com,mail3.example.com,15", "--mx-host=žuto.hr,mx.xn--uto-b3a.hr,5"};
    QVERIFY2(server_.start("dnsmasq", args, PeerReadiness::onOutput("started")),
             qPrintable(server_.errorString() + QString::fromUtf8(server_.output())));
    useResolver(env_, "nameserver 127.0.0.31\ndomain example.com\n");
    QTEST(describe(MXQuery(domain)), "table");
    QVERIFY(server_.output().contains("query[MX] " + QUrl::toAce(domain).toLower()));
  }

  // A file naming no domain makes discovery ask its server for the server's own name:
  // those cases run that server here, the others name a domain.
  void discovery_data() {
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
  void discovery() {
    QFETCH(QByteArray, file);
    QFETCH(QString, serverName);
    QFETCH(QStringList, servers);
    if (!serverName.isEmpty()) QVERIFY(serve({"--ptr", "33.0.0.127.in-addr.arpa", serverName}, "127.0.0.33"));
    useResolver(env_, file);
    const DnsConfig found = discover();
    QCOMPARE(found.servers, servers);
    QTEST(found.localDomain, "local");
    QTEST(found.baseDomain, "base");
    QCOMPARE(currentConfig().servers, servers);  // discovery fills the process-wide values
  }

  void discoveryIsKeptUntilItFindsNothing() {
    QVERIFY(serve({"--mx", "example.com", "10", "mx.example.com"}, "127.0.0.33"));
    useResolver(env_, "");
    QCOMPARE(mxError([] { (void)MXQuery("example.com"); }), QString("No DNS entries found, MX Query cannot contine."));
    // An empty discovery is repeated at the next query...
    env_.writeFile("resolv.conf", "nameserver 127.0.0.33\ndomain example.com\n");
    QCOMPARE(bestExchange("example.com"), QStringLiteral("mx.example.com"));
    // ...a successful one is kept, even when the file changes.
    env_.writeFile("resolv.conf", "nameserver 127.0.0.39\ndomain example.org\n");
    QCOMPARE(bestExchange(""), QStringLiteral("mx.example.com"));
    QCOMPARE(currentConfig().servers, QStringList{"127.0.0.33"});
  }
};

QTEST_GUILESS_MAIN(TstMXQuery)
#include "tst_mxquery.moc"
