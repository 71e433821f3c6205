#pragma once
#include <QString>
#include <QtGlobal>

// Name services behind validation and the Message-ID.
namespace mail {

// Dotted IPv4 address of the host (empty name = this machine), empty on failure.
QString GetIPAddress(const QString& sHostName);
// This machine's host name, empty on failure.
QString GetIPHost();
// The name this machine gives in EHLO: its host name when that is a plain domain
// name, else "localhost".
QString thisMachineName();
// GetIPAddress that keeps the caller's event loop running while it waits, at most
// timeoutMs (the lookup is then given up: empty).
QString lookUpAddressServingEvents(const QString& hostName, int timeoutMs = 5000);
// Reverse lookup of a dotted address; empty when the text is not one or nothing is found.
QString addressToHostName(const QString& dotted);
// Four decimal parts 0…255 → the address as stored in network order (first part in
// the lowest byte); anything else → 0.
quint32 dottedToAddress(const QString& text);

}  // namespace mail
