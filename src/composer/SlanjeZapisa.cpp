// The record runs' additions: going on past a failed record, sending to the records not
// yet sent from this window, the send log with its files and viewer, and the pace.
#include <QMenu>
#include <QScopeGuard>
#include <QStatusBar>

#include "composer/DnevnikSlanja.h"
#include "composer/PlanDostave.h"
#include "composer/PostavkeComposera.h"
#include "composer/TempoSlanja.h"
#include "composer/frmMain.h"
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
}

void frmMain::pocniTijek(bool bPojedinacno) {
  Tijek& t = *m_tijek;
  t.postavke = composer::CitajPostavkeSlanja();
  t.tempo.pocni(bPojedinacno ? 0 : t.postavke.porukaUMinuti);
  t.odgovor.clear();
  t.tihi = false;
  t.neuspjelih = 0;
  if (!bPojedinacno) t.zapisiPokrenuti = true;
}

void frmMain::cmdPošaljiPreostalima_Click() {
  m_tijek->samoPreostali = true;
  const auto kraj = qScopeGuard([this] { m_tijek->samoPreostali = false; });
  cmdPošaljiPrekoRS_Click();
}

bool frmMain::pripremiPokušaj() {
  Tijek& t = *m_tijek;
  if (t.samoPreostali && t.dnevnik.poslan(m_rs->Bookmark())) {
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
  t.odgovor.clear();
  t.tihi = t.postavke.nastaviNakonGreške;
  return true;
}

// Before the record is deleted: its bookmark is how later runs know it went.
void frmMain::zabilježiZapis(bool poslano, const QString& adresa, const QString& ime) {
  Tijek& t = *m_tijek;
  t.tihi = false;
  const QString odgovor = t.odgovor.join(QStringLiteral("\r\n"));
  t.dnevnik.dodaj({QDateTime::currentDateTime(), adresa, ime, poslano, odgovor});
  if (poslano) {
    t.dnevnik.zapisPoslan(*m_rs);
  } else {
    t.dnevnik.zapisNeuspio(*m_rs, odgovor);
    ++t.neuspjelih;
  }
  t.odgovor.clear();
  ui->cmdIzvještaj->setVisible(true);
}

void frmMain::zabilježiPojedinačno(bool poslano) {
  Tijek& t = *m_tijek;
  QStringList adrese;
  for (const QLineEdit* polje : {ui->txtTo, ui->txtCC, ui->txtBCC})
    adrese << composer::razdvojiAdrese(polje->text());
  t.dnevnik.dodaj({QDateTime::currentDateTime(), adrese.join(QLatin1Char(';')), QString(), poslano,
                   t.odgovor.join(QStringLiteral("\r\n"))});
  t.odgovor.clear();
  ui->cmdIzvještaj->setVisible(true);
}

void frmMain::zabilježiOdgovor(const QString& odgovor) {
  if (!odgovor.isEmpty()) m_tijek->odgovor << odgovor;
}

bool frmMain::zabilježiRazlog(const QString& razlog) {
  zabilježiOdgovor(razlog.trimmed());
  return m_tijek->tihi;
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
