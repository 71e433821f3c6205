#pragma once
#include <QDialog>
#include <memory>

namespace Ui {
class frmKupciEMail;
}
namespace platform {
class RecordSet;
}

namespace lookup {

// Finds a business partner's e-mail address in the host's database as the user types
// part of the partner's name or address. Modal; the caller reads the result after Prikaži.
class frmKupciEMail : public QDialog {
  Q_OBJECT
 public:
  explicit frmKupciEMail(QWidget* parent = nullptr);
  ~frmKupciEMail() override;

  // Sets the search text, searches when it is not empty, and shows the form modally;
  // returns when the form has been hidden.
  void Prikaži(const QString& pocetniTekst);
  // Searches for tekst and fills the grid (an empty grid when nothing can be searched).
  void NapuniIPrikažiSveŠifrePoPočZnaku(const QString& tekst);

  bool Odustao = false;   // the user left with Esc
  QString OdabraniEMail;  // the chosen address; empty when nothing was chosen

  void reject() override;  // Esc and the close box

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Odaberi();
  void napuniRešetku(platform::RecordSet& rs);
  void isprazniRešetku();
  void postaviŠirineStupaca();
  int twipsUPiksele(int twips) const;

  std::unique_ptr<Ui::frmKupciEMail> ui;
};

}  // namespace lookup
