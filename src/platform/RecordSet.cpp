#include "platform/RecordSet.h"
#include "platform/SqlTipovi.h"

#include <QDateTime>
#include <QLocale>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QCollator>
#include <algorithm>
#include <cmath>
#include <limits>

namespace platform {

RecordSet::RecordSet() : d_(std::make_shared<Shared>()) { d_->open = false; }

RecordSet::RecordSet(QList<RecordField> fields) : d_(std::make_shared<Shared>()) {
  d_->fields = std::move(fields);
}

void RecordSet::AddRow(const QList<QVariant>& values) {
  auto row = std::make_shared<Row>();
  row->bookmark = ++d_->lastBookmark;
  for (int i = 0; i < d_->fields.size(); ++i) row->values << values.value(i);
  d_->rows.push_back(row);
  view_.push_back(row);
}

namespace {

QVariant numberFromText(const QString& t, int type) {
  QString s = t.trimmed();
  if (!s.contains(QLatin1Char('.'))) s.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  const qlonglong cijeliTekst = s.toLongLong(&ok);  // exact, also beyond a double's 53 bits
  if (ok && type == adBigInt) return QVariant(cijeliTekst);
  const double d = s.toDouble(&ok);
  if (!ok) return QVariant(t);  // keep what the host gave rather than lose it
  // Whole-number fields round (half to even) like the host's own conversion does; a value
  // that does not fit is kept as text rather than wrapped into a different number.
  const double cijeli = std::nearbyint(d);
  switch (type) {
    case adSmallInt: case adInteger: case adTinyInt: case adUnsignedTinyInt:
      if (cijeli < double(std::numeric_limits<int>::min()) ||
          cijeli > double(std::numeric_limits<int>::max()))
        return QVariant(t);
      return QVariant(int(cijeli));
    case adBigInt:
      if (std::fabs(cijeli) >= 9.2e18) return QVariant(t);
      return QVariant(qlonglong(cijeli));
    default: return QVariant(d);
  }
}

QVariant dateFromText(const QString& t) {
  for (const char* f : {"yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm:ss", "dd.MM.yyyy HH:mm:ss"}) {
    const QDateTime dt = QDateTime::fromString(t, QString::fromLatin1(f));
    if (dt.isValid()) return dt;
  }
  for (const char* f : {"yyyy-MM-dd", "dd.MM.yyyy", "d.M.yyyy"}) {
    const QDate d = QDate::fromString(t, QString::fromLatin1(f));
    if (d.isValid()) return QDateTime(d, QTime(0, 0));
  }
  return QVariant(t);
}

bool isNumber(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong:
    case QMetaType::ULongLong: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Double: case QMetaType::Float: case QMetaType::Bool:
      return true;
    default: return false;
  }
}

bool isDate(const QVariant& v) {
  return v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate;
}

// Nulls first; numbers by value, dates by time, texts in Croatian alphabetical order
// (so that "ana" and "Ana" stand together and "Č" follows "C", not "Z").
int compareValues(const QVariant& x, const QVariant& y) {
  const bool xNull = !x.isValid() || x.isNull();
  const bool yNull = !y.isValid() || y.isNull();
  if (xNull || yNull) return int(yNull) - int(xNull);
  if (isNumber(x) && isNumber(y)) {
    const double a = x.toDouble(), b = y.toDouble();
    return a < b ? -1 : a > b ? 1 : 0;
  }
  if (isDate(x) && isDate(y)) {
    const QDateTime a = x.toDateTime(), b = y.toDateTime();
    return a < b ? -1 : a > b ? 1 : 0;
  }
  static const QCollator collator(QLocale(QLocale::Croatian, QLocale::Croatia));
  return collator.compare(x.toString(), y.toString());
}

}  // namespace

QVariant RecordSet::fromText(const QString* text, int adoType) {
  if (!text) return QVariant();
  switch (adoType) {
    case adSmallInt: case adInteger: case adSingle: case adDouble: case adCurrency:
    case adDecimal: case adTinyInt: case adUnsignedTinyInt: case adBigInt: case adNumeric:
      return numberFromText(*text, adoType);
    case adDate: case adDBDate: case adDBTimeStamp: return dateFromText(text->trimmed());
    case adBoolean: {
      const QString t = text->trimmed();
      return QVariant(t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
                      (t != QLatin1String("0") && t.toInt() != 0));
    }
    default: return QVariant(*text);
  }
}

int RecordSet::adoTypeOf(QMetaType type) {
  switch (type.id()) {
    case QMetaType::Short: case QMetaType::UShort: return adSmallInt;
    case QMetaType::Int: case QMetaType::UInt: return adInteger;
    case QMetaType::LongLong: case QMetaType::ULongLong: return adBigInt;
    case QMetaType::Float: return adSingle;
    case QMetaType::Double: return adDouble;
    case QMetaType::Bool: return adBoolean;
    case QMetaType::QDate: return adDBDate;
    case QMetaType::QTime: return adDBTime;
    case QMetaType::QDateTime: return adDBTimeStamp;
    case QMetaType::QByteArray: return adVarBinary;
    default: return adVarWChar;
  }
}

