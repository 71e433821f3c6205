#include "platform/PrivatneKopije.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace platform {

QString privatnaKopija(const QString& path, QString* error) {
  // QTemporaryDir is made 0700; one sub-directory a copy, so equal names do not collide.
  static QTemporaryDir mapa(QDir::tempPath() + QStringLiteral("/velkor-prilozi-XXXXXX"));
  static int broj = 0;
  const QString podmapa = mapa.path() + QLatin1Char('/') + QString::number(++broj);
  const QString kopija = podmapa + QLatin1Char('/') + QFileInfo(path).fileName();
  if (mapa.isValid() && QDir().mkpath(podmapa) && QFile::copy(path, kopija)) return kopija;
  if (error)
    *error = QStringLiteral("datoteku priloga \"%1\" nije moguće kopirati u privremenu mapu (%2).")
                 .arg(path, mapa.isValid() ? mapa.path() : mapa.errorString());
  return {};
}

}  // namespace platform
