#include "mail/SmtpDialogue.h"

#include <QDeadlineTimer>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>
#include <cmath>

namespace mail {

namespace {

// Unsent bytes allowed to pile up in the socket before the writer waits: memory stays
// flat however large the message, and the socket never runs dry while we encode.
constexpr qint64 kHighWater = 256 * 1024;
constexpr qint64 kLowWater = 64 * 1024;
constexpr qint64 kSettledBytes = 4096;
constexpr int kQuitSeconds = 2;
// A content filter may take this long over a message before the server answers its
// "." (RFC 5321 4.5.3.2.6); a client that gives up sooner has the user send it twice.
constexpr int kEndOfDataSeconds = 600;
// An explanation carries no more of a reply than this.
constexpr qsizetype kExplanationBytes = 512;

// The first digit of the reply that is success for each command.
int successClassOf(SmtpDialogue::Step step) {
  using S = SmtpDialogue::Step;
  switch (step) {
    case S::AuthLogin:
    case S::AuthUser:
    case S::Data: return 3;
    default: return 2;
  }
}

bool isSecret(SmtpDialogue::Step step) {
  using S = SmtpDialogue::Step;
  return step == S::AuthUser || step == S::AuthPassword || step == S::AuthPlain || step == S::AuthBearer ||
         step == S::Pop3Pass;
}

QByteArray base64Line(const QString& text) { return text.toUtf8().toBase64(); }

// A certificate file named by SSL_CERT_FILE is trusted besides the system store, as
// on the send form's route. An exchanger reached for direct delivery is encrypted to
// whatever certificate it shows: refusing it would only send the mail in clear.
QSslConfiguration tlsConfiguration(bool verify) {
  QSslConfiguration c = QSslConfiguration::defaultConfiguration();
  const QString caFile = qEnvironmentVariable("SSL_CERT_FILE");
  if (!caFile.isEmpty()) c.addCaCertificates(caFile);
  c.setPeerVerifyMode(verify ? QSslSocket::VerifyPeer : QSslSocket::VerifyNone);
  return c;
}

}  // namespace

SmtpDialogue::SmtpDialogue(ErrorList& errors, Hooks hooks, QObject* parent)
    : QObject(parent), errors_(errors), hooks_(std::move(hooks)) {
  newSocket();
}

SmtpDialogue::~SmtpDialogue() {
  closing_ = true;
  socket_->abort();
}

// Every session gets a socket of its own: no TLS state, buffered byte or late signal of
// an earlier one can reach it.
void SmtpDialogue::newSocket() {
  if (socket_) {
    closing_ = true;
    socket_->disconnect(this);
    socket_->abort();
    socket_->deleteLater();
    closing_ = false;
  }
  socket_ = new QSslSocket(this);
  connect(socket_, &QSslSocket::connected, this, &SmtpDialogue::onConnected);
  connect(socket_, &QSslSocket::encrypted, this, &SmtpDialogue::onEncrypted);
  connect(socket_, &QSslSocket::sslErrors, this, &SmtpDialogue::onSslErrors);
  connect(socket_, &QSslSocket::errorOccurred, this, &SmtpDialogue::onError);
  connect(socket_, &QSslSocket::readyRead, this, &SmtpDialogue::readReplies);
  connect(socket_, &QSslSocket::bytesWritten, this, &SmtpDialogue::onBytesWritten);
}

void SmtpDialogue::setPhase(Phase phase) {
  if (phase == phase_) return;
  qCDebug(lcSmtp) << "phase" << phase;
  phase_ = phase;
  passed_ |= 1u << int(phase);
}

int SmtpDialogue::state() const {
  switch (socket_->state()) {
    case QAbstractSocket::ConnectedState: return 7;
    case QAbstractSocket::HostLookupState: return 4;
    case QAbstractSocket::ConnectingState: return 6;
    case QAbstractSocket::ClosingState: return 8;
    default: return socketError_ ? 9 : 0;
  }
}

bool SmtpDialogue::encrypted() const { return socket_->isEncrypted(); }

QHostAddress SmtpDialogue::localAddress() const { return socket_->localAddress(); }

// --- socket events -------------------------------------------------------------

void SmtpDialogue::onConnected() {
  socketError_ = peerClosed_ = false;
  // Writes are gathered per turn of the event loop already; Nagle would hold a pipelined
  // envelope behind the unacknowledged message before it for a whole round trip.
  socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  // With TLS from the first byte the session starts once the handshake is done.
  if (!implicitTls_) setPhase(Phase::Greeting);
}

void SmtpDialogue::onEncrypted() {
  trace_.note(QStringLiteral("TLS ") + socket_->sessionCipher().protocolString());
  if (phase_ == Phase::Connecting) return setPhase(Phase::Greeting);
  // After STLS the login goes on inside TLS.
  if (phase_ == Phase::Pop3) return command("USER " + params_.userName.toUtf8(), Step::Pop3User);
  // After STARTTLS the server forgets what it knew: greet again.
  caps_ = {};
  command("EHLO " + heloArgument(), Step::Ehlo);
}

void SmtpDialogue::onSslErrors() {
  if (params_.opportunisticTls && !implicitTls_ && phase_ != Phase::Pop3) return socket_->ignoreSslErrors();
  QStringList problems;
  for (const QSslError& e : socket_->sslHandshakeErrors()) problems << e.errorString();
  fail(QStringLiteral("TLS certificate not accepted: ") + problems.join(QStringLiteral("; ")), false);
}

void SmtpDialogue::onError() {
  if (closing_) return;
  if (phase_ == Phase::Quitting || phase_ == Phase::Pop3Done || phase_ == Phase::Closed) {
    // The server hangs up after QUIT, as it should.
    closeSocket();
    return;
  }
  const bool handshaking = socket_->mode() != QSslSocket::UnencryptedMode && !encrypted();
  if (handshaking && params_.opportunisticTls && !implicitTls_ && !withoutTls_ && active_ && phase_ != Phase::Pop3) {
    // The exchanger cannot do TLS after all: open() tries once more in plain text.
    trace_.note(QStringLiteral("TLS handshake failed: ") + socket_->errorString());
    handshakeFailed_ = true;
    closeSocket();
    return;
  }
  const bool peerClosed = socket_->error() == QAbstractSocket::RemoteHostClosedError;
  peerClosed_ = peerClosed_ || peerClosed;
  // Whatever complete replies came before the close are still answers.
  readReplies();
  if (!active_ || abort_ || failing_) {
    // Nobody waits for this socket (or its failure is being reported already):
    // forget it, the next operation opens a new one.
    closeSocket();
    return;
  }
  socketError_ = !peerClosed;
  // A reply cut off by the close is part of the explanation.
  const QString partial = QString::fromUtf8(reader_.pending().left(kExplanationBytes)).trimmed();
  if (!partial.isEmpty()) errors_.add(partial);
  fail(socket_->errorString(), true);
}

void SmtpDialogue::onBytesWritten(qint64 bytes) {
  bytesSent_ += bytes;
  int percent = 0;
  if (totalBytes_ > 0) percent = int(std::min<qint64>(100, std::llround(double(bytesSent_) * 100 / totalBytes_)));
  if (percent != lastPercent_) {
    lastPercent_ = percent;
    if (state() == 7 && hooks_.progress) hooks_.progress(percent);
  }
}

void SmtpDialogue::startProgress(qint64 totalBytes) {
  totalBytes_ = totalBytes;
  bytesSent_ = 0;
}

// --- replies --------------------------------------------------------------------

void SmtpDialogue::readReplies() {
  if (socket_->bytesAvailable() > 0) reader_.append(socket_->readAll());
  while (auto reply = reader_.next()) {
    trace_.server(*reply);
    if (pending_.isEmpty()) {
      onUnsolicited(*reply);
      continue;
    }
    if (!reply->endsWith('\n')) {
      // A reply that never ends is no answer to anything.
      pending_.clear();
      unresponsive_ = true;
      fail(QString::fromUtf8(*reply), true);
      return;
    }
    const Pending p = pending_.dequeue();
    ++repliesHandled_;
    const bool pop3 = p.step >= Step::Pop3Greeting;
    const int code = replyCode(*reply);
    const bool ok = pop3 ? reply->startsWith("+OK") : code / 100 == p.successClass;
    if (pop3) onPop3(p.step, ok, *reply);
    else if (p.step == Step::RcptTo) onRcptTo(ok, code, *reply, p.recipient);
    else dispatch(p.step, ok, code, *reply);
    // A handler's failure closed the session: the rest of this read belongs to nobody.
    if (phase_ == Phase::Closed) return;
  }
}

// A reply nothing was asked for: while the message text is written it is the server
// ending the transaction early (421, 552 …) and the explanation of what follows.
void SmtpDialogue::onUnsolicited(const QByteArray& reply) {
  if (phase_ != Phase::Data || !reply.endsWith('\n')) return;
  ++repliesHandled_;
  unresponsive_ = true;  // it will not read a QUIT among the message text
  failReply(reply);
}

void SmtpDialogue::dispatch(Step step, bool ok, int code, const QByteArray& reply) {
  switch (step) {
    case Step::Greeting: return onGreeting(ok, reply);
    case Step::Ehlo: return onEhlo(ok, code, reply);
    case Step::Helo: return onHelo(ok, reply);
    case Step::StartTls: return onStartTls(ok, reply);
    case Step::AuthLogin: return onAuthLogin(ok, reply);
    case Step::AuthUser: return onAuthUser(ok, reply);
    case Step::AuthPassword:
    case Step::AuthPlain: return onAuthDone(ok, reply);
    case Step::AuthBearer: return onAuthBearer(ok, code, reply);
    case Step::AuthBearerRefused: return onAuthDone(false, reply);
    case Step::MailFrom: return onMailFrom(ok, reply);
    case Step::Data: return onData(ok, reply);
    case Step::EndOfData: return onEndOfData(ok, reply);
    case Step::Quit:
      // Whatever the server says to QUIT changes nothing that happened before it.
      return closeSocket();
    default: return;
  }
}

void SmtpDialogue::onGreeting(bool ok, const QByteArray& reply) {
  if (!ok) return failReply(reply);
  setPhase(Phase::Hello);
  hooks_.status(QStringLiteral("Initializing Communications..."));
  greet();
}

void SmtpDialogue::greet() { command("EHLO " + heloArgument(), Step::Ehlo); }

// The sender's domain, else this end's address as a literal (RFC 5321 4.1.3): servers
// that check HELO refuse a bare machine name.
QByteArray SmtpDialogue::heloArgument() const {
  if (params_.heloName.contains(QLatin1Char('.'))) return params_.heloName.toUtf8();
  QHostAddress local = socket_->localAddress();
  bool v4 = false;
  const QHostAddress mapped(local.toIPv4Address(&v4));
  if (v4) return '[' + mapped.toString().toLatin1() + ']';
  return "[IPv6:" + local.toString().toLatin1() + ']';
}

void SmtpDialogue::onEhlo(bool ok, int code, const QByteArray& reply) {
  if (ok) {
    caps_ = SmtpCapabilities::fromEhloReply(reply);
    return afterHello();
  }
  // A server that does not know EHLO is greeted the old way.
  if (code / 100 == 5 && !encrypted()) return command("HELO " + heloArgument(), Step::Helo);
  failReply(reply);
}

void SmtpDialogue::onHelo(bool ok, const QByteArray& reply) {
  if (!ok) return failReply(reply);
  caps_ = {};
  afterHello();
}

void SmtpDialogue::afterHello() {
  const int mode = params_.secureConnection;
  if (!encrypted() && caps_.startTls && !withoutTls_ && (mode == kSecureOptional || mode == kSecureRequired)) {
    hooks_.status(QStringLiteral("Starting TLS..."));
    return command("STARTTLS", Step::StartTls);
  }
  if (!encrypted() && mode == kSecureRequired)
    return fail(QStringLiteral("TLS required, but the server does not offer STARTTLS"), false);
  startAuthentication();
}

void SmtpDialogue::onStartTls(bool ok, const QByteArray& reply) {
  if (!ok) return failReply(reply);
  startTls();
}

// Whatever came after the server's go-ahead was sent before TLS and may be anyone's
// (RFC 3207 4.2): it is dropped, as is everything learnt before.
void SmtpDialogue::startTls() {
  reader_.clear();
  pending_.clear();
  socket_->setSslConfiguration(tlsConfiguration(!params_.opportunisticTls || phase_ == Phase::Pop3));
  socket_->startClientEncryption();  // onEncrypted goes on
}

void SmtpDialogue::startAuthentication() {
  if (!params_.useAuthentication) return setPhase(Phase::Ready);
  // A password never goes out in clear, unless TLS was turned off on purpose and the
  // server could not have encrypted anyway: one removed EHLO line must not be enough.
  if (!encrypted() && caps_.startTls)
    return fail(QStringLiteral("Login refused: the server offers STARTTLS, but TLS is off"), false);
  if (!encrypted() && params_.secureConnection != kSecureNone)
    return fail(QStringLiteral("Login refused: the server does not offer STARTTLS"), false);
  const QStringList& offered = caps_.authMechanisms;
  if (offered.isEmpty()) {
    hooks_.status(QStringLiteral("Login Not Supported by Host, Continuing..."));
    return setPhase(Phase::Ready);
  }
  hooks_.status(QStringLiteral("Sending Login Authentication..."));
  if (!params_.bearerToken.isEmpty()) return startBearer(offered);
  if (offered.contains(QLatin1String("LOGIN"))) return command("AUTH LOGIN", Step::AuthLogin);
  if (offered.contains(QLatin1String("PLAIN"))) {
    const QString plain = QChar(0) + params_.userName + QChar(0) + params_.password;
    return command("AUTH PLAIN " + base64Line(plain), Step::AuthPlain);
  }
  hooks_.status(QStringLiteral("Host Login Failed!"));
  fail(QStringLiteral("Host Login Failed! The server offers only: ") + offered.join(QLatin1Char(' ')), false);
}

// OAuth 2.0 (RFC 7628 OAUTHBEARER, else the providers' XOAUTH2): the token in the first
// message, never a password.
void SmtpDialogue::startBearer(const QStringList& offered) {
  const QByteArray user = params_.userName.toUtf8(), token = params_.bearerToken.toUtf8();
  if (offered.contains(QLatin1String("OAUTHBEARER"))) {
    const QByteArray gs2 = "n,a=" + user + ",\x01host=" + params_.smtpHost.toUtf8() +
                           "\x01port=" + QByteArray::number(params_.smtpPort) +
                           "\x01"
                           "auth=Bearer " +
                           token + "\x01\x01";
    return command("AUTH OAUTHBEARER " + gs2.toBase64(), Step::AuthBearer);
  }
  if (offered.contains(QLatin1String("XOAUTH2"))) {
    const QByteArray xoauth = "user=" + user +
                              "\x01"
                              "auth=Bearer " +
                              token + "\x01\x01";
    return command("AUTH XOAUTH2 " + xoauth.toBase64(), Step::AuthBearer);
  }
  hooks_.status(QStringLiteral("Host Login Failed!"));
  fail(QStringLiteral("Host Login Failed! The server offers no OAuth 2.0 sign-in, only: ") +
           offered.join(QLatin1Char(' ')),
       false);
}

// A refused token comes as 334 with the server's JSON reason; the client answers with a
// dummy line and the server then ends the exchange with its failure reply.
void SmtpDialogue::onAuthBearer(bool ok, int code, const QByteArray& reply) {
  if (ok) return onAuthDone(true, reply);
  if (code != 334) return onAuthDone(false, reply);
  const QByteArray why = QByteArray::fromBase64(reply.mid(4).trimmed());
  if (!why.isEmpty()) errors_.add(QString::fromUtf8(why.left(kExplanationBytes)));
  command(caps_.authMechanisms.contains(QLatin1String("OAUTHBEARER")) ? "AQ==" : "", Step::AuthBearerRefused);
}

void SmtpDialogue::onAuthLogin(bool ok, const QByteArray& reply) {
  if (!ok) return onAuthDone(false, reply);
  command(base64Line(params_.userName), Step::AuthUser);
}

void SmtpDialogue::onAuthUser(bool ok, const QByteArray& reply) {
  if (!ok) return onAuthDone(false, reply);
  command(base64Line(params_.password), Step::AuthPassword);
}

void SmtpDialogue::onAuthDone(bool ok, const QByteArray& reply) {
  if (!ok) {
    hooks_.status(QStringLiteral("Host Login Failed!"));
    return failReply(reply);
  }
  hooks_.status(QStringLiteral("Host Login OK!"));
  setPhase(Phase::Ready);
}

void SmtpDialogue::onMailFrom(bool ok, const QByteArray& reply) {
  if (!ok) return failReply(reply);
  if (caps_.pipelining) return;
  hooks_.status(QStringLiteral("Sending Recipient Information..."));
  sendNextRecipient();
}

void SmtpDialogue::sendNextRecipient() {
  if (recipients_.isEmpty()) {
    hooks_.status(QStringLiteral("Sending Message..."));
    return command("DATA", Step::Data);
  }
  const QString r = recipients_.takeFirst();
  command("RCPT TO:<" + r.toUtf8() + '>', Step::RcptTo, r);
}

// 452: this one and (one at a time) those after it wait for another transaction; the
// message goes to the ones taken so far. Any other refusal ends the message.
void SmtpDialogue::onRcptTo(bool ok, int code, const QByteArray& reply, const QString& recipient) {
  if (ok) ++acceptedRecipients_;
  else if (code == 452) deferred_ << recipient;
  else return failReply(reply);
  if (caps_.pipelining) return;
  if (code == 452) {
    deferred_ += recipients_;
    recipients_.clear();
    if (acceptedRecipients_ == 0) return failReply(reply);
  }
  sendNextRecipient();
}

void SmtpDialogue::onData(bool ok, const QByteArray& reply) {
  if (!ok) {
    // Every recipient deferred: the 452 is the reason, not the DATA refusal after it.
    if (acceptedRecipients_ == 0 && !deferred_.isEmpty()) {
      errors_.add(QStringLiteral("452 every recipient deferred: ") + deferred_.join(QLatin1Char(',')));
      return fail(QString::fromUtf8(reply), true, 452);
    }
    return failReply(reply);
  }
  setPhase(Phase::Data);
}

// Replies come in order: while messages written without waiting are due, a reply is
// the oldest one's, and its outcome is its own.
void SmtpDialogue::onEndOfData(bool ok, const QByteArray& reply) {
  const QString text = QString::fromUtf8(reply).trimmed();
  if (ok) acceptedReply_ = text;
  if (outstanding_ > 0) {
    --outstanding_;
    if (hooks_.messageDone) hooks_.messageDone(ok, text);
    return;
  }
  if (!ok) return failReply(reply);
  setPhase(Phase::Ready);
}

void SmtpDialogue::failReply(const QByteArray& reply) {
  const int code = replyCode(reply);
  if (code == 421) unresponsive_ = true;  // the server closes now
  fail(QString::fromUtf8(reply), code / 100 != 5, code);
}

void SmtpDialogue::fail(const QString& text, bool temporary, int code) {
  if (failing_ || abort_) return;  // one failure, one report
  failure_ = {code, temporary, phase_ == Phase::Connecting || phase_ == Phase::Greeting || phase_ == Phase::Closed};
  // The report puts one CR LF after each entry: the reply's own line end goes.
  QString entry = QString::fromUtf8(text.toUtf8().left(kExplanationBytes));
  while (entry.endsWith(QLatin1Char('\n')) || entry.endsWith(QLatin1Char('\r'))) entry.chop(1);
  trace_.note(entry);
  errors_.add(entry);
  report();
}

void SmtpDialogue::report() {
  if (failing_ || abort_) return;
  // Replies still arriving while the session closes must not raise a second report.
  failing_ = true;
  // Messages still waiting for their reply share the fate of the session.
  const QString why = errors_.entries().join(QStringLiteral("\r\n"));
  while (outstanding_ > 0) {
    --outstanding_;
    if (hooks_.messageDone) hooks_.messageDone(false, why);
  }
  hooks_.reportFailure();
  failing_ = false;
}

// --- waiting and writing -------------------------------------------------------

// Waits until the session reaches `phase` (passing through it within one turn of the event
// loop counts); each command has the full time for its answer.
bool SmtpDialogue::waitFor(Phase phase, int seconds, bool report) {
  const quint32 target = 1u << int(phase);
  passed_ = phase_ == phase ? target : 0;
  return waitUntil([&] { return (passed_ & target) != 0; }, seconds, report);
}

// Runs the event loop until `done`; the time-out runs again after every reply. A closed
// session ends the wait.
bool SmtpDialogue::waitUntil(const std::function<bool()>& done, int seconds, bool report) {
  const qint64 span = qint64(qMax(0, seconds)) * 1000;
  QDeadlineTimer deadline(span);
  int seen = repliesHandled_;
  while (!done()) {
    if (abort_ || handshakeFailed_) return false;
    if (phase_ == Phase::Closed) return false;
    if (repliesHandled_ != seen) {
      seen = repliesHandled_;
      deadline.setRemainingTime(span);
    }
    if (deadline.hasExpired()) {
      unresponsive_ = true;
      if (report) fail(kTimeoutText, true);
      return false;
    }
    wait_.round();
    // A reply that came while a socket handler ran is not announced again.
    readReplies();
  }
  return !abort_;
}

void SmtpDialogue::command(const QByteArray& line, Step step, const QString& recipient) {
  pending_.enqueue({step, successClassOf(step), recipient});
  trace_.client(line, isSecret(step));
  sendRaw(line + "\r\n");
}

void SmtpDialogue::sendRaw(QByteArrayView bytes) {
  if (socket_->state() == QAbstractSocket::ConnectedState) socket_->write(bytes.data(), bytes.size());
}

bool SmtpDialogue::write(QByteArrayView bytes) {
  if (abort_) return false;
  if (state() != 7) {
    fail(QStringLiteral("Socket not Open"), true);
    return false;
  }
  socket_->write(bytes.data(), bytes.size());
  return socket_->bytesToWrite() <= kHighWater || drainTo(kLowWater);
}

bool SmtpDialogue::settle() { return drainTo(kSettledBytes); }

// Waits until no more than `queuedBytes` are unsent; the deadline starts again
// whenever the socket makes progress, so only a stalled server times out.
bool SmtpDialogue::drainTo(qint64 queuedBytes) {
  QDeadlineTimer deadline(qint64(params_.messageTimeout) * 1000);
  qint64 last = socket_->bytesToWrite();
  while (socket_->bytesToWrite() > queuedBytes) {
    if (abort_) return false;
    if (state() != 7) {
      fail(QStringLiteral("Socket not Open"), true);
      return false;
    }
    if (deadline.hasExpired()) {
      unresponsive_ = true;
      fail(kTimeoutText, true);
      return false;
    }
    wait_.round();
    readReplies();
    if (socket_->bytesToWrite() != last) {
      last = socket_->bytesToWrite();
      deadline.setRemainingTime(qint64(params_.messageTimeout) * 1000);
    }
  }
  return !abort_;
}

void SmtpDialogue::closeSocket() {
  closing_ = true;
  socket_->abort();
  closing_ = false;
  reader_.clear();
  pending_.clear();
  socketError_ = false;
  setPhase(Phase::Closed);
  // A server that hung up between messages never answered those still due.
  for (; outstanding_ > 0; --outstanding_)
    if (hooks_.messageDone)
      hooks_.messageDone(false, QStringLiteral("Connection closed before the server answered the message"));
}

// --- opening and closing -------------------------------------------------------

// An attempt that neither connects nor fails within the time is tried again; a socket
// error (refused, unknown host, unreachable) ends the opening at once with its text.
bool SmtpDialogue::connectAttempts(const QString& host, int port, bool tls, Step first) {
  for (int attempt = 0; attempt < params_.connectRetry; ++attempt) {
    newSocket();
    reader_.clear();
    pending_.clear();
    unresponsive_ = socketError_ = peerClosed_ = false;
    implicitTls_ = tls;
    pending_.enqueue({first, successClassOf(first), {}});
    setPhase(Phase::Connecting);
    trace_.note(QStringLiteral("connecting to %1:%2").arg(host).arg(port));
    if (tls) {
      socket_->setSslConfiguration(tlsConfiguration(true));
      socket_->connectToHostEncrypted(host, quint16(port));
    } else {
      socket_->connectToHost(host, quint16(port));
    }
    if (waitForConnection()) return true;
    if (abort_ || phase_ != Phase::Connecting) return false;
    EventWait::pump();
  }
  // Every attempt timed out: that is the time-out, now.
  closeSocket();
  unresponsive_ = true;
  setPhase(Phase::Connecting);  // still before any greeting
  fail(kTimeoutText, true);
  return false;
}

// Until the attempt is connected, has failed or is out of time.
bool SmtpDialogue::waitForConnection() {
  QDeadlineTimer deadline(qint64(qMax(0, params_.connectTimeout)) * 1000);
  passed_ = 0;
  while (phase_ == Phase::Connecting && !abort_ && !deadline.hasExpired()) wait_.round();
  return (passed_ & (1u << int(Phase::Greeting))) && phase_ != Phase::Closed && !abort_;
}

bool SmtpDialogue::open(const SessionParams& params) {
  params_ = params;
  failure_ = {};
  trace_.clear();
  withoutTls_ = false;
  deferred_.clear();
  outstanding_ = 0;
  if (params_.usePopAuthentication && !pop3Login()) return false;
  for (;;) {
    handshakeFailed_ = false;
    if (openSmtp()) return true;
    if (!handshakeFailed_ || withoutTls_ || abort_) return false;
    withoutTls_ = true;  // once, in plain text
  }
}

bool SmtpDialogue::openSmtp() {
  abort_ = false;
  caps_ = {};
  hooks_.status(QStringLiteral("Connecting to SMTP Server (") + params_.smtpHost + QStringLiteral(")..."));
  if (!connectAttempts(params_.smtpHost, params_.smtpPort, params_.secureConnection == kSecureImplicit, Step::Greeting))
    return false;
  const bool ready = waitFor(Phase::Ready, params_.connectTimeout);
  if (ready) trace_.sessionReady();
  return ready;
}

void SmtpDialogue::noticeIdleClose() {
  const bool active = active_;
  active_ = false;
  EventWait::pump();
  active_ = active;
}

void SmtpDialogue::close() {
  if (state() == 0) {
    setPhase(Phase::Closed);
    return;
  }
  hooks_.status(QStringLiteral("Closing Connection..."));
  // QUIT only where the server can answer it: not after a time-out, a flood or its own
  // hang-up, not in the middle of the message text, not while other answers are due.
  const bool handshaking = socket_->mode() != QSslSocket::UnencryptedMode && !encrypted();
  const bool between = phase_ != Phase::Data && phase_ != Phase::Connecting;
  if (state() == 7 && !peerClosed_ && !unresponsive_ && between && !handshaking && pending_.isEmpty()) {
    const bool aborted = abort_;
    abort_ = false;
    setPhase(Phase::Quitting);
    command("QUIT", Step::Quit);
    waitFor(Phase::Closed, kQuitSeconds, false);
    abort_ = aborted;
  }
  closeSocket();
  EventWait::pump();
}

// --- envelope and data -----------------------------------------------------------

bool SmtpDialogue::envelope(const QString& from, const QStringList& recipients, bool smtpUtf8) {
  if (abort_) return false;
  if (state() != 7 || phase_ != Phase::Ready) {
    fail(QStringLiteral("Socket not Open"), true);
    return false;
  }
  recipients_ = recipients;
  deferred_.clear();
  acceptedRecipients_ = 0;
  if (outstanding_ == 0) trace_.newTransaction();
  setPhase(Phase::Envelope);
  hooks_.status(QStringLiteral("Sending Sender Information..."));
  QByteArray mail = "MAIL FROM:<" + from.toUtf8() + '>';
  if (caps_.eightBitMime) mail += " BODY=8BITMIME";
  if (smtpUtf8) mail += " SMTPUTF8";
  if (!caps_.pipelining) {
    command(mail, Step::MailFrom);
    return waitFor(Phase::Data, params_.messageTimeout);
  }
  // RFC 2920: the whole envelope in one write, the replies matched in order.
  hooks_.status(QStringLiteral("Sending Recipient Information..."));
  hooks_.status(QStringLiteral("Sending Message..."));
  pending_.enqueue({Step::MailFrom, successClassOf(Step::MailFrom), {}});
  trace_.client(mail);
  QByteArray batch = mail + "\r\n";
  for (const QString& r : std::as_const(recipients_)) {
    const QByteArray line = "RCPT TO:<" + r.toUtf8() + '>';
    trace_.client(line);
    batch += line + "\r\n";
    pending_.enqueue({Step::RcptTo, successClassOf(Step::RcptTo), r});
  }
  recipients_.clear();
  trace_.client("DATA");
  batch += "DATA\r\n";
  pending_.enqueue({Step::Data, successClassOf(Step::Data), {}});
  sendRaw(batch);
  // Behind an earlier message's ".", whose reply may take as long as a content filter needs.
  return waitFor(Phase::Data,
                 outstanding_ > 0 ? std::max(kEndOfDataSeconds, params_.messageTimeout) : params_.messageTimeout);
}

bool SmtpDialogue::endData(bool wait) {
  if (abort_) return false;
  acceptedReply_.clear();
  if (!wait) {
    ++outstanding_;
    pending_.enqueue({Step::EndOfData, successClassOf(Step::EndOfData), {}});
    trace_.client(".");
    sendRaw(".\r\n");
    socket_->flush();
    setPhase(Phase::Ready);
    return true;
  }
  setPhase(Phase::EndOfData);
  command(".", Step::EndOfData);
  // At once, not at the next turn of the event loop: whoever noted the message as handed
  // over must not be left with it still in this process.
  socket_->flush();
  return waitFor(Phase::Ready, std::max(kEndOfDataSeconds, params_.messageTimeout));
}

bool SmtpDialogue::flush() {
  return waitUntil([this] { return outstanding_ == 0; }, std::max(kEndOfDataSeconds, params_.messageTimeout));
}

}  // namespace mail
