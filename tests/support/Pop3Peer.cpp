#include "support/Pop3Peer.h"

#include <QDir>
#include <QFile>

namespace {

bool writeText(const QString& path, const QString& text) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0;
}

}  // namespace

Pop3Peer::Pop3Peer(QString host, QString user, QString password)
    : host_(std::move(host)), user_(std::move(user)), password_(std::move(password)) {}

QByteArray Pop3Peer::log() const {
  QFile f(dir_.path() + QStringLiteral("/dovecot.log"));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool Pop3Peer::writeConfig() {
  const QString d = dir_.path();
  // dovecot's own processes (dovecot, dovenull, nobody) must reach these paths.
  QFile::setPermissions(d, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                               QFileDevice::ExeOwner | QFileDevice::ReadOther |
                               QFileDevice::ExeOther | QFileDevice::ReadGroup |
                               QFileDevice::ExeGroup);
  QDir(d).mkpath(QStringLiteral("mail"));
  QFile::setPermissions(d + QStringLiteral("/mail"), QFileDevice::Permissions(0x7777));
  if (!writeText(d + QStringLiteral("/passwd"), user_ + QStringLiteral(":{PLAIN}") + password_ +
                                                    QLatin1Char('\n')))
    return false;
  const QString conf = QStringLiteral(
      "base_dir = %1/run\n"
      "state_dir = %1/state\n"
      "instance_name = velkor-pop3-%2\n"
      "log_path = %1/dovecot.log\n"
      "protocols = pop3\n"
      "listen = %2\n"
      "ssl = no\n"
      "disable_plaintext_auth = no\n"
      "auth_mechanisms = plain login\n"
      "first_valid_uid = 1\n"
      "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u %1/passwd\n}\n"
      "userdb {\n  driver = static\n  args = uid=65534 gid=65534 home=%1/mail/%u\n}\n"
      "mail_location = maildir:%1/mail/%u\n"
      "service pop3-login {\n  inet_listener pop3 {\n    port = 110\n  }\n}\n"
      "service anvil {\n  chroot =\n}\n").arg(d, host_);
  return writeText(d + QStringLiteral("/dovecot.conf"), conf);
}

bool Pop3Peer::start() {
  if (!dir_.isValid() || !writeConfig()) {
    error_ = QStringLiteral("cannot write the dovecot configuration");
    return false;
  }
  if (!process_.start(QStringLiteral("/usr/sbin/dovecot"),
                      {QStringLiteral("-F"), QStringLiteral("-c"),
                       dir_.path() + QStringLiteral("/dovecot.conf")},
                      PeerReadiness::onTcpPort(host_, 110))) {
    error_ = process_.errorString() + QLatin1Char('\n') + QString::fromLocal8Bit(process_.output()) +
             QString::fromLocal8Bit(log());
    return false;
  }
  return true;
}
