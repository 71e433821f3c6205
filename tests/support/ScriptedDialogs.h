#pragma once
#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <variant>

#include "platform/Dialogs.h"

// Records every box the component shows and answers from a queue.
// Installed for its lifetime. An empty queue answers the cancelling choice
// (OK for an OK-only box) and counts the box as unanswered.
struct DialogCall {
  enum Kind { Message, Timed, Input, OpenFile, SaveFile, Color } kind;
  QString text;   // message or prompt
  QString title;
  platform::MsgIcon icon = platform::MsgIcon::None;
  platform::MsgButtons buttons = platform::MsgButtons::Ok;
  QString defaultText;
  platform::FileDialogOptions file;
  QPointer<QWidget> parent;
};

class ScriptedDialogs : public platform::Dialogs {
 public:
  using Answer = std::variant<platform::MsgResult, std::optional<QString>, std::optional<QColor>>;

  ScriptedDialogs();
  ~ScriptedDialogs() override;

  void answer(platform::MsgResult r) { answers << Answer(r); }
  void answerText(std::optional<QString> t) { answers << Answer(std::move(t)); }
  void answerColor(std::optional<QColor> c) { answers << Answer(std::move(c)); }

  const DialogCall& last() const { return calls.last(); }
  QStringList texts() const;

  QList<DialogCall> calls;
  QList<Answer> answers;
  int unanswered = 0;
  // Runs when a box is shown, before it is answered (to look at the window then).
  std::function<void(const DialogCall&)> onCall;

  platform::MsgResult messageBox(QWidget* parent, const QString& text, platform::MsgButtons buttons,
                                 platform::MsgIcon icon, const QString& title) override;
  void timedMessageBox(QWidget* parent, const QString& text, platform::MsgIcon icon,
                       const QString& title, int timeoutMs) override;
  std::optional<QString> inputBox(QWidget* parent, const QString& prompt, const QString& title,
                                  const QString& defaultText) override;
  QString openFileName(QWidget* parent, const platform::FileDialogOptions& options) override;
  QString saveFileName(QWidget* parent, const platform::FileDialogOptions& options) override;
  std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) override;

 private:
  void record(DialogCall c);
  template <class T> std::optional<T> take();
};
