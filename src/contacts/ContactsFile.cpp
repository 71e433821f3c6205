#include "contacts/ContactsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "contacts/TextLines.h"

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
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
         QStringLiteral("/Velkor/Contacts.txt");
}

ContactsFile::ContactsFile(QString path) : path_(std::move(path)) {}

bool ContactsFile::exists() const { return QFileInfo::exists(path_); }

bool ContactsFile::readLines(QStringList& lines) {
  return ReadTextLines(path_, lines, &error_);
}

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

bool ContactsFile::holdsAddress(const QString& address, bool& holds) {
  holds = false;
  QStringList lines;
  if (!readLines(lines)) return false;
  for (const QString& l : lines)
    if (l.contains(address, Qt::CaseInsensitive)) holds = true;
  return true;
}

bool ContactsFile::append(const QString& name, const QString& address) {
  QByteArray bytes;
  QFile old(path_);
  if (old.exists()) {
    if (!old.open(QIODevice::ReadOnly)) {
      error_ = old.errorString();
      return false;
    }
    bytes = old.readAll();
  }
  // A last line without its line end would otherwise run into the new record.
  if (!bytes.isEmpty() && !bytes.endsWith('\n')) bytes += kLineEnd;
  bytes += (name + QLatin1Char(',') + address).toUtf8() + kLineEnd;
  return write(bytes);
}

bool ContactsFile::replace(const QString& key, const QString& name, const QString& address) {
  const QString record = name + QLatin1Char(',') + address;
  return rewrite(key, &record);
}

bool ContactsFile::remove(const QString& key) { return rewrite(key, nullptr); }

bool ContactsFile::rewrite(const QString& key, const QString* replacement) {
  QStringList lines;
  if (!readLines(lines)) return false;
  QByteArray bytes;
  for (const QString& l : lines) {
    const ContactLine c = ContactLine::parse(l);
    QString out;
    if (c.isBlank()) continue;
    if (!c.hasComma)
      out = c.text;  // not a record: kept as it stands
    else if (c.address.trimmed() != key.trimmed())
      out = c.name + QLatin1Char(',') + c.address;
    else if (replacement)
      out = *replacement;
    else
      continue;
    bytes += out.toUtf8() + kLineEnd;
  }
  return write(bytes);
}

bool ContactsFile::write(const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path_).absolutePath());  // a failure shows in open()
  QSaveFile f(path_);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
    error_ = f.errorString();
    f.cancelWriting();
    return false;
  }
  if (!f.commit()) {
    error_ = f.errorString();
    return false;
  }
  return true;
}
