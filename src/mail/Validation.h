#pragma once
#include <QChar>
#include <QString>

// Address and host checks of the engine's property setters.
namespace mail {

// The top-level-domain list; the host check searches it as one string.
extern const char* const kTopLevelDomains;

// One address: exactly one "@", the part after it passes the host check; an address
// holding CR, LF or NUL is refused.
bool IsValidEmailAddress(const QString& AddressString);
// Trimmed and upper-cased: a dotted address, or at least two labels whose last one
// occurs anywhere in the top-level-domain list string.
bool isValidHostName(const QString& host);
// Four numeric parts, the first at most 239, the others at most 255.
bool isDottedAddress(const QString& text);
// The address-list check: entries split by `delimiter`; with mode 1 each must pass
// IsValidEmailAddress. In every mode an entry holding CR, LF or NUL fails.
bool isValidAddressList(const QString& list, QChar delimiter, int emailValidationMode);

// Host-setter check (SMTPHostValidation): 1 name syntax, 2 ICMP echo, 3 forward
// lookup gives an address, other values no check. `accepted` receives the value to
// store: the host as given, or under mode 2 the dotted address that answered.
bool checkHost(const QString& host, int mode, QString* accepted = nullptr);

}  // namespace mail
