#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include "mail/Base64.h"
#include "mail/BodyPreparation.h"
#include "mail/ContentTypes.h"
#include "mail/DateHeader.h"
#include "mail/HeaderEncoding.h"
#include "mail/MessageId.h"
#include "mail/UUEncode.h"
#include "support/TestEnv.h"

#include <ctime>

using namespace mail;

namespace {

QByteArray randomBytes(int n) {
  QByteArray b(n, Qt::Uninitialized);
  for (char& c : b) c = char(QRandomGenerator::global()->bounded(256));
  return b;
}

// The encoded words of a header value, decoded piece by piece; empty if any is malformed.
QList<QByteArray> decodedWords(const QByteArray& value) {
  QList<QByteArray> pieces;
  const QRegularExpression word("^=\\?UTF-8\\?B\\?([A-Za-z0-9+/=]+)\\?=$");
  for (const QByteArray& w : value.split('\n')) {
    const auto m = word.match(QString::fromLatin1(w.trimmed()));
    if (!m.hasMatch()) return {};
    pieces << QByteArray::fromBase64(m.captured(1).toLatin1());
  }
  return pieces;
}

}  // namespace

class TestEncoders : public QObject {
  Q_OBJECT
  TestEnv env_;

 private slots:
  void base64Vectors() {
    QCOMPARE(base64Encode(QByteArray()), QByteArray());
    QCOMPARE(base64Encode("abc"), QByteArray("YWJj\r\n"));
    QCOMPARE(base64EncodeString("čć"), QString("xI3Ehw==\r\n"));
    // 57 bytes fill one 76-character line; the 58th starts the next
    QCOMPARE(base64Encode(QByteArray(57, 'x')), QByteArray(57, 'x').toBase64() + "\r\n");
    QCOMPARE(base64Encode(QByteArray(58, 'x')), QByteArray(57, 'x').toBase64() + "\r\neA==\r\n");
  }

  void decodeStopsAtForeignCharacters() {
    QCOMPARE(decodeBase64Bytes("SGVsbG8="), QByteArray("Hello"));
    QCOMPARE(decodeBase64Bytes("SGVs*bG8="), QByteArray("Hel"));
    QCOMPARE(decodeBase64Bytes("SGVsbG8\r\n"), QByteArray("Hel"));  // partial group dropped
    QCOMPARE(decodeBase64Bytes("QQ==QUI="), QByteArray("AAB"));     // "=" ends one group only
    QCOMPARE(decodeBase64Bytes("QQ"), QByteArray("A"));             // no zero bytes invented
    QCOMPARE(decodeBase64Bytes("qq"), QByteArray("\xaa"));          // case-sensitive alphabet
    QCOMPARE(DecodeBase64String("xI1hcg=="), QString("čar"));
    QCOMPARE(DecodeBase64String("UGFzcw čč"), QString("Pas"));
  }

  void uuencodeLines() {
    QCOMPARE(uuencodeLine("abc"), QByteArray("#86)C"));
    QCOMPARE(uuencodeLine("a"), QByteArray("!80=="));
    QCOMPARE(uuencodeLine("ab"), QByteArray("\"86(="));
    QCOMPARE(uuencodeLine(QByteArray(3, '\0')), QByteArray("#````"));
    const QByteArray full = uuencodeLine(randomBytes(45));
    QCOMPARE(full.size(), 61);
    QCOMPARE(full[0], 'M');
    for (char c : full) QVERIFY(c >= 32 && c <= 96);
    QVERIFY(!uuencodeLine(QByteArray(63, 'x')).isEmpty());
    QVERIFY(uuencodeLine(QByteArray(64, 'x')).isEmpty());  // more than a length character can say
  }

