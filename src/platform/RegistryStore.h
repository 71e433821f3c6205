#pragma once
#include <QString>

// The registry values some windows keep, in INI files: one section per key path (root name,
// "\", key path, as "[HKEY_LOCAL_MACHINE\SOFTWARE\...]"), one "name=value" line per value.
// Values are stored raw: everything after the first "=" up to the end of the line, blanks,
// commas, "%" and "\" included. Reads look in the per-user file first and fall back to the
// machine-wide file an administrator may provide; writes go to the per-user file only.
namespace platform {

inline constexpr quint32 kHKeyCurrentUser = 0x80000001u;
inline constexpr quint32 kHKeyLocalMachine = 0x80000002u;

// $XDG_CONFIG_HOME/velkor/registry.ini (default ~/.config/velkor/registry.ini).
QString registryUserFile();
// $VELKOR_MACHINE_REGISTRY, else /etc/velkor/registry.ini.
QString registryMachineFile();

// The value's text up to its first NUL; empty when absent or unreadable.
QString CitajRegistar(quint32 root, const QString& keyPath, const QString& valueName);
// The same from the machine-wide file alone: what the administrator provides.
QString CitajRegistarStroja(quint32 root, const QString& keyPath, const QString& valueName);
// Creates or replaces the value in the per-user file, which is rewritten whole or not at
// all. Line breaks in the text become blanks (a value is one line). False, with the reason
// in *error, when the file cannot be written.
bool UpisiRegistar(quint32 root, const QString& keyPath, const QString& valueName, const QString& text,
                   QString* error = nullptr);

}  // namespace platform
