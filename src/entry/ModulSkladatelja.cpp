// Opens the composer's module beside the library, once; see ModulSkladatelja.h.
#include "entry/ModulSkladatelja.h"

#include <dlfcn.h>

#include "entry/clsSlanjeEMaila.h"

const sucelje::Skladatelj& sucelje::skladatelj() {
  static const Skladatelj* tablica = nullptr;
  if (tablica) return *tablica;
  // Beside this library, wherever the host found it; a bare name where that is unknown.
  std::string put = kSkladateljDatoteka;
  Dl_info ja{};
  if (dladdr(reinterpret_cast<void*>(&skladatelj), &ja) && ja.dli_fname) {
    const std::string biblioteka = ja.dli_fname;
    const auto kosa = biblioteka.rfind('/');
    if (kosa != std::string::npos) put = biblioteka.substr(0, kosa + 1) + put;
  }
  // Never closed: Qt WebEngine cannot be unloaded. A failed open is tried again next call,
  // as the module may have been installed meanwhile.
  void* modul = dlopen(put.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!modul) {
    const char* razlog = dlerror();
    throw clsSlanjeEMaila::NijeDostupno(
        "Uređivač HTML poruka nije instaliran: modul komponente \"" + put +
        "\" nije moguće učitati (" + (razlog ? razlog : "nepoznat razlog") +
        "). Instalirajte ga uz biblioteku.");
  }
  auto ulaz = reinterpret_cast<SkladateljUlaz>(dlsym(modul, kSkladateljUlaz));
  const Skladatelj* t = ulaz ? ulaz(VELKOR_VERZIJA, &kukeZaSkladatelja()) : nullptr;
  if (!t)
    throw clsSlanjeEMaila::NijeDostupno(
        "Uređivač HTML poruka nije moguće otvoriti: modul komponente \"" + put +
        "\" nije iz iste inačice kao biblioteka (" VELKOR_VERZIJA "). Ponovno instalirajte "
        "komponentu.");
  tablica = t;
  return *tablica;
}
