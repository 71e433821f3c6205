#pragma once
#include <QString>
#include <QStringList>

// Starts outside programs with an argument vector (never through a shell), found on PATH.
namespace platform {

QString findProgram(const QString& name);  // full path, or empty when not found

// Starts the program detached; false (with a description) when it cannot be started.
bool startDetached(const QString& program, const QStringList& arguments, QString* error = nullptr);

struct RunResult {
  bool started = false;
  int exitCode = -1;
  QByteArray output;  // standard output and error together
  QString error;      // why it could not start or finish
};
// Runs the program to its end (or timeoutMs), feeding input to its standard input.
RunResult runAndWait(const QString& program, const QStringList& arguments, const QByteArray& input = {},
                     int timeoutMs = 60000);

}  // namespace platform
