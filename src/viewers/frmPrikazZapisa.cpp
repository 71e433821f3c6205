#include "viewers/frmPrikazZapisa.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QTextDocument>

#include "platform/Dialogs.h"
#include "platform/DocumentPrinter.h"
#include "platform/PostaviFormu.h"
#include "platform/SpreadsheetWriter.h"
#include "ui_frmPrikazZapisa.h"
#include "viewers/IzvozTablice.h"
#include "viewers/ModelZapisa.h"
#include "viewers/PomocneProzora.h"
#include "viewers/modUExcel.h"

namespace viewers {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

const KljuceviPolozaja kPolozaj{QStringLiteral("PrikZapMainLeft"),
                                QStringLiteral("PrikZapMainTop"),
                                QStringLiteral("PrikZapMainWidth"),
                                QStringLiteral("PrikZapMainHeight"),
                                {0, 0, 9645, 5800}};
constexpr int kDodatakTwips = 300;     // room added to each column's fitted width
constexpr double kMarginaTwips = 400;  // print margins

}  // namespace

frmPrikazZapisa::frmPrikazZapisa(QWidget* parent)
    : QDialog(parent),
      ui(std::make_unique<Ui::frmPrikazZapisa>()),
      model_(new ModelZapisa(this)),
      mnuAkcija_(new QMenu(QStringLiteral("Akcija"), this)) {
  ui->setupUi(this);
  mnuAkcija_->setObjectName(QStringLiteral("mnuAkcija"));
  const QString stavke[] = {QStringLiteral("Ispis tablice"), QStringLiteral("Export u MS Excel (.xls)"),
                            QStringLiteral("Export u tekst datoteku sa ,"),
                            QStringLiteral("Export u tekst datoteku sa Tab")};
  for (int i = 0; i < 4; ++i) {
    QAction* a = mnuAkcija_->addAction(stavke[i]);
    a->setObjectName(QStringLiteral("mnuAkc"));
    connect(a, &QAction::triggered, this, [this, i] { mnuAkc_Click(i); });
  }
  ui->fg->setModel(model_);
  ui->fg->setSortingEnabled(false);  // the record set sorts, so sum rows stay in place
  ui->fg->horizontalHeader()->setSectionsClickable(true);
  connect(ui->fg->horizontalHeader(), &QHeaderView::sectionClicked, this, &frmPrikazZapisa::fg_HeaderClick);
  connect(ui->fg, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { mnuAkcija_->popup(ui->fg->viewport()->mapToGlobal(p)); });
  connect(ui->cmdUExcel, &QPushButton::clicked, this, &frmPrikazZapisa::cmdUExcel_Click);
  connect(ui->mnuUExcel, &QAction::triggered, this, &frmPrikazZapisa::cmdUExcel_Click);
  connect(ui->cmdIzlaz, &QPushButton::clicked, this, &frmPrikazZapisa::cmdIzlaz_Click);
  Form_Load();
}

frmPrikazZapisa::~frmPrikazZapisa() = default;

void frmPrikazZapisa::Form_Load() { platform::PostaviFormu(this); }

void frmPrikazZapisa::PrikažiZapise(const QString& naslov, platform::RecordSet* rs, int stupacGrupe, int ukupno1,
                                    int ukupno2, const QString& izvjestaj) {
  stupacGrupe_ = stupacGrupe;
  ukupno1_ = ukupno1;
  ukupno2_ = ukupno2;
  UcitajPolozaj(this, kPolozaj);
  rs_ = rs ? rs : &prazan_;
  izvjestaj_ = izvjestaj;
  NapuniGrid();
  fg_AfterSort();
  setWindowTitle(naslov);
  exec();
}

void frmPrikazZapisa::NapuniGrid() {
  ui->fg->setUpdatesEnabled(false);
  model_->postaviZapise(rs_, izvjestaj_);
  ui->fg->setUpdatesEnabled(true);
}

