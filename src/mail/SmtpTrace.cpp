#include "mail/SmtpTrace.h"

#include <algorithm>

Q_LOGGING_CATEGORY(lcSmtp, "velkor.smtp", QtWarningMsg)

namespace mail {

namespace {

// "AUTH PLAIN payload" keeps its verb and mechanism; a bare payload line goes whole.
QString masked(QByteArrayView line) {
  const QString text = QString::fromUtf8(line).trimmed();
  static const QStringList keepTwo{QStringLiteral("AUTH"), QStringLiteral("PASS")};
  const QStringList words = text.split(QLatin1Char(' '));
  if (words.size() > 2 && words.first().compare(keepTwo.first(), Qt::CaseInsensitive) == 0)
    return words[0] + QLatin1Char(' ') + words[1] + QStringLiteral(" ***");
  if (words.size() > 1 && words.first().compare(keepTwo.last(), Qt::CaseInsensitive) == 0)
    return words[0] + QStringLiteral(" ***");
  return QStringLiteral("***");
}

}  // namespace

void SmtpTrace::client(QByteArrayView line, bool secret) {
  const QString text = secret ? masked(line) : QString::fromUtf8(line).trimmed();
  keep(QStringLiteral("C: ") + text);
}

void SmtpTrace::server(QByteArrayView reply) {
  for (const QString& line : QString::fromUtf8(reply).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
    keep(QStringLiteral("S: ") + line.trimmed());
}

void SmtpTrace::note(const QString& text) { keep(QStringLiteral("-- ") + text); }

void SmtpTrace::keep(const QString& line) {
  qCDebug(lcSmtp).noquote() << line;
  lines_ << line;
  if (lines_.size() > kKeptLines) {
    const qsizetype excess = lines_.size() - kKeptLines;
    lines_.remove(0, excess);
    ready_ = std::max<qsizetype>(0, ready_ - excess);
  }
}

}  // namespace mail
