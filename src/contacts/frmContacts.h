#pragma once
#include <QDialog>
#include <QPointer>
#include <memory>

namespace Ui {
class frmContacts;
}
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QTreeWidgetItem;
namespace contacts {
class ContactsFile;
}

// The address book: picks To, CC and BCC addresses from the stored contacts (or from any
// text file) for the composer, and adds, changes and deletes contacts in its edit view.
class frmContacts : public QDialog {
  Q_OBJECT
 public:
  explicit frmContacts(QWidget* parent = nullptr);
  ~frmContacts() override;

  // Opens the book modally over the composer; on OK the picked addresses are written into
  // txtTo, txtCC and txtBCC. A double-click on a contact adds it to the list chosen by
  // ContactListTarget, which the composer sets first.
  static void Prikaži(QWidget* parent, QLineEdit* txtTo, QLineEdit* txtCC, QLineEdit* txtBCC);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Views
  void GridClear();
  void Form_Load();
  void napuniPoglede(bool iRešetku);
  void cmdNewContacts_Click();
  void cmdAddClose_Click();
  bool urediVidljiv() const;
  void prikažiIzbornik(QWidget* nad, const QPoint& točka);

  // Edit view
  void cmdAddClear_Click();
  void cmdAdd_Click();
  void cmdAddEdit_Click();
  void cmdAddDelete_Click();
  bool učitajIzRešetke();
  bool učitajIzListe();
  void učitaj(const QString& ime, const QString& adresa);
  void mnuEdit_Click();
  void mnuDelete_Click();
  void odaberiRedAdrese(const QString& adresa);

  // Picking view
  void dodajOdabrane(QListWidget* cilj, const QString& nijedanOdabran);
  void lstContacts_DblClick();
  void ukloniUnos(QListWidget* lista);
  void cmdClear_Click();
  void cmdSearchFile_Click();
  void cmdOK_Click();

  void poruka(const QString& tekst, QWidget* fokus, const QString& naslov = QStringLiteral("Slanje E-mail-a"));
  bool uspjelo(bool ok, const contacts::ContactsFile& datoteka);

  std::unique_ptr<Ui::frmContacts> ui;
  QMenu* mnuList = nullptr;
  QString oznakaEmaila_;  // the address of the contact loaded for change, as shown
  QPointer<QLineEdit> txtTo_, txtCC_, txtBCC_;
};
