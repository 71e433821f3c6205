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

#include <cstdlib>
#include <ctime>

using namespace mail;

namespace {

QByteArray randomBytes(int n) {
  QByteArray b(n, Qt::Uninitialized);
  for (char& c : b) c = char(QRandomGenerator::global()->bounded(256));
  return b;
}

// The encoded words of a header value, decoded piece by piece.
QList<QByteArray> decodedWords(const QByteArray& value) {
  QList<QByteArray> pieces;
  const QRegularExpression word(QStringLiteral("^=\\?UTF-8\\?B\\?([A-Za-z0-9+/=]+)\\?=$"));
  for (const QByteArray& w : value.split('\n')) {
    const QByteArray trimmed = w.trimmed();
    const auto m = word.match(QString::fromLatin1(trimmed));
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
  void base64LineStructure() {
    QCOMPARE(base64Encode(QByteArray()), QByteArray());
    QCOMPARE(base64EncodeString(QString()), QString());
    QCOMPARE(base64Encode("abc"), QByteArray("YWJj\r\n"));
    const QByteArray b57 = base64Encode(QByteArray(57, 'x'));
    QCOMPARE(b57.size(), 78);
    QVERIFY(b57.endsWith("\r\n") && !b57.left(76).contains('\r'));
    const QByteArray b58 = base64Encode(QByteArray(58, 'x'));
    const QList<QByteArray> lines = b58.split('\n');
    QCOMPARE(lines.size(), 3);  // two lines and the empty rest after the last CR LF
    QCOMPARE(lines[0].size(), 77);
    QCOMPARE(lines[1], QByteArray("eA==\r"));
    QCOMPARE(base64EncodeString(QStringLiteral("čć")), QStringLiteral("xI3Ehw==\r\n"));
  }

  void base64MatchesReferenceForAllLengths() {
    for (int n = 0; n < 700; ++n) {
      const QByteArray data = randomBytes(n);
      const QByteArray ours = base64Encode(data);
      for (const QByteArray& line : ours.split('\n'))
        QVERIFY2(line.size() <= 77, qPrintable(QString::number(n)));
      QByteArray joined = ours;
      joined.replace("\r\n", "");
      QCOMPARE(joined, data.toBase64());
      QCOMPARE(base64EncodeFlat(data), data.toBase64());
      QCOMPARE(decodeBase64Bytes(joined), data);
    }
  }

  void decodeStopsAtForeignCharacters() {
    QCOMPARE(decodeBase64Bytes("SGVsbG8="), QByteArray("Hello"));
    QCOMPARE(decodeBase64Bytes("SGVs*bG8="), QByteArray("Hel"));
    QCOMPARE(decodeBase64Bytes("SGVsbG8\r\n"), QByteArray("Hel"));  // partial group dropped
    QCOMPARE(decodeBase64Bytes("QQ==QUI="), QByteArray("AAB"));     // "=" ends one group only
    QCOMPARE(decodeBase64Bytes("QQ"), QByteArray("A"));             // no zero bytes invented
    QCOMPARE(decodeBase64Bytes("qq"), QByteArray("\xaa"));          // case-sensitive alphabet
    QCOMPARE(DecodeBase64String(QStringLiteral("VXNlcm5hbWU6")), QStringLiteral("Username:"));
    QCOMPARE(DecodeBase64String(QStringLiteral("xI1hcg==")), QStringLiteral("čar"));
    QCOMPARE(DecodeBase64String(QStringLiteral("UGFzcw čč")), QStringLiteral("Pas"));
  }

  void uuencodeLines() {
    QCOMPARE(uuencodeLine("abc"), QByteArray("#86)C"));
    QCOMPARE(uuencodeLine("Cat"), QByteArray("#0V%T"));
    QCOMPARE(uuencodeLine("a"), QByteArray("!80=="));
    QCOMPARE(uuencodeLine("ab"), QByteArray("\"86(="));
    QCOMPARE(uuencodeLine(QByteArray(3, '\0')), QByteArray("#````"));
    const QByteArray full = uuencodeLine(randomBytes(45));
    QCOMPARE(full.size(), 61);
    QCOMPARE(full[0], 'M');
    for (char c : full) QVERIFY(c >= 32 && c <= 96);
    QVERIFY(!uuencodeLine(QByteArray(63, 'x')).isEmpty());
    QVERIFY(uuencodeLine(QByteArray(64, 'x')).isEmpty());
  }

  void headerTextPlainAndName() {
    QCOMPARE(encodeHeaderText(QStringLiteral("Ponuda 2026"), HeaderMode::Plain),
             QByteArray("Ponuda 2026"));
    QCOMPARE(encodeHeaderText(QStringLiteral("Ivan Horvat"), HeaderMode::Name),
             QByteArray("\"Ivan Horvat\""));
    QCOMPARE(encodeHeaderText(QStringLiteral("Say \"hi\" \\o/"), HeaderMode::Name),
             QByteArray("\"Say \\\"hi\\\" \\\\o/\""));
    QCOMPARE(encodeHeaderText(QStringLiteral("Ana Kovač"), HeaderMode::Name),
             QByteArray("=?UTF-8?B?QW5hIEtvdmHEjQ==?="));
    // text that already looks like an encoded word is protected by encoding it
    QVERIFY(encodeHeaderText(QStringLiteral("=?x?="), HeaderMode::Plain).startsWith("=?UTF-8?B?"));
  }

  void headerTextNeverCarriesLineBreaks() {
    const QByteArray plain =
        encodeHeaderText(QStringLiteral("Hello\r\nBcc: victim@example.com"), HeaderMode::Plain);
    QCOMPARE(plain, QByteArray("Hello  Bcc: victim@example.com"));
    const QByteArray encoded =
        encodeHeaderText(QStringLiteral("Pozdrav č\nBcc: x@y.hr"), HeaderMode::Plain);
    const QList<QByteArray> words = decodedWords(encoded);
    QCOMPARE(QString::fromUtf8(words.join()), QStringLiteral("Pozdrav č Bcc: x@y.hr"));
    QCOMPARE(encoded.count('\n'), encoded.count("\r\n\t"));
  }

  void subjectOfFiftyCharactersWithOneCroatianLetter() {
    const QString subject = QString(24, QLatin1Char('a')) + QStringLiteral("č") + QString(25, QLatin1Char('b'));
    QCOMPARE(subject.size(), 50);
    const QByteArray value = encodeHeaderText(subject, HeaderMode::Plain);
    QCOMPARE(value.count("\r\n\t"), 1);
    const QList<QByteArray> words = decodedWords(value);
    QCOMPARE(words.size(), 2);
    QCOMPARE(words[0].size(), 42);
    QCOMPARE(QString::fromUtf8(words.join()), subject);
    QVERIFY(!value.contains('"'));
  }

  void encodedWordsNeverSplitCharacters() {
    const QString texts[] = {QString(30, QChar(0x10D)),              // č: 2 bytes each
                             QStringLiteral("x") + QString(30, QChar(0x20AC)),  // €: 3 bytes
                             QStringLiteral("ab") + QString(20, QChar(0xD83D)).replace(
                                 QString(QChar(0xD83D)), QStringLiteral("😀"))};
    for (const QString& text : texts) {
      const QList<QByteArray> words =
          decodedWords(encodeHeaderText(text, HeaderMode::Name));
      QVERIFY(words.size() > 1);
      QString joined;
      for (const QByteArray& w : words) {
        QVERIFY(w.size() <= 42);
        if (&w != &words.last()) QVERIFY(w.size() >= 39);  // filled to the last whole character
        QCOMPARE(QString::fromUtf8(w).toUtf8(), w);  // each piece is valid on its own
        joined += QString::fromUtf8(w);
      }
      QCOMPARE(joined, text);
    }
  }

  void longPlainSubjectIsFolded() {
    const QString subject = QString(2000, QLatin1Char('a'));
    const QByteArray value = encodeHeaderText(subject, HeaderMode::Plain);
    for (const QByteArray& line : value.split('\n')) QVERIFY(line.size() < 100);
    QCOMPARE(QString::fromUtf8(decodedWords(value).join()), subject);
  }

  void zoneOffsets() {
    QCOMPARE(zoneOffsetText(-60), QStringLiteral("+0100"));
    QCOMPARE(zoneOffsetText(300), QStringLiteral("-0500"));
    QCOMPARE(zoneOffsetText(210), QStringLiteral("-0330"));
    QCOMPARE(zoneOffsetText(0), QStringLiteral("+0000"));
    QCOMPARE(zoneOffsetText(-345), QStringLiteral("+0545"));
  }

  void localZoneFollowsDaylightTime() {
    const QByteArray old = qgetenv("TZ");
    qputenv("TZ", "Europe/Zagreb");
    tzset();
    const auto winter = QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC);
    const auto summer = QDateTime(QDate(2026, 7, 15), QTime(12, 0), Qt::UTC);
    const QString w = localZoneOffsetText(winter), s = localZoneOffsetText(summer);
    qputenv("TZ", "America/St_Johns");
    tzset();
    const QString newfoundland = localZoneOffsetText(winter);
    old.isNull() ? qunsetenv("TZ") : qputenv("TZ", old);
    tzset();
    QCOMPARE(w, QStringLiteral("+0100"));
    QCOMPARE(s, QStringLiteral("+0200"));
    QCOMPARE(newfoundland, QStringLiteral("-0330"));
  }

  void dateTextFormat() {
    QCOMPARE(dateText(QDateTime(QDate(2026, 12, 5), QTime(9, 5, 22)), QStringLiteral("+0100")),
             QStringLiteral("Sat, 5 Dec 2026 09:05:22 +0100"));
    QCOMPARE(dateText(QDateTime(QDate(2027, 1, 31), QTime(23, 59, 0)), QStringLiteral("-0330")),
             QStringLiteral("Sun, 31 Jan 2027 23:59:00 -0330"));
  }

  void messageIdShape() {
    const QDateTime t(QDate(2026, 3, 4), QTime(5, 6, 7, 89), Qt::UTC);
    const QString a = messageId(QStringLiteral("mail.example.hr"), t);
    const QRegularExpression shape(
        QStringLiteral("^20260304050607089\\.[A-Za-z0-8]{20}@mail\\.example\\.hr$"));
    QVERIFY2(shape.match(a).hasMatch(), qPrintable(a));
    QVERIFY(messageId(QStringLiteral("mail.example.hr"), t) != a);
    QVERIFY(messageId(QStringLiteral("my host>\r\n"), t).endsWith(QLatin1String("@my-host-")));
    QVERIFY(messageId(QString(), t).endsWith(QLatin1String("@localhost")));
    QVERIFY(messageId(QStringLiteral("::1"), t).endsWith(QLatin1String("@--1")));
  }

  void messageIdHostPrefersReverseLookup() {
    QCOMPARE(messageIdHost(QHostAddress(), QStringLiteral("smtp.example.hr")),
             QStringLiteral("smtp.example.hr"));
    // 127.0.0.1 has a name in every hosts file
    const QString name = messageIdHost(QHostAddress::LocalHost, QStringLiteral("smtp.example.hr"));
    QVERIFY(!name.isEmpty() && name != QLatin1String("smtp.example.hr"));
    QCOMPARE(messageIdHost(QHostAddress(QStringLiteral("::ffff:127.0.0.1")), QStringLiteral("x")), name);
  }

  void bodyDotStuffing() {
    QCOMPARE(prepareBody(QStringLiteral(".")).text, QStringLiteral(".."));
    QCOMPARE(prepareBody(QStringLiteral("a\r\n.\r\n.b\r\nc.d")).text,
             QStringLiteral("a\r\n..\r\n..b\r\nc.d"));
    QCOMPARE(prepareBody(QStringLiteral(".a\r\n."), false).text, QStringLiteral(".a\r\n."));
    QCOMPARE(prepareBody(QString()).text, QString());
  }

  void bodyLongLinesWithoutSpaces() {
    const PreparedBody b = prepareBody(QString(2500, QLatin1Char('x')));
    const QStringList lines = b.text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0].size(), 998);
    QCOMPARE(lines[1].size(), 998);
    QCOMPARE(lines[2].size(), 504);
    QCOMPARE(prepareBody(QString(998, QLatin1Char('x'))).text.size(), 998);
    QCOMPARE(prepareBody(QString(999, QLatin1Char('x'))).text.count(QLatin1String("\r\n")), 1);
  }

  void bodyLongLinesBreakAfterLastSpace() {
    QString words;
    while (words.size() < 3000) words += QStringLiteral("riječ ");
    const QStringList lines = prepareBody(words).text.split(QStringLiteral("\r\n"));
    QVERIFY(lines.size() >= 4);
    for (int i = 0; i < lines.size() - 1; ++i) {
      QVERIFY(lines[i].toUtf8().size() <= 998);
      QVERIFY(lines[i].endsWith(QLatin1Char(' ')));
      QVERIFY(lines[i].toUtf8().size() > 990);  // the last blank, not an earlier one
    }
    QCOMPARE(lines.join(QString()), words);
  }

  void bodyBreakNeverSplitsCharacters() {
    const QString line = QString(997, QLatin1Char('a')) + QString(600, QChar(0x10D));
    const QStringList lines = prepareBody(line).text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines[0], QString(997, QLatin1Char('a')));
    QCOMPARE(lines.join(QString()), line);
    for (const QString& l : lines) QVERIFY(l.toUtf8().size() <= 998);
  }

  void bodyContinuationStartingWithDotIsStuffed() {
    const QString line = QString(998, QLatin1Char('x')) + QStringLiteral(".tail");
    QCOMPARE(prepareBody(line).text, QString(998, QLatin1Char('x')) + QStringLiteral("\r\n..tail"));
  }

  void bodyLineEndsBecomeCrLf() {
    // a bare LF or CR would reach the wire as is; every line end is made CR LF
    QCOMPARE(prepareBody(QStringLiteral("a\nb\n.c")).text, QStringLiteral("a\r\nb\r\n..c"));
    QCOMPARE(prepareBody(QStringLiteral("a\rb")).text, QStringLiteral("a\r\nb"));
    QCOMPARE(prepareBody(QStringLiteral("a\r\nb\nc\r\n")).text, QStringLiteral("a\r\nb\r\nc\r\n"));
  }

  void eightBitFlag() {
    QVERIFY(!prepareBody(QStringLiteral("plain ~ text")).eightBit);
    QVERIFY(prepareBody(QStringLiteral("Poštovani")).eightBit);
    QVERIFY(prepareBody(QStringLiteral("del \x7f")).eightBit);
    QVERIFY(!prepareBody(QString()).eightBit);
  }

  void contentTypes() {
    QCOMPARE(GetContentType(QStringLiteral("/tmp/Izvjesce.PDF")), QStringLiteral("application/pdf"));
    QCOMPARE(GetContentType(QStringLiteral("logo.png"), QStringLiteral("x/y")), QStringLiteral("image/png"));
    QCOMPARE(GetContentType(QStringLiteral("README"), QStringLiteral("x/y")), QStringLiteral("x/y"));
    QCOMPARE(GetContentType(QStringLiteral("/tmp/dir.d/README")), QString());
    QCOMPARE(GetContentType(QStringLiteral("file."), QStringLiteral("x/y")), QStringLiteral("x/y"));
    QCOMPARE(GetContentType(QStringLiteral("a.qqqzzz"), QStringLiteral("x/y")), QStringLiteral("x/y"));
    QCOMPARE(attachmentContentType(QStringLiteral("a.qqqzzz")), QStringLiteral("application/octet-stream"));
    QCOMPARE(attachmentContentType(QStringLiteral("noextension")), QStringLiteral("application/octet-stream"));
  }
};

QTEST_GUILESS_MAIN(TestEncoders)
#include "tst_encoders.moc"
