#include "support/PostgresPeer.h"

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
  dataDir_ = dir_.path() + QStringLiteral("/data");
  logPath_ = dir_.path() + QStringLiteral("/server.log");
  // The server refuses to run as root: then the cluster belongs to nobody.
  root_ = geteuid() == 0;
  const passwd* pw = root_ ? getpwnam("nobody") : nullptr;
  if (pw) {
    uid_ = pw->pw_uid;
    gid_ = pw->pw_gid;
  }
  if (root_ && ::chown(QFile::encodeName(dir_.path()).constData(), uid_, gid_) != 0)
    error_ = QStringLiteral("chown of %1 failed").arg(dir_.path());
}

PostgresPeer::~PostgresPeer() { stop(); }

QString PostgresPeer::binDir() {
  const QDir versions(QStringLiteral("/usr/lib/postgresql"));
  // The newest installed version (Debian installs one per major version).
  const auto filter = QDir::Dirs | QDir::NoDotAndDotDot;
  for (const QString& v : versions.entryList(filter, QDir::Name | QDir::Reversed))
    if (QFile::exists(versions.filePath(v + QStringLiteral("/bin/postgres"))))
      return versions.filePath(v + QStringLiteral("/bin"));
  return {};
}

void PostgresPeer::dropPrivileges(QProcess& p) const {
  p.setChildProcessModifier([root = root_, uid = uid_, gid = gid_] {
    if (root && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) _exit(126);
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
  p.start(binDir() + QLatin1Char('/') + tool, args);
  p.write(input);
  p.closeWriteChannel();
  if (!p.waitForFinished(60000)) p.kill();
  if (p.error() == QProcess::UnknownError && p.exitStatus() == QProcess::NormalExit &&
      p.exitCode() == 0)
    return true;
  error_ = tool + QStringLiteral(" failed: ") + p.errorString() + QLatin1Char('\n') +
           QString::fromLocal8Bit(p.readAll());
  return false;
}

bool PostgresPeer::start() {
  if (!dir_.isValid() || !error_.isEmpty() || isRunning()) return false;
  if (binDir().isEmpty()) {
    error_ = QStringLiteral("PostgreSQL is not installed");
    return false;
  }
  // After stop() the cluster is there already.
  if (!QFile::exists(dataDir_ + QStringLiteral("/PG_VERSION")) &&
      !runTool(QStringLiteral("initdb"),
               QStringLiteral("-D %1 -U %2 --auth=trust -E UTF8 --locale=C.UTF-8 --no-sync")
                   .arg(dataDir_, user()).split(QLatin1Char(' ')),
               true))
    return false;
  server_ = std::make_unique<QProcess>();
  server_->setProcessChannelMode(QProcess::MergedChannels);
  server_->setStandardOutputFile(logPath_, QIODevice::Append);
  server_->setWorkingDirectory(dir_.path());
  dropPrivileges(*server_);
  server_->start(binDir() + QStringLiteral("/postgres"),
                 QStringLiteral("-D %1 -h %2 -p %3 -k %4 -c fsync=off -c log_statement=all")
                     .arg(dataDir_, address_, QString::number(port_), dir_.path())
                     .split(QLatin1Char(' ')));
  if (server_->waitForStarted(10000)) return waitReady(30000);
  error_ = QStringLiteral("postgres did not start: ") + server_->errorString();
  return false;
}

bool PostgresPeer::waitReady(int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  const QStringList args = QStringLiteral("-h %1 -p %2 -U %3 -d postgres -t 1")
                               .arg(address_, QString::number(port_), user())
                               .split(QLatin1Char(' '));
  while (!deadline.hasExpired()) {
    if (runTool(QStringLiteral("pg_isready"), args, false)) {
      error_.clear();
      return true;
    }
    if (server_->waitForFinished(100)) break;  // doubles as the pause between tries
  }
  error_ = QStringLiteral("postgres is not ready: ") + QString::fromLocal8Bit(log());
  return false;
}

void PostgresPeer::stop() {
  if (isRunning()) {
    ::kill(pid_t(server_->processId()), SIGINT);  // fast shutdown
    if (!server_->waitForFinished(15000)) {
      server_->kill();
      server_->waitForFinished(5000);
    }
  }
  server_.reset();
}

bool PostgresPeer::isRunning() const {
  return server_ && server_->state() != QProcess::NotRunning;
}

bool PostgresPeer::exec(const QString& sql, const QString& database) {
  return runTool(QStringLiteral("psql"),
                 QStringLiteral("-X -q -v ON_ERROR_STOP=1 -h %1 -p %2 -U %3 -d %4 -f -")
                     .arg(address_, QString::number(port_), user(), database)
                     .split(QLatin1Char(' ')),
                 false, sql.toUtf8());
}

QString PostgresPeer::connection(const QString& database) const {
  return QStringLiteral("database=%1;host=%2;port=%3;user=%4")
      .arg(database, address_, QString::number(port_), user());
}

QByteArray PostgresPeer::log() const {
  QFile f(logPath_);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
