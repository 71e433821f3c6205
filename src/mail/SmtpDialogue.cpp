#include "mail/SmtpDialogue.h"

#include <QDeadlineTimer>
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

QByteArray base64Line(const QString& text) { return text.toUtf8().toBase64(); }

// A certificate file named by SSL_CERT_FILE is trusted besides the system store, as
// on the send form's route.
QSslConfiguration tlsConfiguration() {
  QSslConfiguration c = QSslConfiguration::defaultConfiguration();
  const QString caFile = qEnvironmentVariable("SSL_CERT_FILE");
  if (!caFile.isEmpty()) c.addCaCertificates(caFile);
  c.setPeerVerifyMode(QSslSocket::VerifyPeer);
  return c;
}

}  // namespace

SmtpDialogue::SmtpDialogue(ErrorList& errors, Hooks hooks, QObject* parent)
    : QObject(parent), errors_(errors), hooks_(std::move(hooks)), socket_(new QSslSocket(this)) {
  connect(socket_, &QSslSocket::connected, this, &SmtpDialogue::onConnected);
  connect(socket_, &QSslSocket::encrypted, this, &SmtpDialogue::onEncrypted);
  connect(socket_, &QSslSocket::sslErrors, this, &SmtpDialogue::onSslErrors);
  connect(socket_, &QSslSocket::errorOccurred, this, &SmtpDialogue::onError);
  connect(socket_, &QSslSocket::readyRead, this, &SmtpDialogue::readReplies);
  connect(socket_, &QSslSocket::bytesWritten, this, &SmtpDialogue::onBytesWritten);
}

SmtpDialogue::~SmtpDialogue() {
  closing_ = true;
  socket_->abort();
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
  quitSent_ = socketError_ = peerClosed_ = false;
  // With TLS from the first byte the session starts once the handshake is done.
  if (!implicitTls_) connected_ = true;
}

void SmtpDialogue::onEncrypted() {
  if (!connected_) {
    connected_ = true;
    return;
  }
  // After STARTTLS the server forgets what it knew: greet again.
  caps_ = {};
  command("EHLO " + params_.heloName.toUtf8(), Step::Ehlo);
}

void SmtpDialogue::onSslErrors() {
  QStringList problems;
  for (const QSslError& e : socket_->sslHandshakeErrors()) problems << e.errorString();
  fail(QStringLiteral("TLS certificate not accepted: ") + problems.join(QStringLiteral("; ")));
}

void SmtpDialogue::onError() {
  if (closing_) return;
  if (quitSent_) {
    // The server hangs up after QUIT, as it should.
    closeSocket();
    return;
  }
  if (connecting_) {
    // A refused or failed attempt: the retry loop decides what comes next.
    connectLost_ = true;
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
  errors_.add(socket_->errorString());
  report();
}

void SmtpDialogue::onBytesWritten(qint64 bytes) {
  bytesSent_ += bytes;
  int percent = 0;
  if (totalBytes_ > 0)
    percent = int(std::min<qint64>(100, std::llround(double(bytesSent_) * 100 / totalBytes_)));
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
    if (pending_.isEmpty()) continue;  // unsolicited: no command awaits it
    if (!reply->endsWith('\n')) {
      // A reply that never ends is no answer to anything.
      pending_.clear();
      unresponsive_ = true;
      fail(QString::fromUtf8(*reply));
      return;
    }
    const Pending p = pending_.dequeue();
    ++repliesHandled_;
    const bool pop3 = p.step >= Step::Pop3Greeting;
    const int code = replyCode(*reply);
    const bool ok = pop3 ? reply->startsWith("+OK") : code / 100 == p.successClass;
    if (pop3) onPop3(p.step, ok, *reply);
    else dispatch(p.step, ok, code, *reply);
  }
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
    case Step::MailFrom: return onMailFrom(ok, reply);
    case Step::RcptTo: return onRcptTo(ok, reply);
    case Step::Data: return onData(ok, reply);
    case Step::EndOfData: return onEndOfData(ok, reply);
    case Step::Quit:
      // Whatever the server says to QUIT changes nothing that happened before it.
      quitDone_ = true;
      return;
    default: return;
  }
}

void SmtpDialogue::onGreeting(bool ok, const QByteArray& reply) {
  if (!ok) return fail(QString::fromUtf8(reply));
  hooks_.status(QStringLiteral("Initializing Communications..."));
  command("EHLO " + params_.heloName.toUtf8(), Step::Ehlo);
}

void SmtpDialogue::onEhlo(bool ok, int code, const QByteArray& reply) {
  if (ok) {
    caps_ = SmtpCapabilities::fromEhloReply(reply);
    return afterHello();
  }
  // A server that does not know EHLO is greeted the old way.
  if (code / 100 == 5 && !encrypted()) return command("HELO " + params_.heloName.toUtf8(), Step::Helo);
  fail(QString::fromUtf8(reply));
}

void SmtpDialogue::onHelo(bool ok, const QByteArray& reply) {
  if (!ok) return fail(QString::fromUtf8(reply));
  caps_ = {};
  afterHello();
}

