#pragma once
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// A real PostgreSQL server for one test program: a fresh cluster in a temporary directory,
// run as "nobody" when the tests run as root, listening on one loopback address only
// (its Unix socket stays inside the directory). Every statement the server receives is
// written to its log, so a test can see exactly what a client sent.
class PostgresPeer {
 public:
  explicit PostgresPeer(QString address = QStringLiteral("127.0.0.6"), quint16 port = 5432);
  ~PostgresPeer();
  PostgresPeer(const PostgresPeer&) = delete;
  PostgresPeer& operator=(const PostgresPeer&) = delete;

  // initdb (the first time) and start; false with errorString() when the server is not ready.
  // After stop(), start() runs the same cluster again.
  bool start();
  // Fast shutdown, waited for. Safe to call twice.
  void stop();
  bool isRunning() const;

  // Runs SQL through psql as the superuser; false (with errorString()) on the first error.
  bool exec(const QString& sql, const QString& database = QStringLiteral("postgres"));

  QString address() const { return address_; }
  quint16 port() const { return port_; }
  QString user() const { return QStringLiteral("pg"); }
  // Connection options in the component's "key=value;..." form.
  QString connection(const QString& database) const;
  QByteArray log() const;  // the server's log so far
  QString errorString() const { return error_; }
  static QString binDir();  // where initdb, postgres and psql are; empty when not installed

 private:
  bool runTool(const QString& tool, const QStringList& args, bool asServerUser,
               const QByteArray& input = {});
  bool waitReady(int timeoutMs);
  void dropPrivileges(QProcess& p) const;

  QString address_;
  quint16 port_;
  QTemporaryDir dir_;
  QString dataDir_;
  QString logPath_;
  std::unique_ptr<QProcess> server_;
  QString error_;
  bool root_ = false;
  unsigned uid_ = 0;
  unsigned gid_ = 0;
};
