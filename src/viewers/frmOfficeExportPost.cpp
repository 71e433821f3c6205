#include "viewers/frmOfficeExportPost.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTimer>
#include <cmath>

#include "core/SettingsStore.h"
#include "platform/Dialogs.h"
#include "platform/PostaviFormu.h"
#include "platform/ProgramLauncher.h"
#include "platform/RecordSet.h"
#include "ui_frmOfficeExportPost.h"
#include "viewers/CsvIzvoz.h"
#include "viewers/PomocneProzora.h"

namespace viewers {

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

constexpr int kZadanaSerija = 2000;

// The leading number of an answer, as the host's Val reads it ("1500 zapisa" is 1500).
double vodeciBroj(const QString& tekst) {
  QString t = tekst.trimmed();
  qsizetype n = 0;
  if (n < t.size() && (t[n] == QLatin1Char('-') || t[n] == QLatin1Char('+'))) ++n;
  while (n < t.size() && (t[n].isDigit() || t[n] == QLatin1Char('.'))) ++n;
  bool ok = false;
  const double d = t.left(n).toDouble(&ok);
  return ok ? d : 0;
}

int procitajSeriju() {
  bool ok = false;
  const int n = core::VelkorSetting(QStringLiteral("ExportCSVBatchSize")).trimmed().toInt(&ok);
  return ok && n >= 1000 && n <= 5000 ? n : kZadanaSerija;
}

// The folder part of a path, up to and including its last "/".
QString mapaOd(const QString& put) { return put.left(put.lastIndexOf(QLatin1Char('/')) + 1); }

}  // namespace

frmOfficeExportPost::frmOfficeExportPost(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmOfficeExportPost>()) {
  ui->setupUi(this);
  connect(ui->cmdPrebaciPodatke, &QPushButton::clicked, this, &frmOfficeExportPost::cmdPrebaciPodatke_Click);
  connect(ui->cmdIzlaz, &QPushButton::clicked, this, &frmOfficeExportPost::cmdIzlaz_Click);
  connect(ui->lvPrekid, &QPushButton::clicked, this, &frmOfficeExportPost::lvPrekid_Click);
  connect(ui->cmdGdjeSpremiti, &QPushButton::clicked, this, &frmOfficeExportPost::cmdGdjeSpremiti_Click);
  connect(ui->cmdLokacija, &QPushButton::clicked, this, &frmOfficeExportPost::cmdLokacija_Click);
  connect(ui->mnuExportCSVBatchSize, &QAction::triggered, this, &frmOfficeExportPost::mnuExportCSVBatchSize_Click);
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
  for (QLineEdit* e : {ui->txtNazivDat, ui->txtSeparator, ui->txtDecTočka, ui->txtLokacijaEXE}) OznaciSveNaFokusu(e);
  prikaziIzvoz(false);
  Form_Load();
}

frmOfficeExportPost::~frmOfficeExportPost() = default;

void frmOfficeExportPost::Form_Load() {
  using core::VelkorSetting;
  ui->txtLokacijaEXE->setText(VelkorSetting(QStringLiteral("ExpEXEDat")));
  ui->txtNazivDat->setText(
      VelkorSetting(QStringLiteral("ExpNazivDat"), QDir::homePath() + QStringLiteral("/Export.csv")));
  ui->chkAutomatskiPokr->setChecked(VelkorSetting(QStringLiteral("ExpAutomPokr"), "0") == "1");
  const CsvPostavke csv = SpremljeneCsvPostavke();
  ui->txtSeparator->setText(csv.separator);
  ui->txtDecTočka->setText(csv.decimalniZnak);
  ui->chkPrikazNavodnika->setChecked(csv.navodnici);
  ui->chkZaštitaFormula->setChecked(csv.zaštitaFormula);
  velicinaSerije_ = procitajSeriju();
  platform::PostaviFormu(this);
  Prekinuto = true;
}

void frmOfficeExportPost::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  ui->cmdPrebaciPodatke->setFocus();
}

void frmOfficeExportPost::poruka(const QString& tekst, int ikona) {
  platform::dialogs().messageBox(this, tekst, MsgButtons::Ok, MsgIcon(ikona), platform::defaultTitle());
}

