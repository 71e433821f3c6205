#pragma once
#include "platform/Dialogs.h"

namespace platform {

class QtDialogs : public Dialogs {
 public:
  MsgResult messageBox(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                       const QString& title) override;
  void timedMessageBox(QWidget* parent, const QString& text, MsgIcon icon, const QString& title,
                       int timeoutMs) override;
  std::optional<QString> inputBox(QWidget* parent, const QString& prompt, const QString& title,
                                  const QString& defaultText) override;
  QString openFileName(QWidget* parent, const FileDialogOptions& options) override;
  QString saveFileName(QWidget* parent, const FileDialogOptions& options) override;
  std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) override;
  QStringList openFileNames(QWidget* parent, const FileDialogOptions& options) override;
  bool printDialog(QWidget* parent, QPrinter& printer) override;
  bool pageSetupDialog(QWidget* parent, QPrinter& printer) override;
  std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) override;
  bool confirmList(QWidget* parent, const QString& text, const QStringList& items, const QString& acceptText,
                   const QString& rejectText, const QString& title) override;
};

}  // namespace platform
