#include "platform/DesktopMailClient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include "platform/ProgramLauncher.h"

namespace platform {

namespace {

constexpr int kSendmailMs = 60000;
// xdg-email may stay until the mail program it started is closed; by then the compose
// window is long open.
constexpr int kDisplayMs = 5000;

void pump() {
  if (QCoreApplication::instance() &&
      QThread::currentThread() == QCoreApplication::instance()->thread())
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

QStringList xdgEmailArguments(const MailItem& item) {
  QStringList a{QStringLiteral("--utf8")};
  for (const QString& cc : addressesOf(item.CC)) a << QStringLiteral("--cc") << cc;
  for (const QString& bcc : addressesOf(item.BCC)) a << QStringLiteral("--bcc") << bcc;
  a << QStringLiteral("--subject") << item.Subject << QStringLiteral("--body") << item.Body;
  for (const QString& f : item.attachments()) a << QStringLiteral("--attach") << f;
  return a + addressesOf(item.To);
}

}  // namespace

QString sendmailProgram() {
  if (qEnvironmentVariableIsSet("VELKOR_SENDMAIL"))
    return findProgram(qEnvironmentVariable("VELKOR_SENDMAIL"));
  const QString system = findProgram(QStringLiteral("/usr/sbin/sendmail"));
  return system.isEmpty() ? findProgram(QStringLiteral("sendmail")) : system;
}

bool desktopMailClientAvailable(QString* error) {
  if (!sendmailProgram().isEmpty() || !findProgram(QStringLiteral("xdg-email")).isEmpty())
    return true;
  if (error)
    *error = QStringLiteral("nije pronađen ni program za slanje pošte (sendmail) ni xdg-email.");
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
  const RunResult r = runAndWait(program, {QStringLiteral("-t"), QStringLiteral("-i")}, message,
                                 kSendmailMs);
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

bool MailItem::Send(QByteArray (*writer)(const MailFields&, QString*), QString* error) const {
  const QByteArray text = writer(*this, error);
  return !text.isEmpty() && sendToLocalMailSystem(text, error);
}

bool MailItem::Display(QString* error) const {
  const QString program = findProgram(QStringLiteral("xdg-email"));
  if (program.isEmpty()) {
    if (error) *error = QStringLiteral("nije pronađen program xdg-email.");
    return false;
  }
  auto* p = new QProcess;
  p->setProcessChannelMode(QProcess::MergedChannels);
  p->setStandardInputFile(QProcess::nullDevice());
  p->start(program, xdgEmailArguments(*this));
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
