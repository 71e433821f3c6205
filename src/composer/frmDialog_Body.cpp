#include "composer/frmDialog_Body.h"

#include <QLabel>

#include "platform/Dialogs.h"
#include "ui_frmDialog_Body.h"

namespace composer {

namespace {

QString g_boje[frmDialog_Body::BrojBoja];

}  // namespace

void RastaviBoju(qint32 broj, int& crvena, int& zelena, int& plava) {
  crvena = broj & 255;
  zelena = (broj / 256) & 255;
  plava = (broj / 65536) & 255;
}

QString TekstBoje(qint32 broj) {
  int r = 0, g = 0, b = 0;
  RastaviBoju(broj, r, g, b);
  return QStringLiteral("#%1%2%3")
      .arg(r, 2, 16, QLatin1Char('0'))
      .arg(g, 2, 16, QLatin1Char('0'))
      .arg(b, 2, 16, QLatin1Char('0'))
      .toUpper();
}

qint32 BrojBoje(const QColor& c) { return c.red() + c.green() * 256 + c.blue() * 65536; }

QColor BojaIzBroja(qint32 broj) {
  int r = 0, g = 0, b = 0;
  RastaviBoju(broj, r, g, b);
  return QColor(r, g, b);
}

void PostaviBojuPrikaza(QLabel* prikaz, qint32 broj, bool pozadina) {
  QPalette p = prikaz->palette();
  p.setColor(pozadina ? QPalette::Window : QPalette::WindowText, BojaIzBroja(broj));
  prikaz->setPalette(p);
}

frmDialog_Body::frmDialog_Body(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmDialog_Body>()) {
  ui->setupUi(this);
  for (int i = 0; i < BrojBoja; ++i) {
    QPushButton* gumb = findChild<QPushButton*>(QStringLiteral("Command%1").arg(4 + i));
    connect(gumb, &QPushButton::clicked, this, [this, i] { Odaberi_Click(i); });
  }
  connect(ui->Command2, &QPushButton::clicked, this, &frmDialog_Body::Command2_Click);
  connect(ui->Command1, &QPushButton::clicked, this, &QDialog::reject);
}

frmDialog_Body::~frmDialog_Body() = default;

QString frmDialog_Body::Boja(int koja) { return koja >= 0 && koja < BrojBoja ? g_boje[koja] : QString(); }

void frmDialog_Body::Odaberi_Click(int koja) {
  QComboBox* kutije[] = {ui->Combo1, ui->combo2, ui->combo3, ui->combo4, ui->Combo5};
  QLabel* prikazi[] = {ui->Layout, ui->Regular, ui->Link, ui->VisitedLink, ui->ActiveLink};
  const std::optional<QColor> c = platform::dialogs().chooseColor(this, QColor(kutije[koja]->currentText()));
  if (!c) return;
  const qint32 broj = BrojBoje(*c);
  PostaviBojuPrikaza(prikazi[koja], broj, koja == Pozadina);
  kutije[koja]->setCurrentText(TekstBoje(broj));
}

void frmDialog_Body::Command2_Click() {
  const QComboBox* kutije[] = {ui->Combo1, ui->combo2, ui->combo3, ui->combo4, ui->Combo5};
  for (int i = 0; i < BrojBoja; ++i)
    if (!kutije[i]->currentText().isEmpty()) g_boje[i] = kutije[i]->currentText();
  accept();
}

}  // namespace composer
