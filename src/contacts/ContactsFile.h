#pragma once
#include <QByteArray>
#include <QList>
#include <QLockFile>
#include <QString>
#include <QStringList>

namespace contacts {

// One line of the contact file as the views show it: the line trimmed and split at ",";
// pieces beyond the second are ignored. A line without a "," has an empty address.
struct ContactLine {
  QString text;  // the line as read, without its line end
  QString name;
  QString address;
  bool hasComma = false;
  bool isBlank() const { return text.trimmed().isEmpty(); }
  static ContactLine parse(const QString& line);
};

// $XDG_DATA_HOME/Velkor/Contacts.txt, built anew for every operation.
QString ContactsFilePath();

// The address book's file: lines "name,address" ending in CR LF, UTF-8. Every operation
// reads the whole file first; every write replaces the file only once the new one is
// complete, so a crash or a full disk leaves the old book as it was. A change holds the
// book's lock file from its read to its write, so that windows and programs changing the
// book at once lose none of each other's changes.
// A book in the Windows code page (lines that are not UTF-8) is read as Windows-1250 and
// converted to UTF-8 by its first change; the original stays beside it as Contacts.txt.bak.
class ContactsFile {
 public:
  explicit ContactsFile(QString path = ContactsFilePath());

  bool exists() const;
  // The non-blank lines in file order; false (and errorString) when the file cannot be read.
  bool read(QList<ContactLine>& contacts);
  // Appends "name,address" (both already trimmed) as a line of its own, unless some line
  // holds address anywhere in it, letter case aside (then held is true and nothing changes).
  bool add(const QString& name, const QString& address, bool& held);
  // Lines whose address, trimmed, equals key (trimmed; letter case counts) become
  // "name,address"; the others are written back as their first two pieces.
  bool replace(const QString& key, const QString& name, const QString& address);
  // Leaves out the lines whose address, trimmed, equals key (trimmed).
  bool remove(const QString& key);

  const QString& path() const { return path_; }
  const QString& errorString() const { return error_; }

 private:
  bool readLines(QStringList& lines, bool* legacy = nullptr);
  bool rewrite(const QString& key, const QString* replacement);
  bool lock(QLockFile& lock);
  bool write(const QByteArray& bytes, bool keepOriginal);

  QString path_;
  QString error_;
};

}  // namespace contacts
