#pragma once
#include <QString>

// Per-user settings: one INI file per application name in the per-user config
// directory (XDG_CONFIG_HOME honoured on every call), values as text.
namespace core {

QString GetSetting(const QString& app, const QString& section, const QString& key, const QString& defaultValue = {});
void SaveSetting(const QString& app, const QString& section, const QString& key, const QString& value);
void DeleteSetting(const QString& app, const QString& section, const QString& key);
QString settingsFilePath(const QString& app);

// Booleans in the two stored forms the windows use.
inline QString TrueFalse(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }
inline QString ZeroOne(bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); }
// Reads "True"/"False", "-1"/"0", "1"/"0" alike; anything else gives the default.
bool settingToBool(const QString& text, bool defaultValue);

// Shorthand for the windows' own store: application "Velkor", section "Settings".
QString VelkorSetting(const QString& key, const QString& defaultValue = {});
void SaveVelkorSetting(const QString& key, const QString& value);

}  // namespace core
