#include "platform/DocumentPrinter.h"

#include <QPageLayout>
#include <QPrinter>
#include <QTextDocument>

#include "platform/Dialogs.h"

namespace platform {

bool printDocument(QWidget* parent, QTextDocument& document, const QString& docName,
                   const QMarginsF& marginsMm) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(docName);
  printer.setPageMargins(marginsMm, QPageLayout::Millimeter);
  if (!dialogs().printDialog(parent, printer)) return false;
  document.print(&printer);
  return true;
}

}  // namespace platform
