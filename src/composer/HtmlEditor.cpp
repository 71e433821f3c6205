#include "composer/HtmlEditor.h"

#include <QChildEvent>
#include <QClipboard>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineContextMenuRequest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <memory>
#include <optional>

namespace composer {

// Refuses every navigation but the loads the editor itself asks for: a pasted link or
// submit button must never replace the document.
class EditorPage : public QWebEnginePage {
 public:
  using QWebEnginePage::QWebEnginePage;
  bool ownLoad = false;

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
    if (!isMainFrame) return url.scheme() == QLatin1String("about");
    if (type == NavigationTypeLinkClicked || type == NavigationTypeFormSubmitted || type == NavigationTypeBackForward ||
        type == NavigationTypeReload)
      return false;
    return ownLoad;
  }
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}
};

namespace {

const char* const kHelperAttr = "data-velkor-helper";

QString jsString(const QString& s) {
  QString out = s;
  out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
      .replace(QLatin1Char('\''), QStringLiteral("\\'"))
      .replace(QLatin1Char('\n'), QStringLiteral("\\n"))
      .replace(QLatin1Char('\r'), QStringLiteral("\\r"));
  return QLatin1Char('\'') + out + QLatin1Char('\'');
}

// Design mode on and our helper style in place; run on every document.
QString setupScript(const QString& css) {
  return QStringLiteral(
             "(function(css){var d=document;d.designMode='on';"
             // the last selection inside the body, for commands that come after a focus loss
             "if(!window.__vkSel){window.__vkSel=true;d.addEventListener('selectionchange',function(){"
             "var s=getSelection();if(s.rangeCount&&d.body&&"
             "d.body.contains(s.getRangeAt(0).commonAncestorContainer))"
             "window.__vkRange=s.getRangeAt(0).cloneRange();});}"
             "var s=d.querySelector('style[%1]');"
             "if(!css){if(s)s.remove();return;}"
             "if(!s){s=d.createElement('style');s.setAttribute('%1','');"
             "(d.head||d.documentElement).appendChild(s);}"
             "s.textContent=css;})(%2)")
      .arg(QLatin1String(kHelperAttr), jsString(css));
}

const char* const kSerialize =
    "(function(){var d=document,c=d.documentElement.cloneNode(true);"
    "c.querySelectorAll('[data-velkor-helper]').forEach(function(n){n.remove();});"
    "var t=d.doctype,s='';"
    "if(t){s='<!DOCTYPE '+t.name+(t.publicId?' PUBLIC \"'+t.publicId+'\"':'')"
    "+(t.systemId?(t.publicId?' \"':' SYSTEM \"')+t.systemId+'\"':'')+'>\\n';}"
    "return s+c.outerHTML;})()";

// The selection the user left, else the saved one, else the caret at the end of the body.
const char* const kRestore =
    "(function(){var d=document,s=getSelection(),r=null;if(!d.body)return false;"
    "if(s.rangeCount&&d.body.contains(s.getRangeAt(0).commonAncestorContainer))r=s.getRangeAt(0);"
    "else if(window.__vkRange&&d.body.contains(window.__vkRange.commonAncestorContainer))r=window.__vkRange;"
    "else{r=d.createRange();r.selectNodeContents(d.body);r.collapse(false);}"
    "s.removeAllRanges();s.addRange(r);window.__vkRange=r.cloneRange();return true;})()";

// Where an element for <head> may go in a document's text.
qsizetype headInsertPoint(const QString& html) {
  static const QRegularExpression head(QStringLiteral("<head\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression top(QStringLiteral("<html\\b[^>]*>|<!doctype[^>]*>"),
                                      QRegularExpression::CaseInsensitiveOption);
  QRegularExpressionMatch m = head.match(html);
  if (!m.hasMatch()) m = top.match(html);
  return m.hasMatch() ? m.capturedEnd() : 0;
}

}  // namespace

QString withUtf8Declaration(QString html) {
  static const QRegularExpression charset(QStringLiteral("(<meta\\b[^>]*?charset\\s*=\\s*[\"']?\\s*)([^\"'\\s;/>]+)"),
                                          QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch m = charset.match(html);
  if (m.hasMatch()) return html.replace(m.capturedStart(2), m.capturedLength(2), QStringLiteral("utf-8"));
  return html.insert(headInsertPoint(html), QStringLiteral("<meta charset=\"utf-8\">"));
}

HtmlEditor::HtmlEditor(QWidget* parent) : QWidget(parent) {
  page_ = new EditorPage(this);
  QWebEngineSettings* s = page_->settings();
  s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
  s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  s->setDefaultTextEncoding(QStringLiteral("utf-8"));
  view_ = new QWebEngineView(this);
  view_->setPage(page_);
  view_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view_, &QWidget::customContextMenuRequested, this, &HtmlEditor::showContextMenu);
  menu_ = new QMenu(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  setFocusProxy(view_);
  watchInput(view_);

  connect(page_, &QWebEnginePage::loadStarted, this, [this] {
    loading_ = true;
    renderDead_ = false;
  });
  connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
    loading_ = false;
    loadOk_ = ok;
    page_->ownLoad = false;
  });
  connect(page_, &QWebEnginePage::renderProcessTerminated, this, [this] {
    renderDead_ = true;
    loading_ = false;
  });
  applyHelperStyle();
  // An empty document at once, so that there is something to type into; not waited for.
  const QString blank = tmp_.filePath(QStringLiteral("dokument-0.html"));
  QFile f(blank);
  if (f.open(QIODevice::WriteOnly)) {
    f.close();
    page_->ownLoad = true;
    loading_ = true;
    page_->load(QUrl::fromLocalFile(blank));
  }
}

