#pragma once
#include <QString>
#include <optional>

#include "platform/OAuthPrijava.h"

namespace mail {
struct ImapParams;
}

namespace mail {
class clsSendMail;
}
class QWidget;

// The account the composer logs in with on its configured server. Two values of the
// composer's store: SMTPPORT (port "%" security, as the engine's SecureConnection: 0 none,
// 1 STARTTLS when offered, 2 STARTTLS required, 3 TLS from the first byte) and SMTPLOGIN
// ("True"/"False" "%" user name). The password lives in the system keyring under
// user@server, never in the store.
namespace composer {

struct RacunSlanja {
  int port = 25;
  int sigurnost = 1;
  bool prijava = false;
  QString korisnik;
  // How it signs in: empty with the password, else through OAuth 2.0 with the provider
  // "microsoft", "google" or "drugi" (SMTPOAUTH). The refresh token lives in the keyring
  // under kljucOAuth.
  QString oauth;
  bool operator==(const RacunSlanja&) const = default;
};

// nullopt: nothing stored (a store of an earlier version); the engine's own defaults hold.
std::optional<RacunSlanja> CitajRacun();
bool SpremiRacun(const RacunSlanja& r, QWidget* parent = nullptr);
// The keyring's key of the account's password.
QString kljucLozinke(const QString& korisnik, const QString& server);

// The provider of an OAuth account: the preset (or, for "drugi", OAUTHDRUGIADRESE: the
// authorization and token URLs and the scopes, separated by blanks) with the client ID and
// secret of OAUTH<PROVIDER> ("id%secret"), both from the store or the machine-wide file.
platform::OAuthPruzatelj pruzateljRacuna(const QString& oauth);
bool SpremiPruzatelja(const QString& oauth, const platform::OAuthPruzatelj& p, QWidget* parent = nullptr);
QString kljucOAuth(const QString& korisnik, const QString& oauth);

// Sets port, security, login, user and password of the stored account (its password under
// the user and SMTPIP's server) on the engine. posluzitelj false (direct delivery to exchangers): port 25, STARTTLS
// when offered, no login. No stored account: the engine is left as it is. False, with the reason in *razlog, when the
// account logs in but its password cannot be read, or it signs in through OAuth and no access token can be had
// (platform::kPrijavaIstekla: sign in again).
bool primijeniRacun(mail::clsSendMail& m, bool posluzitelj, QString* razlog = nullptr);

// Copies of what a run sent, in a folder of an IMAP account. IMAPPOSLANO: "True"/"False" (on),
// server, port, security (3 TLS from the first byte, 2 STARTTLS required), "True"/"False" (the
// sending account's login), "True"/"False" (one summary per record run), joined by "%";
// IMAPKORISNIK the user of a login of its own, whose password the keyring keeps under
// kljucLozinkeImap; IMAPMAPA the folder, empty: the one the server marks as Sent.
struct RacunPoslano {
  bool ukljuceno = false;
  QString server;
  int port = 993;
  int sigurnost = 3;
  bool istaPrijava = true;
  QString korisnik;
  QString mapa;
  bool jednaKopija = false;
  bool operator==(const RacunPoslano&) const = default;
};
RacunPoslano CitajRacunPoslano();
bool SpremiRacunPoslano(const RacunPoslano& r, QWidget* parent = nullptr);
QString kljucLozinkeImap(const QString& korisnik, const QString& server);
// The IMAP session of the stored account with its password, or the sending account's OAuth
// token; false with the reason when neither can be had.
bool prijavaPoslano(const RacunPoslano& r, mail::ImapParams* p, QString* razlog);

}  // namespace composer

namespace composer {
// Which step of a failed Send or Connect failed, in words for the user: "povezivanje",
// "TLS", "prijava", "pošiljatelj odbijen", "primatelj odbijen", "poruka odbijena".
QString korakNeuspjeha(const mail::clsSendMail& m, const QString& objasnjenje);
}  // namespace composer
