#include "contacts/ContactsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

#include "contacts/TextLines.h"

namespace contacts {

namespace {
const QByteArray kLineEnd = QByteArrayLiteral("\r\n");
}

ContactLine ContactLine::parse(const QString& line) {
  ContactLine c;
  c.text = line;
  const QStringList pieces = line.trimmed().split(QLatin1Char(','));
  c.name = pieces.value(0);
  c.address = pieces.value(1);
  c.hasComma = pieces.size() > 1;
  return c;
}

QString ContactsFilePath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Velkor/Contacts.txt");
}

ContactsFile::ContactsFile(QString path) : path_(std::move(path)) {}

bool ContactsFile::exists() const { return QFileInfo::exists(path_); }

bool ContactsFile::readLines(QStringList& lines, bool* legacy) { return ReadTextLines(path_, lines, &error_, legacy); }

bool ContactsFile::read(QList<ContactLine>& contacts) {
  contacts.clear();
  QStringList lines;
  if (!readLines(lines)) return false;
  for (const QString& l : lines) {
    ContactLine c = ContactLine::parse(l);
    if (!c.isBlank()) contacts << c;
  }
  return true;
}

bool ContactsFile::lock(QLockFile& lock) {
  QDir().mkpath(QFileInfo(path_).absolutePath());
  // A lock left by a crashed program is taken over once its process is gone (or after
  // the stale time); a live one is waited for.
  lock.setStaleLockTime(30000);
  if (lock.tryLock(10000)) return true;
  error_ = lock.error() == QLockFile::LockFailedError ? QStringLiteral("Kontakt listu upravo mijenja drugi program.")
                                                      : QStringLiteral("Kontakt lista se ne može zaključati.");
  return false;
}

bool ContactsFile::add(const QString& name, const QString& address, bool& held) {
  held = false;
  QLockFile l(path_ + QStringLiteral(".lock"));
  if (!lock(l)) return false;
  QStringList lines;
  bool legacy = false;
  if (!readLines(lines, &legacy)) return false;
  for (const QString& line : lines)
    if (line.contains(address, Qt::CaseInsensitive)) held = true;
  if (held) return true;
  QByteArray bytes;
  if (legacy) {
    for (const QString& line : lines) bytes += line.toUtf8() + kLineEnd;
  } else {
    QFile old(path_);
    if (old.exists()) {
      if (!old.open(QIODevice::ReadOnly)) {
        error_ = old.errorString();
        return false;
      }
      bytes = old.readAll();
    }
  }
  // A last line without its line end would otherwise run into the new record.
  if (!bytes.isEmpty() && !bytes.endsWith('\n')) bytes += kLineEnd;
  bytes += (name + QLatin1Char(',') + address).toUtf8() + kLineEnd;
  return write(bytes, legacy);
}

bool ContactsFile::replace(const QString& key, const QString& name, const QString& address) {
  const QString record = name + QLatin1Char(',') + address;
  return rewrite(key, &record);
}

bool ContactsFile::remove(const QString& key) { return rewrite(key, nullptr); }

bool ContactsFile::rewrite(const QString& key, const QString* replacement) {
  QLockFile l(path_ + QStringLiteral(".lock"));
  if (!lock(l)) return false;
  QStringList lines;
  bool legacy = false;
  if (!readLines(lines, &legacy)) return false;
  QByteArray bytes;
  for (const QString& line : lines) {
    const ContactLine c = ContactLine::parse(line);
    QString out;
    if (c.isBlank()) continue;
    if (!c.hasComma) out = c.text;  // not a record: kept as it stands
    else if (c.address.trimmed() != key.trimmed()) out = c.name + QLatin1Char(',') + c.address;
    else if (replacement) out = *replacement;
    else continue;
    bytes += out.toUtf8() + kLineEnd;
  }
  return write(bytes, legacy);
}

bool ContactsFile::write(const QByteArray& bytes, bool keepOriginal) {
  QDir().mkpath(QFileInfo(path_).absolutePath());  // a failure shows in open()
  const auto save = [this](const QString& path, const QByteArray& b) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(b) != b.size()) {
      error_ = f.errorString();
      f.cancelWriting();
      return false;
    }
    if (f.commit()) return true;
    error_ = f.errorString();
    return false;
  };
  if (keepOriginal) {
    QFile old(path_);
    if (!old.open(QIODevice::ReadOnly)) {
      error_ = old.errorString();
      return false;
    }
    if (!save(path_ + QStringLiteral(".bak"), old.readAll())) return false;
  }
  return save(path_, bytes);
}

}  // namespace contacts