// ---- keys and focus ----

bool frmOfficeExportPost::pomakniFokus(QObject* o, int tipka) {
  const bool unos = qobject_cast<QLineEdit*>(o) || qobject_cast<QCheckBox*>(o);
  if (tipka == Qt::Key_Up) {
    focusNextPrevChild(false);
    return true;
  }
  if (unos && (tipka == Qt::Key_Down || tipka == Qt::Key_Return || tipka == Qt::Key_Enter)) {
    focusNextPrevChild(true);
    return true;
  }
  return false;
}

bool frmOfficeExportPost::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Escape) {
      reject();
      return true;
    }
    if (k->modifiers() == Qt::NoModifier && pomakniFokus(o, k->key())) return true;
  } else if (e->type() == QEvent::FocusOut && !uIzvozu_ && !uProvjeri_) {
    // Leaving a field by the user's own move checks it; not when the focus goes to the exit
    // or export buttons (they decide for themselves), to a box, or back to a failed field
    // (two failing fields would otherwise hand the focus to each other for ever).
    const auto razlog = static_cast<QFocusEvent*>(e)->reason();
    QWidget* kamo = QApplication::focusWidget();
    const bool gumb = kamo == ui->cmdIzlaz || kamo == ui->cmdPrebaciPodatke;
    const bool korisnik = razlog == Qt::TabFocusReason || razlog == Qt::BacktabFocusReason ||
                          razlog == Qt::MouseFocusReason || razlog == Qt::ShortcutFocusReason;
    if (!gumb && korisnik && !provjeriPolje(o)) {
      auto* polje = static_cast<QWidget*>(o);
      QTimer::singleShot(0, polje, [polje] { polje->setFocus(); });
    }
  }
  return QDialog::eventFilter(o, e);
}

bool frmOfficeExportPost::provjeriPolje(QObject* polje) {
  uProvjeri_ = true;
  bool ok = true;
  if (polje == ui->txtNazivDat) ok = provjeriNazivDat();
  else if (polje == ui->txtSeparator) ok = provjeriSeparator();
  else if (polje == ui->txtDecTočka) ok = provjeriDecTočku();
  else if (polje == ui->txtLokacijaEXE) ok = provjeriLokacijuEXE();
  uProvjeri_ = false;
  return ok;
}

// ---- checks ----

bool frmOfficeExportPost::provjeriNazivDat() {
  if (!ukloniRazmake(ui->txtNazivDat->text()).isEmpty()) return true;
  poruka(QStringLiteral("Mora se upisati ime CSV datoteke podataka!"), int(MsgIcon::Exclamation));
  return false;
}

bool frmOfficeExportPost::provjeriSeparator() {
  if (!ukloniRazmake(ui->txtSeparator->text()).isEmpty()) return true;
  poruka(QStringLiteral("Mora se upisati separator podataka!"), int(MsgIcon::Exclamation));
  ui->txtSeparator->setText(QStringLiteral(";"));
  return false;
}

bool frmOfficeExportPost::provjeriDecTočku() {
  const QString t = ui->txtDecTočka->text();
  if (t == QLatin1String(",") || t == QLatin1String(".")) return true;
  poruka(QStringLiteral("Znak za decimalnu točku za brojeve može biti točka ili zarez !"), int(MsgIcon::Exclamation));
  return false;
}

bool frmOfficeExportPost::provjeriLokacijuEXE() {
  if (!ui->chkAutomatskiPokr->isChecked()) return true;
  const QString program = ukloniRazmake(ui->txtLokacijaEXE->text());
  ui->txtLokacijaEXE->setText(program);
  if (program.isEmpty()) {
    poruka(QStringLiteral("Mora se upisati ime EXE datoteke!"), int(MsgIcon::Exclamation));
    return false;
  }
  // A program on PATH ("localc") serves as well as a full path.
  if (QFileInfo::exists(program) || (!program.contains(QLatin1Char('/')) && !platform::findProgram(program).isEmpty()))
    return true;
  poruka(QStringLiteral("Uneseno ime EXE datoteke je neispravno !"), int(MsgIcon::None));
  return false;
}

// ---- the export ----

