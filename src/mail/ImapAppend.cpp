#include "mail/ImapAppend.h"

#include <QDeadlineTimer>
#include <QLocale>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>

namespace mail {

namespace {

// A response longer than this is a server gone wrong, not a mailbox list.
constexpr qsizetype kMaxResponse = 4 * 1024 * 1024;
constexpr int kLogoutSeconds = 2;
// Names the usual programs give the folder on servers that mark none as \Sent.
const char* const kUsualNames[] = {"Sent", "Sent Items", "Sent Messages", "Poslano", "Poslane stavke"};

QSslConfiguration tlsConfiguration() {
  QSslConfiguration c = QSslConfiguration::defaultConfiguration();
  const QString caFile = qEnvironmentVariable("SSL_CERT_FILE");
  if (!caFile.isEmpty()) c.addCaCertificates(caFile);
  c.setPeerVerifyMode(QSslSocket::VerifyPeer);
  return c;
}

// The length of the literal a line announces at its end ("{12}" or "{12+}"), else -1.
qsizetype literalAt(QByteArrayView line) {
  if (!line.endsWith('}')) return -1;
  const qsizetype open = line.lastIndexOf('{');
  if (open < 0) return -1;
  QByteArrayView digits = line.sliced(open + 1, line.size() - open - 2);
  if (digits.endsWith('+')) digits.chop(1);
  bool ok = false;
  const qsizetype n = digits.toLongLong(&ok);
  return ok && n >= 0 ? n : -1;
}

QByteArray quoted(const QByteArray& text) {
  QByteArray q = text;
  q.replace('\\', "\\\\").replace('"', "\\\"");
  return '"' + q + '"';
}

// Reads one string (quoted, literal or atom) at pos, moving pos past it.
QByteArray readString(const QByteArray& text, qsizetype& pos) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos >= text.size()) return {};
  QByteArray out;
  if (text[pos] == '"') {
    for (++pos; pos < text.size() && text[pos] != '"'; ++pos) {
      if (text[pos] == '\\' && pos + 1 < text.size()) ++pos;
      out += text[pos];
    }
    ++pos;
    return out;
  }
  if (text[pos] == '{') {
    const qsizetype close = text.indexOf("}\r\n", pos);
    if (close < 0) return {};
    const qsizetype n = literalAt(QByteArrayView(text).sliced(pos, close + 1 - pos));
    pos = close + 3;
    out = text.mid(pos, n);
    pos += n;
    return out;
  }
  const qsizetype end = text.indexOf(' ', pos);
  out = text.mid(pos, end < 0 ? -1 : end - pos);
  pos = end < 0 ? text.size() : end;
  return out;
}

// The code in brackets at the start of a status text: "[CAPABILITY …]" → "CAPABILITY …".
QByteArray responseCode(const QByteArray& text) {
  if (!text.startsWith('[')) return {};
  const qsizetype close = text.indexOf(']');
  return close < 0 ? QByteArray() : text.mid(1, close - 1);
}

}  // namespace

ImapAppend::ImapAppend(QObject* parent) : QObject(parent) {}

ImapAppend::~ImapAppend() { closeSocket(); }

// --- the session -----------------------------------------------------------------

bool ImapAppend::open(const ImapParams& params) {
  closeSocket();
  params_ = params;
  error_.clear();
  trace_.clear();
  caps_.clear();
  mailbox_.clear();
  refusal_.clear();
  nextTag_ = 0;
  socket_ = new QSslSocket(this);
  connect(socket_, &QSslSocket::connected, this, &ImapAppend::onConnected);
  connect(socket_, &QSslSocket::encrypted, this, &ImapAppend::onEncrypted);
  connect(socket_, &QSslSocket::sslErrors, this, &ImapAppend::onSslErrors);
  connect(socket_, &QSslSocket::errorOccurred, this, &ImapAppend::onSocketError);
  connect(socket_, &QSslSocket::readyRead, this, &ImapAppend::readResponses);
  // A large message takes long to write before the server can answer it.
  connect(socket_, &QSslSocket::encryptedBytesWritten, this, [this] { ++progress_; });
  setPhase(Phase::Connecting);
  trace_.note(QStringLiteral("IMAP %1:%2").arg(params_.host).arg(params_.port));
  socket_->setSslConfiguration(tlsConfiguration());
  if (params_.implicitTls) socket_->connectToHostEncrypted(params_.host, quint16(params_.port));
  else socket_->connectToHost(params_.host, quint16(params_.port));
  if (waitUntil([this] { return phase_ != Phase::Connecting; }, params_.connectTimeout) &&
      waitUntil([this] { return phase_ == Phase::Ready; }, params_.timeout))
    return true;
  closeSocket();
  return false;
}

