#include "support/DovecotPeer.h"

#include <QDir>
#include <QFile>

#include "support/TestEnv.h"

namespace {

bool writeText(const QString& path, const QString& text) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0;
}

}  // namespace

QByteArray DovecotPeer::log() const {
  return readWholeFile(dir_.filePath(QStringLiteral("dovecot.log")));
}

bool DovecotPeer::startWith(const QString& services, quint16 readyPort) {
  const QString d = dir_.path();
  // dovecot's own processes (dovecot, dovenull, nobody) must reach these paths.
  QFile::setPermissions(d, QFileDevice::Permissions(0x7055));
  QDir(d).mkpath(QStringLiteral("mail"));
  QFile::setPermissions(d + QStringLiteral("/mail"), QFileDevice::Permissions(0x7777));
  const bool oauth = !introspectionUrl_.isEmpty();
  QString conf = QStringLiteral(
      "base_dir = %1/run\nstate_dir = %1/state\ninstance_name = velkor-%2\n"
      "log_path = %1/dovecot.log\nlisten = %2\nhostname = peer.test\n"
      "ssl_cert = <%1/server.pem\nssl_key = <%1/server.key\n"
      "auth_mechanisms = plain login%3\nfirst_valid_uid = 1\n"
      "passdb {\n  driver = passwd-file\n  mechanisms = plain login\n"
      "  args = scheme=PLAIN username_format=%u %1/passwd\n}\n"
      "userdb {\n  driver = static\n  args = uid=65534 gid=65534 home=%1/mail/%u\n}\n"
      "mail_location = maildir:%1/mail/%u\nservice anvil {\n  chroot =\n}\n")
                     .arg(d, host_, oauth ? ' ' + oauthMechanisms_ : QString());
  if (oauth)
    conf += QStringLiteral("passdb {\n  driver = oauth2\n  mechanisms = %2\n  args = %1/oauth2.conf.ext\n}\n")
                .arg(d, oauthMechanisms_);
  const QString oauthConf = QStringLiteral(
      "introspection_mode = post\nintrospection_url = %1\nusername_attribute = username\n"
      "active_attribute = active\nactive_value = true\n").arg(introspectionUrl_);
  if (!dir_.isValid() || !SmtpPeer::makeCertificate(d, host_, &error_, moreAddresses_, true)) return false;
  if (!writeText(d + "/passwd", user_ + ":{PLAIN}" + password_ + '\n') ||
      (oauth && !writeText(d + "/oauth2.conf.ext", oauthConf)) || !writeText(d + "/dovecot.conf", conf + services)) {
    error_ = QStringLiteral("cannot write the dovecot configuration");
    return false;
  }
  if (process_.start(QStringLiteral("/usr/sbin/dovecot"), {"-F", "-c", d + "/dovecot.conf"},
                     PeerReadiness::onTcpPort(host_, readyPort)))
    return true;
  error_ = process_.errorString() + '\n' + QString::fromLocal8Bit(process_.output() + log());
  return false;
}

bool Pop3Peer::start() {
  return startWith(QStringLiteral("protocols = pop3\nservice pop3-login {\n"
                                  "  inet_listener pop3 {\n    port = 110\n  }\n"
                                  "  inet_listener pop3s {\n    port = 995\n    ssl = yes\n  }\n}\n"),
                   110);
}

bool SubmissionPeer::start() {
  if (!capture_.start()) {
    error_ = capture_.error();
    return false;
  }
  return startWith(QStringLiteral("protocols = submission\n"
                                  "submission_relay_host = %1\nsubmission_relay_port = %2\n"
                                  "service submission-login {\n"
                                  "  inet_listener submission {\n    port = 587\n  }\n}\n")
                       .arg(capture_.host())
                       .arg(capture_.port()),
                   587);
}

bool ImapPeer::start() {
  const QString& plain = moreAddresses_[0];
  const QString& sync = moreAddresses_[1];
  const QString capabilities = QStringLiteral("IMAP4rev1 SASL-IR LOGIN-REFERRALS ID ENABLE IDLE SORT SPECIAL-USE");
  return startWith(QStringLiteral("protocols = imap\n"
                                  "namespace inbox {\n  inbox = yes\n"
                                  "  mailbox Sent {\n    special_use = \\Sent\n    auto = create\n  }\n}\n"
                                  "service imap-login {\n"
                                  "  inet_listener imap {\n    port = 143\n  }\n"
                                  "  inet_listener imaps {\n    port = 993\n    ssl = yes\n  }\n"
                                  "  inet_listener plain {\n    address = %1\n    port = 143\n  }\n"
                                  "  inet_listener sync {\n    address = %2\n    port = 143\n  }\n}\n"
                                  "local %1 {\n  ssl = no\n}\n"
                                  "local %2 {\n  protocol imap {\n    imap_capability = %3\n  }\n}\n")
                       .arg(plain, sync, capabilities),
                   993);
}

QList<ImapPeer::Stored> ImapPeer::sent(const QString& user, const QString& folder) const {
  QList<Stored> out;
  for (const char* sub : {"/new", "/cur"}) {
    const QDir d(path() + "/mail/" + user + '/' + folder + sub);
    for (const QString& name : d.entryList(QDir::Files, QDir::Name))
      // Dovecot's maildir keeps LF line ends and gives CR LF back over IMAP.
      out << Stored{name, readWholeFile(d.filePath(name)).replace("\r\n", "\n").replace("\n", "\r\n"),
                    name.section(QLatin1String(":2,"), 1)};
  }
  return out;
}
