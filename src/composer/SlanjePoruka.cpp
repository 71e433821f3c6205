// The window's side of the send run: the checks, the message's body and images handed to
// the run, and the run's progress, lines and failures shown.
#include <QApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStatusBar>
#include <algorithm>
#include <cmath>
#include <exception>

#include "composer/HtmlEditor.h"
#include "composer/LokalneSlike.h"
#include "composer/MailFormat.h"
#include "composer/PlanDostave.h"
#include "composer/PoljaZapisa.h"
#include "composer/PostavkeComposera.h"
#include "composer/RacunSlanja.h"
#include "composer/frmMain.h"
#include "core/Pomocne.h"
#include "mail/HtmlText.h"
#include "mail/clsSendMail.h"
#include "platform/Dialogs.h"
#include "ui_frmMain.h"

namespace composer {

namespace {

const QString kNaslov = QStringLiteral("Slanje E-mail-a");
const QString kPogrešanPošiljatelj =
    QStringLiteral("Pogrešna adresa tko šalje e-mail. Upišite informacije o pošiljatelju u Pogled->Postavke");

// The hourglass is one override however often it is asked for.
void pješčanik(bool uključen) {
  static bool aktivan = false;
  if (uključen == aktivan) return;
  aktivan = uključen;
  if (uključen) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}

void okvir(QWidget* w, const QString& tekst, platform::MsgIcon ikona, const QString& naslov) {
  platform::dialogs().messageBox(w, tekst, platform::MsgButtons::Ok, ikona, naslov);
}

// Text of whatever a run may throw.
QString opisGreške(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& x) {
    return QString::fromUtf8(x.what());
  } catch (...) {
    return QStringLiteral("Nepoznata greška.");
  }
}

}  // namespace

void frmMain::poveziSlanje() {
  odgodaNapretka_.setSingleShot(true);
  odgodaNapretka_.setInterval(50);
  connect(&odgodaNapretka_, &QTimer::timeout, this, &frmMain::prikažiNapredak);
  prikazSlanja_ = std::make_unique<composer::PrikazSlanja>(
      QList<QWidget*>{ui->lstPoslano, ui->lstNeuspjelo, ui->prbUk, ui->Progress, ui->lblMailProgress, ui->sbStatusBar},
      100);
  // Lines of one height: a list of thousands is not measured line by line at each drawing.
  for (QListWidget* l : {ui->lstPoslano, ui->lstNeuspjelo}) l->setUniformItemSizes(true);
  connect(poSendMail, &mail::clsSendMail::Progress, this, &frmMain::poSendMail_Progress);
  connect(poSendMail, &mail::clsSendMail::SendSuccesful, this, &frmMain::poSendMail_SendSuccesful);
  connect(ui->mnuGenListUClip, &QAction::triggered, this, &frmMain::GenerirajListu);
  using composer::TijekSlanja;
  slanje_ = new TijekSlanja(*poSendMail, this);
  connect(slanje_, &TijekSlanja::neuspjeh, this, &frmMain::poSendMail_SendFailed);
  connect(slanje_, &TijekSlanja::greskaKlijenta, this,
          [this](const QString& tekst) { okvir(this, tekst, platform::MsgIcon::None, platform::defaultTitle()); });
  connect(slanje_, &TijekSlanja::prekida, this, [this] {
    okvir(this, QStringLiteral("Prekida se slanje poruka!"), platform::MsgIcon::Exclamation, platform::defaultTitle());
  });
  connect(slanje_, &TijekSlanja::domene, this, [this](const QStringList& domene) {
    ui->List1->clear();
    ui->List1->addItems(domene);
    ui->Progress->setMaximum(std::max<int>(1, int(domene.size())) * 100);
    ui->Progress->setValue(0);
  });
  connect(slanje_, &TijekSlanja::domena, this, [this](int i) { ui->List1->setCurrentRow(i); });
  connect(slanje_, &TijekSlanja::zapisi, this, [this](int ukupno) {
    ui->prbUk->setVisible(true);
    ui->prbUk->setRange(0, ukupno + 1);
    ui->prbUk->setValue(1);
  });
  connect(slanje_, &TijekSlanja::zapisObradjen, this, [this] { ui->prbUk->setValue(ui->prbUk->value() + 1); });
  connect(slanje_, &TijekSlanja::poslano, this, [this](const QString& l) { prikazSlanja_->dodaj(ui->lstPoslano, l); });
  connect(slanje_, &TijekSlanja::neuspjelo, this,
          [this](const QString& l) { prikazSlanja_->dodaj(ui->lstNeuspjelo, l); });
  connect(slanje_, &TijekSlanja::najava, this, &frmMain::prikažiNajavu);
  connect(slanje_, &TijekSlanja::kopijeUzete, this, [this] {
    ui->txtCC->clear();
    ui->txtBCC->clear();
  });
  connect(slanje_, &TijekSlanja::motorSlobodan, this, [this] {
    if (pitajZaustaviti_) pitajZaustaviti();
  });
  poveziListuPrimatelja();
  poveziTijek();
}

