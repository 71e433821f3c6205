#include "platform/DocumentPrinter.h"

#include <QPageLayout>
#include <QPrinter>
#include <QTextDocument>
#include <memory>

#include "platform/Dialogs.h"
#include "platform/Report.h"

namespace platform {

bool printDocument(QWidget* parent, QTextDocument& document, const QString& docName, const QMarginsF& marginsMm) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(docName);
  printer.setPageMargins(marginsMm, QPageLayout::Millimeter);
  if (!dialogs().printDialog(parent, printer)) return false;
  document.print(&printer);
  return true;
}

namespace {
std::unique_ptr<QPrinter> reportPrinter(const Report& report, const QString& docName) {
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setDocName(docName);
  printer->setPageLayout(report.pageLayout());
  return printer;
}
}  // namespace

bool printReport(QWidget* parent, const Report& report, const QString& docName) {
  const auto printer = reportPrinter(report, docName);
  if (!dialogs().printDialog(parent, *printer)) return false;
  report.print(*printer);
  return true;
}

bool setUpReportPage(QWidget* parent, Report& report, const QString& docName) {
  const auto printer = reportPrinter(report, docName);
  if (!dialogs().pageSetupDialog(parent, *printer)) return false;
  report.setPageLayout(printer->pageLayout());
  return true;
}

}  // namespace platform
