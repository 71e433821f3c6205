#pragma once
#include <QChar>
#include <QString>

// Address and host checks of the engine's property setters.
namespace mail {

// One address: exactly one "@", the part after it passes the host check; an address
// that isSafeAddress refuses is refused.
bool IsValidEmailAddress(const QString& AddressString);
// Trimmed: a dotted address, or at least two non-empty labels whose last one is a
// top-level domain: 2-63 letters, or "xn--" and letters, digits or hyphens (IDN).
bool isValidHostName(const QString& host);
// Four numeric parts, the first at most 239, the others at most 255.
bool isDottedAddress(const QString& text);
// The address-list check: entries split by `delimiter`; with mode 1 each must pass
// IsValidEmailAddress. In every mode an entry that isSafeAddress refuses fails.
bool isValidAddressList(const QString& list, QChar delimiter, int emailValidationMode);

// Text that can go into a command or header as an address: no "<", ">", blank or
// control character (ESMTP parameters or another command could be smuggled in).
bool isSafeAddress(const QString& address);

// Host-setter check (SMTPHostValidation): 1 name syntax, 2 ICMP echo, 3 forward
// lookup gives an address, other values no check. `accepted` receives the value to
// store: the host as given, or under mode 2 the dotted address that answered.
bool checkHost(const QString& host, int mode, QString* accepted = nullptr);

}  // namespace mail
