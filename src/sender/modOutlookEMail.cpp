#include "sender/modOutlookEMail.h"

#include <QFile>

#include "mail/LocalMailMessage.h"
#include "platform/DesktopMailClient.h"
#include "platform/Dialogs.h"

namespace sender {

namespace {

void porukaGreske(QWidget* parent, const QString& opis) {
  platform::dialogs().messageBox(
      parent,
      QStringLiteral("Desila se greška: ") + opis +
          QStringLiteral("\r\n\r\nUkoliko je MS Outlook pokrenut pod drugim korisnikom, uskladite "
                         "korisnike za velkor program i Outlook. Kontaktirajte velkor tim za "
                         "podršku u slučaju potrebe."),
      platform::MsgButtons::Ok, platform::MsgIcon::Exclamation, QString());
}

bool nijePrazno(const QString& s) { return !s.trimmed().isEmpty(); }

}  // namespace

bool OutlookRouteSend(const QString& subject, const QString& to, const QString& body, const QString& attachment1,
                      const QString& cc, const QString& bcc, bool deleteAttachments, const QString& attachment2,
                      const QString& attachment3, bool sendAtOnce, QWidget* parent) {
  QString opis;
  if (!platform::desktopMailClientAvailable(&opis)) {
    porukaGreske(parent, opis);
    return false;
  }
  platform::MailItem item;
  item.Subject = subject;
  item.To = to;
  if (nijePrazno(cc)) item.CC = cc;
  if (nijePrazno(bcc)) item.BCC = bcc;
  item.Body = body;
  const QString prilozi[] = {attachment1, attachment2, attachment3};
  for (const QString& prilog : prilozi) {
    if (nijePrazno(prilog) && !item.AddAttachment(prilog, &opis)) {
      porukaGreske(parent, opis);
      return false;
    }
  }
  if (!(sendAtOnce ? item.Send(&mail::localMailText, &opis) : item.Display(&opis))) {
    porukaGreske(parent, opis);
    return false;
  }
  if (deleteAttachments)
    for (const QString& prilog : prilozi)
      if (nijePrazno(prilog)) QFile::remove(prilog);
  return true;
}

bool OutlookRouteAvailable() { return platform::desktopMailClientAvailable(); }

}  // namespace sender
