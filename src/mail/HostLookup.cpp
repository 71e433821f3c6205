#include "mail/HostLookup.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostInfo>
#include <QRegularExpression>
#include <QStringList>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "mail/EventWait.h"
#include "mail/Validation.h"

namespace mail {
namespace {

QString cutAtNul(const char* text) { return QString::fromUtf8(text).section(QChar(0), 0, 0); }

}  // namespace

QString GetIPHost() {
  char name[257] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return cutAtNul(name);
}

QString GetIPAddress(const QString& sHostName) {
  QString name = sHostName.isEmpty() ? GetIPHost() : sHostName;
  name = name.trimmed();
  if (name.isEmpty()) return {};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name.toUtf8().constData(), nullptr, &hints, &found) != 0 || !found) return {};
  char text[INET_ADDRSTRLEN] = {};
  const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  const bool ok = inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr;
  freeaddrinfo(found);
  return ok ? QString::fromLatin1(text) : QString();
}

QString thisMachineName() {
  static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$"));
  const QString name = QHostInfo::localHostName();
  return plain.match(name).hasMatch() ? name : QStringLiteral("localhost");
}

QString lookUpAddressServingEvents(const QString& hostName, int timeoutMs) {
  const QString name = hostName.trimmed();
  if (name.isEmpty() || !QCoreApplication::instance()) return GetIPAddress(name);
  QString found;
  bool done = false;
  QObject receiver;  // gone with this call: a late answer reaches nobody
  QHostInfo::lookupHost(name, &receiver, [&](const QHostInfo& info) {
    for (const QHostAddress& a : info.addresses())
      if (a.protocol() == QAbstractSocket::IPv4Protocol) {
        found = a.toString();
        break;
      }
    done = true;
  });
  EventWait wait;
  const QDeadlineTimer deadline(timeoutMs);
  while (!done && !deadline.hasExpired()) wait.round();
  return found;
}

quint32 dottedToAddress(const QString& text) {
  const QStringList parts = text.split(QLatin1Char('.'));
  if (parts.size() != 4) return 0;
  quint32 address = 0;
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    const uint value = parts[i].toUInt(&ok);
    if (!ok || value > 255 || parts[i].isEmpty()) return 0;
    address |= value << (8 * i);
  }
  return address;
}

QString addressToHostName(const QString& dotted) {
  const quint32 address = dottedToAddress(dotted.trimmed());
  if (address == 0) return {};
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = address;
  char host[NI_MAXHOST] = {};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&sa), sizeof sa, host, sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
    return {};
  return cutAtNul(host).trimmed();
}

}  // namespace mail
