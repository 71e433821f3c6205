// The record runs' additions: going on past a failed record, sending to the records not
// yet sent from this window, the send log with its files and viewer, and the pace.
#include <QBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>

#include "composer/DnevnikSlanja.h"
#include "composer/PlanDostave.h"
#include "composer/PostavkeComposera.h"
#include "composer/TempoSlanja.h"
#include "composer/frmMain.h"
#include "mail/clsSendMail.h"
#include "platform/Dialogs.h"
#include "platform/RecordSet.h"
#include "ui_frmMain.h"
#include "viewers/frmPrikazTeksta.h"

struct frmMain::Tijek {
  composer::DnevnikSlanja dnevnik;
  composer::PostavkeSlanja postavke;  // read afresh at every run
  TempoSlanja tempo;
  QStringList odgovor;      // the replies and explanations of the attempt under way
  bool tihi = false;        // a failure of this attempt is logged, not boxed
  bool samoPreostali = false;
  bool zapisiPokrenuti = false;  // a record run has been started from this window
  int neuspjelih = 0;       // failed records of the run under way
  int poslanih = 0;         // sent records of the run under way, every round
  int pokušano = 0;         // records tried in the first round
  int zapisa = 0;           // records the run set out to send
  QSet<qint64> odgođeni;    // refused for now: tried again at the end of the run
  bool ponavljanje = false;  // a retry round: only the deferred records go
  bool odgodivo = false;     // the attempt under way is a record's: refused for now, it waits
  bool privremeno = false;   // the last failure was one for now (the engine's classification)
  bool zaustavi = false;     // "Zaustavi slanje": no message after the one in flight
  bool prekinut = false;     // the run ended at a failure, after its box
  QStringList kopijeNeuspjele;  // CC and BCC domains that did not take the message, once each
  QHash<qint64, frmMain::IzravniZapis> izravni;  // direct delivery, by record
  QStringList razmjena;     // the exchange that ended the attempt under way
  QPushButton* cmdZaustavi = nullptr;
  QAction* prikaži = nullptr;
  QAction* spremi = nullptr;
  QAction* spremiNeuspjele = nullptr;
};

namespace {

void okvir(QWidget* w, const QString& tekst, platform::MsgIcon ikona) {
  platform::dialogs().messageBox(w, tekst, platform::MsgButtons::Ok, ikona, platform::defaultTitle());
}

// Asks for a CSV file and writes the records there; a failure is named after what was saved.
void spremiUCsv(QWidget* w, const QString& naslov, const QString& ime, platform::RecordSet rs,
                const QString& neuspjeh) {
  platform::FileDialogOptions o;
  o.title = naslov;
  o.filter = QStringLiteral("CSV datoteke (*.csv)|*.csv|Sve datoteke (*.*)|*.*");
  o.defaultExt = QStringLiteral("csv");
  o.fileName = ime;
  o.overwritePrompt = true;
  const QString put = platform::dialogs().saveFileName(w, o);
  QString greška;
  if (!put.isEmpty() && !composer::spremiCsv(rs, put, &greška))
    okvir(w, neuspjeh + greška, platform::MsgIcon::Exclamation);
}

}  // namespace

void frmMain::poveziTijek() {
  m_tijek = std::make_shared<Tijek>();
  connect(ui->cmdPošaljiPreostalima, &QPushButton::clicked, this, &frmMain::cmdPošaljiPreostalima_Click);
  auto* izbornik = new QMenu(ui->cmdIzvještaj);
  Tijek& t = *m_tijek;
  t.prikaži = izbornik->addAction(QStringLiteral("Prikaži izvještaj o slanju"), this, &frmMain::prikažiIzvještaj);
  t.spremi = izbornik->addAction(QStringLiteral("Spremi izvještaj o slanju"), this, &frmMain::spremiIzvještaj);
  t.spremiNeuspjele = izbornik->addAction(QStringLiteral("Spremi neuspjele zapise"), this, &frmMain::spremiNeuspjele);
  t.prikaži->setObjectName(QStringLiteral("mnuPrikažiIzvještaj"));
  t.spremi->setObjectName(QStringLiteral("mnuSpremiIzvještaj"));
  t.spremiNeuspjele->setObjectName(QStringLiteral("mnuSpremiNeuspjele"));
  t.spremiNeuspjele->setEnabled(false);
  ui->cmdIzvještaj->setMenu(izbornik);
  // Stop sits beside "Pošalji preostalima" and is usable only while a run goes.
  t.cmdZaustavi = new QPushButton(QStringLiteral("Zaustavi slanje"));
  t.cmdZaustavi->setObjectName(QStringLiteral("cmdZaustavi"));
  t.cmdZaustavi->setEnabled(false);
  ui->hlGumbi->insertWidget(ui->hlGumbi->indexOf(ui->cmdPošaljiPreostalima) + 1, t.cmdZaustavi);
  connect(t.cmdZaustavi, &QPushButton::clicked, this, &frmMain::ZaustaviSlanje);
}

