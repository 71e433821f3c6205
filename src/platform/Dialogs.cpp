#include "platform/Dialogs.h"

#include "platform/QtDialogs.h"

namespace platform {

namespace {
Dialogs* g_installed = nullptr;
}

Dialogs& dialogs() {
  static QtDialogs qtDialogs;
  return g_installed ? *g_installed : qtDialogs;
}

void setDialogs(Dialogs* d) { g_installed = d; }

bool Dialogs::confirmList(QWidget* parent, const QString& text, const QStringList& items, const QString&,
                          const QString&, const QString& title) {
  return messageBox(parent, text + QStringLiteral("\r\n") + items.join(QStringLiteral("\r\n")), MsgButtons::OkCancel,
                    MsgIcon::Exclamation, title) == MsgResult::Ok;
}

QString defaultTitle() { return QStringLiteral("VelkorSlanjeEMaila26"); }

QString toQtFilter(const QString& vbFilter) {
  const QStringList parts = vbFilter.split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    patterns = patterns.simplified();
    const QString description = parts[i].trimmed();
    // "Sve datoteke (*.*)" already names its pattern. Qt reads blank-separated patterns from
    // the last parentheses, so a description listing them as "(*.asp, *.asa)" or
    // "(*.bmp;*.jpg)" gets the real ones instead.
    const qsizetype open = description.lastIndexOf(QLatin1Char('('));
    if (description.endsWith(QLatin1Char(')')) && open >= 0) {
      const QString named = description.mid(open + 1, description.size() - open - 2);
      if (named.simplified() == patterns) out << parts[i];
      else out << description.left(open).trimmed() + QStringLiteral(" (") + patterns + QLatin1Char(')');
    } else {
      out << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
  }
  return out.join(QStringLiteral(";;"));
}

}  // namespace platform
