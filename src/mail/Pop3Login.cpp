// POP3 login before SMTP: some servers accept mail only from a client that has just
// logged in to the mailbox. Same socket, reply queue and waits as the SMTP dialogue.
#include <QSslSocket>

#include "mail/SmtpDialogue.h"

namespace mail {

namespace {

constexpr int kPop3QuitSeconds = 2;

bool holdsLineBreak(const QString& text) {
  return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

}  // namespace

bool SmtpDialogue::pop3Login() {
  hooks_.status(QStringLiteral("Connecting to POP3 Server (") + params_.pop3Host + QStringLiteral(")..."));
  abort_ = false;
  if (params_.pop3Host.isEmpty()) {
    setPhase(Phase::Connecting);
    fail(QStringLiteral("Pogrešan ili nedostaje POP3 Host Name"), false);
    return false;
  }
  // USER and PASS go out as they are: a line break would start another command.
  if (holdsLineBreak(params_.userName) || holdsLineBreak(params_.password)) {
    fail(QStringLiteral("POP3 user name or password holds a line break"), false);
    return false;
  }
  if (!connectAttempts(params_.pop3Host, params_.pop3Port, params_.pop3Security == kSecureImplicit, Step::Pop3Greeting))
    return false;
  setPhase(Phase::Pop3);
  const bool done = waitFor(Phase::Pop3Done, params_.connectTimeout) && !abort_;
  // Logged in; the answer to QUIT (or the server hanging up) ends the visit.
  if (done) waitFor(Phase::Closed, kPop3QuitSeconds, false);
  closeSocket();
  EventWait::pump();
  if (!done || abort_) return false;
  hooks_.status(QStringLiteral("POP3 Authentication Successful..."));
  return true;
}

// STLS is asked for outright (RFC 2595): a server that has it says +OK. A -ERR may be an
// attacker's, so the login then goes in clear only when TLS was turned off on purpose.
void SmtpDialogue::onPop3(Step step, bool ok, const QByteArray& reply) {
  const bool tlsWanted = !encrypted() && params_.pop3Security != kSecureNone;
  if (step == Step::Pop3Stls && !ok)
    return fail(QStringLiteral("Login refused: the POP3 server does not offer STLS"), false);
  if (!ok) {
    fail(QString::fromUtf8(reply), false);
    abort_ = true;
    return;
  }
  switch (step) {
    case Step::Pop3Greeting:
      if (tlsWanted) return command("STLS", Step::Pop3Stls);
      return command("USER " + params_.userName.toUtf8(), Step::Pop3User);
    case Step::Pop3Stls: return startTls();  // onEncrypted sends USER
    case Step::Pop3User: return command("PASS " + params_.password.toUtf8(), Step::Pop3Pass);
    case Step::Pop3Pass: setPhase(Phase::Pop3Done); return command("QUIT", Step::Pop3Quit);
    default: closeSocket();
  }
}

}  // namespace mail
