#include "core/Pomocne.h"

namespace core {

QString PripremiZaSQL(const QString& tekst) {
  QString s = tekst;
  return s.replace(QLatin1Char('\''), QLatin1String("''"));
}

}  // namespace core
