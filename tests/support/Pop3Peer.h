#pragma once
#include <QString>
#include <QTemporaryDir>

#include "support/PeerProcess.h"

// A real POP3 server (dovecot) on a loopback address, port 110, with one mailbox user,
// running in the foreground with its own configuration in a private temporary directory
// for the life of the object. log() holds dovecot's log (logins and failures).
class Pop3Peer {
 public:
  Pop3Peer(QString host, QString user, QString password)
      : host_(std::move(host)), user_(std::move(user)), password_(std::move(password)) {}
  bool start();
  QString error() const { return error_; }
  QByteArray log() const;

 private:
  QString host_, user_, password_;
  QTemporaryDir dir_;
  PeerProcess process_;
  QString error_;
};