void SmtpDialogue::afterHello() {
  const int mode = params_.secureConnection;
  if (!encrypted() && caps_.startTls && (mode == kSecureOptional || mode == kSecureRequired)) {
    hooks_.status(QStringLiteral("Starting TLS..."));
    return command("STARTTLS", Step::StartTls);
  }
  if (!encrypted() && mode == kSecureRequired)
    return fail(QStringLiteral("TLS required, but the server does not offer STARTTLS"));
  startAuthentication();
}

void SmtpDialogue::onStartTls(bool ok, const QByteArray& reply) {
  if (!ok) return fail(QString::fromUtf8(reply));
  socket_->setSslConfiguration(tlsConfiguration());
  socket_->startClientEncryption();  // onEncrypted greets again
}

void SmtpDialogue::startAuthentication() {
  if (!params_.useAuthentication) return sessionReady();
  const QStringList& offered = caps_.authMechanisms;
  if (offered.isEmpty()) {
    hooks_.status(QStringLiteral("Login Not Supported by Host, Continuing..."));
    return sessionReady();
  }
  // A password never goes out in clear to a server that could have encrypted.
  if (!encrypted() && caps_.startTls)
    return fail(QStringLiteral("Login refused: the server offers STARTTLS, but TLS is off"));
  hooks_.status(QStringLiteral("Sending Login Authentication..."));
  if (offered.contains(QLatin1String("LOGIN"))) return command("AUTH LOGIN", Step::AuthLogin);
  if (offered.contains(QLatin1String("PLAIN"))) {
    const QString plain = QChar(0) + params_.userName + QChar(0) + params_.password;
    return command("AUTH PLAIN " + base64Line(plain), Step::AuthPlain);
  }
  hooks_.status(QStringLiteral("Host Login Failed!"));
  fail(QStringLiteral("Host Login Failed! The server offers only: ") +
       offered.join(QLatin1Char(' ')));
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
    return fail(QString::fromUtf8(reply));
  }
  hooks_.status(QStringLiteral("Host Login OK!"));
  sessionReady();
}

void SmtpDialogue::sessionReady() { ready_ = true; }

void SmtpDialogue::onMailFrom(bool ok, const QByteArray& reply) {
  if (!ok) return fail(QString::fromUtf8(reply));
  if (caps_.pipelining) return;
  hooks_.status(QStringLiteral("Sending Recipient Information..."));
  sendNextRecipient();
}

void SmtpDialogue::sendNextRecipient() {
  if (recipients_.isEmpty()) {
    hooks_.status(QStringLiteral("Sending Message..."));
    return command("DATA", Step::Data);
  }
  command("RCPT TO:<" + recipients_.takeFirst().toUtf8() + '>', Step::RcptTo);
}

void SmtpDialogue::onRcptTo(bool ok, const QByteArray& reply) {
  if (!ok) return fail(QString::fromUtf8(reply));
  if (!caps_.pipelining) sendNextRecipient();
}

void SmtpDialogue::onData(bool ok, const QByteArray& reply) {
  if (!ok) return fail(QString::fromUtf8(reply));
  inData_ = true;
  dataReady_ = true;
}

void SmtpDialogue::onEndOfData(bool ok, const QByteArray& reply) {
  inData_ = false;
  if (!ok) return fail(QString::fromUtf8(reply));
  acceptedReply_ = QString::fromUtf8(reply).trimmed();
  accepted_ = true;
}

void SmtpDialogue::fail(const QString& text) {
  if (failing_ || abort_) return;  // one failure, one report
  // The report puts one CR LF after each entry: the reply's own line end goes.
  QString entry = QString::fromUtf8(text.toUtf8().left(kExplanationBytes));
  while (entry.endsWith(QLatin1Char('\n')) || entry.endsWith(QLatin1Char('\r'))) entry.chop(1);
  errors_.add(entry);
  report();
}

void SmtpDialogue::report() {
  if (failing_ || abort_) return;
  // Replies still arriving while the session closes must not raise a second report.
  failing_ = true;
  hooks_.reportFailure();
  failing_ = false;
}

// --- waiting and writing -------------------------------------------------------

// Waits until `flag` is set; the time-out runs again after every reply, so each
// command has the full time for its answer.
bool SmtpDialogue::waitFor(const bool& flag, int seconds, bool report) {
  const qint64 span = qint64(qMax(0, seconds)) * 1000;
  QDeadlineTimer deadline(span);
  int seen = repliesHandled_;
  while (!flag) {
    if (abort_) return false;
    if (repliesHandled_ != seen) {
      seen = repliesHandled_;
      deadline.setRemainingTime(span);
    }
    if (deadline.hasExpired()) {
      unresponsive_ = true;
      if (report) fail(kTimeoutText);
      return false;
    }
    wait_.round();
    // A reply that came while a socket handler ran is not announced again.
    readReplies();
  }
  return !abort_;
}

void SmtpDialogue::command(const QByteArray& line, Step step) {
  pending_.enqueue({step, successClassOf(step)});
  sendRaw(line + "\r\n");
}

void SmtpDialogue::sendRaw(QByteArrayView bytes) {
  if (socket_->state() == QAbstractSocket::ConnectedState) socket_->write(bytes.data(), bytes.size());
}