void ImapAppend::close() {
  if (socket_ && socket_->state() == QAbstractSocket::ConnectedState && phase_ == Phase::Ready) {
    setPhase(Phase::LoggingOut);
    command("LOGOUT", Step::Logout);
    waitUntil([this] { return phase_ == Phase::Closed; }, kLogoutSeconds);
  }
  closeSocket();
}

bool ImapAppend::append(const QByteArray& message, const QDateTime& sent) {
  if (phase_ != Phase::Ready) {
    if (error_.isEmpty()) error_ = QStringLiteral("Veza s IMAP poslužiteljem nije otvorena.");
    return false;
  }
  QByteArray line = "APPEND " + quoted(mailbox_) + " (\\Seen)";
  if (sent.isValid()) {
    // The date the copy shows as received: when it was sent, not when it was filed.
    const int minutes = qAbs(sent.offsetFromUtc()) / 60;
    line += " \"" + QLocale::c().toString(sent, QStringLiteral("dd-MMM-yyyy HH:mm:ss ")).toLatin1() +
            (sent.offsetFromUtc() < 0 ? '-' : '+') + QByteArray::number(minutes / 60).rightJustified(2, '0') +
            QByteArray::number(minutes % 60).rightJustified(2, '0') + '"';
  }
  // Without LITERAL+ the server must say "+" before the message goes (RFC 7888).
  const bool nonSync = caps_.contains("LITERAL+") || (caps_.contains("LITERAL-") && message.size() <= 4096);
  line += " {" + QByteArray::number(message.size()) + (nonSync ? "+}" : "}");
  for (bool again = false;; again = true) {
    appended_ = tryCreate_ = false;
    error_.clear();
    setPhase(Phase::Appending);
    continuation_ = message + "\r\n";
    command(line, Step::Append);
    if (nonSync) {
      socket_->write(continuation_);
      continuation_.clear();
    }
    waitUntil([this] { return phase_ == Phase::Ready; }, params_.timeout);
    continuation_.clear();
    if (appended_ || !tryCreate_ || again) return appended_;
    // The folder the user named is not there yet: it is made, once.
    error_.clear();
    setPhase(Phase::Appending);
    command("CREATE " + quoted(mailbox_), Step::Create);
    if (!waitUntil([this] { return phase_ == Phase::Ready; }, params_.timeout) || !error_.isEmpty()) return false;
  }
}

// --- socket events ----------------------------------------------------------------

void ImapAppend::onConnected() {
  if (!params_.implicitTls) setPhase(Phase::Greeting);
}

void ImapAppend::onEncrypted() {
  trace_.note(QStringLiteral("TLS ") + socket_->sessionCipher().protocolString());
  if (phase_ == Phase::Connecting) return setPhase(Phase::Greeting);
  // After STARTTLS what the server said before counts for nothing (RFC 9051 6.2.1).
  caps_.clear();
  command("CAPABILITY", Step::Capability);
}

void ImapAppend::onSslErrors() {
  QStringList problems;
  for (const QSslError& e : socket_->sslHandshakeErrors()) problems << e.errorString();
  fail(QStringLiteral("TLS certifikat poslužitelja nije prihvaćen: ") + problems.join(QStringLiteral("; ")));
}

void ImapAppend::onSocketError() {
  if (!socket_ || phase_ == Phase::Closed) return;
  // Whatever complete responses came before the close are still answers (a BYE among them).
  readResponses();
  if (!socket_ || phase_ == Phase::Closed) return;
  if (phase_ == Phase::LoggingOut) return closeSocket();
  fail(socket_->errorString());
}

