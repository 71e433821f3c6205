#include "dns/ReverseLookup.h"

#include <QHostAddress>
#include <QStringList>

#include "dns/DnsExchange.h"
#include "dns/DnsMessage.h"
#include "dns/modMXQuery.h"

namespace modMXQuery {

QString reverseName(const QString& address) {
  QHostAddress a;
  if (!a.setAddress(address.trimmed())) return {};
  QStringList parts;
  if (a.protocol() == QAbstractSocket::IPv4Protocol) {
    const quint32 v4 = a.toIPv4Address();
    for (int shift = 0; shift < 32; shift += 8) parts << QString::number((v4 >> shift) & 0xFF);
    return parts.join(QLatin1Char('.')) + QStringLiteral(".in-addr.arpa");
  }
  const Q_IPV6ADDR v6 = a.toIPv6Address();
  for (int i = 15; i >= 0; --i) {
    parts << QString::number(v6[i] & 0x0F, 16) << QString::number(v6[i] >> 4, 16);
  }
  return parts.join(QLatin1Char('.')) + QStringLiteral(".ip6.arpa");
}

QString reverseLookup(const QString& address, const QString& server, int timeoutMs) {
  const auto name = wire::encodeName(reverseName(address));
  if (!name) return {};
  const QByteArray query = wire::buildQuery(*name, wire::kTypePTR, kQueryId);
  const net::Exchange ex = net::ask(server, query, timeoutMs);
  if (ex.outcome != net::Outcome::Answer) return {};
  QString host;
  wire::forEachAnswer(ex.answer, [&](const wire::Record& r) {
    if (r.type != wire::kTypePTR) return true;
    const auto target = wire::readName(ex.answer, r.rdata);
    if (target && target->end <= r.rdata + r.rdlength) host = wire::hostText(*target);
    return false;
  });
  return host;
}

}  // namespace modMXQuery
