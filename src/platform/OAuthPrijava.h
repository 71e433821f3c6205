#pragma once
#include <QDateTime>
#include <QString>
#include <QUrl>

class QWidget;

// OAuth 2.0 sign-in of a native app (RFC 8252) for SMTP: the authorization code grant with
// PKCE (S256), the system browser, the redirect to a listener on 127.0.0.1 at a random
// port. The refresh token lives in the secret store, the access token only in memory.
namespace platform {

struct OAuthPruzatelj {
  QString naziv;  // shown to the user: "Microsoft 365", "Google", "drugi pružatelj"
  QUrl autorizacija, token;
  QString opseg;           // scopes, separated by blanks
  QString klijent, tajna;  // client ID and (for installed apps that get one) secret
  bool potpun() const { return autorizacija.isValid() && token.isValid() && !klijent.trimmed().isEmpty(); }
};

// The presets; the client ID and secret are the administrator's or the user's.
OAuthPruzatelj pruzateljMicrosoft();
OAuthPruzatelj pruzateljGoogle();

struct OAuthTokeni {
  QString pristupni, osvjezavajuci;
  QDateTime istek;              // of the access token
  QString greska;               // Croatian; empty on success
  bool ponovnaPrijava = false;  // the refresh token was refused (invalid_grant)
  bool odustao = false;         // the user cancelled the wait for the browser
};

// Opens the browser and waits (running the caller's event loop) for the redirect and the
// code exchange, at most cekanjeMs. Over roditelj, a box says so and offers "Odustani".
OAuthTokeni prijaviUPregledniku(const OAuthPruzatelj& p, int cekanjeMs = 300000, QWidget* roditelj = nullptr);
OAuthTokeni osvjeziToken(const OAuthPruzatelj& p, const QString& osvjezavajuci);

inline const QString kPrijavaIstekla = QStringLiteral("Prijava je istekla, prijavite se ponovo.");

// Signs in and keeps the refresh token in the secret store under kljuc (and the access
// token in memory). False with *greska, left empty when the user cancelled.
bool prijavi(const OAuthPruzatelj& p, const QString& kljuc, QString* greska = nullptr, QWidget* roditelj = nullptr);
// An access token that outlives the next minutes (five, or half its life when that is
// shorter): the one in memory, else one refreshed with the stored refresh token. Empty with *greska (kPrijavaIstekla
// when the provider refused the refresh token, or none is stored).
QString pristupniToken(const OAuthPruzatelj& p, const QString& kljuc, QString* greska = nullptr);
bool prijavljen(const QString& kljuc);
// Forgets both tokens.
void odjavi(const QString& kljuc);

}  // namespace platform
