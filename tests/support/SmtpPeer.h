#pragma once
#include <QTemporaryDir>

#include "support/PeerProcess.h"

// A real SMTP server (tests/peers/smtp_server.py on aiosmtpd) on a loopback address,
// running for the life of the object. Usage:
//
//   SmtpPeer peer({.host = "127.0.0.21", .tls = SmtpPeer::Tls::StartTls,
//                  .authUser = "korisnik", .authPassword = "tajna"});
//   QVERIFY2(peer.start(), qPrintable(peer.error()));
//   qputenv("SSL_CERT_FILE", peer.caFile().toUtf8());   // trust the server
//   ... send to peer.host():peer.port() ...
//   QVERIFY(peer.waitForMessages(1));
//   const SmtpPeer::Message m = peer.messages().at(0);  // m.raw, m.mailFrom, m.rcptTos
//
// In TLS modes the server's self-signed certificate (caFile()) names the peer's address,
// "localhost" and "peer.test". Modes: "normal", "silent" (never greets), "close-in-data" (hangs up after
// the first line of DATA), "split" (every reply written in two pieces).
class SmtpPeer {
 public:
  enum class Tls { None, StartTls, Implicit };
  struct Options {
    QString host = QStringLiteral("127.0.0.10");
    int port = 25;
    Tls tls = Tls::None;
    QString authUser{};  // AUTH is offered only when set
    QString authPassword{};
    QString authOnly{};  // offer only this mechanism ("LOGIN"); empty = LOGIN and PLAIN
    QStringList rejectRcpt{};  // answered with 550
    QStringList rejectRcptOnce{};  // answered with 550 the first time only
    QString mode = QStringLiteral("normal");
  };
  struct Message {
    QByteArray raw;  // the data as received, dot-unstuffed
    QString mailFrom;
    QStringList rcptTos;
    QString authUser;  // empty unless the client authenticated
    QString authMechanism;
    bool tls = false;
    int session = 0;  // number of the connection it came on, from 1
    QString emlPath;
  };

  explicit SmtpPeer(Options options) : options_(std::move(options)) {}

  bool start();  // waits for READY; false with error() on failure
  QString error() const { return error_; }
  QString host() const { return options_.host; }
  int port() const { return options_.port; }
  QString caFile() const;  // the certificate to trust; empty in Tls::None
  QList<Message> messages() const;  // in arrival order
  bool waitForMessages(int count, int timeoutMs = 10000) const;
  // Full path of a script in tests/peers/.
  static QString scriptPath(const QString& name);
  // server.pem and server.key in dir for host and the more addresses, "localhost" and "peer.test": self-signed,
  // or issued by a CA of its own (ca.pem), so that a client verifies a real chain; false with *error on failure.
  static bool makeCertificate(const QString& dir, const QString& host, QString* error, const QStringList& more = {},
                              bool issued = false);

 private:

  Options options_;
  QTemporaryDir dir_;
  PeerProcess process_;
  QString error_;
};
