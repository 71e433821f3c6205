#include "contacts/TextLines.h"

#include <QFile>

bool ReadTextLines(const QString& path, QStringList& lines, QString* error) {
  lines.clear();
  QFile f(path);
  if (!f.exists()) return true;
  if (!f.open(QIODevice::ReadOnly)) {
    if (error) *error = f.errorString();
    return false;
  }
  QByteArray bytes = f.readAll();
  if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
  if (bytes.isEmpty()) return true;
  lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
  if (lines.last().isEmpty()) lines.removeLast();  // the line end of the last line
  for (QString& l : lines)
    if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
  return true;
}
