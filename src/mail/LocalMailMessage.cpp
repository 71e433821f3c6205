#include "mail/LocalMailMessage.h"

#include <pwd.h>
#include <unistd.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include "mail/BodyPreparation.h"
#include "mail/InternationalAddress.h"
#include "mail/MimeBuilder.h"

namespace mail {

namespace {

// The address the local mail system would give this user: login name at the mail name.
QString localSender() {
  QString user = qEnvironmentVariable("USER");
  if (user.isEmpty()) {
    if (const passwd* pw = getpwuid(getuid())) user = QString::fromLocal8Bit(pw->pw_name);
  }
  QString domain;
  QFile mailname(QStringLiteral("/etc/mailname"));
  if (mailname.open(QIODevice::ReadOnly)) domain = QString::fromUtf8(mailname.readLine()).trimmed();
  if (domain.isEmpty()) domain = QSysInfo::machineHostName();
  return (user.isEmpty() ? QStringLiteral("user") : user) + QLatin1Char('@') + domain;
}

}  // namespace

QByteArray localMailText(const core::MailFields& m, QString* error) {
  MimeInput in;
  in.from = m.From.trimmed().isEmpty() ? localSender() : m.From.trimmed();
  in.fromDisplayName = m.FromName.trimmed();
  in.messageIdHost = in.from.section(QLatin1Char('@'), 1);
  in.recipients = core::addressesOf(m.To);
  in.ccRecipients = core::addressesOf(m.CC);
  in.subject = m.Subject;
  in.listUnsubscribe = withAceDomain(m.ListUnsubscribe.trimmed());
  in.body = prepareBody(m.Body, false).text;
  in.asHtml = m.HtmlBody;
  if (m.HighImportance) {
    in.priority = 1;
    in.priorityWord = QStringLiteral("High");
  }
  for (const QString& p : m.Attachments) in.attachments << MimeAttachment{p, QFileInfo(p).fileName()};
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  // sendmail -t reads the Bcc header for its recipients and removes it.
  const QStringList bcc = core::addressesOf(m.BCC);
  if (!bcc.isEmpty()) buffer.write("Bcc: " + bcc.join(QStringLiteral(", ")).toUtf8() + '\n');
  if (m.HighImportance) buffer.write("Importance: high\n");
  if (!writeMessage(in, buffer, LineEnd::Lf, error)) return {};
  return buffer.data();
}

}  // namespace mail
