#pragma once
#include <QString>
#include <QVariant>

class QWidget;

// The editing commands by the numbers the composer has always used for them, carried out on
// the web editor. A command with nothing to act on (no selection, not in a table) does
// nothing.
namespace composer {

class HtmlEditor;

enum Naredba : int {
  Copy = 5002,
  Cut = 5003,
  DeleteCols = 5006,
  DeleteRows = 5007,
  Font = 5009,
  GetBlockFmt = 5011,
  Hyperlink = 5016,
  Image = 5017,
  Indent = 5018,
  InsertCol = 5020,
  InsertRow = 5021,
  JustifyCenter = 5024,
  JustifyLeft = 5025,
  JustifyRight = 5026,
  MakeAbsolute = 5028,
  OrderList = 5030,
  Outdent = 5031,
  Paste = 5032,
  Redo = 5033,
  SelectAll = 5035,
  SendToBack = 5040,
  Undo = 5049,
  UnorderList = 5051,
};

// Command states: 3 and above mean enabled.
constexpr int kNepodrzana = 0;
constexpr int kOnemogucena = 1;
constexpr int kOmogucena = 3;

// Runs naredba; option 2 of GetBlockFmt returns the block format's name. The font, link
// and image commands ask through the component's dialogs, parented to dialogParent.
QVariant ExecCommand(HtmlEditor& editor, int naredba, int opcija = 0, QWidget* dialogParent = nullptr);
int QueryStatus(HtmlEditor& editor, int naredba);

// The control's name of a block element's tag ("h1" -> "Heading 1"; "" -> "Normal").
QString NazivFormata(const QString& tag);

// Alignment by button index: 1 left, 2 centre, anything else right.
void Poravnaj(HtmlEditor& editor, int index);

}  // namespace composer
