#pragma once
#include <QDialog>
#include <memory>

#include "platform/RecordSet.h"

namespace Ui {
class frmPrikazZapisa;
}
class QMenu;
namespace viewers {

class ModelZapisa;

// Shows a record set in a grid: formats by field type, sorting by a header click through
// the set's own Sort, sum rows, the colours of two known reports, printing and exports.
class frmPrikazZapisa : public QDialog {
  Q_OBJECT
 public:
  explicit frmPrikazZapisa(QWidget* parent = nullptr);
  ~frmPrikazZapisa() override;

  // Columns are grid columns (field i is column i + 1); -1: none. rs may be null (an empty,
  // closed set is shown); otherwise it must outlive the window, which sorts it.
  void PrikažiZapise(const QString& naslov, platform::RecordSet* rs, int stupacGrupe, int ukupno1, int ukupno2,
                     const QString& izvjestaj);

  ModelZapisa* model() const { return model_; }
  QMenu* mnuAkcija() const { return mnuAkcija_; }

 private:
  void Form_Load();
  void NapuniGrid();
  void fg_AfterSort();
  void fg_HeaderClick(int stupac);
  void mnuAkc_Click(int index);
  void cmdUExcel_Click();
  void cmdIzlaz_Click();
  void IspisTablice();
  void IzvozUExcel();
  void IzvozUTekst(const QString& separator);
  void greska(const QString& opis);

  std::unique_ptr<Ui::frmPrikazZapisa> ui;
  ModelZapisa* model_;
  QMenu* mnuAkcija_;
  platform::RecordSet prazan_;  // shown when the opener gives none
  platform::RecordSet* rs_ = &prazan_;
  QString izvjestaj_;
  int stupacGrupe_ = -1, ukupno1_ = -1, ukupno2_ = -1;
};

}  // namespace viewers
