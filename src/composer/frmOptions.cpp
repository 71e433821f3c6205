#include "composer/frmOptions.h"

#include "composer/MailFormat.h"
#include "composer/PostavkeComposera.h"
#include "composer/ZapisnikSlanja.h"
#include "core/Pomocne.h"
#include "platform/Dialogs.h"
#include "platform/PostaviFormu.h"
#include "ui_frmOptions.h"

namespace composer {

frmOptions::frmOptions(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmOptions>()) {
  ui->setupUi(this);
  ui->cmbMessageFormat->setCurrentIndex(-1);
  // activated and clicked: only the user's choices change the process-wide values.
  connect(ui->cmbMessageFormat, &QComboBox::activated, this, &frmOptions::cmbMessageFormat_Click);
  connect(ui->optMIME, &QRadioButton::clicked, this, [] { composer::PostaviMailFormat(MailFormatHTML, 0); });
  connect(ui->optEnCode, &QRadioButton::clicked, this, [] { composer::PostaviMailFormat(MailFormatHTML, 1); });
  connect(ui->cmdApply, &QPushButton::clicked, this, &frmOptions::cmdApply_Click);
  connect(ui->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(ui->cmdObrišiZapisnik, &QPushButton::clicked, this, &frmOptions::cmdObrišiZapisnik_Click);
  Form_Load();
}

frmOptions::~frmOptions() = default;

void frmOptions::Form_Load() {
  const QString format = composer::CitajPostavku(QStringLiteral("MAILFORMAT"));
  if (!format.isEmpty()) {
    const QStringList f = composer::PoljaPostavke(format);
    (f[1] == QLatin1String("0") ? ui->optMIME : ui->optEnCode)->setChecked(true);
    const bool html = f[0].compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
    ui->cmbMessageFormat->setCurrentIndex(html ? 1 : 0);
    prikaziKodiranje(html);
  }
  const composer::PostavkeSlanja slanje = composer::CitajPostavkeSlanja();
  ui->chkNastaviNakonGreške->setChecked(slanje.nastaviNakonGreške);
  ui->spnPorukaUMinuti->setValue(slanje.porukaUMinuti);
  ui->txtAdresaOdjave->setText(composer::CitajAdresuOdjave());
  platform::PostaviFormu(this);
}

// With HTML the encoding is MIME, and the screen says so.
void frmOptions::prikaziKodiranje(bool html) {
  if (html) ui->optMIME->setChecked(true);
  ui->optEnCode->setEnabled(!html);
}

void frmOptions::cmbMessageFormat_Click(int index) {
  const bool html = index == 1;
  prikaziKodiranje(html);
  composer::PostaviMailFormat(html, ui->optEnCode->isChecked() ? 1 : 0);
}

void frmOptions::cmdApply_Click() {
  if (!spremiPostavkeSlanja()) return;
  const int index = ui->cmbMessageFormat->currentIndex();
  if (index < 0) return;
  const bool html = index == 1;
  const int kodiranje = html || ui->optMIME->isChecked() ? 0 : 1;
  composer::PostaviMailFormat(html, kodiranje);
  composer::SpremiMailFormat(html, kodiranje, this);
}

// Stored only when changed: a user who never touches them gets no new value in the store.
// An unsubscribe address that is no address is not stored: the box says so and the field
// keeps the focus.
bool frmOptions::spremiPostavkeSlanja() {
  const composer::PostavkeSlanja p{ui->chkNastaviNakonGreške->isChecked(), ui->spnPorukaUMinuti->value()};
  const QString odjava = ui->txtAdresaOdjave->text().trimmed();
  if (!odjava.isEmpty() && (odjava.contains(QLatin1Char(';')) || !core::ProvjeriEMailAdrese(odjava))) {
    platform::dialogs().messageBox(this, QStringLiteral("Pogrešna adresa za odjavu: ") + odjava,
                                   platform::MsgButtons::Ok, platform::MsgIcon::Exclamation,
                                   QStringLiteral("Slanje E-mail-a"));
    ui->txtAdresaOdjave->setFocus();
    return false;
  }
  return (p == composer::CitajPostavkeSlanja() || composer::SpremiPostavkeSlanja(p, this)) &&
         (odjava == composer::CitajAdresuOdjave() || composer::SpremiAdresuOdjave(odjava, this));
}

// The journal of sent messages: afterwards no run cut short is offered to be taken up.
void frmOptions::cmdObrišiZapisnik_Click() {
  const QString naslov = QStringLiteral("Slanje E-mail-a");
  if (platform::dialogs().messageBox(this,
                                     QStringLiteral("Zaboraviti kome su poslane poruke prekinutih slanja? Ponovljeno "
                                                    "slanje tada ide svim kupcima."),
                                     platform::MsgButtons::YesNo, platform::MsgIcon::Question,
                                     naslov) != platform::MsgResult::Yes)
    return;
  QString greska;
  const bool ok = composer::ZapisnikSlanja().ocisti(&greska);
  platform::dialogs().messageBox(this,
                                 ok ? QStringLiteral("Prekinuta slanja su zaboravljena.")
                                    : QStringLiteral("Zapis o slanjima nije obrisan: ") + greska,
                                 platform::MsgButtons::Ok,
                                 ok ? platform::MsgIcon::Information : platform::MsgIcon::Exclamation, naslov);
}

}  // namespace composer
