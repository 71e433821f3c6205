// The pure helpers of the mail engine: encoders, text preparation, address and host checks.
#include <QRegularExpression>
#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "mail/Base64.h"
#include "mail/BodyPreparation.h"
#include "mail/ContentTypes.h"
#include "mail/DateHeader.h"
#include "mail/HeaderEncoding.h"
#include "mail/HostLookup.h"
#include "mail/HtmlText.h"
#include "mail/MessageId.h"
#include "mail/Ping.h"
#include "mail/UUEncode.h"
#include "mail/Validation.h"
#include "support/TestEnv.h"

using namespace mail;

namespace {
// A label over 63 octets: the resolver refuses the name itself, so no query leaves the host.
const QString kUnresolvable = QString(70, 'x') + ".example.hr";
}  // namespace

class TestEncoders : public QObject {
  Q_OBJECT
  TestEnv env_;

 private slots:
  void decodeStopsAtForeignCharacters() {
    QCOMPARE(decodeBase64Bytes("SGVs*bG8="), QByteArray("Hel"));
    QCOMPARE(decodeBase64Bytes("SGVsbG8\r\n"), QByteArray("Hel"));  // partial group dropped
    QCOMPARE(decodeBase64Bytes("QQ==QUI="), QByteArray("AAB"));     // "=" ends one group only
    QCOMPARE(decodeBase64Bytes("QQ"), QByteArray("A"));             // no zero bytes invented
    QCOMPARE(decodeBase64Bytes("qq"), QByteArray("\xaa"));          // case-sensitive alphabet
    QCOMPARE(DecodeBase64String("UGFzcw čč"), QString("Pas"));
    QCOMPARE(base64EncodeString("čć"), QString("xI3Ehw==\r\n"));  // UTF-8; the line rules are fuzzed
    // uuencoded lines are fuzzed too; here the zero byte, which must not be a blank.
    QCOMPARE(uuencodeLine(QByteArray(3, '\0')), QByteArray("#````"));
  }

