#include "platform/ProgramLauncher.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace platform {

QString findProgram(const QString& name) {
  if (name.contains(QLatin1Char('/'))) {
    const QFileInfo fi(name);
    return fi.isFile() && fi.isExecutable() ? fi.absoluteFilePath() : QString();
  }
  return QStandardPaths::findExecutable(name);
}

bool startDetached(const QString& program, const QStringList& arguments, QString* error) {
  const QString path = findProgram(program);
  if (path.isEmpty()) {
    if (error) *error = QStringLiteral("Program \"%1\" nije pronađen.").arg(program);
    return false;
  }
  QProcess p;
  p.setProgram(path);
  p.setArguments(arguments);
  p.setStandardInputFile(QProcess::nullDevice());
  if (!p.startDetached()) {
    if (error) *error = QStringLiteral("Program \"%1\" nije moguće pokrenuti.").arg(path);
    return false;
  }
  return true;
}

RunResult runAndWait(const QString& program, const QStringList& arguments, const QByteArray& input, int timeoutMs) {
  RunResult r;
  const QString path = findProgram(program);
  if (path.isEmpty()) {
    r.error = QStringLiteral("Program \"%1\" nije pronađen.").arg(program);
    return r;
  }
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(path, arguments);
  if (!p.waitForStarted(10000)) {
    r.error = QStringLiteral("Program \"%1\" nije moguće pokrenuti.").arg(path);
    return r;
  }
  r.started = true;
  p.write(input);
  p.closeWriteChannel();
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished(1000);
    r.error = QStringLiteral("Program \"%1\" nije završio na vrijeme.").arg(path);
    return r;
  }
  r.output = p.readAll();
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  if (p.exitStatus() != QProcess::NormalExit) r.error = QStringLiteral("Program \"%1\" je prekinut.").arg(path);
  return r;
}

}  // namespace platform
