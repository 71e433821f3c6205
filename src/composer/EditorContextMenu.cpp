#include "composer/EditorContextMenu.h"

#include <QStringList>

#include "composer/EditorCommands.h"
#include "composer/HtmlEditor.h"

namespace composer {

namespace {

StavkaIzbornika stavka(HtmlEditor& editor, const char* naslov, int naredba) {
  return {QString::fromUtf8(naslov), naredba, QueryStatus(editor, naredba)};
}

const StavkaIzbornika kRazmak{};

}  // namespace

QList<StavkaIzbornika> IzgradiIzbornik(HtmlEditor& editor) {
  QList<StavkaIzbornika> s{stavka(editor, "Cut", Cut),
                           stavka(editor, "Copy", Copy),
                           stavka(editor, "Paste", Paste),
                           kRazmak,
                           stavka(editor, "Select All", SelectAll),
                           kRazmak,
                           stavka(editor, "Font...", Font)};
  if (QueryStatus(editor, MakeAbsolute) >= kOmogucena) {
    const bool pozicioniran = QueryStatus(editor, SendToBack) >= kOmogucena;
    s << kRazmak
      << StavkaIzbornika{pozicioniran ? QStringLiteral("Make 1D") : QStringLiteral("Make 2D"), MakeAbsolute,
                         kOmogucena};
  }
  if (QueryStatus(editor, InsertRow) >= kOmogucena) {
    s << kRazmak << stavka(editor, "Ubaci red", InsertRow) << stavka(editor, "Ubaci kolonu", InsertCol)
      << stavka(editor, "Izbriši red", DeleteRows) << stavka(editor, "Izbriši kolonu", DeleteCols);
  }
  return s;
}

void PrikažiIzbornik(HtmlEditor& editor, const QList<StavkaIzbornika>& stavke) {
  QStringList naslovi;
  QList<int> stanja;
  for (const StavkaIzbornika& s : stavke) {
    naslovi << s.naslov;
    stanja << s.stanje;
  }
  editor.setContextMenu(naslovi, stanja);
}

int NaredbaNaPoziciji(const QList<StavkaIzbornika>& stavke, int index) {
  return index >= 0 && index < stavke.size() ? stavke[index].naredba : 0;
}

}  // namespace composer
