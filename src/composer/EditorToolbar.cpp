#include "composer/EditorToolbar.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPrinter>
#include <QStatusBar>
#include <QTimer>

#include "composer/EditorCommands.h"
#include "composer/HtmlEditor.h"
#include "composer/HtmlSnippets.h"
#include "composer/frmDialog_Body.h"
#include "composer/frmDialog_ExternalFile.h"
#include "composer/frmDialog_Table.h"
#include "platform/Dialogs.h"
#include "ui_EditorToolbar.h"

namespace composer {

EditorToolbar::EditorToolbar(HtmlEditor* editor, QStatusBar* status, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::EditorToolbar>()), editor_(editor), status_(status) {
  ui->setupUi(this);
  poveziNaredbe();
  poveziIsjecke();
  ui->btnBorders->setChecked(editor_->showBorders());
  ui->btnDetails->setChecked(editor_->showDetails());
  connect(ui->btnDetails, &QToolButton::clicked, this, &EditorToolbar::btnDetails_Click);
  connect(ui->btnBorders, &QToolButton::clicked, this, &EditorToolbar::btnBorders_Click);
  connect(ui->tblTableDialog, &QToolButton::clicked, this, &EditorToolbar::tblTableDialog_Click);
  connect(ui->tblBodyDialog, &QToolButton::clicked, this, &EditorToolbar::tblBodyDialog_Click);
  connect(ui->tblExternalFile, &QToolButton::clicked, this, &EditorToolbar::tblExternalFile_Click);
  connect(ui->tblPrintFile, &QToolButton::clicked, this, &EditorToolbar::tblPrintFile_Click);
  connect(editor_, &HtmlEditor::contextMenuRequested, this, &EditorToolbar::Editor_ShowContextMenu);
  connect(editor_, &HtmlEditor::contextMenuAction, this, &EditorToolbar::Editor_ContextMenuAction);
  connect(editor_, &HtmlEditor::displayChanged, this, &EditorToolbar::Editor_DisplayChanged);
}

EditorToolbar::~EditorToolbar() = default;

void EditorToolbar::poveziNaredbe() {
  const std::pair<QToolButton*, int> naredbe[] = {{ui->btnUndo, Undo},         {ui->btnRedo, Redo},
                                                  {ui->btnCut, Cut},           {ui->btnCopy, Copy},
                                                  {ui->btnPaste, Paste},       {ui->btnIndent, Indent},
                                                  {ui->btnOutdent, Outdent},   {ui->tblFontDialog, Font},
                                                  {ui->tblImageDialog, Image}, {ui->tblLinkDialog, Hyperlink},
                                                  {ui->tblOLTag, OrderList},   {ui->tblULTag, UnorderList}};
  for (const auto& [gumb, naredba] : naredbe)
    connect(gumb, &QToolButton::clicked, this, [this, n = naredba] { ExecCommand(*editor_, n, 0, window()); });
  const std::pair<QToolButton*, int> poravnanje[] = {{ui->btnAlign_1, 1}, {ui->btnAlign_2, 2}, {ui->btnAlign_3, 3}};
  for (const auto& [gumb, index] : poravnanje)
    connect(gumb, &QToolButton::clicked, this, [this, i = index] { Poravnaj(*editor_, i); });
}

void EditorToolbar::poveziIsjecke() {
  int broj = 0;
  const auto* isjecci = HtmlIsjecci(&broj);
  for (int i = 0; i < broj; ++i) {
    auto* gumb = findChild<QToolButton*>(QLatin1String(isjecci[i].first));
    const QString html = isjecci[i].second;
    connect(gumb, &QToolButton::clicked, this, [this, html] { editor_->pasteHtml(html); });
  }
}

void EditorToolbar::btnDetails_Click() {
  editor_->setShowDetails(!editor_->showDetails());
  ui->btnDetails->setChecked(editor_->showDetails());
}

void EditorToolbar::btnBorders_Click() {
  editor_->setShowBorders(!editor_->showBorders());
  ui->btnBorders->setChecked(editor_->showBorders());
}

// A cancelled dialog pastes nothing: the table of an earlier confirmation is not wanted.
void EditorToolbar::tblTableDialog_Click() {
  frmDialog_Table d(window());
  if (d.exec() == QDialog::Accepted) editor_->pasteHtml(frmDialog_Table::TablicaHtml());
}

// Background, active link, visited link, link and text colour on the document; a
// cancelled dialog and colours never chosen change nothing.
void EditorToolbar::tblBodyDialog_Click() {
  frmDialog_Body d(window());
  if (d.exec() != QDialog::Accepted) return;
  QJsonArray boje;
  for (int koja : {frmDialog_Body::Pozadina, frmDialog_Body::AktivanLink, frmDialog_Body::PosjecenLink,
                   frmDialog_Body::Link, frmDialog_Body::Tekst})
    boje << frmDialog_Body::Boja(koja);
  editor_->evaluate(QStringLiteral("(function(a){var d=document;if(!d.body)return false;"
                                   "['bgColor','alinkColor','vlinkColor','linkColor','fgColor'].forEach(function(p,i){"
                                   "if(a[i])d[p]=a[i];});return true;})(%1)")
                        .arg(QString::fromUtf8(QJsonDocument(boje).toJson(QJsonDocument::Compact))));
}

// A cancelled dialog loads nothing: reloading the path of an earlier one would throw away
// the document being written.
void EditorToolbar::tblExternalFile_Click() {
  frmDialog_ExternalFile d(window());
  if (d.exec() != QDialog::Accepted) return;
  const QString put = frmDialog_ExternalFile::Put();
  platform::dialogs().messageBox(window(), put, platform::MsgButtons::Ok, platform::MsgIcon::Information,
                                 QStringLiteral("Slanje E-mail-a"));
  if (!put.trimmed().isEmpty()) editor_->loadDocument(put.trimmed());
}

void EditorToolbar::tblPrintFile_Click() {
  QPrinter printer;
  printer.setDocName(window()->windowTitle());
  if (platform::dialogs().printDialog(window(), printer)) editor_->print(&printer);
}

void EditorToolbar::Editor_ShowContextMenu() {
  izbornik_ = IzgradiIzbornik(*editor_);
  PrikažiIzbornik(*editor_, izbornik_);
}

void EditorToolbar::Editor_ContextMenuAction(int index) {
  if (const int naredba = NaredbaNaPoziciji(izbornik_, index)) ExecCommand(*editor_, naredba, 0, window());
}

// After the event that reported the change, once for a burst of them. The page moves its
// selection in the render process after our event, so the format is read again a moment
// later, or a click would show the format of the block it left.
void EditorToolbar::Editor_DisplayChanged() {
  if (prikazCeka_) return;
  prikazCeka_ = true;
  const auto prikazi = [this] {
    if (QueryStatus(*editor_, GetBlockFmt) >= kOmogucena)
      status_->showMessage(ExecCommand(*editor_, GetBlockFmt, 2).toString());
  };
  QTimer::singleShot(0, this, [this, prikazi] {
    prikazCeka_ = false;
    prikazi();
  });
  QTimer::singleShot(200, this, prikazi);
}

}  // namespace composer
