#include "mail/clsSendMail.h"

#include <QFileInfo>
#include <cstdlib>

#include "core/SettingsStore.h"
#include "dns/modMXQuery.h"
#include "mail/Base64.h"
#include "mail/BodyPreparation.h"
#include "mail/ContentTypes.h"
#include "mail/DateHeader.h"
#include "mail/HostLookup.h"
#include "mail/Ping.h"
#include "mail/SmtpDialogue.h"
#include "mail/Validation.h"

namespace mail {

namespace {

const QString kApp = QStringLiteral("Kestrova");
const QString kSection = QStringLiteral("Settings");
const QString kBadFrom = QStringLiteral("Pogrešna ili nedostaje E-mail adresa pošiljatelja");
const QString kBadTo = QStringLiteral("Pogrešna ili nedostaje E-mail adresa primatelja");
const QString kBadCc = QStringLiteral("Pogrešan Cc: E-mail adresa");
const QString kBadBcc = QStringLiteral("Pogrešan Bcc: E-mail adresa");
const QString kBadSmtpHost = QStringLiteral("Pogrešan ili nedostaje SMTP Host Name");
const QString kBadPop3Host = QStringLiteral("Pogrešan ili nedostaje POP3 Host Name");
const QString kBadPort = QStringLiteral("Pogrešan Remote Port");
const QString kNoFile = QStringLiteral("Datoteka koju ste pokušali da prikačite ne postoji");

QString minusOneZero(bool b) { return b ? QStringLiteral("-1") : QStringLiteral("0"); }

QString stored(const char* key, const char* defaultValue) {
  return core::GetSetting(kApp, kSection, QString::fromLatin1(key), QString::fromLatin1(defaultValue));
}

// A stored number that is not one reads as the default.
int storedInt(const char* key, int defaultValue) {
  bool ok = false;
  const int n = stored(key, "").trimmed().toInt(&ok);
  return ok ? n : defaultValue;
}

}  // namespace

clsSendMail::clsSendMail(QObject* parent) : QObject(parent) {
  mail::SmtpDialogue::Hooks hooks;
  hooks.status = [this](const QString& text) { emit Status(text); };
  hooks.progress = [this](int percent) { emit Progress(percent); };
  hooks.reportFailure = [this] { reportFailure(); };
  hooks.messageDone = [this](bool accepted, const QString& reply) { messageDone(accepted, reply); };
  dialogue_ = new mail::SmtpDialogue(errors_, std::move(hooks), this);
  persistent_ = core::settingToBool(stored("PersistentSettings", "0"), false);
  if (persistent_) loadSettings();
  if (maxRecipients_ < 1) maxRecipients_ = 100;
  zoneOffset_ = mail::localZoneOffsetText();
}

clsSendMail::~clsSendMail() {
  if (dialogue_->state() == 0) return;
  dialogue_->setActive(true);  // the answer to QUIT is awaited
  dialogue_->close();
}

// Stored values pass the setters' range rules; one out of range reads as the default.
void clsSendMail::loadSettings() {
  const auto inRange = [](const char* key, int low, int high, int defaultValue) {
    const int n = storedInt(key, defaultValue);
    return n >= low && n <= high ? n : defaultValue;
  };
  from_ = stored("From", "");
  fromDisplayName_ = stored("FromDisplayName", "");
  pop3Host_ = stored("Pop3Host", "");
  smtpHost_ = stored("RemoteHost", "");
  smtpPort_ = inRange("RemotePort", 1, 65535, 25);
  hostValidation_ = storedInt("SMTPHostValidation", 3);
  emailValidation_ = storedInt("EmailValidation", 1);
  connectTimeout_ = inRange("ConnectTimeout", 1, 120, 40);
  messageTimeout_ = std::abs(storedInt("MessageTimeout", 60));
  if (messageTimeout_ < 1) messageTimeout_ = 60;
  connectRetry_ = inRange("ConnectRetry", 1, 20, 4);
  encodeType_ = inRange("EncodeType", 0, 1, 0);
  secureConnection_ = inRange("SecureConnection", 0, 3, 1);
  userName_ = stored("Username", "");
  useAuth_ = core::settingToBool(stored("UseAuthentication", "False"), false);
  usePopAuth_ = core::settingToBool(stored("UsePopAuthentication", "False"), false);
  maxRecipients_ = storedInt("MaxRecipients", 100);
  pop3Port_ = inRange("Pop3Port", 1, 65535, 110);
  pop3Security_ = inRange("Pop3Security", 0, 3, 1);
}

void clsSendMail::persist(const QString& key, const QString& value) const {
  if (persistent_) core::SaveSetting(kApp, kSection, key, value);
}

// --- lists -------------------------------------------------------------------------

QStringList clsSendMail::splitList(const QString& value) const {
  if (value.isEmpty()) return {};
  if (delimiter_.isEmpty()) return {value};
  return value.split(delimiter_);
}

QStringList clsSendMail::cleanList(const QString& value) const {
  QStringList entries = splitList(value);
  for (QString& e : entries) {
    e = e.trimmed();
    e.remove(QStringLiteral("\r\n"));
    e.remove(QLatin1Char('\t'));
  }
  return entries;
}

void clsSendMail::checkAddressList(const QStringList& entries, const QString& errorText) {
  errors_.remove(errorText);
  const QChar delimiter = delimiter_.isEmpty() ? QChar() : delimiter_.at(0);
  if (!mail::isValidAddressList(entries.join(delimiter_), delimiter, emailValidation_)) errors_.add(errorText);
}

void clsSendMail::setRecipient(const QString& NewValue) {
  to_ = cleanList(NewValue);
  checkAddressList(to_, kBadTo);
}

void clsSendMail::setCcRecipient(const QString& NewValue) {
  cc_ = cleanList(NewValue);
  checkAddressList(cc_, kBadCc);
}

void clsSendMail::setBccRecipient(const QString& NewValue) {
  bcc_ = cleanList(NewValue);
  checkAddressList(bcc_, kBadBcc);
}

QString clsSendMail::Attachment() const { return joined(attachmentPaths_); }

void clsSendMail::setAttachment(const QString& NewValue) {
  errors_.remove(kNoFile);
  attachmentPaths_ = cleanList(NewValue);
  attachmentNames_.clear();
  for (const QString& path : std::as_const(attachmentPaths_)) {
    const QFileInfo info(path);
    if (!info.isFile()) {
      errors_.add(kNoFile);
      break;
    }
    // A path written with backslashes still gives its last part.
    attachmentNames_ << info.fileName().section(QLatin1Char('\\'), -1);
  }
}

// --- single values -------------------------------------------------------------------

void clsSendMail::setConnectRetry(int NewValue) {
  if (NewValue >= 1 && NewValue <= 20) connectRetry_ = NewValue;
  persist(QStringLiteral("ConnectRetry"), QString::number(NewValue));
}

void clsSendMail::setConnectTimeout(int NewValue) {
  if (NewValue >= 1 && NewValue <= 120) connectTimeout_ = NewValue;
  persist(QStringLiteral("ConnectTimeout"), QString::number(NewValue));
}

void clsSendMail::setContentBase(const QString& NewValue) {
  QString base = NewValue;
  if (!base.isEmpty()) {
    base.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!base.contains(QLatin1String("http://"), Qt::CaseInsensitive)) base.prepend(QLatin1String("http://"));
    if (!base.endsWith(QLatin1Char('/'))) base.append(QLatin1Char('/'));
  }
  contentBase_ = base;
}

