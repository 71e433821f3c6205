#include "composer/frmSettings.h"

#include "composer/PostavkeComposera.h"
#include "core/Pomocne.h"
#include "platform/PostaviFormu.h"
#include "platform/Dialogs.h"
#include "ui_frmSettings.h"

frmSettings::frmSettings(QLineEdit* txtFrom, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmSettings>()), m_txtFrom(txtFrom) {
  ui->setupUi(this);
  // toggled, not clicked: setting the box on load runs the handler too.
  connect(ui->chkProxy, &QCheckBox::toggled, this, &frmSettings::chkProxy_Click);
  connect(ui->cmdApply, &QPushButton::clicked, this, &frmSettings::cmdApply_Click);
  connect(ui->cmdOK, &QPushButton::clicked, this, &frmSettings::cmdOK_Click);
  connect(ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
  connect(ui->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  Form_Load();
}

frmSettings::~frmSettings() = default;

void frmSettings::Form_Load() {
  const QString smtp = composer::CitajPostavku(QStringLiteral("SMTPIP"));
  if (!smtp.isEmpty()) {
    const QStringList f = composer::PoljaPostavke(smtp);
    if (f[1] == QLatin1String("2")) {
      ui->txtSMTPServer->setText(f[0]);
    } else if (f[1] == QLatin1String("3")) {
      ui->txtProxy->setText(f[0]);
      ui->chkProxy->setChecked(true);
    } else {
      ui->txtSMTPServer->clear();
      ui->txtProxy->clear();
    }
  }
  const QString posiljatelj = composer::CitajPostavku(QStringLiteral("SENDER"));
  if (!posiljatelj.isEmpty()) {
    const QStringList f = composer::PoljaSendera(posiljatelj);
    ui->txtName->setText(f[0]);
    ui->txtEmail->setText(f[1]);
  }
  ui->SSTab1->setCurrentIndex(0);
  PostaviFormu(this);
}

void frmSettings::chkProxy_Click(bool checked) {
  ui->txtProxy->setEnabled(checked);
  ui->txtSMTPServer->setEnabled(!checked);
  if (!checked) return;
  const QString proxy = composer::SistemskiProxy();
  if (!proxy.isEmpty()) ui->txtProxy->setText(proxy);
}

void frmSettings::cmdApply_Click() {
  if (ui->chkProxy->isChecked() && !ui->txtProxy->text().trimmed().isEmpty())
    composer::SpremiSMTPIP(ui->txtProxy->text(), 3, this);
  else if (ui->txtSMTPServer->text().trimmed().isEmpty())
    composer::SpremiSMTPIP(QStringLiteral("FIND"), 1, this);
  else
    composer::SpremiSMTPIP(ui->txtSMTPServer->text(), 2, this);
}

bool frmSettings::provjeri(bool uvjet, const QString& tekst, QLineEdit* polje) {
  if (uvjet) return true;
  platform::dialogs().messageBox(this, tekst, platform::MsgButtons::Ok,
                                 platform::MsgIcon::Information, QStringLiteral("Slanje E-mail-a"));
  polje->setFocus(Qt::OtherFocusReason);
  return false;
}

void frmSettings::cmdOK_Click() {
  const QString ime = ui->txtName->text();
  const QString adresa = ui->txtEmail->text();
  // The address is checked as it will be stored and used.
  if (!provjeri(!ime.trimmed().isEmpty(), QStringLiteral("Upišite Vaše ime"), ui->txtName) ||
      !provjeri(adresa.trimmed().isEmpty() || ProvjeriEMailAdrese(adresa),
                QStringLiteral("Email adresa nije ispravna"), ui->txtEmail) ||
      !provjeri(!adresa.trimmed().isEmpty(), QStringLiteral("Upišite vašu E-Mail adresu"),
                ui->txtEmail))
    return;
  if (!composer::SpremiSender(ime, adresa, this)) return;
  if (m_txtFrom) {
    m_txtFrom->setText(ime);
    m_txtFrom->setProperty("Tag", adresa);
  }
}