HtmlEditor::~HtmlEditor() {
  delete view_;
  delete page_;
}

void HtmlEditor::watchInput(QObject* target) {
  target->installEventFilter(this);
  for (QObject* child : target->children())
    if (child->isWidgetType()) child->installEventFilter(this);
}

bool HtmlEditor::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::ChildAdded: {
      QObject* child = static_cast<QChildEvent*>(event)->child();
      if (watched == view_ && child->isWidgetType()) child->installEventFilter(this);
      break;
    }
    case QEvent::KeyPress:
      if (watched != view_) emit keyPressed(static_cast<QKeyEvent*>(event)->key());
      break;
    case QEvent::KeyRelease:
    case QEvent::MouseButtonRelease:
      if (watched != view_) emit displayChanged();
      break;
    default: break;
  }
  return QWidget::eventFilter(watched, event);
}

QString HtmlEditor::helperCss() const {
  if (!showBorders_ && !showDetails_) return {};
  QString css = QStringLiteral("@media screen{");
  if (showBorders_) css += QStringLiteral("table,td,th{outline:1px dotted #8c8c8c}");
  if (showDetails_)
    css += QStringLiteral(
        "p,div,form,span{outline:1px dashed #b4b4e6}"
        "input,select,textarea{outline:1px dotted #c06000}");
  return css + QLatin1Char('}');  // never on paper
}

void HtmlEditor::applyHelperStyle() {
  const QString script = setupScript(helperCss());
  QWebEngineScriptCollection& scripts = page_->scripts();
  for (const QWebEngineScript& old : scripts.find(QStringLiteral("velkor-editor"))) scripts.remove(old);
  QWebEngineScript s;
  s.setName(QStringLiteral("velkor-editor"));
  s.setWorldId(QWebEngineScript::ApplicationWorld);
  s.setInjectionPoint(QWebEngineScript::DocumentReady);
  s.setRunsOnSubFrames(false);
  s.setSourceCode(script);
  scripts.insert(s);
  if (!loading_) page_->runJavaScript(script, QWebEngineScript::ApplicationWorld);
}

void HtmlEditor::setShowBorders(bool on) {
  showBorders_ = on;
  applyHelperStyle();
}

void HtmlEditor::setShowDetails(bool on) {
  showDetails_ = on;
  applyHelperStyle();
}