void frmOfficeExportPost::spremiPostavke() {
  using core::SaveVelkorSetting;
  SaveVelkorSetting(QStringLiteral("ExpEXEDat"), ui->txtLokacijaEXE->text());
  SaveVelkorSetting(QStringLiteral("ExpNazivDat"), ui->txtNazivDat->text());
  SaveVelkorSetting(QStringLiteral("ExpAutomPokr"), core::ZeroOne(ui->chkAutomatskiPokr->isChecked()));
  SaveVelkorSetting(QStringLiteral("ExpSeparator"), ui->txtSeparator->text());
  SaveVelkorSetting(QStringLiteral("ExpDecTočka"), ui->txtDecTočka->text());
  SaveVelkorSetting(QStringLiteral("ExpPrikazNavodnika"), core::ZeroOne(ui->chkPrikazNavodnika->isChecked()));
  SaveVelkorSetting(QStringLiteral("ExpZaštitaFormula"), core::ZeroOne(ui->chkZaštitaFormula->isChecked()));
}

void frmOfficeExportPost::cmdPrebaciPodatke_Click() {
  if (uIzvozu_) return;
  const std::pair<bool (frmOfficeExportPost::*)(), QLineEdit*> provjere[] = {
      {&frmOfficeExportPost::provjeriNazivDat, ui->txtNazivDat},
      {&frmOfficeExportPost::provjeriSeparator, ui->txtSeparator},
      {&frmOfficeExportPost::provjeriDecTočku, ui->txtDecTočka},
      {&frmOfficeExportPost::provjeriLokacijuEXE, ui->txtLokacijaEXE}};
  uProvjeri_ = true;
  for (const auto& [provjera, polje] : provjere)
    if (!(this->*provjera)()) {
      polje->setFocus();
      uProvjeri_ = false;
      return;
    }
  uProvjeri_ = false;
  if (ui->txtSeparator->text() == ui->txtDecTočka->text()) {
    poruka(QStringLiteral("Separator podataka i znak za decimalnu točku ne mogu biti isti !"),
           int(MsgIcon::Exclamation));
    ui->txtSeparator->setFocus();
    return;
  }
  izvezi();
}

void frmOfficeExportPost::prikaziIzvoz(bool da) {
  uIzvozu_ = da;
  ui->prBar->setVisible(da);
  ui->lblStatus->setVisible(da);
  ui->lvPrekid->setVisible(da);
  // While a run pumps events only the cancel button may act.
  for (QWidget* w : {static_cast<QWidget*>(ui->cmdPrebaciPodatke), static_cast<QWidget*>(ui->cmdIzlaz),
                     static_cast<QWidget*>(ui->cmdGdjeSpremiti), static_cast<QWidget*>(ui->cmdLokacija),
                     static_cast<QWidget*>(ui->mnuTraka)})
    w->setEnabled(!da);
  if (da) ui->lvPrekid->setFocus();
}

void frmOfficeExportPost::izvezi() {
  spremiPostavke();
  const QString ime = ukloniRazmake(ui->txtNazivDat->text());
  Prekinuto = true;
  if (QFileInfo::exists(ime) &&
      platform::dialogs().messageBox(
          this, QStringLiteral("Datoteka: ") + ime + QStringLiteral(" već postoji. Želite li je prepisati?"),
          MsgButtons::YesNo, MsgIcon::Question, platform::defaultTitle()) != MsgResult::Yes)
    return;
  if (!rsPodaci) return;
  platform::RecordSet& rs = *rsPodaci;
  const int ukupno = rs.RecordCount();
  prikaziIzvoz(true);
  ui->lblStatus->setText(QStringLiteral("Izvezeno: "));
  ui->prBar->setRange(0, std::max(1, int(std::ceil(double(ukupno) / velicinaSerije_))));
  ui->prBar->setValue(0);
  prekid_ = false;
  CsvIzvoz izvoz(rs,
                 {ui->txtSeparator->text(), ui->txtDecTočka->text(), ui->chkPrikazNavodnika->isChecked(),
                  ui->chkZaštitaFormula->isChecked()},
                 velicinaSerije_);
  bool ok = izvoz.otvori(ime);
  int serija = 0;
  while (ok && !izvoz.gotovo()) {
    if (prekid_) {
      izvoz.odustani();
      prikaziIzvoz(false);
      return;
    }
    const int n = izvoz.sljedecaSerija();
    ok = izvoz.greska().isEmpty();
    if (!ok || n < velicinaSerije_) break;
    QCoreApplication::processEvents();
    ++serija;
    ui->prBar->setValue(serija);
    ui->lblStatus->setText(QStringLiteral("Izvezeno: %1 od %2").arg(qint64(serija) * velicinaSerije_).arg(ukupno));
    ui->lblStatus->repaint();
  }
  ok = ok && izvoz.zavrsi();
  prikaziIzvoz(false);
  if (!ok) {
    poruka(QStringLiteral("Desila se greška: ") + izvoz.greska(), int(MsgIcon::Exclamation));
    return;
  }
  if (ui->chkAutomatskiPokr->isChecked()) {
    QString greska;
    if (!platform::startDetached(ui->txtLokacijaEXE->text(), {ime}, &greska))
      poruka(QStringLiteral("Desila se greška: ") + greska, int(MsgIcon::Exclamation));
  } else {
    poruka(QStringLiteral("U datoteku: %1 prebačeno %2 zapisa u CSV formatu!").arg(ime).arg(ukupno),
           int(MsgIcon::Information));
  }
  Prekinuto = false;
  hide();
}

