#include "mail/EmbeddedFiles.h"

namespace mail {
namespace {

bool isQuote(QChar c) { return c == QLatin1Char('"') || c == QLatin1Char('\''); }

// The hit must be the last segment of a value: a name that merely ends in it (xlogo.png
// for logo.png) or continues past it is some other file.
bool standsAtValueEnd(const QString& body, qsizetype hit, qsizetype length) {
  if (hit == 0) return false;
  const QChar before = body[hit - 1];
  if (!(before == QLatin1Char('/') || before == QLatin1Char('\\') || before == QLatin1Char('=') || isQuote(before)))
    return false;
  const qsizetype after = hit + length;
  if (after >= body.size()) return true;
  const QChar c = body[after];
  return isQuote(c) || c == QLatin1Char('>') || c.isSpace();
}

// Where the attribute value holding position `hit` starts: its opening quote, or the
// "=" of an unquoted value; -1 when the hit is not inside an attribute value.
qsizetype valueStart(const QString& body, qsizetype tagStart, qsizetype hit) {
  qsizetype quote = hit - 1;
  while (quote > tagStart && !isQuote(body[quote])) --quote;
  if (quote > tagStart) {
    qsizetype j = quote - 1;
    while (j > tagStart && body[j].isSpace()) --j;
    if (body[j] == QLatin1Char('=')) return quote;
  }
  // Unquoted: the first "=" after the blank that starts the attribute (a path may hold "=").
  qsizetype equals = -1;
  for (qsizetype i = hit - 1; i > tagStart; --i) {
    const QChar c = body[i];
    if (c.isSpace() || isQuote(c)) break;
    if (c == QLatin1Char('=')) equals = i;
  }
  return equals;
}

// Rewrites every reference to one file; true when at least one was rewritten.
bool embedOne(QString& body, const QString& name, const QString& cid) {
  bool embedded = false;
  qsizetype from = 0;
  qsizetype hit;
  while ((hit = body.indexOf(name, from, Qt::CaseInsensitive)) >= 0) {
    from = hit + name.size();
    const qsizetype lt = body.lastIndexOf(QLatin1Char('<'), hit);
    const qsizetype gt = lt < 0 ? -1 : body.indexOf(QLatin1Char('>'), lt);
    if (lt < 0 || gt <= hit || !standsAtValueEnd(body, hit, name.size())) continue;
    const qsizetype start = valueStart(body, lt, hit);
    if (start < 0) continue;
    const QString reference = QLatin1String("cid:") + cid;
    body = body.left(start + 1) + reference + body.mid(hit + name.size());
    from = start + 1 + reference.size();
    embedded = true;
  }
  return embedded;
}

}  // namespace

QString contentIdFor(const QString& fileName) {
  static const QByteArray plain = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_+";
  QString id;
  for (char c : fileName.toUtf8()) {
    if (plain.contains(c)) id += QLatin1Char(c);
    else id += QStringLiteral("_%1").arg(uint(quint8(c)), 2, 16, QLatin1Char('0')).toUpper();
  }
  return id;
}

bool embedFiles(QString& body, QList<MimeAttachment>& attachments) {
  bool related = false;
  for (MimeAttachment& a : attachments) {
    if (a.fileName.isEmpty()) continue;
    if (embedOne(body, a.fileName, contentIdFor(a.fileName))) {
      a.embedded = true;
      related = true;
    }
  }
  return related;
}

}  // namespace mail
