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
const QString kUnresolvable = QString(70, 'x') + ".example.hr";
}  // namespace

class TestValidation : public QObject {
  Q_OBJECT
  TestEnv env_;

 private slots:
  void emailAddresses() {
    // any last label of 2-63 letters is a top-level domain, and so is an IDN one
    for (const char* a : {"user@example.com", "@example.com", "user@10.0.0.1", "user@mail.om", "ured@firma.eu",
                          "a@b.rs", "a@b.me", "a@trgovina.shop", "a@b.app", "a@b.xn--90a3ac", "a@b.xq"})
      QVERIFY2(IsValidEmailAddress(a), a);
    // no empty label, no one-letter or numeric TLD, nothing that could carry ESMTP parameters
    for (const char* a : {"user@example", "a@b@example.com", "user@240.0.0.1", "user@mail.M", "x@y.", "x@.com",
                          "a@b.c0m", "a@b.hr\r\nRCPT TO:<x@y.hr>", "a\nb@c.hr", "prodaja@firma.hr> NOTIFY=NEVER X.COM",
                          "a b@c.hr", "<a@c.hr>", "a@c.hr\t"})
      QVERIFY2(!IsValidEmailAddress(a), a);
    QVERIFY(!IsValidEmailAddress("a@b.hr" + QString(QChar(0))));
  }

  void hostNamesDottedAddressesAndLists() {
    for (const char* h : {"mail.example.hr", "  Mail.Example.Com ", "192.168.1.20"}) QVERIFY2(isValidHostName(h), h);
    // 1.2.3.999 is neither dotted nor a domain
    for (const char* h : {"localhost", "   ", "mail..hr", "1.2.3.999"}) QVERIFY2(!isValidHostName(h), h);
    for (const char* a : {"239.255.255.255", "0.0.0.0"}) QVERIFY2(isDottedAddress(a), a);
    for (const char* a : {"240.0.0.1", "1.2.3.256", "1.2.3", "1.2.3.4.5", "1..3.4", "-1.2.3.4", "1.2.3.4 "})
      QVERIFY2(!isDottedAddress(a), a);
    QVERIFY(isValidAddressList(QString(), ';', 1) && isValidAddressList("a@b.hr;c@d.com", ';', 1));
    QVERIFY(!isValidAddressList("a@b.hr;nobody", ';', 1) && !isValidAddressList("a@b.hr;c@d.com", ',', 1));
    // mode 0 (and any other) accepts anything that cannot break out of a command
    QVERIFY(isValidAddressList("nobody", ';', 0) && isValidAddressList("nobody", ';', 7));
    for (const char* l : {"a@b.hr\r\nDATA", "ok@b.hr;x\ry", "a@b.hr> NOTIFY=NEVER", "a@b.hr;c <d>"})
      QVERIFY2(!isValidAddressList(l, ';', 0), l);
  }

  void hostModesAndLookups() {
    QString accepted = "old";
    QVERIFY(checkHost(QString(), 3, &accepted));
    QCOMPARE(accepted, QString());
    QVERIFY(checkHost("smtp.example.hr", 1) && !checkHost("smtp", 1));
    QVERIFY(checkHost("localhost", 3, &accepted) && !checkHost(kUnresolvable, 3));
    QCOMPARE(accepted, QString("localhost"));
    QVERIFY(checkHost("not a host", 0) && checkHost("not a host", 4));
    QVERIFY(checkHost(QString("smtp.example.hr") + QChar(0), 1, &accepted));
    QCOMPARE(accepted, QString("smtp.example.hr"));
    QCOMPARE(GetIPAddress(" localhost "), QString("127.0.0.1"));
    QCOMPARE(GetIPAddress(kUnresolvable), QString());
    QCOMPARE(addressToHostName("127.0.0.1"), QString("localhost"));
    QCOMPARE(addressToHostName("localhost"), QString());
    QCOMPARE(dottedToAddress("127.0.0.1"), quint32(htonl(INADDR_LOOPBACK)));
    QCOMPARE(dottedToAddress("1.2.3.300"), 0u);
  }

  void pingLoopback() {
    bool permitted = false;
    for (int type : {SOCK_DGRAM, SOCK_RAW})
      if (const int fd = socket(AF_INET, type, IPPROTO_ICMP); fd >= 0 && close(fd) == 0) permitted = true;
    if (!permitted) QSKIP("no ICMP socket permitted here");
    QString address = "localhost", rtt, size;
    bool match = false;
    QVERIFY(Ping(address, rtt, size, match));
    QCOMPARE(address, QString("127.0.0.1"));
    QCOMPARE(size, QString("32 bytes"));
    QVERIFY(match);
    bool numeric = false;
    QVERIFY(rtt.toInt(&numeric) <= 255 && numeric);
    address = kUnresolvable;
    QVERIFY(!Ping(address, rtt, size, match));
    QCOMPARE(address, kUnresolvable);
    // host mode 2 (echo) keeps the address that answered
    QString accepted;
    QVERIFY(checkHost("localhost", 2, &accepted) && !checkHost(kUnresolvable, 2, &accepted));
    QCOMPARE(accepted, QString("127.0.0.1"));
  }
};

QTEST_GUILESS_MAIN(TestValidation)
#include "tst_validation.moc"
