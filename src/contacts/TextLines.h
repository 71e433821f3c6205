#pragma once
#include <QString>
#include <QStringList>

// The lines of a UTF-8 text file: a byte order mark is dropped, lines may end in CR LF or
// LF alone, and a last line without a line end still counts. False when the file exists
// but cannot be read; a missing file gives no lines and true.
bool ReadTextLines(const QString& path, QStringList& lines, QString* error = nullptr);
