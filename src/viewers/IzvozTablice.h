#pragma once
#include <QString>
#include <memory>

class QTextDocument;
namespace viewers {

class ModelZapisa;

// The record grid's contents, fixed cells included, as the grid shows them: a document
// to print, a delimited text file, or a workbook (with the values' own types).
std::unique_ptr<QTextDocument> TablicaUDokument(const ModelZapisa& model, const QString& naslov);
// UTF-8, CR LF; a cell holding the separator, a quote or a line break goes in quotes.
// False with the reason in *greska; an old file stays as it was.
bool TablicaUTekst(const ModelZapisa& model, const QString& datoteka, const QString& separator, QString* greska);
// Throws platform::SpreadsheetError.
void TablicaUExcel(const ModelZapisa& model, const QString& datoteka);

}  // namespace viewers
