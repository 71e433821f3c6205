// The edit view of the address book: adding, changing and deleting contacts.
#include "contacts/ContactsFile.h"
#include "contacts/frmContacts.h"
#include "core/Pomocne.h"
#include "platform/Dialogs.h"
#include "ui_frmContacts.h"

void frmContacts::cmdAddClear_Click() {
  ui->txtName->clear();
  ui->txtEmail->clear();
  oznakaEmaila_.clear();
  ui->cmdAddEdit->setEnabled(false);
  ui->cmdAdd->setEnabled(true);
}

void frmContacts::cmdAdd_Click() {
  const QString ime = ui->txtName->text().trimmed();
  const QString adresa = ui->txtEmail->text().trimmed();
  if (ime.isEmpty()) return poruka(QStringLiteral("Upišite ime"), ui->txtName);
  if (adresa.isEmpty()) return poruka(QStringLiteral("Upišite Email"), ui->txtEmail);
  if (!core::ProvjeriEMailAdrese(adresa)) return poruka(QStringLiteral("Unesite ispravnu E-mail adresu"), ui->txtEmail);
  contacts::ContactsFile datoteka;
  bool postoji = false;
  if (!uspjelo(datoteka.add(ime, adresa, postoji), datoteka)) return;
  if (postoji) {
    poruka(QStringLiteral("Ova Email adresa već postoji u kontakt listi."), ui->txtEmail);
    ui->txtEmail->selectAll();
    return;
  }
  QTableWidget* g = ui->mshContacts;
  const int zadnji = g->rowCount() - 1;
  g->setItem(zadnji, 0, new QTableWidgetItem(ime));
  g->setItem(zadnji, 1, new QTableWidgetItem(adresa));
  g->setRowCount(zadnji + 2);
  napuniPoglede(false);
  cmdAddClear_Click();
}

void frmContacts::cmdAddEdit_Click() {
  const QString ime = ui->txtName->text().trimmed();
  const QString adresa = ui->txtEmail->text().trimmed();
  if (oznakaEmaila_.trimmed().isEmpty() || ime.isEmpty() || adresa.isEmpty())
    return poruka(QStringLiteral("Izaberite kontakt iz liste koji želite izmjeniti"), ui->mshContacts);
  contacts::ContactsFile datoteka;
  if (!uspjelo(datoteka.replace(oznakaEmaila_, ime, adresa), datoteka)) return;
  // Reloaded, so that every changed line shows in its own row.
  GridClear();
  napuniPoglede(true);
  odaberiRedAdrese(adresa);
  cmdAddClear_Click();
}

void frmContacts::cmdAddDelete_Click() {
  const QString ime = ui->txtName->text().trimmed();
  if (oznakaEmaila_.trimmed().isEmpty() || ime.isEmpty() || ui->txtEmail->text().trimmed().isEmpty())
    return poruka(QStringLiteral("Izaberite kontakt iz liste koji želite obrisati"), ui->mshContacts);
  if (platform::dialogs().messageBox(this, QStringLiteral("Jeste li sigurni da želite obrisati kontakt : ") + ime,
                                     platform::MsgButtons::YesNo, platform::MsgIcon::Question,
                                     QStringLiteral("Povrda brisanja")) != platform::MsgResult::Yes)
    return;
  contacts::ContactsFile datoteka;
  if (!uspjelo(datoteka.remove(oznakaEmaila_), datoteka)) return;
  GridClear();
  napuniPoglede(true);
  cmdAddClear_Click();
}

void frmContacts::učitaj(const QString& ime, const QString& adresa) {
  ui->txtName->setText(ime);
  ui->txtEmail->setText(adresa);
  oznakaEmaila_ = adresa;
  ui->cmdAddEdit->setEnabled(true);
  ui->cmdAdd->setEnabled(false);
}

// The grid's current row; nothing when the book is empty or no row is current.
bool frmContacts::učitajIzRešetke() {
  const QTableWidget* g = ui->mshContacts;
  const QTableWidgetItem* prvaAdresa = g->item(0, 1);
  const int red = g->currentRow();
  if (!prvaAdresa || prvaAdresa->text().trimmed().isEmpty() || red < 0) return false;
  const QTableWidgetItem* ime = g->item(red, 0);
  const QTableWidgetItem* adresa = g->item(red, 1);
  učitaj(ime ? ime->text() : QString(), adresa ? adresa->text() : QString());
  return true;
}

// The contact list's selected item; nothing when there is none.
bool frmContacts::učitajIzListe() {
  const QTreeWidgetItem* item = ui->lstContacts->currentItem();
  if (!item) return false;
  učitaj(item->text(0), item->text(1));
  return true;
}

void frmContacts::mnuEdit_Click() {
  if (!urediVidljiv()) {
    if (!ui->lstContacts->currentItem()) return;
    cmdNewContacts_Click();
    učitajIzListe();
  } else if (!učitajIzRešetke()) {
    return;
  }
  ui->txtName->setFocus(Qt::OtherFocusReason);
}

void frmContacts::mnuDelete_Click() {
  if (urediVidljiv() ? učitajIzRešetke() : učitajIzListe()) cmdAddDelete_Click();
}

void frmContacts::odaberiRedAdrese(const QString& adresa) {
  QTableWidget* g = ui->mshContacts;
  for (int r = 0; r + 1 < g->rowCount(); ++r)
    if (g->item(r, 1) && g->item(r, 1)->text().trimmed() == adresa) return g->setCurrentCell(r, 0);
}
