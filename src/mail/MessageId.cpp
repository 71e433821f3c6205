#include "mail/MessageId.h"

#include <QRandomGenerator>
#include <QUrl>

namespace mail {
namespace {

// The first 61 characters of the base64 alphabet.
constexpr char kIdCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz012345678";

// A domain from an address typed by a user: keep what an identifier may hold.
QString identifierHost(const QString& host) {
  QString out;
  for (QChar c : host.trimmed()) {
    const bool keep =
        (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
        (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') || c == QLatin1Char('-');
    out += keep ? c : QLatin1Char('-');
  }
  while (out.startsWith(QLatin1Char('.'))) out.remove(0, 1);
  while (out.endsWith(QLatin1Char('.'))) out.chop(1);
  return out.isEmpty() ? QStringLiteral("localhost") : out;
}

}  // namespace

QString messageId(const QString& host, const QDateTime& utcNow) {
  const QDateTime t = (utcNow.isValid() ? utcNow : QDateTime::currentDateTimeUtc()).toUTC();
  QString id = t.toString(QStringLiteral("yyyyMMddHHmmsszzz")) + QLatin1Char('.');
  auto* random = QRandomGenerator::global();
  for (int i = 0; i < 20; ++i) id += QLatin1Char(kIdCharacters[random->bounded(int(sizeof kIdCharacters - 1))]);
  return id + QLatin1Char('@') + identifierHost(host);
}

QString senderDomain(const QString& address) {
  const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
  QString domain = at < 0 ? QString() : address.mid(at + 1).trimmed();
  if (domain.startsWith(QLatin1Char('[')) && domain.endsWith(QLatin1Char(']'))) return domain.mid(1, domain.size() - 2);
  // Domains are compared without case: one spelling for every message of a sender.
  const QByteArray ace = QUrl::toAce(domain.toLower());
  return ace.isEmpty() ? domain : QString::fromLatin1(ace);
}

}  // namespace mail
