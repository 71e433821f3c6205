#include "core/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace core {

QString settingsFilePath(const QString& app) {
  QString dir = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return dir + QLatin1Char('/') + app + QStringLiteral(".ini");
}

namespace {

QString settingPath(const QString& section, const QString& key) { return section + QLatin1Char('/') + key; }

// Some stores hold passwords: the file is made private before every write, also one
// that was created by hand with wider rights (QSettings keeps the permissions of an
// existing file when it rewrites it).
void ensurePrivateFile(const QString& path) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  if (!f.exists() && !f.open(QIODevice::WriteOnly)) return;
  f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

}  // namespace

QString GetSetting(const QString& app, const QString& section, const QString& key, const QString& defaultValue) {
  QSettings s(settingsFilePath(app), QSettings::IniFormat);
  const QVariant v = s.value(settingPath(section, key));
  if (!v.isValid()) return defaultValue;
  // A hand-edited value with commas reads back as a list.
  if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QLatin1Char(','));
  return v.toString();
}

void SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value) {
  const QString path = settingsFilePath(app);
  ensurePrivateFile(path);
  QSettings s(path, QSettings::IniFormat);
  s.setValue(settingPath(section, key), value);
  s.sync();
}

void DeleteSetting(const QString& app, const QString& section, const QString& key) {
  QSettings s(settingsFilePath(app), QSettings::IniFormat);
  s.remove(settingPath(section, key));
  s.sync();
}

bool settingToBool(const QString& text, bool defaultValue) {
  const QString t = text.trimmed();
  if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
  if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
  bool ok = false;
  const int n = t.toInt(&ok);
  return ok ? n != 0 : defaultValue;
}

QString VelkorSetting(const QString& key, const QString& defaultValue) {
  return GetSetting(QStringLiteral("Velkor"), QStringLiteral("Settings"), key, defaultValue);
}

void SaveVelkorSetting(const QString& key, const QString& value) {
  SaveSetting(QStringLiteral("Velkor"), QStringLiteral("Settings"), key, value);
}

}  // namespace core
