#include "platform/DesktopMailClient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QUrl>

#include "platform/PrivatneKopije.h"
#include "platform/ProgramLauncher.h"

namespace platform {

namespace {

constexpr int kSendmailMs = 60000;
// xdg-email may stay until the mail program it started is closed; by then the compose
// window is long open.
constexpr int kDisplayMs = 5000;

void pump() {
  if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread())
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QString xdgEmailFailure(int code) {
  switch (code) {
    case 1: return QStringLiteral("xdg-email nije prihvatio naredbu.");
    case 2: return QStringLiteral("xdg-email nije pronašao jednu od datoteka priloga.");
    case 3: return QStringLiteral("nije pronađen program za pisanje e-maila (xdg-email).");
    case 4: return QStringLiteral("xdg-email nije uspio otvoriti prozor za pisanje e-maila.");
    case 5: return QStringLiteral("xdg-email nema dozvolu čitati jednu od datoteka priloga.");
    default: return QStringLiteral("xdg-email je završio s greškom %1.").arg(code);
  }
}

QString encoded(const QString& s, const QByteArray& keep = "@") {
  return QString::fromLatin1(QUrl::toPercentEncoding(s, keep));
}

// The whole compose request as one mailto URL (RFC 6068) of our own making: xdg-email would
// take any argument that starts with "mailto:" as the URL itself, so an address could carry
// "?attach=" or other fields of its own. Every value here is percent-encoded.
QString mailtoUrl(const MailItem& item, const QStringList& attachments) {
  QStringList to;
  for (const QString& a : core::addressesOf(item.To)) to << encoded(a);
  QStringList fields;
  for (const QString& cc : core::addressesOf(item.CC)) fields << QStringLiteral("cc=") + encoded(cc);
  for (const QString& bcc : core::addressesOf(item.BCC)) fields << QStringLiteral("bcc=") + encoded(bcc);
  QString body = item.Body;
  body.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  body.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  fields << QStringLiteral("subject=") + encoded(item.Subject) << QStringLiteral("body=") + encoded(body);
  for (const QString& f : attachments) fields << QStringLiteral("attach=") + encoded(f, "/");
  return QStringLiteral("mailto:") + to.join(QLatin1Char(',')) + QLatin1Char('?') + fields.join(QLatin1Char('&'));
}

}  // namespace

QString sendmailProgram() {
  if (qEnvironmentVariableIsSet("VELKOR_SENDMAIL")) return findProgram(qEnvironmentVariable("VELKOR_SENDMAIL"));
  const QString system = findProgram(QStringLiteral("/usr/sbin/sendmail"));
  return system.isEmpty() ? findProgram(QStringLiteral("sendmail")) : system;
}

bool desktopMailClientAvailable(QString* error) {
  if (!sendmailProgram().isEmpty() || !findProgram(QStringLiteral("xdg-email")).isEmpty()) return true;
  if (error) *error = QStringLiteral("nije pronađen ni program za slanje pošte (sendmail) ni xdg-email.");
  return false;
}

bool MailItem::AddAttachment(const QString& path, QString* error) {
  const QFileInfo fi(path);
  QFile f(path);
  if (!fi.isFile() || !f.open(QIODevice::ReadOnly)) {
    if (error) *error = QStringLiteral("datoteku priloga \"%1\" nije moguće pročitati.").arg(path);
    return false;
  }
  Attachments << path;
  return true;
}

bool sendToLocalMailSystem(const QByteArray& message, QString* error) {
  const QString program = sendmailProgram();
  if (program.isEmpty()) {
    if (error) *error = QStringLiteral("nije pronađen program za slanje pošte (sendmail).");
    return false;
  }
  const RunResult r = runAndWait(program, {QStringLiteral("-t"), QStringLiteral("-i")}, message, kSendmailMs);
  if (r.started && r.error.isEmpty() && r.exitCode == 0) return true;
  if (error) {
    *error = !r.error.isEmpty() ? r.error
                                : QStringLiteral("%1 je završio s greškom %2: %3")
                                      .arg(QFileInfo(program).fileName())
                                      .arg(r.exitCode)
                                      .arg(QString::fromLocal8Bit(r.output).trimmed());
  }
  return false;
}

bool addressesSafe(const core::MailFields& item, QString* error) {
  for (const QString* list : {&item.To, &item.CC, &item.BCC}) {
    if (!list->contains(QLatin1Char('\r')) && !list->contains(QLatin1Char('\n'))) continue;
    if (error) *error = QStringLiteral("adresa \"%1\" sadrži prijelom retka.").arg(list->simplified());
    return false;
  }
  return true;
}

bool MailItem::Send(QByteArray (*writer)(const core::MailFields&, QString*), QString* error) const {
  if (!addressesSafe(*this, error)) return false;
  const QByteArray text = writer(*this, error);
  return !text.isEmpty() && sendToLocalMailSystem(text, error);
}

bool MailItem::Display(QString* error) const {
  const QString program = findProgram(QStringLiteral("xdg-email"));
  if (program.isEmpty()) {
    if (error) *error = QStringLiteral("nije pronađen program xdg-email.");
    return false;
  }
  QString refusal;
  if (!addressesSafe(*this, &refusal)) {
    if (error) *error = refusal;
    return false;
  }
  // The compose window reads the files after we have returned, and the caller may delete its
  // own at once.
  QStringList copies;
  for (const QString& f : attachments()) {
    const QString copy = privatnaKopija(f, error);
    if (copy.isEmpty()) return false;
    copies << copy;
  }
  auto* p = new QProcess;
  p->setProcessChannelMode(QProcess::MergedChannels);
  p->setStandardInputFile(QProcess::nullDevice());
  p->start(program, {QStringLiteral("--utf8"), mailtoUrl(*this, copies)});
  if (!p->waitForStarted(5000)) {
    if (error) *error = QStringLiteral("program \"%1\" nije moguće pokrenuti.").arg(program);
    delete p;
    return false;
  }
  const QDeadlineTimer deadline(kDisplayMs);
  while (!p->waitForFinished(10)) {
    if (deadline.hasExpired()) {
      // Still running with the compose window open: it finishes on its own.
      QObject::connect(p, &QProcess::finished, p, &QObject::deleteLater);
      return true;
    }
    pump();
  }
  const bool crashed = p->exitStatus() != QProcess::NormalExit;
  const bool ok = !crashed && p->exitCode() == 0;
  if (!ok && error) {
    *error = crashed ? QStringLiteral("xdg-email je prekinut.") : xdgEmailFailure(p->exitCode());
    const QString said = QString::fromLocal8Bit(p->readAll()).trimmed();
    if (!said.isEmpty()) *error += QLatin1Char(' ') + said;
  }
  delete p;
  return ok;
}

}  // namespace platform
