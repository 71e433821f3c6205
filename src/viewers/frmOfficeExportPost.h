#pragma once
#include <QDialog>
#include <memory>

namespace Ui {
class frmOfficeExportPost;
}
namespace platform {
class RecordSet;
}
class QLineEdit;

namespace viewers {

// Writes a record set to a CSV file with the user's file name, separator, decimal character
// and quoting, in batches with a progress display and a cancel button, and can then open the
// file in a viewer program. Shown modally by PokreniExportCSV, which reads Prekinuto after it.
class frmOfficeExportPost : public QDialog {
  Q_OBJECT
 public:
  explicit frmOfficeExportPost(QWidget* parent = nullptr);
  ~frmOfficeExportPost() override;

  platform::RecordSet* rsPodaci = nullptr;  // the opener's record set (a clone)
  bool Prekinuto = true;                    // false only after a completed export

  int velicinaSerije() const { return velicinaSerije_; }

 protected:
  void showEvent(QShowEvent* e) override;
  void reject() override;  // Esc and the close box
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void Form_Load();
  void cmdPrebaciPodatke_Click();
  void cmdIzlaz_Click();
  void lvPrekid_Click() { prekid_ = true; }
  void mnuExportCSVBatchSize_Click();
  void cmdGdjeSpremiti_Click();
  void cmdLokacija_Click();

  // The field checks; each shows its message and returns false when it fails.
  bool provjeriNazivDat();
  bool provjeriSeparator();
  bool provjeriDecTočku();
  bool provjeriLokacijuEXE();
  bool provjeriPolje(QObject* polje);
  void spremiPostavke();
  void izvezi();
  void prikaziIzvoz(bool da);
  void poruka(const QString& tekst, int ikona);
  bool pomakniFokus(QObject* o, int tipka);

  std::unique_ptr<Ui::frmOfficeExportPost> ui;
  int velicinaSerije_ = 2000;
  bool prekid_ = false;
  bool uIzvozu_ = false;
  bool uProvjeri_ = false;
};

}  // namespace viewers
