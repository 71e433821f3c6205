#include "contacts/frmContacts.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>

#include "contacts/ContactFieldValidator.h"
#include "contacts/ContactsFile.h"
#include "platform/Dialogs.h"
#include "platform/PostaviFormu.h"
#include "ui_frmContacts.h"

namespace {
constexpr int kŠirinaStupcaTwips = 3500;
}

frmContacts::frmContacts(QWidget* parent) : QDialog(parent), ui(new Ui::frmContacts) {
  ui->setupUi(this);
  mnuList = new QMenu(QStringLiteral("List"), this);
  mnuList->setObjectName(QStringLiteral("mnuList"));
  mnuList->addAction(ui->mnuEdit);
  mnuList->addAction(ui->mnuDelete);
  for (QLineEdit* polje : {ui->txtName, ui->txtEmail}) polje->setValidator(new contacts::ContactFieldValidator(polje));
  ui->mshContacts->installEventFilter(this);
  ui->mshContacts->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  ui->lstContacts->header()->setSectionResizeMode(QHeaderView::Stretch);

  connect(ui->cmdNewContacts, &QPushButton::clicked, this, &frmContacts::cmdNewContacts_Click);
  connect(ui->cmdAddClose, &QPushButton::clicked, this, &frmContacts::cmdAddClose_Click);
  connect(ui->cmdAddClear, &QPushButton::clicked, this, &frmContacts::cmdAddClear_Click);
  connect(ui->cmdAdd, &QPushButton::clicked, this, &frmContacts::cmdAdd_Click);
  connect(ui->cmdAddEdit, &QPushButton::clicked, this, &frmContacts::cmdAddEdit_Click);
  connect(ui->cmdAddDelete, &QPushButton::clicked, this, &frmContacts::cmdAddDelete_Click);
  connect(ui->mshContacts, &QTableWidget::cellDoubleClicked, this, [this] { učitajIzRešetke(); });
  connect(ui->mnuEdit, &QAction::triggered, this, &frmContacts::mnuEdit_Click);
  connect(ui->mnuDelete, &QAction::triggered, this, &frmContacts::mnuDelete_Click);
  for (QWidget* w : {static_cast<QWidget*>(ui->mshContacts), static_cast<QWidget*>(ui->lstContacts)})
    connect(w, &QWidget::customContextMenuRequested, this, [this, w](const QPoint& p) { prikažiIzbornik(w, p); });

  connect(ui->cmdTo, &QPushButton::clicked, this,
          [this] { dodajOdabrane(ui->lstTo, QStringLiteral("Nije selektiran kontakt za dodati")); });
  connect(ui->cmdCC, &QPushButton::clicked, this,
          [this] { dodajOdabrane(ui->lstCC, QStringLiteral("Ne postoji selektirani kontakt za dodati")); });
  connect(ui->cmbBCC, &QPushButton::clicked, this,
          [this] { dodajOdabrane(ui->lstBCC, QStringLiteral("Nije selektiran nijedan kontakt!")); });
  // Ticking a contact makes it the selected one.
  connect(ui->lstContacts, &QTreeWidget::itemChanged, this,
          [this](QTreeWidgetItem* item) { ui->lstContacts->setCurrentItem(item); });
  connect(ui->lstContacts, &QTreeWidget::itemDoubleClicked, this, &frmContacts::lstContacts_DblClick);
  for (QListWidget* l : {ui->lstTo, ui->lstCC, ui->lstBCC})
    connect(l, &QListWidget::itemDoubleClicked, this, [this, l] { ukloniUnos(l); });
  connect(ui->cmdClear, &QPushButton::clicked, this, &frmContacts::cmdClear_Click);
  connect(ui->cmdSearchFile, &QPushButton::clicked, this, &frmContacts::cmdSearchFile_Click);
  connect(ui->cmdOK, &QPushButton::clicked, this, &frmContacts::cmdOK_Click);
  connect(ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);

  Form_Load();
  platform::PostaviFormu(this);
}

frmContacts::~frmContacts() = default;

void frmContacts::Prikaži(QWidget* parent, QLineEdit* txtTo, QLineEdit* txtCC, QLineEdit* txtBCC) {
  frmContacts f(parent);
  f.txtTo_ = txtTo;
  f.txtCC_ = txtCC;
  f.txtBCC_ = txtBCC;
  f.exec();
}

void frmContacts::GridClear() {
  QTableWidget* g = ui->mshContacts;
  g->clearContents();
  g->setRowCount(1);  // the empty row that always follows the last contact
  g->setColumnCount(2);
  g->setHorizontalHeaderLabels({QStringLiteral("Ime"), QStringLiteral("Email")});
  const int širina = kŠirinaStupcaTwips * logicalDpiX() / 1440;
  g->setColumnWidth(0, širina);
  g->setColumnWidth(1, širina);
  // Both columns stay in sight; the fields beside the grid take what is left.
  g->setMinimumWidth(2 * širina + 2 * g->frameWidth() + g->verticalScrollBar()->sizeHint().width());
}

void frmContacts::Form_Load() {
  ui->fraNewContact->hide();
  cmdAddClear_Click();
  GridClear();
  napuniPoglede(true);
}

void frmContacts::napuniPoglede(bool iRešetku) {
  contacts::ContactsFile datoteka;
  QList<contacts::ContactLine> kontakti;
  if (!uspjelo(datoteka.read(kontakti), datoteka)) return;
  {
    const QSignalBlocker tiho(ui->lstContacts);  // no tick events while rebuilding
    ui->lstContacts->clear();
    for (const contacts::ContactLine& k : kontakti) {
      auto* item = new QTreeWidgetItem(ui->lstContacts, {k.name, k.address});
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(0, Qt::Unchecked);
    }
  }
  if (!iRešetku) return;
  QTableWidget* g = ui->mshContacts;
  g->setRowCount(int(kontakti.size()) + 1);
  for (int r = 0; r < kontakti.size(); ++r) {
    g->setItem(r, 0, new QTableWidgetItem(kontakti[r].name));
    g->setItem(r, 1, new QTableWidgetItem(kontakti[r].address));
  }
}

void frmContacts::cmdNewContacts_Click() {
  ui->fraMain->hide();
  ui->fraNewContact->show();
}

void frmContacts::cmdAddClose_Click() {
  ui->fraMain->show();
  ui->fraNewContact->hide();
}

bool frmContacts::urediVidljiv() const { return !ui->fraNewContact->isHidden(); }

void frmContacts::prikažiIzbornik(QWidget* nad, const QPoint& točka) {
  const auto* pogled = static_cast<QAbstractScrollArea*>(nad);
  mnuList->popup(pogled->viewport()->mapToGlobal(točka));
}

bool frmContacts::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui->mshContacts && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      učitajIzRešetke();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void frmContacts::poruka(const QString& tekst, QWidget* fokus, const QString& naslov) {
  platform::dialogs().messageBox(this, tekst, platform::MsgButtons::Ok, platform::MsgIcon::Information, naslov);
  if (fokus) fokus->setFocus(Qt::OtherFocusReason);
}

// A book that cannot be read or written is said so; nothing is changed.
bool frmContacts::uspjelo(bool ok, const contacts::ContactsFile& datoteka) {
  if (!ok)
    poruka(QStringLiteral("Desila se greška: ") + datoteka.errorString() + QStringLiteral(" (") + datoteka.path() +
               QLatin1Char(')'),
           nullptr);
  return ok;
}
