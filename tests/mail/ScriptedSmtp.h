#pragma once
// tests/peers/scripted_smtp.py on a loopback address: a server that misbehaves on
// purpose and records the command lines it receives.
#include <QTemporaryDir>

#include "support/PeerProcess.h"
#include "support/SmtpPeer.h"
#include "support/TestEnv.h"

struct ScriptedSmtp {
  QString host;
  int port = 25;
  QTemporaryDir dir;
  PeerProcess process;

  // tls: a certificate for the host is made and trusted (SSL_CERT_FILE).
  bool start(const QStringList& args, bool tls = false) {
    QStringList all{SmtpPeer::scriptPath("scripted_smtp.py"), "--host", host, "--port",
                    QString::number(port), "--log", dir.filePath("log"), "--capture-dir", dir.filePath("mail")};
    if (QString error; tls) {
      if (!SmtpPeer::makeCertificate(dir.path(), host, &error)) return false;
      all << "--cert" << dir.filePath("server.pem") << "--key" << dir.filePath("server.key");
      qputenv("SSL_CERT_FILE", dir.filePath("server.pem").toUtf8());
    }
    const bool ok = process.start("/usr/bin/python3", all + args, PeerReadiness::onOutput("READY"));
    if (!ok) qWarning("%s %s", qPrintable(process.errorString()), process.output().constData());
    return ok;
  }
  // The command lines received, in order ("TLS" where a handshake was done).
  QStringList transcript() const {
    return QString::fromLatin1(readWholeFile(dir.filePath("log"))).split('\n', Qt::SkipEmptyParts);
  }
  QByteArray message(int n) const {
    return readWholeFile(dir.filePath(QString("mail/%1.eml").arg(n, 4, 10, QChar('0'))));
  }
};
