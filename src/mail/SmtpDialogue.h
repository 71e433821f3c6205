#pragma once
#include <QByteArrayView>
#include <QHostAddress>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <functional>

#include "mail/ErrorList.h"
#include "mail/EventWait.h"
#include "mail/ReplyReader.h"
#include "mail/SmtpCapabilities.h"
#include "mail/SmtpTrace.h"

class QSslSocket;

// The conversation with the mail servers on one socket: POP3 login before SMTP,
// connect with retries, greeting, EHLO (HELO when refused), STARTTLS, AUTH, envelope,
// data and QUIT. The session is in one phase at a time, changed only by setPhase; every
// command written is queued with the step that awaits its reply, each reply is taken by
// the oldest pending step, whose handler decides what it means and what comes next.
// Waits run the event loop until the phase they need is reached. Failures go to the
// error list and are reported through the owner's failure hook, which closes the session.
namespace mail {

// SecureConnection: 0 none, 1 STARTTLS when offered, 2 STARTTLS required, 3 implicit TLS.
enum SecureMode { kSecureNone = 0, kSecureOptional = 1, kSecureRequired = 2, kSecureImplicit = 3 };

struct SessionParams {
  QString smtpHost;
  int smtpPort = 25;
  QString pop3Host;
  int pop3Port = 110;
  int pop3Security = kSecureOptional;  // as SecureConnection; STLS in place of STARTTLS
  bool usePopAuthentication = false;
  bool useAuthentication = false;
  QString userName;
  QString password;
  QString bearerToken;  // an OAuth 2.0 access token: SASL OAUTHBEARER or XOAUTH2, no password
  QString heloName;     // the EHLO argument; empty: this end's address literal
  int secureConnection = kSecureOptional;
  // Delivery to an exchanger: an unverified certificate is taken, a failed handshake
  // is retried once without TLS.
  bool opportunisticTls = false;
  int connectRetry = 4;
  int connectTimeout = 40;  // seconds
  int messageTimeout = 60;  // seconds
};

inline constexpr int kPop3Port = 110;
inline const QString kTimeoutText = QStringLiteral("Timeout dostignut: SMTP Host ne odgovara na zahtjeve");

// How an operation failed, for callers that retry later or elsewhere.
struct FailureKind {
  int replyCode = 0;       // of the server's reply that ended it; 0 when none did
  bool temporary = false;  // 4xx, a refused or lost connection, a time-out
  bool atConnect = false;  // before the server's greeting was taken
};

class SmtpDialogue : public QObject {
  Q_OBJECT
 public:
  struct Hooks {
    std::function<void(const QString&)> status;
    std::function<void(int)> progress;
    // Raises the failure with the error list's texts, then closes and aborts.
    std::function<void()> reportFailure;
    // The final reply to a message whose "." was written without waiting for it.
    std::function<void(bool accepted, const QString& reply)> messageDone;
  };

  enum class Phase {
    Closed,      // no session
    Connecting,  // a connection attempt (with TLS from the first byte) under way
    Greeting,    // connected, the greeting awaited
    Hello,       // EHLO, STARTTLS, AUTH under way
    Ready,       // between transactions
    Envelope,    // MAIL, RCPT and DATA sent, the 354 awaited
    Data,        // the server takes every line as message text
    EndOfData,   // the closing "." sent, its reply awaited
    Quitting,    // QUIT sent: the server may hang up
    Pop3,        // the POP3 login under way
    Pop3Done,
  };
  Q_ENUM(Phase)

  // The command a reply is awaited for.
  enum class Step {
    Greeting,
    Ehlo,
    Helo,
    StartTls,
    AuthLogin,
    AuthUser,
    AuthPassword,
    AuthPlain,
    AuthBearer,
    AuthBearerRefused,
    MailFrom,
    RcptTo,
    Data,
    EndOfData,
    Quit,
    Pop3Greeting,
    Pop3Stls,
    Pop3User,
    Pop3Pass,
    Pop3Quit
  };

  SmtpDialogue(ErrorList& errors, Hooks hooks, QObject* parent = nullptr);
  ~SmtpDialogue() override;

  // 0 closed, 7 connected, 9 error; 4 looking up, 6 connecting, 8 closing.
  int state() const;
  Phase phase() const { return phase_; }
  // Between setActive(true) and (false) an operation runs: socket trouble is then a
  // failure to report; outside one it only closes the socket.
  void setActive(bool active) { active_ = active; }
  bool aborted() const { return abort_; }
  void setAbort() { abort_ = true; }
  void clearAbort() { abort_ = false; }

  // Opens a new session (POP3 login when asked, connect, greeting, EHLO, TLS, AUTH):
  // nothing of an earlier one (pending replies, bytes, TLS, extensions) carries over.
  bool open(const SessionParams& params);
  // QUIT when the server can still answer it, then the socket is closed.
  void close();
  // Lets a kept session see that the server hung up while nothing was going on, so
  // that the next step opens a new one instead of writing into a dead connection.
  void noticeIdleClose();

