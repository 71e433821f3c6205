#include <algorithm>

#include "dns/DnsMessage.h"
#include "dns/MXQueryFailure.h"
#include "dns/modMXQuery.h"

namespace modMXQuery {

QByteArray buildMXQuery(const QString& domain, quint16 id) {
  const auto name = wire::encodeName(domain);
  if (!name) fail(kNoValidDomain);
  return wire::buildQuery(*name, wire::kTypeMX, id);
}

QList<MXRecord> parseMXAnswer(const QByteArray& answer, quint16 expectedId, bool* nullMx) {
  const auto header = wire::readHeader(answer);
  if (!header || header->id != expectedId || !(header->flags & wire::kFlagResponse)) fail(kNotAnAnswer);
  QList<MXRecord> table;
  if (nullMx) *nullMx = false;
  wire::forEachAnswer(answer, [&](const wire::Record& r) {
    if (r.type != wire::kTypeMX || r.rclass != wire::kClassIN) return true;  // e.g. a CNAME
    if (r.rdlength < 3) return false;
    const auto exchange = wire::readName(answer, r.rdata + 2);
    if (!exchange || exchange->end > r.rdata + r.rdlength) return false;
    // A blank exchange (the root: "no mail here") is not a host to deliver to.
    const QString host = wire::hostText(*exchange).trimmed();
    if (!host.isEmpty()) table.append({host, int(wire::readU16(answer, r.rdata))});
    else if (nullMx && exchange->labels.isEmpty()) *nullMx = true;
    return true;
  });
  std::stable_sort(table.begin(), table.end(),
                   [](const MXRecord& a, const MXRecord& b) { return a.preference < b.preference; });
  return table;
}

}  // namespace modMXQuery
