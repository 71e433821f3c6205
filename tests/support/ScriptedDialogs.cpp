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
  if (answers.isEmpty() || !std::holds_alternative<T>(answers.first())) {
    ++unanswered;
    return std::nullopt;
  }
  return std::get<T>(answers.takeFirst());
}

MsgResult ScriptedDialogs::messageBox(QWidget* parent, const QString& text, MsgButtons buttons,
                                      MsgIcon icon, const QString& title) {
  record({DialogCall::Message, text, title, icon, buttons, {}, {}, parent});
  if (auto r = take<MsgResult>()) return *r;
  switch (buttons) {
    case MsgButtons::Ok: return MsgResult::Ok;
    case MsgButtons::YesNo: return MsgResult::No;
    case MsgButtons::AbortRetryIgnore: return MsgResult::Abort;
    default: return MsgResult::Cancel;
  }
}

void ScriptedDialogs::timedMessageBox(QWidget* parent, const QString& text, MsgIcon icon,
                                      const QString& title, int timeoutMs) {
  DialogCall c{DialogCall::Timed, text, title, icon, MsgButtons::Ok, {}, {}, parent};
  c.defaultText = QString::number(timeoutMs);
  record(c);
}

std::optional<QString> ScriptedDialogs::inputBox(QWidget* parent, const QString& prompt,
                                                 const QString& title, const QString& defaultText) {
  record({DialogCall::Input, prompt, title, MsgIcon::None, MsgButtons::OkCancel, defaultText, {},
          parent});
  if (auto r = take<std::optional<QString>>()) return *r;
  return std::nullopt;
}

QString ScriptedDialogs::openFileName(QWidget* parent, const FileDialogOptions& options) {
  record({DialogCall::OpenFile, {}, options.title, MsgIcon::None, MsgButtons::OkCancel, {}, options,
          parent});
  if (auto r = take<std::optional<QString>>()) return r->value_or(QString());
  return {};
}

QString ScriptedDialogs::saveFileName(QWidget* parent, const FileDialogOptions& options) {
  record({DialogCall::SaveFile, {}, options.title, MsgIcon::None, MsgButtons::OkCancel, {}, options,
          parent});
  if (auto r = take<std::optional<QString>>()) return r->value_or(QString());
  return {};
}

std::optional<QColor> ScriptedDialogs::chooseColor(QWidget* parent, const QColor& initial) {
  record({DialogCall::Color, {}, {}, MsgIcon::None, MsgButtons::OkCancel, {}, {}, parent});
  if (auto r = take<std::optional<QColor>>()) return *r;
  return std::nullopt;
}
