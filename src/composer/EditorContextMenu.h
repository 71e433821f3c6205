#pragma once
#include <QList>
#include <QString>

// The editor's context menu: the clipboard entries and the font dialog always, the
// positioning entry when an element can be positioned, the table entries inside a table.
namespace composer {

class HtmlEditor;

struct StavkaIzbornika {
  QString naslov;   // empty: a separator
  int naredba = 0;  // 0 for a separator
  int stanje = 0;   // the command's state when the menu was built
};

QList<StavkaIzbornika> IzgradiIzbornik(HtmlEditor& editor);
// Puts the menu on the editor; a choice runs the command at its position.
void PrikažiIzbornik(HtmlEditor& editor, const QList<StavkaIzbornika>& stavke);
// The command at index of the menu built last; 0 for a separator or out of range.
int NaredbaNaPoziciji(const QList<StavkaIzbornika>& stavke, int index);

}  // namespace composer
