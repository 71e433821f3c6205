#pragma once
#include <QString>
#include <QStringList>

// Addresses with letters beyond ASCII (RFC 5890, RFC 6531): a domain always travels as
// A-labels ("xn--…"), which every server takes; a local part beyond ASCII needs a
// server that offers SMTPUTF8.
namespace mail {

// The address with its domain in A-labels; unchanged when that cannot be done.
QString withAceDomain(const QString& address);
QStringList withAceDomains(const QStringList& addresses);
// The first address whose local part is not ASCII; empty when there is none.
QString firstUtf8LocalPart(const QStringList& addresses);
// The domain of an address in A-labels, lower case; empty without one.
QString aceDomainOf(const QString& address);

}  // namespace mail
