#pragma once
#include <QAbstractTableModel>
#include <QColor>
#include <QList>
#include <QVariant>

#include "platform/RecordSet.h"

namespace viewers {

// The record grid's rows: the record set's rows in its current order, with sum rows
// among them. Column 0 is the grid's fixed column, so field i is column i + 1.
class ModelZapisa : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit ModelZapisa(QObject* parent = nullptr);

  // The set is read, not copied; it must outlive the model. Resets the rows.
  void postaviZapise(platform::RecordSet* rs, const QString& izvjestaj);
  // Rebuilds the sum rows for the set's current order (columns are grid columns, -1 none).
  void primijeniUkupno(int stupacGrupe, int ukupno1, int ukupno2);

  int rowCount(const QModelIndex& = {}) const override;
  int columnCount(const QModelIndex& = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;

  // The unformatted value of a cell (a sum for sum rows); invalid for empty cells.
  QVariant vrijednost(int red, int stupac) const;
  bool jeRedZbroja(int red) const { return redovi_.value(red).zapis < 0; }
  int tipStupca(int stupac) const;  // the field's type code; 0 for the fixed column
  QString tekst(int red, int stupac) const;

  static QColor bojaIzBGR(int bgr);

 private:
  struct Red {
    int zapis = -1;           // index into zapisi_, or -1 for a sum row
    QList<QVariant> zbroj{};  // sum rows: a value per grid column
  };
  QString tekstPoTipu(int red, int stupac) const;
  void dodajZbroj(const QList<int>& stupci, int odReda, int stupacNatpisa, const QVariant& natpis);
  QVariant boja(const Red& r, int stupac) const;
  bool podebljano(const Red& r, int stupac) const;

  platform::RecordSet* rs_ = nullptr;
  QString izvjestaj_;
  QList<QList<QVariant>> zapisi_;  // the set's rows, in its order
  QList<Red> redovi_;
};

}  // namespace viewers
