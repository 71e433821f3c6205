// The composer's module: its one exported function wires the composer's hooks and hands the
// library the table of its two methods. No exception leaves the module.
#include <QtWebEngineQuick/qtwebenginequickglobal.h>
#include <cstring>
#include <exception>

#include "composer/AddressBookHook.h"
#include "composer/frmMain.h"
#include "contacts/frmContacts.h"
#include "entry/ModulSkladatelja.h"

namespace {

template <class F>
bool uhvati(std::string* greska, F&& poziv) {
  try {
    poziv();
    return true;
  } catch (const std::exception& e) {
    *greska = e.what();
  } catch (...) {
    *greska = "Nepoznata greška.";
  }
  return false;
}

bool prekoRecordseta(platform::RecordSet& rs, std::string* greska) {
  return uhvati(greska, [&] { composer::frmMain::forma()->PrikažiPrekoRS(rs); });
}

bool bezRecordSeta(std::string* greska) {
  return uhvati(greska, [] { composer::frmMain::forma()->PrikažiBezRS(); });
}

const sucelje::Skladatelj g_tablica{&prekoRecordseta, &bezRecordSeta};

}  // namespace

extern "C" __attribute__((visibility("default"))) const sucelje::Skladatelj* VelkorSlanjeEMaila26_Skladatelj(
    const char* verzija, const sucelje::SkladateljKuke* kuke) {
  if (!verzija || std::strcmp(verzija, VELKOR_VERZIJA) != 0 || !kuke) return nullptr;
  // The library made the application without shared OpenGL contexts (they would load the
  // software renderer into every host); Qt WebEngine needs its own, made now, before any view.
  QtWebEngineQuick::initialize();
  viewers::setReportMailHook(kuke->posaljiIzvjestaj);
  composer::setAddressBookHook(&frmContacts::Prikaži);
  return &g_tablica;
}
