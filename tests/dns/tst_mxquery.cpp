// MX queries against the Python DNS server: well-formed tables and crafted faulty answers.
#include "DnsPeers.h"

using namespace modMXQuery;

namespace {
const QString kServer = QStringLiteral("127.0.0.32");
}  // namespace

class TstMXQuery : public QObject {
  Q_OBJECT
  TestEnv env_;
  PeerProcess server_;
  QString log_;

  bool serve(const QStringList& args) {
    log_ = env_.path(QStringLiteral("queries-%1.log").arg(QTest::currentTestFunction()));
    QFile::remove(log_);
    return startDnsServer(server_, kServer, QStringList{QStringLiteral("--log"), log_} + args);
  }

 private slots:
  void init() { useResolver(env_, "nameserver 127.0.0.32\ndomain example.com\n"); }
  void cleanup() { server_.stop(); }

  void sendsTheQueryDatagramAndSortsByPreference() {
    QVERIFY(serve({"--mx", "example.com", "20", "mx2.example.com",  //
                   "--mx", "example.com", "10", "mx1.example.com"}));
    QCOMPARE(describe(MXQuery("example.com")),
             QStringList({"mx1.example.com:10", "mx2.example.com:20"}));
    QCOMPARE(loggedQuery(log_, 0).toHex(),
             QByteArray("11df01000001000000000000"
                        "076578616d706c6503636f6d00000f0001"));
    QCOMPARE(bestExchange(QStringLiteral("  example.com  ")), QStringLiteral("mx1.example.com"));
  }

  void equalPreferencesKeepTheAnswerOrder() {
    // Enough records that an unstable sort would reorder equal preferences.
    QStringList args, expected10, expected20;
    for (int i = 0; i < 40; ++i) {
      const int pref = (i * 7) % 3 == 0 ? 20 : 10;
      const QString host = QStringLiteral("r%1.example.com").arg(39 - i);
      args << "--mx" << "example.com" << QString::number(pref) << host;
      (pref == 10 ? expected10 : expected20) << host + ":" + QString::number(pref);
    }
    QVERIFY(serve(args));
    QCOMPARE(describe(MXQuery("example.com")), expected10 + expected20);
  }

  void preferenceIsUnsignedAndRootExchangeIsSkipped() {
    QVERIFY(serve({"--mx", "example.com", "0", ".",  //
                   "--mx", "example.com", "40000", "big.example.com",
                   "--mx", "example.com", "300", "mid.example.com"}));
    QCOMPARE(describe(MXQuery("example.com")),
             QStringList({"mid.example.com:300", "big.example.com:40000"}));
  }

  void noAnswersAsksTheParentUnderTheBaseDomain() {
    QVERIFY(serve({"--mx", "example.com", "10", "mx.example.com"}));
    QCOMPARE(describe(MXQuery("a.office.example.com")), QStringList({"mx.example.com:10"}));
    QCOMPARE(loggedQueryNames(log_),
             QStringList({"a.office.example.com", "office.example.com", "example.com"}));
  }

  void noAnswersElsewhereEndsEmpty_data() {
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QStringList>("asked");
    QTest::newRow("base itself") << "EXAMPLE.com" << QStringList{"EXAMPLE.com"};
    QTest::newRow("outside") << "mail.example.org" << QStringList{"mail.example.org"};
    QTest::newRow("not a label") << "myexample.com" << QStringList{"myexample.com"};
    QTest::newRow("base inside") << "www.example.com.hr"
                                 << QStringList{"www.example.com.hr", "example.com.hr"};
  }
  void noAnswersElsewhereEndsEmpty() {
    QFETCH(QString, domain);
    QFETCH(QStringList, asked);
    QVERIFY(serve({}));
    QVERIFY(MXQuery(domain).isEmpty());
    QCOMPARE(loggedQueryNames(log_), asked);
  }

  void emptyDomainMeansTheLocalDomain() {
    QVERIFY(serve({"--mx", "example.com", "10", "mx.example.com"}));
    QCOMPARE(bestExchange(QString()), QStringLiteral("mx.example.com"));
    QCOMPARE(loggedQueryNames(log_), QStringList({"example.com"}));
  }

  void badDomainsAreRefused() {
    VERIFY_MX_ERROR(MXQuery("a.hr"), "No Valid Domain Specified");
    VERIFY_MX_ERROR(MXQuery("a..example.com"), "No Valid Domain Specified");
    VERIFY_MX_ERROR(MXQuery(QString(64, QLatin1Char('x')) + ".com"), "No Valid Domain Specified");
    useResolver(env_, "nameserver 127.0.0.32\n# domain example.com\n");
    VERIFY_MX_ERROR(MXQuery(""), "No Valid Domain Specified");  // no local domain to use
  }

  void readsAnswersOfEveryLegalShape_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("table");
    QTest::newRow("pointer chain")
        << "pointer-chain"
        << QStringList{"backup.mx1.example.com:10", "a.backup.mx1.example.com:20",
                       "mx1.example.com:30"};
    QTest::newRow("pointer past 255, other record first")
        << "far-pointer" << QStringList{"mx2.mx1.example.com:10", "mx1.example.com:20"};
    QTest::newRow("no compression")
        << "uncompressed" << QStringList{"fast.example.com:10", "slow.example.com:20"};
    QTest::newRow("forged answers first") << "spoofs" << QStringList{"real.example.com:10"};
    QTest::newRow("answers but no MX") << "non-mx" << QStringList{};
  }
  void readsAnswersOfEveryLegalShape() {
    QFETCH(QString, mode);
    QFETCH(QStringList, table);
    QVERIFY(serve({"--mode", mode}));
    QCOMPARE(describe(MXQuery("example.com")), table);
    QCOMPARE(loggedQueryNames(log_).size(), 1);  // an answer with records is not retried
  }

  void brokenAnswerKeepsTheRecordsBeforeTheFault_data() {
    QTest::addColumn<QString>("mode");
    QTest::newRow("pointer loop") << "pointer-loop";
    QTest::newRow("truncated") << "truncated";
  }
  void brokenAnswerKeepsTheRecordsBeforeTheFault() {
    QFETCH(QString, mode);
    QVERIFY(serve({"--mode", mode}));
    QCOMPARE(describe(MXQuery("example.com")), QStringList({"mx1.example.com:10"}));
  }

  void unusableAnswersEndInTheReceiveError_data() {
    QTest::addColumn<QString>("mode");
    QTest::newRow("silence") << "silent";
    QTest::newRow("other ID only") << "wrong-id";
    QTest::newRow("shorter than a header") << "short";
  }
  void unusableAnswersEndInTheReceiveError() {
    QFETCH(QString, mode);
    QVERIFY(serve({"--mode", mode}));
    VERIFY_MX_ERROR(MXQuery("example.com", 600), "Problem receiving MX query");
    QCOMPARE(loggedQueryNames(log_), QStringList({"example.com"}));
  }

  void closedServerPortIsAReceiveError() {
    // Nothing listens on 127.0.0.39: the refusal ends the wait at once.
    useResolver(env_, "nameserver 127.0.0.39\ndomain example.com\n");
    VERIFY_MX_ERROR(MXQuery("example.com", 60000), "Problem receiving MX query");
  }

  void noServersIsItsOwnError() {
    useResolver(env_, "domain example.com\nsearch example.org\n");
    VERIFY_MX_ERROR(MXQuery("example.com"), "No DNS entries found, MX Query cannot contine.");
  }
};

QTEST_GUILESS_MAIN(TstMXQuery)
#include "tst_mxquery.moc"
