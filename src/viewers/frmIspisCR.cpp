#include "viewers/frmIspisCR.h"

#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPrintPreviewWidget>
#include <QScreen>

#include "core/SettingsStore.h"
#include "platform/Dialogs.h"
#include "platform/DocumentPrinter.h"
#include "platform/PostaviFormu.h"
#include "platform/RecordSet.h"
#include "ui_frmIspisCR.h"
#include "viewers/PomocneProzora.h"
#include "viewers/ReportMailHook.h"
#include "viewers/frmPrikazZapisa.h"
#include "viewers/modUExcel.h"

namespace viewers {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

const QString kMapaPDF = QStringLiteral("DirektorijaGenPDF");

// Top 0; left, width and height half the screen width.
KljuceviPolozaja kljuceviPolozaja() {
  const QScreen* zaslon = QGuiApplication::primaryScreen();
  const double pola = (zaslon ? zaslon->geometry().width() : 1280) * 15.0 / 2;
  return {QStringLiteral("KIFModalLeft"),
          QStringLiteral("KIFModalTop"),
          QStringLiteral("KIFModalWidth"),
          QStringLiteral("KIFModalHeight"),
          {pola, 0, pola, pola}};
}

QString mapaPDF() {
  QString mapa = core::VelkorSetting(kMapaPDF, QDir::homePath() + QLatin1Char('/'));
  if (!mapa.endsWith(QLatin1Char('/'))) mapa += QLatin1Char('/');
  return mapa;
}

}  // namespace

frmIspisCR::frmIspisCR(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmIspisCR>()) {
  ui->setupUi(this);
  CRVRadnici_ = new QPrintPreviewWidget(&printer_, this);
  CRVRadnici_->setObjectName(QStringLiteral("CRVRadnici"));
  CRVRadnici_->setZoomMode(QPrintPreviewWidget::FitToWidth);
  ui->lytPregled->addWidget(CRVRadnici_);
  ui->lytGlavni->setStretch(0, 1);
  connect(CRVRadnici_, &QPrintPreviewWidget::paintRequested, this,
          [this](QPrinter* p) { rptIzvjestaj.print(*p, 0, 0); });  // always every page
  connect(ui->cmdIspis, &QPushButton::clicked, this, &frmIspisCR::cmdIspis_Click);
  connect(ui->cmdPostaviPrinter, &QPushButton::clicked, this, &frmIspisCR::cmdPostaviPrinter_Click);
  connect(ui->cmdUPDF, &QPushButton::clicked, this, [this] { IzveziPDF(false, 0, 0); });
  connect(ui->cmdEmail, &QPushButton::clicked, this, [this] { IzveziPDF(true, 0, 0); });
  connect(ui->cmdUPDFstr, &QPushButton::clicked, this,
          [this] { PrikažiOpseg(false, QStringLiteral("Export to PDF")); });
  connect(ui->cmdEmailStr, &QPushButton::clicked, this,
          [this] { PrikažiOpseg(true, QStringLiteral("Slanje e-mail to PDF")); });
  connect(ui->cmdOdDoExport, &QPushButton::clicked, this, &frmIspisCR::cmdOdDoExport_Click);
  connect(ui->cmdOdDoIzlaz, &QPushButton::clicked, this, &frmIspisCR::SakrijOpseg);
  connect(ui->cmdExcel, &QPushButton::clicked, this, &frmIspisCR::cmdExcel_Click);
  connect(ui->gmbPregledZapisa, &QPushButton::clicked, this, &frmIspisCR::gmbPregledZapisa_Click);
  connect(ui->cmdIzlaz, &QPushButton::clicked, this, &QDialog::accept);
  ui->ubOd->installEventFilter(this);
  ui->ubDo->installEventFilter(this);
  ui->fraOpsegStrana->hide();
}

frmIspisCR::~frmIspisCR() = default;

void frmIspisCR::Prikaži() {
  Form_Load();
  exec();
}

void frmIspisCR::Form_Load() {
  platform::PostaviFormu(this);
  VratiPoziciju();
  osvjeziPregled();
}

// The preview, the range maxima and every output follow the report's one page layout.
void frmIspisCR::osvjeziPregled() {
  printer_.setDocName(windowTitle());
  printer_.setPageLayout(rptIzvjestaj.pageLayout());
  CRVRadnici_->updatePreview();
  const int stranica = rptIzvjestaj.pageCount();
  ui->ubOd->setMaximum(stranica);
  ui->ubDo->setMaximum(stranica);
}

void frmIspisCR::done(int r) {
  SpremiPoziciju();
  QDialog::done(r);
}

