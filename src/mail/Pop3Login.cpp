// POP3 login before SMTP: some servers accept mail only from a client that has just
// logged in to the mailbox. Same socket, reply queue and waits as the SMTP dialogue.
#include "mail/SmtpDialogue.h"

namespace mail {

namespace {

bool holdsLineBreak(const QString& text) {
  return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

}  // namespace

bool SmtpDialogue::pop3Login() {
  hooks_.status(QStringLiteral("Connecting to POP3 Server (") + params_.pop3Host +
                QStringLiteral(")..."));
  abort_ = pop3Done_ = false;
  if (params_.pop3Host.isEmpty()) {
    fail(QStringLiteral("Pogrešan ili nedostaje POP3 Host Name"));
    return false;
  }
  // USER and PASS go out as they are: a line break would start another command.
  if (holdsLineBreak(params_.userName) || holdsLineBreak(params_.password)) {
    fail(QStringLiteral("POP3 user name or password holds a line break"));
    return false;
  }
  if (!connectAttempts(params_.pop3Host, kPop3Port, false, Step::Pop3Greeting)) return false;
  const bool done = waitFor(pop3Done_, params_.connectTimeout);
  closeSocket();
  EventWait::pump();
  if (!done || abort_) return false;
  hooks_.status(QStringLiteral("POP3 Authentication Successful..."));
  return true;
}

void SmtpDialogue::onPop3(Step step, bool ok, const QByteArray& reply) {
  if (!ok) {
    fail(QString::fromUtf8(reply));
    abort_ = true;
    return;
  }
  switch (step) {
    case Step::Pop3Greeting: return command("USER " + params_.userName.toUtf8(), Step::Pop3User);
    case Step::Pop3User: return command("PASS " + params_.password.toUtf8(), Step::Pop3Pass);
    case Step::Pop3Pass:
      quitSent_ = true;
      return command("QUIT", Step::Pop3Quit);
    default: pop3Done_ = true;
  }
}

}  // namespace mail
