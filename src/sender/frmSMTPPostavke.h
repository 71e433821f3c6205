#pragma once
#include <QDialog>
#include <memory>

class QCloseEvent;
namespace Ui {
class frmSMTPPostavke;
}
namespace sender {

struct SMTPPostavke;

// The SMTP settings window: edits the direct route's eight settings and sends a test
// message with the values on screen. Settings reach the store only on an explicit save
// (the save button, the save question on leaving, or before a test mail).
class frmSMTPPostavke : public QDialog {
  Q_OBJECT
 public:
  explicit frmSMTPPostavke(QWidget* parent = nullptr);
  ~frmSMTPPostavke() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;  // the close box: no question, no save
  void reject() override;                        // Esc: as cmdIzlaz

 private:
  void UcitajPostavke();
  void SpremiPostavke();
  bool ProvjeriUnos();
  SMTPPostavke postavkeSaEkrana() const;

  void cmdSpremi_Click();
  void cmdIzlaz_Click();
  void cmdPrikPass_Click();
  void cmdSlanjeTestEMail_Click();
  void posaljiTestniMail(const QString& primatelji);
  QString nacin() const;  // "" (password), "microsoft", "google" or "drugi"
  void nacinOdabran();
  void osvjeziPrijavu();
  void cmdPrijaviSe_Click();
  void cmdOdjava_Click();

  std::unique_ptr<Ui::frmSMTPPostavke> ui;
  bool promijenjeno_ = false;
};

// Opens the settings window modally (the send form's mnuSMTPPostavke).
void PrikaziSMTPPostavke(QWidget* parent);

}  // namespace sender
