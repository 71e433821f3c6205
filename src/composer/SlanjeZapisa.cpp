// The window's side of record runs: Stop, sending to the records not yet sent from this
// window, the closing boxes, and the send log with its files and viewer.
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

namespace composer {

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
  connect(ui->cmdPošaljiPreostalima, &QPushButton::clicked, this, &frmMain::cmdPošaljiPreostalima_Click);
  auto* izbornik = new QMenu(ui->cmdIzvještaj);
  const std::tuple<QString, const char*, void (frmMain::*)()> stavke[] = {
      {QStringLiteral("Prikaži izvještaj o slanju"), "mnuPrikažiIzvještaj", &frmMain::prikažiIzvještaj},
      {QStringLiteral("Spremi izvještaj o slanju"), "mnuSpremiIzvještaj", &frmMain::spremiIzvještaj},
      {QStringLiteral("Spremi neuspjele zapise"), "mnuSpremiNeuspjele", &frmMain::spremiNeuspjele}};
  for (const auto& [tekst, ime, radnja] : stavke)
    izbornik->addAction(tekst, this, radnja)->setObjectName(QString::fromUtf8(ime));
  spremiNeuspjele_ = izbornik->actions().constLast();
  spremiNeuspjele_->setEnabled(false);
  ui->cmdIzvještaj->setMenu(izbornik);
  // Stop sits beside "Pošalji preostalima" and is usable only while a run goes.
  cmdZaustavi_ = new QPushButton(QStringLiteral("Zaustavi slanje"));
  cmdZaustavi_->setObjectName(QStringLiteral("cmdZaustavi"));
  cmdZaustavi_->setEnabled(false);
  ui->hlGumbi->insertWidget(ui->hlGumbi->indexOf(ui->cmdPošaljiPreostalima) + 1, cmdZaustavi_);
  connect(cmdZaustavi_, &QPushButton::clicked, this, &frmMain::ZaustaviSlanje);
}

void frmMain::ZaustaviSlanje() {
  if (!uSlanju_) return;
  slanje_->zaustavi();
  ui->sbStatusBar->showMessage(QStringLiteral("Slanje se zaustavlja nakon poruke koja je u tijeku..."));
}

bool frmMain::SlanjeZaustavljeno() const { return slanje_->zaustavljen(); }

// A record run's end: what went, what was stopped or deferred, in one box each.
void frmMain::zaključiZapise(const composer::IshodSlanja& i) {
  ui->prbUk->setVisible(false);
  if (i.prekinut) return počistiNakonSlanja();
  if (i.zaustavljen) {
    okvir(this,
          QStringLiteral("Slanje je zaustavljeno. Poslano: %1, neuspjelo: %2, odgođeno: %3, nije pokušano: %4.")
              .arg(i.poslanih)
              .arg(i.neuspjelih)
              .arg(i.odgođenih)
              .arg(i.nijePokušano),
          platform::MsgIcon::Information);
    return počistiNakonSlanja();
  }
  if (i.poslanih > 0)
    okvir(this, QStringLiteral("Uspješno poslano %1 e-mail poruka!").arg(i.poslanih), platform::MsgIcon::Exclamation);
  if (i.odgođenih > 0)
    okvir(this,
          QStringLiteral("Poslužitelj je privremeno odbio %1 e-mail poruka ni nakon ponovnih pokušaja. "
                         "Pošaljite ih kasnije s \"Pošalji preostalima\".")
              .arg(i.odgođenih),
          platform::MsgIcon::Exclamation);
  if (!i.kopijeNeuspjele.isEmpty())
    okvir(this,
          QStringLiteral("Kopije (CC, BCC) nisu isporučene:\r\n") + i.kopijeNeuspjele.join(QStringLiteral("\r\n")),
          platform::MsgIcon::Exclamation);
  if (i.nastavakNakonGreške && i.neuspjelih > 0)
    okvir(this, QStringLiteral("Nije poslano %1 e-mail poruka. Razlozi su u izvještaju o slanju.").arg(i.neuspjelih),
          platform::MsgIcon::Exclamation);
  počistiNakonSlanja();
}

// The same mailing over the same customers, cut short before (the host crashed, the window
// was closed mid-run): its customers get no second copy unless the user sends it all anew.
void frmMain::ponudiNastavak(composer::PorukaZaSlanje* p) {
  const std::optional<composer::PrekinutoSlanje> s = slanje_->prekinutoSlanje(*p, *rs_);
  if (!s) return;
  const platform::MsgResult odgovor = platform::dialogs().messageBox(
      this, QStringLiteral("Nastaviti prekinuto slanje? Poslano %1 od %2.").arg(s->poslano).arg(s->ukupno),
      platform::MsgButtons::YesNo, platform::MsgIcon::Question, platform::defaultTitle());
  if (odgovor != platform::MsgResult::Yes) return;
  p->vecPoslani = s->poslani;
  p->nastavlja = s->id;
}

void frmMain::cmdPošaljiPreostalima_Click() {
  samoPreostali_ = true;
  const auto kraj = qScopeGuard([this] { samoPreostali_ = false; });
  cmdPošaljiPrekoRS_Click();
}

void frmMain::osvježiPreostale() {
  const composer::DnevnikSlanja& d = slanje_->dnevnik();
  ui->cmdPošaljiPreostalima->setVisible(slanje_->zapisiPokrenuti() && rs_ && d.imaNeposlanih(*rs_));
  spremiNeuspjele_->setEnabled(d.imaNeuspjelih());
}

void frmMain::prikažiIzvještaj() {
  viewers::frmPrikazTeksta::forma()->PrikažiTekst(QStringLiteral("Izvještaj o slanju"), slanje_->dnevnik().kaoTekst(),
                                                  false, QString());
}

void frmMain::spremiIzvještaj() {
  spremiUCsv(this, QStringLiteral("Spremi izvještaj o slanju"), QStringLiteral("izvjestaj_o_slanju.csv"),
             slanje_->dnevnik().kaoZapisi(), QStringLiteral("Izvještaj o slanju nije spremljen: "));
}

void frmMain::spremiNeuspjele() {
  spremiUCsv(this, QStringLiteral("Spremi neuspjele zapise"), QStringLiteral("neuspjeli_zapisi.csv"),
             slanje_->dnevnik().neuspjeliZapisi(), QStringLiteral("Neuspjeli zapisi nisu spremljeni: "));
}

}  // namespace composer
