#pragma once
#include <QList>
#include <QPageLayout>
#include <variant>

#include "platform/Dialogs.h"

// Records every box the component shows and answers from a queue.
// Installed for its lifetime. An empty queue answers the cancelling choice
// (OK for an OK-only box) and counts the box as unanswered.
struct DialogCall {
  enum Kind { Message, Timed, Input, OpenFile, SaveFile, Color, OpenFiles, Print, PageSetup, Font } kind;
  QString text{};  // message or prompt
  QString title{};
  platform::MsgIcon icon = platform::MsgIcon::None;
  platform::MsgButtons buttons = platform::MsgButtons::Ok;
  QString defaultText{};
  platform::FileDialogOptions file{};
};

class ScriptedDialogs : public platform::Dialogs {
 public:
  using Answer = std::variant<platform::MsgResult, std::optional<QString>, QStringList>;

  ScriptedDialogs() { platform::setDialogs(this); }
  ~ScriptedDialogs() override { platform::setDialogs(nullptr); }

  void answer(platform::MsgResult r) { answers << Answer(r); }
  void answerText(std::optional<QString> t) { answers << Answer(std::move(t)); }
  void answerFiles(QStringList files) { answers << Answer(std::move(files)); }

  const DialogCall& last() const { return calls.last(); }
  QStringList texts() const;

  QList<DialogCall> calls;
  QList<Answer> answers;
  int unanswered = 0;

  platform::MsgResult messageBox(QWidget*, const QString& text, platform::MsgButtons buttons,
                                 platform::MsgIcon icon, const QString& title) override;
  void timedMessageBox(QWidget*, const QString& text, platform::MsgIcon icon,
                       const QString& title, int) override {
    calls << DialogCall{.kind = DialogCall::Timed, .text = text, .title = title, .icon = icon};
  }
  std::optional<QString> inputBox(QWidget*, const QString& prompt, const QString& title,
                                  const QString& defaultText) override;
  QString openFileName(QWidget*, const platform::FileDialogOptions& options) override {
    return fileName(DialogCall::OpenFile, options);
  }
  QString saveFileName(QWidget*, const platform::FileDialogOptions& options) override {
    return fileName(DialogCall::SaveFile, options);
  }
  // Answered from colours / fonts (front first); an empty queue cancels.
  std::optional<QColor> chooseColor(QWidget*, const QColor&) override {
    return takeFrom(colours, DialogCall::Color);
  }
  std::optional<QFont> chooseFont(QWidget*, const QFont&) override { return takeFrom(fonts, DialogCall::Font); }
  QList<std::optional<QColor>> colours;
  QList<std::optional<QFont>> fonts;
  // Answered with MsgResult::Ok: prints to printToFile (PDF).
  bool printDialog(QWidget*, QPrinter& printer) override;
  QString printToFile;

  QStringList openFileNames(QWidget*, const platform::FileDialogOptions& options) override;
  // Answered with MsgResult::Ok: gives the printer pageSetupLayout.
  bool pageSetupDialog(QWidget*, QPrinter& printer) override;
  QPageLayout pageSetupLayout;

 private:
  QString fileName(DialogCall::Kind kind, const platform::FileDialogOptions& options);
  bool accepted(DialogCall::Kind kind, const QPrinter& printer);
  template <class T> std::optional<T> take();
  template <class T> std::optional<T> takeFrom(QList<std::optional<T>>& queue, DialogCall::Kind kind) {
    calls << DialogCall{.kind = kind};
    if (!queue.isEmpty()) return queue.takeFirst();
    ++unanswered;
    return std::nullopt;
  }
};