void frmMain::ZaustaviSlanje() {
  if (!m_uSlanju) return;
  m_tijek->zaustavi = true;
  m_tijek->tempo.prekini();
  ui->sbStatusBar->showMessage(QStringLiteral("Slanje se zaustavlja nakon poruke koja je u tijeku..."));
}

bool frmMain::SlanjeZaustavljeno() const { return m_tijek->zaustavi; }

void frmMain::pocniTijek(bool bPojedinacno) {
  Tijek& t = *m_tijek;
  t.postavke = composer::CitajPostavkeSlanja();
  t.tempo.pocni(bPojedinacno ? 0 : t.postavke.porukaUMinuti);
  t.odgovor.clear();
  t.tihi = false;
  t.neuspjelih = t.poslanih = t.pokušano = 0;
  t.zapisa = 0;
  if (m_rs)  // the records this run sets out to send: not those that went already
    for (platform::RecordSet r = m_rs->Clone(); !r.Eof(); r.MoveNext())
      t.zapisa += t.samoPreostali && t.dnevnik.poslan(r.Bookmark()) ? 0 : 1;
  t.odgođeni.clear();
  t.kopijeNeuspjele.clear();
  t.izravni.clear();
  t.razmjena.clear();
  m_kopije = {ui->txtCC->text(), ui->txtBCC->text()};
  t.ponavljanje = t.zaustavi = t.prekinut = t.odgodivo = false;
  if (!bPojedinacno) t.zapisiPokrenuti = true;
}

// Deferred records get up to three more rounds, OdgodaPonavljanjaMs apart; the window
// stays usable and counts down, and Stop ends the wait. True: another round is due.
bool frmMain::pripremiPonavljanje(int krug) {
  Tijek& t = *m_tijek;
  if (t.odgođeni.isEmpty() || t.zaustavi || t.prekinut || krug >= 3) return false;
  const QTime kada = QTime::currentTime().addMSecs(OdgodaPonavljanjaMs);
  const QString tekst = QStringLiteral("Odgođene poruke (%1) ponovno u ").arg(t.odgođeni.size()) +
                        kada.toString(QStringLiteral("HH:mm:ss"));
  ui->lblMailProgress->setText(tekst);
  ui->lblMailProgress->setVisible(true);
  ui->sbStatusBar->showMessage(tekst);
  if (!t.tempo.pricekajMs(OdgodaPonavljanjaMs)) return false;
  t.ponavljanje = true;
  return true;
}

// A record run's end: what went, what was stopped or deferred, in one box each.
void frmMain::zaključiZapise() {
  const Tijek& t = *m_tijek;
  ui->prbUk->setVisible(false);
  if (t.prekinut) return počistiNakonSlanja();
  if (t.zaustavi) {
    const int nijePokušano = std::max(0, t.zapisa - t.pokušano);
    okvir(this, QStringLiteral("Slanje je zaustavljeno. Poslano: %1, neuspjelo: %2, odgođeno: %3, nije pokušano: %4.")
                    .arg(t.poslanih).arg(t.neuspjelih).arg(t.odgođeni.size()).arg(nijePokušano),
          platform::MsgIcon::Information);
    return počistiNakonSlanja();
  }
  if (t.poslanih > 0)
    okvir(this, QStringLiteral("Uspješno poslano %1 e-mail poruka!").arg(t.poslanih), platform::MsgIcon::Exclamation);
  if (!t.odgođeni.isEmpty())
    okvir(this,
          QStringLiteral("Poslužitelj je privremeno odbio %1 e-mail poruka ni nakon ponovnih pokušaja. "
                         "Pošaljite ih kasnije s \"Pošalji preostalima\".").arg(t.odgođeni.size()),
          platform::MsgIcon::Exclamation);
  if (!t.kopijeNeuspjele.isEmpty())
    okvir(this, QStringLiteral("Kopije (CC, BCC) nisu isporučene:\r\n") + t.kopijeNeuspjele.join(QStringLiteral("\r\n")),
          platform::MsgIcon::Exclamation);
  prijaviNeuspjele();
  počistiNakonSlanja();
}

