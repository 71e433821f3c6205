#include "support/Pop3Peer.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QFile>

namespace {

bool writeText(const QString& path, const QString& text) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0;
}

}  // namespace

QByteArray Pop3Peer::log() const {
  return readWholeFile(dir_.filePath(QStringLiteral("dovecot.log")));
}

bool Pop3Peer::start() {
  const QString d = dir_.path();
  // dovecot's own processes (dovecot, dovenull, nobody) must reach these paths.
  QFile::setPermissions(d, QFileDevice::Permissions(0x7055));
  QDir(d).mkpath(QStringLiteral("mail"));
  QFile::setPermissions(d + QStringLiteral("/mail"), QFileDevice::Permissions(0x7777));
  const QString conf = QStringLiteral(
      "base_dir = %1/run\nstate_dir = %1/state\ninstance_name = velkor-pop3-%2\n"
      "log_path = %1/dovecot.log\nprotocols = pop3\nlisten = %2\nssl = no\n"
      "disable_plaintext_auth = no\nauth_mechanisms = plain login\nfirst_valid_uid = 1\n"
      "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u %1/passwd\n}\n"
      "userdb {\n  driver = static\n  args = uid=65534 gid=65534 home=%1/mail/%u\n}\n"
      "mail_location = maildir:%1/mail/%u\n"
      "service pop3-login {\n  inet_listener pop3 {\n    port = 110\n  }\n}\n"
      "service anvil {\n  chroot =\n}\n").arg(d, host_);
  if (!dir_.isValid() || !writeText(d + "/passwd", user_ + ":{PLAIN}" + password_ + '\n') ||
      !writeText(d + "/dovecot.conf", conf)) {
    error_ = QStringLiteral("cannot write the dovecot configuration");
    return false;
  }
  if (process_.start(QStringLiteral("/usr/sbin/dovecot"), {"-F", "-c", d + "/dovecot.conf"},
                     PeerReadiness::onTcpPort(host_, 110)))
    return true;
  error_ = process_.errorString() + '\n' + QString::fromLocal8Bit(process_.output() + log());
  return false;
}
