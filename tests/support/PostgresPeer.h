#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "support/PeerProcess.h"

// A real PostgreSQL server for one test program: a fresh cluster in a temporary directory,
// run as "nobody" when the tests run as root, listening on one loopback address only
// (its Unix socket stays inside the directory). Every statement the server receives is
// written to its log, so a test can see exactly what a client sent.
class PostgresPeer {
 public:
  explicit PostgresPeer(QString address, quint16 port = 5432);
  ~PostgresPeer() { stop(); }

  // initdb (the first time) and start; false with errorString() when the server is not ready.
  // After stop(), start() runs the same cluster again.
  bool start();
  void stop() { server_.stop(15000, SIGINT); }  // fast shutdown, waited for
  // Runs SQL through psql as the superuser; false (with errorString()) on the first error.
  bool exec(const QString& sql, const QString& database = QStringLiteral("postgres"));
  // Connection options in the component's "key=value;..." form.
  QString connection(const QString& database) const;
  QByteArray log() const { return server_.output(); }  // the server's log since it started
  QString errorString() const { return error_; }

 private:
  // The program and arguments that run one of the server's tools, as the server's user if asServer.
  QStringList command(const QString& tool, const QStringList& args, bool asServer) const;
  bool runTool(const QString& tool, const QStringList& args, bool asServer, const QByteArray& input = {});

  QString address_;
  quint16 port_;
  QTemporaryDir dir_;
  QString bin_, error_;
  QStringList asUser_;  // setpriv to the server's user when the tests run as root
  PeerProcess server_;
};
