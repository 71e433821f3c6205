// Opens the composer's module beside the library, once; see ModulSkladatelja.h.
#include "entry/ModulSkladatelja.h"

#include <dlfcn.h>
#include <QtGlobal>
#include <cstdio>

#include "entry/clsSlanjeEMaila.h"

namespace {

// Qt WebEngine, opened after the application exists, says at length that it had rather been
// loaded before; the host's log gets everything else.
QtMessageHandler g_prethodni = nullptr;

void bezUpozorenjaUcitavanja(QtMsgType tip, const QMessageLogContext& kontekst, const QString& poruka) {
  if (tip == QtWarningMsg &&
      (poruka.startsWith(QLatin1String("Qt WebEngine seems to be initialized from a plugin")) ||
       poruka.startsWith(QLatin1String("QtWebEngineQuick::initialize() called with QCoreApplication"))))
    return;
  if (g_prethodni) g_prethodni(tip, kontekst, poruka);
  else std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(tip, kontekst, poruka)));
}

struct Tise {
  Tise() { g_prethodni = qInstallMessageHandler(&bezUpozorenjaUcitavanja); }
  ~Tise() { qInstallMessageHandler(g_prethodni); }
};

}  // namespace

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
  Tise tise;
  void* modul = dlopen(put.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!modul) {
    const char* razlog = dlerror();
    throw clsSlanjeEMaila::NijeDostupno("Uređivač HTML poruka nije instaliran: modul komponente \"" + put +
                                        "\" nije moguće učitati (" + (razlog ? razlog : "nepoznat razlog") +
                                        "). Instalirajte ga uz biblioteku.");
  }
  auto ulaz = reinterpret_cast<SkladateljUlaz>(dlsym(modul, kSkladateljUlaz));
  const Skladatelj* t = ulaz ? ulaz(VELKOR_VERZIJA, &kukeZaSkladatelja()) : nullptr;
  if (!t)
    throw clsSlanjeEMaila::NijeDostupno("Uređivač HTML poruka nije moguće otvoriti: modul komponente \"" + put +
                                        "\" nije iz iste inačice kao biblioteka (" VELKOR_VERZIJA
                                        "). Ponovno instalirajte "
                                        "komponentu.");
  tablica = t;
  return *tablica;
}
