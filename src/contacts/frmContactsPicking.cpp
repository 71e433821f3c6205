// The picking view of the address book: gathering To, CC and BCC addresses and handing
// them to the composer's fields.
#include <QFileInfo>

#include "contacts/PickedAddresses.h"
#include "contacts/TextLines.h"
#include "contacts/frmContacts.h"
#include "core/ContactListTarget.h"
#include "platform/Dialogs.h"
#include "ui_frmContacts.h"

void frmContacts::dodajOdabrane(QListWidget* cilj, const QString& nijedanOdabran) {
  QTreeWidget* l = ui->lstContacts;
  if (l->topLevelItemCount() == 0) return poruka(QStringLiteral("Ne postoji kontakt za dodati"), l);
  QList<QTreeWidgetItem*> odabrani;
  for (int i = 0; i < l->topLevelItemCount(); ++i)
    if (l->topLevelItem(i)->checkState(0) == Qt::Checked) odabrani << l->topLevelItem(i);
  if (odabrani.isEmpty()) return poruka(nijedanOdabran, l);
  const QSignalBlocker tiho(l);  // unticking does not move the selection
  for (QTreeWidgetItem* item : odabrani) {
    cilj->addItem(item->text(1));
    item->setCheckState(0, Qt::Unchecked);
  }
}

void frmContacts::lstContacts_DblClick() {
  const QTreeWidgetItem* item = ui->lstContacts->currentItem();
  if (!item) return;
  QListWidget* cilj = core::ContactListTarget == 1   ? ui->lstTo
                      : core::ContactListTarget == 2 ? ui->lstCC
                      : core::ContactListTarget == 3 ? ui->lstBCC
                                                     : nullptr;
  const QString adresa = item->text(1);
  if (cilj && cilj->findItems(adresa, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty()) cilj->addItem(adresa);
}

void frmContacts::ukloniUnos(QListWidget* lista) {
  if (lista->currentRow() >= 0) delete lista->takeItem(lista->currentRow());
}

void frmContacts::cmdClear_Click() {
  ui->lstTo->clear();
  ui->lstCC->clear();
  ui->lstBCC->clear();
}

// Every piece of every line of a delimited text file goes to the CC list as it stands.
void frmContacts::cmdSearchFile_Click() {
  platform::FileDialogOptions opcije;
  opcije.filter = QStringLiteral("Text datoteke (*.txt)|*.txt|Word Document (*.doc)|*.doc");
  const QString ime = platform::dialogs().openFileName(this, opcije);
  if (ime.isEmpty() || !QFileInfo(ime).isFile()) return;
  const std::optional<QString> delimiter =
      platform::dialogs().inputBox(this, QStringLiteral("Unesite ispravan Delimiter za pretraživanje u datoteci."),
                                   QStringLiteral("Delimiter"), QStringLiteral(","));
  if (!delimiter || delimiter->toUcs4().size() != 1)
    return poruka(QStringLiteral("Unesite ispravan Delimiter"), nullptr);
  QStringList retci;
  QString greška;
  if (!contacts::ReadTextLines(ime, retci, &greška))
    return poruka(QStringLiteral("Desila se greška: ") + greška, nullptr);
  for (const QString& r : retci)
    if (!r.isEmpty()) ui->lstCC->addItems(r.split(*delimiter, Qt::KeepEmptyParts, Qt::CaseInsensitive));
}

void frmContacts::cmdOK_Click() {
  if (ui->lstTo->count() + ui->lstCC->count() + ui->lstBCC->count() == 0)
    return poruka(QStringLiteral("Ne postoje selektirani kontakti!"), ui->lstContacts, platform::defaultTitle());
  const std::pair<QLineEdit*, QListWidget*> parovi[] = {
      {txtTo_, ui->lstTo}, {txtCC_, ui->lstCC}, {txtBCC_, ui->lstBCC}};
  for (const auto& [polje, lista] : parovi) {
    if (!polje) continue;
    QStringList odabrane;
    for (int i = 0; i < lista->count(); ++i) odabrane << lista->item(i)->text();
    polje->setText(contacts::FieldWithPicked(polje->text(), odabrane));
  }
  accept();
}
