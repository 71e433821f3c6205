#include "support/ScriptedDialogs.h"

#include <QPrinter>

using namespace platform;

QStringList ScriptedDialogs::texts() const {
  QStringList out;
  for (const DialogCall& c : calls) out << c.text;
  return out;
}

template <class T>
std::optional<T> ScriptedDialogs::take() {
  if (!answers.isEmpty() && std::holds_alternative<T>(answers.first()))
    return std::get<T>(answers.takeFirst());
  ++unanswered;
  return std::nullopt;
}

MsgResult ScriptedDialogs::messageBox(QWidget*, const QString& text, MsgButtons buttons,
                                      MsgIcon icon, const QString& title) {
  calls << DialogCall{.kind = DialogCall::Message, .text = text, .title = title, .icon = icon,
                      .buttons = buttons};
  // Unanswered: the cancelling choice of the box.
  return take<MsgResult>().value_or(buttons == MsgButtons::Ok                 ? MsgResult::Ok
                                    : buttons == MsgButtons::YesNo            ? MsgResult::No
                                    : buttons == MsgButtons::AbortRetryIgnore ? MsgResult::Abort
                                                                              : MsgResult::Cancel);
}

std::optional<QString> ScriptedDialogs::inputBox(QWidget*, const QString& prompt,
                                                 const QString& title, const QString& defaultText) {
  calls << DialogCall{.kind = DialogCall::Input, .text = prompt, .title = title,
                      .buttons = MsgButtons::OkCancel, .defaultText = defaultText};
  return take<std::optional<QString>>().value_or(std::nullopt);
}

QString ScriptedDialogs::fileName(DialogCall::Kind kind, const FileDialogOptions& options) {
  calls << DialogCall{.kind = kind, .title = options.title, .buttons = MsgButtons::OkCancel, .file = options};
  return take<std::optional<QString>>().value_or(std::nullopt).value_or(QString());
}

QStringList ScriptedDialogs::openFileNames(QWidget*, const FileDialogOptions& options) {
  calls << DialogCall{.kind = DialogCall::OpenFiles, .title = options.title, .buttons = MsgButtons::OkCancel,
                      .file = options};
  return take<QStringList>().value_or(QStringList());
}

// A print or page setup box: answered with MsgResult::Ok, else cancelled.
bool ScriptedDialogs::accepted(DialogCall::Kind kind, const QPrinter& printer) {
  calls << DialogCall{.kind = kind, .title = printer.docName(), .buttons = MsgButtons::OkCancel};
  return take<MsgResult>().value_or(MsgResult::Cancel) == MsgResult::Ok;
}

bool ScriptedDialogs::printDialog(QWidget*, QPrinter& printer) {
  const bool ok = accepted(DialogCall::Print, printer);
  if (ok) printer.setOutputFileName(printToFile);
  return ok;
}

bool ScriptedDialogs::pageSetupDialog(QWidget*, QPrinter& printer) {
  const bool ok = accepted(DialogCall::PageSetup, printer);
  if (ok) printer.setPageLayout(pageSetupLayout);
  return ok;
}
