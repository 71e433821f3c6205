#include "mail/BodyPreparation.h"

#include <QStringList>

namespace mail {
namespace {

bool isUtf8Continuation(char c) { return (quint8(c) & 0xC0) == 0x80; }

// Splits at CR LF, lone CR and lone LF alike.
QStringList splitLines(const QString& text) {
  QStringList lines;
  qsizetype start = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c != QLatin1Char('\r') && c != QLatin1Char('\n')) continue;
    lines << text.mid(start, i - start);
    if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ++i;
    start = i + 1;
  }
  lines << text.mid(start);
  return lines;
}

// Where the next piece of an over-long line starts: after its last blank at or before
// octet 998, else at octet 998 moved back to the start of a character.
qsizetype pieceEnd(const QByteArray& utf8, qsizetype from) {
  const qsizetype limit = from + kMaxLineOctets;
  for (qsizetype i = limit - 1; i >= from; --i)
    if (utf8[i] == ' ') return i + 1;
  qsizetype end = limit;
  while (end > from + 1 && isUtf8Continuation(utf8[end])) --end;
  return end;
}

}  // namespace

QStringList breakLongLine(const QString& line) {
  const QByteArray utf8 = line.toUtf8();
  if (utf8.size() <= kMaxLineOctets) return {line};
  QStringList pieces;
  qsizetype from = 0;
  while (utf8.size() - from > kMaxLineOctets) {
    const qsizetype end = pieceEnd(utf8, from);
    pieces << QString::fromUtf8(utf8.constData() + from, end - from);
    from = end;
  }
  pieces << QString::fromUtf8(utf8.constData() + from, utf8.size() - from);
  return pieces;
}

bool hasEightBit(const QString& text) {
  for (QChar c : text)
    if (c.unicode() > 126) return true;
  return false;
}

PreparedBody prepareBody(const QString& text, bool dotStuff) {
  PreparedBody result;
  if (text.isEmpty()) return result;
  QStringList out;
  for (const QString& line : splitLines(text)) {
    for (QString piece : breakLongLine(line)) {
      if (dotStuff && piece.startsWith(QLatin1Char('.'))) piece.prepend(QLatin1Char('.'));
      out << piece;
    }
  }
  result.text = out.join(QLatin1String("\r\n"));
  result.eightBit = hasEightBit(result.text);
  return result;
}

}  // namespace mail
