#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include "mail/HostLookup.h"
#include "mail/Ping.h"
#include "mail/Validation.h"
#include "support/TestEnv.h"

using namespace mail;

namespace {

// A label over 63 octets: the resolver refuses the name itself, so no query leaves the host.
const QString kUnresolvable = QString(70, QLatin1Char('x')) + QStringLiteral(".example.hr");

bool canOpen(int type) {
  const int fd = socket(AF_INET, type, IPPROTO_ICMP);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool hostsFileNames(const QString& name) {
  QFile hosts(QStringLiteral("/etc/hosts"));
  if (!hosts.open(QIODevice::ReadOnly)) return false;
  const QRegularExpression word(QStringLiteral("\\s") + QRegularExpression::escape(name) + QStringLiteral("(\\s|$)"));
  return QString::fromUtf8(hosts.readAll()).contains(word);
}

void checkLoopbackEcho(PingMethod method) {
  QString address = QStringLiteral("127.0.0.1"), rtt, size;
  bool match = false;
  QVERIFY(Ping(address, rtt, size, match, method));
  QCOMPARE(address, QStringLiteral("127.0.0.1"));
  QCOMPARE(size, QStringLiteral("32 bytes"));
  QVERIFY(match);
  bool numeric = false;
  QVERIFY(rtt.toInt(&numeric) <= 255 && numeric);
}

}  // namespace

class TestValidation : public QObject {
  Q_OBJECT
  TestEnv env_;

 private slots:
  void emailAddresses_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "user@example.com" << true;
    QTest::newRow("one label") << "user@example" << false;
    QTest::newRow("two @") << "a@b@example.com" << false;
    QTest::newRow("empty local part") << "@example.com" << true;
    QTest::newRow("dotted") << "user@10.0.0.1" << true;
    QTest::newRow("dotted over 239") << "user@240.0.0.1" << false;
    QTest::newRow("ends in om") << "user@mail.om" << true;
    QTest::newRow("ends in xq") << "user@mail.xq" << false;
    QTest::newRow("piece of a list entry") << "user@mail.M" << true;
    QTest::newRow("trailing dot") << "user@example." << true;
    QTest::newRow("croatian") << "ivo@tvrtka.HR" << true;
    QTest::newRow("no @") << "user.example.com" << false;
    QTest::newRow("CR LF") << "a@b.hr\r\nRCPT TO:<x@y.hr>" << false;
    QTest::newRow("lone LF in local part") << "a\nb@c.hr" << false;
    QTest::newRow("NUL") << QString(QStringLiteral("a@b.hr") + QChar(0)) << false;
  }
  void emailAddresses() {
    QFETCH(QString, address);
    QFETCH(bool, valid);
    QCOMPARE(IsValidEmailAddress(address), valid);
  }

  void hostNamesAndDottedAddresses() {
    for (const char* h : {"mail.example.hr", "  Mail.Example.Com ", "192.168.1.20"}) QVERIFY2(isValidHostName(h), h);
    // 1.2.3.999 is neither dotted nor a domain
    for (const char* h : {"localhost", "   ", "mail.example.local", "1.2.3.999"}) QVERIFY2(!isValidHostName(h), h);
    for (const char* a : {"239.255.255.255", "0.0.0.0"}) QVERIFY2(isDottedAddress(a), a);
    for (const char* a : {"240.0.0.1", "1.2.3.256", "1.2.3", "1.2.3.4.5", "1..3.4", "a.b.c.d", "-1.2.3.4", "1.2.3.4 "})
      QVERIFY2(!isDottedAddress(a), a);
  }

  void addressLists() {
    QVERIFY(isValidAddressList(QString(), ';', 1));
    QVERIFY(isValidAddressList("a@b.hr;c@d.com", ';', 1));
    QVERIFY(!isValidAddressList("a@b.hr;nobody", ';', 1));
    QVERIFY(!isValidAddressList("a@b.hr;c@d.com", ',', 1));
    // mode 0 (and any other) accepts anything except a line break
    QVERIFY(isValidAddressList("nobody", ';', 0));
    QVERIFY(isValidAddressList("nobody", ';', 7));
    QVERIFY(!isValidAddressList("a@b.hr\r\nDATA", ';', 0));
    QVERIFY(!isValidAddressList("ok@b.hr;x\ry", ';', 0));
  }