void frmIspisCR::VratiPoziciju() {
  if (PamtiPoziciju) UcitajPolozaj(this, kljuceviPolozaja());
}

void frmIspisCR::SpremiPoziciju() {
  if (PamtiPoziciju) SpremiPolozaj(this, kljuceviPolozaja());
}

void frmIspisCR::poruka(const QString& tekst, MsgIcon ikona, const QString& naslov) {
  platform::dialogs().messageBox(this, tekst, MsgButtons::Ok, ikona,
                                 naslov.isEmpty() ? platform::defaultTitle() : naslov);
}

void frmIspisCR::cmdIspis_Click() { platform::printReport(this, rptIzvjestaj, windowTitle()); }

void frmIspisCR::cmdPostaviPrinter_Click() {
  if (platform::setUpReportPage(this, rptIzvjestaj, windowTitle())) osvjeziPregled();
}

void frmIspisCR::cmdExcel_Click() {
  if (rsZapisi && rsZapisi->State() == 1) PrebaciUExcel(*rsZapisi, false, false, false, {}, {}, this);
}

void frmIspisCR::gmbPregledZapisa_Click() {
  frmPrikazZapisa zapisi(this);
  zapisi.PrikažiZapise(windowTitle(), rsZapisi, -1, -1, -1, QString());
}

void frmIspisCR::PrikažiOpseg(bool eMail, const QString& naslov) {
  eMailOpseg_ = eMail;
  ui->fraOpsegStrana->setTitle(naslov);
  ui->fraOpsegStrana->show();
  ui->fraOpsegStrana->raise();
  ui->ubOd->setFocus();
}

void frmIspisCR::SakrijOpseg() { ui->fraOpsegStrana->hide(); }

void frmIspisCR::cmdOdDoExport_Click() {
  if (ui->ubOd->value() > ui->ubDo->value()) {
    poruka(QStringLiteral("Prvi broj stranice veći od drugog! Ispravite."), MsgIcon::Exclamation,
           QStringLiteral("Greška"));
    ui->ubOd->setFocus();
    return;
  }
  IzveziPDF(eMailOpseg_, ui->ubOd->value(), ui->ubDo->value());
  SakrijOpseg();
}

bool frmIspisCR::eventFilter(QObject* o, QEvent* e) {
  auto* polje = qobject_cast<QSpinBox*>(o);
  if (!polje || e->type() != QEvent::KeyPress) return QDialog::eventFilter(o, e);
  switch (static_cast<QKeyEvent*>(e)->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down: polje->setValue(polje->value() - 1); return true;
    case Qt::Key_Right:
    case Qt::Key_Up: polje->setValue(polje->value() + 1); return true;
    default: return false;
  }
}

void frmIspisCR::IzveziPDF(bool eMail, int prva, int zadnja) {
  const int stranica = rptIzvjestaj.pageCount();
  // Pages past the end would give a blank PDF: refuse the range before anything is asked.
  if (prva > stranica) {
    poruka(QStringLiteral("Prvi broj stranice veći od broja stranica izvještaja (%1)! Ispravite.").arg(stranica),
           MsgIcon::Exclamation, QStringLiteral("Greška"));
    return;
  }
  platform::FileDialogOptions o;
  o.title = QStringLiteral("Izaberite direktoriju i ime datoteke gdje se sprema PDF datoteka");
  o.filter = QStringLiteral("PDF datoteka (*.pdf)|*.pdf");
  o.initialDir = mapaPDF();
  o.fileName = o.initialDir + OcistiImeDatoteke(windowTitle()) + QStringLiteral(".PDF");
  const QString ime = platform::dialogs().saveFileName(this, o);
  if (ime.isEmpty()) return;
  const QString mapa = ime.left(ime.lastIndexOf(QLatin1Char('/')) + 1);
  if (!mapa.isEmpty() && QDir().mkpath(mapa)) core::SaveVelkorSetting(kMapaPDF, mapa);
  if (ime.size() < 5 || ime.right(3).toUpper() != QLatin1String("PDF")) {
    poruka(QStringLiteral("Ime datoteke nije ispravno!"), MsgIcon::Information);
    return;
  }
  QString greska;
  if (!rptIzvjestaj.exportPdf(ime, windowTitle(), prva, zadnja, &greska)) {
    poruka(QStringLiteral("Desila se greška: ") + greska, MsgIcon::Exclamation);
    return;
  }
  if (eMail)
    if (ReportMailHook posalji = reportMailHook()) posalji(windowTitle(), EmailPrimatelja, {}, {}, {}, ime, {}, {});
}

}  // namespace viewers
