#include "mail/ContentTypes.h"

#include <QHash>
#include <QMimeDatabase>

namespace mail {
namespace {

// The types a business program's attachments usually have; the system's MIME
// database answers for the rest.
const QHash<QString, QString>& extensionTable() {
  static const QHash<QString, QString> table = {
      {".txt", "text/plain"},
      {".csv", "text/csv"},
      {".htm", "text/html"},
      {".html", "text/html"},
      {".xml", "text/xml"},
      {".rtf", "application/rtf"},
      {".pdf", "application/pdf"},
      {".zip", "application/zip"},
      {".7z", "application/x-7z-compressed"},
      {".gz", "application/gzip"},
      {".tar", "application/x-tar"},
      {".doc", "application/msword"},
      {".dot", "application/msword"},
      {".xls", "application/vnd.ms-excel"},
      {".ppt", "application/vnd.ms-powerpoint"},
      {".docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
      {".xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
      {".pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
      {".odt", "application/vnd.oasis.opendocument.text"},
      {".ods", "application/vnd.oasis.opendocument.spreadsheet"},
      {".odp", "application/vnd.oasis.opendocument.presentation"},
      {".eml", "message/rfc822"},
      {".jpg", "image/jpeg"},
      {".jpeg", "image/jpeg"},
      {".jpe", "image/jpeg"},
      {".gif", "image/gif"},
      {".png", "image/png"},
      {".bmp", "image/bmp"},
      {".tif", "image/tiff"},
      {".tiff", "image/tiff"},
      {".ico", "image/x-icon"},
      {".svg", "image/svg+xml"},
      {".webp", "image/webp"},
      {".mp3", "audio/mpeg"},
      {".wav", "audio/wav"},
      {".mp4", "video/mp4"},
      {".avi", "video/x-msvideo"},
      {".mpg", "video/mpeg"},
      {".mpeg", "video/mpeg"},
      {".js", "application/javascript"},
      {".css", "text/css"},
      {".json", "application/json"},
  };
  return table;
}

// The file's own name (after the last "/" or "\"), then its text from the last ".".
QString extensionOf(const QString& file) {
  const qsizetype slash = qMax(file.lastIndexOf(QLatin1Char('/')), file.lastIndexOf(QLatin1Char('\\')));
  const QString name = file.mid(slash + 1);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? QString() : name.mid(dot).toLower();
}

}  // namespace

QString GetContentType(const QString& strFile, const QString& strDefault) {
  const QString extension = extensionOf(strFile);
  if (extension.size() < 2) return strDefault;
  const auto known = extensionTable().constFind(extension);
  if (known != extensionTable().cend()) return *known;
  const QList<QMimeType> types = QMimeDatabase().mimeTypesForFileName(QLatin1String("x") + extension);
  if (!types.isEmpty() && types.first().isValid()) return types.first().name();
  return strDefault;
}

QString attachmentContentType(const QString& fileName) {
  return GetContentType(fileName, QStringLiteral("application/octet-stream"));
}

}  // namespace mail