void frmMain::cmdPošaljiPreostalima_Click() {
  m_tijek->samoPreostali = true;
  const auto kraj = qScopeGuard([this] { m_tijek->samoPreostali = false; });
  cmdPošaljiPrekoRS_Click();
}

bool frmMain::pripremiPokušaj(bool odgodivo) {
  Tijek& t = *m_tijek;
  const bool preskoči = t.ponavljanje ? !t.odgođeni.contains(m_rs->Bookmark().toLongLong())
                                      : t.samoPreostali && t.dnevnik.poslan(m_rs->Bookmark());
  if (preskoči) {
    ui->prbUk->setValue(ui->prbUk->value() + 1);
    m_rs->MoveNext();
    return false;
  }
  if (t.tempo.preostalo() > 0) {
    m_odgodaNapretka.stop();  // the last message's progress must not cover the wait
    const QString tekst = QStringLiteral("Sljedeća poruka u ") + t.tempo.sljedeca().toString(QStringLiteral("HH:mm:ss"));
    ui->lblMailProgress->setText(tekst);
    ui->lblMailProgress->setVisible(true);
    ui->sbStatusBar->showMessage(tekst);
  }
  t.tempo.pricekaj();
  if (t.zaustavi) return false;  // the loop ends: nothing more goes
  t.odgovor.clear();
  t.tihi = t.postavke.nastaviNakonGreške;
  t.odgodivo = odgodivo;
  t.privremeno = false;
  if (!t.ponavljanje) ++t.pokušano;
  return true;
}

// The attempt just made was refused for now (greylisting, a busy server): the record waits
// for the retry rounds instead of failing.
bool frmMain::odgođenPokušaj() const { return m_tijek->odgodivo && m_tijek->privremeno; }

void frmMain::postaviPrivremeno(bool privremeno) { m_tijek->privremeno = privremeno; }

// Before the record is deleted: its bookmark is how later runs know it went.
// Returns whether the record was deferred rather than failed.
bool frmMain::zabilježiZapis(bool poslano, const QString& adresa, const QString& ime, bool odgođen) {
  Tijek& t = *m_tijek;
  t.tihi = false;
  t.odgodivo = false;
  const QString odgovor = t.odgovor.join(QStringLiteral("\r\n"));
  const qint64 bookmark = m_rs->Bookmark().toLongLong();
  odgođen = odgođen && !poslano;
  t.dnevnik.dodaj({QDateTime::currentDateTime(), adresa, ime, poslano, odgovor, odgođen,
                   poslano ? QStringList() : t.razmjena});
  t.razmjena.clear();
  if (poslano) {
    t.dnevnik.zapisPoslan(*m_rs);
    t.odgođeni.remove(bookmark);
    ++t.poslanih;
  } else if (odgođen) {
    t.odgođeni.insert(bookmark);
  } else {
    t.odgođeni.remove(bookmark);
    t.dnevnik.zapisNeuspio(*m_rs, odgovor);
    ++t.neuspjelih;
  }
  t.odgovor.clear();
  ui->cmdIzvještaj->setVisible(true);
  return odgođen;
}

void frmMain::zabilježiKopije(const QString& domena, const QString& razlog) {
  const QString linija = domena + QStringLiteral(": ") + razlog.trimmed();
  if (!m_tijek->kopijeNeuspjele.contains(linija)) m_tijek->kopijeNeuspjele << linija;
}

void frmMain::prekiniZapise() { m_tijek->prekinut = true; }

void frmMain::zabilježiRazmjenu(const QStringList& razmjena) { m_tijek->razmjena = razmjena; }

frmMain::IzravniZapis& frmMain::izravniZapis(const QString& adresa) {
  IzravniZapis& z = m_tijek->izravni[m_rs->Bookmark().toLongLong()];
  for (const QString& a : composer::razdvojiAdrese(adresa)) z.vlastite.insert(a.section(QLatin1Char('@'), -1).toLower());
  return z;
}

// A round's session. In a retry round a server still away for now leaves the deferred
// records for the next round, silently; otherwise the failure is boxed and the run ends.
bool frmMain::spojiZaKrug() {
  Tijek& t = *m_tijek;
  t.odgodivo = t.ponavljanje;
  const bool spojen = spojiSe();
  t.odgodivo = false;
  if (!spojen && !(t.ponavljanje && poSendMail->lastFailureTemporary())) prekiniZapise();
  return spojen;
}

