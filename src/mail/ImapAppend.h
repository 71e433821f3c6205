#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

#include "mail/EventWait.h"
#include "mail/SmtpTrace.h"

class QSslSocket;

// Copies of sent messages into a mailbox of an IMAP server (RFC 9051, and RFC 3501 servers):
// one session (TLS from the first byte, or STARTTLS before any login), the mailbox found by
// its \Sent attribute (RFC 6154) unless one is named, then one APPEND with \Seen per message
// and LOGOUT. Like the SMTP dialogue it is in one phase at a time; every command is tagged,
// and each response goes to the handler of the step its tag belongs to; untagged data is
// gathered by the step that asked for it. Every wait runs the caller's event loop and ends
// when no byte went either way for the time-out.
namespace mail {

struct ImapParams {
  QString host;
  int port = 993;
  bool implicitTls = true;  // false: port 143, STARTTLS required before the login
  QString user, password;
  QString bearerToken;      // an OAuth 2.0 access token: OAUTHBEARER or XOAUTH2 instead of the password
  QString mailbox;          // as the user names it; empty: the one marked \Sent
  int connectTimeout = 40;  // seconds until the greeting
  int timeout = 60;         // seconds without a byte either way that end the session
};

class ImapAppend : public QObject {
  Q_OBJECT
 public:
  enum class Phase { Closed, Connecting, Greeting, Starting, LoggingIn, Listing, Ready, Appending, LoggingOut };
  Q_ENUM(Phase)
  enum class Step { Capability, StartTls, Login, Authenticate, List, Append, Create, Logout };

  explicit ImapAppend(QObject* parent = nullptr);
  ~ImapAppend() override;

  // Connects, logs in and finds the mailbox; false with error() when any of it failed.
  bool open(const ImapParams& params);
  // One message (CR LF lines, as sent) into the mailbox, marked as read; a folder the user
  // named that is not there is made first. A refusal of this message (NO) leaves the
  // session open for the next one.
  bool append(const QByteArray& message, const QDateTime& sent = {});
  // LOGOUT when the server can still answer it, then the socket is closed.
  void close();

  // Logged in, the mailbox known, no command under way.
  bool isOpen() const { return phase_ == Phase::Ready; }
  QString error() const { return error_; }
  // The mailbox the copies go to, readable (decoded from IMAP's modified UTF-7).
  QString mailbox() const { return decodeMailboxName(mailbox_); }
  QStringList lastExchange() const { return trace_.lines(); }

  // IMAP's modified UTF-7 (RFC 3501 5.1.3) of a mailbox name, and back.
  static QByteArray encodeMailboxName(const QString& name);
  static QString decodeMailboxName(const QByteArray& name);

 private:
  struct Response {
    QByteArray tag;     // "*" untagged, "+" continuation, else the command's tag
    QByteArray status;  // OK, NO, BAD, BYE, PREAUTH, or the untagged data's name
    QByteArray text;    // all after the tag, literals inline
  };

  void onConnected();
  void onEncrypted();
  void onSslErrors();
  void onSocketError();
  void readResponses();
  void dispatch(const Response& r);

  // One handler per step, and one for untagged data.
  void onGreeting(const Response& r);
  void onUntagged(const Response& r);
  void onContinuation(const Response& r);
  void onCapability(const Response& r);
  void onStartTls(const Response& r);
  void onLogin(const Response& r);
  void onList(const Response& r);
  void onAppend(const Response& r);
  void onCreate(const Response& r);

  void afterCapabilities();
  void logIn();
  void findMailbox();
  QByteArray command(const QByteArray& text, Step step, bool secret = false);
  void takeCapabilities(const QByteArray& text);
  void fail(const QString& text);
  void failResponse(const Response& r);
  bool waitUntil(const std::function<bool()>& done, int seconds);
  void setPhase(Phase phase) { phase_ = phase; }
  void closeSocket();

  QSslSocket* socket_ = nullptr;
  EventWait wait_;
  SmtpTrace trace_;
  ImapParams params_;
  Phase phase_ = Phase::Closed;
  QByteArray buffer_;
  QHash<QByteArray, Step> pending_;
  int nextTag_ = 0;
  QSet<QByteArray> caps_;
  QByteArray mailbox_;
  QList<QByteArray> listed_;  // every mailbox the LIST named, for the usual names
  QByteArray continuation_;   // what follows a "+" of the command under way
  QString refusal_;           // the status a refused token came back with
  bool appended_ = false;
  bool tryCreate_ = false;  // the named folder is missing (RFC 9051 7.1)
  int progress_ = 0;        // every response and every byte written count as life for the waits
  QString error_;
};

}  // namespace mail
