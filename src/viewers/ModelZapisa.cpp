#include "viewers/ModelZapisa.h"

#include <QApplication>
#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QPalette>
#include <cmath>

namespace viewers {

using platform::RecordSet;

namespace {

const QString kJNREK = QStringLiteral("JNREKPOUGOVORU");
const QString kStanje = QStringLiteral("STANJEZAMJŠIFRI");
constexpr int kCrvena = 255;  // colours are stored blue-green-red
constexpr int kZelena = 32768;

bool prazno(const QVariant& v) { return !v.isValid() || v.isNull() || v.toString().trimmed().isEmpty(); }

// An amount as the host's currency conversion reads it: numbers as they are, text in
// either decimal form.
double iznos(const QVariant& v) {
  if (v.typeId() != QMetaType::QString) return v.toDouble();
  const QString t = v.toString();
  const QVariant broj = RecordSet::fromText(&t, platform::adCurrency);
  return broj.typeId() == QMetaType::Double ? broj.toDouble() : 0.0;
}

// The user's locale; Croatian where the environment has none (C, POSIX), since the grid's
// users are Croatian and the C forms ("1,234.50", "1e-07") read wrongly to them.
QLocale lokalnaPostavka() {
  const QLocale l;
  return l.language() == QLocale::C ? QLocale(QLocale::Croatian, QLocale::Croatia) : l;
}

QString oblikDatuma(const QLocale& l) {
  return l.language() == QLocale::Croatian ? QStringLiteral("dd.MM.yyyy.") : l.dateFormat(QLocale::ShortFormat);
}

// Up to 15 significant digits, written out in full (no exponent) unless very large or small.
QString tekstDecimalnog(const QLocale& l, double d) {
  if (!std::isfinite(d)) return QString::number(d);
  const double zaokruzen = QString::number(d, 'g', 15).toDouble();
  const double a = std::fabs(zaokruzen);
  if (a != 0 && (a < 1e-9 || a >= 1e15)) return l.toString(zaokruzen, 'e', 14);
  return l.toString(zaokruzen, 'f', QLocale::FloatingPointShortest);
}

bool cijeliTip(int tip) { return tip == platform::adSmallInt || tip == platform::adInteger; }
bool novcaniTip(int tip) { return tip == platform::adCurrency || tip == platform::adNumeric; }

}  // namespace

ModelZapisa::ModelZapisa(QObject* parent) : QAbstractTableModel(parent) {}

QColor ModelZapisa::bojaIzBGR(int bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

void ModelZapisa::postaviZapise(RecordSet* rs, const QString& izvjestaj) {
  beginResetModel();
  rs_ = rs;
  izvjestaj_ = izvjestaj;
  zapisi_ = rs && rs->State() ? rs->rows() : QList<QList<QVariant>>();
  redovi_.clear();
  for (int i = 0; i < zapisi_.size(); ++i) redovi_ << Red{i};
  endResetModel();
}

void ModelZapisa::dodajZbroj(const QList<int>& stupci, int odReda, int stupacNatpisa, const QVariant& natpis) {
  Red zbroj{-1, QList<QVariant>(columnCount())};
  for (int s : stupci) {
    if (s < 1 || s >= columnCount()) continue;
    double suma = 0;
    for (int r = odReda; r < redovi_.size(); ++r)
      if (redovi_[r].zapis >= 0) suma += iznos(zapisi_[redovi_[r].zapis].value(s - 1));
    zbroj.zbroj[s] = suma;
  }
  if (stupacNatpisa >= 0 && stupacNatpisa < columnCount()) zbroj.zbroj[stupacNatpisa] = natpis;
  redovi_ << zbroj;
}

void ModelZapisa::primijeniUkupno(int stupacGrupe, int ukupno1, int ukupno2) {
  beginResetModel();
  QList<Red> zapisi;
  for (const Red& r : redovi_)
    if (r.zapis >= 0) zapisi << r;
  redovi_.clear();
  QList<int> stupci;
  for (int s : {ukupno1, ukupno2})
    if (s != -1) stupci << s;
  const int polje = stupacGrupe - 1;
  const bool grupe = polje >= 0 && polje < columnCount() - 1;
  if (!stupci.isEmpty()) {
    // A sum row below each run of equal values in the group column.
    int pocetak = 0;
    for (int i = 0; i < zapisi.size(); ++i) {
      redovi_ << zapisi[i];
      const QVariant kljuc = grupe ? zapisi_[zapisi[i].zapis].value(polje) : QVariant();
      const bool kraj = i + 1 == zapisi.size() || (grupe && zapisi_[zapisi[i + 1].zapis].value(polje) != kljuc);
      if (!kraj) continue;
      dodajZbroj(stupci, pocetak, grupe ? stupacGrupe : 0, grupe ? kljuc : QVariant(QStringLiteral("Ukupno:")));
      pocetak = int(redovi_.size());
    }
  } else {
    redovi_ = zapisi;
  }
  if (izvjestaj_ == kJNREK && !zapisi.isEmpty()) dodajZbroj({7, 9, 11}, 0, 1, QStringLiteral("Ukupno:"));
  endResetModel();
}

int ModelZapisa::rowCount(const QModelIndex& p) const { return p.isValid() ? 0 : int(redovi_.size()); }

int ModelZapisa::columnCount(const QModelIndex& p) const { return p.isValid() || !rs_ ? 0 : rs_->FieldCount() + 1; }

int ModelZapisa::tipStupca(int stupac) const { return rs_ && stupac >= 1 ? rs_->FieldType(stupac - 1) : 0; }

QVariant ModelZapisa::vrijednost(int red, int stupac) const {
  if (red < 0 || red >= redovi_.size() || stupac < 0 || stupac >= columnCount()) return {};
  const Red& r = redovi_[red];
  if (r.zapis < 0) return r.zbroj.value(stupac);
  return stupac == 0 ? QVariant() : zapisi_[r.zapis].value(stupac - 1);
}

QString ModelZapisa::tekst(int red, int stupac) const {
  QString t = tekstPoTipu(red, stupac);
  // Some locales write U+2212; the host's number formats and text exports use "-".
  t.replace(QChar(0x2212), QLatin1Char('-'));
  return t;
}

QString ModelZapisa::tekstPoTipu(int red, int stupac) const {
  const QVariant v = vrijednost(red, stupac);
  if (!v.isValid() || v.isNull()) return {};
  const int tip = tipStupca(stupac);
  const QLocale l = lokalnaPostavka();
  const bool broj = v.typeId() != QMetaType::QString && v.canConvert<double>();
  if (broj && cijeliTip(tip)) return l.toString(qlonglong(std::llround(v.toDouble())));
  if (broj && novcaniTip(tip)) return l.toString(v.toDouble(), 'f', 2);
  switch (v.typeId()) {
    case QMetaType::QDateTime: {
      // Date-only columns show no time; a date column of any kind hides a midnight.
      const QDateTime dt = v.toDateTime();
      const bool samoDatum = tip == platform::adDBDate || (tip != platform::adDBTimeStamp && dt.time() == QTime(0, 0));
      return samoDatum ? l.toString(dt.date(), oblikDatuma(l))
                       : l.toString(dt, oblikDatuma(l) + QStringLiteral(" HH:mm:ss"));
    }
    case QMetaType::QDate: return l.toString(v.toDate(), oblikDatuma(l));
    case QMetaType::LongLong:
    case QMetaType::Int: return l.toString(v.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float: return tekstDecimalnog(l, v.toDouble());
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default: return v.toString();
  }
}

QVariant ModelZapisa::boja(const Red& r, int stupac) const {
  if (r.zapis < 0) return {};
  const QList<QVariant>& z = zapisi_[r.zapis];
  if (izvjestaj_ == kJNREK && z.size() >= 11 && stupac <= 11 && !prazno(z.value(4)) && !prazno(z.value(7)))
    return bojaIzBGR(iznos(z.value(7)) >= iznos(z.value(4)) ? kCrvena : kZelena);
  if (izvjestaj_ == kStanje && z.size() >= 4 && stupac <= 4 && !prazno(z.value(3)) && iznos(z.value(3)) < 0)
    return bojaIzBGR(kCrvena);
  return {};
}

bool ModelZapisa::podebljano(const Red& r, int stupac) const {
  if (r.zapis < 0) return true;
  const QList<QVariant>& z = zapisi_[r.zapis];
  return izvjestaj_ == kJNREK && stupac >= 7 && stupac <= 11 && z.size() >= 11 && !prazno(z.value(4)) &&
         !prazno(z.value(7)) && iznos(z.value(7)) >= iznos(z.value(4));
}

QVariant ModelZapisa::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= redovi_.size()) return {};
  const Red& r = redovi_[index.row()];
  const int stupac = index.column();
  const int tip = tipStupca(stupac);
  switch (role) {
    case Qt::DisplayRole:
      if (tip == platform::adBoolean && r.zapis >= 0) return {};
      return tekst(index.row(), stupac);
    case Qt::CheckStateRole: {
      if (tip != platform::adBoolean || r.zapis < 0) return {};
      const QVariant v = vrijednost(index.row(), stupac);
      if (!v.isValid() || v.isNull()) return {};
      return v.toBool() ? Qt::Checked : Qt::Unchecked;
    }
    case Qt::TextAlignmentRole:
      if (cijeliTip(tip) || novcaniTip(tip)) return int(Qt::AlignRight | Qt::AlignVCenter);
      return int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole: return boja(r, stupac);
    case Qt::FontRole: {
      if (!podebljano(r, stupac)) return {};
      QFont f;
      f.setBold(true);
      return f;
    }
    case Qt::BackgroundRole:
      if (r.zapis < 0) return QColor(Qt::white);
      if (stupac == 0) return QApplication::palette().button();
      return {};
    default: return {};
  }
}

QVariant ModelZapisa::headerData(int section, Qt::Orientation o, int role) const {
  if (role != Qt::DisplayRole || o != Qt::Horizontal) return QAbstractTableModel::headerData(section, o, role);
  return section >= 1 && rs_ ? rs_->FieldName(section - 1) : QString();
}

}  // namespace viewers
