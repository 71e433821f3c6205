#pragma once
#include <QString>
#include <QTemporaryDir>

#include "support/PeerProcess.h"

// A real POP3 server (dovecot) on a loopback address, port 110, with one mailbox user
// in a passwd file, running in the foreground with its own configuration in a private
// temporary directory for the life of the object. Usage:
//
//   Pop3Peer pop("127.0.0.14", "korisnik", "tajna");
//   QVERIFY2(pop.start(), qPrintable(pop.error()));
//   ... log in as korisnik/tajna at 127.0.0.14:110 ...
//   pop.log() holds dovecot's log (logins and failures).
class Pop3Peer {
 public:
  Pop3Peer(QString host, QString user, QString password);
  bool start();
  void stop() { process_.stop(); }
  QString error() const { return error_; }
  QString host() const { return host_; }
  QByteArray log() const;

 private:
  bool writeConfig();

  QString host_, user_, password_;
  QTemporaryDir dir_;
  PeerProcess process_;
  QString error_;
};
