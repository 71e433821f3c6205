#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestEnv::TestEnv() {
  QDir d(dir_.path());
  for (const char* sub : {"config", "data", "runtime"}) d.mkpath(QString::fromLatin1(sub));
  QFile::setPermissions(path("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner);
  qputenv("XDG_CONFIG_HOME", path("config").toUtf8());
  qputenv("XDG_DATA_HOME", path("data").toUtf8());
  qputenv("XDG_RUNTIME_DIR", path("runtime").toUtf8());
  writeFile("resolv.conf", "nameserver 127.0.0.1\n");
  qputenv("VELKOR_RESOLV_CONF", path("resolv.conf").toUtf8());
}

TestEnv::~TestEnv() = default;

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
