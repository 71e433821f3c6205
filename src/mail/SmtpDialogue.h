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

class QSslSocket;

// The conversation with the mail servers on one socket: POP3 login before SMTP,
// connect with retries, greeting, EHLO (HELO when refused), STARTTLS, AUTH, envelope,
// data and QUIT. Every command written is queued with the step that awaits its reply;
// each reply is taken by the oldest pending step, whose handler decides what it means
// and what comes next. Waits run the event loop until the step they need is done.
// Failures go to the error list and are reported through the owner's failure hook,
// which closes the session.
namespace mail {

// SecureConnection: 0 none, 1 STARTTLS when offered, 2 STARTTLS required, 3 implicit TLS.
enum SecureMode { kSecureNone = 0, kSecureOptional = 1, kSecureRequired = 2, kSecureImplicit = 3 };

struct SessionParams {
  QString smtpHost;
  int smtpPort = 25;
  QString pop3Host;
  bool usePopAuthentication = false;
  bool useAuthentication = false;
  QString userName;
  QString password;
  QString heloName;  // this machine's name, the EHLO argument
  int secureConnection = kSecureOptional;
  int connectRetry = 4;
  int connectTimeout = 40;  // seconds
  int messageTimeout = 60;  // seconds
};

inline constexpr int kPop3Port = 110;
inline const QString kTimeoutText =
    QStringLiteral("Timeout dostignut: SMTP Host ne odgovara na zahtjeve");

class SmtpDialogue : public QObject {
  Q_OBJECT
 public:
  struct Hooks {
    std::function<void(const QString&)> status;
    std::function<void(int)> progress;
    // Raises the failure with the error list's texts, then closes and aborts.
    std::function<void()> reportFailure;
  };

  // The command a reply is awaited for.
  enum class Step {
    Greeting, Ehlo, Helo, StartTls, AuthLogin, AuthUser, AuthPassword, AuthPlain,
    MailFrom, RcptTo, Data, EndOfData, Quit,
    Pop3Greeting, Pop3User, Pop3Pass, Pop3Quit
  };

  SmtpDialogue(ErrorList& errors, Hooks hooks, QObject* parent = nullptr);
  ~SmtpDialogue() override;

  // 0 closed, 7 connected, 9 error; 4 looking up, 6 connecting, 8 closing.
  int state() const;
  // Between setActive(true) and (false) an operation runs: socket trouble is then a
  // failure to report; outside one it only closes the socket.
  void setActive(bool active) { active_ = active; }
  bool aborted() const { return abort_; }
  void setAbort() { abort_ = true; }
  void clearAbort() { abort_ = false; }

  // Opens the session (POP3 login when asked, connect, greeting, EHLO, TLS, AUTH).
  bool open(const SessionParams& params);
  // QUIT when the server can still answer it, then the socket is closed.
  void close();
  // Lets a kept session see that the server hung up while nothing was going on, so
  // that the next step opens a new one instead of writing into a dead connection.
  void noticeIdleClose();

  // MAIL, every RCPT and DATA up to the server's 354; in one write when it pipelines.
  bool envelope(const QString& from, const QStringList& recipients);
  // Queues message lines; waits while too much is still unsent.
  bool write(QByteArrayView bytes);
  // Waits until at most 4096 bytes are still queued (after each attachment).
  bool settle();
  // The closing "." and the server's acceptance.
  bool endData();
  // The reply that accepted the last message, without its line end.
  QString acceptedReply() const { return acceptedReply_; }

  // What the server's EHLO reply offered in this session.
  const SmtpCapabilities& capabilities() const { return caps_; }
  bool encrypted() const;

  // Starts the percentage of one message: `totalBytes` is the size estimate.
  void startProgress(qint64 totalBytes);
  QHostAddress localAddress() const;

 private:
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
  void onMailFrom(bool ok, const QByteArray& reply);
  void onRcptTo(bool ok, const QByteArray& reply);
  void onData(bool ok, const QByteArray& reply);
  void onEndOfData(bool ok, const QByteArray& reply);
  void onPop3(Step step, bool ok, const QByteArray& reply);

  void afterHello();
  void startAuthentication();
  void sendNextRecipient();
  void sessionReady();

  void command(const QByteArray& line, Step step);
  void fail(const QString& text);
  void report();
  bool waitFor(const bool& flag, int seconds, bool report = true);
  void sendRaw(QByteArrayView bytes);
  void closeSocket();
  bool waitForConnection();
  bool connectAttempts(const QString& host, int port, bool tls, Step first);
  bool pop3Login();
  bool drainTo(qint64 queuedBytes);

  ErrorList& errors_;
  Hooks hooks_;
  QSslSocket* socket_;
  EventWait wait_;
  ReplyReader reader_;
  SessionParams params_;
  SmtpCapabilities caps_;
  struct Pending {
    Step step;
    int successClass;  // the first digit of a reply that is success for it
  };
  QQueue<Pending> pending_;
  QStringList recipients_;  // of the envelope under way, not yet sent
  int repliesHandled_ = 0;  // every reply counts as progress for the waits

  bool active_ = false;
  bool abort_ = false;
  bool failing_ = false;
  bool unresponsive_ = false;  // timed out or flooding: QUIT would get no answer
  bool socketError_ = false;
  bool peerClosed_ = false;
  bool closing_ = false;
  bool quitSent_ = false;  // the server may hang up now
  bool implicitTls_ = false;
  bool inData_ = false;  // the server takes every line as message text
  bool connected_ = false;
  bool connecting_ = false;   // an attempt is under way: errors end it, not the session
  bool connectLost_ = false;
  bool ready_ = false;
  bool dataReady_ = false;
  bool accepted_ = false;
  QString acceptedReply_;
  bool quitDone_ = false;
  bool pop3Done_ = false;
  qint64 bytesSent_ = 0;
  qint64 totalBytes_ = 0;
  int lastPercent_ = 0;
};

}  // namespace mail
