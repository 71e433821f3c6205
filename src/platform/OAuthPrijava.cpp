#include "platform/OAuthPrijava.h"

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QEventLoop>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QOAuth2AuthorizationCodeFlow>
#include <QOAuthHttpServerReplyHandler>
#include <QProcess>
#include <QProgressDialog>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrlQuery>
#include <memory>

#include "platform/SecretStore.h"

namespace platform {

namespace {

struct Pristup {
  QString token;
  QDateTime istek;
  qint64 trajanje = 0;  // seconds, as issued
};
// Access tokens of this process, by the key of their refresh token.
QHash<QString, Pristup>& pristupi() {
  static QHash<QString, Pristup> h;
  return h;
}

QByteArray base64url(const QByteArray& b) {
  return b.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

QByteArray nasumicno(int bajtova) {
  QByteArray b(bajtova, Qt::Uninitialized);
  QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(b.data()), bajtova / 4);
  return b;
}

// The desktop's opener; where the platform has none (offscreen), xdg-open directly.
void otvoriPreglednik(const QUrl& url) {
  if (!QDesktopServices::openUrl(url))
    QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}

const QString kStranica =
    QStringLiteral("Prijava je primljena. Zatvorite ovaj prozor preglednika i vratite se programu.");

}  // namespace

OAuthPruzatelj pruzateljMicrosoft() {
  return {QStringLiteral("Microsoft 365"),
          QUrl(QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/authorize")),
          QUrl(QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/token")),
          QStringLiteral("https://outlook.office.com/SMTP.Send offline_access"),
          {},
          {}};
}

OAuthPruzatelj pruzateljGoogle() {
  return {QStringLiteral("Google"),
          QUrl(QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth")),
          QUrl(QStringLiteral("https://oauth2.googleapis.com/token")),
          QStringLiteral("https://mail.google.com/"),
          {},
          {}};
}

OAuthTokeni prijaviUPregledniku(const OAuthPruzatelj& p, int cekanjeMs, QWidget* roditelj) {
  OAuthTokeni t;
  QOAuth2AuthorizationCodeFlow tok;
  auto* slusatelj = new QOAuthHttpServerReplyHandler(QHostAddress::LocalHost, 0, &tok);
  if (!slusatelj->isListening()) {
    t.greska = QStringLiteral("Nije moguće otvoriti lokalni port za povratak iz preglednika.");
    return t;
  }
  slusatelj->setCallbackText(kStranica);
  tok.setReplyHandler(slusatelj);
  tok.setAuthorizationUrl(p.autorizacija);
  tok.setAccessTokenUrl(p.token);
  tok.setScope(p.opseg);
  tok.setClientIdentifier(p.klijent.trimmed());
  if (!p.tajna.isEmpty()) tok.setClientIdentifierSharedKey(p.tajna);
  // PKCE (RFC 7636): this Qt has no switch for it, so through the parameter hook.
  const QByteArray verifier = base64url(nasumicno(32));
  const QByteArray challenge = base64url(QCryptographicHash::hash(verifier, QCryptographicHash::Sha256));
  tok.setModifyParametersFunction([&](QAbstractOAuth::Stage s, QMultiMap<QString, QVariant>* par) {
    if (s == QAbstractOAuth::Stage::RequestingAuthorization) {
      par->insert(QStringLiteral("code_challenge"), QString::fromLatin1(challenge));
      par->insert(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
    } else if (s == QAbstractOAuth::Stage::RequestingAccessToken) {
      par->insert(QStringLiteral("code_verifier"), QString::fromLatin1(verifier));
    }
  });
  QEventLoop petlja;
  const auto kraj = [&](const QString& greska) {
    if (t.greska.isEmpty()) t.greska = greska;
    petlja.quit();
  };
  // Qt drops a redirect of the wrong state without a word: say it, and stop waiting.
  QObject::connect(slusatelj, &QAbstractOAuthReplyHandler::callbackReceived, &petlja, [&](const QVariantMap& v) {
    if (v.contains(QStringLiteral("error")))
      kraj(QStringLiteral("Pružatelj je odbio prijavu: %1 %2")
               .arg(v.value(QStringLiteral("error")).toString(),
                    v.value(QStringLiteral("error_description")).toString()));
    else if (v.value(QStringLiteral("state")).toString() != tok.state())
      kraj(QStringLiteral("Odgovor preglednika ne pripada ovoj prijavi (state se ne slaže), prijava je odbijena."));
  });
  QObject::connect(&tok, &QAbstractOAuth::requestFailed, &petlja,
                   [&] { kraj(QStringLiteral("Pružatelj nije izdao token.")); });
  QObject::connect(&tok, &QAbstractOAuth::granted, &petlja, [&] { petlja.quit(); });
  QObject::connect(&tok, &QAbstractOAuth::authorizeWithBrowser, &petlja, otvoriPreglednik);
  QTimer::singleShot(cekanjeMs, &petlja, [&] { kraj(QStringLiteral("Prijava nije dovršena na vrijeme.")); });
  // The browser may never come back (closed, or sent elsewhere): the user can stop waiting.
  std::unique_ptr<QProgressDialog> cekanje;
  if (roditelj) {
    cekanje = std::make_unique<QProgressDialog>(QStringLiteral("Prijava je otvorena u pregledniku; dovršite je tamo."),
                                                QStringLiteral("Odustani"), 0, 0, roditelj);
    cekanje->setObjectName(QStringLiteral("dlgCekanjePrijave"));
    cekanje->setWindowTitle(QStringLiteral("Prijava"));
    cekanje->setWindowModality(Qt::WindowModal);
    cekanje->setAutoReset(false);
    cekanje->setAutoClose(false);
    QObject::connect(cekanje.get(), &QProgressDialog::canceled, &petlja, [&] {
      t.odustao = true;
      kraj(QStringLiteral("Prijava je prekinuta."));
    });
    cekanje->show();
  }
  tok.grant();
  petlja.exec();
  cekanje.reset();
  // The listener answers the browser after saying what came: let that page go out.
  QTimer::singleShot(200, &petlja, &QEventLoop::quit);
  petlja.exec();
  if (!t.greska.isEmpty() || tok.status() != QAbstractOAuth::Status::Granted || tok.token().isEmpty()) {
    if (t.greska.isEmpty()) t.greska = QStringLiteral("Pružatelj nije izdao token.");
    return t;
  }
  t.pristupni = tok.token();
  t.osvjezavajuci = tok.refreshToken();
  t.istek = tok.expirationAt();
  if (t.osvjezavajuci.isEmpty())
    t.greska = QStringLiteral("Pružatelj nije izdao token za obnovu (opseg offline_access?).");
  return t;
}

// By hand rather than through the flow: its refresh reports no invalid_grant in this Qt.
OAuthTokeni osvjeziToken(const OAuthPruzatelj& p, const QString& osvjezavajuci) {
  OAuthTokeni t;
  QNetworkAccessManager nam;
  QNetworkRequest zahtjev(p.token);
  zahtjev.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
  zahtjev.setTransferTimeout(30000);
  QUrlQuery q;
  q.addQueryItem(QStringLiteral("grant_type"), QStringLiteral("refresh_token"));
  q.addQueryItem(QStringLiteral("refresh_token"), osvjezavajuci);
  q.addQueryItem(QStringLiteral("client_id"), p.klijent.trimmed());
  if (!p.tajna.isEmpty()) q.addQueryItem(QStringLiteral("client_secret"), p.tajna);
  QByteArray tijelo = q.toString(QUrl::FullyEncoded).toUtf8();
  tijelo.replace('+', "%2B");  // QUrlQuery leaves '+', which a form decoder reads as a blank
  QNetworkReply* r = nam.post(zahtjev, tijelo);
  QEventLoop petlja;
  QObject::connect(r, &QNetworkReply::finished, &petlja, &QEventLoop::quit);
  petlja.exec();
  const QJsonObject o = QJsonDocument::fromJson(r->readAll()).object();
  const QString greska = o.value(QStringLiteral("error")).toString();
  if (greska == QLatin1String("invalid_grant")) {
    t.ponovnaPrijava = true;
    t.greska = kPrijavaIstekla;
  } else if (!greska.isEmpty() || o.value(QStringLiteral("access_token")).toString().isEmpty()) {
    t.greska = QStringLiteral("Obnova prijave nije uspjela: %1").arg(greska.isEmpty() ? r->errorString() : greska);
  } else {
    t.pristupni = o.value(QStringLiteral("access_token")).toString();
    // A provider that rotates refresh tokens sends a new one; others keep the old.
    t.osvjezavajuci = o.value(QStringLiteral("refresh_token")).toString(osvjezavajuci);
    const int traje = o.value(QStringLiteral("expires_in")).toInt(3600);
    t.istek = QDateTime::currentDateTimeUtc().addSecs(traje);
  }
  r->deleteLater();
  return t;
}

namespace {
bool zapamti(const QString& kljuc, const OAuthTokeni& t, QString* greska) {
  if (t.osvjezavajuci.isEmpty()) return true;
  if (!writeSecret(kljuc, t.osvjezavajuci, nullptr, greska)) return false;
  pristupi().insert(kljuc, {t.pristupni, t.istek, QDateTime::currentDateTimeUtc().secsTo(t.istek)});
  return true;
}
}  // namespace

bool prijavi(const OAuthPruzatelj& p, const QString& kljuc, QString* greska, QWidget* roditelj) {
  if (!p.potpun()) {
    if (greska) *greska = QStringLiteral("Upišite adrese pružatelja i ID klijenta.");
    return false;
  }
  const OAuthTokeni t = prijaviUPregledniku(p, 300000, roditelj);
  if (!t.greska.isEmpty()) {
    if (greska) *greska = t.odustao ? QString() : t.greska;
    return false;
  }
  return zapamti(kljuc, t, greska);
}

QString pristupniToken(const OAuthPruzatelj& p, const QString& kljuc, QString* greska) {
  const auto sada = QDateTime::currentDateTimeUtc();
  if (const auto it = pristupi().constFind(kljuc); it != pristupi().cend() && it->istek.isValid()) {
    // Renewed when it ends within five minutes, as a run may take that long; a token that
    // lives shorter than that is renewed in its second half, not before every use.
    if (sada.secsTo(it->istek) > qMin<qint64>(300, it->trajanje / 2)) return it->token;
  }
  const SecretRead s = readSecret(kljuc);
  if (s.status != SecretRead::Found) {
    // Never signed in, or signed out: the same to the user.
    if (greska)
      *greska =
          s.status == SecretRead::Missing ? kPrijavaIstekla : kPrijavaIstekla + QStringLiteral(" (%1)").arg(s.error);
    return {};
  }
  const OAuthTokeni t = osvjeziToken(p, s.secret);
  if (!t.greska.isEmpty()) {
    if (t.ponovnaPrijava) odjavi(kljuc);
    if (greska) *greska = t.greska;
    return {};
  }
  if (!zapamti(kljuc, t, greska)) return {};
  return t.pristupni;
}

bool prijavljen(const QString& kljuc) { return readSecret(kljuc).status == SecretRead::Found; }

void odjavi(const QString& kljuc) {
  pristupi().remove(kljuc);
  deleteSecret(kljuc);
}

}  // namespace platform