// Whole responses only: a line announcing a literal continues after its bytes.
void ImapAppend::readResponses() {
  if (!socket_) return;
  buffer_ += socket_->readAll();
  qsizetype from = 0;
  for (;;) {
    const qsizetype eol = buffer_.indexOf("\r\n", from);
    if (eol < 0) {
      if (buffer_.size() > kMaxResponse) fail(QStringLiteral("Odgovor IMAP poslužitelja je predug."));
      return;
    }
    const qsizetype literal = literalAt(QByteArrayView(buffer_).sliced(from, eol - from));
    if (literal >= 0) {
      if (buffer_.size() < eol + 2 + literal) return;
      from = eol + 2 + literal;
      continue;
    }
    const QByteArray text = buffer_.left(eol);
    buffer_.remove(0, eol + 2);
    from = 0;
    trace_.server(text);
    ++progress_;
    Response r;
    qsizetype space = text.indexOf(' ');
    r.tag = text.left(space < 0 ? text.size() : space);
    if (r.tag != "+") {
      const qsizetype second = space < 0 ? -1 : text.indexOf(' ', space + 1);
      r.status = text.mid(space + 1, second < 0 ? -1 : second - space - 1).toUpper();
      if (second >= 0) r.text = text.mid(second + 1);
    } else if (space >= 0) {
      r.text = text.mid(space + 1);
    }
    dispatch(r);
    if (phase_ == Phase::Closed || !socket_) return;
  }
}

void ImapAppend::dispatch(const Response& r) {
  if (r.tag == "+") return onContinuation(r);
  if (r.tag == "*") return phase_ == Phase::Greeting ? onGreeting(r) : onUntagged(r);
  const auto it = pending_.constFind(r.tag);
  if (it == pending_.constEnd()) return;  // no command of ours
  const Step step = it.value();
  pending_.erase(it);
  switch (step) {
    case Step::Capability: return onCapability(r);
    case Step::StartTls: return onStartTls(r);
    case Step::Login:
    case Step::Authenticate: return onLogin(r);
    case Step::List: return onList(r);
    case Step::Append: return onAppend(r);
    case Step::Create: return onCreate(r);
    case Step::Logout: return closeSocket();
  }
}

// --- handlers ------------------------------------------------------------------

void ImapAppend::onGreeting(const Response& r) {
  if (r.status == "BYE") return failResponse(r);
  takeCapabilities(responseCode(r.text));
  // Logged in already by the connection itself: only acceptable inside TLS.
  if (r.status == "PREAUTH") {
    if (!socket_->isEncrypted())
      return fail(QStringLiteral("Poslužitelj je vezu prijavio bez šifriranja; kopije nisu poslane."));
    setPhase(Phase::LoggingIn);
    return caps_.isEmpty() ? void(command("CAPABILITY", Step::Capability)) : findMailbox();
  }
  if (r.status != "OK") return failResponse(r);
  setPhase(Phase::Starting);
  if (caps_.isEmpty()) command("CAPABILITY", Step::Capability);
  else afterCapabilities();
}

void ImapAppend::onUntagged(const Response& r) {
  if (r.status == "CAPABILITY") return takeCapabilities("CAPABILITY " + r.text);
  // The server leaves: what it says is the reason, not the closed socket after it.
  if (r.status == "BYE" && phase_ != Phase::LoggingOut) return fail(QString::fromUtf8(r.status + ' ' + r.text));
  if (r.status != "LIST" || phase_ != Phase::Listing) return;
  // (attributes) delimiter name
  const qsizetype close = r.text.indexOf(')');
  if (!r.text.startsWith('(') || close < 0) return;
  const QList<QByteArray> flags = r.text.mid(1, close - 1).toLower().split(' ');
  qsizetype pos = close + 1;
  readString(r.text, pos);  // the hierarchy delimiter
  const QByteArray name = readString(r.text, pos);
  if (name.isEmpty()) return;
  listed_ << name;
  if (mailbox_.isEmpty() && flags.contains("\\sent") && !flags.contains("\\noselect")) mailbox_ = name;
}

void ImapAppend::onContinuation(const Response& r) {
  if (continuation_.isEmpty()) {
    if (phase_ != Phase::LoggingIn) return;
    // A bearer token refused (RFC 7628 3.2.2): the server's status, then the client's dummy
    // answer lets it end the exchange with its failure.
    refusal_ = QString::fromUtf8(QByteArray::fromBase64(r.text).left(512));
    const QByteArray dummy = caps_.contains("AUTH=OAUTHBEARER") ? "AQ==" : "";
    trace_.client(dummy);
    return void(socket_->write(dummy + "\r\n"));
  }
  const bool message = phase_ == Phase::Appending;
  if (!message) trace_.client(continuation_.trimmed(), true);
  socket_->write(message ? continuation_ : continuation_ + "\r\n");
  continuation_.clear();
}

void ImapAppend::onCapability(const Response& r) {
  if (r.status != "OK") return failResponse(r);
  if (phase_ == Phase::Starting) return afterCapabilities();
  findMailbox();
}

