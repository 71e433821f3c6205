#pragma once
#include <QDialog>
#include <QPointer>
#include <memory>

class QLineEdit;
namespace Ui {
class frmSettings;
}

namespace composer {

// "Postavke": the SMTP server (or the proxy, or none: direct delivery) with the account the
// composer logs in with, and the sender. cmdOK also fills the composer's txtFrom (text =
// name, property "Tag" = address). The password goes to the system keyring and is never
// shown again: an empty box keeps the stored one of the same user on the same server.
// Instead of a password the account may sign in through OAuth 2.0 (Microsoft 365, Google or
// another provider), whose token the keyring keeps.
class frmSettings : public QDialog {
  Q_OBJECT

 public:
  explicit frmSettings(QLineEdit* txtFrom, QWidget* parent = nullptr);
  ~frmSettings() override;

  bool cmdApply_Click();
  void cmdOK_Click();
  // Saves, then sends one short message through the account; the outcome, with the
  // server's reply, goes to lblProbnaRezultat.
  void cmdProbnaPoruka_Click();
  // The OAuth 2.0 sign-in of the account shown: through the browser, after saving.
  void cmdPrijaviSe_Click();
  void cmdOdjava_Click();
  // The Sent folder copies' IMAP account, its own password to the keyring.
  bool cmdPrimjeniPoslano_Click();

 private:
  void Form_Load();
  void chkProxy_Click(bool checked);
  void osvjeziRacun();
  void sigurnostOdabrana(int index);
  void nacinOdabran();
  void osvjeziPrijavu();
  QString nacin() const;  // "" password, else the OAuth provider
  bool spremiLozinku(const QString& server);
  bool provjeri(bool uvjet, const QString& tekst, QWidget* polje);
  void ucitajPoslano();
  void osvjeziPoslano();
  bool spremiLozinku(const QString& kljuc, const QString& lozinka, QString& zadrzani, QLineEdit* polje);

  std::unique_ptr<Ui::frmSettings> ui;
  QPointer<QLineEdit> txtFrom_;
  QString kljucLozinke_;      // user@server of the password stored for the account shown
  QString kljucImapLozinke_;  // the same for the Sent folder's own login
  bool rečenoZaDatoteku_ = false;
};

}  // namespace composer
