#include "sender/SlanjePrekoSMTP.h"

#include <QFile>

#include "platform/Dialogs.h"
#include "sender/SmtpMailer.h"
#include "sender/SmtpMessage.h"
#include "sender/modSMTPEMail.h"
#include "viewers/frmPrikazTeksta.h"

namespace sender {

bool PostaviSMTPVezu(SmtpMailer& mailer, const SMTPPostavke& p, QWidget* parent) {
  mailer.setSmtpHost(p.HostName);
  mailer.setUsername(p.UserName);
  if (p.OAuth.isEmpty()) {
    mailer.setPassword(p.Password);
  } else {
    QString greska;
    const QString token = platform::pristupniToken(SMTPPruzatelj(p), SMTPKljucOAuth(p), &greska);
    if (token.isEmpty()) {
      platform::dialogs().messageBox(parent, greska, platform::MsgButtons::Ok, platform::MsgIcon::Exclamation,
                                     QStringLiteral("Prijava"));
      return false;
    }
    mailer.setOAuthBearer(token);
  }
  if (p.SSL == 1) mailer.setSsl(true);
  if (p.StartTLS == 1) mailer.setStartTls(true);
  if (p.Port > 0) mailer.setSmtpPort(p.Port);
  mailer.setTimeoutSeconds(p.Timeout);
  return true;
}

namespace {

void dodajPrimatelje(SmtpMessage& poruka, const QString& lista,
                     void (SmtpMessage::*dodaj)(const QString&, const QString&)) {
  for (const QString& adresa : lista.split(QLatin1Char(';'))) (poruka.*dodaj)(QString(), adresa);
}

}  // namespace

bool SlanjePrekoSMTP(const QString& subject, const QString& to, const QString& body, const QString& attachment1,
                     const QString& cc, const QString& bcc, bool deleteAttachments, const QString& attachment2,
                     const QString& attachment3, QWidget* parent) {
  if (!ProvjeriSMTPPostavke(parent)) return false;

  SmtpMailer mailer;
  if (!PostaviSMTPVezu(mailer, g_SMTPPostavke, parent)) return false;

  SmtpMessage poruka;
  poruka.setSubject(subject);
  poruka.setBody(body);
  poruka.setFrom(g_SMTPPostavke.From);
  dodajPrimatelje(poruka, to, &SmtpMessage::addTo);
  if (!cc.isEmpty()) dodajPrimatelje(poruka, cc, &SmtpMessage::addCC);
  if (!bcc.isEmpty()) dodajPrimatelje(poruka, bcc, &SmtpMessage::addBCC);

  const QString prilozi[] = {attachment1, attachment2, attachment3};
  for (const QString& prilog : prilozi) {
    if (prilog.isEmpty()) continue;
    poruka.addFileAttachment(prilog);
    // The file's own error: the mail-sender has not been involved yet.
    if (!poruka.lastMethodSuccess()) {
      viewers::PrikaziOpisGreske(parent, poruka.lastErrorText());
      return false;
    }
  }

  if (mailer.sendEmail(poruka) != 1) {
    viewers::PrikaziOpisGreske(parent, mailer.lastErrorText());
    return false;
  }
  if (deleteAttachments)
    for (const QString& prilog : prilozi)
      if (!prilog.trimmed().isEmpty()) QFile::remove(prilog);
  return true;
}

}  // namespace sender