  void headerTextExact_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("name");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("ASCII subject") << "Ponuda 2026" << false << QByteArray("Ponuda 2026");
    QTest::newRow("quote and backslash escaped") << "Say \"hi\" \\o/" << true << QByteArray("\"Say \\\"hi\\\" \\\\o/\"");
    QTest::newRow("Croatian name") << "Ana Kovač" << true << QByteArray("=?UTF-8?B?QW5hIEtvdmHEjQ==?=");
    QTest::newRow("looks like an encoded word") << "=?x?=" << false << QByteArray("=?UTF-8?B?PT94Pz0=?=");
  }
  void headerTextExact() {
    QFETCH(QString, text);
    QFETCH(bool, name);
    QTEST(encodeHeaderText(text, name ? HeaderMode::Name : HeaderMode::Plain), "value");
  }

  void encodedWords_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("words");
    QTest::newRow("50 characters, one č") << QString(24, 'a') + "č" + QString(25, 'b') << 2;
    QTest::newRow("three-byte characters") << "x" + QString(30, QChar(0x20AC)) << 3;
    QTest::newRow("four-byte characters") << "ab" + QString("😀").repeated(20) << 2;
    QTest::newRow("too long for one line") << QString(2000, 'a') << 48;
    QTest::newRow("line break") << "Pozdrav č\nBcc: x@y.hr" << 1;
  }
  // The words' form and the folding are fuzzed; here how full the words are and what they hold.
  void encodedWords() {
    QFETCH(QString, text);
    const QList<QByteArray> words = encodeHeaderText(text, HeaderMode::Plain).split('\n');
    QTEST(int(words.size()), "words");
    QByteArray joined;
    for (const QByteArray& w : words) {
      const QByteArray piece = QByteArray::fromBase64(w.trimmed().mid(10).chopped(2));
      if (&w != &words.last()) QVERIFY(piece.size() >= kEncodedWordBytes - 3);  // filled to the last whole character
      joined += piece;
    }
    QCOMPARE(QString::fromUtf8(joined), QString(text).replace('\n', ' '));
  }

  void zoneOffsetsAndMessageIds() {
    QCOMPARE(zoneOffsetText(-60), QString("+0100"));
    QCOMPARE(zoneOffsetText(210), QString("-0330"));
    const QDateTime t(QDate(2026, 3, 4), QTime(5, 6, 7, 89), Qt::UTC);
    const QString a = messageId("mail.example.hr", t);
    QVERIFY2(QRegularExpression("^20260304050607089\\.[A-Za-z0-8]{20}@mail\\.example\\.hr$").match(a).hasMatch(),
             qPrintable(a));
    QVERIFY(messageId("mail.example.hr", t) != a);
    QVERIFY(messageId("my host>\r\n", t).endsWith("@my-host-"));
    QVERIFY(messageId("", t).endsWith("@localhost"));
    QCOMPARE(senderDomain("Prodaja@Tvrtka.HR"), QString("tvrtka.hr"));
    QCOMPARE(senderDomain("\"a@b\"@čokolada.hr"), QString("xn--okolada-i6a.hr"));
    QCOMPARE(senderDomain("ivan@[192.0.2.1]"), QString("192.0.2.1"));
    QCOMPARE(senderDomain("bez-domene"), QString());
  }

  void htmlToPlain_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("text");
    QTest::newRow("head, script, style and comments dropped")
        << "<html><head><title>Naslov</title><style>p{x:1}</style></head><body><!-- <p>skriveno</p> -->"
           "<script>var a = '<p>';</script><p>Poštovani,</p></body></html>" << "Poštovani,";
    QTest::newRow("blocks and breaks")
        << "<h1>Ponuda</h1><p>prvi<br>drugi<BR/>treći</p>\n\n<div>četvrti</div><ul><li>a</li><li>b</li></ul>"
        << "Ponuda\n\nprvi\ndrugi\ntreći\n\nčetvrti\n\n- a\n- b";
    QTest::newRow("blanks collapse, not in pre")
        << "a \n\t b<p></p><p></p><p>c</p><pre>x  y\r\n  z</pre>" << "a b\n\nc\n\nx  y\n  z";
    QTest::newRow("entities") << "&scaron;&#263;&#x17E; &lt;b&gt; &amp;amp; R&amp;D&nbsp;d.o.o. &bogus; a&b"
                              << "šćž <b> &amp; R&D d.o.o. &bogus; a&b";
    QTest::newRow("links") << "<a href=\"https://tvrtka.hr/a?b=1&amp;c=2\">Katalog</a>, "
                              "<a href='mailto:ana@tvrtka.hr'>Ana</a>, <a href=\"http://x.hr\">http://x.hr</a>, "
                              "<a href=\"javascript:x()\">klik</a>, <a href=\"#gore\">gore</a>"
                           << "Katalog <https://tvrtka.hr/a?b=1&c=2>, Ana <ana@tvrtka.hr>, http://x.hr, klik, gore";
    QTest::newRow("table cells and a lone <") << "<table><tr><td>1 < 2</td><td title='a>b'>da</td></tr></table>"
                                                << "1 < 2\tda";
  }
  void htmlToPlain() {
    QFETCH(QString, html);
    QTEST(htmlToPlainText(html), "text");
  }

  // Line ends, line length and dot-stuffing are fuzzed; here where lines break and what they become.
  void preparedBody_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("stuff");
    QTest::addColumn<QString>("prepared");
    QTest::addColumn<bool>("eightBit");
    const QString x998(998, 'x'), c499 = QString(499, QChar(0x10D));
    QTest::newRow("no stuffing for a file") << ".a\r\n." << false << ".a\r\n." << false;
    QTest::newRow("bare LF and CR") << "a\nb\rc\n.d" << true << "a\r\nb\r\nc\r\n..d" << false;
    QTest::newRow("998 octets fit") << x998 << true << x998 << false;
    QTest::newRow("no blank to break at") << QString(2500, 'x') << true
                                          << x998 + "\r\n" + x998 + "\r\n" + QString(504, 'x') << false;
    QTest::newRow("break between whole characters")
        << QString(997, 'a') + c499 + QString(101, QChar(0x10D)) << true
        << QString(997, 'a') + "\r\n" + c499 + "\r\n" + QString(101, QChar(0x10D)) << true;
    QTest::newRow("DEL is eight-bit") << "del \x7f" << true << "del \x7f" << true;
    const QString word = "riječ ", line = word.repeated(142);  // 994 octets: no room for one more word
    QTest::newRow("break after the last blank")
        << word.repeated(500) << true << QStringList(3, line).join("\r\n") + "\r\n" + word.repeated(74) << true;
  }
  void preparedBody() {
    QFETCH(QString, text);
    QFETCH(bool, stuff);
    const PreparedBody b = prepareBody(text, stuff);
    QTEST(b.text, "prepared");
    QTEST(b.eightBit, "eightBit");
  }

  void contentTypes() {
    QCOMPARE(GetContentType("/tmp/Izvjesce.PDF"), QString("application/pdf"));
    QCOMPARE(GetContentType("/tmp/dir.d/README"), QString());
    QCOMPARE(attachmentContentType("a.qqqzzz"), QString("application/octet-stream"));
  }

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

QTEST_GUILESS_MAIN(TestEncoders)
#include "tst_encoders.moc"
