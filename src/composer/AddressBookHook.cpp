#include "composer/AddressBookHook.h"

namespace composer {

namespace {
AddressBookHook g_hook = nullptr;
}

void setAddressBookHook(AddressBookHook hook) { g_hook = hook; }

AddressBookHook addressBookHook() { return g_hook; }

}  // namespace composer
