#include "sender/AttachmentParameters.h"

#include <QList>

#include "mail/HeaderEncoding.h"

namespace sender {

namespace smtpparam {

namespace {

constexpr int kSectionChars = 60;

bool plainAscii(const QString& s) {
  for (const QChar c : s)
    if (c.unicode() < 32 || c.unicode() > 126) return false;
  return !mail::needsHeaderEncoding(s);
}

bool attributeChar(char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return QByteArrayView("!#$&+-.^_`|~").contains(c);
}

// Percent-encoded pieces, one per character: a section never splits a character's
// bytes (some readers decode each section on its own).
QList<QByteArray> encodedPieces(const QString& value) {
  QList<QByteArray> pieces;
  for (const char32_t cp : value.toUcs4()) {
    QByteArray piece;
    for (const char c : QString::fromUcs4(&cp, 1).toUtf8()) {
      if (attributeChar(c)) piece += c;
      else piece += '%' + QByteArray::number(static_cast<uchar>(c), 16).toUpper().rightJustified(2, '0');
    }
    pieces << piece;
  }
  return pieces;
}

}  // namespace

QByteArray nameParameter(const QString& fileName) {
  const QString safe = mail::headerSafe(fileName);
  if (plainAscii(safe)) return "name=" + mail::quotedString(safe);
  const QByteArray words = mail::encodeHeaderTextUnfolded(safe, mail::HeaderMode::Plain);
  return "name=\"" + words + '"';
}

QByteArray filenameParameter(const QString& fileName) {
  const QString safe = mail::headerSafe(fileName);
  if (plainAscii(safe)) return "filename=" + mail::quotedString(safe);
  QList<QByteArray> sections{"UTF-8''"};
  for (const QByteArray& p : encodedPieces(safe)) {
    if (sections.last().size() + p.size() > kSectionChars) sections << QByteArray();
    sections.last() += p;
  }
  if (sections.size() == 1) return "filename*=" + sections.first();
  QByteArray out;
  for (int i = 0; i < sections.size(); ++i) {
    if (i > 0) out += ";\r\n\t";
    out += "filename*" + QByteArray::number(i) + "*=" + sections.at(i);
  }
  return out;
}

}  // namespace smtpparam

}  // namespace sender
