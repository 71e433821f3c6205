#include "platform/RecordSet.h"
#include "platform/SqlTipovi.h"

#include <QCollator>
#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <cmath>
#include <limits>

namespace platform {

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
    case adSmallInt:
    case adInteger:
    case adTinyInt:
    case adUnsignedTinyInt:
      if (cijeli < double(std::numeric_limits<int>::min()) || cijeli > double(std::numeric_limits<int>::max()))
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
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool: return true;
    default: return false;
  }
}

bool isDate(const QVariant& v) { return v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate; }

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

namespace {

// One field's values in their own type. A column takes the type of its first value; a
// value of another type (a text the host gave where a number was expected) is kept aside
// as it came, and so is a null of a type.
class Column {
 public:
  enum Kind { None, Integer, Real, DateTime, Text, Other };

  size_t size() const { return size_; }

  void append(const QVariant& v) {
    const quint32 row = quint32(size_++);
    if (!v.isValid()) {
      pushDefault();
      empty_.resize(size_, false);
      empty_[row] = true;
      return;
    }
    if (kind_ == None && !v.isNull()) adopt(v.metaType(), size_ - 1);
    if (v.metaType() != type_ || v.isNull()) {
      pushDefault();
      odd_.insert(row, v);
      return;
    }
    push(v);
  }

  QVariant get(quint32 row) const {
    if (row < empty_.size() && empty_[row]) return QVariant();
    if (!odd_.isEmpty()) {
      const auto it = odd_.constFind(row);
      if (it != odd_.cend()) return *it;
    }
    switch (kind_) {
      case Integer: {
        QVariant v(type_);
        const qint64 n = ints_[row];
        switch (type_.id()) {
          case QMetaType::Bool: return QVariant(n != 0);
          case QMetaType::Int: return QVariant(int(n));
          case QMetaType::LongLong: return QVariant(qlonglong(n));
          case QMetaType::UInt: return QVariant(uint(n));
          case QMetaType::ULongLong: return QVariant(qulonglong(n));
          default:
            v = QVariant(qlonglong(n));
            v.convert(type_);
            return v;
        }
      }
      case Real: return type_.id() == QMetaType::Float ? QVariant(float(reals_[row])) : QVariant(reals_[row]);
      case DateTime: return QVariant(dates_[row]);
      case Text: return QVariant(texts_[row]);
      case Other: return others_[row];
      default: return QVariant();
    }
  }

  void set(quint32 row, const QVariant& v) {
    if (row >= size_) return;
    if (!v.isValid() && empty_.size() < size_) empty_.resize(size_, false);
    if (row < empty_.size()) empty_[row] = !v.isValid();
    odd_.remove(row);
    if (!v.isValid()) return;
    if (kind_ == None && !v.isNull()) adopt(v.metaType(), size_);
    if (v.metaType() != type_ || v.isNull()) return void(odd_.insert(row, v));
    switch (kind_) {
      case Integer: ints_[row] = v.toLongLong(); break;
      case Real: reals_[row] = v.toDouble(); break;
      case DateTime: dates_[row] = v.toDateTime(); break;
      case Text: texts_[row] = v.toString(); break;
      default: others_[row] = v;
    }
  }

 private:
  // Rows before the first value of a type are all nulls or odd ones: n places for them.
  void adopt(QMetaType t, size_t n) {
    type_ = t;
    switch (t.id()) {
      case QMetaType::Bool:
      case QMetaType::Int:
      case QMetaType::UInt:
      case QMetaType::LongLong:
      case QMetaType::ULongLong:
      case QMetaType::Short:
      case QMetaType::UShort:
      case QMetaType::Char:
      case QMetaType::SChar:
      case QMetaType::UChar: kind_ = Integer; break;
      case QMetaType::Double:
      case QMetaType::Float: kind_ = Real; break;
      case QMetaType::QDateTime: kind_ = DateTime; break;
      case QMetaType::QString: kind_ = Text; break;
      default: kind_ = Other;
    }
    switch (kind_) {
      case Integer: ints_.resize(n); break;
      case Real: reals_.resize(n); break;
      case DateTime: dates_.resize(n); break;
      case Text: texts_.resize(n); break;
      case Other: others_.resize(n); break;
      default: break;
    }
  }
  void pushDefault() {
    switch (kind_) {
      case Integer: ints_.push_back(0); break;
      case Real: reals_.push_back(0); break;
      case DateTime: dates_.emplace_back(); break;
      case Text: texts_.emplace_back(); break;
      case Other: others_.emplace_back(); break;
      default: break;
    }
  }
  void push(const QVariant& v) {
    switch (kind_) {
      case Integer: ints_.push_back(v.toLongLong()); break;
      case Real: reals_.push_back(v.toDouble()); break;
      case DateTime: dates_.push_back(v.toDateTime()); break;
      case Text: texts_.push_back(v.toString()); break;
      default: others_.push_back(v);
    }
  }

  Kind kind_ = None;
  QMetaType type_;
  size_t size_ = 0;
  std::vector<qint64> ints_;
  std::vector<double> reals_;
  std::vector<QDateTime> dates_;
  std::vector<QString> texts_;
  std::vector<QVariant> others_;
  std::vector<bool> empty_;       // rows without a value (QVariant())
  QHash<quint32, QVariant> odd_;  // values not of the column's type
};

}  // namespace

struct RecordSet::Shared {
  QList<RecordField> fields;
  std::vector<Column> columns;
  std::vector<quint32> rows;  // stored order of the rows not deleted
  std::vector<bool> deleted;
  bool open = true;

