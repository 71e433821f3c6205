#include "composer/frmDialog_Table.h"

#include <QLineEdit>

#include "composer/frmDialog_Body.h"
#include "platform/Dialogs.h"
#include "ui_frmDialog_Table.h"

namespace composer {

namespace {

QString g_tablica;

// A whole number 1-100, else 0: bigger tables are no e-mail body.
int broj(const QString& tekst) {
  bool ok = false;
  const int n = tekst.trimmed().toInt(&ok);
  return ok && n >= 1 && n <= 100 ? n : 0;
}

QString atribut(const char* ime, const QString& vrijednost) {
  return QStringLiteral(" %1=\"%2\"").arg(QLatin1String(ime), vrijednost);
}

}  // namespace

frmDialog_Table::frmDialog_Table(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmDialog_Table>()) {
  ui->setupUi(this);
  ui->Combo1->setEntries({QStringLiteral("Lijevo"), QStringLiteral("Centrirano"), QStringLiteral("Desno")});
  for (QComboBox* c : {static_cast<QComboBox*>(ui->Combo1), ui->combo2, ui->combo3, ui->combo4}) c->setCurrentIndex(-1);
  ui->combo4->setCurrentText(QStringLiteral("1"));
  PostaviBojuPrikaza(ui->lblBorderColor, boja_);
  connect(ui->cmdBorderColor, &QPushButton::clicked, this, &frmDialog_Table::cmdBorderColor_Click);
  connect(ui->Command1, &QPushButton::clicked, this, &frmDialog_Table::Command1_Click);
  connect(ui->Command2, &QPushButton::clicked, this, &QDialog::reject);
}

frmDialog_Table::~frmDialog_Table() = default;

QString frmDialog_Table::TablicaHtml() { return g_tablica; }

QString frmDialog_Table::IzgradiHtml(const QString& align, const QString& cellspacing, const QString& cellpadding,
                                     const QString& border, qint32 borderColor, int redovi, int kolone) {
  QString html = QStringLiteral("<Table");
  const std::pair<const char*, const QString&> atributi[] = {
      {"align", align}, {"cellspacing", cellspacing}, {"cellpadding", cellpadding}, {"border", border}};
  for (const auto& [ime, vrijednost] : atributi)
    if (!vrijednost.isEmpty()) html += atribut(ime, vrijednost);
  html += atribut("borderColor", QString::number(borderColor)) + QStringLiteral(" width=75%>\r\n");
  const QString red = QStringLiteral("      <TD></TD>\r\n").repeated(qMax(kolone, 0));
  for (int i = 0; i < redovi; ++i) html += QStringLiteral("   <TR>\r\n") + red + QStringLiteral("   </TR>\r\n");
  return html + QStringLiteral("</Table>\r\n");
}

void frmDialog_Table::cmdBorderColor_Click() {
  const std::optional<QColor> c = platform::dialogs().chooseColor(this, BojaIzBroja(boja_));
  if (!c) return;
  boja_ = BrojBoje(*c);
  PostaviBojuPrikaza(ui->lblBorderColor, boja_);
}

void frmDialog_Table::Command1_Click() {
  const int redovi = broj(ui->Text2->text());
  const int kolone = broj(ui->Text1->text());
  if (!redovi || !kolone) {
    platform::dialogs().messageBox(
        this, QStringLiteral("Broj kolona i broj redova moraju biti cijeli brojevi od 1 do 100."),
        platform::MsgButtons::Ok, platform::MsgIcon::Exclamation, QStringLiteral("Slanje E-mail-a"));
    QLineEdit* kriv = kolone ? ui->Text2 : ui->Text1;
    kriv->setFocus();
    kriv->selectAll();
    return;
  }
  g_tablica = IzgradiHtml(ui->Combo1->currentText(), ui->combo2->currentText(), ui->combo3->currentText(),
                          ui->combo4->currentText(), boja_, redovi, kolone);
  accept();
}

}  // namespace composer
