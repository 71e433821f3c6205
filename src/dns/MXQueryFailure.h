#pragma once
#include "dns/modMXQuery.h"

// The module's error texts and the one way they are raised.
namespace modMXQuery {

inline constexpr const char* kNoDnsEntries = "No DNS entries found, MX Query cannot contine.";
inline constexpr const char* kNoValidDomain = "No Valid Domain Specified";
inline constexpr const char* kSendProblem = "Problem sending MX query";
inline constexpr const char* kReceiveProblem = "Problem receiving MX query";
inline constexpr const char* kNotAnAnswer = "Not an answer to the MX query";

[[noreturn]] inline void fail(const char* description) {
  throw MXQueryError{kErrorNumber, QStringLiteral("MXQuery"), QString::fromLatin1(description)};
}

}  // namespace modMXQuery
