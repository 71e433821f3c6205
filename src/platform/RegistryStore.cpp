#include "platform/RegistryStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <optional>

namespace platform {

namespace {

QString rootName(quint32 root) {
  switch (root) {
    case kHKeyCurrentUser: return QStringLiteral("HKEY_CURRENT_USER");
    case kHKeyLocalMachine: return QStringLiteral("HKEY_LOCAL_MACHINE");
    default: return QStringLiteral("0x") + QString::number(root, 16).toUpper();
  }
}

QString sectionName(quint32 root, const QString& keyPath) { return rootName(root) + QLatin1Char('\\') + keyPath; }

QStringList readLines(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
  for (QString& l : lines)
    if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

bool isSection(const QString& line) {
  const QString t = line.trimmed();
  return t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'));
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool isSectionNamed(const QString& line, const QString& section) {
  return isSection(line) && sameName(line.trimmed().mid(1).chopped(1).trimmed(), section);
}

// The value's name of a "name=value" line; nullopt for comments and other lines.
std::optional<QString> lineName(const QString& line) {
  const QString t = line.trimmed();
  if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'))) return {};
  const qsizetype eq = line.indexOf(QLatin1Char('='));
  if (eq < 0) return {};
  return line.left(eq).trimmed();
}

std::optional<QString> findValue(const QString& path, const QString& section, const QString& name) {
  bool inSection = false;
  for (const QString& line : readLines(path)) {
    if (isSection(line)) {
      inSection = isSectionNamed(line, section);
    } else if (inSection) {
      const auto n = lineName(line);
      if (n && sameName(*n, name)) return line.mid(line.indexOf(QLatin1Char('=')) + 1);
    }
  }
  return std::nullopt;
}

// The lines of the file with the value set: replaced where it stands, else appended to its
// section, else in a new section at the end.
QStringList withValue(QStringList lines, const QString& section, const QString& name, const QString& value) {
  const QString entry = name + QLatin1Char('=') + value;
  qsizetype sectionEnd = -1;
  bool inSection = false;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (isSection(lines[i])) {
      if (inSection) break;
      inSection = isSectionNamed(lines[i], section);
      if (inSection) sectionEnd = i + 1;
      continue;
    }
    if (!inSection) continue;
    const auto n = lineName(lines[i]);
    if (n && sameName(*n, name)) {
      lines[i] = entry;
      return lines;
    }
    if (!lines[i].trimmed().isEmpty()) sectionEnd = i + 1;
  }
  if (sectionEnd >= 0) {
    lines.insert(sectionEnd, entry);
    return lines;
  }
  if (!lines.isEmpty() && !lines.last().trimmed().isEmpty()) lines << QString();
  lines << QLatin1Char('[') + section + QLatin1Char(']') << entry;
  return lines;
}

}  // namespace

QString registryUserFile() {
  QString dir = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return dir + QStringLiteral("/velkor/registry.ini");
}

QString registryMachineFile() {
  const QString over = qEnvironmentVariable("VELKOR_MACHINE_REGISTRY");
  return over.isEmpty() ? QStringLiteral("/etc/velkor/registry.ini") : over;
}

namespace {
QString doNula(const std::optional<QString>& v) {
  if (!v) return {};
  const qsizetype nul = v->indexOf(QChar(0));
  return nul < 0 ? *v : v->left(nul);
}
}  // namespace

QString CitajRegistar(quint32 root, const QString& keyPath, const QString& valueName) {
  const QString section = sectionName(root, keyPath);
  std::optional<QString> v = findValue(registryUserFile(), section, valueName);
  if (!v) v = findValue(registryMachineFile(), section, valueName);
  return doNula(v);
}

QString CitajRegistarStroja(quint32 root, const QString& keyPath, const QString& valueName) {
  return doNula(findValue(registryMachineFile(), sectionName(root, keyPath), valueName));
}

bool UpisiRegistar(quint32 root, const QString& keyPath, const QString& valueName, const QString& text,
                   QString* error) {
  const QString path = registryUserFile();
  QString value = text;
  value.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  value.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  // A file that exists but cannot be read is never replaced by one holding only this value.
  QFile existing(path);
  if (existing.exists() && !existing.open(QIODevice::ReadOnly)) {
    if (error) *error = path + QStringLiteral(": ") + existing.errorString();
    return false;
  }
  existing.close();
  const QStringList lines = withValue(readLines(path), sectionName(root, keyPath), valueName, value);
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSaveFile f(path);
  if (f.open(QIODevice::WriteOnly)) {
    f.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    if (f.commit()) return true;
  }
  if (error) *error = path + QStringLiteral(": ") + f.errorString();
  return false;
}

}  // namespace platform
