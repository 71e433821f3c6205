#include "viewers/CsvFormat.h"

#include <QDateTime>
#include <QtEndian>
#include <charconv>

#include "core/SettingsStore.h"
#include "platform/RecordSet.h"

namespace viewers {

using platform::RecordSet;

QString ukloniRazmake(const QString& tekst) {
  qsizetype od = 0, doK = tekst.size();
  while (od < doK && tekst.at(od) == QLatin1Char(' ')) ++od;
  while (doK > od && tekst.at(doK - 1) == QLatin1Char(' ')) --doK;
  return tekst.mid(od, doK - od);
}

QString tekstBroja(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::Double: return QString::number(v.toDouble(), 'g', 15);
    case QMetaType::Float: return QString::number(double(v.toFloat()), 'g', 7);
    case QMetaType::LongLong: return QString::number(v.toLongLong());
    case QMetaType::ULongLong: return QString::number(v.toULongLong());
    default: return QString::number(v.toInt());
  }
}

bool počinjeFormulom(QStringView tekst) {
  if (tekst.isEmpty()) return false;
  const QChar c = tekst.front();
  return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
}

CsvPostavke CsvPostavke::provjerene() const {
  CsvPostavke p = *this;
  if (p.decimalniZnak != QLatin1String(",") && p.decimalniZnak != QLatin1String("."))
    p.decimalniZnak = QStringLiteral(",");
  if (ukloniRazmake(p.separator).isEmpty() || p.separator == p.decimalniZnak) p.separator = QStringLiteral(";");
  return p;
}

CsvPostavke SpremljeneCsvPostavke() {
  using core::VelkorSetting;
  CsvPostavke p;
  p.separator = VelkorSetting(QStringLiteral("ExpSeparator"), QStringLiteral(";"));
  p.decimalniZnak = VelkorSetting(QStringLiteral("ExpDecTočka"), QStringLiteral(","));
  p.navodnici = VelkorSetting(QStringLiteral("ExpPrikazNavodnika"), QStringLiteral("1")) == QLatin1String("1");
  p.zaštitaFormula = VelkorSetting(QStringLiteral("ExpZaštitaFormula"), QStringLiteral("1")) != QLatin1String("0");
  return p.provjerene();
}

namespace {

// Dates and Booleans in the forms the C interface hands them to hosts.
QString tekstOstalog(const QVariant& v, int adoTip) {
  switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QDate: return v.toDate().toString(Qt::ISODate);
    case QMetaType::QTime: return v.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::QDateTime: {
      const QDateTime dt = v.toDateTime();
      if (adoTip == platform::adDBDate) return dt.date().toString(Qt::ISODate);
      return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    default: return v.toString();
  }
}

}  // namespace

CsvFormat::CsvFormat(CsvPostavke postavke) : p_(postavke.provjerene()) {
  for (QChar c : p_.separator)
    if (QStringView(u"0123456789+-.,eEinfa").contains(c)) separatorUBroju_ = true;
}

bool CsvFormat::trebaNavodnike(QStringView tekst) const {
  return (!p_.separator.isEmpty() && tekst.contains(p_.separator)) || tekst.contains(QLatin1Char('"')) ||
         tekst.contains(QLatin1Char('\r')) || tekst.contains(QLatin1Char('\n'));
}

void CsvFormat::dodajUNavodnike(QString& out, QStringView tekst) const {
  out += QLatin1Char('"');
  if (tekst.contains(QLatin1Char('"'))) {
    for (QChar c : tekst) {
      if (c == QLatin1Char('"')) out += QLatin1Char('"');
      out += c;
    }
  } else {
    out += tekst;
  }
  out += QLatin1Char('"');
}

QString CsvFormat::vrijednost(const QVariant& v, int adoTip) const {
  QString out;
  dodajVrijednost(out, v, adoTip);
  return out;
}

namespace {

void dodajBroj(QString& out, qint64 n) {
  char b[24];
  const auto r = std::to_chars(b, b + sizeof b, n);
  out += QLatin1StringView(b, r.ptr - b);
}

void dodajDvije(char* b, int n) {
  b[0] = char('0' + n / 10);
  b[1] = char('0' + n % 10);
}

// "yyyy-MM-dd HH:mm:ss" (or the date alone), written directly: it is the bulk of a
// report's cells, and the general formatter is slow.
void dodajDatum(QString& out, const QDate& d, const QTime* t) {
  if (d.year() < 0 || d.year() > 9999) {
    out += t ? QDateTime(d, *t).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : d.toString(Qt::ISODate);
    return;
  }
  char b[19] = {};
  dodajDvije(b, d.year() / 100);
  dodajDvije(b + 2, d.year() % 100);
  b[4] = '-';
  dodajDvije(b + 5, d.month());
  b[7] = '-';
  dodajDvije(b + 8, d.day());
  if (t) {
    b[10] = ' ';
    dodajDvije(b + 11, t->hour());
    b[13] = ':';
    dodajDvije(b + 14, t->minute());
    b[16] = ':';
    dodajDvije(b + 17, t->second());
  }
  out += QLatin1StringView(b, t ? 19 : 10);
}

}  // namespace

