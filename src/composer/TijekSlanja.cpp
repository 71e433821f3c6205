// The send run: one message, or one per record over rounds (the first, then up to three
// for the records refused for now), and the log of every attempt.
#include "composer/TijekSlanja.h"

#include <QDateTime>
#include <QTime>
#include <algorithm>
#include <utility>

#include "composer/OsobnaPolja.h"
#include "composer/PlanDostave.h"
#include "composer/PoljaZapisa.h"
#include "mail/clsSendMail.h"

namespace composer {

TijekSlanja::TijekSlanja(mail::clsSendMail& motor, QObject* parent) : QObject(parent), m_(motor) {
  connect(&m_, &mail::clsSendMail::SendFailed, this, &TijekSlanja::naNeuspjeh);
  connect(&m_, &mail::clsSendMail::SendSuccesful, this, [this] { uspjeh_ = true; });
  connect(&m_, &mail::clsSendMail::DataEnding, this, &TijekSlanja::naPredaji, Qt::DirectConnection);
  connect(&poslano_, &KopijeUPoslanom::najava, this, &TijekSlanja::najava);
}

void TijekSlanja::zaustavi() {
  zaustavi_ = true;
  tempo_.prekini();
}

QString TijekSlanja::predmet() const { return rs_ ? popuniPolja(p_.predmet, *rs_, OblikPolja::Tekst) : p_.predmet; }

QString TijekSlanja::tijelo() const { return rs_ ? popuniPolja(p_.html, *rs_, OblikPolja::Html) : p_.html; }

void TijekSlanja::pocni(const PorukaZaSlanje& p, RutaSlanja ruta, const QString& host, bool zapisi) {
  p_ = p;
  ruta_ = ruta;
  host_ = host;
  postavke_ = CitajPostavkeSlanja();
  tempo_.pocni(zapisi ? postavke_.porukaUMinuti : 0);
  odgovor_.clear();
  razmjena_.clear();
  tihi_ = false;
  poslanih_ = neuspjelih_ = pokušano_ = zapisa_ = 0;
  odgođeni_.clear();
  kopijeNeuspjele_.clear();
  izravni_.clear();
  kopije_ = {p.cc, p.bcc};
  ponavljanje_ = zaustavi_ = prekinut_ = odgodivo_ = odgodiOstale_ = false;
  rs_.reset();
  poslano_.pocni(ruta != RutaSlanja::Klijent, zapisi);
}

std::optional<bool> TijekSlanja::posaljiPojedinacno(const PorukaZaSlanje& p, RutaSlanja ruta, const QString& host) {
  pocni(p, ruta, host, false);
  emit domene({});
  bool poslano = false;
  if (ruta == RutaSlanja::Izravno) {
    posaljiIzravno(p.to, p.cc, p.bcc, &poslano);  // sent when any domain took it
  } else if (ruta == RutaSlanja::Klijent) {
    poslano = posaljiKlijentu(p.to, p.cc, p.bcc);
  } else {
    if (!pripremiMotor(host, true)) return std::nullopt;
    poslano = posaljiPosluzitelju(p.to, p.cc, p.bcc);
    razmjena_ = poslano ? QStringList() : m_.lastExchange();
  }
  m_.Disconnect();
  zabilježiPojedinačno(poslano);
  poslano_.spremi(dnevnik_, p.predmet, p.od, p.imeOd);
  return poslano;
}

IshodSlanja TijekSlanja::posaljiZapise(const PorukaZaSlanje& p, RutaSlanja ruta, const QString& host,
                                       const platform::RecordSet& rs, bool brisiPoslane, bool samoPreostali) {
  pocni(p, ruta, host, true);
  samoPreostali_ = samoPreostali;
  brisiPoslane_ = brisiPoslane;
  zapisiPokrenuti_ = true;
  // The records this run sets out to send: not those that went already.
  for (platform::RecordSet r = rs.Clone(); !r.Eof(); r.MoveNext())
    zapisa_ +=
        (samoPreostali && dnevnik_.poslan(r.Bookmark())) || p.vecPoslani.contains(r.Bookmark().toLongLong()) ? 0 : 1;
  otvoriZapisnik(samoPreostali);
  rs_ = rs.Clone();
  if (rs_->RecordCount() < 1) prekinut_ = true;
  for (int k = 0; !prekinut_ && krug() && pripremiPonavljanje(k); ++k) {
  }
  m_.Disconnect();
  IshodSlanja i;
  i.poslanih = poslanih_;
  i.neuspjelih = neuspjelih_;
  i.odgođenih = int(odgođeni_.size());
  i.nijePokušano = std::max(0, zapisa_ - pokušano_);
  i.prekinut = prekinut_;
  i.zaustavljen = zaustavi_;
  i.nastavakNakonGreške = postavke_.nastaviNakonGreške;
  i.kopijeNeuspjele = kopijeNeuspjele_;
  rs_.reset();
  // Every record went: the same mailing sent again later is a new one.
  if (slanje_ && !prekinut_ && !zaustavi_ && neuspjelih_ == 0 && odgođeni_.isEmpty() && p.bezPriloga.isEmpty())
    zapisnik_.zavrsi(slanje_);
  poslano_.spremi(dnevnik_, p.predmet, p.od, p.imeOd);
  return i;
}

std::optional<PrekinutoSlanje> TijekSlanja::prekinutoSlanje(const PorukaZaSlanje& p, const platform::RecordSet& rs) {
  const std::optional<ZapisnikSlanja::Prekinuto> z = zapisnik_.prekinuto(otisakSlanja(p));
  if (!z) return std::nullopt;
  PrekinutoSlanje s{z->id, int(z->poslani.size()), int(z->poslani.size()), {}};
  const QStringList polja = poljaSlanja(p);
  for (platform::RecordSet r = rs.Clone(); !r.Eof(); r.MoveNext()) {
    if (z->poslani.contains(kljucZapisa(r, polja))) s.poslani.insert(r.Bookmark().toLongLong());
    else ++s.ukupno;
  }
  // None of these customers got it: taking the run up or not sends the same.
  if (s.poslani.isEmpty()) return std::nullopt;
  return s;
}

// A run of its own, or the one it takes up; "Pošalji preostalima" goes on with the last.
void TijekSlanja::otvoriZapisnik(bool samoPreostali) {
  if (samoPreostali && slanje_) return;
  poljaKljuca_ = poljaSlanja(p_);
  slanje_ = p_.nastavlja ? p_.nastavlja : zapisnik_.zapocni(otisakSlanja(p_));
  if (!slanje_)
    emit neuspjeh(QStringLiteral("Poslane poruke ne mogu se zabilježiti (%1). Prekinuto slanje neće se moći "
                                 "nastaviti bez ponovnog slanja.")
                      .arg(zapisnik_.greska()));
}

// A record's message about to reach the server is in the journal before its last byte goes.
void TijekSlanja::naPredaji() {
  if (!rs_ || !slanje_ || predano_) return;
  predano_ = true;
  // Told once the engine has returned: no box while it is busy.
  greškaPredaje_ =
      !zapisnik_.predaj(slanje_, kljucZapisa(*rs_, poljaKljuca_), tekstPolja(*rs_, QStringLiteral("EMail")));
}

// Before the next message goes, and before the record is deleted from the host's set.
void TijekSlanja::zabilježiUZapisnik(bool poslano, const QString& adresa, const QString& odgovor) {
  const bool predano = std::exchange(predano_, false);
  if (std::exchange(greškaPredaje_, false)) return greškaZapisnika();
  if (!slanje_ || (!poslano && !predano)) return;
  const QString kljuc = kljucZapisa(*rs_, poljaKljuca_);
  if (!(poslano ? zapisnik_.zabiljezi(slanje_, kljuc, adresa, odgovor) : zapisnik_.odbaci(slanje_, kljuc)))
    greškaZapisnika();
}

void TijekSlanja::greškaZapisnika() {
  emit neuspjeh(QStringLiteral("Poslana poruka ne može se zabilježiti (%1). Prekinuto slanje neće se moći "
                               "nastaviti bez ponovnog slanja.")
                    .arg(zapisnik_.greska()));
  slanje_ = 0;
}

// One round over the records; false when it ended the run at a failure.
bool TijekSlanja::krug() {
  if (!otvoriKrug()) return !prekinut_;
  emit zapisi(int(rs_->RecordCount()));
  rs_->MoveFirst();
  while (!rs_->Eof() && !zaustavi_) {
    if (!pripremiPokušaj()) continue;
    const QString adresa = normaliziraneAdrese(tekstPolja(*rs_, QStringLiteral("EMail")));
    const QString ime = tekstPolja(*rs_, QStringLiteral("Ime"));
    const QString linija = ime + QLatin1Char(' ') + adresa;
    const Pokušaj r = posaljiZapisu(adresa, ime);
    const bool odgođen = zabilježiZapis(r, adresa, ime);
    if (r.poslano) {
      emit poslano(linija);
      if (brisiPoslane_) rs_->Delete();
    } else {
      emit neuspjelo(odgođen ? linija + QStringLiteral(" (odgođeno)") : linija);
      if (!nastaviNakonNeuspjeha(odgođen)) {
        m_.Disconnect();
        prekinut_ = true;
        emit prekida();
        return false;
      }
    }
    emit zapisObradjen();
    rs_->MoveNext();
    if (odgodiOstale_) odgodiOstale();
  }
  m_.Disconnect();
  return true;
}

// A round's start. The configured server's session: in a retry round a server still away
// for now leaves the deferred records for the next round, silently; otherwise the failure
// is shown and the run ends.
bool TijekSlanja::otvoriKrug() {
  if (ruta_ == RutaSlanja::Klijent) return true;
  if (ruta_ == RutaSlanja::Izravno) return emit kopijeUzete(), true;
  if (!pripremiMotor(host_, true)) return prekinut_ = true, false;
  // Every round sends the run's copies, though the window's boxes are emptied by the first.
  m_.setCcRecipient(kopije_.first);
  m_.setBccRecipient(kopije_.second);
  m_.setCcDisplayName(QString());
  postaviPoruku(p_.predmet);
  odgodivo_ = ponavljanje_;
  const bool spojen = spojiSe();
  odgodivo_ = false;
  if (!spojen && !(ponavljanje_ && m_.lastFailureTemporary())) prekinut_ = true;
  if (spojen) emit kopijeUzete();
  return spojen;
}

// Deferred records get up to three more rounds, odgodaPonavljanjaMs apart; the event loop
// runs meanwhile and zaustavi() ends the wait. True: another round is due.
bool TijekSlanja::pripremiPonavljanje(int krug) {
  if (odgođeni_.isEmpty() || zaustavi_ || prekinut_ || krug >= 3) return false;
  const QTime kada = QTime::currentTime().addMSecs(odgodaPonavljanjaMs);
  emit najava(QStringLiteral("Odgođene poruke (%1) ponovno u ").arg(odgođeni_.size()) +
              kada.toString(QStringLiteral("HH:mm:ss")));
  if (!tempo_.pricekajMs(odgodaPonavljanjaMs)) return false;
  ponavljanje_ = true;
  return true;
}

// False: the record is not to be tried (it went already, or the run stops); the cursor
// has moved on then.
bool TijekSlanja::pripremiPokušaj() {
  if (preskočiZapis(rs_->Bookmark())) {
    emit zapisObradjen();
    rs_->MoveNext();
    return false;
  }
  if (tempo_.preostalo() > 0)
    emit najava(QStringLiteral("Sljedeća poruka u ") + tempo_.sljedeca().toString(QStringLiteral("HH:mm:ss")));
  tempo_.pricekaj();
  if (zaustavi_) return false;
  odgovor_.clear();
  predano_ = false;
  tihi_ = postavke_.nastaviNakonGreške;
  odgodivo_ = ruta_ != RutaSlanja::Klijent;
  privremeno_ = false;
  if (!ponavljanje_) ++pokušano_;
  return true;
}

// A record not to be tried: one that went already (in this window, or in the run cut short
// that this one takes up: deleted now with "Briši poslane"), one whose own files are missing,
// and in a retry round any record not deferred.
bool TijekSlanja::preskočiZapis(const QVariant& b) {
  if (ponavljanje_) return !odgođeni_.contains(b.toLongLong());
  if (samoPreostali_ && dnevnik_.poslan(b)) return true;
  if (p_.vecPoslani.contains(b.toLongLong())) {
    if (brisiPoslane_) rs_->Delete();
    return true;
  }
  if (!p_.bezPriloga.contains(b.toLongLong())) return false;
  const QString adresa = tekstPolja(*rs_, QStringLiteral("EMail")), ime = tekstPolja(*rs_, QStringLiteral("Ime"));
  dnevnik_.dodaj({QDateTime::currentDateTime(), adresa, ime, false, QStringLiteral("Nedostaje privitak."), false, {}});
  emit neuspjelo(ime + QLatin1Char(' ') + adresa + QStringLiteral(" (nedostaje privitak)"));
  return true;
}

TijekSlanja::Pokušaj TijekSlanja::posaljiZapisu(const QString& adresa, const QString& ime) {
  if (ruta_ == RutaSlanja::Klijent) return {posaljiKlijentu(adresa, QString(), QString()), false};
  if (ruta_ == RutaSlanja::Izravno) {
    IzravniZapis& z = izravniZapis(adresa);
    z.privremeno = false;
    bool ijedna = false;
    const bool poslano = posaljiIzravno(adresa, kopije_.first, kopije_.second, &ijedna, &z);
    return {poslano, z.privremeno};
  }
  m_.setRecipient(adresa);
  m_.setRecipientDisplayName(ime);
  m_.setSubject(predmet());
  m_.setAttachment(prilozi());
  postaviTijelo();
  const bool poslano = posaljiJednu();
  razmjena_ = poslano ? QStringList() : m_.lastExchange();
  return {poslano, odgodivo_ && privremeno_};
}

// After a failed record: whether the run goes on. Direct delivery always does. On the
// configured server a failure has ended the session: a deferred record's next one gets a
// new session (a server away for now defers the rest); after a refusal the run goes on
// only with "Nastavi nakon greške" and a new session.
bool TijekSlanja::nastaviNakonNeuspjeha(bool odgođen) {
  if (ruta_ == RutaSlanja::Izravno) return true;
  if (odgođen) {
    odgodivo_ = true;
    const bool spojen = spojiSe();
    odgodivo_ = false;
    if (!spojen && !m_.lastFailureTemporary()) return false;
    odgodiOstale_ = !spojen;
    return true;
  }
  if (!postavke_.nastaviNakonGreške) return false;
  return ruta_ != RutaSlanja::Posluzitelj || spojiSe();
}

// The server went away for now: the records not yet tried wait for the next round.
void TijekSlanja::odgodiOstale() {
  odgodiOstale_ = false;
  for (; !rs_->Eof(); rs_->MoveNext()) {
    const QVariant b = rs_->Bookmark();
    if (ponavljanje_ || (samoPreostali_ && dnevnik_.poslan(b))) continue;
    odgođeni_.insert(b.toLongLong());
    ++pokušano_;
  }
}

TijekSlanja::IzravniZapis& TijekSlanja::izravniZapis(const QString& adresa) {
  IzravniZapis& z = izravni_[rs_->Bookmark().toLongLong()];
  for (const QString& a : razdvojiAdrese(adresa)) z.vlastite.insert(a.section(QLatin1Char('@'), -1).toLower());
  return z;
}

// Before the record is deleted: its bookmark is how later runs know it went. True when
// the record was deferred rather than failed.
bool TijekSlanja::zabilježiZapis(const Pokušaj& p, const QString& adresa, const QString& ime) {
  tihi_ = false;
  odgodivo_ = false;
  const QString odgovor = odgovor_.join(QStringLiteral("\r\n"));
  const qint64 bookmark = rs_->Bookmark().toLongLong();
  const bool odgođen = p.privremeno && !p.poslano;
  dnevnik_.dodaj(
      {QDateTime::currentDateTime(), adresa, ime, p.poslano, odgovor, odgođen, p.poslano ? QStringList() : razmjena_});
  poslano_.zabilježi(p.poslano, ime, adresa);
  razmjena_.clear();
  odgovor_.clear();
  zabilježiUZapisnik(p.poslano, adresa, odgovor);
  if (p.poslano) {
    dnevnik_.zapisPoslan(*rs_);
    odgođeni_.remove(bookmark);
    ++poslanih_;
  } else if (odgođen) {
    odgođeni_.insert(bookmark);
  } else {
    odgođeni_.remove(bookmark);
    dnevnik_.zapisNeuspio(*rs_, odgovor);
    ++neuspjelih_;
  }
  return odgođen;
}

void TijekSlanja::zabilježiPojedinačno(bool poslano) {
  QStringList adrese;
  for (const QString& polje : {p_.to, p_.cc, p_.bcc}) adrese << razdvojiAdrese(polje);
  dnevnik_.dodaj({QDateTime::currentDateTime(), adrese.join(QLatin1Char(';')), QString(), poslano,
                  odgovor_.join(QStringLiteral("\r\n")), false, poslano ? QStringList() : razmjena_});
  poslano_.zabilježi(poslano, QString(), adrese.join(QLatin1Char(';')));
  odgovor_.clear();
  razmjena_.clear();
}

void TijekSlanja::zabilježiOdgovor(const QString& odgovor) {
  if (!odgovor.isEmpty()) odgovor_ << odgovor;
}

void TijekSlanja::zabilježiKopije(const QString& domena, const QString& razlog) {
  const QString linija = domena + QStringLiteral(": ") + razlog.trimmed();
  if (!kopijeNeuspjele_.contains(linija)) kopijeNeuspjele_ << linija;
}

}  // namespace composer
