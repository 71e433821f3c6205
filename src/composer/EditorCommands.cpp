#include "composer/EditorCommands.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <QWebEngineContextMenuRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "composer/HtmlEditor.h"
#include "platform/Dialogs.h"

namespace composer {

namespace {

using R = QWebEngineContextMenuRequest;

// Shared by the scripts below: the selection (or the one saved when the page lost the
// focus), the table cell it starts in, and the element positioning acts on: a single
// selected element, else an absolutely positioned one around the selection.
const char* const kPrelude =
    "var d=document,s=getSelection(),r=s.rangeCount?s.getRangeAt(0):(window.__vkRange||null);"
    "if(r&&!(d.body&&d.body.contains(r.commonAncestorContainer)))r=null;"
    "function el(n){return n&&n.nodeType!==1?n.parentNode:n;}"
    "function cell(){return r?el(r.startContainer).closest('td,th'):null;}"
    "function endCell(t){var e=r?el(r.endContainer).closest('td,th'):null;"
    "return e&&e.closest('table')===t?e:null;}"
    "function target(){if(!r)return null;var c=r.startContainer;"
    "if(c===r.endContainer&&c.nodeType===1&&r.endOffset-r.startOffset===1){"
    "var e=c.childNodes[r.startOffset];if(e.nodeType===1)return e;}"
    "for(var n=el(c);n&&n!==d.body;n=n.parentNode)if(n.style&&n.style.position==='absolute')return n;"
    "return null;}";

// Above the current row, with as many cells.
const char* const kInsertRow =
    "var c=cell();if(!c)return false;var tr=c.parentNode,n=d.createElement('tr');"
    "Array.from(tr.cells).forEach(function(x){var t=d.createElement(x.tagName.toLowerCase());"
    "if(x.colSpan>1)t.colSpan=x.colSpan;n.appendChild(t);});"
    "tr.parentNode.insertBefore(n,tr);return true;";
// Left of the current column, in every row of the table.
const char* const kInsertCol =
    "var c=cell();if(!c)return false;var i=c.cellIndex,t=c.closest('table');"
    "Array.from(t.rows).forEach(function(row){var ref=row.cells[i]||null;"
    "var like=ref||row.cells[row.cells.length-1]||c;"
    "row.insertBefore(d.createElement(like.tagName.toLowerCase()),ref);});return true;";
// The rows the selection spans; a table left without rows goes too.
const char* const kDeleteRows =
    "var c=cell();if(!c)return false;var t=c.closest('table'),e=endCell(t)||c;"
    "var a=c.parentNode.rowIndex,b=e.parentNode.rowIndex;"
    "Array.from(t.rows).slice(Math.min(a,b),Math.max(a,b)+1).forEach(function(x){x.remove();});"
    "if(!t.rows.length)t.remove();return true;";
const char* const kDeleteCols =
    "var c=cell();if(!c)return false;var t=c.closest('table'),e=endCell(t)||c;"
    "var lo=Math.min(c.cellIndex,e.cellIndex),hi=Math.max(c.cellIndex,e.cellIndex);"
    "Array.from(t.rows).forEach(function(row){"
    "for(var k=Math.min(hi,row.cells.length-1);k>=lo;k--)row.cells[k].remove();"
    "if(!row.cells.length)row.remove();});"
    "if(!t.rows.length)t.remove();return true;";
// 2D: absolutely positioned where it stands; 1D: back in the flow.
const char* const kToggleAbsolute =
    "var e=target();if(!e)return false;"
    "if(e.style.position==='absolute'){['position','left','top','z-index'].forEach("
    "function(p){e.style.removeProperty(p);});if(!e.getAttribute('style'))e.removeAttribute('style');}"
    "else{var x=e.offsetLeft,y=e.offsetTop;e.style.position='absolute';"
    "e.style.left=x+'px';e.style.top=y+'px';}return true;";
const char* const kSendToBack =
    "var e=target();if(!e||e.style.position!=='absolute')return false;e.style.zIndex='-1';return true;";
// The nearest block around the selection's start; null without a selection.
const char* const kBlockTag =
    "if(!r)return null;for(var n=el(r.startContainer);n&&n!==d.body;n=n.parentNode){"
    "var t=n.tagName.toLowerCase();"
    "if(/^(p|pre|address|h[1-6]|ol|ul|dir|menu|dt|dd|div)$/.test(t))return t;}return '';";
// Chromium leaves a list made from a paragraph inside it; a list is no paragraph content.
const char* const kUnwrapLists =
    "d.querySelectorAll('p').forEach(function(p){var c=p.children;"
    "if(c.length===1&&/^(OL|UL)$/.test(c[0].tagName)&&p.textContent===c[0].textContent)"
    "p.replaceWith(c[0]);});return true;";
const char* const kState =
    "switch(a[0]){case 'cell':return !!cell();case 'target':return !!target();"
    "case 'positioned':var e=target();return !!e&&e.style.position==='absolute';"
    "case 'selection':return !!r;}return false;";
// Font name, size 1-7, bold, italic, underline as the tags of the control.
const char* const kFont =
    "d.execCommand('styleWithCSS',false,false);d.execCommand('fontName',false,a[0]);"
    "d.execCommand('fontSize',false,a[1]);"
    "['bold','italic','underline'].forEach(function(c,i){"
    "if(d.queryCommandState(c)!==a[2+i])d.execCommand(c);});return true;";

QVariant skripta(HtmlEditor& editor, const char* tijelo, const QVariantList& argumenti = {}) {
  const QString a =
      QString::fromUtf8(QJsonDocument(QJsonArray::fromVariantList(argumenti)).toJson(QJsonDocument::Compact));
  return editor.evaluate(
      QStringLiteral("(function(a){%1%2})(%3)").arg(QLatin1String(kPrelude), QLatin1String(tijelo), a));
}

bool stanje(HtmlEditor& editor, const char* upit) {
  return skripta(editor, kState, {QString::fromLatin1(upit)}).toBool();
}

QWebEnginePage::WebAction akcijaStranice(int naredba) {
  switch (naredba) {
    case Undo: return QWebEnginePage::Undo;
    case Redo: return QWebEnginePage::Redo;
    case Cut: return QWebEnginePage::Cut;
    case Copy: return QWebEnginePage::Copy;
    case Paste: return QWebEnginePage::Paste;
    case SelectAll: return QWebEnginePage::SelectAll;
    default: return QWebEnginePage::NoWebAction;
  }
}

QString naredbaStranice(int naredba) {
  switch (naredba) {
    case Indent: return QStringLiteral("indent");
    case Outdent: return QStringLiteral("outdent");
    case OrderList: return QStringLiteral("insertOrderedList");
    case UnorderList: return QStringLiteral("insertUnorderedList");
    case JustifyLeft: return QStringLiteral("justifyLeft");
    case JustifyCenter: return QStringLiteral("justifyCenter");
    case JustifyRight: return QStringLiteral("justifyRight");
    default: return {};
  }
}

// Points to the HTML sizes 1-7 (8, 10, 12, 14, 18, 24, 36 pt).
int velicinaHtml(const QFont& f) {
  const double pt = f.pointSizeF() > 0 ? f.pointSizeF() : f.pixelSize() * 0.75;
  const double granice[] = {9, 11, 13, 16, 21, 30};
  int v = 1;
  for (double g : granice)
    if (pt >= g) ++v;
  return v;
}

QString bojaHtml(const QColor& c) {
  return QStringLiteral("#%1%2%3")
      .arg(c.red(), 2, 16, QLatin1Char('0'))
      .arg(c.green(), 2, 16, QLatin1Char('0'))
      .arg(c.blue(), 2, 16, QLatin1Char('0'))
      .toUpper();
}

bool fontDijalog(HtmlEditor& editor, QWidget* roditelj) {
  QString obitelj = editor.evaluate(QStringLiteral("document.queryCommandValue('fontName')")).toString();
  obitelj.remove(QLatin1Char('"')).remove(QLatin1Char('\''));
  const std::optional<QFont> f =
      platform::dialogs().chooseFont(roditelj, QFont(obitelj.section(QLatin1Char(','), 0, 0)));
  if (!f) return false;
  editor.restoreSelection();
  skripta(editor, kFont, {f->family(), velicinaHtml(*f), f->bold(), f->italic(), f->underline()});
  const std::optional<QColor> boja = platform::dialogs().chooseColor(roditelj, Qt::black);
  if (boja && boja->isValid()) {
    editor.restoreSelection();
    editor.execCommand(QStringLiteral("foreColor"), bojaHtml(*boja));
  }
  return true;
}

bool linkDijalog(HtmlEditor& editor, QWidget* roditelj) {
  const std::optional<QString> adresa = platform::dialogs().inputBox(
      roditelj, QStringLiteral("Adresa veze:"), QStringLiteral("Link dijalog"), QStringLiteral("http://"));
  if (!adresa || adresa->trimmed().isEmpty() || adresa->trimmed() == QLatin1String("http://")) return false;
  const QString url = adresa->trimmed();
  editor.restoreSelection();
  if (editor.evaluate(QStringLiteral("getSelection().isCollapsed")).toBool())
    return editor.pasteHtml(QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), url.toHtmlEscaped()));
  return editor.execCommand(QStringLiteral("createLink"), url);
}

