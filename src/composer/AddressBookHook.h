#pragma once

class QWidget;
class QLineEdit;

namespace composer {

// How the composer's To, CC and BCC buttons reach the address book: after setting
// ContactListTarget they call the installed hook, which opens the book modally over
// parent and writes the picked addresses into the three fields. No hook: the buttons do
// nothing.
using AddressBookHook = void (*)(QWidget* parent, QLineEdit* txtTo, QLineEdit* txtCC, QLineEdit* txtBCC);
void setAddressBookHook(AddressBookHook hook);
AddressBookHook addressBookHook();

}  // namespace composer
