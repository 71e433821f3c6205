#pragma once
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QVariant>
#include <QWidget>

class QMenu;
class QPrinter;
class QWebEngineView;
namespace composer {

class EditorPage;

// The composer's editing control: a web page in design mode. Our scripts run in their own
// world, the page's own scripts are off and no navigation replaces the document except the
// loads asked for here. Calls that need an answer from the page wait in a local event loop
// (user input excluded) that ends with the answer, on time-out, or when the render process
// dies; after a time-out they give an empty answer.
class HtmlEditor : public QWidget {
  Q_OBJECT

 public:
  explicit HtmlEditor(QWidget* parent = nullptr);
  ~HtmlEditor() override;

  // Doctype and the whole <html> element as the page holds it, without our helper styles.
  // The document's HTML; *ok false (and "") when the editor did not answer.
  QString documentHtml(bool* ok = nullptr);
  // Replaces the document (any size; local images load). Returns when it is shown.
  bool setDocumentHtml(const QString& html);
  // A file path or a URL; returns when loaded.
  bool loadDocument(const QString& pathOrUrl);
  // documentHtml() as UTF-8, its charset declared, replacing the file whole or not at all.
  bool saveDocument(const QString& path, QString* error = nullptr);
  // The document's address; relative image sources resolve against it.
  QUrl documentUrl() const;

  // The "src" attribute of every image, in document order.
  QStringList imageSources();
  // document.execCommand / queryCommandEnabled of the page.
  bool execCommand(const QString& command, const QString& value = {});
  bool queryCommandEnabled(const QString& command);
  // Runs a script of ours in the page and returns its result.
  QVariant evaluate(const QString& script, bool* ok = nullptr);

  bool showBorders() const { return showBorders_; }
  void setShowBorders(bool on);
  bool showDetails() const { return showDetails_; }
  void setShowDetails(bool on);

  // Puts the selection back where the user left it (a toolbar click or a dialog takes the
  // focus; a document without one gets the caret at its end) and gives the page the focus.
  bool restoreSelection();
  // Replaces the saved selection with html, exactly as given, and puts the caret after it.
  bool pasteHtml(const QString& html);
  // What the clipboard and undo commands can do now (QWebEngineContextMenuRequest flags):
  // while a context menu is asked for, Chromium's own answer; otherwise the selection, the
  // clipboard and the page's undo history.
  int editFlags();
  // The context menu: empty captions are separators, states below 3 disabled entries.
  // Set while contextMenuRequested is handled; the choice arrives as contextMenuAction.
  void setContextMenu(const QStringList& captions, const QList<int>& states);
  QMenu* contextMenu() const { return menu_; }

  // Prints the document on printer; returns when printing has finished.
  bool print(QPrinter* printer);

  QWebEngineView* view() const { return view_; }
  void setCallTimeout(int ms) { timeoutMs_ = ms; }

 signals:
  // A key pressed in the document (the unsaved-changes flag listens here).
  void keyPressed(int key);
  // The selection or the content may have changed (after keys and mouse clicks).
  void displayChanged();
  // The user asked for the context menu; the handler calls setContextMenu.
  void contextMenuRequested();
  // The entry at index (separators counted) of the menu set last was chosen.
  void contextMenuAction(int index);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool load(const QUrl& url);
  bool waitForLoad();
  void applyHelperStyle();
  void watchInput(QObject* target);
  QString helperCss() const;
  void showContextMenu(const QPoint& pos);

  QWebEngineView* view_ = nullptr;
  EditorPage* page_ = nullptr;
  QTemporaryDir tmp_;
  int tmpCount_ = 0;
  QUrl documentUrl_;
  bool loading_ = false;
  bool loadOk_ = false;
  bool renderDead_ = false;
  bool showBorders_ = false;
  bool showDetails_ = false;
  int timeoutMs_ = 10000;
  QString lastHtml_;  // the document as last read
  QMenu* menu_ = nullptr;
  int menuFlags_ = -1;  // Chromium's edit flags while a context menu is asked for
};

// doc as UTF-8 text that declares it: an existing charset declaration says utf-8, else one
// is added at the start of <head>.
QString withUtf8Declaration(QString html);

}  // namespace composer
