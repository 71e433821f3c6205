#include "support/PostgresPeer.h"

#include "support/TestEnv.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

PostgresPeer::PostgresPeer(QString address, quint16 port)
    : address_(std::move(address)), port_(port), dir_(QStringLiteral("/tmp/velkor-pg-XXXXXX")) {
  // The newest installed version (Debian installs one per major version).
  const QDir versions(QStringLiteral("/usr/lib/postgresql"));
  for (const QString& v : versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Reversed))
    if (QFile::exists(versions.filePath(v + "/bin/postgres")) && bin_.isEmpty())
      bin_ = versions.filePath(v + "/bin");
  // The server refuses to run as root: then the cluster belongs to nobody.
  if (const passwd* pw = geteuid() == 0 ? getpwnam("nobody") : nullptr) {
    uid_ = pw->pw_uid;
    gid_ = pw->pw_gid;
    if (::chown(QFile::encodeName(dir_.path()).constData(), uid_, gid_) != 0)
      error_ = QStringLiteral("chown of %1 failed").arg(dir_.path());
  }
}

void PostgresPeer::dropPrivileges(QProcess& p) const {
  p.setChildProcessModifier([uid = uid_, gid = gid_] {
    if (uid && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) _exit(126);
    // Set after the change of user, which clears it: the server dies with the test.
    prctl(PR_SET_PDEATHSIG, SIGINT);
  });
}

bool PostgresPeer::runTool(const QString& tool, const QStringList& args, bool asServerUser,
                           const QByteArray& input) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.setWorkingDirectory(dir_.path());
  if (asServerUser) dropPrivileges(p);
  p.start(bin_ + '/' + tool, args);
  p.write(input);
  p.closeWriteChannel();
  if (!p.waitForFinished(60000)) p.kill();
  if (p.error() == QProcess::UnknownError && p.exitStatus() == QProcess::NormalExit &&
      p.exitCode() == 0)
    return true;
  error_ = tool + " failed: " + p.errorString() + '\n' + QString::fromLocal8Bit(p.readAll());
  return false;
}

QStringList PostgresPeer::clientArgs(const QString& database) const {
  return {"-h", address_, "-p", QString::number(port_), "-U", "pg", "-d", database};
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
      !runTool("initdb", {"-D", data, "-U", "pg", "--auth=trust", "-E", "UTF8", "--locale=C.UTF-8",
                          "--no-sync"}, true))
    return false;
  server_ = std::make_unique<QProcess>();
  server_->setProcessChannelMode(QProcess::MergedChannels);
  server_->setStandardOutputFile(dir_.filePath("server.log"), QIODevice::Append);
  server_->setWorkingDirectory(dir_.path());
  dropPrivileges(*server_);
  server_->start(bin_ + "/postgres", {"-D", data, "-h", address_, "-p", QString::number(port_),
                                      "-k", dir_.path(), "-c", "fsync=off", "-c",
                                      "log_statement=all"});
  const QDeadlineTimer deadline(30000);
  while (server_->waitForStarted(10000) && !deadline.hasExpired()) {
    if (runTool("pg_isready", clientArgs("postgres") << "-t" << "1", false)) {
      error_.clear();
      return true;
    }
    if (server_->waitForFinished(100)) break;  // doubles as the pause between tries
  }
  error_ = "postgres is not ready: " + server_->errorString() + '\n' +
           QString::fromLocal8Bit(log());
  return false;
}

void PostgresPeer::stop() {
  if (server_ && server_->state() != QProcess::NotRunning) {
    ::kill(pid_t(server_->processId()), SIGINT);  // fast shutdown
    if (!server_->waitForFinished(15000)) {
      server_->kill();
      server_->waitForFinished(5000);
    }
  }
  server_.reset();
}

bool PostgresPeer::exec(const QString& sql, const QString& database) {
  return runTool("psql", QStringList{"-X", "-q", "-v", "ON_ERROR_STOP=1", "-f", "-"} +
                             clientArgs(database), false, sql.toUtf8());
}

QString PostgresPeer::connection(const QString& database) const {
  return QStringLiteral("database=%1;host=%2;port=%3;user=pg")
      .arg(database, address_, QString::number(port_));
}

QByteArray PostgresPeer::log() const {
  return readWholeFile(dir_.filePath(QStringLiteral("server.log")));
}
