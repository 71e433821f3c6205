#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace contacts {

// The lines of a text file: a byte order mark is dropped, lines may end in CR LF or LF
// alone, and a last line without a line end still counts. False when the file exists but
// cannot be read; a missing file gives no lines and true. *legacy (when given) tells
// whether some line was not UTF-8 and was read as Windows-1250.
bool ReadTextLines(const QString& path, QStringList& lines, QString* error = nullptr, bool* legacy = nullptr);

// Text files from the host's Windows programs are in the Croatian ANSI code page: each line
// that is not valid UTF-8 is read as Windows-1250 (a UTF-8 book with one such line, from a
// hand edit, keeps its other lines).
QStringList DecodeTextLines(const QByteArray& bytes, bool* legacy = nullptr);
QString FromWindows1250(QByteArrayView bytes);

}  // namespace contacts