// ---- exit, menu, browsing ----

void frmOfficeExportPost::cmdIzlaz_Click() {
  Prekinuto = true;
  hide();
}

void frmOfficeExportPost::reject() {
  if (uIzvozu_) prekid_ = true;  // Esc during a run cancels it
  else cmdIzlaz_Click();
}

void frmOfficeExportPost::closeEvent(QCloseEvent* e) {
  e->ignore();
  reject();
}

void frmOfficeExportPost::mnuExportCSVBatchSize_Click() {
  if (uIzvozu_) return;
  const std::optional<QString> odgovor =
      platform::dialogs().inputBox(this, QStringLiteral("Unesite broj zapisa u jednom spremanju (1000-5000):"),
                                   QStringLiteral("Broj zapisa"), QString::number(velicinaSerije_));
  const double broj = std::nearbyint(vodeciBroj(odgovor.value_or(QString())));
  if (broj < 1000 || broj > 5000) {
    platform::dialogs().messageBox(
        this, QStringLiteral("Greška. Broj zapisa u jednom spremanju može biti od 1000 do 5000. Postavljeno 2000!"),
        MsgButtons::Ok, MsgIcon::Information, QStringLiteral("Greška"));
    velicinaSerije_ = kZadanaSerija;
  } else {
    velicinaSerije_ = int(broj);
  }
  core::SaveVelkorSetting(QStringLiteral("ExportCSVBatchSize"), QString::number(velicinaSerije_));
}

void frmOfficeExportPost::cmdGdjeSpremiti_Click() {
  platform::FileDialogOptions o;
  o.title = QStringLiteral("Izaberite uređaj i direktoriju CSV datoteke za export");
  o.filter = QStringLiteral("CSV datoteka (*.csv)|*.csv");
  o.defaultExt = QStringLiteral(".csv");
  o.pathMustExist = true;
  o.initialDir = mapaOd(ui->txtNazivDat->text());
  o.fileName = ui->txtNazivDat->text();
  const QString ime = platform::dialogs().openFileName(this, o);
  if (!ime.isEmpty()) ui->txtNazivDat->setText(ime);
}

void frmOfficeExportPost::cmdLokacija_Click() {
  platform::FileDialogOptions o;
  o.title = QStringLiteral("Izvršna datoteka za prikaz/import podataka");
  // Programs here have no ".exe": every file is offered too.
  o.filter = QStringLiteral("EXE datoteka (*.exe)|*.exe|Sve datoteke (*)|*");
  o.fileMustExist = true;
  o.initialDir = mapaOd(ui->txtLokacijaEXE->text());
  if (o.initialDir.isEmpty()) o.initialDir = QStringLiteral("/usr/bin/");
  o.fileName = ui->txtLokacijaEXE->text();
  const QString ime = platform::dialogs().openFileName(this, o);
  if (!ime.isEmpty()) ui->txtLokacijaEXE->setText(ime);
}

}  // namespace viewers