void frmMain::cmdSend_Click() {
  try {
    PosaljiPoruke(true);
  } catch (...) {
    okvir(this, opisGreške(std::current_exception()), platform::MsgIcon::Exclamation, platform::defaultTitle());
  }
}

void frmMain::cmdPošaljiPrekoRS_Click() {
  const auto provjera = [this](bool uredu, const QString& tekst, QWidget* polje) {
    if (!uredu) {
      okvir(this, tekst, platform::MsgIcon::Information, kNaslov);
      polje->setFocus();
    }
    return uredu;
  };
  if (!provjera(!ui->txtFrom->text().trimmed().isEmpty(), kPogrešanPošiljatelj, ui->txtFrom) ||
      !provjera(core::ProvjeriEMailAdrese(ui->txtFrom->property("Tag").toString()), kPogrešanPošiljatelj,
                ui->txtFrom) ||
      !provjera(!ui->txtSubject->text().trimmed().isEmpty(), QStringLiteral("Upišite poruku!"), ui->txtSubject))
    return;
  try {
    PosaljiPoruke(false);
    NapuniListu();
  } catch (...) {
    okvir(this, opisGreške(std::current_exception()), platform::MsgIcon::Exclamation, platform::defaultTitle());
    ui->prbUk->setVisible(false);
  }
  osvježiPreostale();
}

bool frmMain::provjeriPojedinacno() {
  struct Provjera {
    bool pogrešno;
    QString tekst;
    QWidget* polje;
  };
  const QString to = ui->txtTo->text(), cc = ui->txtCC->text(), bcc = ui->txtBCC->text();
  const Provjera provjere[] = {
      {ui->txtFrom->text().trimmed().isEmpty(), kPogrešanPošiljatelj, ui->txtFrom},
      {!core::ProvjeriEMailAdrese(ui->txtFrom->property("Tag").toString()), kPogrešanPošiljatelj, ui->txtFrom},
      {to.trimmed().isEmpty(), QStringLiteral("Pogrešna adresa kome se šalje: ") + to, ui->txtTo},
      {!core::ProvjeriEMailAdrese(to), QStringLiteral("Pogrešna adresa kome se šalje: ") + to, ui->txtTo},
      {!cc.trimmed().isEmpty() && !core::ProvjeriEMailAdrese(cc),
       QStringLiteral("Jedna ili više adresa u 'CC : Email'  je pogrešna: ") + cc, ui->txtCC},
      {!bcc.trimmed().isEmpty() && !core::ProvjeriEMailAdrese(bcc),
       QStringLiteral("Jedna ili više adresa u 'BCC : Email'  je pogrešna: ") + bcc, ui->txtBCC},
      {ui->txtSubject->text().trimmed().isEmpty(), QStringLiteral("Upišite poruku!"), ui->txtSubject},
  };
  for (const Provjera& p : provjere) {
    if (!p.pogrešno) continue;
    okvir(this, p.tekst, platform::MsgIcon::Information, kNaslov);
    p.polje->setFocus();
    return false;
  }
  return true;
}