bool SmtpDialogue::write(QByteArrayView bytes) {
  if (abort_) return false;
  if (state() != 7) {
    fail(QStringLiteral("Socket not Open"));
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
      fail(QStringLiteral("Socket not Open"));
      return false;
    }
    if (deadline.hasExpired()) {
      unresponsive_ = true;
      fail(kTimeoutText);
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
  connected_ = inData_ = socketError_ = false;
}

// --- opening and closing -------------------------------------------------------

bool SmtpDialogue::connectAttempts(const QString& host, int port, bool tls, Step first) {
  for (int attempt = 0; attempt < params_.connectRetry; ++attempt) {
    if (state() != 0) closeSocket();
    connected_ = unresponsive_ = false;
    implicitTls_ = tls;
    pending_.enqueue({first, successClassOf(first)});
    if (tls) {
      socket_->setSslConfiguration(tlsConfiguration());
      socket_->connectToHostEncrypted(host, quint16(port));
    } else {
      socket_->connectToHost(host, quint16(port));
    }
    if (waitForConnection()) return true;
    if (abort_) return false;
    EventWait::pump();
  }
  // Every attempt failed: that is the time-out, now.
  if (state() != 0) closeSocket();
  unresponsive_ = true;
  fail(kTimeoutText);
  return false;
}

// Until the attempt is connected, refused or out of time.
bool SmtpDialogue::waitForConnection() {
  QDeadlineTimer deadline(qint64(qMax(0, params_.connectTimeout)) * 1000);
  connecting_ = true;
  connectLost_ = false;
  while (!connected_ && !connectLost_ && !abort_ && !deadline.hasExpired()) wait_.round();
  connecting_ = false;
  return connected_ && !abort_;
}

bool SmtpDialogue::open(const SessionParams& params) {
  params_ = params;
  if (params_.usePopAuthentication && !pop3Login()) return false;
  abort_ = ready_ = false;
  caps_ = {};
  if (state() != 0) closeSocket();
  EventWait::pump();
  hooks_.status(QStringLiteral("Connecting to SMTP Server (") + params_.smtpHost +
                QStringLiteral(")..."));
  if (!connectAttempts(params_.smtpHost, params_.smtpPort,
                       params_.secureConnection == kSecureImplicit, Step::Greeting))
    return false;
  return waitFor(ready_, params_.connectTimeout);
}

void SmtpDialogue::noticeIdleClose() {
  const bool active = active_;
  active_ = false;
  EventWait::pump();
  active_ = active;
}

void SmtpDialogue::close() {
  if (state() == 0) return;
  hooks_.status(QStringLiteral("Closing Connection..."));
  // QUIT only where the server can answer it: not after a time-out or a flood, not in the middle
  // of the message text, not while other answers are still due.
  const bool handshaking = socket_->mode() != QSslSocket::UnencryptedMode && !encrypted();
  if (state() == 7 && !peerClosed_ && !unresponsive_ && !inData_ && !handshaking &&
      pending_.isEmpty()) {
    const bool aborted = abort_;
    abort_ = false;
    quitDone_ = false;
    quitSent_ = true;
    command("QUIT", Step::Quit);
    waitFor(quitDone_, kQuitSeconds, false);
    abort_ = aborted;
  }
  closeSocket();
  EventWait::pump();
}

// --- envelope and data -----------------------------------------------------------

bool SmtpDialogue::envelope(const QString& from, const QStringList& recipients) {
  if (abort_) return false;
  if (state() != 7) {
    fail(QStringLiteral("Socket not Open"));
    return false;
  }
  dataReady_ = false;
  recipients_ = recipients;
  hooks_.status(QStringLiteral("Sending Sender Information..."));
  QByteArray mail = "MAIL FROM:<" + from.toUtf8() + '>';
  if (caps_.eightBitMime) mail += " BODY=8BITMIME";
  if (!caps_.pipelining) {
    command(mail, Step::MailFrom);
    return waitFor(dataReady_, params_.messageTimeout);
  }
  // RFC 2920: the whole envelope in one write, the replies matched in order.
  hooks_.status(QStringLiteral("Sending Recipient Information..."));
  hooks_.status(QStringLiteral("Sending Message..."));
  QByteArray batch = mail + "\r\n";
  pending_.enqueue({Step::MailFrom, successClassOf(Step::MailFrom)});
  for (const QString& r : std::as_const(recipients_)) {
    batch += "RCPT TO:<" + r.toUtf8() + ">\r\n";
    pending_.enqueue({Step::RcptTo, successClassOf(Step::RcptTo)});
  }
  recipients_.clear();
  batch += "DATA\r\n";
  pending_.enqueue({Step::Data, successClassOf(Step::Data)});
  sendRaw(batch);
  return waitFor(dataReady_, params_.messageTimeout);
}

bool SmtpDialogue::endData() {
  if (abort_) return false;
  accepted_ = false;
  acceptedReply_.clear();
  command(".", Step::EndOfData);
  return waitFor(accepted_, params_.messageTimeout);
}

}  // namespace mail
