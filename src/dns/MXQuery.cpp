#include "dns/DnsExchange.h"
#include "dns/DnsMessage.h"
#include "dns/MXQueryFailure.h"
#include "dns/modMXQuery.h"

namespace modMXQuery {

namespace {

constexpr int kShortestDomain = 5;

// A domain below the local base domain (office.example.com under example.com) is asked
// again one level up when it has no answers. The base must start a label, so that
// myexample.com is not taken to lie under example.com.
bool asksParent(const QString& domain, const QString& baseDomain) {
  return !baseDomain.isEmpty() &&
         domain.contains(QLatin1Char('.') + baseDomain, Qt::CaseInsensitive);
}

DnsConfig configWithServers() {
  DnsConfig config = currentConfig();
  if (config.servers.isEmpty()) config = discover();
  if (config.servers.isEmpty()) fail(kNoDnsEntries);
  return config;
}

}  // namespace

QList<MXRecord> MXQuery(const QString& domain, int timeoutMs) {
  const DnsConfig config = configWithServers();
  QString name = domain.trimmed();
  if (name.isEmpty()) name = config.localDomain;
  for (;;) {
    if (name.size() < kShortestDomain) fail(kNoValidDomain);
    const QByteArray query = buildMXQuery(name);
    const net::Exchange ex = net::ask(config.servers.first(), query, timeoutMs);
    switch (ex.outcome) {
      case net::Outcome::ServerUnresolved: return {};
      case net::Outcome::SendFailed: fail(kSendProblem);
      case net::Outcome::NothingReceived: fail(kReceiveProblem);
      case net::Outcome::Answer: break;
    }
    if (wire::readHeader(ex.answer)->answers > 0) return parseMXAnswer(ex.answer, kQueryId);
    if (!asksParent(name, config.baseDomain)) return {};
    name = name.mid(name.indexOf(QLatin1Char('.')) + 1);
  }
}

QString bestExchange(const QString& domain, int timeoutMs) {
  const QList<MXRecord> table = MXQuery(domain, timeoutMs);
  return table.isEmpty() ? QString() : table.first().host;
}

}  // namespace modMXQuery