  QVariant value(quint32 row, int field) const {
    return field >= 0 && size_t(field) < columns.size() ? columns[size_t(field)].get(row) : QVariant();
  }
};

RecordSet::RecordSet() : d_(std::make_shared<Shared>()) { d_->open = false; }

RecordSet::RecordSet(QList<RecordField> fields) : d_(std::make_shared<Shared>()) {
  d_->fields = std::move(fields);
  d_->columns.resize(size_t(d_->fields.size()));
}

void RecordSet::AddRow(const QList<QVariant>& values) {
  const auto row = quint32(d_->deleted.size());
  for (size_t i = 0; i < d_->columns.size(); ++i) d_->columns[i].append(values.value(qsizetype(i)));
  d_->deleted.push_back(false);
  d_->rows.push_back(row);
  view_.push_back(row);
}

QVariant RecordSet::fromText(const QString* text, int adoType) {
  if (!text) return QVariant();
  switch (adoType) {
    case adSmallInt:
    case adInteger:
    case adSingle:
    case adDouble:
    case adCurrency:
    case adDecimal:
    case adTinyInt:
    case adUnsignedTinyInt:
    case adBigInt:
    case adNumeric: return numberFromText(*text, adoType);
    case adDate:
    case adDBDate:
    case adDBTimeStamp: return dateFromText(text->trimmed());
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
    case QMetaType::Short:
    case QMetaType::UShort: return adSmallInt;
    case QMetaType::Int:
    case QMetaType::UInt: return adInteger;
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return adBigInt;
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
    fields << RecordField{rec.fieldName(i), declared.value(i) ? declared[i] : adoTypeOf(rec.field(i).metaType())};
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

bool RecordSet::live(size_t viewPos) const { return !d_->deleted[view_[viewPos]]; }

int RecordSet::RecordCount() const {
  return int(std::count_if(view_.begin(), view_.end(), [this](quint32 r) { return !d_->deleted[r]; }));
}

bool RecordSet::Eof() const {
  for (size_t i = std::max(pos_, 0); i < view_.size(); ++i)
    if (live(i)) return false;
  return true;
}

bool RecordSet::Bof() const { return pos_ < 0 || RecordCount() == 0; }

void RecordSet::skipDeleted() {
  while (pos_ >= 0 && size_t(pos_) < view_.size() && !live(size_t(pos_))) ++pos_;
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
  while (pos_ > 0 && !live(size_t(pos_ - 1))) --pos_;
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

qint64 RecordSet::currentRow() const {
  if (pos_ < 0 || size_t(pos_) >= view_.size() || !live(size_t(pos_))) return -1;
  return view_[size_t(pos_)];
}

QVariant RecordSet::Value(int field) const {
  const qint64 r = currentRow();
  return r < 0 ? QVariant() : d_->value(quint32(r), field);
}

QVariant RecordSet::Value(const QString& field) const { return Value(FieldIndex(field)); }

void RecordSet::SetValue(int field, const QVariant& v) {
  if (pos_ >= 0 && size_t(pos_) < view_.size() && field >= 0 && field < FieldCount())
    d_->columns[size_t(field)].set(view_[size_t(pos_)], v);
}

// Rows are never moved or reused within a set, so a row's index serves as its identity.
QVariant RecordSet::Bookmark() const {
  const qint64 r = currentRow();
  return r < 0 ? QVariant() : QVariant(r + 1);
}

void RecordSet::Delete() {
  const qint64 r = currentRow();
  if (r < 0) return;
  d_->deleted[size_t(r)] = true;
  auto& rows = d_->rows;
  rows.erase(std::remove(rows.begin(), rows.end(), quint32(r)), rows.end());
}

RecordSet RecordSet::Clone() const {
  RecordSet c = *this;
  c.view_.erase(std::remove_if(c.view_.begin(), c.view_.end(), [this](quint32 r) { return d_->deleted[r]; }),
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
  struct Key {
    int field;
    bool desc;
  };
  QList<Key> keys;
  for (QString part : expression.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    part = part.trimmed();
    bool desc = false;
    if (part.endsWith(QLatin1String(" DESC"), Qt::CaseInsensitive)) {
      desc = true;
      part.chop(5);
    } else if (part.endsWith(QLatin1String(" ASC"), Qt::CaseInsensitive)) part.chop(4);
    part = part.trimmed();
    if (part.startsWith(QLatin1Char('[')) && part.endsWith(QLatin1Char(']'))) part = part.mid(1, part.size() - 2);
    const int f = FieldIndex(part);
    if (f >= 0) keys << Key{f, desc};
  }
  sort_ = expression;
  view_ = d_->rows;
  std::stable_sort(view_.begin(), view_.end(), [&](quint32 a, quint32 b) {
    for (const Key& k : keys) {
      const int c = compareValues(d_->value(a, k.field), d_->value(b, k.field));
      if (c != 0) return k.desc ? c > 0 : c < 0;
    }
    return false;
  });
  MoveFirst();
}

QList<QList<QVariant>> RecordSet::rows() const {
  QList<QList<QVariant>> out;
  for (quint32 r : view_) {
    if (d_->deleted[r]) continue;
    QList<QVariant> values;
    values.reserve(FieldCount());
    for (int f = 0; f < FieldCount(); ++f) values << d_->value(r, f);
    out << values;
  }
  return out;
}

}  // namespace platform
