#include "platform/QtDialogs.h"

#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

#include <QBoxLayout>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace platform {

namespace {

QMessageBox::Icon qtIcon(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

struct ButtonSpec {
  MsgResult result;
  const char* text;
  QMessageBox::ButtonRole role;
};

QList<ButtonSpec> buttonSpecs(MsgButtons b) {
  switch (b) {
    case MsgButtons::Ok: return {{MsgResult::Ok, "OK", QMessageBox::AcceptRole}};
    case MsgButtons::OkCancel:
      return {{MsgResult::Ok, "OK", QMessageBox::AcceptRole}, {MsgResult::Cancel, "Odustani", QMessageBox::RejectRole}};
    case MsgButtons::YesNo:
      return {{MsgResult::Yes, "&Da", QMessageBox::YesRole}, {MsgResult::No, "&Ne", QMessageBox::NoRole}};
    case MsgButtons::YesNoCancel:
      return {{MsgResult::Yes, "&Da", QMessageBox::YesRole},
              {MsgResult::No, "&Ne", QMessageBox::NoRole},
              {MsgResult::Cancel, "Odustani", QMessageBox::RejectRole}};
    case MsgButtons::RetryCancel:
      return {{MsgResult::Retry, "&Ponovi", QMessageBox::AcceptRole},
              {MsgResult::Cancel, "Odustani", QMessageBox::RejectRole}};
    case MsgButtons::AbortRetryIgnore:
      return {{MsgResult::Abort, "P&rekini", QMessageBox::RejectRole},
              {MsgResult::Retry, "&Ponovi", QMessageBox::AcceptRole},
              {MsgResult::Ignore, "&Zanemari", QMessageBox::ActionRole}};
  }
  return {};
}

QString withTitle(const QString& title) { return title.isEmpty() ? defaultTitle() : title; }

QString fileDialog(QWidget* parent, const FileDialogOptions& o, QFileDialog::AcceptMode mode) {
  QFileDialog dlg(parent, o.title, o.initialDir, toQtFilter(o.filter));
  dlg.setAcceptMode(mode);
  dlg.setFileMode(o.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  QString ext = o.defaultExt;
  if (ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
  if (!ext.contains(QLatin1Char('*'))) dlg.setDefaultSuffix(ext);
  if (!o.fileName.isEmpty()) dlg.selectFile(o.fileName);
  if (!o.overwritePrompt) dlg.setOption(QFileDialog::DontConfirmOverwrite);
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
  return dlg.selectedFiles().first();
}

}  // namespace

MsgResult QtDialogs::messageBox(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                                const QString& title) {
  QMessageBox box(qtIcon(icon), withTitle(title), text, QMessageBox::NoButton, parent);
  QMap<QAbstractButton*, MsgResult> results;
  const auto specs = buttonSpecs(buttons);
  for (const ButtonSpec& s : specs) results.insert(box.addButton(QString::fromUtf8(s.text), s.role), s.result);
  box.exec();
  auto it = results.find(box.clickedButton());
  if (it != results.end()) return *it;
  // Closed by its close box or Esc: the cancelling answer, as a message box gives it.
  return specs.size() == 1 ? specs.first().result : buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Cancel;
}

void QtDialogs::timedMessageBox(QWidget* parent, const QString& text, MsgIcon icon, const QString& title,
                                int timeoutMs) {
  QMessageBox box(qtIcon(icon), withTitle(title), text, QMessageBox::Ok, parent);
  QTimer::singleShot(timeoutMs, &box, &QMessageBox::accept);
  box.exec();
}

std::optional<QString> QtDialogs::inputBox(QWidget* parent, const QString& prompt, const QString& title,
                                           const QString& defaultText) {
  bool ok = false;
  const QString answer = QInputDialog::getText(parent, withTitle(title), prompt, QLineEdit::Normal, defaultText, &ok);
  if (!ok) return std::nullopt;
  return answer;
}

QString QtDialogs::openFileName(QWidget* parent, const FileDialogOptions& options) {
  return fileDialog(parent, options, QFileDialog::AcceptOpen);
}

QString QtDialogs::saveFileName(QWidget* parent, const FileDialogOptions& options) {
  return fileDialog(parent, options, QFileDialog::AcceptSave);
}

std::optional<QColor> QtDialogs::chooseColor(QWidget* parent, const QColor& initial) {
  const QColor c = QColorDialog::getColor(initial, parent);
  if (!c.isValid()) return std::nullopt;
  return c;
}

QStringList QtDialogs::openFileNames(QWidget* parent, const FileDialogOptions& o) {
  QFileDialog dlg(parent, o.title, o.initialDir, toQtFilter(o.filter));
  dlg.setAcceptMode(QFileDialog::AcceptOpen);
  dlg.setFileMode(QFileDialog::ExistingFiles);
  if (!o.fileName.isEmpty()) dlg.selectFile(o.fileName);
  if (dlg.exec() != QDialog::Accepted) return {};
  return dlg.selectedFiles();
}

bool QtDialogs::printDialog(QWidget* parent, QPrinter& printer) {
  QPrintDialog d(&printer, parent);
  return d.exec() == QDialog::Accepted;
}

bool QtDialogs::pageSetupDialog(QWidget* parent, QPrinter& printer) {
  QPageSetupDialog d(&printer, parent);
  return d.exec() == QDialog::Accepted;
}

std::optional<QFont> QtDialogs::chooseFont(QWidget* parent, const QFont& initial) {
  bool ok = false;
  const QFont f = QFontDialog::getFont(&ok, initial, parent);
  if (!ok) return std::nullopt;
  return f;
}

// The items in a read-only box that scrolls; Esc and the close box answer as the second button.
bool QtDialogs::confirmList(QWidget* parent, const QString& text, const QStringList& items, const QString& acceptText,
                            const QString& rejectText, const QString& title) {
  QDialog box(parent);
  box.setObjectName(QStringLiteral("frmPopis"));
  box.setWindowTitle(withTitle(title));
  auto* layout = new QVBoxLayout(&box);
  auto* label = new QLabel(text);
  label->setWordWrap(true);
  auto* list = new QPlainTextEdit(items.join(QLatin1Char('\n')));
  list->setObjectName(QStringLiteral("txtPopis"));
  list->setReadOnly(true);
  list->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* buttons = new QDialogButtonBox;
  QPushButton* accept = buttons->addButton(acceptText, QDialogButtonBox::AcceptRole);
  QPushButton* reject = buttons->addButton(rejectText, QDialogButtonBox::RejectRole);
  reject->setDefault(true);  // Enter or Space does not send by mistake
  accept->setObjectName(QStringLiteral("cmdPrihvati"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
  layout->addWidget(label);
  layout->addWidget(list);
  layout->addWidget(buttons);
  box.resize(520, 320);
  reject->setFocus();
  return box.exec() == QDialog::Accepted;
}

}  // namespace platform