void ImapAppend::afterCapabilities() {
  if (socket_->isEncrypted()) return logIn();
  // A password never goes out in clear.
  if (!caps_.contains("STARTTLS")) return fail(QStringLiteral("poslužitelj ne nudi STARTTLS, lozinka nije poslana"));
  command("STARTTLS", Step::StartTls);
}

void ImapAppend::onStartTls(const Response& r) {
  if (r.status != "OK") return failResponse(r);
  // Whatever came after the go-ahead was sent before TLS, by anyone.
  buffer_.clear();
  socket_->startClientEncryption();  // onEncrypted goes on
}

void ImapAppend::logIn() {
  setPhase(Phase::LoggingIn);
  const bool initial = caps_.contains("SASL-IR");
  auto authenticate = [&](const QByteArray& mechanism, const QByteArray& response) {
    const QByteArray b64 = response.toBase64();
    continuation_ = initial ? QByteArray() : b64;
    command("AUTHENTICATE " + mechanism + (initial ? ' ' + b64 : QByteArray()), Step::Authenticate, true);
  };
  const QByteArray user = params_.user.toUtf8();
  if (!params_.bearerToken.isEmpty()) {
    const QByteArray token = params_.bearerToken.toUtf8();
    if (caps_.contains("AUTH=OAUTHBEARER"))
      return authenticate("OAUTHBEARER", "n,a=" + user + ",\x01host=" + params_.host.toUtf8() +
                                             "\x01port=" + QByteArray::number(params_.port) +
                                             "\x01"
                                             "auth=Bearer " +
                                             token + "\x01\x01");
    if (caps_.contains("AUTH=XOAUTH2"))
      return authenticate("XOAUTH2", "user=" + user +
                                         "\x01"
                                         "auth=Bearer " +
                                         token + "\x01\x01");
    return fail(QStringLiteral("IMAP poslužitelj ne nudi prijavu OAuth 2.0."));
  }
  if (caps_.contains("AUTH=PLAIN")) return authenticate("PLAIN", '\0' + user + '\0' + params_.password.toUtf8());
  if (caps_.contains("LOGINDISABLED")) return fail(QStringLiteral("IMAP poslužitelj ne dopušta prijavu lozinkom."));
  command("LOGIN " + quoted(user) + ' ' + quoted(params_.password.toUtf8()), Step::Login, true);
}

void ImapAppend::onLogin(const Response& r) {
  continuation_.clear();
  if (r.status != "OK")
    return fail(QString::fromUtf8(r.status + ' ' + r.text) + (refusal_.isEmpty() ? QString() : u' ' + refusal_));
  // The capabilities change with the login; servers often list them in the reply.
  const QByteArray code = responseCode(r.text);
  if (code.startsWith("CAPABILITY ")) return takeCapabilities(code), findMailbox();
  caps_.clear();
  command("CAPABILITY", Step::Capability);
}

void ImapAppend::findMailbox() {
  setPhase(Phase::Listing);
  if (!params_.mailbox.trimmed().isEmpty()) {
    mailbox_ = encodeMailboxName(params_.mailbox.trimmed());
    trace_.sessionReady();
    return setPhase(Phase::Ready);
  }
  listed_.clear();
  // RFC 6154: the attribute is asked for where the server knows how; many send it anyway.
  const bool extended = caps_.contains("SPECIAL-USE") || caps_.contains("LIST-EXTENDED");
  command(extended ? "LIST \"\" \"*\" RETURN (SPECIAL-USE)" : "LIST \"\" \"*\"", Step::List);
}

void ImapAppend::onList(const Response& r) {
  if (r.status != "OK") return failResponse(r);
  for (const char* usual : kUsualNames)
    for (const QByteArray& n : std::as_const(listed_))
      if (mailbox_.isEmpty() && decodeMailboxName(n).compare(QLatin1String(usual), Qt::CaseInsensitive) == 0)
        mailbox_ = n;
  if (mailbox_.isEmpty())
    return fail(
        QStringLiteral("na poslužitelju nijedna mapa nije označena kao Poslano (\\Sent); "
                       "upišite ime mape u Postavkama"));
  trace_.sessionReady();
  setPhase(Phase::Ready);
}

void ImapAppend::onAppend(const Response& r) {
  if (r.status == "BAD") return failResponse(r);
  appended_ = r.status == "OK";
  if (!appended_) error_ = QString::fromUtf8(r.status + ' ' + r.text);
  tryCreate_ = !appended_ && responseCode(r.text) == "TRYCREATE" && !params_.mailbox.trimmed().isEmpty();
  setPhase(Phase::Ready);
}

