#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <stdexcept>

// Finds a domain's mail exchangers with an MX query over UDP (TCP when the answer is
// truncated), asking the machine's DNS servers in order. Failures are thrown as
// MXQueryError (number 20000, source "MXQuery").
namespace modMXQuery {

struct MXRecord {
  QString host;
  int preference;  // 0..65535
};

struct DnsConfig {
  QStringList servers;  // in the order found, duplicates kept
  QString localDomain;
  QString baseDomain;  // last two labels of localDomain (all of it when it has fewer)
};

// what() is the description (UTF-8), so a handler of std::exception shows it too.
struct MXQueryError : std::runtime_error {
  MXQueryError(int number_, QString source_, QString description_)
      : std::runtime_error(description_.toStdString()),
        number(number_),
        source(std::move(source_)),
        description(std::move(description_)) {}
  int number;
  QString source;
  QString description;
};

inline constexpr int kErrorNumber = 20000;
// The ID of a query built without one; lookups use a random ID each.
inline constexpr quint16 kQueryId = 0x11DF;

// Reads the resolver configuration (VELKOR_RESOLV_CONF, else /etc/resolv.conf) and makes
// the result the process-wide configuration that MX queries use.
DnsConfig discover();
// The process-wide configuration as it stands (empty before the first discovery).
DnsConfig currentConfig();
// Forgets the process-wide configuration, so the next query discovers again.
void resetConfig();

// Throws MXQueryError on failure. Returns records sorted by preference (equal
// preferences keep their order in the answer); empty when the domain has none or the
// first server cannot be resolved. An empty domain means the local domain.
QList<MXRecord> MXQuery(const QString& domain, int timeoutMs = 5000);
// MXQuery with the reason an empty table is empty (no such domain, server failure,
// no MX record, no server reachable).
struct MXLookup {
  QList<MXRecord> records;
  QString reason;  // set when records is empty
};
MXLookup lookUpMX(const QString& domain, int timeoutMs = 5000);
// The host of the most preferred record of MXQuery(domain), or empty.
QString bestExchange(const QString& domain, int timeoutMs = 5000);

// The hosts to try, in order, for mail to domain (RFC 5321 §5.1): its exchangers by
// preference (equal ones in answer order); when it has no MX record, the domain itself if
// it has an address (A or AAAA). Empty with the reason when there is nowhere to deliver:
// no such domain, a null MX (RFC 7505), no address, a server failure. Asks no parent
// domain. Throws MXQueryError as MXQuery does.
struct Exchangers {
  QStringList hosts;
  QString reason;          // set when hosts is empty
  bool temporary = false;  // no server answered, or one failed: the same question may do later
};
Exchangers exchangersFor(const QString& domain, int timeoutMs = 5000);

// Pure parser, for tests and fuzzing: every read is bounds-checked. Throws MXQueryError
// when the datagram is not an answer with this ID (shorter than a header, other ID, not a
// response). A record that breaks the layout ends parsing with the records before it.
// *nullMx (when given) tells whether a record with the root as exchange was seen.
QList<MXRecord> parseMXAnswer(const QByteArray& answer, quint16 expectedId, bool* nullMx = nullptr);
// The query datagram for domain (IN, MX, recursion desired). Throws MXQueryError
// "No Valid Domain Specified" when the domain cannot be written as a DNS name.
QByteArray buildMXQuery(const QString& domain, quint16 id = kQueryId);

}  // namespace modMXQuery
