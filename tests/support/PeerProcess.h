#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <sys/types.h>

// A real server (or any helper program) that a test starts and stops itself.
// The program runs with its standard output and error in a log file, dies with the
// test process (parent-death signal) and is stopped by PID: SIGTERM, then SIGKILL
// after a grace period, always reaped with waitpid.
struct PeerReadiness {
  QString outputContains;        // ready once stdout/stderr holds this text (e.g. "READY")
  QString tcpHost;               // ready once a TCP connection to tcpHost:tcpPort succeeds
  quint16 tcpPort = 0;
  int timeoutMs = 15000;         // give up (and stop the program) after this long

  static PeerReadiness onOutput(const QString& text, int timeoutMs = 15000) {
    PeerReadiness r;
    r.outputContains = text;
    r.timeoutMs = timeoutMs;
    return r;
  }
  static PeerReadiness onTcpPort(const QString& host, quint16 port, int timeoutMs = 15000) {
    PeerReadiness r;
    r.tcpHost = host;
    r.tcpPort = port;
    r.timeoutMs = timeoutMs;
    return r;
  }
};

class PeerProcess {
 public:
  PeerProcess() = default;
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  // Extra "NAME=value" entries for the program's environment (added to the test's own).
  void setEnvironment(const QStringList& extra) { extraEnv_ = extra; }
  void setWorkingDirectory(const QString& dir) { workDir_ = dir; }

  // Starts program (a path, or a name found on PATH) and waits until it is ready.
  // False when it cannot start, exits early or is not ready in time; errorString() and
  // output() then say why.
  bool start(const QString& program, const QStringList& args, const PeerReadiness& ready = {});
  // Stops the program if it still runs; returns its wait status (or -1 when none ran).
  int stop(int graceMs = 3000);

  bool isRunning();
  pid_t pid() const { return pid_; }
  QByteArray output() const;  // standard output and error so far
  QString errorString() const { return error_; }

 private:
  bool waitReady(const PeerReadiness& ready);
  bool reapIfExited();

  pid_t pid_ = -1;
  int waitStatus_ = -1;
  QString logPath_;
  QString workDir_;
  QStringList extraEnv_;
  QString error_;
};

// True once a TCP connection to host:port succeeds within timeoutMs.
bool waitForTcpPort(const QString& host, quint16 port, int timeoutMs);
