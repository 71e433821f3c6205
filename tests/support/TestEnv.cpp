#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestEnv::TestEnv() {
  for (const auto& [variable, sub] : {std::pair{"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"},
                                      {"XDG_RUNTIME_DIR", "runtime"}}) {
    QDir(dir_.path()).mkpath(sub);
    qputenv(variable, path(sub).toUtf8());
  }
  QFile::setPermissions(path("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  qputenv("VELKOR_RESOLV_CONF", writeFile("resolv.conf", "nameserver 127.0.0.1\n").toUtf8());
}

QString TestEnv::path(const QString& relative) const {
  return relative.isEmpty() ? dir_.path() : dir_.path() + QLatin1Char('/') + relative;
}

QByteArray readWholeFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString TestEnv::writeFile(const QString& relative, const QByteArray& content) const {
  const QString p = path(relative);
  QDir().mkpath(QFileInfo(p).absolutePath());
  QFile f(p);
  if (f.open(QIODevice::WriteOnly)) f.write(content);
  return p;
}
