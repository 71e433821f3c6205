#include "composer/frmSettings.h"

#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <algorithm>

#include "composer/PostavkeComposera.h"
#include "composer/RacunSlanja.h"
#include "core/Pomocne.h"
#include "mail/clsSendMail.h"
#include "platform/Dialogs.h"
#include "platform/PostaviFormu.h"
#include "platform/SecretStore.h"
#include "ui_frmSettings.h"

namespace composer {

namespace {
const QString kNaslov = QStringLiteral("Slanje E-mail-a");
const QString kZadrziLozinku = QStringLiteral("spremljena; upišite samo za promjenu");

// The SMTP server of a stored SMTPIP value; empty for direct delivery.
QString posluziteljIz(const QString& smtpip) {
  const QString host = composer::PoljaPostavke(smtpip)[0].trimmed();
  return host.compare(QLatin1String("FIND"), Qt::CaseInsensitive) == 0 ? QString() : host;
}
}  // namespace

frmSettings::frmSettings(QLineEdit* txtFrom, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmSettings>()), txtFrom_(txtFrom) {
  ui->setupUi(this);
  // The provider's rows sit in a grid of their own: its labels line up with the account's.
  int sirina = 0;
  for (QGridLayout* g : {ui->gridRacun, ui->gridOAuth})
    for (int r = 0; r < g->rowCount(); ++r)
      if (QLayoutItem* i = g->itemAtPosition(r, 0);
          i && i->widget() && qobject_cast<QLabel*>(i->widget()) && g->itemAtPosition(r, 1) != i)
        sirina = std::max(sirina, i->widget()->sizeHint().width());
  ui->gridRacun->setColumnMinimumWidth(0, sirina);
  ui->gridOAuth->setColumnMinimumWidth(0, sirina);
  ui->gridOAuth->setColumnStretch(0, 0);
  ui->gridOAuth->setColumnStretch(1, 1);
  ui->gridOAuth->setColumnStretch(2, 1);
  ui->gridOAuth->setHorizontalSpacing(ui->gridRacun->horizontalSpacing());
  // toggled, not clicked: setting the box on load runs the handler too.
  connect(ui->chkProxy, &QCheckBox::toggled, this, &frmSettings::chkProxy_Click);
  connect(ui->cmdApply, &QPushButton::clicked, this, &frmSettings::cmdApply_Click);
  connect(ui->cmdOK, &QPushButton::clicked, this, &frmSettings::cmdOK_Click);
  connect(ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
  connect(ui->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(ui->cmdProbnaPoruka, &QPushButton::clicked, this, &frmSettings::cmdProbnaPoruka_Click);
  connect(ui->chkPrijava, &QCheckBox::toggled, this, &frmSettings::osvjeziRacun);
  connect(ui->cboSigurnost, &QComboBox::currentIndexChanged, this, &frmSettings::osvjeziRacun);
  connect(ui->cboSigurnost, &QComboBox::activated, this, &frmSettings::sigurnostOdabrana);
  connect(ui->cboNacinPrijave, &QComboBox::activated, this, &frmSettings::nacinOdabran);
  connect(ui->cmdPrijaviSe, &QPushButton::clicked, this, &frmSettings::cmdPrijaviSe_Click);
  connect(ui->cmdOdjava, &QPushButton::clicked, this, &frmSettings::cmdOdjava_Click);
  connect(ui->txtKorisnik, &QLineEdit::editingFinished, this, &frmSettings::osvjeziPrijavu);
  ui->cboNacinPrijave->addItem(QStringLiteral("Lozinka"), QString());
  ui->cboNacinPrijave->addItem(QStringLiteral("Prijava putem Microsoft 365"), QStringLiteral("microsoft"));
  ui->cboNacinPrijave->addItem(QStringLiteral("Prijava putem Google"), QStringLiteral("google"));
  ui->cboNacinPrijave->addItem(QStringLiteral("Prijava putem drugog pružatelja"), QStringLiteral("drugi"));
  ui->cboPort->addItems({QStringLiteral("587"), QStringLiteral("465"), QStringLiteral("25")});
  ui->cboPort->setValidator(new QIntValidator(1, 65535, ui->cboPort));
  ui->cboSigurnost->addItem(QStringLiteral("STARTTLS (obavezno)"), 2);
  ui->cboSigurnost->addItem(QStringLiteral("SSL/TLS od prvog bajta"), 3);
  ui->cboSigurnost->addItem(QStringLiteral("STARTTLS ako ga poslužitelj nudi"), 1);
  ui->cboSigurnost->addItem(QStringLiteral("Bez šifriranja"), 0);
  ui->cboImapPort->addItems({QStringLiteral("993"), QStringLiteral("143")});
  ui->cboImapPort->setValidator(new QIntValidator(1, 65535, ui->cboImapPort));
  ui->cboImapSigurnost->addItem(QStringLiteral("SSL/TLS od prvog bajta"), 3);
  ui->cboImapSigurnost->addItem(QStringLiteral("STARTTLS (obavezno)"), 2);
  connect(ui->chkImapIstaPrijava, &QCheckBox::toggled, this, &frmSettings::osvjeziPoslano);
  // The port follows the security, as on the sending account.
  connect(ui->cboImapSigurnost, &QComboBox::activated, this, [this] {
    const bool tls = ui->cboImapSigurnost->currentData().toInt() == 3;
    const QString port = ui->cboImapPort->currentText().trimmed();
    if (port == QLatin1String(tls ? "143" : "993")) ui->cboImapPort->setCurrentText(QLatin1String(tls ? "993" : "143"));
  });
  connect(ui->cmdPrimjeniPoslano, &QPushButton::clicked, this, &frmSettings::cmdPrimjeniPoslano_Click);
  connect(ui->cmdZatvoriPoslano, &QPushButton::clicked, this, &QDialog::reject);
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
  // Without a stored account a configured server shows what the run uses today (the
  // engine's defaults or Kestrova.ini's); a new set-up starts from a submission port.
  const bool stariPosluzitelj = !posluziteljIz(smtp).isEmpty();
  composer::RacunSlanja r{587, 2, false, {}, {}};
  if (const auto spremljen = composer::CitajRacun()) {
    r = *spremljen;
  } else if (stariPosluzitelj) {
    const mail::clsSendMail motor;
    r = {motor.SmtpPort(), motor.SecureConnection(), motor.UseAuthentication(), motor.UserName(), {}};
  }
  ui->cboPort->setCurrentText(QString::number(r.port));
  ui->cboSigurnost->setCurrentIndex(ui->cboSigurnost->findData(r.sigurnost));
  ui->chkPrijava->setChecked(r.prijava);
  ui->txtKorisnik->setText(r.korisnik);
  ui->cboNacinPrijave->setCurrentIndex(qMax(0, ui->cboNacinPrijave->findData(r.oauth)));
  nacinOdabran();
  if (r.prijava && !r.korisnik.trimmed().isEmpty() && stariPosluzitelj) {
    kljucLozinke_ = composer::kljucLozinke(r.korisnik, posluziteljIz(smtp));
    ui->txtLozinka->setPlaceholderText(kZadrziLozinku);
  }
  osvjeziRacun();
  ucitajPoslano();
  ui->SSTab1->setCurrentIndex(0);
  platform::PostaviFormu(this);
}

void frmSettings::ucitajPoslano() {
  const composer::RacunPoslano r = composer::CitajRacunPoslano();
  ui->grpPoslano->setChecked(r.ukljuceno);
  ui->txtImapServer->setText(r.server);
  ui->cboImapPort->setCurrentText(QString::number(r.port));
  ui->cboImapSigurnost->setCurrentIndex(ui->cboImapSigurnost->findData(r.sigurnost));
  ui->chkImapIstaPrijava->setChecked(r.istaPrijava);
  ui->txtImapKorisnik->setText(r.korisnik);
  ui->txtImapMapa->setText(r.mapa);
  ui->chkImapJednaKopija->setChecked(r.jednaKopija);
  if (!r.istaPrijava && !r.korisnik.isEmpty() && !r.server.isEmpty()) {
    kljucImapLozinke_ = composer::kljucLozinkeImap(r.korisnik, r.server);
    ui->txtImapLozinka->setPlaceholderText(kZadrziLozinku);
  }
  osvjeziPoslano();
}

void frmSettings::osvjeziPoslano() {
  const bool vlastita = !ui->chkImapIstaPrijava->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(ui->lblImapKorisnik), static_cast<QWidget*>(ui->txtImapKorisnik),
                     static_cast<QWidget*>(ui->lblImapLozinka), static_cast<QWidget*>(ui->txtImapLozinka)})
    w->setEnabled(vlastita);
}

bool frmSettings::cmdPrimjeniPoslano_Click() {
  const composer::RacunPoslano r{ui->grpPoslano->isChecked(),
                                 ui->txtImapServer->text().trimmed(),
                                 ui->cboImapPort->currentText().trimmed().toInt(),
                                 ui->cboImapSigurnost->currentData().toInt(),
                                 ui->chkImapIstaPrijava->isChecked(),
                                 ui->txtImapKorisnik->text().trimmed(),
                                 ui->txtImapMapa->text().trimmed(),
                                 ui->chkImapJednaKopija->isChecked()};
  if (r.ukljuceno && (!provjeri(!r.server.isEmpty(), QStringLiteral("Upišite IMAP server"), ui->txtImapServer) ||
                      !provjeri(r.port > 0 && r.port < 65536, QStringLiteral("Upišite port poslužitelja (1 do 65535)"),
                                ui->cboImapPort) ||
                      !provjeri(r.istaPrijava || !r.korisnik.isEmpty(),
                                QStringLiteral("Upišite korisničko ime za IMAP server"), ui->txtImapKorisnik)))
    return false;
  if (!composer::SpremiRacunPoslano(r, this)) return false;
  if (r.istaPrijava || r.korisnik.isEmpty() || r.server.isEmpty()) return true;
  return spremiLozinku(composer::kljucLozinkeImap(r.korisnik, r.server), ui->txtImapLozinka->text(), kljucImapLozinke_,
                       ui->txtImapLozinka);
}

QString frmSettings::nacin() const { return ui->cboNacinPrijave->currentData().toString(); }

// The provider's values as stored (or as the administrator set them machine-wide); the
// addresses and scopes of a preset are not the user's to change.
void frmSettings::nacinOdabran() {
  const QString n = nacin();
  if (!n.isEmpty()) {
    const platform::OAuthPruzatelj p = composer::pruzateljRacuna(n);
    ui->txtOAuthAutorizacija->setText(p.autorizacija.toString());
    ui->txtOAuthToken->setText(p.token.toString());
    ui->txtOAuthOpseg->setText(p.opseg);
    ui->txtOAuthKlijent->setText(p.klijent);
    ui->txtOAuthTajna->setText(p.tajna);
  }
  const bool drugi = n == QLatin1String("drugi");
  for (QWidget* w : {static_cast<QWidget*>(ui->lblOAuthAutorizacija), static_cast<QWidget*>(ui->txtOAuthAutorizacija),
                     static_cast<QWidget*>(ui->lblOAuthToken), static_cast<QWidget*>(ui->txtOAuthToken),
                     static_cast<QWidget*>(ui->lblOAuthOpseg), static_cast<QWidget*>(ui->txtOAuthOpseg)})
    w->setVisible(drugi);
  ui->wOAuth->setVisible(!n.isEmpty());
  ui->lblLozinka->setVisible(n.isEmpty());
  ui->txtLozinka->setVisible(n.isEmpty());
  osvjeziPrijavu();
  osvjeziRacun();
}

void frmSettings::osvjeziPrijavu() {
  const QString n = nacin();
  const QString korisnik = ui->txtKorisnik->text().trimmed();
  const bool prijavljen =
      !n.isEmpty() && !korisnik.isEmpty() && platform::prijavljen(composer::kljucOAuth(korisnik, n));
  ui->lblOAuthStanje->setText(
      prijavljen ? QStringLiteral("Prijavljeni: %1 (%2)").arg(korisnik, composer::pruzateljRacuna(n).naziv)
                 : QStringLiteral("Niste prijavljeni."));
  ui->cmdOdjava->setEnabled(prijavljen);
}

void frmSettings::cmdPrijaviSe_Click() {
  if (!provjeri(!ui->txtSMTPServer->text().trimmed().isEmpty() || ui->chkProxy->isChecked(),
                QStringLiteral("Upišite SMTP server"), ui->txtSMTPServer) ||
      !provjeri(!ui->txtKorisnik->text().trimmed().isEmpty(),
                QStringLiteral("Upišite adresu računa s kojim se prijavljujete"), ui->txtKorisnik))
    return;
  ui->chkPrijava->setChecked(true);
  if (!cmdApply_Click()) return;
  const QString n = nacin();
  QString greska;
  ui->lblOAuthStanje->setText(QStringLiteral("Prijava je otvorena u pregledniku; dovršite je tamo."));
  ui->SSTab1->setEnabled(false);  // no second click while the browser is out
  const bool ok =
      platform::prijavi(composer::pruzateljRacuna(n), composer::kljucOAuth(ui->txtKorisnik->text(), n), &greska, this);
  ui->SSTab1->setEnabled(true);
  osvjeziPrijavu();
  if (!ok && !greska.isEmpty())
    platform::dialogs().messageBox(this, QStringLiteral("Prijava nije uspjela: ") + greska, platform::MsgButtons::Ok,
                                   platform::MsgIcon::Exclamation, kNaslov);
}

void frmSettings::cmdOdjava_Click() {
  platform::odjavi(composer::kljucOAuth(ui->txtKorisnik->text(), nacin()));
  osvjeziPrijavu();
}

void frmSettings::osvjeziRacun() {
  const bool prijava = ui->chkPrijava->isChecked();
  ui->txtKorisnik->setEnabled(prijava);
  ui->txtLozinka->setEnabled(prijava);
  ui->cboNacinPrijave->setEnabled(prijava);
  ui->wOAuth->setEnabled(prijava);
  const bool otvoreno = prijava && ui->cboSigurnost->currentData().toInt() == 0;
  ui->lblUpozorenje->setText(otvoreno ? QStringLiteral("Bez šifriranja lozinka putuje do poslužitelja "
                                                       "kao čisti tekst i svatko na putu je može pročitati.")
                                      : QString());
  ui->lblUpozorenje->setVisible(otvoreno);
}

// The port follows the security the user picks, unless it was set to an unusual one.
void frmSettings::sigurnostOdabrana(int index) {
  const int s = ui->cboSigurnost->itemData(index).toInt();
  const QString port = ui->cboPort->currentText().trimmed();
  if (s == 3 && (port == QLatin1String("587") || port == QLatin1String("25")))
    ui->cboPort->setCurrentText(QStringLiteral("465"));
  else if (s != 3 && port == QLatin1String("465")) ui->cboPort->setCurrentText(QStringLiteral("587"));
}

void frmSettings::chkProxy_Click(bool checked) {
  ui->txtProxy->setEnabled(checked);
  ui->txtSMTPServer->setEnabled(!checked);
  if (!checked) return;
  const QString proxy = composer::SistemskiProxy();
  if (!proxy.isEmpty()) ui->txtProxy->setText(proxy);
}

bool frmSettings::cmdApply_Click() {
  const bool proxy = ui->chkProxy->isChecked() && !ui->txtProxy->text().trimmed().isEmpty();
  const QString server = proxy ? ui->txtProxy->text().trimmed() : ui->txtSMTPServer->text().trimmed();
  const int port = ui->cboPort->currentText().trimmed().toInt();
  const bool prijava = ui->chkPrijava->isChecked();
  if (!server.isEmpty() &&
      (!provjeri(port > 0 && port < 65536, QStringLiteral("Upišite port poslužitelja (1 do 65535)"), ui->cboPort) ||
       !provjeri(!prijava || !ui->txtKorisnik->text().trimmed().isEmpty(),
                 QStringLiteral("Upišite korisničko ime za prijavu na poslužitelj"), ui->txtKorisnik)))
    return false;
  bool ok;
  if (proxy) ok = composer::SpremiSMTPIP(ui->txtProxy->text(), 3, this);
  else if (server.isEmpty()) ok = composer::SpremiSMTPIP(QStringLiteral("FIND"), 1, this);
  else ok = composer::SpremiSMTPIP(ui->txtSMTPServer->text(), 2, this);
  if (!ok || server.isEmpty()) return ok;
  const composer::RacunSlanja r{port, ui->cboSigurnost->currentData().toInt(), prijava,
                                ui->txtKorisnik->text().trimmed(), prijava ? nacin() : QString()};
  if (r.oauth.isEmpty()) return composer::SpremiRacun(r, this) && (!prijava || spremiLozinku(server));
  platform::OAuthPruzatelj p = composer::pruzateljRacuna(r.oauth);
  if (r.oauth == QLatin1String("drugi")) {
    p.autorizacija = QUrl(ui->txtOAuthAutorizacija->text().trimmed());
    p.token = QUrl(ui->txtOAuthToken->text().trimmed());
    p.opseg = ui->txtOAuthOpseg->text().simplified();
  }
  p.klijent = ui->txtOAuthKlijent->text().trimmed();
  p.tajna = ui->txtOAuthTajna->text();
  return provjeri(p.potpun(), QStringLiteral("Upišite adrese pružatelja i ID klijenta"),
                  p.klijent.isEmpty() ? ui->txtOAuthKlijent : ui->txtOAuthAutorizacija) &&
         composer::SpremiRacun(r, this) && composer::SpremiPruzatelja(r.oauth, p, this);
}

// A password typed goes to the keyring; an empty box keeps the stored one only for the same
// user on the same server, and one that no account uses any more is removed.
bool frmSettings::spremiLozinku(const QString& server) {
  return spremiLozinku(composer::kljucLozinke(ui->txtKorisnik->text(), server), ui->txtLozinka->text(), kljucLozinke_,
                       ui->txtLozinka);
}

bool frmSettings::spremiLozinku(const QString& kljuc, const QString& lozinka, QString& zadrzani, QLineEdit* polje) {
  if (lozinka.isEmpty() && kljuc == zadrzani) return true;
  if (!zadrzani.isEmpty() && zadrzani != kljuc) platform::deleteSecret(zadrzani);
  zadrzani.clear();
  polje->setPlaceholderText(QString());
  if (lozinka.isEmpty()) return true;  // the run will ask for one
  platform::SecretPlace gdje = platform::SecretPlace::Keyring;
  QString greska;
  if (!platform::writeSecret(kljuc, lozinka, &gdje, &greska)) {
    platform::dialogs().messageBox(this, QStringLiteral("Lozinka nije spremljena: ") + greska, platform::MsgButtons::Ok,
                                   platform::MsgIcon::Exclamation, kNaslov);
    return false;
  }
  zadrzani = kljuc;
  polje->clear();
  polje->setPlaceholderText(kZadrziLozinku);
  if (gdje == platform::SecretPlace::File && !rečenoZaDatoteku_) {
    rečenoZaDatoteku_ = true;
    platform::dialogs().messageBox(
        this,
        QStringLiteral("Sustavski spremnik lozinki nije dostupan, pa je lozinka spremljena u datoteku "
                       "koju može čitati samo Vaš korisnik:\r\n") +
            platform::secretFile(),
        platform::MsgButtons::Ok, platform::MsgIcon::Information, kNaslov);
  }
  return true;
}

bool frmSettings::provjeri(bool uvjet, const QString& tekst, QWidget* polje) {
  if (uvjet) return true;
  platform::dialogs().messageBox(this, tekst, platform::MsgButtons::Ok, platform::MsgIcon::Information, kNaslov);
  polje->setFocus(Qt::OtherFocusReason);
  return false;
}

void frmSettings::cmdOK_Click() {
  const QString ime = ui->txtName->text();
  const QString adresa = ui->txtEmail->text();
  // The address is checked as it will be stored and used.
  if (!provjeri(!ime.trimmed().isEmpty(), QStringLiteral("Upišite Vaše ime"), ui->txtName) ||
      !provjeri(adresa.trimmed().isEmpty() || core::ProvjeriEMailAdrese(adresa),
                QStringLiteral("Email adresa nije ispravna"), ui->txtEmail) ||
      !provjeri(!adresa.trimmed().isEmpty(), QStringLiteral("Upišite vašu E-Mail adresu"), ui->txtEmail))
    return;
  if (!composer::SpremiSender(ime, adresa, this)) return;
  if (txtFrom_) {
    txtFrom_->setText(ime);
    txtFrom_->setProperty("Tag", adresa);
  }
}

void frmSettings::cmdProbnaPoruka_Click() {
  const auto rezultat = [this](const QString& t) { ui->lblProbnaRezultat->setText(t); };
  rezultat(QString());
  if (!cmdApply_Click()) return;
  const QString host = posluziteljIz(composer::CitajPostavku(QStringLiteral("SMTPIP")));
  const QString adresa = ui->txtEmail->text().trimmed();
  const QString primatelji = ui->txtProbnaZa->text().trimmed().isEmpty() ? adresa : ui->txtProbnaZa->text().trimmed();
  if (host.isEmpty()) return rezultat(QStringLiteral("Probna poruka ide preko SMTP servera: upišite ga."));
  if (adresa.isEmpty() || primatelji.isEmpty())
    return rezultat(QStringLiteral("Upišite adresu pošiljatelja (kartica Pošiljatelj)."));
  mail::clsSendMail m;
  m.setSMTPHostValidation(3);
  m.setEmailAddressValidation(1);
  m.setDelimiter(QStringLiteral(";"));
  m.setSMTPHost(host);
  m.setConnectRetry(1);
  QString razlog;
  if (!composer::primijeniRacun(m, true, &razlog)) return rezultat(razlog);
  m.setFrom(adresa);
  m.setFromDisplayName(ui->txtName->text());
  m.setRecipient(primatelji);
  m.setSubject(QStringLiteral("Probna poruka"));
  m.setMessage(QStringLiteral("Ovo je probna poruka iz postavki slanja e-maila.\r\nPoslužitelj: %1, port %2.")
                   .arg(host)
                   .arg(m.SmtpPort()));
  bool poslano = false;
  QString zašto;
  connect(&m, &mail::clsSendMail::SendSuccesful, this, [&] { poslano = true; });
  connect(&m, &mail::clsSendMail::SendFailed, this, [&](const QString& e) { zašto = e; });
  ui->SSTab1->setEnabled(false);  // no second click while the engine waits
  m.Send();
  ui->SSTab1->setEnabled(true);
  if (poslano && zašto.isEmpty())
    return rezultat(
        QStringLiteral("Probna poruka je poslana na %1.\r\nPoslužitelj: %2").arg(primatelji, m.acceptedReply()));
  if (zašto.isEmpty()) zašto = m.pendingErrors().join(QStringLiteral("\r\n"));
  rezultat(QStringLiteral("Probna poruka nije poslana (%1).\r\n%2").arg(composer::korakNeuspjeha(m, zašto), zašto));
}

}  // namespace composer
