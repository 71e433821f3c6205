#include "viewers/CsvFormat.h"

#include <QDateTime>
#include <QtEndian>

#include "platform/RecordSet.h"

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

namespace {

bool jeBroj(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong:
    case QMetaType::ULongLong: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
    case QMetaType::Double: case QMetaType::Float:
      return true;
    default: return false;
  }
}

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

CsvFormat::CsvFormat(CsvPostavke postavke) : p_(std::move(postavke)) {}

bool CsvFormat::trebaNavodnike(const QString& tekst) const {
  return (!p_.separator.isEmpty() && tekst.contains(p_.separator)) ||
         tekst.contains(QLatin1Char('"')) || tekst.contains(QLatin1Char('\r')) ||
         tekst.contains(QLatin1Char('\n'));
}

QString CsvFormat::uNavodnike(const QString& tekst) const {
  QString t = tekst;
  t.replace(QLatin1Char('"'), QLatin1String("\"\""));
  return QLatin1Char('"') + t + QLatin1Char('"');
}

QString CsvFormat::vrijednost(const QVariant& v, int adoTip) const {
  if (!v.isValid() || v.isNull()) return {};
  if (jeBroj(v)) {
    QString t = tekstBroja(v);
    t.replace(QLatin1Char('.'), p_.decimalniZnak);
    return t;
  }
  if (v.typeId() == QMetaType::QString) {
    if (p_.navodnici) return uNavodnike(v.toString());
    const QString t = ukloniRazmake(v.toString());
    return trebaNavodnike(t) ? uNavodnike(t) : t;
  }
  // Never quoted, unless the value would otherwise split its line.
  const QString t = tekstOstalog(v, adoTip);
  return trebaNavodnike(t) ? uNavodnike(t) : t;
}

QString CsvFormat::zaglavlje(const RecordSet& rs) const {
  QString out;
  for (int i = 0; i < rs.FieldCount(); ++i) {
    if (i) out += p_.separator;
    const QString ime = rs.FieldName(i);
    out += p_.navodnici || trebaNavodnike(ime) ? uNavodnike(ime) : ime;
  }
  return out;
}

QString CsvFormat::red(const RecordSet& rs) const {
  QString out;
  for (int i = 0; i < rs.FieldCount(); ++i) {
    if (i) out += p_.separator;
    out += vrijednost(rs.Value(i), rs.FieldType(i));
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
