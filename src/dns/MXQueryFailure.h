#pragma once
#include "dns/modMXQuery.h"

// The module's error texts and the one way they are raised.
namespace modMXQuery {

inline constexpr const char* kNoDnsEntries = "No DNS entries found, MX Query cannot contine.";
inline constexpr const char* kNoValidDomain = "No Valid Domain Specified";
inline constexpr const char* kSendProblem = "Problem sending MX query";
inline constexpr const char* kReceiveProblem = "Problem receiving MX query";
inline constexpr const char* kNotAnAnswer = "Not an answer to the MX query";
// Why a lookup found no exchanger.
inline constexpr const char* kServerUnresolved = "No DNS server could be reached by name";
inline constexpr const char* kNxDomain = "Domain does not exist (NXDOMAIN)";
inline constexpr const char* kServerError = "DNS server failure";
inline constexpr const char* kNoMxRecord = "Domain has no MX record";
inline constexpr const char* kNoUsableRecord = "No usable MX record in the answer";
inline constexpr const char* kNoAddress = "Domain has neither an MX record nor an address";
inline constexpr const char* kNullMx = "Domena ne prima e-poštu (null MX)";

[[noreturn]] inline void fail(const char* description) {
  throw MXQueryError{kErrorNumber, QStringLiteral("MXQuery"), QString::fromLatin1(description)};
}

}  // namespace modMXQuery