void clsSendMail::setEmailAddressValidation(int NewValue) {
  emailValidation_ = NewValue;
  persist(QStringLiteral("EmailValidation"), QString::number(NewValue));
}

void clsSendMail::setEncodeType(int NewValue) {
  encodeType_ = NewValue;
  persist(QStringLiteral("EncodeType"), QString::number(NewValue));
}

void clsSendMail::setFrom(const QString& NewValue) {
  from_ = NewValue.trimmed();
  // The stored (trimmed) address is the one checked: it is what goes on the wire.
  checkAddressList({from_}, kBadFrom);
  persist(QStringLiteral("From"), NewValue);
}

void clsSendMail::setFromDisplayName(const QString& NewValue) {
  fromDisplayName_ = NewValue.trimmed();
  persist(QStringLiteral("FromDisplayName"), NewValue);
}

void clsSendMail::setMaxRecipients(int NewValue) {
  maxRecipients_ = std::abs(NewValue);
  persist(QStringLiteral("MaxRecipients"), QString::number(maxRecipients_));
}

void clsSendMail::setMessage(const QString& NewValue) {
  bodySource_ = NewValue;
  body_ = mail::prepareBody(NewValue, true).text;
}

void clsSendMail::setMessageTimeout(int NewValue) {
  messageTimeout_ = std::abs(NewValue);
  persist(QStringLiteral("MessageTimeout"), QString::number(messageTimeout_));
}

