#pragma once
#include <QList>
#include <QString>
#include <QStringList>

// Address lists of the composer and the plan of a direct delivery: which addresses go to
// which domain's mail exchanger.
namespace composer {

// The addresses of a list separated by ";" or ",", trimmed, empty pieces left out.
QStringList razdvojiAdrese(const QString& lista);
// The same list joined by ";", the engine's delimiter.
QString normaliziraneAdrese(const QString& lista);

struct DostavaDomeni {
  QString domena;  // lower case
  QStringList to, cc, bcc;
};

// One entry per distinct domain (compared whole, case-insensitively), in the order the
// domains first appear in To, CC, BCC. Addresses without "@" have no domain and are
// returned in bezDomene.
QList<DostavaDomeni> planDostave(const QString& to, const QString& cc, const QString& bcc,
                                 QStringList* bezDomene = nullptr);

// The domain's mail exchangers in the order to try them (the domain itself when it has no
// MX record but an address); empty with the reason when there is none or the lookup failed.
// *privremeno: the lookup failed for now (no DNS server answered, or one failed).
QStringList posluziteljiDomene(const QString& domena, QString* razlog, bool* privremeno = nullptr);

}  // namespace composer
