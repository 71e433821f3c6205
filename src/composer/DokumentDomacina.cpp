#include "composer/DokumentDomacina.h"

#include <QFile>
#include <QFileInfo>

namespace composer {

QStringList argumentiDomacina() {
  QFile f(QStringLiteral("/proc/self/cmdline"));
  if (!f.open(QIODevice::ReadOnly)) return {};
  QList<QByteArray> dijelovi = f.readAll().split('\0');
  while (!dijelovi.isEmpty() && dijelovi.last().isEmpty()) dijelovi.removeLast();
  QStringList argumenti;
  for (qsizetype i = 1; i < dijelovi.size(); ++i) argumenti << QString::fromLocal8Bit(dijelovi[i]);
  return argumenti;
}

QString dokumentDomacina(const QStringList& argumenti) {
  if (argumenti.isEmpty()) return {};
  for (const QString& put : {argumenti.join(QLatin1Char(' ')), argumenti.last()}) {
    const QFileInfo fi(put);
    const QString nastavak = fi.suffix().toLower();
    if (fi.isFile() &&
        (nastavak == QLatin1String("htm") || nastavak == QLatin1String("html") || nastavak == QLatin1String("txt")))
      return put;
  }
  return {};
}

}  // namespace composer
