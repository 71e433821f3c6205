#include "composer/frmDialog_ExternalFile.h"

#include "ui_frmDialog_ExternalFile.h"

namespace composer {

namespace {

QString g_put;

}  // namespace

frmDialog_ExternalFile::frmDialog_ExternalFile(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmDialog_ExternalFile>()) {
  ui->setupUi(this);
  connect(ui->Command2, &QPushButton::clicked, this, &frmDialog_ExternalFile::Command2_Click);
  connect(ui->Command1, &QPushButton::clicked, this, &QDialog::reject);
}

frmDialog_ExternalFile::~frmDialog_ExternalFile() = default;

QString frmDialog_ExternalFile::Put() { return g_put; }

void frmDialog_ExternalFile::Command2_Click() {
  g_put = ui->Text1->text();
  accept();
}

}  // namespace composer
