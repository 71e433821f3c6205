#pragma once
#include <QString>

namespace modMXQuery {

// The host name that DNS server `server` gives for `address` (a PTR query), cut of any
// trailing dot; empty when address is not an IP address or there is no usable answer.
QString reverseLookup(const QString& address, const QString& server, int timeoutMs);

// The PTR query name of an IPv4 or IPv6 address; empty for anything else.
QString reverseName(const QString& address);

}  // namespace modMXQuery