void frmPrikazZapisa::fg_AfterSort() {
  ui->fg->setUpdatesEnabled(false);
  model_->primijeniUkupno(stupacGrupe_, ukupno1_, ukupno2_);
  ui->fg->resizeColumnsToContents();
  const int dodatak = qRound(kDodatakTwips / 15.0);
  for (int s = 0; s < model_->columnCount(); ++s) ui->fg->setColumnWidth(s, ui->fg->columnWidth(s) + dodatak);
  ui->fg->setUpdatesEnabled(true);
}

void frmPrikazZapisa::fg_HeaderClick(int stupac) {
  // The fixed column has no field, and an empty set has nothing to order.
  if (stupac < 1 || stupac > rs_->FieldCount() || rs_->RecordCount() == 0) return;
  const QString uzlazno = QLatin1Char('[') + rs_->FieldName(stupac - 1) + QLatin1Char(']');
  rs_->SetSort(rs_->Sort() == uzlazno ? uzlazno + QStringLiteral(" DESC") : uzlazno);
  NapuniGrid();
  fg_AfterSort();
}

void frmPrikazZapisa::cmdUExcel_Click() { PrebaciUExcel(*rs_, false, false, false, {}, {}, this); }

void frmPrikazZapisa::cmdIzlaz_Click() {
  SpremiPolozaj(this, kPolozaj);
  accept();
}

void frmPrikazZapisa::greska(const QString& opis) {
  platform::dialogs().messageBox(this, QStringLiteral("Desila se greška: ") + opis, MsgButtons::Ok,
                                 MsgIcon::Exclamation, platform::defaultTitle());
}

void frmPrikazZapisa::mnuAkc_Click(int index) {
  switch (index) {
    case 0: IspisTablice(); break;
    case 1: IzvozUExcel(); break;
    case 2: IzvozUTekst(QStringLiteral(",")); break;
    case 3: IzvozUTekst(QStringLiteral("\t")); break;
    default: break;
  }
}

void frmPrikazZapisa::IspisTablice() {
  const auto dokument = TablicaUDokument(*model_, windowTitle());
  const double m = platform::twipsToMm(kMarginaTwips);
  platform::printDocument(this, *dokument, windowTitle(), QMarginsF(m, m, m, m));
}

namespace {

platform::FileDialogOptions dijalogIzvoza(const QString& naslov, const QString& nastavak, const QString& filter) {
  platform::FileDialogOptions o;
  o.title = QStringLiteral("Izaberite uređaj i direktoriju gdje će se snimiti podaci");
  o.defaultExt = nastavak;
  o.filter = filter;
  o.fileName = OcistiImeDatoteke(naslov.trimmed()) + nastavak;
  o.pathMustExist = true;
  return o;
}

}  // namespace

void frmPrikazZapisa::IzvozUExcel() {
  // The workbook is written in the current format, so its name says .xlsx.
  const QString ime = platform::dialogs().saveFileName(
      this, dijalogIzvoza(windowTitle(), QStringLiteral(".xlsx"), QStringLiteral("Excel datoteka (*.xlsx)|*.xlsx")));
  if (ime.isEmpty()) return;
  if (QFileInfo::exists(ime) &&
      platform::dialogs().messageBox(
          this, QStringLiteral("Datoteka: \r\n") + ime + QStringLiteral("\r\nveć postoji. Prepisati?"),
          MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Prepis datoteke?")) != platform::MsgResult::Yes)
    return;
  try {
    TablicaUExcel(*model_, ime);
  } catch (const std::exception& e) {
    greska(QString::fromUtf8(e.what()));
  }
}

void frmPrikazZapisa::IzvozUTekst(const QString& separator) {
  const QString ime = platform::dialogs().saveFileName(
      this, dijalogIzvoza(windowTitle(), QStringLiteral(".txt"), QStringLiteral("TXT datoteka (*.txt)|*.txt")));
  if (ime.isEmpty()) return;
  QString opis;
  if (!TablicaUTekst(*model_, ime, separator, &opis)) greska(opis);
}

}  // namespace viewers
