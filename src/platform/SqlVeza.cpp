#include "platform/SqlVeza.h"

#include <dlfcn.h>
#include <QDir>
#include <QFileInfo>

#include "core/SettingsStore.h"

#ifndef VELKOR_SOURCE_DATA_DIR
#define VELKOR_SOURCE_DATA_DIR ""
#endif

namespace platform {

namespace {

// Splits "a=1;b={x;y}" into pairs; braces nest so that an ODBC string fits inside one value.
QList<QPair<QString, QString>> parovi(const QString& text) {
  QList<QPair<QString, QString>> out;
  int i = 0;
  const int n = int(text.size());
  while (i < n) {
    const int eq = int(text.indexOf(QLatin1Char('='), i));
    const int semi = int(text.indexOf(QLatin1Char(';'), i));
    if (eq < 0 || (semi >= 0 && semi < eq)) {  // a piece without "=": skip it
      if (semi < 0) break;
      i = semi + 1;
      continue;
    }
    const QString key = text.mid(i, eq - i).trimmed().toLower();
    int j = eq + 1;
    QString value;
    if (j < n && text[j] == QLatin1Char('{')) {
      int depth = 0;
      int k = j;
      for (; k < n; ++k) {
        if (text[k] == QLatin1Char('{')) ++depth;
        if (text[k] == QLatin1Char('}') && --depth == 0) break;
      }
      value = text.mid(j + 1, k - j - 1);
      j = k + 1;
      const int next = int(text.indexOf(QLatin1Char(';'), j));
      i = next < 0 ? n : next + 1;
    } else {
      const int end = semi < 0 ? n : semi;
      value = text.mid(j, end - j).trimmed();
      i = end + 1;
    }
    out << qMakePair(key, value);
  }
  return out;
}

QString direktorijBiblioteke() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&direktorijPodataka), &info) == 0 || !info.dli_fname) return {};
  return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
}

}  // namespace

SqlVeza procitajVezu(const QString& driver, const QString& opcije) {
  SqlVeza v;
  v.driver = driver.trimmed();
  for (const auto& [key, value] : parovi(opcije)) {
    if (key == QLatin1String("database")) v.database = value;
    else if (key == QLatin1String("host")) v.host = value;
    else if (key == QLatin1String("user")) v.user = value;
    else if (key == QLatin1String("password")) v.password = value;
    else if (key == QLatin1String("options")) v.options = value;
    else if (key == QLatin1String("port")) {
      bool ok = false;
      const int p = value.toInt(&ok);
      v.port = ok && p > 0 && p < 65536 ? p : -1;
    }
  }
  return v;
}

SqlVeza vezaIzPostavki() {
  SqlVeza v = procitajVezu(core::VelkorSetting(QString::fromLatin1(kKljucSqlDriver)),
                           core::VelkorSetting(QString::fromLatin1(kKljucSqlVeza)));
  if (v.driver.isEmpty()) {
    v = SqlVeza{};
    v.driver = QStringLiteral("QSQLITE");
  }
  if (v.driver.compare(QLatin1String("QSQLITE"), Qt::CaseInsensitive) == 0 && v.database.isEmpty())
    v.database = ugradenaBaza();
  return v;
}

QString direktorijPodataka() {
  const QString env = qEnvironmentVariable("VELKOR_DATA_DIR");
  if (!env.isEmpty()) return env;
  const QString lib = direktorijBiblioteke();
  // The library lies in lib/ or, on Debian, in lib/<multiarch triplet>/ of its prefix.
  for (const char* gore : {"/../share/velkor", "/../../share/velkor"}) {
    if (lib.isEmpty()) break;
    const QString installed = QDir::cleanPath(lib + QLatin1String(gore));
    if (QFileInfo::exists(installed + QStringLiteral("/komitenti.sqlite"))) return installed;
  }
  return QString::fromUtf8(VELKOR_SOURCE_DATA_DIR);
}

QString ugradenaBaza() { return direktorijPodataka() + QStringLiteral("/komitenti.sqlite"); }

}  // namespace platform
