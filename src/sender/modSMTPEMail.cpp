#include "sender/modSMTPEMail.h"

#include "platform/Dialogs.h"
#include "core/SettingsStore.h"

SMTPPostavke g_SMTPPostavke;

namespace {

// A stored number that is not one (or does not fit) falls back to the default.
int brojIzPostavke(const QString& key, int zadano, int min, int max) {
  bool ok = false;
  const int n = platform::VelkorSetting(key, QString::number(zadano)).trimmed().toInt(&ok);
  return ok && n >= min && n <= max ? n : zadano;
}

short daNeIzPostavke(const QString& key) {
  return platform::settingToBool(platform::VelkorSetting(key, QStringLiteral("False")), false) ? 1
                                                                                                : 0;
}

}  // namespace

void UcitajSMTPPostavke() {
  SMTPPostavke& p = g_SMTPPostavke;
  p.From = platform::VelkorSetting(QStringLiteral("SMTPFrom"));
  p.HostName = platform::VelkorSetting(QStringLiteral("SMTPHostName"));
  p.UserName = platform::VelkorSetting(QStringLiteral("SMTPUserName"));
  p.Password = platform::VelkorSetting(QStringLiteral("SMTPPassword"));
  p.SSL = daNeIzPostavke(QStringLiteral("SMTPSSL"));
  p.StartTLS = daNeIzPostavke(QStringLiteral("SMTPStartTLS"));
  p.Port = brojIzPostavke(QStringLiteral("SMTPPort"), 25, 0, 65535);
  p.Timeout = static_cast<short>(brojIzPostavke(QStringLiteral("SMTPTimeout"), 5, 0, 32767));
}

bool ProvjeriSMTPPostavke(QWidget* parent) {
  UcitajSMTPPostavke();
  const SMTPPostavke& p = g_SMTPPostavke;
  const QString crlf = QStringLiteral("\r\n");
  QString popis;
  if (p.From.isEmpty()) popis += QStringLiteral("SMTP From!") + crlf;
  if (p.HostName.isEmpty()) popis += QStringLiteral("SMTP Host Name!") + crlf;
  if (p.UserName.isEmpty()) popis += QStringLiteral("SMTP User Name (korisničko ime)!") + crlf;
  if (p.Password.isEmpty()) popis += QStringLiteral("SMTP Password (lozinka)!") + crlf;
  if (popis.isEmpty()) return true;
  platform::dialogs().messageBox(
      parent,
      QStringLiteral("Nisu uneseni podaci o konfiguraciji za slanje putem SMTP-a:") + crlf + crlf +
          popis + crlf + crlf + QStringLiteral("Unesite podatke u konfiguraciji"),
      platform::MsgButtons::Ok, platform::MsgIcon::Exclamation,
      QStringLiteral("Postavite konfiguraciju SMTP-a"));
  return false;
}