void clsSendMail::setPersistentSettings(bool NewValue) {
  persistent_ = NewValue;
  persist(QStringLiteral("PersistentSettings"), minusOneZero(NewValue));
}

void clsSendMail::setPriority(int NewValue) {
  priority_ = NewValue;
  if (NewValue == 1) priorityWord_ = QStringLiteral("High");
  else if (NewValue == 3) priorityWord_ = QStringLiteral("Normal");
  else if (NewValue == 5) priorityWord_ = QStringLiteral("Low");
}

void clsSendMail::assignHost(QString value, QString& target, const char* key, const QString& errorText) {
  value.remove(QChar(0));
  QString accepted = value;
  if (!value.isEmpty() && !mail::checkHost(value, hostValidation_, &accepted)) {
    errors_.add(errorText);
    return;
  }
  persist(QString::fromLatin1(key), accepted);
  errors_.remove(errorText);
  target = accepted;
}

void clsSendMail::setPOP3Host(const QString& NewValue) { assignHost(NewValue, pop3Host_, "Pop3Host", kBadPop3Host); }

void clsSendMail::setSMTPHost(const QString& NewValue) { assignHost(NewValue, smtpHost_, "RemoteHost", kBadSmtpHost); }

void clsSendMail::setSMTPHostValidation(int NewValue) {
  hostValidation_ = NewValue;
  persist(QStringLiteral("SMTPHostValidation"), QString::number(NewValue));
  if (!smtpHost_.isEmpty()) setSMTPHost(smtpHost_);
}

void clsSendMail::setSmtpPort(int NewValue) {
  if (NewValue < 1 || NewValue > 65535) {
    errors_.add(kBadPort);
    return;
  }
  smtpPort_ = NewValue;
  persist(QStringLiteral("RemotePort"), QString::number(NewValue));
  errors_.remove(kBadPort);
}

void clsSendMail::setSecureConnection(int NewValue) {
  if (NewValue < 0 || NewValue > 3) return;
  secureConnection_ = NewValue;
  persist(QStringLiteral("SecureConnection"), QString::number(NewValue));
}

void clsSendMail::setPop3Port(int NewValue) {
  if (NewValue < 1 || NewValue > 65535) return;
  pop3Port_ = NewValue;
  persist(QStringLiteral("Pop3Port"), QString::number(NewValue));
}

void clsSendMail::setPop3Security(int NewValue) {
  if (NewValue < 0 || NewValue > 3) return;
  pop3Security_ = NewValue;
  persist(QStringLiteral("Pop3Security"), QString::number(NewValue));
}

void clsSendMail::setUseAuthentication(bool NewValue) {
  useAuth_ = NewValue;
  persist(QStringLiteral("UseAuthentication"), minusOneZero(NewValue));
}

void clsSendMail::setUsePopAuthentication(bool NewValue) {
  usePopAuth_ = NewValue;
  persist(QStringLiteral("UsePopAuthentication"), minusOneZero(NewValue));
}

void clsSendMail::setUserName(const QString& NewValue) {
  userName_ = NewValue;
  persist(QStringLiteral("Username"), NewValue);
}

// --- services ------------------------------------------------------------------------

QString clsSendMail::GetContentType(const QString& strFile, const QString& strDefault) const {
  return mail::GetContentType(strFile, strDefault);
}

QString clsSendMail::GetIPAddress(const QString& sHostName) const { return mail::GetIPAddress(sHostName); }

QString clsSendMail::GetIPHost() const { return mail::GetIPHost(); }

bool clsSendMail::IsValidEmailAddress(const QString& AddressString) const {
  return mail::IsValidEmailAddress(AddressString);
}

bool clsSendMail::Ping(QString& Address, QString& RoundTripTime, QString& DataSize, bool& DataMatch) const {
  return mail::Ping(Address, RoundTripTime, DataSize, DataMatch);
}

QString clsSendMail::DecodeBase64String(const QString& str2Decode) const {
  return mail::DecodeBase64String(str2Decode);
}

QString clsSendMail::MXQuery(const QString& IPDomain) {
  const QString domain = IPDomain.trimmed();
  emit Status(domain.isEmpty() ? QStringLiteral("Performing MX Query")
                               : QStringLiteral("Performing MX Query, Domain: ") + domain);
  try {
    const modMXQuery::MXLookup found = modMXQuery::lookUpMX(domain);
    if (found.records.isEmpty()) emit Status(found.reason);
    return found.records.isEmpty() ? QString() : found.records.first().host;
  } catch (const modMXQuery::MXQueryError& e) {
    emit Status(e.description);
    return {};
  }
}

}  // namespace mail
