#include "mail/SmtpDialogue.h"

#include <QDeadlineTimer>
#include <QTcpSocket>
#include <cmath>

#include "mail/Base64.h"

namespace mail {

namespace {

// Unsent bytes allowed to pile up in the socket before the writer waits: memory stays
// flat however large the message, and the socket never runs dry while we encode.
constexpr qint64 kHighWater = 256 * 1024;
constexpr qint64 kLowWater = 64 * 1024;
constexpr qint64 kSettledBytes = 4096;
constexpr int kQuitSeconds = 2;
constexpr int kAuthSeconds = 5;

bool startsWith(const QString& text, const char* code) {
  return text.startsWith(QLatin1String(code), Qt::CaseInsensitive);
}

}  // namespace

SmtpDialogue::SmtpDialogue(ErrorList& errors, Hooks hooks, QObject* parent)
    : QObject(parent), errors_(errors), hooks_(std::move(hooks)), socket_(new QTcpSocket(this)) {
  connect(socket_, &QTcpSocket::connected, this, &SmtpDialogue::onConnected);
  connect(socket_, &QTcpSocket::disconnected, this, &SmtpDialogue::onDisconnected);
  connect(socket_, &QTcpSocket::errorOccurred, this, &SmtpDialogue::onError);
  connect(socket_, &QTcpSocket::readyRead, this, &SmtpDialogue::readReplies);
  connect(socket_, &QTcpSocket::bytesWritten, this, &SmtpDialogue::onBytesWritten);
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

QHostAddress SmtpDialogue::localAddress() const { return socket_->localAddress(); }

// --- socket events -------------------------------------------------------------

void SmtpDialogue::onConnected() {
  connected_ = true;
  quitSent_ = false;
  socketError_ = false;
  peerClosed_ = false;
}

void SmtpDialogue::onDisconnected() { connected_ = false; }

void SmtpDialogue::onError() {
  if (closing_) return;
  if (quitSent_) {
    // The server hangs up after QUIT, as it should.
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
  const QString partial = QString::fromUtf8(reader_.pending()).trimmed();
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
  // One reply at a time leaves the rest queued for a nested wait to pick up.
  while (auto reply = reader_.next()) {
    if (!active_) continue;  // unsolicited: nobody asked
    handleReply(*reply);
  }
}

void SmtpDialogue::handleReply(const QByteArray& reply) {
  const QString text = QString::fromUtf8(reply);
  if (startsWith(text, "220") || startsWith(text, "221") || startsWith(text, "251")) {
    replyOk_ = true;
  } else if (startsWith(text, "250")) {
    replyOk_ = true;
    if (text.contains(QLatin1String("auth"), Qt::CaseInsensitive) &&
        text.contains(QLatin1String("login"), Qt::CaseInsensitive))
      authOffered_ = true;
  } else if (startsWith(text, "235")) {
    authAccepted_ = true;
  } else if (startsWith(text, "334")) {
    handleChallenge(text);
  } else if (startsWith(text, "354")) {
    dataReady_ = true;
  } else if (startsWith(text, "211") || startsWith(text, "214")) {
    // help and status texts need no answer
  } else if (startsWith(text, "+OK")) {
    handlePop3Ok();
  } else if (startsWith(text, "-ER")) {
    handlePop3Error(text);
  } else {
    fail(text);
  }
}

void SmtpDialogue::handleChallenge(const QString& text) {
  QString challenge = text.mid(3).trimmed();
  challenge.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
  const QString prompt = DecodeBase64String(challenge);
  ++authChallenges_;
  // The prompt's words decide where they are clear; a server that words them otherwise
  // still asks for the name first and the password second.
  const QString* answer = nullptr;
  if (prompt.contains(QLatin1String("username"), Qt::CaseInsensitive))
    answer = &params_.userName;
  else if (prompt.contains(QLatin1String("password"), Qt::CaseInsensitive))
    answer = &params_.password;
  else if (authChallenges_ == 1)
    answer = &params_.userName;
  else if (authChallenges_ == 2)
    answer = &params_.password;
  if (!answer) {
    sendRaw("\r\n*\r\n");
    return;
  }
  const QString encoded = base64EncodeString(*answer);
  sendRaw(encoded.isEmpty() ? QByteArray("\r\n") : encoded.toLatin1());
}

void SmtpDialogue::fail(const QString& text) {
  if (failing_ || abort_) return;  // one failure, one report
  // The report puts one CR LF after each entry: the reply's own line end goes.
  QString entry = text;
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

bool SmtpDialogue::waitFor(const bool& flag, int seconds, bool report) {
  if (seconds < 1) {
    // A wait of no time at all is a time-out like any other, not a silent stop.
    if (report && !flag && !abort_) fail(kTimeoutText);
    return flag;
  }
  const QDeadlineTimer deadline(qint64(seconds) * 1000);
  while (!flag) {
    if (deadline.hasExpired()) {
      if (report) fail(kTimeoutText);
      return false;
    }
    if (abort_) return false;
    wait_.round();
    // A reply that came while a socket handler ran is not announced again.
    readReplies();
  }
  return true;
}

void SmtpDialogue::sendRaw(QByteArrayView bytes) {
  if (socket_->state() == QAbstractSocket::ConnectedState) socket_->write(bytes.data(), bytes.size());
}

void SmtpDialogue::sendLine(const QString& line) { sendRaw(line.toUtf8() + "\r\n"); }

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
  connected_ = false;
  socketError_ = false;
}

// --- opening and closing -------------------------------------------------------

bool SmtpDialogue::connectAttempts(const QString& host, int port, bool clearEachTime) {
  for (int attempt = 0; attempt < params_.connectRetry; ++attempt) {
    if (state() == 7) {
      connected_ = true;
      break;
    }
    if (clearEachTime) connected_ = false;
    if (state() == 0) socket_->connectToHost(host, quint16(port));
    if (waitFor(connected_, params_.connectTimeout, false)) break;
    if (abort_) return false;
    if (state() == 9) closeSocket();
    EventWait::pump();
  }
  return true;
}

bool SmtpDialogue::open(const SessionParams& params) {
  params_ = params;
  if (params_.usePopAuthentication && !pop3Login()) return false;
  replyOk_ = dataReady_ = authOffered_ = authAccepted_ = false;
  abort_ = connected_ = false;
  if (state() != 0) {
    closeSocket();
    EventWait::pump();
  }
  EventWait::pump();
  hooks_.status(QStringLiteral("Connecting to SMTP Server (") + params_.smtpHost +
                QStringLiteral(")..."));
  if (!connectAttempts(params_.smtpHost, params_.smtpPort, true)) return false;
  EventWait::pump();
  const bool greeted = waitFor(replyOk_, params_.connectTimeout, false);
  if (state() != 7 || abort_ || !connected_ || !greeted) {
    if (!abort_) fail(kTimeoutText);
    return false;
  }
  return greetAndHello() && (!params_.useAuthentication || authenticate());
}

bool SmtpDialogue::greetAndHello() {
  hooks_.status(QStringLiteral("Initializing Communications..."));
  replyOk_ = false;
  const QString& from = params_.from;
  const qsizetype at = from.indexOf(QLatin1Char('@'));
  const QString domain = at < 0 ? from : from.mid(at + 1);
  sendLine((params_.useAuthentication ? QStringLiteral("EHLO ") : QStringLiteral("HELO ")) +
           domain);
  return waitFor(replyOk_, params_.connectTimeout, true);
}

bool SmtpDialogue::authenticate() {
  if (!waitFor(authOffered_, kAuthSeconds, false)) {
    if (abort_) return false;
    hooks_.status(QStringLiteral("Login Not Supported by Host, Continuing..."));
    return true;
  }
  hooks_.status(QStringLiteral("Sending Login Authentication..."));
  authChallenges_ = 0;
  // The mechanism in its registered spelling: some servers match it exactly.
  sendLine(QStringLiteral("AUTH LOGIN"));
  if (!waitFor(authAccepted_, kAuthSeconds, false)) {
    hooks_.status(QStringLiteral("Host Login Failed!"));
    // A rejection was reported with the server's reply; silence is reported here,
    // so a failed login never passes for a sent message.
    if (!abort_) fail(QStringLiteral("Host Login Failed!"));
    abort_ = true;
    return false;
  }
  hooks_.status(QStringLiteral("Host Login OK!"));
  return !abort_;
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
  if (state() == 7 && !peerClosed_) {
    replyOk_ = false;
    quitSent_ = true;
    sendLine(QStringLiteral("QUIT"));
    waitFor(replyOk_, kQuitSeconds, false);
  }
  closeSocket();
  EventWait::pump();
}

// --- envelope and data -----------------------------------------------------------

bool SmtpDialogue::mailFrom(const QString& from) {
  replyOk_ = false;
  sendLine(QStringLiteral("MAIL FROM: <") + from + QLatin1Char('>'));
  return waitFor(replyOk_, params_.messageTimeout, true) && !abort_;
}

bool SmtpDialogue::rcptTo(const QString& address) {
  replyOk_ = false;
  sendLine(QStringLiteral("RCPT TO: <") + address + QLatin1Char('>'));
  return waitFor(replyOk_, params_.messageTimeout, true) && !abort_;
}

bool SmtpDialogue::beginData() {
  dataReady_ = false;
  sendLine(QStringLiteral("DATA"));
  return waitFor(dataReady_, params_.messageTimeout, true) && !abort_;
}

bool SmtpDialogue::endData() {
  if (abort_) return false;
  replyOk_ = false;
  sendLine(QStringLiteral("."));
  return waitFor(replyOk_, params_.messageTimeout, true) && !abort_;
}

}  // namespace mail
