#pragma once
#include <QByteArrayView>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <functional>

#include "mail/ErrorList.h"
#include "mail/EventWait.h"
#include "mail/ReplyReader.h"

class QTcpSocket;

// The conversation with the mail servers on one TCP socket: POP3 login before SMTP,
// connect with retries, greeting, HELO/EHLO, AUTH LOGIN, envelope, data and QUIT.
// Commands are written and then waited for while the event loop runs; the reply
// handler sets the flag each step waits for. Failures go to the error list and are
// reported through the owner's failure hook, which closes the session.
namespace mail {

struct SessionParams {
  QString smtpHost;
  int smtpPort = 25;
  QString pop3Host;
  bool usePopAuthentication = false;
  bool useAuthentication = false;
  QString userName;
  QString password;
  QString from;
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

  // Opens the session (POP3 login when asked, connect, greeting, HELO/EHLO, AUTH).
  bool open(const SessionParams& params);
  // QUIT when connected, then the socket is closed.
  void close();
  // Lets a kept session see that the server hung up while nothing was going on, so
  // that the next step opens a new one instead of writing into a dead connection.
  void noticeIdleClose();

  bool mailFrom(const QString& from);
  bool rcptTo(const QString& address);
  bool beginData();
  // Queues message lines; waits while too much is still unsent.
  bool write(QByteArrayView bytes);
  // Waits until at most 4096 bytes are still queued (after each attachment).
  bool settle();
  // The closing "." and the server's acceptance.
  bool endData();

  // Starts the percentage of one message: `totalBytes` is the size estimate.
  void startProgress(qint64 totalBytes);
  QHostAddress localAddress() const;

 private:
  void onConnected();
  void onDisconnected();
  void onError();
  void onBytesWritten(qint64 bytes);
  void readReplies();
  void handleReply(const QByteArray& reply);
  void handleChallenge(const QString& text);
  void handlePop3Ok();
  void handlePop3Error(const QString& text);
  void fail(const QString& text);
  void report();

  bool waitFor(const bool& flag, int seconds, bool report);
  void sendLine(const QString& line);
  void sendRaw(QByteArrayView bytes);
  void closeSocket();
  bool connectAttempts(const QString& host, int port, bool clearEachTime);
  bool pop3Login();
  bool greetAndHello();
  bool authenticate();
  bool drainTo(qint64 queuedBytes);

  ErrorList& errors_;
  Hooks hooks_;
  QTcpSocket* socket_;
  EventWait wait_;
  ReplyReader reader_;
  SessionParams params_;

  bool active_ = false;
  bool abort_ = false;
  bool failing_ = false;
  bool socketError_ = false;
  bool peerClosed_ = false;
  bool closing_ = false;
  bool quitSent_ = false;  // the server may hang up now
  bool connected_ = false;
  bool replyOk_ = false;
  bool dataReady_ = false;
  bool authOffered_ = false;
  bool authAccepted_ = false;
  int authChallenges_ = 0;
  bool pop3Done_ = false;
  int pop3Step_ = 0;
  qint64 bytesSent_ = 0;
  qint64 totalBytes_ = 0;
  int lastPercent_ = 0;
};

}  // namespace mail
