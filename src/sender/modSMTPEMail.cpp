#include "sender/modSMTPEMail.h"

#include "core/SettingsStore.h"
#include "platform/Dialogs.h"
#include "platform/RegistryStore.h"

namespace sender {

SMTPPostavke g_SMTPPostavke;

namespace {

// A stored number that is not one (or does not fit) falls back to the default.
int brojIzPostavke(const QString& key, int zadano, int min, int max) {
  bool ok = false;
  const int n = core::VelkorSetting(key, QString::number(zadano)).trimmed().toInt(&ok);
  return ok && n >= min && n <= max ? n : zadano;
}

short daNeIzPostavke(const QString& key) {
  return core::settingToBool(core::VelkorSetting(key, QStringLiteral("False")), false) ? 1 : 0;
}

}  // namespace

void UcitajSMTPPostavke() {
  SMTPPostavke& p = g_SMTPPostavke;
  p.From = core::VelkorSetting(QStringLiteral("SMTPFrom"));
  p.HostName = core::VelkorSetting(QStringLiteral("SMTPHostName"));
  p.UserName = core::VelkorSetting(QStringLiteral("SMTPUserName"));
  p.Password = core::VelkorSetting(QStringLiteral("SMTPPassword"));
  p.SSL = daNeIzPostavke(QStringLiteral("SMTPSSL"));
  p.StartTLS = daNeIzPostavke(QStringLiteral("SMTPStartTLS"));
  p.Port = brojIzPostavke(QStringLiteral("SMTPPort"), 25, 0, 65535);
  p.Timeout = static_cast<short>(brojIzPostavke(QStringLiteral("SMTPTimeout"), 5, 0, 32767));
  p.OAuth = core::VelkorSetting(QStringLiteral("SMTPOAuth")).trimmed().toLower();
  p.OAuthKlijent = SMTPOAuthVrijednost(QStringLiteral("SMTPOAuthKlijent"), p.OAuth);
  p.OAuthAdrese = SMTPOAuthVrijednost(QStringLiteral("SMTPOAuthAdrese"), p.OAuth);
}

platform::OAuthPruzatelj SMTPPruzatelj(const SMTPPostavke& s) {
  platform::OAuthPruzatelj p;
  if (s.OAuth == QLatin1String("microsoft")) {
    p = platform::pruzateljMicrosoft();
  } else if (s.OAuth == QLatin1String("google")) {
    p = platform::pruzateljGoogle();
  } else {
    const QStringList a = s.OAuthAdrese.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    p.naziv = QStringLiteral("drugi pružatelj");
    if (a.size() > 0) p.autorizacija = QUrl(a[0]);
    if (a.size() > 1) p.token = QUrl(a[1]);
    p.opseg = a.mid(2).join(QLatin1Char(' '));
  }
  // The client ID has no "%"; a secret may.
  const qsizetype i = s.OAuthKlijent.indexOf(QLatin1Char('%'));
  p.klijent = s.OAuthKlijent.left(i).trimmed();
  p.tajna = i < 0 ? QString() : s.OAuthKlijent.mid(i + 1);
  return p;
}

QString SMTPOAuthStroja(const QString& kljuc, const QString& oauth) {
  // The composer's key: an administrator gives a provider's values once for both.
  static const QString kKljuc = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\system");
  const QString ime = kljuc == QLatin1String("SMTPOAuthAdrese") ? QStringLiteral("OAUTHDRUGIADRESE")
                                                                : QStringLiteral("OAUTH") + oauth.toUpper();
  return oauth.isEmpty() ? QString() : platform::CitajRegistarStroja(platform::kHKeyLocalMachine, kKljuc, ime);
}

QString SMTPOAuthVrijednost(const QString& kljuc, const QString& oauth) {
  const QString v = core::VelkorSetting(kljuc);
  return v.isEmpty() ? SMTPOAuthStroja(kljuc, oauth) : v;
}

// Apart from the composer's account: the two may use different client IDs.
QString SMTPKljucOAuth(const SMTPPostavke& p) {
  return QStringLiteral("oauth-smtp:") + p.OAuth + QLatin1Char(':') + p.UserName.trimmed();
}

bool ProvjeriSMTPPostavke(QWidget* parent) {
  UcitajSMTPPostavke();
  const SMTPPostavke& p = g_SMTPPostavke;
  const QString crlf = QStringLiteral("\r\n");
  QString popis;
  if (p.From.isEmpty()) popis += QStringLiteral("SMTP From!") + crlf;
  if (p.HostName.isEmpty()) popis += QStringLiteral("SMTP Host Name!") + crlf;
  if (p.UserName.isEmpty()) popis += QStringLiteral("SMTP User Name (korisničko ime)!") + crlf;
  if (p.Password.isEmpty() && p.OAuth.isEmpty()) popis += QStringLiteral("SMTP Password (lozinka)!") + crlf;
  if (popis.isEmpty()) return true;
  platform::dialogs().messageBox(parent,
                                 QStringLiteral("Nisu uneseni podaci o konfiguraciji za slanje putem SMTP-a:") + crlf +
                                     crlf + popis + crlf + crlf + QStringLiteral("Unesite podatke u konfiguraciji"),
                                 platform::MsgButtons::Ok, platform::MsgIcon::Exclamation,
                                 QStringLiteral("Postavite konfiguraciju SMTP-a"));
  return false;
}

}  // namespace sender
