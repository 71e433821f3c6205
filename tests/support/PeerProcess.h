#pragma once
#include <QProcess>
#include <QTemporaryFile>
#include <csignal>

// A real server (or any helper program) that a test starts and stops itself. Its standard
// output and error go to a log file; it dies with the test (parent-death signal) and is
// stopped with SIGTERM, then SIGKILL, sent to its whole process group.
struct PeerReadiness {
  QString outputContains{};  // ready once the output holds this text (e.g. "READY")
  QString tcpHost{};         // ready once a TCP connection to tcpHost:tcpPort succeeds
  quint16 tcpPort = 0;
  int timeoutMs = 15000;
  static PeerReadiness onOutput(const QString& text) { return {.outputContains = text}; }
  static PeerReadiness onTcpPort(const QString& host, quint16 port) {
    return {.tcpHost = host, .tcpPort = port};
  }
};

class PeerProcess {
 public:
  ~PeerProcess() { stop(); }
  // Starts program (a path, or a name on PATH) and waits until it is ready; false with
  // errorString() and output() saying why when it cannot start, exits or is late.
  bool start(const QString& program, const QStringList& args, const PeerReadiness& ready = {});
  void stop(int graceMs = 3000, int signal = SIGTERM);  // signal, then SIGKILL after graceMs
  QByteArray output() const;
  QString errorString() const { return error_; }

 private:
  bool ready(const PeerReadiness& r) const;

  QProcess process_;
  QTemporaryFile log_;
  QString error_;
};
