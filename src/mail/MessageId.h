#pragma once
#include <QDateTime>
#include <QHostAddress>
#include <QString>

// Message-ID values: UTC time to the millisecond, ".", 20 random characters, "@" host.
namespace mail {

// The value without the angle brackets. `utcNow` invalid means now. The host is
// reduced to characters a message identifier may hold ("localhost" when empty).
QString messageId(const QString& host, const QDateTime& utcNow = {});
// The name for the right-hand side: reverse lookup of the connection's local address,
// else the SMTP server's name. Blocks for the lookup.
QString messageIdHost(const QHostAddress& localAddress, const QString& smtpHost);

}  // namespace mail
