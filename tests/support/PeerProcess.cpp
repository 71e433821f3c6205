#include "support/PeerProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// argv/envp are built before fork: the child only calls async-signal-safe functions.
struct CStrings {
  std::vector<std::string> store;
  std::vector<char*> ptrs;
  void finish() {
    for (std::string& s : store) ptrs.push_back(s.data());
    ptrs.push_back(nullptr);
  }
};

CStrings buildEnvironment(const QStringList& extra) {
  CStrings env;
  for (char** e = environ; *e; ++e) env.store.emplace_back(*e);
  for (const QString& kv : extra) env.store.push_back(kv.toStdString());
  env.finish();
  return env;
}

[[noreturn]] void execChild(const char* program, char** argv, char** envp, int logFd,
                            const char* workDir, pid_t parent) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);  // the test died before we got here
  setpgid(0, 0);
  int devNull = open("/dev/null", O_RDONLY);
  if (devNull >= 0) dup2(devNull, 0);
  dup2(logFd, 1);
  dup2(logFd, 2);
  if (workDir && *workDir && chdir(workDir) != 0) _exit(126);
  execve(program, argv, envp);
  _exit(127);
}

}  // namespace

PeerProcess::~PeerProcess() {
  stop();
  if (!logPath_.isEmpty()) QFile::remove(logPath_);
}

bool PeerProcess::start(const QString& program, const QStringList& args,
                        const PeerReadiness& ready) {
  stop();
  error_.clear();
  const QString path = program.contains(QLatin1Char('/'))
                           ? program
                           : QStandardPaths::findExecutable(program);
  if (path.isEmpty()) {
    error_ = QStringLiteral("program not found: ") + program;
    return false;
  }
  QByteArray logTemplate = QDir::tempPath().toLocal8Bit() + "/peer-XXXXXX.log";
  int logFd = mkostemps(logTemplate.data(), 4, O_CLOEXEC);
  if (logFd < 0) {
    error_ = QStringLiteral("cannot create the log file");
    return false;
  }
  if (!logPath_.isEmpty()) QFile::remove(logPath_);
  logPath_ = QString::fromLocal8Bit(logTemplate);

  CStrings argv;
  argv.store.push_back(path.toStdString());
  for (const QString& a : args) argv.store.push_back(a.toStdString());
  argv.finish();
  CStrings envp = buildEnvironment(extraEnv_);
  const std::string exe = path.toStdString();
  const std::string workDir = workDir_.toStdString();
  const pid_t parent = getpid();

  pid_ = fork();
  if (pid_ == 0) {
    execChild(exe.c_str(), argv.ptrs.data(), envp.ptrs.data(), logFd, workDir.c_str(), parent);
  }
  close(logFd);
  if (pid_ < 0) {
    error_ = QStringLiteral("fork failed");
    return false;
  }
  waitStatus_ = -1;
  if (waitReady(ready)) return true;
  stop();
  return false;
}

bool PeerProcess::waitReady(const PeerReadiness& ready) {
  QDeadlineTimer deadline(ready.timeoutMs);
  const bool wantsText = !ready.outputContains.isEmpty();
  const bool wantsPort = ready.tcpPort != 0;
  for (;;) {
    if (reapIfExited()) {
      error_ = QStringLiteral("exited before it was ready (status %1)").arg(waitStatus_);
      return false;
    }
    bool textOk = !wantsText || output().contains(ready.outputContains.toUtf8());
    bool portOk = !wantsPort || (textOk && waitForTcpPort(ready.tcpHost, ready.tcpPort, 100));
    if (textOk && portOk) return true;
    if (deadline.hasExpired()) {
      error_ = QStringLiteral("not ready within %1 ms").arg(ready.timeoutMs);
      return false;
    }
    QThread::msleep(20);
  }
}

bool PeerProcess::reapIfExited() {
  if (pid_ <= 0) return true;
  int status = 0;
  pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == pid_ || (r < 0 && errno == ECHILD)) {
    waitStatus_ = r == pid_ ? status : -1;
    pid_ = -1;
    return true;
  }
  return false;
}

bool PeerProcess::isRunning() { return !reapIfExited(); }

int PeerProcess::stop(int graceMs) {
  if (pid_ <= 0) return waitStatus_;
  const pid_t p = pid_;
  kill(p, SIGTERM);
  QDeadlineTimer deadline(graceMs);
  while (!reapIfExited()) {
    if (deadline.hasExpired()) {
      kill(-p, SIGKILL);  // its own process group: helpers it forked go too
      kill(p, SIGKILL);
      int status = 0;
      while (waitpid(p, &status, 0) < 0 && errno == EINTR) {
      }
      waitStatus_ = status;
      pid_ = -1;
      break;
    }
    QThread::msleep(10);
  }
  return waitStatus_;
}

QByteArray PeerProcess::output() const {
  QFile f(logPath_);
  if (logPath_.isEmpty() || !f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

bool waitForTcpPort(const QString& host, quint16 port, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  do {
    QTcpSocket s;
    s.connectToHost(host, port);
    if (s.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime())))) return true;
    QThread::msleep(20);
  } while (!deadline.hasExpired());
  return false;
}
