#include "core/Pomocne.h"

QString PripremiZaSQL(const QString& tekst) {
  QString s = tekst;
  return s.replace(QLatin1Char('\''), QLatin1String("''"));
}
