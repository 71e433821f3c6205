#pragma once
#include <QString>
#include <QStringList>
#include <QVariant>

namespace platform {
class RecordSet;
}

// Personal fields of a mailing: "{{Column}}" in the subject or the body stands for the
// current record's value of that column.
//
// A field is "{{", a name, "}}". The name is letters (Croatian ones too), digits and "_",
// with single blanks between words ("{{Broj računa}}"); blanks around it are ignored, and
// in the body a non-breaking blank counts as a blank. Names match columns regardless of
// case. Anything else between "{{" and "}}" is no field; it is reported as unknown so that
// a mistyped field never reaches a customer as text.
namespace composer {

enum class OblikPolja { Tekst, Html };  // the subject's plain text, or the body's markup

// A record's value as the customer reads it:
// - Null gives an empty text; a yes/no value "Da" or "Ne".
// - Whole numbers are written with their digits only (customer numbers, postal codes and
//   years must not get a thousands dot).
// - Decimal numbers in the Croatian form: thousands dot, decimal comma, at least two and at
//   most six decimals ("1.234,50", "-0,125"); the sign is "-" as with whole numbers.
// - Dates "dd.MM.yyyy."; a time of day other than midnight is added as "HH:mm" (":ss" when
//   the seconds are not zero).
QString tekstVrijednosti(const QVariant& vrijednost);

// The field names of the texts, trimmed, each once (first spelling), in order of appearance.
QStringList poljaUTekstu(const QStringList& tekstovi);
// The fields of the texts that are no column of rs, each written as "{{Name}}" (or as the
// malformed text between the braces).
QStringList nepoznataPolja(const QStringList& tekstovi, const platform::RecordSet& rs);

// tekst with every field replaced by the value of rs's current record. In the body the
// value is escaped for HTML (a line break becomes <br>); in the subject a line break becomes
// a blank. Unknown fields stay as written. A text without "{{" comes back unchanged.
QString popuniPolja(const QString& tekst, const platform::RecordSet& rs, OblikPolja oblik);

// "{{Name}}" as the editor inserts it.
QString oznakaPolja(const QString& ime);

}  // namespace composer
