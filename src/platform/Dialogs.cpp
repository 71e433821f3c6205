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

QString defaultTitle() { return QStringLiteral("VelkorSlanjeEMaila26"); }

QString toQtFilter(const QString& vbFilter) {
  const QStringList parts = vbFilter.split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    // "Sve datoteka (*.*)" already names its pattern.
    if (parts[i].trimmed().endsWith(QLatin1Char(')')))
      out << parts[i];
    else
      out << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
  }
  return out.join(QStringLiteral(";;"));
}

}  // namespace platform
