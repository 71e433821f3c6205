#pragma once
#include <QByteArray>
#include <QString>

namespace sender {

// The file-name parameters of an attachment part. Mail programs differ in which one
// they read, so a part carries both: name= in Content-Type (RFC 2047 words inside the
// quotes when the name is not plain ASCII) and filename in Content-Disposition
// (RFC 2231 percent-encoded UTF-8, split into numbered sections when long).
namespace smtpparam {

// `name="…"`
QByteArray nameParameter(const QString& fileName);
// `filename="…"` for a plain ASCII name, else `filename*=UTF-8''…` or, when long,
// `filename*0*=UTF-8''…;` CR LF TAB `filename*1*=…` and so on.
QByteArray filenameParameter(const QString& fileName);

}  // namespace smtpparam

}  // namespace sender