void frmMain::PosaljiPoruke(bool bPojedinacno) {
  if (uSlanju_) return;
  StatusSlanja = 0;
  ui->lblMailProgress->setVisible(false);
  ui->Progress->setVisible(false);
  // The address book joins with ",": the engine and the checks take ";".
  for (QLineEdit* polje : {ui->txtTo, ui->txtCC, ui->txtBCC})
    polje->setText(composer::normaliziraneAdrese(polje->text()));
  if (bPojedinacno && !provjeriPojedinacno()) return;
  if (!pripremiPolja(bPojedinacno)) return;
  QSet<qint64> bezPriloga;
  if (!provjeriPriloge(bPojedinacno, &bezPriloga)) return;
  // Without the document there is nothing to send: no run sends an empty body.
  if (!EmbeddImage()) return;
  composer::PorukaZaSlanje p = porukaZaSlanje();
  p.bezPriloga = bezPriloga;
  if (!bPojedinacno && rs_ && !samoPreostali_) ponudiNastavak(&p);
  PostaviUSlanju(true);
  const auto kraj = qScopeGuard([this] {
    pješčanik(false);
    PostaviUSlanju(false);
    ui->cmdIzvještaj->setVisible(!slanje_->dnevnik().pokusaji().isEmpty());
  });
  ui->List1->clear();
  pješčanik(true);
  Napredak = 0;
  bPoslano = 0;
  const QString smtpip = composer::CitajPostavku(QStringLiteral("SMTPIP"));
  QString host = smtpip.isEmpty() ? QString() : composer::PoljaPostavke(smtpip)[0].trimmed();
  if (host.isEmpty()) host = QStringLiteral("FIND");
  using composer::RutaSlanja;
  const RutaSlanja ruta = ui->chkPrekoOutlooka->isChecked()                               ? RutaSlanja::Klijent
                          : host.compare(QLatin1String("FIND"), Qt::CaseInsensitive) == 0 ? RutaSlanja::Izravno
                                                                                          : RutaSlanja::Posluzitelj;
  slanje_->odgodaPonavljanjaMs = OdgodaPonavljanjaMs;
  if (bPojedinacno) {
    const std::optional<bool> poslano = slanje_->posaljiPojedinacno(p, ruta, host);
    if (poslano) {
      bPoslano = *poslano ? 1 : 0;
      StatusSlanja = *poslano ? 0 : 2;
      dodajUDnevnik(*poslano, jednaLinijaDnevnika());
    }
    kopijeNisuSpremljene();
    return počistiNakonSlanja();
  }
  composer::IshodSlanja ishod;
  ishod.prekinut = true;
  if (rs_) ishod = slanje_->posaljiZapise(p, ruta, host, *rs_, ui->chkBrišiPoslane->isChecked(), samoPreostali_);
  zaključiZapise(ishod);
  kopijeNisuSpremljene();
}

// After the run's own boxes: the messages went, whatever became of their copies.
void frmMain::kopijeNisuSpremljene() {
  const QString napomena = slanje_->kopijeUPoslanom().napomena();
  if (!napomena.isEmpty()) okvir(this, napomena, platform::MsgIcon::Exclamation, kNaslov);
}

// The message as the boxes and the document hold it now. Without a stored format the
// document is HTML, not text to be shown as markup; the format holds for the whole run.
composer::PorukaZaSlanje frmMain::porukaZaSlanje() const {
  composer::PorukaZaSlanje p;
  p.od = ui->txtFrom->property("Tag").toString();
  p.imeOd = ui->txtFrom->text();
  p.to = ui->txtTo->text();
  p.cc = ui->txtCC->text();
  p.bcc = ui->txtBCC->text();
  p.predmet = ui->txtSubject->text();
  p.html = TijeloPoruke;
  p.prilozi = ui->txtAttach->text();
  p.slike = UgradjeneSlike;
  p.uHtmlu = composer::CitajPostavku(QStringLiteral("MAILFORMAT")).isEmpty() || MailFormatHTML;
  if (ui->chkOdjava->isChecked()) {
    const QString adresa = composer::CitajAdresuOdjave();
    p.odjava = adresa.isEmpty() ? p.od : adresa;
  }
  return p;
}

