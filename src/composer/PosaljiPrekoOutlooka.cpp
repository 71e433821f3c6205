// The route through the desktop mail client: every message goes to the local mail system
// (sendmail -t -i) instead of the composer's own SMTP engine.
#include "composer/PriloziZapisa.h"
#include "composer/TijekSlanja.h"
#include "mail/HtmlText.h"
#include "mail/LocalMailMessage.h"
#include "platform/DesktopMailClient.h"

namespace composer {

bool TijekSlanja::posaljiKlijentu(const QString& to, const QString& cc, const QString& bcc) {
  emit domene({});
  platform::MailItem item;
  item.To = to;
  item.CC = cc;
  item.BCC = bcc;
  item.HtmlBody = p_.uHtmlu;
  item.Body = item.HtmlBody ? tijelo() : mail::htmlToPlainText(tijelo());
  item.Subject = predmet();
  item.HighImportance = true;
  // The customers see the composer's sender, not this machine's login.
  item.From = p_.od;
  item.FromName = p_.imeOd;
  item.ListUnsubscribe = rs_ ? p_.odjava : QString();
  QString greška;
  bool ok = true;
  // Each path of the list is an attachment of its own: the whole list is no file.
  for (const QString& put : rs_ ? priloziZapisa(p_.prilozi, *rs_) : p_.prilozi.split(QLatin1Char(';')))
    if (ok && !put.trimmed().isEmpty()) ok = item.AddAttachment(put.trimmed(), &greška);
  if (ok && item.Send(&mail::localMailText, &greška)) return true;
  zabilježiOdgovor(greška.trimmed());
  if (!tihi_) emit greskaKlijenta(QStringLiteral("Greška: ") + greška);
  return false;
}

}  // namespace composer
