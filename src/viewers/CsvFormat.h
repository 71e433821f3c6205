#pragma once
#include <QByteArray>
#include <QString>
#include <QVariant>

namespace platform {
class RecordSet;
}

namespace viewers {

// The CSV file the export form writes: UTF-16LE with a byte-order mark, CR LF after every
// line, the stored separator (any length) and decimal character.
struct CsvPostavke {
  QString separator = QStringLiteral(";");
  QString decimalniZnak = QStringLiteral(",");
  bool navodnici = true;  // text values in double quotes
  // Text that a spreadsheet would run as a formula (=, +, -, @, TAB, CR first) gets a
  // leading apostrophe; off for files meant for other programs.
  bool zaštitaFormula = true;

  // Values a hand edit or another program left unusable fall back to the form's defaults:
  // an empty separator (";" in an INI file starts a comment) is ";", a decimal character
  // other than "," or "." is ",", and a separator equal to it is ";".
  CsvPostavke provjerene() const;
};

// The stored settings of the CSV export form, checked.
CsvPostavke SpremljeneCsvPostavke();

class CsvFormat {
 public:
  explicit CsvFormat(CsvPostavke postavke);

  // One line without its CR LF.
  QString zaglavlje(const platform::RecordSet& rs) const;
  QString red(const platform::RecordSet& rs) const;  // the current record
  QString vrijednost(const QVariant& v, int adoTip) const;
  void dodajVrijednost(QString& out, const QVariant& v, int adoTip) const;

  // Appends the line and its CR LF as UTF-16LE.
  static void dodajRed(QByteArray& izlaz, const QString& red);
  static QByteArray oznakaRedoslijeda();  // FF FE

 private:
  bool trebaNavodnike(QStringView tekst) const;
  void dodajUNavodnike(QString& out, QStringView tekst) const;
  void dodajTekst(QString& out, const QString& t) const;
  void izbjegniSeparator(QString& out, qsizetype start) const;
  void dodajBrojTekst(QString& out, qsizetype start) const;

  CsvPostavke p_;
  bool separatorUBroju_ = false;  // some number could hold the separator
};

// Trim as the host's own programs do: spaces only (a tab separator must survive).
QString ukloniRazmake(const QString& tekst);
// Text that a spreadsheet would take for a formula.
bool počinjeFormulom(QStringView tekst);
// A number in the C locale, no grouping; whole numbers without a fraction.
QString tekstBroja(const QVariant& v);

}  // namespace viewers
