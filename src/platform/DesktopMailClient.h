#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

#include "core/MailFields.h"

// The desktop mail client, standing where the mail program's automation stood: a mail
// item is either shown in the desktop's compose window (xdg-email) or sent at once
// through the local mail system (sendmail -t -i). A missing program is an error with a
// description that names it.
namespace platform {

// The local mail system's program: $VELKOR_SENDMAIL when set, else /usr/sbin/sendmail,
// else "sendmail" on PATH. Empty when there is none.
QString sendmailProgram();
// True when an item can go somewhere: the compose window or the local mail system.
bool desktopMailClientAvailable(QString* error = nullptr);
// A whole message text (written by the engine) to the local mail system, sendmail -t -i.
bool sendToLocalMailSystem(const QByteArray& message, QString* error);

// False (with a description) when an address list holds a line break, which would end a
// header line and start another; nothing of such an item is handed over.
bool addressesSafe(const core::MailFields& item, QString* error);

class MailItem : public core::MailFields {
 public:
  // A file the item carries; false (with a description) when it cannot be read.
  bool AddAttachment(const QString& path, QString* error);
  QStringList attachments() const { return Attachments; }

  // The item in the desktop's compose window, with private copies of its files; true once
  // the window was asked for.
  bool Display(QString* error) const;
  // The item at once to the local mail system, as text the given writer makes of it (the
  // engine's; empty with a description when it cannot).
  bool Send(QByteArray (*writer)(const core::MailFields&, QString*), QString* error) const;
};

}  // namespace platform