bool slikaDijalog(HtmlEditor& editor, QWidget* roditelj) {
  platform::FileDialogOptions o;
  o.title = QStringLiteral("Dijalog za sliku");
  o.filter = QStringLiteral("Slike|*.bmp;*.gif;*.jpg;*.jpeg;*.png|Sve datoteke (*.*)|*.*");
  o.fileMustExist = true;
  const QString put = platform::dialogs().openFileName(roditelj, o);
  if (put.isEmpty()) return false;
  editor.restoreSelection();
  return editor.execCommand(QStringLiteral("insertImage"), QUrl::fromLocalFile(put).toString(QUrl::FullyEncoded));
}

const char* skriptaZa(int naredba) {
  switch (naredba) {
    case InsertRow: return kInsertRow;
    case InsertCol: return kInsertCol;
    case DeleteRows: return kDeleteRows;
    case DeleteCols: return kDeleteCols;
    case MakeAbsolute: return kToggleAbsolute;
    case SendToBack: return kSendToBack;
    default: return nullptr;
  }
}

}  // namespace

QString NazivFormata(const QString& tag) {
  static const QHash<QString, QString> nazivi = {{QString(), QStringLiteral("Normal")},
                                                 {QStringLiteral("p"), QStringLiteral("Normal")},
                                                 {QStringLiteral("div"), QStringLiteral("Normal (DIV)")},
                                                 {QStringLiteral("pre"), QStringLiteral("Formatted")},
                                                 {QStringLiteral("address"), QStringLiteral("Address")},
                                                 {QStringLiteral("ol"), QStringLiteral("Numbered List")},
                                                 {QStringLiteral("ul"), QStringLiteral("Bulleted List")},
                                                 {QStringLiteral("dir"), QStringLiteral("Directory List")},
                                                 {QStringLiteral("menu"), QStringLiteral("Menu List")},
                                                 {QStringLiteral("dt"), QStringLiteral("Definition Term")},
                                                 {QStringLiteral("dd"), QStringLiteral("Definition")}};
  if (tag.size() == 2 && tag[0] == QLatin1Char('h') && tag[1] >= QLatin1Char('1') && tag[1] <= QLatin1Char('6'))
    return QStringLiteral("Heading ") + tag[1];
  return nazivi.value(tag, tag);
}

