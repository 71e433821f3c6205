#include "sender/SmtpMessage.h"

#include <QFile>
#include <QFileInfo>

#include "mail/ContentTypes.h"

namespace sender {

void SmtpMessage::add(QList<Recipient>& list, const QString& name, const QString& address) {
  ok();
  const QString a = address.trimmed();
  if (a.isEmpty()) return;
  if (a.contains(QLatin1Char('\r')) || a.contains(QLatin1Char('\n')) || a.contains(QLatin1Char('<')) ||
      a.contains(QLatin1Char('>'))) {
    refused_ << a;
    success_ = false;
    error_ = QStringLiteral("Invalid e-mail address: %1").arg(a.simplified());
    return;
  }
  list << Recipient{name, a};
}

QString SmtpMessage::addFileAttachment(const QString& path) {
  ok();
  const QFileInfo fi(path);
  QFile f(path);
  if (!fi.isFile() || !f.open(QIODevice::ReadOnly)) {
    success_ = false;
    const QString why = !fi.exists() ? QStringLiteral("the file does not exist")
                        : fi.isDir() ? QStringLiteral("it is a directory")
                                     : f.errorString();
    error_ = QStringLiteral("Cannot attach the file \"%1\": %2.").arg(path, why);
    return {};
  }
  const QString type = mail::attachmentContentType(fi.fileName());
  attachments_ << Attachment{fi.absoluteFilePath(), fi.fileName(), type};
  return type;
}

}  // namespace sender
