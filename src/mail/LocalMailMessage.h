#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// A message for the local mail system (sendmail -t -i), as the desktop mail routes fill it.
namespace mail {

struct LocalMailMessage {
  // Address lists are separated by ";".
  QString Subject;
  QString To;
  QString CC;
  QString BCC;
  QString Body;
  bool HtmlBody = false;        // Body is HTML (text/html; charset=utf-8)
  bool HighImportance = false;  // "Importance: high" and "X-Priority: 1"
  QStringList Attachments;
};

// The message text handed to the local mail system (Unix line ends, no SMTP
// dot-stuffing; Bcc stays in the text for sendmail -t to read and remove). Empty, with a
// description, when an attachment cannot be read.
QByteArray localMailText(const LocalMailMessage& message, QString* error = nullptr);

}  // namespace mail