QVariant ExecCommand(HtmlEditor& editor, int naredba, int opcija, QWidget* dialogParent) {
  Q_UNUSED(opcija);
  QWidget* roditelj = dialogParent ? dialogParent : editor.window();
  if (const QWebEnginePage::WebAction a = akcijaStranice(naredba); a != QWebEnginePage::NoWebAction) {
    editor.restoreSelection();
    editor.view()->page()->triggerAction(a);
    return true;
  }
  if (const QString n = naredbaStranice(naredba); !n.isEmpty()) {
    editor.restoreSelection();
    const bool ok = editor.execCommand(n);
    if (naredba == OrderList || naredba == UnorderList) skripta(editor, kUnwrapLists);
    return ok;
  }
  if (const char* s = skriptaZa(naredba)) {
    editor.restoreSelection();
    return skripta(editor, s);
  }
  switch (naredba) {
    case GetBlockFmt: {
      const QVariant tag = skripta(editor, kBlockTag);
      return tag.isNull() ? QVariant() : QVariant(NazivFormata(tag.toString()));
    }
    case Font: return fontDijalog(editor, roditelj);
    case Hyperlink: return linkDijalog(editor, roditelj);
    case Image: return slikaDijalog(editor, roditelj);
    default: return {};
  }
}

int QueryStatus(HtmlEditor& editor, int naredba) {
  const auto dakNe = [](bool da) { return da ? kOmogucena : kOnemogucena; };
  switch (naredba) {
    case Undo: return dakNe(editor.editFlags() & R::CanUndo);
    case Redo: return dakNe(editor.editFlags() & R::CanRedo);
    case Cut: return dakNe(editor.editFlags() & R::CanCut);
    case Copy: return dakNe(editor.editFlags() & R::CanCopy);
    case Paste: return dakNe(editor.editFlags() & R::CanPaste);
    case SelectAll: return dakNe(editor.editFlags() & R::CanSelectAll);
    case InsertRow:
    case InsertCol:
    case DeleteRows:
    case DeleteCols: return dakNe(stanje(editor, "cell"));
    case MakeAbsolute: return dakNe(stanje(editor, "target"));
    case SendToBack: return dakNe(stanje(editor, "positioned"));
    case GetBlockFmt: return dakNe(stanje(editor, "selection"));
    case Font:
    case Hyperlink:
    case Image:
    case Indent:
    case Outdent:
    case OrderList:
    case UnorderList:
    case JustifyLeft:
    case JustifyCenter:
    case JustifyRight: return kOmogucena;
    default: return kNepodrzana;
  }
}

void Poravnaj(HtmlEditor& editor, int index) {
  ExecCommand(editor, index == 1 ? JustifyLeft : index == 2 ? JustifyCenter : JustifyRight);
}

}  // namespace composer
