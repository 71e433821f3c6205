#pragma once
#include <QList>
#include <QWidget>
#include <memory>

#include "composer/EditorContextMenu.h"

class QStatusBar;
namespace Ui {
class EditorToolbar;
}
namespace composer {

class HtmlEditor;

// The composer's editing toolbar and the editor's context menu and status panel: each
// button runs its command, pastes its form element or opens its dialog and applies the
// result to the document.
class EditorToolbar : public QWidget {
  Q_OBJECT

 public:
  EditorToolbar(HtmlEditor* editor, QStatusBar* status, QWidget* parent);
  ~EditorToolbar() override;

  void tblTableDialog_Click();
  void tblBodyDialog_Click();
  void tblExternalFile_Click();
  void tblPrintFile_Click();
  void btnDetails_Click();
  void btnBorders_Click();

 private:
  void poveziNaredbe();
  void poveziIsjecke();
  void Editor_ShowContextMenu();
  void Editor_ContextMenuAction(int index);
  void Editor_DisplayChanged();

  std::unique_ptr<Ui::EditorToolbar> ui;
  HtmlEditor* editor_;
  QStatusBar* status_;
  QList<composer::StavkaIzbornika> izbornik_;
  bool prikazCeka_ = false;
};

}  // namespace composer
