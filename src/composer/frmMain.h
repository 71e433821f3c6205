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

class HtmlEditor;
class QLabel;
class clsSendMail;
namespace platform { class RecordSet; }
namespace Ui { class frmMain; }

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

  // The send run and its buttons (SlanjePoruka.cpp).
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
  void PosaljiPrekoOutlooka(bool bPojedinacno);
  qint16 PosaljiOutlookPoruku(const QString& to, const QString& cc, const QString& bcc, bool prikaži);
  void poSendMail_Progress(int PercentComplete);
  void poSendMail_SendFailed(const QString& Explanation);
  void poSendMail_SendSuccesful();

  // While a run is under way the window refuses to close and the commands that would
  // replace the document, the engine or its settings are disabled.
  bool USlanju() const { return m_uSlanju; }
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
  clsSendMail* SendMail() const { return poSendMail; }
  platform::RecordSet* RecordSet() const { return m_rs; }
  QString PreviewFile() const;  // temp.html in the window's private directory

  // The subject and body of the message going now: in a record run with the current
  // record's personal fields filled in, otherwise as written (OsobnaPoljaPoruke.cpp).
  QString predmetPoruke() const;
  QString tijeloPoruke() const;

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
  // The run's own parts (SlanjePoruka.cpp, IzravnaDostava.cpp).
  void poveziSlanje();
  void poveziListuPrimatelja();
  bool provjeriPojedinacno();
  bool pripremiMotor(const QString& host, bool posluzitelj = false);
  bool porukaUHtmlu() const;
  bool m_uHtmlu = true;  // the run's format: HTML, or the document's text
  void postaviTijelo(clsSendMail& m);
  QString priloziPoruke() const;
  bool nastaviPoslijeOdgode();
  void posaljiPrekoPosluzitelja(bool bPojedinacno, const QString& host);
  void posaljiIzravno(bool bPojedinacno);
  // A record's direct delivery: its own domains, and those that took its message in a round.
  struct IzravniZapis {
    QSet<QString> vlastite, primile;
    bool privremeno = false;  // an own domain failed for now
  };
  bool posaljiIzravnoDomenama(const QString& to, const QString& cc, const QString& bcc, bool pojedinacno,
                              bool* ijedna, IzravniZapis* zapis = nullptr);
  IzravniZapis& izravniZapis(const QString& adresa);  // of the current record
  void zabilježiRazmjenu(const QStringList& razmjena);
  bool spojiZaKrug();
  void odgodiOstale();
  bool m_pitajZaustaviti = false;  // Esc or the close box while the engine was busy
  void pitajZaustaviti();
  bool posaljiJednu();  // one Send; true only after SendSuccesful
  bool spojiSe();       // Connect; false after its failure box
  void pozoviMotor(const std::function<void()>& poziv);  // the engine's failure box after it
  bool m_uMotoru = false;  // the engine is inside Connect or Send
  QString m_neuspjeh;      // the explanation its SendFailed left
  QString jednaLinijaDnevnika() const;
  void dodajUDnevnik(bool poslano, const QString& linija);
  void počistiNakonSlanja();
  void pocniZapise();
  void zaključiZapise();
  bool pripremiPonavljanje(int krug);
  void posaljiRutom(bool bPojedinacno, const QString& host);
  // The engine reports progress many times per message; the bars and texts are redrawn at
  // most every 50 ms, the latest figure shown when the pause is over.
  void prikažiNapredak();
  double m_mjeriloNapretka = 100;
  QElapsedTimer m_prikazanNapredak;
  QTimer m_odgodaNapretka;
  std::unique_ptr<composer::PrikazSlanja> m_prikazSlanja;

  // Personal fields (OsobnaPoljaPoruke.cpp).
  void poveziPolja();
  void napuniIzbornikPolja();
  void umetniPolje(const QString& ime);
  bool pripremiPolja(bool bPojedinacno);  // false: unknown fields named, nothing to send
  QString pripremiPregled(const QString& html);
  bool m_poZapisima = false;  // the run now going is a record run
  QString m_predmet;          // the subject as written when the run started
  QLabel* m_pregledZa = nullptr;

  std::unique_ptr<Ui::frmMain> ui;
  clsSendMail* poSendMail = nullptr;
  platform::RecordSet* m_rs = nullptr;  // the host's, for the window's life
  QTemporaryDir m_privremeni;
  int m_tab = 0;
  bool m_uSlanju = false;
  QString TijeloPoruke;
  std::pair<QString, QString> m_kopije;  // CC and BCC of a record run, for every round
  QString UgradjeneSlike;

  // Record runs that go on past a failed record or resume after one, the send log and
  // the pace (SlanjeZapisa.cpp). All of it stays out of sight until a run uses it.
  struct Tijek;
  std::shared_ptr<Tijek> m_tijek;
  void poveziTijek();
  void pocniTijek(bool bPojedinacno);
  void cmdPošaljiPreostalima_Click();
  // false: the record is not to be tried (it went already, or the run stops); the cursor
  // has moved on. odgodivo: a failure for now defers the record.
  bool pripremiPokušaj(bool odgodivo = false);
  bool odgođenPokušaj() const;
  void postaviPrivremeno(bool privremeno);
  bool zabilježiZapis(bool poslano, const QString& adresa, const QString& ime, bool odgođen = false);
  void zabilježiKopije(const QString& domena, const QString& razlog);
  void prekiniZapise();
  void zabilježiPojedinačno(bool poslano);
  void zabilježiOdgovor(const QString& odgovor);
  bool zabilježiRazlog(const QString& razlog);  // true: the run goes on, no box
  bool nastaviPoslijeGreške(bool ponovnoSpoji);
  void prijaviNeuspjele();
  void osvježiPreostale();
  void postaviTijekUSlanju(bool uSlanju);
  void prikažiIzvještaj();
  void spremiIzvještaj();
  void spremiNeuspjele();
};
