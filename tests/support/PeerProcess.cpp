#include "support/PeerProcess.h"

#include "support/TestEnv.h"

#include <QDeadlineTimer>
#include <QTcpSocket>
#include <sys/prctl.h>
#include <unistd.h>

bool PeerProcess::start(const QString& program, const QStringList& args, const PeerReadiness& ready) {
  stop();
  const auto fail = [this](const QString& why) {
    error_ = why;
    return false;
  };
  if (!log_.isOpen() && !log_.open()) return fail(QStringLiteral("cannot create the log file"));
  process_.setProcessChannelMode(QProcess::MergedChannels);
  process_.setStandardOutputFile(log_.fileName());
  process_.setStandardInputFile(QProcess::nullDevice());
  process_.setChildProcessModifier([parent = getpid()] {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);  // the test died before we got here
    setpgid(0, 0);
  });
  process_.start(program, args);
  if (!process_.waitForStarted(10000)) return fail(program + QStringLiteral(": ") + process_.errorString());
  const QDeadlineTimer deadline(ready.timeoutMs);
  while (!this->ready(ready)) {
    if (process_.state() == QProcess::NotRunning || process_.waitForFinished(20))
      return fail(QStringLiteral("exited before it was ready (code %1)").arg(process_.exitCode()));
    if (deadline.hasExpired()) {
      stop();
      return fail(QStringLiteral("not ready within %1 ms").arg(ready.timeoutMs));
    }
  }
  error_.clear();
  return true;
}

bool PeerProcess::ready(const PeerReadiness& r) const {
  if (!r.outputContains.isEmpty() && !output().contains(r.outputContains.toUtf8())) return false;
  if (r.tcpPort == 0) return true;
  QTcpSocket s;
  s.connectToHost(r.tcpHost, r.tcpPort);
  return s.waitForConnected(100);
}

void PeerProcess::stop(int graceMs, int signal) {
  if (process_.state() == QProcess::NotRunning) return;
  // Its own process group: helpers it forked go too.
  const pid_t group = -pid_t(process_.processId());
  kill(group, signal);
  if (process_.waitForFinished(graceMs)) return;
  kill(group, SIGKILL);
  process_.waitForFinished(5000);
}

QByteArray PeerProcess::output() const { return readWholeFile(log_.fileName()); }