// The server went away for now: the records not yet tried wait for the next round.
void frmMain::odgodiOstale() {
  Tijek& t = *m_tijek;
  for (; !m_rs->Eof(); m_rs->MoveNext()) {
    const QVariant b = m_rs->Bookmark();
    if (t.ponavljanje || (t.samoPreostali && t.dnevnik.poslan(b))) continue;
    t.odgođeni.insert(b.toLongLong());
    ++t.pokušano;
  }
}

void frmMain::zabilježiPojedinačno(bool poslano) {
  Tijek& t = *m_tijek;
  QStringList adrese;
  for (const QLineEdit* polje : {ui->txtTo, ui->txtCC, ui->txtBCC})
    adrese << composer::razdvojiAdrese(polje->text());
  t.dnevnik.dodaj({QDateTime::currentDateTime(), adrese.join(QLatin1Char(';')), QString(), poslano,
                   t.odgovor.join(QStringLiteral("\r\n")), false, poslano ? QStringList() : t.razmjena});
  t.odgovor.clear();
  t.razmjena.clear();
  ui->cmdIzvještaj->setVisible(true);
}

void frmMain::zabilježiOdgovor(const QString& odgovor) {
  if (!odgovor.isEmpty()) m_tijek->odgovor << odgovor;
}

bool frmMain::zabilježiRazlog(const QString& razlog) {
  zabilježiOdgovor(razlog.trimmed());
  return m_tijek->tihi || odgođenPokušaj();
}

// With "Nastavi nakon greške" the run moves to the next record. On the configured server
// a failure has ended the session: a new one is opened for the next record, and when
// that fails too (the server is gone) the run stops, since no later record could go.
bool frmMain::nastaviPoslijeGreške(bool ponovnoSpoji) {
  if (!m_tijek->postavke.nastaviNakonGreške) return false;
  if (ponovnoSpoji && !spojiSe()) return false;
  ui->prbUk->setValue(ui->prbUk->value() + 1);
  m_rs->MoveNext();
  return true;
}

// A deferred record on the configured server: its failure ended the session, the next
// record gets a new one (when that fails, the server is gone and the run stops).
bool frmMain::nastaviPoslijeOdgode() {
  Tijek& t = *m_tijek;
  t.odgodivo = true;
  const bool spojen = spojiSe();
  t.odgodivo = false;
  if (!spojen && !poSendMail->lastFailureTemporary()) return false;
  ui->prbUk->setValue(ui->prbUk->value() + 1);
  m_rs->MoveNext();
  if (!spojen) odgodiOstale();
  return true;
}

void frmMain::prijaviNeuspjele() {
  const Tijek& t = *m_tijek;
  if (t.postavke.nastaviNakonGreške && t.neuspjelih > 0)
    okvir(this, QStringLiteral("Nije poslano %1 e-mail poruka. Razlozi su u izvještaju o slanju.").arg(t.neuspjelih),
          platform::MsgIcon::Exclamation);
}

void frmMain::osvježiPreostale() {
  const Tijek& t = *m_tijek;
  ui->cmdPošaljiPreostalima->setVisible(t.zapisiPokrenuti && m_rs && t.dnevnik.imaNeposlanih(*m_rs));
  t.spremiNeuspjele->setEnabled(t.dnevnik.imaNeuspjelih());
}

void frmMain::postaviTijekUSlanju(bool uSlanju) {
  ui->cmdPošaljiPreostalima->setEnabled(!uSlanju);
  ui->cmdIzvještaj->setEnabled(!uSlanju);
  m_tijek->cmdZaustavi->setEnabled(uSlanju);
}

void frmMain::prikažiIzvještaj() {
  frmPrikazTeksta::forma()->PrikažiTekst(QStringLiteral("Izvještaj o slanju"), m_tijek->dnevnik.kaoTekst(),
                                          false, QString());
}

void frmMain::spremiIzvještaj() {
  spremiUCsv(this, QStringLiteral("Spremi izvještaj o slanju"), QStringLiteral("izvjestaj_o_slanju.csv"),
             m_tijek->dnevnik.kaoZapisi(), QStringLiteral("Izvještaj o slanju nije spremljen: "));
}

void frmMain::spremiNeuspjele() {
  spremiUCsv(this, QStringLiteral("Spremi neuspjele zapise"), QStringLiteral("neuspjeli_zapisi.csv"),
             m_tijek->dnevnik.neuspjeliZapisi(), QStringLiteral("Neuspjeli zapisi nisu spremljeni: "));
}
