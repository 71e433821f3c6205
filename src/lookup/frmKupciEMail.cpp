#include "lookup/frmKupciEMail.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTimer>

#include "core/SettingsStore.h"
#include "lookup/UpitKomitenata.h"
#include "platform/PostaviFormu.h"
#include "platform/RecordSet.h"
#include "platform/SqlPristup.h"
#include "ui_frmKupciEMail.h"

namespace lookup {

namespace {
const QString kKljucPoPočetku = QStringLiteral("chkPrikazKomEmailPretrPoPoč");
constexpr int kStupacNaziv = 1;
constexpr int kStupacEMail = 2;
}  // namespace

frmKupciEMail::frmKupciEMail(QWidget* parent) : QDialog(parent), ui(new Ui::frmKupciEMail) {
  ui->setupUi(this);
  ui->fgŠifre->setColumnHidden(0, true);
  ui->fgŠifre->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  ui->chkPrikazŠifriPretrPoPoč->setChecked(
      core::settingToBool(core::VelkorSetting(kKljucPoPočetku, QStringLiteral("0")), false));
  connect(ui->txtImeKupca, &QLineEdit::textChanged, this, &frmKupciEMail::NapuniIPrikažiSveŠifrePoPočZnaku);
  connect(ui->fgŠifre, &QTableWidget::cellDoubleClicked, this, &frmKupciEMail::Odaberi);
  ui->txtImeKupca->installEventFilter(this);
  ui->fgŠifre->installEventFilter(this);
  ui->chkPrikazŠifriPretrPoPoč->installEventFilter(this);
  platform::PostaviFormu(this);
}

frmKupciEMail::~frmKupciEMail() = default;

void frmKupciEMail::Prikaži(const QString& pocetniTekst) {
  {
    const QSignalBlocker tiho(ui->txtImeKupca);  // one search, not two
    ui->txtImeKupca->setText(pocetniTekst);
  }
  if (!pocetniTekst.isEmpty()) NapuniIPrikažiSveŠifrePoPočZnaku(pocetniTekst);
  ui->txtImeKupca->setFocus();
  exec();
}

void frmKupciEMail::NapuniIPrikažiSveŠifrePoPočZnaku(const QString& tekst) {
  if (tekst.trimmed().size() <= 1) {
    isprazniRešetku();
    return;
  }
  const QString sql = SqlPretrageKomitenata(tekst, ui->chkPrikazŠifriPretrPoPoč->isChecked(),
                                            [](const QString& t) { return platform::sqlPristup().literal(t); });
  platform::RecordSet rs;
  // No connection of our own, forward reading, and no message box: a failed search only
  // leaves the grid empty.
  if (platform::sqlPristup().OtvoriRS(nullptr, sql, rs, true, false)) napuniRešetku(rs);
  else isprazniRešetku();
}

void frmKupciEMail::napuniRešetku(platform::RecordSet& rs) {
  QTableWidget* g = ui->fgŠifre;
  g->setRowCount(0);
  g->setRowCount(rs.RecordCount());
  int red = 0;
  // By position: PostgreSQL gives the aliases back in lower case.
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext(), ++red) {
    g->setItem(red, kStupacNaziv, new QTableWidgetItem(rs.Value(0).toString()));
    g->setItem(red, kStupacEMail, new QTableWidgetItem(rs.Value(1).toString()));
  }
  g->setColumnHidden(0, true);
  postaviŠirineStupaca();
  if (g->rowCount() > 0) g->setCurrentCell(0, kStupacNaziv);
}

void frmKupciEMail::isprazniRešetku() { ui->fgŠifre->setRowCount(0); }

int frmKupciEMail::twipsUPiksele(int twips) const { return twips * logicalDpiX() / 1440; }

void frmKupciEMail::postaviŠirineStupaca() {
  QTableWidget* g = ui->fgŠifre;
  g->setColumnWidth(kStupacEMail, twipsUPiksele(3500));
  const int naziv = g->width() - twipsUPiksele(7600);
  g->setColumnWidth(kStupacNaziv, std::max(naziv, g->horizontalHeader()->minimumSectionSize()));
}

void frmKupciEMail::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  postaviŠirineStupaca();
}

void frmKupciEMail::Odaberi() {
  QTableWidget* g = ui->fgŠifre;
  if (g->rowCount() > 0) {
    const int red = g->currentRow() >= 0 ? g->currentRow() : 0;
    const QTableWidgetItem* adresa = g->item(red, kStupacEMail);
    OdabraniEMail = adresa ? adresa->text() : QString();
  } else {
    ui->txtImeKupca->clear();
    OdabraniEMail.clear();
  }
  Odustao = false;
  accept();
}

void frmKupciEMail::reject() {
  Odustao = true;
  ui->txtImeKupca->clear();
  OdabraniEMail.clear();
  QDialog::reject();
}

bool frmKupciEMail::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui->chkPrikazŠifriPretrPoPoč && event->type() == QEvent::FocusOut) {
    core::SaveVelkorSetting(kKljucPoPočetku, core::ZeroOne(ui->chkPrikazŠifriPretrPoPoč->isChecked()));
  } else if (watched == ui->txtImeKupca && event->type() == QEvent::FocusIn) {
    // Later, so that the mouse click that gave the focus does not undo the selection.
    QTimer::singleShot(0, ui->txtImeKupca, &QLineEdit::selectAll);
  } else if (event->type() == QEvent::KeyPress && (watched == ui->txtImeKupca || watched == ui->fgŠifre)) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      Odaberi();
      return true;
    }
    if (key == Qt::Key_Down && watched == ui->txtImeKupca && ui->fgŠifre->rowCount() > 0) {
      ui->fgŠifre->setCurrentCell(0, kStupacNaziv);
      ui->fgŠifre->setFocus();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace lookup
