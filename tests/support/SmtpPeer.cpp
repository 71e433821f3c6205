#include "support/SmtpPeer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include "support/TestEnv.h"

QString SmtpPeer::scriptPath(const QString& name) {
  return QStringLiteral(VELKOR_SOURCE_DIR "/tests/peers/") + name;
}

QString SmtpPeer::caFile() const {
  return options_.tls == Tls::None ? QString() : dir_.filePath(QStringLiteral("server.pem"));
}

namespace {

// Runs openssl with args in dir; false with *error (its standard error) on failure.
bool openssl(const QString& dir, const QStringList& args, QString* error) {
  QProcess p;
  p.setWorkingDirectory(dir);
  p.start(QStringLiteral("openssl"), args);
  if (p.waitForFinished(30000) && p.exitCode() == 0) return true;
  *error = "openssl: " + QString::fromLocal8Bit(p.readAllStandardError());
  return false;
}

}  // namespace

bool SmtpPeer::makeCertificate(const QString& dir, const QString& host, QString* error, const QStringList& more,
                               bool issued) {
  const QStringList req{"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-days", "2"};
  const QString names = "subjectAltName=IP:" + (QStringList{host} + more).join(",IP:") + ",DNS:localhost,DNS:peer.test";
  const QStringList server{"-subj", "/CN=" + host, "-addext", names, "-keyout", "server.key", "-out", "server.pem"};
  if (!issued) return openssl(dir, req + server, error);
  return openssl(dir, req + QStringList{"-subj", "/CN=Velkor test CA", "-keyout", "ca.key", "-out", "ca.pem"}, error) &&
         openssl(dir, req + QStringList{"-CA", "ca.pem", "-CAkey", "ca.key", "-addext",
                                        "basicConstraints=critical,CA:FALSE"} + server, error);
}

bool SmtpPeer::start() {
  const char* tls[] = {"none", "starttls", "implicit"};
  QStringList args{scriptPath(QStringLiteral("smtp_server.py")),
                   "--host", options_.host, "--port", QString::number(options_.port),
                   "--capture-dir", dir_.filePath(QStringLiteral("capture")),
                   "--mode", options_.mode, "--tls", tls[int(options_.tls)]};
  if (!options_.authUser.isEmpty())
    args << "--auth-user" << options_.authUser << "--auth-password" << options_.authPassword;
  if (!options_.authOnly.isEmpty()) args << "--auth-only" << options_.authOnly;
  for (const QString& r : options_.rejectRcpt) args << "--reject-rcpt" << r;
  for (const QString& r : options_.rejectRcptOnce) args << "--reject-rcpt-once" << r;
  if (options_.tls != Tls::None) {
    if (!makeCertificate(dir_.path(), options_.host, &error_)) return false;
    args << "--cert" << dir_.filePath("server.pem") << "--key" << dir_.filePath("server.key");
  }
  if (process_.start(QStringLiteral("/usr/bin/python3"), args, PeerReadiness::onOutput("READY")))
    return true;
  error_ = "smtp_server.py did not get ready: " + process_.errorString() + '\n' +
           QString::fromLocal8Bit(process_.output());
  return false;
}

QList<SmtpPeer::Message> SmtpPeer::messages() const {
  QList<Message> result;
  const QDir d(dir_.filePath(QStringLiteral("capture")));
  // The server writes NNNN.json last, so each listed name is a complete message.
  for (const QString& name : d.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
    const QString eml = d.filePath(name.chopped(5) + ".eml");
    const QJsonObject meta = QJsonDocument::fromJson(readWholeFile(d.filePath(name))).object();
    result << Message{.raw = readWholeFile(eml), .mailFrom = meta["mail_from"].toString(),
                      .rcptTos = meta["rcpt_tos"].toVariant().toStringList(), .authUser = meta["auth_user"].toString(),
                      .authMechanism = meta["auth_mechanism"].toString(), .tls = meta["tls"].toBool(),
                      .session = meta["session"].toInt(), .emlPath = eml};
  }
  return result;
}

bool SmtpPeer::waitForMessages(int count, int timeoutMs) const {
  const QDeadlineTimer deadline(timeoutMs);
  while (messages().size() < count) {
    if (deadline.hasExpired()) return false;
    QThread::msleep(20);
  }
  return true;
}
