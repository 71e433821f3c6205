#pragma once
#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "sender/SlanjePrekoSMTP.h"
#include "sender/frmSMTPPostavke.h"
#include "sender/modOutlookEMail.h"
#include "sender/modSMTPEMail.h"
#include "sender/modThunderBirdEMail.h"

class QAction;
class QActionGroup;
class QLineEdit;
class QAbstractButton;
class QPushButton;
namespace Ui {
class frmSlanjeeMaila;
}

namespace sender {

// The single-message send form: one message with up to three attachments, checked
// field by field and handed to the route chosen in the menu (0 Outlook, 1 Thunderbird,
// 2 SMTP). One application-wide instance, loaded on first use and deleted when it
// closes. The button arrays cmdEmail, cmdLokacija and the route items
// mnuEmailPrekoOutlookaThunderSMTP are the widgets named <name>_0, _1, _2.
class frmSlanjeeMaila : public QDialog {
  Q_OBJECT

 public:
  // Everything the form hands a message to or asks about a route. The real routes
  // unless someone installed others (a test watching the calls).
  struct RuteSlanja {
    std::function<bool()> outlookDostupan = OutlookRouteAvailable;
    std::function<bool(QWidget*)> thunderbirdPronadjen = PronadjiThunderbird;
    std::function<bool(QWidget*)> smtpPostavkeIspravne = ProvjeriSMTPPostavke;
    std::function<decltype(OutlookRouteSend)> outlook = OutlookRouteSend;
    std::function<decltype(TB_SendEmail)> thunderbird = TB_SendEmail;
    std::function<decltype(SlanjePrekoSMTP)> smtp = SlanjePrekoSMTP;
    // Opens the SMTP settings window modally.
    std::function<void(QWidget*)> smtpPostavke = PrikaziSMTPPostavke;
  };
  // A default-constructed table restores the real routes.
  static void PostaviRute(RuteSlanja rute);

  static frmSlanjeeMaila* forma();

  // Fills the form and shows it modally; returns when the form has been closed.
  void Prikaži(const QString& Subject, const QString& Recepients, const QString& CC, const QString& BCC,
               const QString& Poruka, const QString& lAttachFileName, const QString& lAttachFileName2,
               const QString& lAttachFileName3);
  // The filling part of Prikaži, without showing the form.
  void Napuni(const QString& Subject, const QString& Recepients, const QString& CC, const QString& BCC,
              const QString& Poruka, const QString& lAttachFileName, const QString& lAttachFileName2,
              const QString& lAttachFileName3);

  bool SendOutlookMail(const QString& subject, const QString& to, const QString& body, const QString& att1,
                       const QString& cc, const QString& bcc, bool deleteAttachments, const QString& att2,
                       const QString& att3);

  // One-time route checks: once passed (stored flag not 0) they return true at once.
  bool ProvPostOutlook();
  bool ProvPostThunder();
  bool ProvPostSMTP();

  void OdaberiNacinSlanja(int index);
  void TraziEMailKupca(int polje);  // 0 To, 1 CC, 2 BCC
  void OdaberiPrilog(int i);        // 0..2: attachment box 1..3

  void cmdSlanje_Click();
  void cmdPrekid_Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  frmSlanjeeMaila();
  ~frmSlanjeeMaila() override;

  void Form_Load();
  void poveziKontrole();
  void postaviFiltarTipki();
  bool obradiTipku(QWidget* w, int key);
  void obojiPolje(QLineEdit* polje);
  void PostaviPrilog(int i, const QString& naziv);
  void prebaciOpciju(QAction* opcija, const QString& kljuc);

  bool provjeriPolja();
  bool posaljiOdabranim();
  bool jednokratnaProvjera(const QString& kljuc, const std::function<bool()>& provjera, bool spremiUvijek);
  void porukaUpozorenja(const QString& tekst, QWidget* fokus);
  void Unload(bool obrisiPrilog);

  int odabranaRuta() const;
  QLineEdit* poljeAdrese(int polje) const;

  std::unique_ptr<Ui::frmSlanjeeMaila> ui;
  std::array<QPushButton*, 3> cmdEmail{};
  std::array<QAbstractButton*, 3> cmdLokacija{};
  std::array<QLineEdit*, 3> txtPrilozi{};
  std::array<QAction*, 3> mnuEmailPrekoOutlookaThunderSMTP{};
  QActionGroup* grupaRuta = nullptr;

  QString prilogPozivatelja_;  // first attachment handed in by the caller
  bool šaljeSe_ = false;
  bool uPrikazu_ = false;
  bool unloaded_ = false;
};

}  // namespace sender
