#include "support/PostgresPeer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <pwd.h>
#include <unistd.h>

PostgresPeer::PostgresPeer(QString address, quint16 port)
    : address_(std::move(address)), port_(port), dir_(QStringLiteral("/tmp/velkor-pg-XXXXXX")) {
  // The newest installed version (Debian installs one per major version).
  const QDir versions(QStringLiteral("/usr/lib/postgresql"));
  for (const QString& v : versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Reversed))
    if (QFile::exists(versions.filePath(v + "/bin/postgres")) && bin_.isEmpty()) bin_ = versions.filePath(v + "/bin");
  // The server refuses to run as root: then the cluster belongs to nobody. The parent-death
  // signal is set after the change of user, which clears it: the server dies with the test.
  if (const passwd* pw = geteuid() == 0 ? getpwnam("nobody") : nullptr) {
    asUser_ = {"setpriv", "--reuid=" + QString::number(pw->pw_uid), "--regid=" + QString::number(pw->pw_gid),
               "--clear-groups", "--pdeathsig=SIGINT"};
    if (::chown(QFile::encodeName(dir_.path()).constData(), pw->pw_uid, pw->pw_gid) != 0)
      error_ = QStringLiteral("chown of %1 failed").arg(dir_.path());
  }
}

QStringList PostgresPeer::command(const QString& tool, const QStringList& args, bool asServer) const {
  return (asServer ? asUser_ : QStringList()) + QStringList{bin_ + '/' + tool} + args;
}

bool PostgresPeer::runTool(const QString& tool, const QStringList& args, bool asServer, const QByteArray& input) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.setWorkingDirectory(dir_.path());
  const QStringList c = command(tool, args, asServer);
  p.start(c.first(), c.mid(1));
  p.write(input);
  p.closeWriteChannel();
  if (!p.waitForFinished(60000)) p.kill();
  if (p.error() == QProcess::UnknownError && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
    return true;
  error_ = tool + " failed: " + p.errorString() + '\n' + QString::fromLocal8Bit(p.readAll());
  return false;
}

bool PostgresPeer::start() {
  if (!dir_.isValid() || !error_.isEmpty()) return false;
  stop();
  if (bin_.isEmpty()) {
    error_ = QStringLiteral("PostgreSQL is not installed");
    return false;
  }
  const QString data = dir_.filePath(QStringLiteral("data"));
  if (!QFile::exists(data + "/PG_VERSION") &&
      !runTool("initdb", {"-D", data, "-U", "pg", "--auth=trust", "-E", "UTF8", "--locale=C.UTF-8", "--no-sync"}, true))
    return false;
  const QStringList c = command("postgres", {"-D", data, "-h", address_, "-p", QString::number(port_), "-k",
                                             dir_.path(), "-c", "fsync=off", "-c", "log_statement=all"}, true);
  if (server_.start(c.first(), c.mid(1), {.outputContains = "ready to accept connections", .timeoutMs = 30000}))
    return true;
  error_ = "postgres is not ready: " + server_.errorString() + '\n' + QString::fromLocal8Bit(log());
  return false;
}

bool PostgresPeer::exec(const QString& sql, const QString& database) {
  return runTool("psql", {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-f", "-", "-h", address_, "-p", QString::number(port_),
                          "-U", "pg", "-d", database}, false, sql.toUtf8());
}

QString PostgresPeer::connection(const QString& database) const {
  return QStringLiteral("database=%1;host=%2;port=%3;user=pg").arg(database, address_, QString::number(port_));
}
