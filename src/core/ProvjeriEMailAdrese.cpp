#include "core/Pomocne.h"

#include <QStringList>

namespace core {

// Purely syntactic: the engine does the real address validation.
bool ProvjeriEMailAdrese(const QString& adrese) {
  if (adrese.isEmpty()) return true;
  if (adrese.contains(QLatin1Char(' '))) return false;
  const QStringList dijelovi = adrese.split(QLatin1Char(';'));
  for (const QString& d : dijelovi) {
    const int at = d.indexOf(QLatin1Char('@'));
    if (at < 0) return false;
    if (d.indexOf(QLatin1Char('@'), at + 1) >= 0) return false;
    if (!d.contains(QLatin1Char('.'))) return false;
  }
  return true;
}

}  // namespace core
