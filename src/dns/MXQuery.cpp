#include <QRandomGenerator>
#include <QUrl>

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
  return !baseDomain.isEmpty() && domain.contains(QLatin1Char('.') + baseDomain, Qt::CaseInsensitive);
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
    if (ex.outcome == net::Outcome::NothingReceived || worst == net::Outcome::ServerUnresolved) worst = ex.outcome;
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

// One question about name to the configured servers, with a fresh random ID (an answer
// cannot be forged by guessing it); empty when no server could be resolved.
QByteArray askAbout(const DnsConfig& config, const QString& name, quint16 type, int timeoutMs) {
  const auto encoded = wire::encodeName(name);
  if (!encoded) fail(kNoValidDomain);
  const quint16 id = quint16(QRandomGenerator::system()->bounded(0x10000));
  return askServers(config.servers, wire::buildQuery(*encoded, type, id), timeoutMs).answer;
}

int rcodeOf(const QByteArray& answer) { return wire::readHeader(answer)->flags & 0x000F; }

bool hasAddress(const DnsConfig& config, const QString& name, int timeoutMs) {
  for (const quint16 type : {wire::kTypeA, wire::kTypeAAAA}) {
    const QByteArray answer = askAbout(config, name, type, timeoutMs);
    bool found = false;
    wire::forEachAnswer(answer, [&](const wire::Record& r) {
      found = r.type == type && r.rclass == wire::kClassIN;
      return !found;  // a CNAME first is passed over
    });
    if (found) return true;
  }
  return false;
}

}  // namespace

MXLookup lookUpMX(const QString& domain, int timeoutMs) {
  const DnsConfig config = configWithServers();
  QString name = domain.trimmed();
  if (name.isEmpty()) name = config.localDomain;
  for (;;) {
    if (name.size() < kShortestDomain) fail(kNoValidDomain);
    const QByteArray answer = askAbout(config, name, wire::kTypeMX, timeoutMs);
    if (answer.isEmpty()) return {{}, QString::fromLatin1(kServerUnresolved)};
    const wire::Header header = *wire::readHeader(answer);
    if (header.answers > 0) {
      MXLookup found{parseMXAnswer(answer, header.id), {}};
      if (found.records.isEmpty()) found.reason = QString::fromLatin1(kNoUsableRecord);
      return found;
    }
    if (!asksParent(name, config.baseDomain)) return {{}, emptyReason(rcodeOf(answer))};
    name = name.mid(name.indexOf(QLatin1Char('.')) + 1);
  }
}

QList<MXRecord> MXQuery(const QString& domain, int timeoutMs) { return lookUpMX(domain, timeoutMs).records; }

QString bestExchange(const QString& domain, int timeoutMs) {
  const QList<MXRecord> table = MXQuery(domain, timeoutMs);
  return table.isEmpty() ? QString() : table.first().host;
}

Exchangers exchangersFor(const QString& domain, int timeoutMs) {
  const DnsConfig config = configWithServers();
  QString name = domain.trimmed();
  if (name.endsWith(QLatin1Char('.'))) name.chop(1);
  const QByteArray answer = askAbout(config, name, wire::kTypeMX, timeoutMs);
  if (answer.isEmpty()) return {{}, QString::fromLatin1(kServerUnresolved), true};
  const int rcode = rcodeOf(answer);
  if (rcode != 0) return {{}, emptyReason(rcode), rcode != 3};
  bool nullMx = false;
  Exchangers found;
  for (const MXRecord& r : parseMXAnswer(answer, wire::readHeader(answer)->id, &nullMx)) found.hosts << r.host;
  if (!found.hosts.isEmpty()) return found;
  if (nullMx) return {{}, QString::fromUtf8(kNullMx)};
  // RFC 5321 §5.1: without an MX record the domain is its own exchanger.
  if (hasAddress(config, name, timeoutMs)) return {{QString::fromLatin1(QUrl::toAce(name))}, {}};
  return {{}, QString::fromLatin1(kNoAddress)};
}

}  // namespace modMXQuery
