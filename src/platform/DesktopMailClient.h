#pragma once
#include <QString>
#include <QStringList>

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

class MailItem {
 public:
  // Address lists are separated by ";".
  QString Subject;
  QString To;
  QString CC;
  QString BCC;
  QString Body;
  bool HtmlBody = false;        // Body is HTML (text/html; charset=utf-8)
  bool HighImportance = false;  // "Importance: high" and "X-Priority: 1"

  // A file the item carries; false (with a description) when it cannot be read.
  bool AddAttachment(const QString& path, QString* error);
  QStringList attachments() const { return attachments_; }

  // The item in the desktop's compose window; true once the window was asked for.
  bool Display(QString* error) const;

 private:
  QStringList attachments_;
};

}  // namespace platform
