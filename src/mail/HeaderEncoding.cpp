#include "mail/HeaderEncoding.h"

#include <QByteArrayList>

#include "mail/Base64.h"

namespace mail {
namespace {

// Longer plain text is encoded so that its words can be folded onto lines of sane length.
constexpr int kLongestPlainText = 900;

bool isUtf8Continuation(char c) { return (quint8(c) & 0xC0) == 0x80; }

// "=?UTF-8?B?…?=" words of at most 42 bytes, never cutting a character in two.
QByteArrayList encodedWords(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  QByteArrayList words;
  qsizetype pos = 0;
  while (pos < utf8.size()) {
    qsizetype end = qMin<qsizetype>(pos + kEncodedWordBytes, utf8.size());
    while (end < utf8.size() && end > pos + 1 && isUtf8Continuation(utf8[end])) --end;
    words << "=?UTF-8?B?" + base64EncodeFlat(QByteArrayView(utf8).sliced(pos, end - pos)) + "?=";
    pos = end;
  }
  return words;
}

QByteArray encode(const QString& text, HeaderMode mode, const QByteArray& separator) {
  const QString safe = headerSafe(text);
  if (!needsHeaderEncoding(safe)) return mode == HeaderMode::Name ? quotedString(safe) : safe.toLatin1();
  return encodedWords(safe).join(separator);
}

}  // namespace

QString headerSafe(const QString& text) {
  QString out = text;
  for (QChar& c : out)
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) c = QLatin1Char(' ');
  return out;
}

bool needsHeaderEncoding(const QString& text) {
  if (text.size() > kLongestPlainText) return true;
  if (text.contains(QLatin1String("=?"))) return true;  // would read as an encoded word
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if (u > 126 || (u < 32 && u != u'\t')) return true;
  }
  return false;
}

QByteArray quotedString(const QString& asciiText) {
  QByteArray out = "\"";
  for (QChar c : asciiText) {
    if (c == QLatin1Char('"') || c == QLatin1Char('\\')) out += '\\';
    out += char(c.unicode());
  }
  return out + '"';
}

QByteArray encodeHeaderText(const QString& text, HeaderMode mode) { return encode(text, mode, "\r\n\t"); }

QByteArray encodeHeaderTextUnfolded(const QString& text, HeaderMode mode) { return encode(text, mode, " "); }

}  // namespace mail
