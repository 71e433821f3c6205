#pragma once
#include <QDateTime>
#include <QString>

// Message-ID values: UTC time to the millisecond, ".", 20 random characters, "@" host.
namespace mail {

// The value without the angle brackets. `utcNow` invalid means now. The host is
// reduced to characters a message identifier may hold ("localhost" when empty).
QString messageId(const QString& host, const QDateTime& utcNow = {});
// The right-hand side for a sender: the domain of the address (after its last "@"),
// in ASCII (an international name in its xn-- form, a literal without brackets);
// empty when the address has no domain.
QString senderDomain(const QString& address);

}  // namespace mail