void ImapAppend::onCreate(const Response& r) {
  if (r.status == "BAD") return failResponse(r);
  if (r.status != "OK") error_ = QString::fromUtf8(r.status + ' ' + r.text);
  setPhase(Phase::Ready);
}

// --- helpers -------------------------------------------------------------------

QByteArray ImapAppend::command(const QByteArray& text, Step step, bool secret) {
  const QByteArray tag = 'A' + QByteArray::number(++nextTag_);
  pending_.insert(tag, step);
  // A login shows its command and mechanism, never what follows.
  const QList<QByteArray> words = text.split(' ');
  trace_.client(tag + ' ' + (secret ? words.mid(0, words[0] == "AUTHENTICATE" ? 2 : 1).join(' ') + " ***" : text));
  if (socket_ && socket_->state() == QAbstractSocket::ConnectedState) socket_->write(tag + ' ' + text + "\r\n");
  return tag;
}

void ImapAppend::takeCapabilities(const QByteArray& text) {
  if (!text.startsWith("CAPABILITY ")) return;
  caps_.clear();
  for (const QByteArray& c : text.mid(11).toUpper().split(' '))
    if (!c.isEmpty()) caps_.insert(c);
}

void ImapAppend::fail(const QString& text) {
  if (phase_ == Phase::Closed) return;
  error_ = text.trimmed();
  trace_.note(error_);
  closeSocket();
}

void ImapAppend::failResponse(const Response& r) { fail(QString::fromUtf8(r.status + ' ' + r.text)); }

// Runs the event loop until `done`; a closed session ends the wait, and so does one where
// nothing moved either way for `seconds`.
bool ImapAppend::waitUntil(const std::function<bool()>& done, int seconds) {
  const qint64 span = qint64(qMax(1, seconds)) * 1000;
  QDeadlineTimer deadline(span);
  int seen = progress_;
  while (!done()) {
    if (phase_ == Phase::Closed) return false;
    if (progress_ != seen) {
      seen = progress_;
      deadline.setRemainingTime(span);
    }
    if (deadline.hasExpired()) {
      fail(QStringLiteral("IMAP poslužitelj ne odgovara (%1 s)").arg(seconds));
      return false;
    }
    wait_.round();
  }
  return true;
}

void ImapAppend::closeSocket() {
  setPhase(Phase::Closed);
  pending_.clear();
  buffer_.clear();
  if (!socket_) return;
  QSslSocket* s = socket_;
  socket_ = nullptr;
  s->disconnect(this);
  s->abort();
  s->deleteLater();
}

// --- mailbox names ----------------------------------------------------------------

// Printable ASCII stands for itself ("&" as "&-"); anything else is UTF-16 in base64 with
// "," for "/", between "&" and "-".
QByteArray ImapAppend::encodeMailboxName(const QString& name) {
  QByteArray out;
  QString run;
  auto flush = [&] {
    if (run.isEmpty()) return;
    QByteArray utf16;
    for (QChar c : std::as_const(run)) utf16 += char(c.unicode() >> 8), utf16 += char(c.unicode() & 0xff);
    out += '&' + utf16.toBase64(QByteArray::OmitTrailingEquals).replace('/', ',') + '-';
    run.clear();
  };
  for (QChar c : name) {
    if (c.unicode() >= 0x20 && c.unicode() <= 0x7e) {
      flush();
      out += c == QLatin1Char('&') ? QByteArray("&-") : QByteArray(1, char(c.unicode()));
    } else {
      run += c;
    }
  }
  flush();
  return out;
}

QString ImapAppend::decodeMailboxName(const QByteArray& name) {
  QString out;
  for (qsizetype i = 0; i < name.size(); ++i) {
    if (name[i] != '&') {
      out += QLatin1Char(name[i]);
      continue;
    }
    const qsizetype end = name.indexOf('-', i);
    if (end < 0) return out + QString::fromLatin1(name.mid(i));
    QByteArray b = name.mid(i + 1, end - i - 1);
    if (b.isEmpty()) {
      out += QLatin1Char('&');
    } else {
      const QByteArray utf16 = QByteArray::fromBase64(b.replace(',', '/'));
      for (qsizetype k = 0; k + 1 < utf16.size(); k += 2)
        out += QChar(char16_t((uchar(utf16[k]) << 8) | uchar(utf16[k + 1])));
    }
    i = end;
  }
  return out;
}

}  // namespace mail
