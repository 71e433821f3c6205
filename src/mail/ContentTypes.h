#pragma once
#include <QString>

// MIME type of a file by its extension (text from the last "." of the name).
namespace mail {

// GetContentType: the registered type, else `strDefault`.
QString GetContentType(const QString& strFile, const QString& strDefault = {});
// The type an attachment part gets: registered type, else "application/octet-stream".
QString attachmentContentType(const QString& fileName);

}  // namespace mail