bool HtmlEditor::waitForLoad() {
  if (loading_ && !renderDead_) {
    QEventLoop loop;
    connect(page_, &QWebEnginePage::loadFinished, &loop, &QEventLoop::quit);
    connect(page_, &QWebEnginePage::renderProcessTerminated, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs_, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  return !loading_ && loadOk_ && !renderDead_;
}

bool HtmlEditor::load(const QUrl& url) {
  waitForLoad();
  page_->ownLoad = true;
  loading_ = true;
  loadOk_ = false;
  renderDead_ = false;  // a new load starts a new render process
  page_->load(url);
  const bool ok = waitForLoad();
  page_->ownLoad = false;
  return ok;
}

QVariant HtmlEditor::evaluate(const QString& script, bool* ok) {
  waitForLoad();
  if (ok) *ok = false;
  if (renderDead_) return {};
  struct Call {
    QVariant result;
    bool done = false;
    QEventLoop* loop = nullptr;
  };
  auto call = std::make_shared<Call>();
  page_->runJavaScript(script, QWebEngineScript::ApplicationWorld, [call](const QVariant& v) {
    call->result = v;
    call->done = true;
    if (call->loop) call->loop->quit();
  });
  if (!call->done) {
    QEventLoop loop;
    call->loop = &loop;
    connect(page_, &QWebEnginePage::renderProcessTerminated, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs_, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    call->loop = nullptr;
  }
  if (ok) *ok = call->done;
  return call->result;
}

QString HtmlEditor::documentHtml(bool* ok) {
  bool answered = false;
  const QString html = evaluate(QString::fromLatin1(kSerialize), &answered).toString();
  if (ok) *ok = answered;
  if (answered) lastHtml_ = html;
  return html;
}

bool HtmlEditor::setDocumentHtml(const QString& html) {
  // Through a file: setHtml is limited to 2 MB and loads no local images. A document that
  // came from a file keeps its folder as base, for its relative image sources.
  QString text = html;
  if (documentUrl_.isLocalFile() && !text.contains(QStringLiteral("<base"), Qt::CaseInsensitive))
    text.insert(headInsertPoint(text),
                QStringLiteral("<base %1 href=\"%2\">")
                    .arg(QLatin1String(kHelperAttr), documentUrl_.toString(QUrl::FullyEncoded).toHtmlEscaped()));
  const QString path = tmp_.filePath(QStringLiteral("dokument-%1.html").arg(++tmpCount_));
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write("\xEF\xBB\xBF");  // the byte order mark settles the charset whatever the text declares
  f.write(text.toUtf8());
  f.close();
  const bool ok = load(QUrl::fromLocalFile(path));
  QFile::remove(tmp_.filePath(QStringLiteral("dokument-%1.html").arg(tmpCount_ - 1)));
  return ok;
}

QUrl HtmlEditor::documentUrl() const { return documentUrl_.isValid() ? documentUrl_ : page_->url(); }

bool HtmlEditor::loadDocument(const QString& pathOrUrl) {
  const QUrl url = QUrl::fromUserInput(pathOrUrl, QString(), QUrl::AssumeLocalFile);
  if (!url.isValid()) return false;
  documentUrl_ = url;
  return load(url);
}

// An editor that stopped answering still lets the user keep the document as last read.
bool HtmlEditor::saveDocument(const QString& path, QString* error) {
  bool ok = false;
  QString html = documentHtml(&ok);
  if (!ok && !lastHtml_.isEmpty()) html = lastHtml_, ok = true;
  QSaveFile f(path);
  if (ok && f.open(QIODevice::WriteOnly)) {
    f.write(withUtf8Declaration(html).toUtf8());
    if (f.commit()) return true;
  }
  if (error) *error = ok ? f.errorString() : QStringLiteral("Uređivač nije odgovorio.");
  return false;
}

QStringList HtmlEditor::imageSources() {
  return evaluate(QStringLiteral("Array.from(document.images).map(function(i){"
                                 "return i.getAttribute('src')||'';})"))
      .toStringList();
}

bool HtmlEditor::execCommand(const QString& command, const QString& value) {
  return evaluate(QStringLiteral("document.execCommand(%1,false,%2)").arg(jsString(command), jsString(value))).toBool();
}

bool HtmlEditor::queryCommandEnabled(const QString& command) {
  return evaluate(QStringLiteral("document.queryCommandEnabled(%1)").arg(jsString(command))).toBool();
}

bool HtmlEditor::print(QPrinter* printer) {
  if (!waitForLoad() && renderDead_) return false;
  auto result = std::make_shared<std::optional<bool>>();
  QEventLoop loop;
  QPointer<QEventLoop> guard(&loop);
  auto c = connect(view_, &QWebEngineView::printFinished, this, [result, guard](bool ok) {
    *result = ok;
    if (guard) guard->quit();
  });
  view_->print(printer);
  if (!result->has_value()) {
    connect(page_, &QWebEnginePage::renderProcessTerminated, &loop, &QEventLoop::quit);
    QTimer::singleShot(6 * timeoutMs_, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  disconnect(c);
  return result->value_or(false);
}

bool HtmlEditor::restoreSelection() {
  view_->setFocus();
  return evaluate(QString::fromLatin1(kRestore)).toBool();
}

bool HtmlEditor::pasteHtml(const QString& html) {
  if (!restoreSelection()) return false;
  return execCommand(QStringLiteral("insertHTML"), html);
}

int HtmlEditor::editFlags() {
  if (menuFlags_ >= 0) return menuFlags_;
  using R = QWebEngineContextMenuRequest;
  const QVariantList s =
      evaluate(QStringLiteral("(function(){var s=getSelection();return [s.rangeCount>0&&!s.isCollapsed,"
                              "document.queryCommandEnabled('undo'),document.queryCommandEnabled('redo'),"
                              "!!document.body&&document.body.childNodes.length>0];})()"))
          .toList();
  if (s.size() != 4) return 0;
  int flags = s[3].toBool() ? R::CanSelectAll : 0;
  if (s[0].toBool()) flags |= R::CanCut | R::CanCopy | R::CanDelete;
  if (s[1].toBool()) flags |= R::CanUndo;
  if (s[2].toBool()) flags |= R::CanRedo;
  const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
  if (clip && (clip->hasText() || clip->hasHtml() || clip->hasImage())) flags |= R::CanPaste;
  return flags;
}

void HtmlEditor::setContextMenu(const QStringList& captions, const QList<int>& states) {
  menu_->clear();
  for (qsizetype i = 0; i < captions.size(); ++i) {
    if (captions[i].isEmpty()) {
      menu_->addSeparator();
      continue;
    }
    QAction* a = menu_->addAction(captions[i]);
    a->setEnabled(i < states.size() && states[i] >= 3);
    connect(a, &QAction::triggered, this, [this, i] { emit contextMenuAction(int(i)); });
  }
}

// Outside the engine's signal: the page answers our scripts only after it returns.
void HtmlEditor::showContextMenu(const QPoint& pos) {
  const QWebEngineContextMenuRequest* r = view_->lastContextMenuRequest();
  const int flags = r ? int(r->editFlags()) : -1;
  QTimer::singleShot(0, this, [this, pos, flags] {
    // A right click outside the selection moves the caret there first, so that the menu
    // acts on what was clicked; Chromium's flags then describe a selection that is gone.
    const bool moved =
        evaluate(QStringLiteral("(function(x,y){var s=getSelection();if(s.rangeCount&&!s.isCollapsed){"
                                "var q=s.getRangeAt(0).getClientRects();for(var i=0;i<q.length;i++)"
                                "if(x>=q[i].left&&x<=q[i].right&&y>=q[i].top&&y<=q[i].bottom)return false;}"
                                "var r=document.caretRangeFromPoint(x,y);if(!r)return false;"
                                "s.removeAllRanges();s.addRange(r);return true;})(%1,%2)")
                     .arg(pos.x())
                     .arg(pos.y()))
            .toBool();
    menuFlags_ = moved ? -1 : flags;
    menu_->clear();
    emit contextMenuRequested();
    menuFlags_ = -1;
    if (!menu_->isEmpty()) menu_->popup(view_->mapToGlobal(pos));
  });
}

}  // namespace composer