  void headerTextExact_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("name");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("ASCII subject") << "Ponuda 2026" << false << QByteArray("Ponuda 2026");
    QTest::newRow("ASCII name is quoted") << "Ivan Horvat" << true << QByteArray("\"Ivan Horvat\"");
    QTest::newRow("quote and backslash escaped") << "Say \"hi\" \\o/" << true << QByteArray("\"Say \\\"hi\\\" \\\\o/\"");
    QTest::newRow("Croatian name") << "Ana Kovač" << true << QByteArray("=?UTF-8?B?QW5hIEtvdmHEjQ==?=");
    QTest::newRow("looks like an encoded word") << "=?x?=" << false << QByteArray("=?UTF-8?B?PT94Pz0=?=");
    QTest::newRow("CR LF cannot start a header") << "Hello\r\nBcc: victim@example.com" << false
                                                 << QByteArray("Hello  Bcc: victim@example.com");
  }
  void headerTextExact() {
    QFETCH(QString, text);
    QFETCH(bool, name);
    QFETCH(QByteArray, value);
    QCOMPARE(encodeHeaderText(text, name ? HeaderMode::Name : HeaderMode::Plain), value);
  }

  void encodedWords_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("name");
    QTest::addColumn<int>("words");
    QTest::newRow("50 characters, one č") << QString(24, 'a') + "č" + QString(25, 'b') << false << 2;
    QTest::newRow("two-byte characters") << QString(30, QChar(0x10D)) << true << 2;
    QTest::newRow("three-byte characters") << "x" + QString(30, QChar(0x20AC)) << true << 3;
    QTest::newRow("four-byte characters") << "ab" + QString("😀").repeated(20) << true << 2;
    QTest::newRow("too long for one line") << QString(2000, 'a') << false << 48;
    QTest::newRow("line break") << "Pozdrav č\nBcc: x@y.hr" << false << 1;
  }
  void encodedWords() {
    QFETCH(QString, text);
    QFETCH(bool, name);
    QFETCH(int, words);
    const QByteArray value = encodeHeaderText(text, name ? HeaderMode::Name : HeaderMode::Plain);
    QVERIFY(!value.contains('"'));
    QCOMPARE(value.count('\n'), value.count("\r\n\t"));  // folds only, never a bare line end
    const QList<QByteArray> pieces = decodedWords(value);
    QCOMPARE(pieces.size(), words);
    for (const QByteArray& w : pieces) {
      QVERIFY(w.size() <= kEncodedWordBytes);
      if (&w != &pieces.last()) QVERIFY(w.size() >= kEncodedWordBytes - 3);  // filled to the last whole character
      QCOMPARE(QString::fromUtf8(w).toUtf8(), w);  // each piece is valid on its own
    }
    QCOMPARE(QString::fromUtf8(pieces.join()), QString(text).replace('\n', ' '));
  }

  void zoneOffsets() {
    QCOMPARE(zoneOffsetText(-60), QString("+0100"));
    QCOMPARE(zoneOffsetText(300), QString("-0500"));
    QCOMPARE(zoneOffsetText(210), QString("-0330"));
    QCOMPARE(zoneOffsetText(0), QString("+0000"));
    QCOMPARE(zoneOffsetText(-345), QString("+0545"));
  }

  void localZoneFollowsDaylightTime() {
    const QByteArray old = qgetenv("TZ");
    qputenv("TZ", "Europe/Zagreb");
    tzset();
    const auto winter = QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC);
    const QString w = localZoneOffsetText(winter);
    const QString s = localZoneOffsetText(QDateTime(QDate(2026, 7, 15), QTime(12, 0), Qt::UTC));
    qputenv("TZ", "America/St_Johns");
    tzset();
    const QString newfoundland = localZoneOffsetText(winter);
    old.isNull() ? qunsetenv("TZ") : qputenv("TZ", old);
    tzset();
    QCOMPARE(w, QString("+0100"));
    QCOMPARE(s, QString("+0200"));
    QCOMPARE(newfoundland, QString("-0330"));
  }

  void messageIdShapeAndHost() {
    const QDateTime t(QDate(2026, 3, 4), QTime(5, 6, 7, 89), Qt::UTC);
    const QString a = messageId("mail.example.hr", t);
    QVERIFY2(QRegularExpression("^20260304050607089\\.[A-Za-z0-8]{20}@mail\\.example\\.hr$").match(a).hasMatch(),
             qPrintable(a));
    QVERIFY(messageId("mail.example.hr", t) != a);
    QVERIFY(messageId("my host>\r\n", t).endsWith("@my-host-"));
    QVERIFY(messageId(QString(), t).endsWith("@localhost"));
    QCOMPARE(messageIdHost(QHostAddress(), "smtp.example.hr"), QString("smtp.example.hr"));
    // 127.0.0.1 has a name in every hosts file: the reverse lookup wins
    const QString name = messageIdHost(QHostAddress::LocalHost, "smtp.example.hr");
    QVERIFY(!name.isEmpty() && name != "smtp.example.hr");
    QCOMPARE(messageIdHost(QHostAddress("::ffff:127.0.0.1"), "x"), name);
  }

  void preparedBody_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("stuff");
    QTest::addColumn<QString>("prepared");
    QTest::addColumn<bool>("eightBit");
    const QString x998(998, 'x'), c499 = QString(499, QChar(0x10D));
    QTest::newRow("empty") << "" << true << "" << false;
    QTest::newRow("lone dot") << "." << true << ".." << false;
    QTest::newRow("dots at line starts") << "a\r\n.\r\n.b\r\nc.d" << true << "a\r\n..\r\n..b\r\nc.d" << false;
    QTest::newRow("no stuffing for a file") << ".a\r\n." << false << ".a\r\n." << false;
    QTest::newRow("bare LF") << "a\nb\n.c" << true << "a\r\nb\r\n..c" << false;
    QTest::newRow("bare CR") << "a\rb" << true << "a\r\nb" << false;
    QTest::newRow("mixed ends") << "a\r\nb\nc\r\n" << true << "a\r\nb\r\nc\r\n" << false;
    QTest::newRow("998 octets fit") << x998 << true << x998 << false;
    QTest::newRow("no blank to break at") << QString(2500, 'x') << true
                                          << x998 + "\r\n" + x998 + "\r\n" + QString(504, 'x') << false;
    QTest::newRow("continuation starting with a dot") << x998 + ".tail" << true << x998 + "\r\n..tail" << false;
    QTest::newRow("break between whole characters")
        << QString(997, 'a') + c499 + QString(101, QChar(0x10D)) << true
        << QString(997, 'a') + "\r\n" + c499 + "\r\n" + QString(101, QChar(0x10D)) << true;
    QTest::newRow("DEL is eight-bit") << "del \x7f" << true << "del \x7f" << true;
  }
  void preparedBody() {
    QFETCH(QString, text);
    QFETCH(bool, stuff);
    QFETCH(QString, prepared);
    QFETCH(bool, eightBit);
    const PreparedBody b = prepareBody(text, stuff);
    QCOMPARE(b.text, prepared);
    QCOMPARE(b.eightBit, eightBit);
  }

  void longLinesBreakAfterTheLastBlank() {
    QString words;
    while (words.size() < 3000) words += "riječ ";
    const QStringList lines = prepareBody(words).text.split("\r\n");
    QVERIFY(lines.size() >= 4);
    for (int i = 0; i < lines.size() - 1; ++i) {
      QVERIFY(lines[i].endsWith(' '));
      QVERIFY(lines[i].toUtf8().size() <= 998 && lines[i].toUtf8().size() > 990);
    }
    QCOMPARE(lines.join(QString()), words);
  }

  void contentTypes() {
    QCOMPARE(GetContentType("/tmp/Izvjesce.PDF"), QString("application/pdf"));
    QCOMPARE(GetContentType("logo.png", "x/y"), QString("image/png"));
    QCOMPARE(GetContentType("README", "x/y"), QString("x/y"));
    QCOMPARE(GetContentType("/tmp/dir.d/README"), QString());
    QCOMPARE(GetContentType("file.", "x/y"), QString("x/y"));
    QCOMPARE(GetContentType("a.qqqzzz", "x/y"), QString("x/y"));
    QCOMPARE(attachmentContentType("a.qqqzzz"), QString("application/octet-stream"));
  }
};

QTEST_GUILESS_MAIN(TestEncoders)
#include "tst_encoders.moc"
