#pragma once
#include <QMarginsF>
#include <QString>

class QTextDocument;
class QWidget;

namespace platform {

class Report;

// Prints a document through the print dialog (the component's dialog interface), under
// the given document name, with margins in millimetres. False when the user cancelled.
// Reports print the same way, so preview, print and PDF can share the page layout.
bool printDocument(QWidget* parent, QTextDocument& document, const QString& docName, const QMarginsF& marginsMm);

// Prints a report on its own page layout through the print dialog; false on cancel.
bool printReport(QWidget* parent, const Report& report, const QString& docName);
// The page setup dialog on the report's page layout; the report takes what the user chose.
// False on cancel.
bool setUpReportPage(QWidget* parent, Report& report, const QString& docName);

// Twips (1/1440 inch), the unit of stored window and page measures, in millimetres.
inline double twipsToMm(double twips) { return twips * 25.4 / 1440.0; }

}  // namespace platform
