#pragma once
#include <QDialog>
#include <QElapsedTimer>
#include <QSet>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "composer/PrikazSlanja.h"
#include "composer/TijekSlanja.h"

class QLabel;
class QPushButton;
namespace Ui {
class frmMain;
}
namespace mail {
class clsSendMail;
}
namespace platform {
class RecordSet;
}
namespace composer {

class HtmlEditor;

// The HTML composer: one message to typed addresses, or one per record of the host's
// record set. One application-wide instance, loaded afresh by each opening and deleted
// when it closes. The pair of log-clearing buttons cmdObriši are cmdObriši_0 and _1.
class frmMain : public QDialog {
  Q_OBJECT

 public:
  static frmMain* forma();
  ~frmMain() override;

  // Process-wide: set by key presses in the document, cleared by a successful save.
  static bool DatotekaMijenjana();
  static void PostaviMijenjana(bool mijenjana);

  // Open the window modally and return when it has closed (the window is gone then).
  void PrikažiBezRS();
  void PrikažiPrekoRS(platform::RecordSet& rs);

  // lvEmail from the record set: invalid rows deleted, duplicates skipped.
  void NapuniListu();
  // The record set's valid addresses to the clipboard (mnuGenListUClip).
  void GenerirajListu();
  // Delete in lvEmail: the recipient leaves the list and the record set.
  void lvEmail_KeyDown(int key, Qt::KeyboardModifiers modifiers);

  // The send run and its buttons (SlanjePoruka.cpp): the window's side of the run it
  // hands the message to.
  void PosaljiPoruke(bool bPojedinacno);
  // "Zaustavi slanje": the run ends after the message in flight (also Esc and closing).
  void ZaustaviSlanje();
  bool SlanjeZaustavljeno() const;
  // The pause before deferred records are tried again.
  int OdgodaPonavljanjaMs = 5 * 60 * 1000;
  void cmdSend_Click();
  void cmdPošaljiPrekoRS_Click();
  qint16 StatusSlanja = 0;
  qint16 bPoslano = 0;
  double Napredak = 0;
  bool EmbeddImage();  // false: the editor did not give the document (box shown)
  void poSendMail_Progress(int PercentComplete);
  void poSendMail_SendFailed(const QString& Explanation);
  void poSendMail_SendSuccesful();
  composer::TijekSlanja* Slanje() const { return slanje_; }

  // While a run is under way the window refuses to close and the commands that would
  // replace the document, the engine or its settings are disabled.
  bool USlanju() const { return uSlanju_; }
  void PostaviUSlanju(bool uSlanju);

  void mnuFileNew_Click();
  void mnuFileOpen_Click();
  bool mnuFileSave_Click();  // true when the document was saved
  void cmdAttach_Click();
  void cmdObriši_Click(int index);
  void cmdApply_Click();
  void cmdCancel_Click();
  void cmdAdresar_Click(qint16 cilj);  // 1 To, 2 CC, 3 BCC
  void mnuViewSettings_Click();
  void mnuViewOptions_Click();

  HtmlEditor* Editor() const;
  mail::clsSendMail* SendMail() const { return poSendMail; }
  platform::RecordSet* RecordSet() const { return rs_; }
  QString PreviewFile() const;  // temp.html in the window's private directory

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;  // Esc leaves the way the close box does

 private:
  frmMain();
  void Form_Load();
  void poveziKontrole();
  void prikaži();
  void SSTab2_Click(int napušteni);
  bool smijeZatvoriti();
  // The run's side in the window (SlanjePoruka.cpp, SlanjeZapisa.cpp).
  void poveziSlanje();
  void poveziListuPrimatelja();
  bool provjeriPojedinacno();
  composer::PorukaZaSlanje porukaZaSlanje() const;
  bool pitajZaustaviti_ = false;  // Esc or the close box while the engine was busy
  void pitajZaustaviti();
  QString jednaLinijaDnevnika() const;
  void dodajUDnevnik(bool poslano, const QString& linija);
  void počistiNakonSlanja();
  void prikažiNajavu(const QString& tekst);
  // The engine reports progress many times per message; the bars and texts are redrawn at
  // most every 50 ms, the latest figure shown when the pause is over.
  void prikažiNapredak();
  double mjeriloNapretka_ = 100;
  QElapsedTimer prikazanNapredak_;
  QTimer odgodaNapretka_;
  std::unique_ptr<composer::PrikazSlanja> prikazSlanja_;
  composer::TijekSlanja* slanje_ = nullptr;

  // Personal fields (OsobnaPoljaPoruke.cpp).
  void poveziPolja();
  void napuniIzbornikPolja();
  void umetniPolje(const QString& ime);
  bool pripremiPolja(bool bPojedinacno);  // false: unknown fields named, nothing to send
  bool provjeriPriloge(bool bPojedinacno, QSet<qint64>* bez);
  void ponudiNastavak(composer::PorukaZaSlanje* p);
  QString pripremiPregled(const QString& html);
  QLabel* pregledZa_ = nullptr;

  std::unique_ptr<Ui::frmMain> ui;
  mail::clsSendMail* poSendMail = nullptr;
  platform::RecordSet* rs_ = nullptr;  // the host's, for the window's life
  QTemporaryDir privremeni_;
  int tab_ = 0;
  bool uSlanju_ = false;
  QString TijeloPoruke;
  QString UgradjeneSlike;

  // Record runs' additions: sending to the records not yet sent from this window, the
  // send log with its files and viewer, and Stop (SlanjeZapisa.cpp).
  void poveziTijek();
  void cmdPošaljiPreostalima_Click();
  bool samoPreostali_ = false;
  QPushButton* cmdZaustavi_ = nullptr;
  QAction* spremiNeuspjele_ = nullptr;
  void zaključiZapise(const composer::IshodSlanja& ishod);
  void kopijeNisuSpremljene();
  void osvježiPreostale();
  void prikažiIzvještaj();
  void spremiIzvještaj();
  void spremiNeuspjele();
};

}  // namespace composer
