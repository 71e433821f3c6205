#include "SendMailOptions.h"

#include <QFile>
#include <cstdio>

#include "mail/clsSendMail.h"

namespace sendmail_tool {

namespace {

struct OptionInfo {
  const char* name;
  const char* value;  // nullptr for a switch
  const char* help;
};

const OptionInfo kOptions[] = {
    {"from", "address", "Sender address."},
    {"from-name", "name", "Sender display name."},
    {"to", "list", "Recipients, separated by the delimiter."},
    {"to-name", "list", "Display names of the recipients, in the same order."},
    {"cc", "list", "Copy recipients."},
    {"cc-name", "list", "Display names of the copy recipients."},
    {"bcc", "list", "Blind copy recipients (envelope only)."},
    {"reply-to", "address", "Reply-to address."},
    {"subject", "text", "Subject."},
    {"body", "text", "Message body."},
    {"body-file", "file", "Message body read from a UTF-8 file (- for standard input)."},
    {"html", nullptr, "The body is HTML."},
    {"attach", "file", "Attach a file (repeat for more)."},
    {"priority", "n", "1 high, 3 normal, 5 low."},
    {"receipt", nullptr, "Ask for a disposition notification."},
    {"content-base", "url", "Content-Base of an HTML body."},
    {"encode", "mime|uuencode", "Attachment encoding (default mime)."},
    {"delimiter", "char", "List delimiter (default ;)."},
    {"max-recipients", "n", "Largest number of recipients."},
    {"host", "host", "SMTP server (empty: the mail exchanger of this machine's domain)."},
    {"port", "n", "SMTP port (default 25)."},
    {"pop3-host", "host", "POP3 server for the login before SMTP."},
    {"pop-auth", nullptr, "Log in to the POP3 server first."},
    {"auth", nullptr, "Use EHLO and AUTH LOGIN."},
    {"user", "name", "User name for AUTH LOGIN and POP3."},
    {"password", "text", "Password (visible to other users of this machine; see --password-env)."},
    {"password-env", "variable", "Read the password from this environment variable."},
    {"connect-timeout", "seconds", "Connect and greeting time-out (1-120)."},
    {"connect-retry", "n", "Connect attempts (1-20)."},
    {"message-timeout", "seconds", "Time-out of each reply while sending."},
    {"host-validation", "n", "Host check: 0 none, 1 syntax, 2 ping, 3 lookup."},
    {"email-validation", "n", "Address check: 0 none, 1 syntax."},
    {"tls", "none|starttls|require|implicit",
     "TLS: none, STARTTLS when offered (default), STARTTLS required, TLS from the first byte."},
    {"persistent", nullptr, "Store the connection settings given for later runs."},
};

bool readInt(const QCommandLineParser& p, const char* name, int& out, QString& error) {
  bool ok = false;
  out = p.value(QString::fromLatin1(name)).trimmed().toInt(&ok);
  if (!ok) error = QStringLiteral("--%1 needs a number").arg(QString::fromLatin1(name));
  return ok;
}

bool readBody(const QString& path, QString& body, QString& error) {
  QFile f;
  const bool ok = path == QLatin1String("-") ? f.open(stdin, QIODevice::ReadOnly)
                                             : (f.setFileName(path), f.open(QIODevice::ReadOnly));
  if (!ok) {
    error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
    return false;
  }
  body = QString::fromUtf8(f.readAll());
  return true;
}

// Setters taking a number, in the order they are applied.
struct IntSetter {
  const char* name;
  void (mail::clsSendMail::*set)(int);
};

const IntSetter kEarlyNumbers[] = {
    {"host-validation", &mail::clsSendMail::setSMTPHostValidation},
    {"email-validation", &mail::clsSendMail::setEmailAddressValidation},
};

const IntSetter kNumbers[] = {
    {"port", &mail::clsSendMail::setSmtpPort},
    {"connect-timeout", &mail::clsSendMail::setConnectTimeout},
    {"connect-retry", &mail::clsSendMail::setConnectRetry},
    {"message-timeout", &mail::clsSendMail::setMessageTimeout},
    {"max-recipients", &mail::clsSendMail::setMaxRecipients},
    {"priority", &mail::clsSendMail::setPriority},
};

struct TextSetter {
  const char* name;
  void (mail::clsSendMail::*set)(const QString&);
};

const TextSetter kTexts[] = {
    {"host", &mail::clsSendMail::setSMTPHost},
    {"pop3-host", &mail::clsSendMail::setPOP3Host},
    {"user", &mail::clsSendMail::setUserName},
    {"from", &mail::clsSendMail::setFrom},
    {"from-name", &mail::clsSendMail::setFromDisplayName},
    {"to", &mail::clsSendMail::setRecipient},
    {"to-name", &mail::clsSendMail::setRecipientDisplayName},
    {"cc", &mail::clsSendMail::setCcRecipient},
    {"cc-name", &mail::clsSendMail::setCcDisplayName},
    {"bcc", &mail::clsSendMail::setBccRecipient},
    {"reply-to", &mail::clsSendMail::setReplyToAddress},
    {"subject", &mail::clsSendMail::setSubject},
    {"content-base", &mail::clsSendMail::setContentBase},
};

bool applyNumbers(const QCommandLineParser& p, mail::clsSendMail& m, const auto& table, QString& error) {
  for (const IntSetter& s : table) {
    if (!p.isSet(QString::fromLatin1(s.name))) continue;
    int n = 0;
    if (!readInt(p, s.name, n, error)) return false;
    (m.*s.set)(n);
  }
  return true;
}

bool applyEncoding(const QCommandLineParser& p, mail::clsSendMail& m, QString& error) {
  if (!p.isSet(QStringLiteral("encode"))) return true;
  const QString e = p.value(QStringLiteral("encode")).toLower();
  if (e != QLatin1String("mime") && e != QLatin1String("uuencode")) {
    error = QStringLiteral("--encode takes mime or uuencode");
    return false;
  }
  m.setEncodeType(e == QLatin1String("mime") ? 0 : 1);
  return true;
}

bool applyTls(const QCommandLineParser& p, mail::clsSendMail& m, QString& error) {
  if (!p.isSet(QStringLiteral("tls"))) return true;
  const QStringList modes{"none", "starttls", "require", "implicit"};
  const qsizetype mode = modes.indexOf(p.value(QStringLiteral("tls")).toLower());
  if (mode < 0) {
    error = QStringLiteral("--tls takes none, starttls, require or implicit");
    return false;
  }
  m.setSecureConnection(int(mode));
  return true;
}

}  // namespace

void addOptions(QCommandLineParser& parser) {
  for (const OptionInfo& o : kOptions) {
    QCommandLineOption option(QString::fromLatin1(o.name), QString::fromLatin1(o.help));
    if (o.value) option.setValueName(QString::fromLatin1(o.value));
    parser.addOption(option);
  }
}

bool applyOptions(const QCommandLineParser& p, mail::clsSendMail& m, QString& error) {
  if (p.isSet(QStringLiteral("persistent"))) m.setPersistentSettings(true);
  if (p.isSet(QStringLiteral("delimiter"))) m.setDelimiter(p.value(QStringLiteral("delimiter")));
  if (!applyNumbers(p, m, kEarlyNumbers, error) || !applyNumbers(p, m, kNumbers, error) ||
      !applyEncoding(p, m, error) || !applyTls(p, m, error))
    return false;
  if (p.isSet(QStringLiteral("html"))) m.setAsHTML(true);
  if (p.isSet(QStringLiteral("receipt"))) m.setReceipt(true);
  if (p.isSet(QStringLiteral("auth"))) m.setUseAuthentication(true);
  if (p.isSet(QStringLiteral("pop-auth"))) m.setUsePopAuthentication(true);
  for (const TextSetter& s : kTexts)
    if (p.isSet(QString::fromLatin1(s.name))) (m.*s.set)(p.value(QString::fromLatin1(s.name)));
  if (p.isSet(QStringLiteral("password"))) m.setPassword(p.value(QStringLiteral("password")));
  if (p.isSet(QStringLiteral("password-env")))
    m.setPassword(qEnvironmentVariable(p.value(QStringLiteral("password-env")).toLocal8Bit()));
  QString body = p.value(QStringLiteral("body"));
  if (p.isSet(QStringLiteral("body-file")) && !readBody(p.value(QStringLiteral("body-file")), body, error))
    return false;
  m.setMessage(body);
  if (p.isSet(QStringLiteral("attach"))) m.setAttachment(p.values(QStringLiteral("attach")).join(m.Delimiter()));
  return true;
}

}  // namespace sendmail_tool
