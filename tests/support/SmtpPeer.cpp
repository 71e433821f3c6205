#include "support/SmtpPeer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>

namespace {

const char* tlsName(SmtpPeer::Tls tls) {
  switch (tls) {
    case SmtpPeer::Tls::StartTls: return "starttls";
    case SmtpPeer::Tls::Implicit: return "implicit";
    default: return "none";
  }
}

QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

SmtpPeer::SmtpPeer(Options options) : options_(std::move(options)) {}

SmtpPeer::~SmtpPeer() { stop(); }

QString SmtpPeer::scriptPath(const QString& name) {
  return QStringLiteral(VELKOR_SOURCE_DIR "/tests/peers/") + name;
}

QString SmtpPeer::captureDir() const { return dir_.path() + QStringLiteral("/capture"); }

QString SmtpPeer::caFile() const {
  return options_.tls == Tls::None ? QString() : dir_.path() + QStringLiteral("/ca.pem");
}

qint64 SmtpPeer::pid() const { return process_.pid(); }

bool SmtpPeer::runOpenssl(const QStringList& args) {
  QProcess p;
  p.setWorkingDirectory(dir_.path());
  p.start(QStringLiteral("openssl"), args);
  if (!p.waitForFinished(30000) || p.exitCode() != 0) {
    error_ = QStringLiteral("openssl %1: %2").arg(args.join(' '),
                                                  QString::fromLocal8Bit(p.readAllStandardError()));
    return false;
  }
  return true;
}

bool SmtpPeer::makeCertificates() {
  const QString ext = QStringLiteral("subjectAltName=IP:%1,DNS:localhost,DNS:peer.test\n"
                                     "basicConstraints=CA:FALSE\n"
                                     "extendedKeyUsage=serverAuth\n")
                          .arg(options_.host);
  QFile extFile(dir_.path() + QStringLiteral("/server.ext"));
  if (!extFile.open(QIODevice::WriteOnly) || extFile.write(ext.toUtf8()) < 0) {
    error_ = QStringLiteral("cannot write server.ext");
    return false;
  }
  extFile.close();
  const QString ec = QStringLiteral("ec_paramgen_curve:P-256");
  return runOpenssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", ec, "-nodes", "-days", "2",
                     "-subj", "/CN=Velkor Test CA", "-keyout", "ca.key", "-out", "ca.pem"}) &&
         runOpenssl({"req", "-newkey", "ec", "-pkeyopt", ec, "-nodes", "-subj",
                     "/CN=" + options_.host, "-keyout", "server.key", "-out", "server.csr"}) &&
         runOpenssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                     "-CAcreateserial", "-days", "2", "-extfile", "server.ext", "-out",
                     "server.pem"});
}

bool SmtpPeer::start() {
  if (!dir_.isValid()) {
    error_ = QStringLiteral("no temporary directory");
    return false;
  }
  QDir().mkpath(captureDir());
  QStringList args{scriptPath(QStringLiteral("smtp_server.py")),
                   "--host", options_.host,
                   "--port", QString::number(options_.port),
                   "--capture-dir", captureDir(),
                   "--mode", options_.mode,
                   "--tls", QString::fromLatin1(tlsName(options_.tls)),
                   "--size-limit", QString::number(options_.sizeLimit)};
  if (!options_.authUser.isEmpty())
    args << "--auth-user" << options_.authUser << "--auth-password" << options_.authPassword;
  if (!options_.authOnly.isEmpty()) args << "--auth-only" << options_.authOnly;
  for (const QString& r : options_.rejectRcpt) args << "--reject-rcpt" << r;
  if (options_.tls != Tls::None) {
    if (!makeCertificates()) return false;
    args << "--cert" << dir_.path() + "/server.pem" << "--key" << dir_.path() + "/server.key";
  }
  PeerReadiness ready;
  ready.outputContains = QStringLiteral("READY");
  if (!process_.start(QStringLiteral("/usr/bin/python3"), args, ready)) {
    error_ = QStringLiteral("smtp_server.py did not get ready: ") + process_.errorString() +
             QLatin1Char('\n') + QString::fromLocal8Bit(process_.output());
    return false;
  }
  return true;
}

void SmtpPeer::stop() { process_.stop(); }

QList<SmtpPeer::Message> SmtpPeer::messages() const {
  QList<Message> result;
  QDir d(captureDir());
  // The server writes NNNN.json last, so each listed name is a complete message.
  const QStringList names = d.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
  for (const QString& name : names) {
    const QString base = d.filePath(name.chopped(5));
    const QJsonObject meta = QJsonDocument::fromJson(readFile(base + ".json")).object();
    Message m;
    m.emlPath = base + QStringLiteral(".eml");
    m.raw = readFile(m.emlPath);
    m.mailFrom = meta.value(QStringLiteral("mail_from")).toString();
    for (const QJsonValue& v : meta.value(QStringLiteral("rcpt_tos")).toArray())
      m.rcptTos << v.toString();
    m.authUser = meta.value(QStringLiteral("auth_user")).toString();
    m.authMechanism = meta.value(QStringLiteral("auth_mechanism")).toString();
    m.tls = meta.value(QStringLiteral("tls")).toBool();
    m.session = meta.value(QStringLiteral("session")).toInt();
    result << m;
  }
  return result;
}

bool SmtpPeer::waitForMessages(int count, int timeoutMs) const {
  QDeadlineTimer deadline(timeoutMs);
  while (messages().size() < count) {
    if (deadline.hasExpired()) return false;
    QThread::msleep(20);
  }
  return true;
}