bool frmMain::EmbeddImage() {
  static const QRegularExpression body(QStringLiteral("<BODY>"), QRegularExpression::CaseInsensitiveOption);
  bool procitan = false;
  QString html = ui->Editor->documentHtml(&procitan);
  if (!procitan) {
    okvir(this,
          QStringLiteral("Uređivač ne odgovara, pa se poruka ne može pročitati. Slanje nije pokrenuto.\r\n"
                         "Spremite dokument (Datoteka->Spremi): sprema se zadnji pročitani sadržaj."),
          platform::MsgIcon::Exclamation, kNaslov);
    return false;
  }
  html.replace(body, QStringLiteral("<BODY lang=HR>"));
  UgradjeneSlike.clear();
  if (!ui->chkPrekoOutlooka->isChecked()) {
    const composer::SlikeZaSlanje s =
        composer::pripremiLokalneSlike(html, ui->Editor->imageSources(), ui->Editor->documentUrl(), privremeni_.path());
    // A local file that is no image never travels: the run does not start.
    if (!s.odbijene.isEmpty()) {
      okvir(this, composer::tekstOdbijenihSlika(s.odbijene), platform::MsgIcon::Exclamation, kNaslov);
      return false;
    }
    html = s.html;
    UgradjeneSlike = s.putanje.join(QLatin1Char(';'));
  }
  TijeloPoruke = html;
  return true;
}

QString frmMain::jednaLinijaDnevnika() const {
  return ui->txtTo->text() + QLatin1Char(' ') + ui->txtBCC->text() + QLatin1Char(' ') + ui->txtBCC->text();
}

void frmMain::dodajUDnevnik(bool poslano, const QString& linija) {
  if (poslano) {
    okvir(this, QStringLiteral("Vaš e-mail je uspješno poslan!"), platform::MsgIcon::Information, kNaslov);
    prikazSlanja_->dodaj(ui->lstPoslano, linija);
  } else {
    prikazSlanja_->dodaj(ui->lstNeuspjelo, linija);
  }
}

void frmMain::počistiNakonSlanja() {
  ui->List1->clear();
  TijeloPoruke.clear();
  UgradjeneSlike.clear();
  pješčanik(false);
  odgodaNapretka_.stop();
  ui->lblMailProgress->setVisible(false);
  ui->Progress->setVisible(false);
  ui->sbStatusBar->clearMessage();  // no percentage or countdown outlives its run
}

void frmMain::poSendMail_Progress(int PercentComplete) {
  mjeriloNapretka_ = 100;
  if (ui->List1->count() == 0) {
    Napredak = PercentComplete;
  } else {
    Napredak = double(std::max(0, ui->List1->currentRow())) * 100 + PercentComplete;
    mjeriloNapretka_ = double(ui->List1->count()) * 100;
  }
  if (!prikazanNapredak_.isValid() || prikazanNapredak_.hasExpired(50)) prikažiNapredak();
  else if (!odgodaNapretka_.isActive()) odgodaNapretka_.start();
}

void frmMain::prikažiNapredak() {
  prikazanNapredak_.start();
  ui->Progress->setVisible(true);
  ui->Progress->setValue(int(std::lround(Napredak)));
  const QString posto = QLocale().toString(Napredak / mjeriloNapretka_ * 100, 'g', QLocale::FloatingPointShortest);
  ui->sbStatusBar->showMessage(QStringLiteral("Šaljem .... ") + posto + QStringLiteral("% završeno"));
  ui->lblMailProgress->setText(QStringLiteral("Šaljem .... ") + posto + QLatin1Char('%'));
  ui->lblMailProgress->setVisible(true);
}

// The run's failure that the user is to see now.
void frmMain::poSendMail_SendFailed(const QString& Explanation) {
  ui->Progress->setValue(0);
  StatusSlanja = 2;
  pješčanik(false);
  okvir(this, QStringLiteral("Nije uspio pokušaj slanja e-mail-a zbog slijedećih razloga: \r\n") + Explanation,
        platform::MsgIcon::Information, kNaslov);
}

void frmMain::poSendMail_SendSuccesful() { bPoslano = 1; }

// A wait of the run: the last message's progress must not cover it.
void frmMain::prikažiNajavu(const QString& tekst) {
  odgodaNapretka_.stop();
  ui->lblMailProgress->setText(tekst);
  ui->lblMailProgress->setVisible(true);
  ui->sbStatusBar->showMessage(tekst);
}

}  // namespace composer
