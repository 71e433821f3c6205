#include "viewers/frmPrikazTeksta.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>

#include "core/SettingsStore.h"
#include "platform/Dialogs.h"
#include "platform/PostaviFormu.h"
#include "ui_frmPrikazTeksta.h"
#include "viewers/CRIspisPrikTeksta.h"
#include "viewers/PomocneProzora.h"
#include "viewers/frmIspisCR.h"

namespace viewers {

namespace {

QPointer<frmPrikazTeksta> s_forma;

const KljuceviPolozaja kPolozaj{QStringLiteral("MainLeftPrikTeksta"),
                                QStringLiteral("MainTopPrikTeksta"),
                                QStringLiteral("MainWidthPrikTeksta"),
                                QStringLiteral("MainHeightPrikTeksta"),
                                {2715, 3315, 8025, 4995}};

// Writes the text as it is, UTF-8, no line end added; the old file is replaced only once
// the new one is complete.
bool zapisiTekst(const QString& putanja, const QString& tekst) {
  QSaveFile f(putanja);
  if (!f.open(QIODevice::WriteOnly)) return false;
  const QByteArray bajtovi = tekst.toUtf8();
  if (f.write(bajtovi) != bajtovi.size()) {
    f.cancelWriting();
    return false;
  }
  return f.commit();
}

}  // namespace

frmPrikazTeksta* frmPrikazTeksta::forma() {
  if (!s_forma) s_forma = new frmPrikazTeksta;
  return s_forma;
}

frmPrikazTeksta::frmPrikazTeksta(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmPrikazTeksta>()) {
  ui->setupUi(this);
  connect(ui->cmdIspis, &QPushButton::clicked, this, &frmPrikazTeksta::cmdIspis_Click);
  connect(ui->cmdSelectAll, &QPushButton::clicked, this, &frmPrikazTeksta::cmdSelectAll_Click);
  connect(ui->cmdSpremiTekst, &QPushButton::clicked, this, &frmPrikazTeksta::mnuSpremiTekst_Click);
  connect(ui->mnuSpremiTekst, &QAction::triggered, this, &frmPrikazTeksta::mnuSpremiTekst_Click);
  connect(ui->OKButton, &QPushButton::clicked, this, &frmPrikazTeksta::OKButton_Click);
  connect(ui->cmdDa, &QPushButton::clicked, this, &frmPrikazTeksta::cmdDa_Click);
  connect(ui->cmdNe, &QPushButton::clicked, this, &frmPrikazTeksta::cmdNe_Click);
  // Ctrl+A anywhere in the window, not only inside the text box.
  auto* ctrlA = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_A), this);
  connect(ctrlA, &QShortcut::activated, this, &frmPrikazTeksta::cmdSelectAll_Click);
  Form_Load();
}

frmPrikazTeksta::~frmPrikazTeksta() {
  if (!unloaded_) spremiPoziciju();
}

void frmPrikazTeksta::Form_Load() {
  OdgovorDa = false;
  ucitajPoziciju();
  platform::PostaviFormu(this);
}

void frmPrikazTeksta::ucitajPoziciju() { UcitajPolozaj(this, kPolozaj); }

void frmPrikazTeksta::spremiPoziciju() { SpremiPolozaj(this, kPolozaj); }

void frmPrikazTeksta::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  spremiPoziciju();
  if (s_forma == this) s_forma = nullptr;
  hide();
  deleteLater();
}

void frmPrikazTeksta::PrikažiTekst(const QString& naslov, const QString& tekst, bool pitanje,
                                   const QString& tekstPitanja) {
  // Each question gets its own answer: a "&Da" given to an earlier one must not carry over.
  OdgovorDa = false;
  pitanje_ = pitanje;
  ui->cmdDa->setVisible(pitanje);
  ui->cmdNe->setVisible(pitanje);
  ui->OKButton->setVisible(!pitanje);
  tekst_ = tekst;
  ui->txtPoruka->setPlainText(tekst);
  setWindowTitle(naslov);
  ui->lblPitanje->setText(tekstPitanja);
  ui->lblPitanje->setVisible(!tekstPitanja.isEmpty());
  // Enter closes a message (OK) but never prints, and answers no question by itself.
  for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
  ui->OKButton->setDefault(!pitanje);
  ui->txtPoruka->setFocus(Qt::OtherFocusReason);
  exec();
}

void frmPrikazTeksta::reject() {
  if (pitanje_) cmdNe_Click();
  else OKButton_Click();
}

void frmPrikazTeksta::closeEvent(QCloseEvent* e) {
  e->accept();
  Form_Unload();
}

void frmPrikazTeksta::cmdIspis_Click() {
  frmIspisCR ispis(this);
  ispis.rptIzvjestaj = CRIspisPrikTeksta();
  ispis.rptIzvjestaj.setText(QStringLiteral("Naslov"), windowTitle());
  ispis.rptIzvjestaj.setText(QStringLiteral("Poruka"), ui->txtPoruka->toPlainText());
  ispis.Prikaži();
}

void frmPrikazTeksta::cmdSelectAll_Click() {
  ui->txtPoruka->setFocus();
  ui->txtPoruka->selectAll();
}

void frmPrikazTeksta::OKButton_Click() { Form_Unload(); }

void frmPrikazTeksta::cmdDa_Click() {
  OdgovorDa = true;
  Form_Unload();
}

void frmPrikazTeksta::cmdNe_Click() { Form_Unload(); }

void frmPrikazTeksta::mnuSpremiTekst_Click() {
  platform::FileDialogOptions o;
  o.title = QStringLiteral("Izaberite uređaj i direktoriju TXT datoteke za spremanje");
  o.filter = QStringLiteral("TXT datoteka (*.txt)|*.txt");
  o.defaultExt = QStringLiteral(".txt");
  o.initialDir = QDir::homePath();
  o.fileName = QStringLiteral("Tekst poruke.txt");
  o.pathMustExist = true;
  const QString datoteka = platform::dialogs().saveFileName(this, o);
  if (datoteka.isEmpty()) return;
  if (QFileInfo::exists(datoteka) &&
      platform::dialogs().messageBox(
          this, QStringLiteral("Datoteka sa tim imenom već postoji ! Želite li je prepisati?"),
          platform::MsgButtons::YesNo, platform::MsgIcon::Question, datoteka) != platform::MsgResult::Yes)
    return;
  // A failed save is not reported; the old file, if any, stays as it was.
  zapisiTekst(datoteka, tekst_);
}

void PrikaziOpisGreske(QWidget*, const QString& errorText) {
  frmPrikazTeksta::forma()->PrikažiTekst(QStringLiteral("Opis greške"), QStringLiteral("Greška: ") + errorText, false,
                                         QString());
}

}  // namespace viewers
