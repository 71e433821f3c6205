#pragma once
#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;
class QPrinter;

// Every message box, input box and file/colour dialog of the component goes through
// this interface, so that tests can answer them and see what was asked.
namespace platform {

// "warning icon" in the windows' texts is the exclamation icon.
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MsgResult { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

struct FileDialogOptions {
  QString title;
  QString filter;      // "Description|pattern|Description|pattern"
  QString defaultExt;  // with or without the dot; "*.*" means none
  QString initialDir;
  QString fileName;
  bool fileMustExist = false;
  bool pathMustExist = false;
  bool overwritePrompt = false;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual MsgResult messageBox(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                               const QString& title) = 0;
  // A box that closes by itself after timeoutMs unless the user closes it first.
  virtual void timedMessageBox(QWidget* parent, const QString& text, MsgIcon icon, const QString& title,
                               int timeoutMs) = 0;
  // nullopt on Cancel.
  virtual std::optional<QString> inputBox(QWidget* parent, const QString& prompt, const QString& title,
                                          const QString& defaultText) = 0;
  // Empty on cancel.
  virtual QString openFileName(QWidget* parent, const FileDialogOptions& options) = 0;
  virtual QString saveFileName(QWidget* parent, const FileDialogOptions& options) = 0;
  // nullopt on cancel.
  virtual std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) = 0;
  // Several existing files at once, as full paths in the order chosen; empty on cancel.
  virtual QStringList openFileNames(QWidget* parent, const FileDialogOptions& options) = 0;
  // The print dialog for printer (which it may change); false on cancel.
  virtual bool printDialog(QWidget* parent, QPrinter& printer) = 0;
  // The page setup dialog for printer (paper, orientation, margins); false on cancel.
  virtual bool pageSetupDialog(QWidget* parent, QPrinter& printer) = 0;
  // nullopt on cancel.
  virtual std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) = 0;
  // A question about a list too long for a message box: the text, the items in a scrolling
  // box, and two buttons with their own words; true for the first. By default a message box
  // with OK and Cancel that holds the items too.
  virtual bool confirmList(QWidget* parent, const QString& text, const QStringList& items, const QString& acceptText,
                           const QString& rejectText, const QString& title);
};

// The component's dialogs; the Qt implementation unless a test installed another.
Dialogs& dialogs();
// Installs d (not owned); nullptr restores the Qt implementation.
void setDialogs(Dialogs* d);

// The component's default title for boxes whose window gives none.
QString defaultTitle();

// "Desc|*.txt|All|*.*" -> "Desc (*.txt);;All (*.*)"
QString toQtFilter(const QString& vbFilter);

}  // namespace platform