void CsvFormat::dodajTekst(QString& out, const QString& tekst) const {
  QString t = tekst;
  if (p_.zaštitaFormula && počinjeFormulom(t)) t.prepend(QLatin1Char('\''));
  if (p_.navodnici || trebaNavodnike(t)) dodajUNavodnike(out, t);
  else out += t;
}

// A number is quoted only where the separator could split it ("-" before a negative one).
void CsvFormat::dodajBrojTekst(QString& out, qsizetype start) const {
  if (separatorUBroju_) izbjegniSeparator(out, start);
}

void CsvFormat::dodajVrijednost(QString& out, const QVariant& v, int adoTip) const {
  if (!v.isValid() || v.isNull()) return;
  switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::UInt:
    case QMetaType::LongLong: {
      const qsizetype start = out.size();
      dodajBroj(out, v.toLongLong());
      dodajBrojTekst(out, start);
      return;
    }
    case QMetaType::Double:
    case QMetaType::Float: {
      // 15 significant digits (7 for single precision), C locale, no grouping.
      char b[32];
      const bool jednostruki = v.typeId() == QMetaType::Float;
      const auto r = std::to_chars(b, b + sizeof b, v.toDouble(), std::chars_format::general, jednostruki ? 7 : 15);
      const qsizetype start = out.size();
      out += QLatin1StringView(b, r.ptr - b);
      if (p_.decimalniZnak != QLatin1String("."))
        for (qsizetype i = start; i < out.size(); ++i)
          if (out.at(i) == QLatin1Char('.')) {
            out.replace(i, 1, p_.decimalniZnak);
            break;
          }
      dodajBrojTekst(out, start);
      return;
    }
    case QMetaType::ULongLong: {
      const qsizetype start = out.size();
      out += QString::number(v.toULongLong());
      dodajBrojTekst(out, start);
      return;
    }
    case QMetaType::QString: dodajTekst(out, p_.navodnici ? v.toString() : ukloniRazmake(v.toString())); return;
    case QMetaType::QDateTime: {
      const QDateTime dt = v.toDateTime();
      const QTime t = dt.time();
      const qsizetype start = out.size();
      dodajDatum(out, dt.date(), adoTip == platform::adDBDate ? nullptr : &t);
      izbjegniSeparator(out, start);
      return;
    }
    default: {
      const qsizetype start = out.size();
      out += tekstOstalog(v, adoTip);
      izbjegniSeparator(out, start);
      return;
    }
  }
}

// A non-text value is quoted only when it would otherwise split its line.
void CsvFormat::izbjegniSeparator(QString& out, qsizetype start) const {
  if (!trebaNavodnike(QStringView(out).mid(start))) return;
  const QString dio = out.mid(start);
  out.truncate(start);
  dodajUNavodnike(out, dio);
}

QString CsvFormat::zaglavlje(const RecordSet& rs) const {
  QString out;
  for (int i = 0; i < rs.FieldCount(); ++i) {
    if (i) out += p_.separator;
    dodajTekst(out, rs.FieldName(i));
  }
  return out;
}

QString CsvFormat::red(const RecordSet& rs) const {
  QString out;
  for (int i = 0; i < rs.FieldCount(); ++i) {
    if (i) out += p_.separator;
    dodajVrijednost(out, rs.Value(i), rs.FieldType(i));
  }
  return out;
}

void CsvFormat::dodajRed(QByteArray& izlaz, const QString& red) {
  const qsizetype start = izlaz.size();
  izlaz.resize(start + (red.size() + 2) * 2);
  quint16* cilj = reinterpret_cast<quint16*>(izlaz.data() + start);
  qToLittleEndian<quint16>(red.utf16(), red.size(), cilj);
  cilj[red.size()] = qToLittleEndian<quint16>(quint16(13));
  cilj[red.size() + 1] = qToLittleEndian<quint16>(quint16(10));
}

QByteArray CsvFormat::oznakaRedoslijeda() { return QByteArray("\xFF\xFE", 2); }

}  // namespace viewers
