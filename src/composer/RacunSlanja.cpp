#include "composer/RacunSlanja.h"

#include "composer/PostavkeComposera.h"
#include "mail/ImapAppend.h"
#include "mail/clsSendMail.h"
#include "platform/Dialogs.h"
#include "platform/RegistryStore.h"
#include "platform/SecretStore.h"

namespace composer {

std::optional<RacunSlanja> CitajRacun() {
  const QString port = CitajPostavku(QStringLiteral("SMTPPORT"));
  const QString prijava = CitajPostavku(QStringLiteral("SMTPLOGIN"));
  if (port.isEmpty() && prijava.isEmpty()) return std::nullopt;
  RacunSlanja r;
  const QStringList p = PoljaPostavke(port);
  bool ok = false;
  if (const int n = p[0].trimmed().toInt(&ok); ok && n > 0 && n < 65536) r.port = n;
  if (const int s = p[1].trimmed().toInt(&ok); ok && s >= 0 && s <= 3) r.sigurnost = s;
  // The user name is all after the first "%": it may hold one.
  const qsizetype i = prijava.indexOf(QLatin1Char('%'));
  r.prijava = prijava.left(i).compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
  r.korisnik = i < 0 ? QString() : prijava.mid(i + 1);
  r.oauth = CitajPostavku(QStringLiteral("SMTPOAUTH")).trimmed().toLower();
  return r;
}

bool SpremiRacun(const RacunSlanja& r, QWidget* parent) {
  return SpremiPostavku(QStringLiteral("SMTPPORT"),
                        QString::number(r.port) + QLatin1Char('%') + QString::number(r.sigurnost), parent) &&
         SpremiPostavku(QStringLiteral("SMTPLOGIN"),
                        (r.prijava ? QStringLiteral("True") : QStringLiteral("False")) + QLatin1Char('%') + r.korisnik,
                        parent) &&
         // Stored only once used, as a store of an earlier version has none.
         ((r.oauth.isEmpty() && CitajPostavku(QStringLiteral("SMTPOAUTH")).isEmpty()) ||
          SpremiPostavku(QStringLiteral("SMTPOAUTH"), r.oauth, parent));
}

platform::OAuthPruzatelj pruzateljRacuna(const QString& oauth) {
  platform::OAuthPruzatelj p;
  if (oauth == QLatin1String("microsoft")) {
    p = platform::pruzateljMicrosoft();
  } else if (oauth == QLatin1String("google")) {
    p = platform::pruzateljGoogle();
  } else {
    const QStringList a = CitajPostavku(QStringLiteral("OAUTHDRUGIADRESE")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    p.naziv = QStringLiteral("drugi pružatelj");
    if (a.size() > 0) p.autorizacija = QUrl(a[0]);
    if (a.size() > 1) p.token = QUrl(a[1]);
    p.opseg = a.mid(2).join(QLatin1Char(' '));
  }
  // The client ID has no "%"; a secret may.
  const QString klijent = CitajPostavku(QStringLiteral("OAUTH") + oauth.toUpper());
  const qsizetype i = klijent.indexOf(QLatin1Char('%'));
  p.klijent = klijent.left(i).trimmed();
  p.tajna = i < 0 ? QString() : klijent.mid(i + 1);
  return p;
}

bool SpremiPruzatelja(const QString& oauth, const platform::OAuthPruzatelj& p, QWidget* parent) {
  const QString klijent = p.klijent.trimmed() + (p.tajna.isEmpty() ? QString() : QLatin1Char('%') + p.tajna);
  // The administrator's values stay in the machine-wide file until the user types others.
  if (klijent != CitajPostavku(QStringLiteral("OAUTH") + oauth.toUpper()) &&
      !SpremiPostavku(QStringLiteral("OAUTH") + oauth.toUpper(), klijent, parent))
    return false;
  if (oauth != QLatin1String("drugi")) return true;
  const QString adrese =
      QStringList{p.autorizacija.toString(), p.token.toString(), p.opseg}.join(QLatin1Char(' ')).trimmed();
  return adrese == CitajPostavku(QStringLiteral("OAUTHDRUGIADRESE")) ||
         SpremiPostavku(QStringLiteral("OAUTHDRUGIADRESE"), adrese, parent);
}

QString kljucOAuth(const QString& korisnik, const QString& oauth) {
  return QStringLiteral("oauth:") + oauth + QLatin1Char(':') + korisnik.trimmed();
}

QString kljucLozinke(const QString& korisnik, const QString& server) {
  return korisnik.trimmed() + QLatin1Char('@') + server.trimmed();
}

bool primijeniRacun(mail::clsSendMail& m, bool posluzitelj, QString* razlog) {
  const std::optional<RacunSlanja> spremljen = CitajRacun();
  // Without an account the engine keeps what it has (its defaults, or Kestrova.ini's).
  if (posluzitelj && !spremljen) return true;
  const RacunSlanja r = posluzitelj ? *spremljen : RacunSlanja{};
  QString lozinka, token;
  if (r.prijava && !r.oauth.isEmpty()) {
    QString greska;
    token = platform::pristupniToken(pruzateljRacuna(r.oauth), kljucOAuth(r.korisnik, r.oauth), &greska);
    if (token.isEmpty()) {
      if (razlog) *razlog = greska;
      return false;
    }
  } else if (r.prijava) {
    // The server as typed: the engine may hold it resolved.
    const QString kljuc = kljucLozinke(r.korisnik, PoljaPostavke(CitajPostavku(QStringLiteral("SMTPIP")))[0]);
    const platform::SecretRead l = platform::readSecret(kljuc);
    if (l.status != platform::SecretRead::Found) {
      if (razlog)
        *razlog = (l.status == platform::SecretRead::Missing
                       ? QStringLiteral("Lozinka za %1 nije spremljena. Upišite je u Pogled->Postavke.")
                       : QStringLiteral("Lozinka za %1 nije pročitana (%2). Poruke nisu poslane."))
                      .arg(kljuc, l.error);
      return false;
    }
    lozinka = l.secret;
  }
  // The account is the composer's: it must not become velkor-sendmail's stored settings.
  const bool trajno = m.PersistentSettings();
  if (trajno) m.setPersistentSettings(false);
  m.setSmtpPort(r.port);
  m.setSecureConnection(r.sigurnost);
  m.setUseAuthentication(r.prijava);
  m.setUserName(r.prijava ? r.korisnik.trimmed() : QString());
  m.setPassword(lozinka);
  m.setOAuthToken(token);
  if (trajno) m.setPersistentSettings(true);
  return true;
}

namespace {
bool istina(const QString& polje) { return polje.trimmed().compare(QLatin1String("True"), Qt::CaseInsensitive) == 0; }
QString daNe(bool da) { return da ? QStringLiteral("True") : QStringLiteral("False"); }

// The password under kljuc, else why there is none.
bool lozinkaIz(const QString& kljuc, QString* lozinka, QString* razlog) {
  const platform::SecretRead l = platform::readSecret(kljuc);
  if (l.status == platform::SecretRead::Found) return *lozinka = l.secret, true;
  *razlog = (l.status == platform::SecretRead::Missing ? QStringLiteral("lozinka za %1 nije spremljena")
                                                       : QStringLiteral("lozinka za %1 nije pročitana (%2)"))
                .arg(kljuc, l.error);
  return false;
}
}  // namespace

RacunPoslano CitajRacunPoslano() {
  const QStringList f = CitajPostavku(QStringLiteral("IMAPPOSLANO")).split(QLatin1Char('%'));
  RacunPoslano r;
  r.ukljuceno = istina(f.value(0));
  r.server = f.value(1).trimmed();
  if (const int n = f.value(2).toInt(); n > 0 && n < 65536) r.port = n;
  r.sigurnost = f.value(3).trimmed() == QLatin1String("2") ? 2 : 3;
  r.istaPrijava = f.size() < 5 || istina(f.value(4));
  r.jednaKopija = istina(f.value(5));
  r.korisnik = CitajPostavku(QStringLiteral("IMAPKORISNIK")).trimmed();
  r.mapa = CitajPostavku(QStringLiteral("IMAPMAPA")).trimmed();
  return r;
}

bool SpremiRacunPoslano(const RacunPoslano& r, QWidget* parent) {
  const QStringList f{daNe(r.ukljuceno),   r.server.trimmed(), QString::number(r.port), QString::number(r.sigurnost),
                      daNe(r.istaPrijava), daNe(r.jednaKopija)};
  return SpremiPostavku(QStringLiteral("IMAPPOSLANO"), f.join(QLatin1Char('%')), parent) &&
         SpremiPostavku(QStringLiteral("IMAPKORISNIK"), r.korisnik.trimmed(), parent) &&
         SpremiPostavku(QStringLiteral("IMAPMAPA"), r.mapa.trimmed(), parent);
}

// Apart from the sending account's: the same user on the same server may have two passwords.
QString kljucLozinkeImap(const QString& korisnik, const QString& server) {
  return QStringLiteral("imap:") + kljucLozinke(korisnik, server);
}

bool prijavaPoslano(const RacunPoslano& r, mail::ImapParams* p, QString* razlog) {
  if (r.server.isEmpty()) return *razlog = QStringLiteral("nije upisan IMAP poslužitelj"), false;
  p->host = r.server;
  p->port = r.port;
  p->implicitTls = r.sigurnost == 3;
  p->mailbox = r.mapa;
  if (!r.istaPrijava) {
    p->user = r.korisnik;
    return lozinkaIz(kljucLozinkeImap(r.korisnik, r.server), &p->password, razlog);
  }
  const std::optional<RacunSlanja> s = CitajRacun();
  // Direct delivery logs in nowhere: the account stored from before is not in use.
  const QString smtp = PoljaPostavke(CitajPostavku(QStringLiteral("SMTPIP")))[0].trimmed();
  if (!s || !s->prijava || s->korisnik.trimmed().isEmpty() || smtp.isEmpty() ||
      smtp.compare(QLatin1String("FIND"), Qt::CaseInsensitive) == 0)
    return *razlog = QStringLiteral("slanje ide bez prijave na poslužitelj; upišite korisnika i lozinku za IMAP"),
           false;
  p->user = s->korisnik.trimmed();
  if (s->oauth.isEmpty()) return lozinkaIz(kljucLozinke(s->korisnik, smtp), &p->password, razlog);
  p->bearerToken = platform::pristupniToken(pruzateljRacuna(s->oauth), kljucOAuth(s->korisnik, s->oauth), razlog);
  return !p->bearerToken.isEmpty();
}

// The last refusal in the trace, paired with its command by counting final reply lines in
// order (a pipelined MAIL, RCPT and DATA are answered in that order; QUIT comes after it).
QString korakNeuspjeha(const mail::clsSendMail& m, const QString& objasnjenje) {
  if (m.lastFailureAtConnect()) return QStringLiteral("povezivanje");
  if (objasnjenje.contains(QLatin1String("STARTTLS")))
    return QStringLiteral("TLS: poslužitelj ne nudi STARTTLS, lozinka nije poslana");
  if (objasnjenje.contains(QLatin1String("TLS"))) return QStringLiteral("TLS");
  if (objasnjenje.contains(QLatin1String("Login"))) return QStringLiteral("prijava");
  QStringList naredbe{QStringLiteral("CONNECT")};
  QString odgovorena;
  for (const QString& l : m.lastExchange()) {
    if (l.startsWith(QLatin1String("C: "))) {
      naredbe << l.mid(3).section(QLatin1Char(' '), 0, 0).toUpper();
    } else if (l.startsWith(QLatin1String("S: ")) && l.size() > 6 && l.at(6) != QLatin1Char('-')) {
      const QString naredba = naredbe.isEmpty() ? QString() : naredbe.takeFirst();
      if (l.at(3) == QLatin1Char('4') || l.at(3) == QLatin1Char('5')) odgovorena = naredba;
    }
  }
  if (odgovorena == QLatin1String("CONNECT")) return QStringLiteral("povezivanje");
  if (odgovorena == QLatin1String("STARTTLS")) return QStringLiteral("TLS");
  if (odgovorena == QLatin1String("AUTH") || odgovorena == QLatin1String("***")) return QStringLiteral("prijava");
  if (odgovorena == QLatin1String("MAIL")) return QStringLiteral("pošiljatelj odbijen");
  if (odgovorena == QLatin1String("RCPT")) return QStringLiteral("primatelj odbijen");
  return QStringLiteral("poruka odbijena");
}

}  // namespace composer
