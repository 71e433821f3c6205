#include "support/PostgresPeer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

PostgresPeer::PostgresPeer(QString address, quint16 port)
    : address_(std::move(address)), port_(port), dir_(QStringLiteral("/tmp/velkor-pg-XXXXXX")) {
  dataDir_ = dir_.path() + QStringLiteral("/data");
  logPath_ = dir_.path() + QStringLiteral("/server.log");
  root_ = geteuid() == 0;
  if (root_) {
    // The server refuses to run as root: the cluster belongs to nobody.
    if (const passwd* pw = getpwnam("nobody")) {
      uid_ = pw->pw_uid;
      gid_ = pw->pw_gid;
    }
    if (::chown(QFile::encodeName(dir_.path()).constData(), uid_, gid_) != 0)
      error_ = QStringLiteral("chown of %1 failed").arg(dir_.path());
  }
}

PostgresPeer::~PostgresPeer() { stop(); }

QString PostgresPeer::binDir() {
  QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  std::sort(versions.begin(), versions.end(),
            [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
  for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
    const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
    if (QFile::exists(bin + QStringLiteral("/postgres"))) return bin;
  }
  return {};
}

void PostgresPeer::dropPrivileges(QProcess& p) const {
  const bool root = root_;
  const uid_t uid = uid_;
  const gid_t gid = gid_;
  p.setChildProcessModifier([root, uid, gid] {
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
  if (!p.waitForStarted(10000)) {
    error_ = tool + QStringLiteral(" did not start: ") + p.errorString();
    return false;
  }
  if (!input.isEmpty()) p.write(input);
  p.closeWriteChannel();
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
    error_ = tool + QStringLiteral(" did not finish");
    return false;
  }
  const QByteArray out = p.readAll();
  if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    error_ = tool + QStringLiteral(" failed: ") + QString::fromLocal8Bit(out);
    return false;
  }
  return true;
}

bool PostgresPeer::start() {
  if (!dir_.isValid() || !error_.isEmpty() || isRunning()) return false;
  if (binDir().isEmpty()) {
    error_ = QStringLiteral("PostgreSQL is not installed");
    return false;
  }
  const bool cluster = QFile::exists(dataDir_ + QStringLiteral("/PG_VERSION"));  // a restart
  if (!cluster &&
      !runTool(QStringLiteral("initdb"),
               {QStringLiteral("-D"), dataDir_, QStringLiteral("-U"), user(),
                QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                QStringLiteral("--locale=C.UTF-8"), QStringLiteral("--no-sync")},
               true))
    return false;
  server_ = std::make_unique<QProcess>();
  server_->setProcessChannelMode(QProcess::MergedChannels);
  server_->setStandardOutputFile(logPath_, QIODevice::Append);
  server_->setWorkingDirectory(dir_.path());
  dropPrivileges(*server_);
  server_->start(binDir() + QStringLiteral("/postgres"),
                 {QStringLiteral("-D"), dataDir_, QStringLiteral("-h"), address_,
                  QStringLiteral("-p"), QString::number(port_), QStringLiteral("-k"), dir_.path(),
                  QStringLiteral("-c"), QStringLiteral("fsync=off"), QStringLiteral("-c"),
                  QStringLiteral("log_statement=all")});
  if (!server_->waitForStarted(10000)) {
    error_ = QStringLiteral("postgres did not start: ") + server_->errorString();
    return false;
  }
  return waitReady(30000);
}

bool PostgresPeer::waitReady(int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  const QStringList args{QStringLiteral("-h"), address_, QStringLiteral("-p"),
                         QString::number(port_), QStringLiteral("-U"), user(),
                         QStringLiteral("-d"), QStringLiteral("postgres"),
                         QStringLiteral("-t"), QStringLiteral("1")};
  while (!deadline.hasExpired()) {
    if (runTool(QStringLiteral("pg_isready"), args, false)) {
      error_.clear();
      return true;
    }
    if (server_->waitForFinished(100)) {  // doubles as the pause between tries
      error_ = QStringLiteral("postgres exited: ") + QString::fromLocal8Bit(log());
      return false;
    }
  }
  error_ = QStringLiteral("postgres not ready: ") + QString::fromLocal8Bit(log());
  return false;
}

void PostgresPeer::stop() {
  if (!server_) return;
  if (server_->state() != QProcess::NotRunning) {
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
                 {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                  QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), address_,
                  QStringLiteral("-p"), QString::number(port_), QStringLiteral("-U"), user(),
                  QStringLiteral("-d"), database, QStringLiteral("-f"), QStringLiteral("-")},
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