  // MAIL, every RCPT and DATA up to the server's 354; in one write when it pipelines.
  // Recipients the server defers with 452 are left for another transaction.
  bool envelope(const QString& from, const QStringList& recipients, bool smtpUtf8 = false);
  // Those the last envelope left out with 452 (RFC 5321 4.5.3.1.10).
  QStringList deferredRecipients() const { return deferred_; }
  // Queues message lines; waits while too much is still unsent.
  bool write(QByteArrayView bytes);
  // Waits until at most 4096 bytes are still queued (after each attachment).
  bool settle();
  // Waits until everything written has gone to the system (before the closing ".").
  bool drain() { return drainTo(0); }
  // The closing "." and the server's acceptance; with `wait` off the reply goes to the
  // messageDone hook when it comes (the server pipelines and more messages follow).
  bool endData(bool wait = true);
  // Waits until every message written has its final reply.
  bool flush();
  // Messages written whose final reply is still due.
  int outstanding() const { return outstanding_; }
  // The reply that accepted the last message, without its line end.
  QString acceptedReply() const { return acceptedReply_; }

  // What the server's EHLO reply offered in this session.
  const SmtpCapabilities& capabilities() const { return caps_; }
  bool encrypted() const;
  FailureKind failureKind() const { return failure_; }
  // The last lines of the conversation, passwords masked.
  QStringList lastExchange() const { return trace_.lines(); }

  // Starts the percentage of one message: `totalBytes` is the size estimate.
  void startProgress(qint64 totalBytes);
  QHostAddress localAddress() const;

 private:
  void setPhase(Phase phase);
  void newSocket();
  void onConnected();
  void onEncrypted();
  void onSslErrors();
  void onError();
  void onBytesWritten(qint64 bytes);
  void readReplies();
  void dispatch(Step step, bool ok, int code, const QByteArray& reply);

  // One handler per step.
  void onGreeting(bool ok, const QByteArray& reply);
  void onEhlo(bool ok, int code, const QByteArray& reply);
  void onHelo(bool ok, const QByteArray& reply);
  void onStartTls(bool ok, const QByteArray& reply);
  void onAuthLogin(bool ok, const QByteArray& reply);
  void onAuthUser(bool ok, const QByteArray& reply);
  void onAuthDone(bool ok, const QByteArray& reply);
  void onAuthBearer(bool ok, int code, const QByteArray& reply);
  void startBearer(const QStringList& offered);
  void onMailFrom(bool ok, const QByteArray& reply);
  void onRcptTo(bool ok, int code, const QByteArray& reply, const QString& recipient);
  void onData(bool ok, const QByteArray& reply);
  void onEndOfData(bool ok, const QByteArray& reply);
  void onPop3(Step step, bool ok, const QByteArray& reply);
  void onUnsolicited(const QByteArray& reply);

  void greet();
  void afterHello();
  void startAuthentication();
  void sendNextRecipient();
  void startTls();

  void command(const QByteArray& line, Step step, const QString& recipient = {});
  // A server's refusal: its reply is the explanation, its code the kind.
  void failReply(const QByteArray& reply);
  void fail(const QString& text, bool temporary, int code = 0);
  void report();
  bool waitFor(Phase phase, int seconds, bool report = true);
  bool waitUntil(const std::function<bool()>& done, int seconds, bool report = true);
  void sendRaw(QByteArrayView bytes);
  void closeSocket();
  bool waitForConnection();
  bool connectAttempts(const QString& host, int port, bool tls, Step first);
  bool openSmtp();
  bool pop3Login();
  bool drainTo(qint64 queuedBytes);
  QByteArray heloArgument() const;

  ErrorList& errors_;
  Hooks hooks_;
  QSslSocket* socket_ = nullptr;
  EventWait wait_;
  ReplyReader reader_;
  SmtpTrace trace_;
  SessionParams params_;
  SmtpCapabilities caps_;
  struct Pending {
    Step step;
    int successClass;   // the first digit of a reply that is success for it
    QString recipient;  // of an RCPT
  };
  QQueue<Pending> pending_;
  QStringList recipients_;  // of the envelope under way, not yet sent
  QStringList deferred_;    // refused with 452: for the next transaction
  int acceptedRecipients_ = 0;
  int repliesHandled_ = 0;  // every reply counts as progress for the waits
  int outstanding_ = 0;     // messages written, their final reply still due
  Phase phase_ = Phase::Closed;
  quint32 passed_ = 0;  // every phase entered since the wait under way began
  FailureKind failure_;

  bool active_ = false;
  bool abort_ = false;
  bool failing_ = false;
  bool unresponsive_ = false;  // timed out or flooding: QUIT would get no answer
  bool socketError_ = false;
  bool peerClosed_ = false;
  bool closing_ = false;
  bool implicitTls_ = false;
  bool withoutTls_ = false;       // the opportunistic retry after a failed handshake
  bool handshakeFailed_ = false;  // ... and what asks for it
  QString acceptedReply_;
  qint64 bytesSent_ = 0;
  qint64 totalBytes_ = 0;
  int lastPercent_ = 0;
};

}  // namespace mail
