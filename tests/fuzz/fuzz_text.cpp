// Text and bytes on their way to the wire. Base64 and uuencode on arbitrary bytes: the
// decoder never reads past its input, the encoder's lines are well formed and decode back to
// the bytes, and uuencoded lines decode the way uudecode reads them. User text: a prepared
// body has only CR LF line ends, no line over 998 octets, every leading dot doubled and
// nothing lost; header words carry no line break and decode back to the text; cid:
// rewriting never loses what surrounds it.
// fuzz-sources: src/mail/Base64.cpp src/mail/UUEncode.cpp src/mail/BodyPreparation.cpp
// fuzz-sources: src/mail/HeaderEncoding.cpp src/mail/EmbeddedFiles.cpp
#include <cstddef>
#include <cstdint>

#include <QByteArrayList>
#include <QStringList>

#include "mail/Base64.h"
#include "mail/BodyPreparation.h"
#include "mail/EmbeddedFiles.h"
#include "mail/HeaderEncoding.h"
#include "mail/UUEncode.h"

using namespace mail;

static void check(bool ok) {
  if (!ok) __builtin_trap();
}

static void checkEncoding(const QByteArray& bytes) {
  const QByteArray lines = base64Encode(bytes);
  check(bytes.isEmpty() == lines.isEmpty());
  if (!bytes.isEmpty()) check(lines.endsWith("\r\n"));
  QByteArray joined;
  for (const QByteArray& line : lines.split('\n')) {
    check(line.size() <= 77);
    joined += line.endsWith('\r') ? line.chopped(1) : line;
  }
  check(joined == bytes.toBase64());
  check(base64EncodeFlat(bytes) == joined);
  check(decodeBase64Bytes(joined) == bytes);
}

// uudecode: the length character says how many bytes the line carries.
static QByteArray uudecode(const QByteArray& line) {
  const int n = (line[0] - 32) & 63;
  QByteArray out;
  for (int i = 1; out.size() < n; i += 4) {
    quint32 v = 0;
    for (int k = 0; k < 4; ++k) v = v << 6 | ((i + k < line.size() ? line[i + k] - 32 : 0) & 63);
    for (int k = 2; k >= 0 && out.size() < n; --k) out += char(v >> (8 * k));
  }
  return out;
}

static void checkUU(const QByteArray& bytes) {
  const QByteArray piece = bytes.left(45);
  const QByteArray line = uuencodeLine(piece);
  check((line.size() - 1) % 4 == 0);
  for (char c : line) check((c >= 32 && c <= 96) || c == '=');
  check(uudecode(line) == piece);
  check(uuencodeLine(QByteArray(64, 'x')).isEmpty());
}

static QString withoutLineEnds(QString text) {
  return text.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
}

static void checkBody(const QString& text) {
  const PreparedBody body = prepareBody(text, true);
  QString rebuilt;
  for (QString line : body.text.split(QStringLiteral("\r\n"))) {
    check(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
    if (line.startsWith(QLatin1Char('.'))) {
      check(line.startsWith(QStringLiteral("..")));
      line.remove(0, 1);
    }
    check(line.toUtf8().size() <= kMaxLineOctets);
    rebuilt += line;
  }
  check(rebuilt == withoutLineEnds(text));
  check(body.eightBit == hasEightBit(text));
  check(prepareBody(text, false).text.size() <= body.text.size());
}

static void checkHeader(const QString& text) {
  const QByteArray value = encodeHeaderText(text, HeaderMode::Plain);
  QByteArray lines = value;
  lines.replace("\r\n\t", "");
  check(!lines.contains('\r') && !lines.contains('\n'));
  for (char c : value) check(quint8(c) < 128);
  if (!needsHeaderEncoding(headerSafe(text))) return;
  QByteArray decoded;
  for (const QByteArray& word : value.split('\t')) {
    const QByteArray w = word.trimmed();
    check(w.startsWith("=?UTF-8?B?") && w.endsWith("?=") && w.size() <= 68);
    const QByteArray piece = decodeBase64Bytes(w.mid(10, w.size() - 12));
    check(piece.size() <= kEncodedWordBytes);
    check(QString::fromUtf8(piece).toUtf8() == piece);  // no character cut in two
    decoded += piece;
  }
  check(QString::fromUtf8(decoded) == QString::fromUtf8(headerSafe(text).toUtf8()));
}

static void checkEmbedding(const QString& text) {
  const qsizetype split = text.indexOf(QChar(u'|'));
  if (split <= 0) return;
  QString body = text.mid(split + 1);
  const QString before = body;
  QList<MimeAttachment> attachments{{QString(), text.left(split)}};
  const bool related = embedFiles(body, attachments);
  check(related == attachments[0].embedded);
  if (!related) check(body == before);
  else check(body.contains(QLatin1String("cid:") + contentIdFor(text.left(split))));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Raw data, not a copy: the sanitizer sees any read past the input's end.
  const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
  const QByteArray decoded = decodeBase64Bytes(input);
  check(decoded.size() <= (input.size() + 3) / 4 * 3);
  (void)DecodeBase64String(QString::fromLatin1(input));
  checkEncoding(input);
  checkUU(input);
  const QString text = QString::fromUtf8(input);
  checkBody(text);
  checkHeader(text);
  checkEmbedding(text);
  return 0;
}
