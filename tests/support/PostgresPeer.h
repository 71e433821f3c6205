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
  explicit PostgresPeer(QString address, quint16 port = 5432);
  ~PostgresPeer() { stop(); }

  // initdb (the first time) and start; false with errorString() when the server is not ready.
  // After stop(), start() runs the same cluster again.
  bool start();
  void stop();  // fast shutdown, waited for
  // Runs SQL through psql as the superuser; false (with errorString()) on the first error.
  bool exec(const QString& sql, const QString& database = QStringLiteral("postgres"));
  // Connection options in the component's "key=value;..." form.
  QString connection(const QString& database) const;
  QByteArray log() const;  // the server's log so far
  QString errorString() const { return error_; }

 private:
  bool runTool(const QString& tool, const QStringList& args, bool asServerUser,
               const QByteArray& input = {});
  void dropPrivileges(QProcess& p) const;
  QStringList clientArgs(const QString& database) const;

  QString address_;
  quint16 port_;
  QTemporaryDir dir_;
  QString bin_;
  std::unique_ptr<QProcess> server_;
  QString error_;
  unsigned uid_ = 0, gid_ = 0;  // the server's user when the tests run as root
};
