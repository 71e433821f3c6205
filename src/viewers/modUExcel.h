#pragma once
#include <QString>

class QWidget;
namespace platform {
class RecordSet;
}

namespace viewers {

// Puts a record set in front of the user: as an .xlsx workbook opened in the desktop's
// spreadsheet program, saved to `datoteka` when one is given, or (setting "PrebacujUCSV")
// as a CSV file through the export form. Every failure is shown as "Greška: …".
void PrebaciUExcel(platform::RecordSet& rs, bool bezZaglavlja, bool bezProvjere, bool imenujList,
                   const QString& datoteka, const QString& imeLista, QWidget* roditelj = nullptr);

// Writes the workbook to `datoteka`; throws platform::SpreadsheetError. Returns how many
// numbers were infinite or NaN (written as text).
int ZapisiRadnuKnjigu(platform::RecordSet& rs, bool bezZaglavlja, const QString& imeLista, const QString& datoteka);

// Opens the CSV export form on rs; true when the user left it without a completed export.
bool PokreniExportCSV(platform::RecordSet& rs, QWidget* roditelj = nullptr);

// Removes the workbooks PrebaciUExcel opened without a file name, and their folders, unless
// the user saved something there; runs by itself when the application or the process ends.
void PocistiPrivremeneKnjige();

// What the user is told about the numbers a workbook could not hold; empty when none.
QString NapomenaONebrojevima(int koliko);

}  // namespace viewers
