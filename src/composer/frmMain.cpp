#include "composer/frmMain.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStyle>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "composer/AddressBookHook.h"
#include "composer/DokumentDomacina.h"
#include "composer/EditorToolbar.h"
#include "composer/HtmlEditor.h"
#include "composer/MailFormat.h"
#include "composer/PostavkeComposera.h"
#include "composer/frmOptions.h"
#include "composer/frmSettings.h"
#include "core/ContactListTarget.h"
#include "mail/clsSendMail.h"
#include "platform/Dialogs.h"
#include "platform/PostaviFormu.h"
#include "ui_frmMain.h"

namespace composer {

namespace {

const QString kNaslov = QStringLiteral("Slanje E-mail-a");
const QString kFilterHtml = QStringLiteral(
    " Sve Web datoteke (*.asp, *.asa, *.pl, *.htm, *.html, *.css) | *.asp; *.asa; *.pl; *.htm;"
    " *.html; *.css; | Asp datoteke (*.asp) | *.asp; | Asa datoteke (*.asa) | *.asa; | Htm"
    " datoteke (*.htm) | *.htm | Html datoteke (*.html) | *.html; | Perl files (*.pl) | *.pl; |"
    " Style Sheets (*.css) | *.css; | Sve datoteke (*.*)|*.*|");
const QString kFilterPrilog = QStringLiteral(
    "Sve datoteke (*.*)|*.*|HTML Files (*.htm;*.html;*.shtml)|*.htm;*.html;*.shtml|"
    "Images (*.bmp;*.jpg;*.gif)|*.bmp;*.jpg;*.gif");

QPointer<frmMain> g_forma;
bool g_mijenjana = false;

void informacija(QWidget* parent, const QString& tekst, platform::MsgIcon ikona) {
  platform::dialogs().messageBox(parent, tekst, platform::MsgButtons::Ok, ikona, kNaslov);
}

}  // namespace

frmMain* frmMain::forma() {
  if (!g_forma) g_forma = new frmMain();
  return g_forma;
}

bool frmMain::DatotekaMijenjana() { return g_mijenjana; }
void frmMain::PostaviMijenjana(bool mijenjana) { g_mijenjana = mijenjana; }

frmMain::frmMain() : ui(std::make_unique<Ui::frmMain>()) {
  ui->setupUi(this);
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  ui->btnNew->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
  ui->btnOpen->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
  ui->btnSave->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
  // The recipients take most of the side panel; the two logs share the rest.
  ui->lstPoslano->setMaximumHeight(110);
  ui->lstNeuspjelo->setMaximumHeight(110);
  QWebEngineSettings* s = ui->WbrPreview->page()->settings();
  s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  s->setDefaultTextEncoding(QStringLiteral("utf-8"));
  poveziKontrole();
  Form_Load();
  ui->hlAlati->insertWidget(3, new EditorToolbar(ui->Editor, ui->sbStatusBar, this));
}

frmMain::~frmMain() = default;

HtmlEditor* frmMain::Editor() const { return ui->Editor; }

QString frmMain::PreviewFile() const { return privremeni_.filePath(QStringLiteral("temp.html")); }

void frmMain::poveziKontrole() {
  connect(ui->Editor, &HtmlEditor::keyPressed, this, [] { g_mijenjana = true; });
  poveziPolja();
  connect(ui->mnuFileNew, &QAction::triggered, this, &frmMain::mnuFileNew_Click);
  connect(ui->btnNew, &QToolButton::clicked, this, &frmMain::mnuFileNew_Click);
  connect(ui->cmdReset, &QPushButton::clicked, this, &frmMain::mnuFileNew_Click);
  connect(ui->mnuFileOpen, &QAction::triggered, this, &frmMain::mnuFileOpen_Click);
  connect(ui->btnOpen, &QToolButton::clicked, this, &frmMain::mnuFileOpen_Click);
  connect(ui->mnuFileSave, &QAction::triggered, this, &frmMain::mnuFileSave_Click);
  connect(ui->btnSave, &QToolButton::clicked, this, &frmMain::mnuFileSave_Click);
  connect(ui->mnuFileExit, &QAction::triggered, this, &QWidget::close);
  connect(ui->cmdExit, &QPushButton::clicked, this, &QWidget::close);
  connect(ui->cmdAttach, &QPushButton::clicked, this, &frmMain::cmdAttach_Click);
  connect(ui->cmdObriši_0, &QPushButton::clicked, this, [this] { cmdObriši_Click(0); });
  connect(ui->cmdObriši_1, &QPushButton::clicked, this, [this] { cmdObriši_Click(1); });
  connect(ui->cmdApply, &QPushButton::clicked, this, &frmMain::cmdApply_Click);
  connect(ui->cmdCancel, &QPushButton::clicked, this, &frmMain::cmdCancel_Click);
  connect(ui->cmdTo, &QPushButton::clicked, this, [this] { cmdAdresar_Click(1); });
  connect(ui->cmdCC, &QPushButton::clicked, this, [this] { cmdAdresar_Click(2); });
  connect(ui->cmdBCC, &QPushButton::clicked, this, [this] { cmdAdresar_Click(3); });
  connect(ui->mnuViewSettings, &QAction::triggered, this, &frmMain::mnuViewSettings_Click);
  connect(ui->mnuViewOptions, &QAction::triggered, this, &frmMain::mnuViewOptions_Click);
  connect(ui->cmdSend, &QPushButton::clicked, this, &frmMain::cmdSend_Click);
  connect(ui->cmdPošaljiPrekoRS, &QPushButton::clicked, this, &frmMain::cmdPošaljiPrekoRS_Click);
  connect(ui->SSTab2, &QTabWidget::currentChanged, this, [this](int novi) {
    const int napušteni = tab_;
    tab_ = novi;
    SSTab2_Click(napušteni);
  });
  const std::pair<QAction*, QWebEnginePage::WebAction> uredjivanje[] = {
      {ui->mnuEditUndo, QWebEnginePage::Undo},   {ui->mnuEdit_Redo, QWebEnginePage::Redo},
      {ui->mnuEditCut, QWebEnginePage::Cut},     {ui->mnuEditCopy, QWebEnginePage::Copy},
      {ui->mnuEditPaste, QWebEnginePage::Paste}, {ui->mnuEdit_SelectAll, QWebEnginePage::SelectAll}};
  for (const auto& [akcija, naredba] : uredjivanje)
    connect(akcija, &QAction::triggered, this, [this, n = naredba] { ui->Editor->view()->page()->triggerAction(n); });
}

// Load errors are ignored step by step: a document that cannot be loaded leaves the
// editor empty.
void frmMain::Form_Load() {
  ui->Progress->setValue(0);
  poSendMail = new mail::clsSendMail(this);
  poveziSlanje();
  ui->Editor->setShowBorders(true);
  ui->Editor->setShowDetails(true);
  ui->WbrPreview->setUrl(QUrl(QStringLiteral("about:blank")));
  const QString dokument = composer::dokumentDomacina(composer::argumentiDomacina());
  if (dokument.isEmpty()) {
    setWindowTitle(kNaslov);
  } else {
    ui->Editor->loadDocument(dokument);
    setWindowTitle(kNaslov + QStringLiteral(": ") + dokument);
  }
  ui->SSTab2->setCurrentIndex(0);
  ui->Editor->setShowDetails(false);
  const QString format = composer::CitajPostavku(QStringLiteral("MAILFORMAT"));
  if (!format.isEmpty()) {
    const QStringList f = composer::PoljaPostavke(format);
    composer::PostaviMailFormat(f[0].compare(QLatin1String("True"), Qt::CaseInsensitive) == 0,
                                f[1] == QLatin1String("0") ? 0 : 1);
  }
  const QString posiljatelj = composer::CitajPostavku(QStringLiteral("SENDER"));
  if (!posiljatelj.isEmpty()) {
    const QStringList f = composer::PoljaSendera(posiljatelj);
    ui->txtFrom->setProperty("Tag", f[1]);
    ui->txtFrom->setText(f[0]);
  }
  platform::PostaviFormu(this);
}

void frmMain::prikaži() {
  napuniIzbornikPolja();
  exec();
  // Closing ended exec(); nothing of the window is used after this.
  delete this;
}

void frmMain::PrikažiBezRS() {
  rs_ = nullptr;
  ui->cmdPošaljiPrekoRS->setVisible(false);
  ui->chkBrišiPoslane->setVisible(false);
  prikaži();
}

void frmMain::PrikažiPrekoRS(platform::RecordSet& rs) {
  rs_ = &rs;
  ui->cmdPošaljiPrekoRS->setVisible(true);
  ui->chkBrišiPoslane->setVisible(true);
  NapuniListu();
  prikaži();
}

bool frmMain::smijeZatvoriti() {
  // During a run Esc and the close box offer to stop it; the window stays until it has.
  if (uSlanju_) {
    // Not while the engine is inside its dialogue: asked as soon as it has returned.
    if (slanje_->uMotoru()) pitajZaustaviti_ = true;
    else pitajZaustaviti();
    return false;
  }
  if (!g_mijenjana) return true;
  switch (platform::dialogs().messageBox(this, QStringLiteral("Datoteka je mijenjana!\r\nŽelite li spremiti datoteku?"),
                                         platform::MsgButtons::YesNoCancel, platform::MsgIcon::Information, kNaslov)) {
    case platform::MsgResult::Yes: return mnuFileSave_Click();  // a save not made keeps the window
    case platform::MsgResult::No: return true;
    default: return false;
  }
}

void frmMain::pitajZaustaviti() {
  pitajZaustaviti_ = false;
  if (!SlanjeZaustavljeno() &&
      platform::dialogs().messageBox(this, QStringLiteral("Slanje je u tijeku. Želite li zaustaviti slanje?"),
                                     platform::MsgButtons::YesNo, platform::MsgIcon::Question,
                                     kNaslov) == platform::MsgResult::Yes)
    ZaustaviSlanje();
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (!smijeZatvoriti()) {
    event->ignore();
    return;
  }
  event->accept();
  done(QDialog::Rejected);
}

void frmMain::reject() { close(); }

void frmMain::PostaviUSlanju(bool uSlanju) {
  uSlanju_ = uSlanju;
  for (QWidget* w : std::initializer_list<QWidget*>{ui->cmdSend, ui->cmdPošaljiPrekoRS, ui->cmdReset, ui->cmdExit,
                                                    ui->btnNew, ui->btnOpen})
    w->setEnabled(!uSlanju);
  // The clipboard list walks the host's records: not while a run sends to them.
  for (QAction* a :
       {ui->mnuFileNew, ui->mnuFileOpen, ui->mnuFileExit, ui->mnuViewSettings, ui->mnuViewOptions, ui->mnuGenListUClip})
    a->setEnabled(!uSlanju);
  if (uSlanju) prikazSlanja_->pokreni();
  else prikazSlanja_->zaustavi();
  ui->cmdPošaljiPreostalima->setEnabled(!uSlanju);
  ui->cmdIzvještaj->setEnabled(!uSlanju);
  cmdZaustavi_->setEnabled(uSlanju);
}

void frmMain::mnuFileNew_Click() {
  if (uSlanju_) return;
  for (QLineEdit* p : {ui->txtTo, ui->txtCC, ui->txtBCC, ui->txtAttach, ui->txtSubject}) p->clear();
  ui->List1->clear();
  ui->Editor->setDocumentHtml(QString());
  TijeloPoruke.clear();
  UgradjeneSlike.clear();
  ui->Progress->setValue(0);
  ui->prbUk->setValue(0);
}

void frmMain::mnuFileOpen_Click() {
  if (uSlanju_) return;
  platform::FileDialogOptions o;
  o.filter = kFilterHtml;
  o.fileMustExist = true;
  const QString put = platform::dialogs().openFileName(this, o);
  if (put.isEmpty()) return;
  ui->Editor->loadDocument(put);
  setWindowTitle(kNaslov + QStringLiteral(" : ") + put);
}

bool frmMain::mnuFileSave_Click() {
  platform::FileDialogOptions o;
  o.filter = kFilterHtml;
  o.overwritePrompt = true;
  const QString put = platform::dialogs().saveFileName(this, o);
  if (put.isEmpty()) return false;
  QString greska;
  if (!ui->Editor->saveDocument(put, &greska)) {
    informacija(this, QStringLiteral("Datoteka nije spremljena: ") + greska, platform::MsgIcon::Exclamation);
    return false;
  }
  g_mijenjana = false;
  return true;
}

void frmMain::cmdAttach_Click() {
  platform::FileDialogOptions o;
  o.title = QStringLiteral("Izaberite datoteke u privitku");
  o.filter = kFilterPrilog;
  o.fileMustExist = true;
  o.pathMustExist = true;
  for (const QString& put : platform::dialogs().openFileNames(this, o)) {
    // The list is joined with ";": a name holding one could not be told apart.
    if (put.contains(QLatin1Char(';'))) {
      informacija(this, QStringLiteral("Datoteka se ne može priložiti jer joj naziv sadrži \";\": ") + put,
                  platform::MsgIcon::Exclamation);
      continue;
    }
    const QString tekst = ui->txtAttach->text();
    ui->txtAttach->setText(tekst.isEmpty() ? put : tekst + QLatin1Char(';') + put);
  }
}

void frmMain::cmdObriši_Click(int index) { (index == 0 ? ui->lstPoslano : ui->lstNeuspjelo)->clear(); }

void frmMain::cmdApply_Click() { ui->Editor->setDocumentHtml(ui->txtSource->toPlainText()); }

void frmMain::cmdCancel_Click() { ui->SSTab2->setCurrentIndex(0); }

void frmMain::cmdAdresar_Click(qint16 cilj) {
  core::ContactListTarget = cilj;
  if (AddressBookHook knjiga = addressBookHook()) knjiga(this, ui->txtTo, ui->txtCC, ui->txtBCC);
}

void frmMain::mnuViewSettings_Click() {
  if (uSlanju_) return;
  frmSettings postavke(ui->txtFrom, this);
  postavke.exec();
}

void frmMain::mnuViewOptions_Click() {
  if (uSlanju_) return;
  frmOptions opcije(this);
  opcije.exec();
}

// Leaving the editor fills the source box; leaving the editor or the source box shows the
// document in the preview. Errors leave the preview as it was.
void frmMain::SSTab2_Click(int napušteni) {
  if (napušteni != 0 && napušteni != 1) return;
  const QString html = ui->Editor->documentHtml();
  if (napušteni == 0) {
    static const QRegularExpression generator(
        QRegularExpression::escape(
            QStringLiteral("<META NAME=\"GENERATOR\" Content=\"Microsoft DHTML Editing Control\">")),
        QRegularExpression::CaseInsensitiveOption);
    ui->txtSource->setPlainText(QString(html).remove(generator));
  }
  QSaveFile f(PreviewFile());
  if (!f.open(QIODevice::WriteOnly)) return;
  f.write(withUtf8Declaration(pripremiPregled(html)).toUtf8());
  if (f.commit()) {
    ui->WbrPreview->load(QUrl::fromLocalFile(PreviewFile()));
  }
}

}  // namespace composer
