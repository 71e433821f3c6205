#pragma once
#include "support/SmtpPeer.h"

// A real dovecot on a loopback address, in the foreground with its own configuration in a
// private temporary directory for the life of the object: one passwd-file user, a server
// certificate issued by a test CA (caFile(), to trust through SSL_CERT_FILE) and otherwise
// Dovecot's defaults, so a password travels only over TLS. log() holds dovecot's log.
class DovecotPeer {
 public:
  DovecotPeer(QString host, QString user, QString password)
      : host_(std::move(host)), user_(std::move(user)), password_(std::move(password)) {}
  QString error() const { return error_; }
  QString caFile() const { return dir_.filePath(QStringLiteral("ca.pem")); }
  QByteArray log() const;
  // Before start: OAuth 2.0 sign-in (SASL mechanisms, in dovecot's lower case) whose tokens
  // dovecot checks at an RFC 7662 introspection endpoint.
  void enableOAuth(const QString& introspectionUrl, const QString& mechanisms = QStringLiteral("xoauth2 oauthbearer")) {
    introspectionUrl_ = introspectionUrl;
    oauthMechanisms_ = mechanisms;
  }

 protected:
  // Starts dovecot with the common settings plus services (protocols and listeners);
  // ready once readyPort accepts.
  bool startWith(const QString& services, quint16 readyPort);
  QString path() const { return dir_.path(); }
  QString error_;
  QStringList moreAddresses_;  // further listeners' addresses the certificate names

 private:
  QString host_, user_, password_, introspectionUrl_, oauthMechanisms_;
  QTemporaryDir dir_;
  PeerProcess process_;
};

// POP3 on port 110 (STLS) and 995 (TLS from the first byte).
class Pop3Peer : public DovecotPeer {
 public:
  using DovecotPeer::DovecotPeer;
  bool start();
};

// Message submission on port 587 (STARTTLS, then AUTH PLAIN or LOGIN), relaying what it
// accepts to an aiosmtpd capture on relayHost, port 25: capture().messages().
class SubmissionPeer : public DovecotPeer {
 public:
  SubmissionPeer(QString host, QString relayHost, QString user, QString password)
      : DovecotPeer(std::move(host), std::move(user), std::move(password)),
        capture_({.host = std::move(relayHost)}) {}
  bool start();
  const SmtpPeer& capture() const { return capture_; }

 private:
  SmtpPeer capture_;
};

// IMAP on port 143 (STARTTLS) and 993 (TLS from the first byte), with a mailbox Sent marked
// \Sent. Port 143 of plainHost offers no STARTTLS (TLS is off there); that of syncHost
// offers no LITERAL+, so a message waits for the server's "+".
class ImapPeer : public DovecotPeer {
 public:
  ImapPeer(QString host, QString plainHost, QString syncHost, QString user, QString password)
      : DovecotPeer(std::move(host), std::move(user), std::move(password)) {
    moreAddresses_ = {std::move(plainHost), std::move(syncHost)};
  }
  bool start();
  // The files of a folder of the user (its maildir name, ".Sent" the Sent folder): the message
  // as IMAP gives it back, and its maildir flags ("S" read).
  struct Stored {
    QString name;
    QByteArray text;
    QString flags;
  };
  QList<Stored> sent(const QString& user, const QString& folder = QStringLiteral(".Sent")) const;
};
