#include "mail/InternationalAddress.h"

#include <QUrl>

namespace mail {

namespace {

bool isAscii(const QString& text) {
  for (QChar c : text)
    if (c.unicode() > 127) return false;
  return true;
}

}  // namespace

QString withAceDomain(const QString& address) {
  const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
  if (at < 0 || isAscii(address.mid(at + 1))) return address;
  const QByteArray ace = QUrl::toAce(address.mid(at + 1));
  return ace.isEmpty() ? address : address.left(at + 1) + QString::fromLatin1(ace);
}

QStringList withAceDomains(const QStringList& addresses) {
  QStringList out;
  out.reserve(addresses.size());
  for (const QString& a : addresses) out << withAceDomain(a);
  return out;
}

QString firstUtf8LocalPart(const QStringList& addresses) {
  for (const QString& a : addresses)
    if (!isAscii(a.left(a.lastIndexOf(QLatin1Char('@'))))) return a;
  return {};
}

QString aceDomainOf(const QString& address) {
  const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
  if (at < 0) return {};
  return withAceDomain(address).mid(at + 1).toLower();
}

}  // namespace mail
