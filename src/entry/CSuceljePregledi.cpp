// The C interface's windows over a host's record set: the record grid, the exports and the
// report window.
#include "core/SettingsStore.h"
#include "entry/CSucelje.h"
#include "viewers/CRIspisPrikTeksta.h"
#include "viewers/CsvFormat.h"
#include "viewers/CsvIzvoz.h"
#include "viewers/frmIspisCR.h"
#include "viewers/frmPrikazZapisa.h"
#include "viewers/modUExcel.h"

using namespace sucelje;

platform::RecordSet& sucelje::skupZaProzor(VelkorRecordSet* rs) {
  if (!rs) throw NevaljaniArgument("Parametar rs ne smije biti NULL.");
  rs->redovi.reset();  // a window may sort the set
  return rs->rs;
}

namespace {

// The CSV form's stored choices, checked as the form checks them (a hand-edited empty
// separator falls back, formula protection as chosen).
void zapisiCSV(platform::RecordSet& rs, const QString& datoteka) {
  viewers::CsvIzvoz izvoz(rs, viewers::SpremljeneCsvPostavke(), 5000);
  bool ok = izvoz.otvori(datoteka);
  while (ok && !izvoz.gotovo()) {
    izvoz.sljedecaSerija();
    ok = izvoz.greska().isEmpty();
  }
  if (!ok || !izvoz.zavrsi()) throw std::runtime_error(izvoz.greska().toStdString());
}

}  // namespace

int32_t clsSlanjeEMaila_PrikaziZapise(clsSlanjeEMaila* obj, const char* naslov, VelkorRecordSet* rs,
                                      int32_t stupacGrupe, int32_t ukupno1, int32_t ukupno2, const char* izvjestaj) {
  return pozovi(obj, [&] {
    platform::RecordSet& skup = skupZaProzor(rs);
    viewers::frmPrikazZapisa forma;
    forma.PrikažiZapise(uQString(naslov), &skup, stupacGrupe, ukupno1, ukupno2, uQString(izvjestaj));
  });
}

int32_t clsSlanjeEMaila_PrebaciUExcel(clsSlanjeEMaila* obj, VelkorRecordSet* rs, int32_t bezZaglavlja,
                                      int32_t bezProvjere, int32_t imenujList, const char* datoteka,
                                      const char* imeLista) {
  return pozovi(obj, [&] {
    viewers::PrebaciUExcel(skupZaProzor(rs), bezZaglavlja != 0, bezProvjere != 0, imenujList != 0, uQString(datoteka),
                           uQString(imeLista));
  });
}

int32_t clsSlanjeEMaila_ExportCSV(clsSlanjeEMaila* obj, VelkorRecordSet* rs, int32_t* prekinuto) {
  return pozovi(obj, [&] {
    platform::RecordSet kopija = skupZaProzor(rs).Clone();
    const bool p = viewers::PokreniExportCSV(kopija);
    if (prekinuto) *prekinuto = p ? 1 : 0;
  });
}

int32_t clsSlanjeEMaila_IzveziZapise(clsSlanjeEMaila* obj, VelkorRecordSet* rs, const char* datoteka) {
  if (!obj) return VELKOR_E_INVALIDARG;
  postaviGresku(obj, {});
  try {
    if (!rs || !datoteka) throw NevaljaniArgument("Parametri rs i datoteka ne smiju biti NULL.");
    osigurajAplikaciju(false);
    platform::RecordSet kopija = rs->rs.Clone();
    const QString ime = QString::fromUtf8(datoteka);
    if (ime.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) zapisiCSV(kopija, ime);
    else viewers::ZapisiRadnuKnjigu(kopija, false, QString(), ime);
    return VELKOR_OK;
  } catch (const NevaljaniArgument& e) {
    postaviGresku(obj, e.what());
    return VELKOR_E_INVALIDARG;
  } catch (const std::exception& e) {
    postaviGresku(obj, e.what());
  }
  return VELKOR_E_FAIL;
}

int32_t clsSlanjeEMaila_PrikaziIzvjestaj(clsSlanjeEMaila* obj, const char* naslov, const char* tekst,
                                         VelkorRecordSet* rs, const char* emailPrimatelja, int32_t pamtiPoziciju) {
  return pozovi(obj, [&] {
    viewers::frmIspisCR forma;
    forma.setWindowTitle(uQString(naslov));
    forma.rptIzvjestaj = viewers::CRIspisPrikTeksta();
    forma.rptIzvjestaj.setText(QStringLiteral("Naslov"), uQString(naslov));
    forma.rptIzvjestaj.setText(QStringLiteral("Poruka"), uQString(tekst));
    forma.rsZapisi = rs ? &skupZaProzor(rs) : nullptr;
    forma.EmailPrimatelja = uQString(emailPrimatelja);
    forma.PamtiPoziciju = pamtiPoziciju != 0;
    forma.Prikaži();
  });
}
