#include <QRandomGenerator>

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

struct Asked {
  QByteArray answer;  // empty when no server could be resolved
};

// The configured servers in order: a dead or failing one hands the question on.
Asked askServers(const QStringList& servers, const QByteArray& query, int timeoutMs) {
  net::Outcome worst = net::Outcome::ServerUnresolved;
  QByteArray fallback;  // a server error, kept while another may do better
  for (const QString& server : servers) {
    const net::Exchange ex = net::ask(server, query, timeoutMs);
    if (ex.outcome == net::Outcome::Answer) {
      const int rcode = wire::readHeader(ex.answer)->flags & 0x000F;
      if (rcode == 0 || rcode == 3) return {ex.answer};
      fallback = ex.answer;
      continue;
    }
    if (ex.outcome == net::Outcome::NothingReceived || worst == net::Outcome::ServerUnresolved)
      worst = ex.outcome;
  }
  if (!fallback.isEmpty()) return {fallback};
  if (worst == net::Outcome::SendFailed) fail(kSendProblem);
  if (worst == net::Outcome::NothingReceived) fail(kReceiveProblem);
  return {};
}

QString emptyReason(int rcode) {
  if (rcode == 0) return QString::fromLatin1(kNoMxRecord);
  if (rcode == 3) return QString::fromLatin1(kNxDomain);
  return QStringLiteral("%1 (RCODE %2)").arg(QString::fromLatin1(kServerError)).arg(rcode);
}

DnsConfig configWithServers() {
  DnsConfig config = currentConfig();
  if (config.servers.isEmpty()) config = discover();
  if (config.servers.isEmpty()) fail(kNoDnsEntries);
  return config;
}

}  // namespace

MXLookup lookUpMX(const QString& domain, int timeoutMs) {
  const DnsConfig config = configWithServers();
  QString name = domain.trimmed();
  if (name.isEmpty()) name = config.localDomain;
  for (;;) {
    if (name.size() < kShortestDomain) fail(kNoValidDomain);
    // A fresh random ID for every query: an answer cannot be forged by guessing it.
    const quint16 id = quint16(QRandomGenerator::system()->bounded(0x10000));
    const Asked asked = askServers(config.servers, buildMXQuery(name, id), timeoutMs);
    if (asked.answer.isEmpty()) return {{}, QString::fromLatin1(kServerUnresolved)};
    const wire::Header header = *wire::readHeader(asked.answer);
    if (header.answers > 0) {
      MXLookup found{parseMXAnswer(asked.answer, id), {}};
      if (found.records.isEmpty()) found.reason = QString::fromLatin1(kNoUsableRecord);
      return found;
    }
    if (!asksParent(name, config.baseDomain)) return {{}, emptyReason(header.flags & 0x000F)};
    name = name.mid(name.indexOf(QLatin1Char('.')) + 1);
  }
}

QList<MXRecord> MXQuery(const QString& domain, int timeoutMs) {
  return lookUpMX(domain, timeoutMs).records;
}

QString bestExchange(const QString& domain, int timeoutMs) {
  const QList<MXRecord> table = MXQuery(domain, timeoutMs);
  return table.isEmpty() ? QString() : table.first().host;
}

}  // namespace modMXQuery
