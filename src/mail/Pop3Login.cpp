// POP3 login before SMTP: some servers accept mail only from a client that has just
// logged in to the mailbox. Same socket and reply handler as the SMTP dialogue.
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
  abort_ = connected_ = pop3Done_ = false;
  pop3Step_ = 0;
  if (params_.pop3Host.isEmpty()) {
    fail(QStringLiteral("Pogrešan ili nedostaje POP3 Host Name"));
    return false;
  }
  // USER and PASS go out as they are: a line break would start another command.
  if (holdsLineBreak(params_.userName) || holdsLineBreak(params_.password)) {
    fail(QStringLiteral("POP3 user name or password holds a line break"));
    return false;
  }
  if (state() != 0) closeSocket();
  if (!connectAttempts(params_.pop3Host, kPop3Port, false)) return false;
  const bool done = waitFor(pop3Done_, params_.connectTimeout, false);
  closeSocket();
  EventWait::pump();
  if (abort_) return false;
  if (!done) {
    // No login, no "successful": the server never finished the exchange.
    fail(kTimeoutText);
    return false;
  }
  hooks_.status(QStringLiteral("POP3 Authentication Successful..."));
  return true;
}

void SmtpDialogue::handlePop3Ok() {
  switch (pop3Step_) {
    case 0:
      sendLine(QStringLiteral("USER ") + params_.userName);
      pop3Step_ = 1;
      break;
    case 1:
      sendLine(QStringLiteral("PASS ") + params_.password);
      pop3Step_ = 2;
      break;
    case 2:
      quitSent_ = true;
      sendLine(QStringLiteral("QUIT"));
      pop3Step_ = 3;
      break;
    default:
      pop3Done_ = true;
      pop3Step_ = 0;
      break;
  }
}

void SmtpDialogue::handlePop3Error(const QString& text) {
  pop3Done_ = false;
  pop3Step_ = 0;
  fail(text);
  abort_ = true;
}

}  // namespace mail
