#pragma once
#include <QString>

namespace sender {

class SmtpMessage;

// The mail-sender object of the direct SMTP route's mail library (libcurl underneath):
// connection settings, one send per call, and the text of the last failure. Setters take
// effect for the next send. Certificates are always verified; SSL_CERT_FILE names a CA
// file for servers with a private certificate authority.
class SmtpMailer {
 public:
  void setSmtpHost(const QString& host) { host_ = host; }
  void setUsername(const QString& user) { user_ = user; }
  void setPassword(const QString& password) { password_ = password; }
  // An OAuth 2.0 access token: signs in with it (SASL XOAUTH2/OAUTHBEARER) instead of the password.
  void setOAuthBearer(const QString& token) { bearer_ = token; }
  void setSsl(bool on) { ssl_ = on; }            // implicit TLS (smtps)
  void setStartTls(bool on) { startTls_ = on; }  // STARTTLS required (else used when offered)
  void setSmtpPort(int port) { port_ = port; }   // 0: the scheme's own port
  void setTimeoutSeconds(int seconds) { timeout_ = seconds; }

  // 1 when the server accepted the message for every recipient, else 0.
  int sendEmail(const SmtpMessage& message);
  QString lastErrorText() const { return error_; }

 private:
  bool send(const SmtpMessage& message);
  QString refusal(const SmtpMessage& message) const;  // why it cannot be sent, or empty
  QString url() const;

  QString host_, user_, password_, bearer_;
  bool ssl_ = false;
  bool startTls_ = false;
  int port_ = 0;
  int timeout_ = 0;
  QString error_;
};

}  // namespace sender
