// MX queries: the datagram and the answer reader on their own, then against the Python DNS
// server with well-formed tables and crafted faulty answers.
#include <QTimer>

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

  bool serve(const QStringList& args) {
    log_ = env_.path(QString("queries-%1.log").arg(QTest::currentTestFunction()));
    QFile::remove(log_);
    return startDnsServer(server_, "127.0.0.32", QStringList{"--log", log_} + args);
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

  void badDomainsAreRefused() {
    QCOMPARE(mxError([] { (void)MXQuery("a.hr"); }), kBadDomain);
    QCOMPARE(mxError([] { (void)MXQuery("a..example.com"); }), kBadDomain);
    useResolver(env_, "nameserver 127.0.0.32\n# domain example.com\n");
    QCOMPARE(mxError([] { (void)MXQuery(""); }), kBadDomain);  // no local domain to use
  }

  // Well-formed tables and crafted faulty answers: the table read, the names asked, and the
  // error when no answer could be used.
  void answers_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QStringList>("table");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QString>("error");  // empty: none thrown
    const QStringList one{"--mx", "example.com", "10", "mx.example.com"}, once{"example.com"};
    // With no usable answer by half the wait, the query is sent once more.
    const auto crafted = [&](const char* name, const char* mode, const QStringList& table, const QString& error = {}) {
      QTest::newRow(name) << QStringList{"--mode", mode} << "example.com" << table
                          << (error.isEmpty() ? once : once + once) << error;
    };
    QTest::newRow("sorted by unsigned preference, root exchange skipped")
        << QStringList{"--mx", "example.com", "40000", "big.example.com", "--mx", "example.com", "20", "mx2.example.com",
                       "--mx", "example.com", "0", ".", "--mx", "example.com", "10", "mx1.example.com"}
        << "example.com" << QStringList{"mx1.example.com:10", "mx2.example.com:20", "big.example.com:40000"} << once
        << "";
    // Enough records that an unstable sort would reorder equal preferences.
    QStringList args, ten, twenty;
    for (int i = 0; i < 40; ++i) {
      const QString host = QString("r%1.example.com").arg(39 - i), pref = i % 3 ? "10" : "20";
      args << "--mx" << "example.com" << pref << host;
      (i % 3 ? ten : twenty) << host + ":" + pref;
    }
    QTest::newRow("equal preferences keep the answer order") << args << "example.com" << ten + twenty << once << "";
    QTest::newRow("no answers: parents asked down to the base") << one << "a.office.example.com"
        << QStringList{"mx.example.com:10"}
        << QStringList{"a.office.example.com", "office.example.com", "example.com"} << "";
    QTest::newRow("first datagram lost: sent again") << QStringList{"--drop-first"} + one << "example.com"
                                                     << QStringList{"mx.example.com:10"} << once + once << "";
    QTest::newRow("base itself") << QStringList{} << "EXAMPLE.com" << QStringList{} << QStringList{"EXAMPLE.com"} << "";
    QTest::newRow("not a label") << QStringList{} << "myexample.com" << QStringList{} << QStringList{"myexample.com"}
                                 << "";
    QTest::newRow("base inside") << QStringList{} << "www.example.com.hr" << QStringList{}
                                 << QStringList{"www.example.com.hr", "example.com.hr"} << "";
    crafted("pointer chain", "pointer-chain",
            {"backup.mx1.example.com:10", "a.backup.mx1.example.com:20", "mx1.example.com:30"});
    crafted("pointer past 255, other record first", "far-pointer", {"mx2.mx1.example.com:10", "mx1.example.com:20"});
    crafted("forged answers first", "spoofs", {"real.example.com:10"});
    crafted("answers but no MX", "non-mx", {});
    // a malformed answer keeps the records before the fault
    crafted("pointer loop", "pointer-loop", {"mx1.example.com:10"});
    crafted("truncated", "truncated", {"mx1.example.com:10"});
    const QString receive = "Problem receiving MX query";
    crafted("silence", "silent", {}, receive);
    crafted("other ID only", "wrong-id", {}, receive);
    crafted("shorter than a header", "short", {}, receive);
  }
  void answers() {
    QFETCH(QStringList, args);
    QFETCH(QString, domain);
    QVERIFY(serve(args));
    int ticks = 0;
    QTimer window;  // stands for the caller's window: it is served during the wait
    connect(&window, &QTimer::timeout, [&] { ++ticks; });
    window.start(20);
    QList<MXRecord> found;
    QTEST(mxError([&] { found = MXQuery(domain, 600); }), "error");
    QTEST(describe(found), "table");
    QTEST(loggedQueryNames(log_), "asked");
    if (args.contains("silent")) QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
  }

  void fallbacksAndReasons_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("resolver");
    QTest::addColumn<QStringList>("table");
    QTest::addColumn<QString>("reason");
    const QStringList one{"--mx", "example.com", "10", "mx.example.com"};
    const QByteArray own = "nameserver 127.0.0.70\n";
    QTest::newRow("truncated over UDP: asked again over TCP") << (QStringList{"--mode", "tc"} + one) << own
                                                              << QStringList{"mx.example.com:10"} << "";
    QTest::newRow("dead first server: the next one asked") << one << "nameserver 127.0.0.71\n" + own
                                                           << QStringList{"mx.example.com:10"} << "";
    QTest::newRow("NXDOMAIN") << QStringList{"--mode", "nxdomain"} << own << QStringList{}
                              << "Domain does not exist (NXDOMAIN)";
    QTest::newRow("SERVFAIL") << QStringList{"--mode", "servfail"} << own << QStringList{}
                              << "DNS server failure (RCODE 2)";
    QTest::newRow("no MX") << QStringList{} << own << QStringList{} << "Domain has no MX record";
  }
  void fallbacksAndReasons() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, resolver);
    QFETCH(QString, reason);
    PeerProcess server;
    QVERIFY(startDnsServer(server, "127.0.0.70", args));
    useResolver(env_, resolver);
    const modMXQuery::MXLookup found = lookUpMX("example.com", 2000);
    QTEST(describe(found.records), "table");
    QCOMPARE(found.reason, reason);
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

  void noServerAnswering() {
    // Nothing listens on 127.0.0.39: the refusal ends the wait at once.
    useResolver(env_, "nameserver 127.0.0.39\ndomain example.com\n");
    QCOMPARE(mxError([] { (void)MXQuery("example.com", 60000); }), QString("Problem receiving MX query"));
  }
};

QTEST_GUILESS_MAIN(TstMXQuery)
#include "tst_mxquery.moc"
