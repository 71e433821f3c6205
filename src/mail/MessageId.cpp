#include "mail/MessageId.h"

#include <QRandomGenerator>

#include "mail/HostLookup.h"

#include <netdb.h>
#include <sys/socket.h>

namespace mail {
namespace {

// The first 61 characters of the base64 alphabet.
constexpr char kIdCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz012345678";

// A host name may come from a reverse lookup or a setting: keep what an identifier may hold.
QString identifierHost(const QString& host) {
  QString out;
  for (QChar c : host.trimmed()) {
    const bool keep = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                      (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                      (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                      c == QLatin1Char('.') || c == QLatin1Char('-');
    out += keep ? c : QLatin1Char('-');
  }
  while (out.startsWith(QLatin1Char('.'))) out.remove(0, 1);
  while (out.endsWith(QLatin1Char('.'))) out.chop(1);
  return out.isEmpty() ? QStringLiteral("localhost") : out;
}

QString reverseLookup(const QHostAddress& address) {
  if (address.isNull()) return {};
  if (address.protocol() == QAbstractSocket::IPv4Protocol)
    return addressToHostName(address.toString());
  sockaddr_in6 sa{};
  sa.sin6_family = AF_INET6;
  const Q_IPV6ADDR bytes = address.toIPv6Address();
  memcpy(&sa.sin6_addr, bytes.c, 16);
  char host[NI_MAXHOST] = {};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&sa), sizeof sa, host, sizeof host,
                  nullptr, 0, NI_NAMEREQD) != 0)
    return {};
  return QString::fromUtf8(host).trimmed();
}

}  // namespace

QString messageId(const QString& host, const QDateTime& utcNow) {
  const QDateTime t = (utcNow.isValid() ? utcNow : QDateTime::currentDateTimeUtc()).toUTC();
  QString id = t.toString(QStringLiteral("yyyyMMddHHmmsszzz")) + QLatin1Char('.');
  auto* random = QRandomGenerator::global();
  for (int i = 0; i < 20; ++i)
    id += QLatin1Char(kIdCharacters[random->bounded(int(sizeof kIdCharacters - 1))]);
  return id + QLatin1Char('@') + identifierHost(host);
}

QString messageIdHost(const QHostAddress& localAddress, const QString& smtpHost) {
  QHostAddress address = localAddress;
  bool ok = false;
  const QHostAddress v4(address.toIPv4Address(&ok));
  if (ok) address = v4;  // an IPv4 address seen through an IPv6 socket
  const QString name = reverseLookup(address);
  return name.isEmpty() ? smtpHost.trimmed() : name;
}

}  // namespace mail
