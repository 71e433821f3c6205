#pragma once
#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class frmPrikazTeksta;
}
class QCloseEvent;

namespace viewers {

// Shows a long text (an error description, a log) under the caller's caption, lets the user
// select, print and save it, and can put a yes/no question under the text.
//
// Callers share one instance, forma(). Every answer ("&Ok", "&Da", "&Ne", the close box)
// unloads it (the position is saved and the object is deleted once control is back in the
// event loop, so OdgovorDa can still be read right after PrikažiTekst returns).
// Esc is the window's closing key: it presses OKButton, or cmdNe when a question is asked.
// Enter presses OKButton; on a question it does nothing.
class frmPrikazTeksta : public QDialog {
  Q_OBJECT
 public:
  // The shared instance, created (and its position loaded) on first use.
  static frmPrikazTeksta* forma();

  explicit frmPrikazTeksta(QWidget* parent = nullptr);
  ~frmPrikazTeksta() override;

  // Fills the window and shows it modally; returns when it is hidden or unloaded.
  void PrikažiTekst(const QString& naslov, const QString& tekst, bool pitanje, const QString& tekstPitanja);

  // True when the last question was answered with "&Da".
  bool OdgovorDa = false;

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void Form_Load();
  void Form_Unload();
  void cmdIspis_Click();
  void cmdSelectAll_Click();
  void OKButton_Click();
  void cmdDa_Click();
  void cmdNe_Click();
  void mnuSpremiTekst_Click();
  void ucitajPoziciju();
  void spremiPoziciju();

  std::unique_ptr<Ui::frmPrikazTeksta> ui;
  QString tekst_;  // the text as the caller gave it, saved byte for byte
  bool pitanje_ = false;
  bool unloaded_ = false;
};

// How the SMTP routes show a failed send: caption "Opis greške", text "Greška: " + errorText.
void PrikaziOpisGreske(QWidget* parent, const QString& errorText);

}  // namespace viewers
