#pragma once
#include <QString>

#include "platform/OAuthPrijava.h"

class QWidget;

namespace sender {

// The direct SMTP route's settings (application "Velkor", section "Settings").
struct SMTPPostavke {
  QString From;
  QString HostName;
  QString UserName;
  QString Password;
  short SSL = 0;
  short StartTLS = 0;
  int Port = 25;  // 0..65535: a 16-bit signed value cannot hold every port
  short Timeout = 5;
  // How the route signs in: empty with the password, else through OAuth 2.0 with the
  // provider "microsoft", "google" or "drugi" (SMTPOAuth). Its client ID and secret are
  // SMTPOAuthKlijent ("id%secret"); "drugi" takes SMTPOAuthAdrese (authorization and token
  // URLs and the scopes, separated by blanks). The refresh token lives in the secret store.
  QString OAuth;
  QString OAuthKlijent;
  QString OAuthAdrese;
};

// Loaded by UcitajSMTPPostavke, refreshed by every ProvjeriSMTPPostavke.
extern SMTPPostavke g_SMTPPostavke;

void UcitajSMTPPostavke();
// Names the missing required settings to the user; true when none is missing.
bool ProvjeriSMTPPostavke(QWidget* parent = nullptr);

// The administrator's value for SMTPOAuthKlijent or SMTPOAuthAdrese of a provider: the
// composer's OAUTH<PROVIDER> or OAUTHDRUGIADRESE in the machine-wide file (/etc/velkor/registry.ini).
QString SMTPOAuthStroja(const QString& kljuc, const QString& oauth);
// Velkor.ini's value, else the administrator's.
QString SMTPOAuthVrijednost(const QString& kljuc, const QString& oauth);
// The route's provider with its client ID, and the secret store's key of its refresh token.
platform::OAuthPruzatelj SMTPPruzatelj(const SMTPPostavke& p);
QString SMTPKljucOAuth(const SMTPPostavke& p);

}  // namespace sender