RecordSet RecordSet::fromQuery(QSqlQuery& query) {
  const QSqlRecord rec = query.record();
  const QList<int> declared = deklariraniTipovi(query);
  QList<RecordField> fields;
  for (int i = 0; i < rec.count(); ++i)
    fields << RecordField{rec.fieldName(i), declared.value(i) ? declared[i]
                                                               : adoTypeOf(rec.field(i).metaType())};
  RecordSet rs(fields);
  while (query.next()) {
    QList<QVariant> values;
    for (int i = 0; i < fields.size(); ++i) values << uDeklariraniTip(query.value(i), declared.value(i));
    rs.AddRow(values);
  }
  rs.MoveFirst();
  return rs;
}

int RecordSet::State() const { return d_->open ? 1 : 0; }

void RecordSet::Close() { d_->open = false; }

int RecordSet::RecordCount() const {
  return int(std::count_if(view_.begin(), view_.end(), [](const auto& r) { return !r->deleted; }));
}

bool RecordSet::Eof() const {
  for (size_t i = std::max(pos_, 0); i < view_.size(); ++i)
    if (!view_[i]->deleted) return false;
  return true;
}

bool RecordSet::Bof() const { return pos_ < 0 || RecordCount() == 0; }

void RecordSet::skipDeleted() {
  while (pos_ >= 0 && size_t(pos_) < view_.size() && view_[pos_]->deleted) ++pos_;
}

void RecordSet::MoveFirst() {
  pos_ = 0;
  skipDeleted();
}

void RecordSet::MoveNext() {
  if (size_t(pos_ + 1) <= view_.size()) ++pos_;
  skipDeleted();
}

void RecordSet::MoveLast() {
  pos_ = int(view_.size());
  while (pos_ > 0 && view_[pos_ - 1]->deleted) --pos_;
  if (pos_ > 0) --pos_;
}

int RecordSet::FieldCount() const { return int(d_->fields.size()); }
QString RecordSet::FieldName(int i) const { return d_->fields.value(i).Name; }
int RecordSet::FieldType(int i) const { return d_->fields.value(i).Type; }

int RecordSet::FieldIndex(const QString& name) const {
  for (int i = 0; i < d_->fields.size(); ++i)
    if (d_->fields[i].Name.compare(name, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

const RecordSet::Row* RecordSet::current() const {
  if (pos_ < 0 || size_t(pos_) >= view_.size() || view_[pos_]->deleted) return nullptr;
  return view_[pos_].get();
}

QVariant RecordSet::Value(int field) const {
  const Row* r = current();
  return r ? r->values.value(field) : QVariant();
}

QVariant RecordSet::Value(const QString& field) const { return Value(FieldIndex(field)); }

void RecordSet::SetValue(int field, const QVariant& v) {
  if (pos_ >= 0 && size_t(pos_) < view_.size() && field >= 0 && field < FieldCount())
    view_[pos_]->values[field] = v;
}

QVariant RecordSet::Bookmark() const {
  const Row* r = current();
  return r ? QVariant(r->bookmark) : QVariant();
}

void RecordSet::Delete() {
  if (!current()) return;
  auto row = view_[pos_];
  row->deleted = true;
  auto& rows = d_->rows;
  rows.erase(std::remove(rows.begin(), rows.end(), row), rows.end());
}

RecordSet RecordSet::Clone() const {
  RecordSet c = *this;
  c.view_.erase(std::remove_if(c.view_.begin(), c.view_.end(),
                               [](const auto& r) { return r->deleted; }),
                c.view_.end());
  c.pos_ = 0;
  return c;
}

QList<QList<QVariant>> RecordSet::GetRows() {
  QList<QList<QVariant>> out(FieldCount());
  for (skipDeleted(); !Eof(); MoveNext())
    for (int f = 0; f < FieldCount(); ++f) out[f] << Value(f);
  return out;
}

QString RecordSet::Sort() const { return sort_; }

void RecordSet::SetSort(const QString& expression) {
  struct Key { int field; bool desc; };
  QList<Key> keys;
  for (QString part : expression.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    part = part.trimmed();
    bool desc = false;
    if (part.endsWith(QLatin1String(" DESC"), Qt::CaseInsensitive)) { desc = true; part.chop(5); }
    else if (part.endsWith(QLatin1String(" ASC"), Qt::CaseInsensitive)) part.chop(4);
    part = part.trimmed();
    if (part.startsWith(QLatin1Char('[')) && part.endsWith(QLatin1Char(']')))
      part = part.mid(1, part.size() - 2);
    const int f = FieldIndex(part);
    if (f >= 0) keys << Key{f, desc};
  }
  sort_ = expression;
  view_.clear();
  for (const auto& r : d_->rows) view_.push_back(r);
  std::stable_sort(view_.begin(), view_.end(), [&](const auto& a, const auto& b) {
    for (const Key& k : keys) {
      const int c = compareValues(a->values[k.field], b->values[k.field]);
      if (c != 0) return k.desc ? c > 0 : c < 0;
    }
    return false;
  });
  MoveFirst();
}

QList<QList<QVariant>> RecordSet::rows() const {
  QList<QList<QVariant>> out;
  for (const auto& r : view_)
    if (!r->deleted) out << r->values;
  return out;
}

}  // namespace platform
