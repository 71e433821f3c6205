#include "support/ScriptedDialogs.h"

using namespace platform;

ScriptedDialogs::ScriptedDialogs() { setDialogs(this); }
ScriptedDialogs::~ScriptedDialogs() { setDialogs(nullptr); }

QStringList ScriptedDialogs::texts() const {
  QStringList out;
  for (const DialogCall& c : calls) out << c.text;
  return out;
}

void ScriptedDialogs::record(DialogCall c) {
  calls << c;
  if (onCall) onCall(calls.last());
}

template <class T>
std::optional<T> ScriptedDialogs::take() {
  if (!answers.isEmpty() && std::holds_alternative<T>(answers.first()))
    return std::get<T>(answers.takeFirst());
  ++unanswered;
  return std::nullopt;
}

MsgResult ScriptedDialogs::messageBox(QWidget* parent, const QString& text, MsgButtons buttons,
                                      MsgIcon icon, const QString& title) {
  record({DialogCall::Message, text, title, icon, buttons, {}, {}, parent});
  // Unanswered: the cancelling choice of the box.
  return take<MsgResult>().value_or(buttons == MsgButtons::Ok                 ? MsgResult::Ok
                                    : buttons == MsgButtons::YesNo            ? MsgResult::No
                                    : buttons == MsgButtons::AbortRetryIgnore ? MsgResult::Abort
                                                                              : MsgResult::Cancel);
}

void ScriptedDialogs::timedMessageBox(QWidget* parent, const QString& text, MsgIcon icon,
                                      const QString& title, int timeoutMs) {
  record({DialogCall::Timed, text, title, icon, MsgButtons::Ok, QString::number(timeoutMs), {},
          parent});
}

std::optional<QString> ScriptedDialogs::inputBox(QWidget* parent, const QString& prompt,
                                                 const QString& title, const QString& defaultText) {
  record({DialogCall::Input, prompt, title, MsgIcon::None, MsgButtons::OkCancel, defaultText, {},
          parent});
  return take<std::optional<QString>>().value_or(std::nullopt);
}

QString ScriptedDialogs::openFileName(QWidget* parent, const FileDialogOptions& options) {
  record({DialogCall::OpenFile, {}, options.title, MsgIcon::None, MsgButtons::OkCancel, {}, options,
          parent});
  return take<std::optional<QString>>().value_or(std::nullopt).value_or(QString());
}

QString ScriptedDialogs::saveFileName(QWidget* parent, const FileDialogOptions& options) {
  record({DialogCall::SaveFile, {}, options.title, MsgIcon::None, MsgButtons::OkCancel, {}, options,
          parent});
  return take<std::optional<QString>>().value_or(std::nullopt).value_or(QString());
}

std::optional<QColor> ScriptedDialogs::chooseColor(QWidget* parent, const QColor&) {
  record({DialogCall::Color, {}, {}, MsgIcon::None, MsgButtons::OkCancel, {}, {}, parent});
  return take<std::optional<QColor>>().value_or(std::nullopt);
}