  void hostModes() {
    QString accepted = "old";
    QVERIFY(checkHost(QString(), 3, &accepted));
    QCOMPARE(accepted, QString());
    QVERIFY(checkHost("smtp.example.hr", 1) && !checkHost("smtp", 1));
    QVERIFY(checkHost("localhost", 3, &accepted) && !checkHost(kUnresolvable, 3));
    QCOMPARE(accepted, QString("localhost"));
    QVERIFY(checkHost("not a host", 0) && checkHost("not a host", 4));
    QVERIFY(checkHost(QString("smtp.example.hr") + QChar(0), 1, &accepted));
    QCOMPARE(accepted, QString("smtp.example.hr"));
  }

  void lookups() {
    QCOMPARE(GetIPAddress(" localhost "), QString("127.0.0.1"));
    QCOMPARE(GetIPAddress("127.0.0.7"), QString("127.0.0.7"));
    QCOMPARE(GetIPAddress(kUnresolvable), QString());
    QCOMPARE(addressToHostName("127.0.0.1"), QString("localhost"));
    QCOMPARE(addressToHostName("localhost"), QString());
    QCOMPARE(dottedToAddress("127.0.0.1"), quint32(htonl(INADDR_LOOPBACK)));
    QCOMPARE(dottedToAddress("1.2.3.300"), 0u);
  }

  void emptyNameMeansThisMachine() {
    if (!hostsFileNames(GetIPHost())) QSKIP("this machine's name would need a DNS query");
    QCOMPARE(GetIPAddress(QString()), GetIPAddress(GetIPHost()));
    QVERIFY(!GetIPAddress(QString()).isEmpty());
  }

  void pingLoopback() {
    if (!canOpen(SOCK_DGRAM) && !canOpen(SOCK_RAW)) QSKIP("no ICMP socket permitted here");
    checkLoopbackEcho(PingMethod::Automatic);
    QString address = QStringLiteral("localhost"), rtt, size;
    bool match = false;
    QVERIFY(Ping(address, rtt, size, match));
    QCOMPARE(address, QStringLiteral("127.0.0.1"));
    address = kUnresolvable;
    QVERIFY(!Ping(address, rtt, size, match));
    QCOMPARE(address, kUnresolvable);
    // host mode 2 (echo) keeps the address that answered
    QString accepted;
    QVERIFY(checkHost("localhost", 2, &accepted) && !checkHost(kUnresolvable, 2, &accepted));
    QCOMPARE(accepted, QString("127.0.0.1"));
  }

  void pingThroughRawSocket() {
    if (!canOpen(SOCK_RAW)) QSKIP("raw sockets need CAP_NET_RAW");
    checkLoopbackEcho(PingMethod::Raw);
  }

  // Unprivileged ICMP sockets depend on net.ipv4.ping_group_range. When this process may
  // not open one, the case runs again in a private network namespace where it may.
  void pingThroughDatagramSocket() {
    if (canOpen(SOCK_DGRAM)) {
      checkLoopbackEcho(PingMethod::Datagram);
      return;
    }
    if (qEnvironmentVariableIsSet("VELKOR_PING_NETNS")) QFAIL("datagram socket refused in the namespace");
    if (geteuid() != 0) QSKIP("unprivileged ICMP sockets are not permitted for this group");
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VELKOR_PING_NETNS"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("unshare"),
                {QStringLiteral("-n"), QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("ip link set lo up && "
                                "echo '0 2147483647' > /proc/sys/net/ipv4/ping_group_range && "
                                "exec \"$0\" pingThroughDatagramSocket"),
                 QCoreApplication::applicationFilePath()});
    if (!child.waitForFinished(30000) || child.exitStatus() != QProcess::NormalExit)
      QSKIP("no private network namespace available");
    const QString output = QString::fromLocal8Bit(child.readAll());
    if (child.exitCode() != 0 && !output.contains(QLatin1String("Totals:")))
      QSKIP(qPrintable(QStringLiteral("no private network namespace: ") + output.trimmed()));
    QVERIFY2(child.exitCode() == 0, qPrintable(output));
    QVERIFY2(output.contains(QLatin1String("PASS   : TestValidation::pingThroughDatagramSocket()")),
             qPrintable(output));
  }
};

QTEST_GUILESS_MAIN(TestValidation)
#include "tst_validation.moc"
