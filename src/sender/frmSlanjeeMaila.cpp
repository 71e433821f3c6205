#include "sender/frmSlanjeeMaila.h"

#include <QAbstractSpinBox>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QStyle>
#include <exception>

#include "core/Pomocne.h"
#include "core/SettingsStore.h"
#include "platform/Dialogs.h"
#include "platform/PostaviFormu.h"
#include "sender/TrazilicaKupaca.h"
#include "ui_frmSlanjeeMaila.h"

namespace sender {

using core::SaveVelkorSetting;
using core::VelkorSetting;

namespace {

const QString kZatvori = QStringLiteral("chkZatvoriFrmSlEmaila");
const QString kRuta = QStringLiteral("mnuEmailPrekoOutlookaThunderSMTP");
const QString kOutlookZatvori = QStringLiteral("mnuEmailOutlookZatvori");
const QString kThunderbirdEnter = QStringLiteral("mnuEmailThunderbirdŠaljiiEnter");
const QString kPosiljatelj = QStringLiteral("mnuEmailPošiljatelj");

QPointer<frmSlanjeeMaila> g_forma;

frmSlanjeeMaila::RuteSlanja& rute() {
  static frmSlanjeeMaila::RuteSlanja r;
  return r;
}

// Only blanks are trimmed; other white space stays for the address check to judge.
QString bezRubnihRazmaka(const QString& s) {
  qsizetype a = 0, b = s.size();
  while (a < b && s[a] == QLatin1Char(' ')) ++a;
  while (b > a && s[b - 1] == QLatin1Char(' ')) --b;
  return s.mid(a, b - a);
}

void obrezi(QLineEdit* polje) { polje->setText(bezRubnihRazmaka(polje->text())); }

// The list check plus what every route needs: a line break would end a header line of the
// message and start one of the user's making.
bool adreseIspravne(const QString& adrese) {
  return core::ProvjeriEMailAdrese(adrese) && !adrese.contains(QLatin1Char('\r')) &&
         !adrese.contains(QLatin1Char('\n'));
}

// Controls in which Enter, Up and Down move between fields.
bool jePoljeZaKretanje(QWidget* w) {
  return qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QCheckBox*>(w) ||
         qobject_cast<QAbstractSpinBox*>(w);
}

}  // namespace

void frmSlanjeeMaila::PostaviRute(RuteSlanja r) { rute() = std::move(r); }

frmSlanjeeMaila* frmSlanjeeMaila::forma() {
  if (!g_forma) g_forma = new frmSlanjeeMaila();
  return g_forma;
}

frmSlanjeeMaila::frmSlanjeeMaila() : ui(std::make_unique<Ui::frmSlanjeeMaila>()) {
  ui->setupUi(this);
  cmdEmail = {ui->cmdEmail_0, ui->cmdEmail_1, ui->cmdEmail_2};
  cmdLokacija = {ui->cmdLokacija_0, ui->cmdLokacija_1, ui->cmdLokacija_2};
  txtPrilozi = {ui->txtPrilog, ui->txtPrilog2, ui->txtPrilog3};
  mnuEmailPrekoOutlookaThunderSMTP = {ui->mnuEmailPrekoOutlookaThunderSMTP_0, ui->mnuEmailPrekoOutlookaThunderSMTP_1,
                                      ui->mnuEmailPrekoOutlookaThunderSMTP_2};
  const QIcon mapa = style()->standardIcon(QStyle::SP_DirOpenIcon);
  for (QToolButton* b : {ui->cmdLokacija_0, ui->cmdLokacija_1, ui->cmdLokacija_2}) b->setIcon(mapa);
  poveziKontrole();
  postaviFiltarTipki();
  Form_Load();
}

frmSlanjeeMaila::~frmSlanjeeMaila() = default;

void frmSlanjeeMaila::poveziKontrole() {
  grupaRuta = new QActionGroup(this);
  grupaRuta->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
  for (int i = 0; i < 3; ++i) {
    grupaRuta->addAction(mnuEmailPrekoOutlookaThunderSMTP[i]);
    connect(mnuEmailPrekoOutlookaThunderSMTP[i], &QAction::triggered, this, [this, i] { OdaberiNacinSlanja(i); });
    connect(cmdEmail[i], &QAbstractButton::clicked, this, [this, i] { TraziEMailKupca(i); });
    connect(cmdLokacija[i], &QAbstractButton::clicked, this, [this, i] { OdaberiPrilog(i); });
  }
  connect(ui->mnuEmailOutlookZatvori, &QAction::triggered, this,
          [this] { prebaciOpciju(ui->mnuEmailOutlookZatvori, kOutlookZatvori); });
  connect(ui->mnuEmailThunderbirdŠaljiiEnter, &QAction::triggered, this,
          [this] { prebaciOpciju(ui->mnuEmailThunderbirdŠaljiiEnter, kThunderbirdEnter); });
  connect(ui->mnuSMTPPostavke, &QAction::triggered, this, [this] {
    if (rute().smtpPostavke) rute().smtpPostavke(this);
  });
  connect(ui->chkZatvoriSlEmaila, &QCheckBox::clicked, this,
          [this](bool checked) { SaveVelkorSetting(kZatvori, core::ZeroOne(checked)); });
  connect(ui->cmdSlanje, &QAbstractButton::clicked, this, &frmSlanjeeMaila::cmdSlanje_Click);
  connect(ui->cmdPrekid, &QAbstractButton::clicked, this, &frmSlanjeeMaila::cmdPrekid_Click);
}

// The form sees keys before its controls, as the menu and popups do not count.
void frmSlanjeeMaila::postaviFiltarTipki() {
  installEventFilter(this);
  for (QWidget* w : findChildren<QWidget*>()) {
    if (w->isWindow() || qobject_cast<QMenu*>(w) || qobject_cast<QMenuBar*>(w)) continue;
    w->installEventFilter(this);
  }
}

void frmSlanjeeMaila::Form_Load() {
  ui->chkZatvoriSlEmaila->setChecked(core::settingToBool(VelkorSetting(kZatvori, "1"), true));
  bool brojRute = false;
  const int ruta = VelkorSetting(kRuta, "0").trimmed().toInt(&brojRute);
  OdaberiNacinSlanja(brojRute ? ruta : 0);
  ui->mnuEmailOutlookZatvori->setChecked(core::settingToBool(VelkorSetting(kOutlookZatvori, "True"), true));
  ui->mnuEmailThunderbirdŠaljiiEnter->setChecked(core::settingToBool(VelkorSetting(kThunderbirdEnter, "True"), true));
  ui->txtPošiljatelj->setText(VelkorSetting(kPosiljatelj, QString()));
  ui->sBar->showMessage(QStringLiteral("Definiranje osnovnih parametara za slanje e-mail-a"));
  platform::PostaviFormu(this);
}

void frmSlanjeeMaila::Napuni(const QString& Subject, const QString& Recepients, const QString& CC, const QString& BCC,
                             const QString& Poruka, const QString& lAttachFileName, const QString& lAttachFileName2,
                             const QString& lAttachFileName3) {
  ui->txtPrimatelj->setText(Recepients);
  ui->txtPredmet->setText(Subject);
  ui->txtCC->setText(CC);
  ui->txtBCC->setText(BCC);
  ui->txtPoruka->setPlainText(Poruka);
  PostaviPrilog(0, lAttachFileName);
  PostaviPrilog(1, lAttachFileName2);
  PostaviPrilog(2, lAttachFileName3);
  prilogPozivatelja_ = lAttachFileName;
}

// A name handed in is fixed; an empty one leaves the box and its browse button to the user.
void frmSlanjeeMaila::PostaviPrilog(int i, const QString& naziv) {
  const bool slobodan = naziv.isEmpty();
  txtPrilozi[i]->setText(naziv);
  txtPrilozi[i]->setReadOnly(!slobodan);
  txtPrilozi[i]->setEnabled(true);
  cmdLokacija[i]->setEnabled(slobodan);
}

void frmSlanjeeMaila::Prikaži(const QString& Subject, const QString& Recepients, const QString& CC, const QString& BCC,
                              const QString& Poruka, const QString& lAttachFileName, const QString& lAttachFileName2,
                              const QString& lAttachFileName3) {
  // Reached again from one of its own windows (the error viewer's report, e-mailing its
  // PDF): refilling would overwrite the user's fields, and the form must outlive the handler
  // that is still running under it.
  if (uPrikazu_) {
    platform::dialogs().messageBox(
        QApplication::activeModalWidget(),
        QStringLiteral("Prozor \"Slanje e-mail-a\" je već otvoren. Završite slanje u njemu ili "
                       "ga zatvorite, pa pokušajte ponovno."),
        platform::MsgButtons::Ok, platform::MsgIcon::Exclamation, platform::defaultTitle());
    return;
  }
  Napuni(Subject, Recepients, CC, BCC, Poruka, lAttachFileName, lAttachFileName2, lAttachFileName3);
  uPrikazu_ = true;
  exec();
  if (!unloaded_) Unload(false);
  // Unloading during exec() left the deletion to us: nothing of the form is used below.
  delete this;
}

void frmSlanjeeMaila::OdaberiNacinSlanja(int index) {
  for (QAction* a : mnuEmailPrekoOutlookaThunderSMTP) a->setChecked(false);
  if (index >= 0 && index <= 2) mnuEmailPrekoOutlookaThunderSMTP[index]->setChecked(true);
  SaveVelkorSetting(kRuta, QString::number(index));
}

int frmSlanjeeMaila::odabranaRuta() const {
  for (int i = 0; i < 3; ++i)
    if (mnuEmailPrekoOutlookaThunderSMTP[i]->isChecked()) return i;
  return -1;
}

void frmSlanjeeMaila::prebaciOpciju(QAction* opcija, const QString& kljuc) {
  // The action has already toggled its check mark when triggered.
  SaveVelkorSetting(kljuc, core::TrueFalse(opcija->isChecked()));
  if (opcija == ui->mnuEmailThunderbirdŠaljiiEnter && opcija->isChecked())
    platform::dialogs().messageBox(
        this,
        QStringLiteral("Upozorenje: Ova opcija neće raditi u svim verzijama Thunderbird-a, pa je "
                       "isključite ako ne radi."),
        platform::MsgButtons::Ok, platform::MsgIcon::Information, QStringLiteral("Upozorenje"));
}

void frmSlanjeeMaila::porukaUpozorenja(const QString& tekst, QWidget* fokus) {
  platform::dialogs().messageBox(this, tekst, platform::MsgButtons::Ok, platform::MsgIcon::Exclamation,
                                 platform::defaultTitle());
  if (fokus) fokus->setFocus(Qt::OtherFocusReason);
}

// The field checks in their fixed order; the first failure is shown and ends the send.
bool frmSlanjeeMaila::provjeriPolja() {
  for (QLineEdit* p : {ui->txtPrimatelj, ui->txtCC, ui->txtBCC, ui->txtPredmet}) obrezi(p);
  if (odabranaRuta() == 1) {
    if (ui->txtPošiljatelj->text().isEmpty()) {
      porukaUpozorenja(QStringLiteral("Mora se zadati ime i e-mail pošiljatelja!"), ui->txtPošiljatelj);
      return false;
    }
    SaveVelkorSetting(kPosiljatelj, ui->txtPošiljatelj->text());
  }
  struct Provjera {
    bool neuspjeh;
    const char* poruka;
    QWidget* fokus;
  };
  const Provjera provjere[] = {
      {ui->txtPrimatelj->text().isEmpty(), "Mora se zadati e-mail primatelja!", ui->txtPrimatelj},
      {!adreseIspravne(ui->txtPrimatelj->text()), "E-mail primatelja nije u ispravnom formatu!", ui->txtPrimatelj},
      {!adreseIspravne(ui->txtCC->text()), "E-mail CC nije u ispravnom formatu!", ui->txtCC},
      {!adreseIspravne(ui->txtBCC->text()), "E-mail BCC nije u ispravnom formatu!", ui->txtBCC},
      {ui->txtPredmet->text().isEmpty(), "Mora se upisati predmet poruke!", ui->txtPredmet},
      {ui->txtPoruka->toPlainText().isEmpty(), "Mora se upisati tekst poruke!", ui->txtPoruka},
  };
  for (const Provjera& p : provjere) {
    if (p.neuspjeh) {
      porukaUpozorenja(QString::fromUtf8(p.poruka), p.fokus);
      return false;
    }
  }
  return true;
}

bool frmSlanjeeMaila::posaljiOdabranim() {
  static const char* const tekstRute[] = {"pomoću MS Outlook-a u toku ...", "pomoću Mozilla Thunderbird-a u toku ...",
                                          "direktno putem SMTP-a u toku ..."};
  const int ruta = odabranaRuta();
  QString status = QStringLiteral("Slanje e-mail-a ");
  if (ruta >= 0) status += QString::fromUtf8(tekstRute[ruta]);
  ui->sBar->showMessage(status);

  const QString prilog1 = ui->txtPrilog->text(), prilog2 = ui->txtPrilog2->text(), prilog3 = ui->txtPrilog3->text();
  switch (ruta) {
    case 0:
      return ProvPostOutlook() &&
             SendOutlookMail(ui->txtPredmet->text(), ui->txtPrimatelj->text(), ui->txtPoruka->toPlainText(), prilog1,
                             ui->txtCC->text(), ui->txtBCC->text(), false, prilog2, prilog3);
    case 1:
      return ProvPostThunder() &&
             rute().thunderbird(ui->txtPrimatelj->text(), ui->txtPredmet->text(), ui->txtPoruka->toPlainText(),
                                ui->txtCC->text(), ui->txtBCC->text(),
                                TBAttachments(QStringList{prilog1, prilog2, prilog3}), ui->txtPošiljatelj->text(),
                                ui->mnuEmailThunderbirdŠaljiiEnter->isChecked(), this);
    case 2:
      return ProvPostSMTP() &&
             rute().smtp(ui->txtPredmet->text(), ui->txtPrimatelj->text(), ui->txtPoruka->toPlainText(), prilog1,
                         ui->txtCC->text(), ui->txtBCC->text(), false, prilog2, prilog3, this);
    default: return false;
  }
}

void frmSlanjeeMaila::cmdSlanje_Click() {
  // A route may pump events while it works: a second press must not start another send.
  if (šaljeSe_) return;
  šaljeSe_ = true;
  bool uspjeh = false;
  bool prekinuto = false;
  try {
    if (!provjeriPolja()) {
      šaljeSe_ = false;
      return;
    }
    uspjeh = posaljiOdabranim();
  } catch (const std::exception& e) {
    prekinuto = true;
    ui->sBar->showMessage(QStringLiteral("Greška!"));
    platform::dialogs().messageBox(this, QStringLiteral("Desila se greška: ") + QString::fromUtf8(e.what()),
                                   platform::MsgButtons::Ok, platform::MsgIcon::Exclamation,
                                   QStringLiteral("Greška u slanju e-mail-a"));
  } catch (...) {
    prekinuto = true;
    ui->sBar->showMessage(QStringLiteral("Greška!"));
    platform::dialogs().messageBox(this, QStringLiteral("Desila se greška: Nepoznata greška"), platform::MsgButtons::Ok,
                                   platform::MsgIcon::Exclamation, QStringLiteral("Greška u slanju e-mail-a"));
  }
  šaljeSe_ = false;
  if (prekinuto) return;

  if (uspjeh) {
    ui->sBar->showMessage(QStringLiteral("Uspješno poslan e-mail"));
    porukaUpozorenja(QStringLiteral("E-mail uspješno generiran!"), nullptr);
    if (ui->chkZatvoriSlEmaila->isChecked()) cmdPrekid_Click();
  } else {
    ui->sBar->showMessage(QStringLiteral("E-mail nije uspješno poslan"));
    porukaUpozorenja(QStringLiteral("E-mail nije uspješno generiran!"), nullptr);
  }
}

bool frmSlanjeeMaila::SendOutlookMail(const QString& subject, const QString& to, const QString& body,
                                      const QString& att1, const QString& cc, const QString& bcc,
                                      bool deleteAttachments, const QString& att2, const QString& att3) {
  return rute().outlook(subject, to, body, att1, cc, bcc, deleteAttachments, att2, att3,
                        ui->mnuEmailOutlookZatvori->isChecked(), this);
}

// Stored flag not 0: passed before. A flag that is not a number fails without a check.
bool frmSlanjeeMaila::jednokratnaProvjera(const QString& kljuc, const std::function<bool()>& provjera,
                                          bool spremiUvijek) {
  bool broj = false;
  const double zastavica = VelkorSetting(kljuc, "0").trimmed().toDouble(&broj);
  if (!broj) return false;
  if (zastavica != 0) return true;
  const bool rezultat = provjera();
  if (rezultat || spremiUvijek) SaveVelkorSetting(kljuc, QStringLiteral("1"));
  return rezultat;
}

bool frmSlanjeeMaila::ProvPostOutlook() {
  return jednokratnaProvjera(
      QStringLiteral("ProvPostOutlook"),
      [] {
        try {
          return rute().outlookDostupan();
        } catch (...) {
          return false;  // this check stays silent
        }
      },
      false);
}

bool frmSlanjeeMaila::ProvPostThunder() {
  return jednokratnaProvjera(
      QStringLiteral("ProvPostThunder"), [this] { return rute().thunderbirdPronadjen(this); }, false);
}

bool frmSlanjeeMaila::ProvPostSMTP() {
  // Stored whatever the outcome: the user has been told what is missing once.
  return jednokratnaProvjera(
      QStringLiteral("ProvPostSMTP"), [this] { return rute().smtpPostavkeIspravne(this); }, true);
}

QLineEdit* frmSlanjeeMaila::poljeAdrese(int polje) const {
  switch (polje) {
    case 0: return ui->txtPrimatelj;
    case 1: return ui->txtCC;
    case 2: return ui->txtBCC;
    default: return nullptr;
  }
}

void frmSlanjeeMaila::TraziEMailKupca(int polje) {
  QLineEdit* cilj = poljeAdrese(polje);
  if (!cilj) return;
  for (QLineEdit* p : {ui->txtPrimatelj, ui->txtBCC, ui->txtCC}) obrezi(p);
  const OdabirKupca odabir = TraziKupca(this);
  if (odabir.Odustao || odabir.OdabraniEMail.isEmpty()) return;
  const QString& adresa = odabir.OdabraniEMail;
  // Whole addresses only: "prodaja@x.hr" is not in "veleprodaja@x.hr".
  static const QRegularExpression razdjel(QStringLiteral("[;,]"));
  for (QLineEdit* p : {ui->txtPrimatelj, ui->txtCC, ui->txtBCC})
    for (const QString& a : p->text().split(razdjel))
      if (a.trimmed() == adresa) return;
  cilj->setText(cilj->text().isEmpty() ? adresa : cilj->text() + QLatin1Char(';') + adresa);
}

void frmSlanjeeMaila::OdaberiPrilog(int i) {
  if (i < 0 || i > 2) return;
  QLineEdit* polje = txtPrilozi[i];
  platform::FileDialogOptions o;
  o.title = QStringLiteral("Izaberite direktoriju i naziv datoteke koju želite priložiti");
  o.filter = QStringLiteral("Sve datoteka (*.*)|*.*");
  o.defaultExt = QStringLiteral("*.*");
  o.initialDir = polje->text();
  o.fileMustExist = true;
  o.pathMustExist = true;
  try {
    const QString odabrana = platform::dialogs().openFileName(this, o);
    if (!odabrana.isEmpty()) polje->setText(odabrana);
  } catch (...) {
    // A failing file dialog leaves the box as it was.
  }
}

void frmSlanjeeMaila::cmdPrekid_Click() { Unload(true); }

void frmSlanjeeMaila::Unload(bool obrisiPrilog) {
  if (unloaded_ || šaljeSe_) return;
  unloaded_ = true;
  // Only a file the caller handed in is ours to remove; one already gone is skipped.
  if (obrisiPrilog && !prilogPozivatelja_.isEmpty() && QFile::exists(prilogPozivatelja_))
    QFile::remove(prilogPozivatelja_);
  if (g_forma == this) g_forma = nullptr;
  QDialog::done(QDialog::Rejected);
  // Prikaži deletes the form once its exec() has returned.
  if (!uPrikazu_) deleteLater();
}

void frmSlanjeeMaila::closeEvent(QCloseEvent* event) {
  if (šaljeSe_) {
    event->ignore();
    return;
  }
  event->accept();
  Unload(false);
}

void frmSlanjeeMaila::reject() { Unload(false); }

void frmSlanjeeMaila::obojiPolje(QLineEdit* polje) {
  QPalette p = polje->palette();
  p.setColor(QPalette::Base, adreseIspravne(polje->text()) ? QColor(192, 255, 192) : QColor(255, 192, 192));
  polje->setPalette(p);
}

bool frmSlanjeeMaila::eventFilter(QObject* watched, QEvent* event) {
  auto* w = qobject_cast<QWidget*>(watched);
  if (!w || w->window() != this) return QDialog::eventFilter(watched, event);
  if (event->type() == QEvent::FocusOut && (w == ui->txtPrimatelj || w == ui->txtCC || w == ui->txtBCC)) {
    obojiPolje(static_cast<QLineEdit*>(w));
  } else if (event->type() == QEvent::KeyPress) {
    const auto* k = static_cast<QKeyEvent*>(event);
    if (obradiTipku(w, k->key())) return true;
  }
  return QDialog::eventFilter(watched, event);
}

// True when the form handled the key and the control must not see it.
bool frmSlanjeeMaila::obradiTipku(QWidget* w, int key) {
  switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: cmdSlanje_Click(); return true;
    case Qt::Key_Escape: cmdPrekid_Click(); return true;
    case Qt::Key_F3:
      for (int i = 0; i < 3; ++i)
        if (w == poljeAdrese(i)) {
          TraziEMailKupca(i);
          return true;
        }
      return false;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Down:
      if (!jePoljeZaKretanje(w)) return false;
      focusNextPrevChild(true);
      return true;
    case Qt::Key_Up:
      if (!jePoljeZaKretanje(w)) return false;
      focusNextPrevChild(false);
      return true;
    default: return false;
  }
}

}  // namespace sender
