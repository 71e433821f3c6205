#include "mail/QuotedPrintable.h"

#include <QRegularExpression>

#include "mail/BodyPreparation.h"

namespace mail {

namespace {

constexpr qsizetype kMaxEncodedLine = 76;

QStringList splitLines(const QString& text) {
  static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
  return text.split(lineEnd);
}

bool isLiteral(uchar c, bool first, bool last) {
  if (c == '.' && first) return false;
  if (c == ' ' || c == '\t') return !last;
  return c >= 33 && c <= 126 && c != '=';
}

void encodeLine(const QByteArray& utf8, QByteArrayList& out) {
  QByteArray line;
  for (qsizetype i = 0; i < utf8.size(); ++i) {
    const uchar c = uchar(utf8[i]);
    QByteArray piece(1, char(c));
    if (!isLiteral(c, line.isEmpty(), i + 1 == utf8.size()))
      piece = '=' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
    // One place is kept for the "=" of a soft line break.
    if (line.size() + piece.size() > kMaxEncodedLine - 1) {
      out << line + '=';
      line.clear();
      if (c == '.') piece = "=2E";
    }
    line += piece;
  }
  out << line;
}

}  // namespace

QByteArrayList quotedPrintableLines(const QString& text) {
  QByteArrayList out;
  for (const QString& line : splitLines(text)) encodeLine(line.toUtf8(), out);
  return out;
}

bool hasOverlongLine(const QString& text) {
  for (const QString& line : splitLines(text))
    if (line.toUtf8().size() > kMaxLineOctets) return true;
  return false;
}

}  // namespace mail
