#include "sender/frmSMTPPostavke.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <exception>

#include "core/SettingsStore.h"
#include "platform/Dialogs.h"
#include "platform/PostaviFormu.h"
#include "sender/SlanjePrekoSMTP.h"
#include "sender/SmtpMailer.h"
#include "sender/SmtpMessage.h"
#include "sender/modSMTPEMail.h"
#include "ui_frmSMTPPostavke.h"
#include "viewers/frmPrikazTeksta.h"

namespace sender {

using core::SaveVelkorSetting;
using core::VelkorSetting;

namespace {

const QString kTestMail = QStringLiteral("SMTPTestMail");

// Only blanks are trimmed, as everywhere in the component's windows.
QString bezRubnihRazmaka(const QString& s) {
  qsizetype a = 0, b = s.size();
  while (a < b && s[a] == QLatin1Char(' ')) ++a;
  while (b > a && s[b - 1] == QLatin1Char(' ')) --b;
  return s.mid(a, b - a);
}

bool daNe(const QString& key) { return core::settingToBool(VelkorSetting(key, "False"), false); }

int broj(const QString& key, int zadano) {
  bool ok = false;
  const int n = VelkorSetting(key, QString::number(zadano)).trimmed().toInt(&ok);
  return ok ? n : zadano;
}

// The date and time as this machine writes them by default, seconds included.
QString trenutnoVrijeme() {
  const QLocale l = QLocale::system();
  const QDateTime sada = QDateTime::currentDateTime();
  QString format = l.timeFormat(QLocale::LongFormat);
  format.remove(QLatin1Char('t')).replace(QLatin1String("  "), QLatin1String(" "));
  return l.toString(sada.date(), QLocale::ShortFormat) + QLatin1Char(' ') + l.toString(sada.time(), format.trimmed());
}

QIcon ikonaOka() {
  QPixmap p(20, 20);
  p.fill(Qt::transparent);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(QPen(QColor(40, 40, 40), 1.6));
  QPainterPath oko;
  oko.moveTo(2, 10);
  oko.quadTo(10, 2, 18, 10);
  oko.quadTo(10, 18, 2, 10);
  g.drawPath(oko);
  g.setBrush(QColor(40, 40, 40));
  g.drawEllipse(QPointF(10, 10), 2.8, 2.8);
  return QIcon(p);
}

}  // namespace

frmSMTPPostavke::frmSMTPPostavke(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmSMTPPostavke>()) {
  ui->setupUi(this);
  ui->cmdPrikPass->setIcon(ikonaOka());
  ui->txtSMTPPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
  ui->txtOAuthTajna->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
  ui->cboNacinPrijave->addItem(QStringLiteral("Lozinka"), QString());
  ui->cboNacinPrijave->addItem(QStringLiteral("Prijava putem Microsoft 365"), QStringLiteral("microsoft"));
  ui->cboNacinPrijave->addItem(QStringLiteral("Prijava putem Google"), QStringLiteral("google"));
  ui->cboNacinPrijave->addItem(QStringLiteral("Prijava putem drugog pružatelja"), QStringLiteral("drugi"));
  for (QLineEdit* t :
       {ui->txtSMTPFrom, ui->txtSMTPHostName, ui->txtSMTPUserName, ui->txtSMTPPassword, ui->txtOAuthAutorizacija,
        ui->txtOAuthToken, ui->txtOAuthOpseg, ui->txtOAuthKlijent, ui->txtOAuthTajna})
    connect(t, &QLineEdit::textChanged, this, [this] { promijenjeno_ = true; });
  for (QCheckBox* c : {ui->chkSMTPSSL, ui->chkSMTPStartTLS})
    connect(c, &QCheckBox::toggled, this, [this] { promijenjeno_ = true; });
  for (QSpinBox* s : {ui->ubSMTPPort, ui->ubSMTPTimeout})
    connect(s, &QSpinBox::valueChanged, this, [this] { promijenjeno_ = true; });
  connect(ui->cboNacinPrijave, &QComboBox::activated, this, [this] {
    promijenjeno_ = true;
    nacinOdabran();
  });
  connect(ui->txtSMTPUserName, &QLineEdit::textChanged, this, &frmSMTPPostavke::osvjeziPrijavu);
  connect(ui->cmdPrijaviSe, &QPushButton::clicked, this, &frmSMTPPostavke::cmdPrijaviSe_Click);
  connect(ui->cmdOdjava, &QPushButton::clicked, this, &frmSMTPPostavke::cmdOdjava_Click);
  connect(ui->cmdSpremi, &QPushButton::clicked, this, &frmSMTPPostavke::cmdSpremi_Click);
  connect(ui->cmdIzlaz, &QPushButton::clicked, this, &frmSMTPPostavke::cmdIzlaz_Click);
  connect(ui->cmdPrikPass, &QToolButton::clicked, this, &frmSMTPPostavke::cmdPrikPass_Click);
  connect(ui->cmdSlanjeTestEMail, &QPushButton::clicked, this, &frmSMTPPostavke::cmdSlanjeTestEMail_Click);
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
  UcitajPostavke();
  // The sign-in rows line up with the fields above them.
  int sirina = 0;
  for (int i = 0; i < ui->glPolja->rowCount(); ++i)
    if (QLayoutItem* l = ui->glPolja->itemAtPosition(i, 0); l && l->widget())
      sirina = qMax(sirina, l->widget()->sizeHint().width());
  for (QGridLayout* g : {ui->glPrijava, ui->glOAuth}) {
    g->setColumnMinimumWidth(0, sirina);
    g->setHorizontalSpacing(ui->glPolja->horizontalSpacing());
  }
}

frmSMTPPostavke::~frmSMTPPostavke() = default;

void frmSMTPPostavke::UcitajPostavke() {
  ui->txtSMTPFrom->setText(VelkorSetting("SMTPFrom"));
  ui->txtSMTPHostName->setText(VelkorSetting("SMTPHostName"));
  ui->txtSMTPUserName->setText(VelkorSetting("SMTPUserName"));
  ui->txtSMTPPassword->setText(VelkorSetting("SMTPPassword"));
  ui->chkSMTPSSL->setChecked(daNe("SMTPSSL"));
  ui->chkSMTPStartTLS->setChecked(daNe("SMTPStartTLS"));
  ui->ubSMTPPort->setValue(broj("SMTPPort", 25));
  ui->ubSMTPTimeout->setValue(broj("SMTPTimeout", 5));
  ui->cboNacinPrijave->setCurrentIndex(
      qMax(0, ui->cboNacinPrijave->findData(VelkorSetting("SMTPOAuth").trimmed().toLower())));
  nacinOdabran();
  promijenjeno_ = false;
  platform::PostaviFormu(this);
}

void frmSMTPPostavke::SpremiPostavke() {
  SaveVelkorSetting("SMTPFrom", ui->txtSMTPFrom->text());
  SaveVelkorSetting("SMTPHostName", ui->txtSMTPHostName->text());
  SaveVelkorSetting("SMTPUserName", ui->txtSMTPUserName->text());
  SaveVelkorSetting("SMTPPassword", ui->txtSMTPPassword->text());
  SaveVelkorSetting("SMTPSSL", core::TrueFalse(ui->chkSMTPSSL->isChecked()));
  SaveVelkorSetting("SMTPStartTLS", core::TrueFalse(ui->chkSMTPStartTLS->isChecked()));
  SaveVelkorSetting("SMTPPort", QString::number(ui->ubSMTPPort->value()));
  SaveVelkorSetting("SMTPTimeout", QString::number(ui->ubSMTPTimeout->value()));
  // Stored only once used, as the settings of an earlier version have none; the
  // administrator's values stay in the machine-wide file until the user types others.
  const SMTPPostavke p = postavkeSaEkrana();
  for (const auto& [kljuc, vrijednost] :
       {std::pair{"SMTPOAuth", p.OAuth}, std::pair{"SMTPOAuthKlijent", p.OAuthKlijent},
        std::pair{"SMTPOAuthAdrese", p.OAuthAdrese}}) {
    const QString spremljeno = VelkorSetting(kljuc);
    if (spremljeno.isEmpty() && vrijednost == SMTPOAuthStroja(kljuc, p.OAuth)) continue;
    if (!vrijednost.isEmpty() || !spremljeno.isEmpty()) SaveVelkorSetting(kljuc, vrijednost);
  }
  promijenjeno_ = false;
}

bool frmSMTPPostavke::ProvjeriUnos() {
  const struct {
    QLineEdit* polje;
    const char* poruka;
  } polja[] = {
      {ui->txtSMTPFrom, "Mora se unijeti SMTP From!"},
      {ui->txtSMTPHostName, "Mora se unijeti SMTP Host Name!"},
      {ui->txtSMTPUserName, "Mora se unijeti SMTP User Name (korisničko ime)!"},
      {ui->txtSMTPPassword, "Mora se unijeti SMTP Password (lozinka)!"},
  };
  for (const auto& p : polja) p.polje->setText(bezRubnihRazmaka(p.polje->text()));
  const bool oauth = !nacin().isEmpty();
  for (const auto& p : polja) {
    if (!p.polje->text().isEmpty() || (oauth && p.polje == ui->txtSMTPPassword)) continue;
    platform::dialogs().messageBox(this, QString::fromUtf8(p.poruka), platform::MsgButtons::Ok,
                                   platform::MsgIcon::Exclamation, QString());
    p.polje->setFocus();
    return false;
  }
  if (oauth && ui->txtOAuthKlijent->text().trimmed().isEmpty()) {
    platform::dialogs().messageBox(this, QStringLiteral("Mora se unijeti ID klijenta za prijavu!"),
                                   platform::MsgButtons::Ok, platform::MsgIcon::Exclamation, QString());
    ui->txtOAuthKlijent->setFocus();
    return false;
  }
  return true;
}

SMTPPostavke frmSMTPPostavke::postavkeSaEkrana() const {
  SMTPPostavke p;
  p.From = ui->txtSMTPFrom->text();
  p.HostName = ui->txtSMTPHostName->text();
  p.UserName = ui->txtSMTPUserName->text();
  p.Password = ui->txtSMTPPassword->text();
  p.SSL = ui->chkSMTPSSL->isChecked() ? 1 : 0;
  p.StartTLS = ui->chkSMTPStartTLS->isChecked() ? 1 : 0;
  p.Port = ui->ubSMTPPort->value();
  p.Timeout = static_cast<short>(ui->ubSMTPTimeout->value());
  p.OAuth = nacin();
  if (!p.OAuth.isEmpty()) {
    p.OAuthKlijent = ui->txtOAuthKlijent->text().trimmed() +
                     (ui->txtOAuthTajna->text().isEmpty() ? QString() : QLatin1Char('%') + ui->txtOAuthTajna->text());
    if (p.OAuth == QLatin1String("drugi"))
      p.OAuthAdrese = QStringList{ui->txtOAuthAutorizacija->text().trimmed(), ui->txtOAuthToken->text().trimmed(),
                                  ui->txtOAuthOpseg->text().simplified()}
                          .join(QLatin1Char(' '))
                          .trimmed();
  }
  return p;
}

QString frmSMTPPostavke::nacin() const { return ui->cboNacinPrijave->currentData().toString(); }

// A preset's addresses and scopes are not the user's to change; the client ID stays as typed.
void frmSMTPPostavke::nacinOdabran() {
  const QString n = nacin();
  if (!n.isEmpty()) {
    SMTPPostavke s;
    s.OAuth = n;
    s.OAuthKlijent = SMTPOAuthVrijednost(QStringLiteral("SMTPOAuthKlijent"), n);
    s.OAuthAdrese = SMTPOAuthVrijednost(QStringLiteral("SMTPOAuthAdrese"), n);
    const platform::OAuthPruzatelj p = SMTPPruzatelj(s);
    ui->txtOAuthAutorizacija->setText(p.autorizacija.toString());
    ui->txtOAuthToken->setText(p.token.toString());
    ui->txtOAuthOpseg->setText(p.opseg);
    if (ui->txtOAuthKlijent->text().isEmpty()) ui->txtOAuthKlijent->setText(p.klijent);
    if (ui->txtOAuthTajna->text().isEmpty()) ui->txtOAuthTajna->setText(p.tajna);
  }
  const bool drugi = n == QLatin1String("drugi");
  for (QWidget* w :
       std::initializer_list<QWidget*>{ui->lblOAuthAutorizacija, ui->txtOAuthAutorizacija, ui->lblOAuthToken,
                                       ui->txtOAuthToken, ui->lblOAuthOpseg, ui->txtOAuthOpseg})
    w->setVisible(drugi);
  ui->wOAuth->setVisible(!n.isEmpty());
  for (QWidget* w : std::initializer_list<QWidget*>{ui->lblSMTPPassword, ui->txtSMTPPassword, ui->cmdPrikPass})
    w->setVisible(n.isEmpty());
  osvjeziPrijavu();
}

void frmSMTPPostavke::osvjeziPrijavu() {
  const SMTPPostavke p = postavkeSaEkrana();
  const bool prijavljen =
      !p.OAuth.isEmpty() && !p.UserName.trimmed().isEmpty() && platform::prijavljen(SMTPKljucOAuth(p));
  ui->lblOAuthStanje->setText(
      prijavljen ? QStringLiteral("Prijavljeni: %1 (%2)").arg(p.UserName.trimmed(), SMTPPruzatelj(p).naziv)
                 : QStringLiteral("Niste prijavljeni."));
  ui->cmdOdjava->setEnabled(prijavljen);
}

// Signs in with the values on screen, saved first: the route uses what is stored.
void frmSMTPPostavke::cmdPrijaviSe_Click() {
  if (!ProvjeriUnos()) return;
  SpremiPostavke();
  const SMTPPostavke p = postavkeSaEkrana();
  ui->lblOAuthStanje->setText(QStringLiteral("Prijava je otvorena u pregledniku; dovršite je tamo."));
  QString greska;  // the wait box is modal: no second click while the browser is out
  const bool ok = platform::prijavi(SMTPPruzatelj(p), SMTPKljucOAuth(p), &greska, this);
  osvjeziPrijavu();
  if (!ok && !greska.isEmpty())
    platform::dialogs().messageBox(this, QStringLiteral("Prijava nije uspjela: ") + greska, platform::MsgButtons::Ok,
                                   platform::MsgIcon::Exclamation, QStringLiteral("Prijava"));
}

void frmSMTPPostavke::cmdOdjava_Click() {
  platform::odjavi(SMTPKljucOAuth(postavkeSaEkrana()));
  osvjeziPrijavu();
}

void frmSMTPPostavke::cmdSpremi_Click() {
  if (!ProvjeriUnos()) return;
  SpremiPostavke();
  done(QDialog::Accepted);
}

void frmSMTPPostavke::cmdIzlaz_Click() {
  if (promijenjeno_ &&
      platform::dialogs().messageBox(
          this, QStringLiteral("Mijenjali ste podatke, a niste izvršili spremanje. Želite li spremiti podatke?"),
          platform::MsgButtons::YesNo, platform::MsgIcon::Question,
          QStringLiteral("Spremiti podatke?")) == platform::MsgResult::Yes)
    SpremiPostavke();
  done(QDialog::Rejected);
}

void frmSMTPPostavke::cmdPrikPass_Click() {
  QLineEdit* t = ui->txtSMTPPassword;
  t->setEchoMode(t->echoMode() == QLineEdit::Password ? QLineEdit::Normal : QLineEdit::Password);
}

void frmSMTPPostavke::cmdSlanjeTestEMail_Click() {
  if (!ProvjeriUnos()) return;
  const QString domena = ui->txtSMTPFrom->text().section(QLatin1Char('@'), 1).remove(QLatin1Char('>'));
  const std::optional<QString> odgovor =
      platform::dialogs().inputBox(this, QStringLiteral("Unesite e-mail kome šaljete testni mail:"),
                                   QStringLiteral("E-mail"), VelkorSetting(kTestMail, QLatin1Char('@') + domena));
  const QString primatelji = bezRubnihRazmaka(odgovor.value_or(QString()));
  if (primatelji.isEmpty()) return;
  if (!primatelji.contains(QLatin1Char('@'))) {
    platform::dialogs().messageBox(this, QStringLiteral("Nije ispravan format e-mail adrese!"),
                                   platform::MsgButtons::Ok, platform::MsgIcon::Exclamation, QStringLiteral("Greška"));
    return;
  }
  SaveVelkorSetting(kTestMail, primatelji);
  SpremiPostavke();
  // Whatever goes wrong inside the mail library is shown, never passed to the host.
  try {
    posaljiTestniMail(primatelji);
  } catch (const std::exception& e) {
    viewers::PrikaziOpisGreske(this, QString::fromLocal8Bit(e.what()));
  } catch (...) {
    viewers::PrikaziOpisGreske(this, QStringLiteral("Unknown error in the mail library."));
  }
}

void frmSMTPPostavke::posaljiTestniMail(const QString& primatelji) {
  const SMTPPostavke p = postavkeSaEkrana();
  SmtpMailer mailer;
  if (!PostaviSMTPVezu(mailer, p, this)) return;

  const QString vrijeme = trenutnoVrijeme();
  SmtpMessage poruka;
  poruka.setSubject(QStringLiteral("This is a test / Ovo je test ") + vrijeme);
  poruka.setBody(QStringLiteral("This is a test / Ovo je test slanja e-mail-a Vrijeme/Time: ") + vrijeme);
  poruka.setFrom(p.From);
  for (const QString& adresa : primatelji.split(QLatin1Char(';'))) poruka.addTo(QString(), adresa);

  QElapsedTimer trajanje;
  trajanje.start();
  if (mailer.sendEmail(poruka) != 1) {
    viewers::PrikaziOpisGreske(this, mailer.lastErrorText());
    return;
  }
  const double sekunde = trajanje.nsecsElapsed() / 1e9;
  platform::dialogs().timedMessageBox(this,
                                      QStringLiteral("Mail Sent! / Poruka poslana uspješno! Slanje trajalo: ") +
                                          QLocale::system().toString(sekunde) + QStringLiteral(" s"),
                                      platform::MsgIcon::Information, QStringLiteral("Ispravna konfiguracija"), 10000);
}

// Enter and Down move to the next field, Up to the previous one.
bool frmSMTPPostavke::eventFilter(QObject* watched, QEvent* event) {
  auto* w = qobject_cast<QWidget*>(watched);
  if (event->type() != QEvent::KeyPress || !w || w->window() != this ||
      !(qobject_cast<QLineEdit*>(w) || qobject_cast<QCheckBox*>(w) || qobject_cast<QSpinBox*>(w)))
    return QDialog::eventFilter(watched, event);
  const auto* k = static_cast<QKeyEvent*>(event);
  if (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return QDialog::eventFilter(watched, event);
  switch (k->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Down: focusNextChild(); return true;
    case Qt::Key_Up: focusPreviousChild(); return true;
    default: return QDialog::eventFilter(watched, event);
  }
}

void frmSMTPPostavke::closeEvent(QCloseEvent* event) {
  event->accept();
  QDialog::done(QDialog::Rejected);
}

void frmSMTPPostavke::reject() { cmdIzlaz_Click(); }

void PrikaziSMTPPostavke(QWidget* parent) {
  frmSMTPPostavke forma(parent);
  forma.exec();
}

}  // namespace sender
