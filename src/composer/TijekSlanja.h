#pragma once
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <functional>
#include <optional>

#include "composer/DnevnikSlanja.h"
#include "composer/KopijeUPoslanom.h"
#include "composer/PostavkeComposera.h"
#include "composer/TempoSlanja.h"
#include "composer/ZapisnikSlanja.h"
#include "platform/RecordSet.h"

namespace mail {
class clsSendMail;
}

namespace composer {

// The message of a run as the window held it when the run started; subject and body still
// carry the personal fields a record run fills in.
struct PorukaZaSlanje {
  QString od, imeOd;  // the sender's address and name
  QString to, cc, bcc;
  QString predmet, html;
  QString prilozi;  // the typed attachments, ";" between paths
  QString slike;    // the document's local images, sent as attachments with an HTML body
  bool uHtmlu = true;
  QString odjava;           // with a record run's messages: where customers unsubscribe; empty, nowhere
  QSet<qint64> bezPriloga;  // records (bookmarks) whose own files are missing: not sent
  // Taking up a run of the same mailing that was cut short: its records that went (skipped;
  // deleted with "Briši poslane") and the run in the journal. 0: a run of its own.
  QSet<qint64> vecPoslani;
  qint64 nastavlja = 0;
};

// A run of the mailing that was cut short: how many of how many records went, and which
// records of the host's set they are.
struct PrekinutoSlanje {
  qint64 id = 0;
  int poslano = 0, ukupno = 0;
  QSet<qint64> poslani;
};

// Where the messages go: the configured server, each domain's exchangers, or the local
// mail system of the desktop mail client.
enum class RutaSlanja { Posluzitelj, Izravno, Klijent };

// How a record run ended, for the window's closing boxes.
struct IshodSlanja {
  int poslanih = 0, neuspjelih = 0, odgođenih = 0, nijePokušano = 0;
  bool prekinut = false;             // it ended at a failure
  bool zaustavljen = false;          // "Zaustavi slanje"
  bool nastavakNakonGreške = false;  // the run went on past refused records
  QStringList kopijeNeuspjele;       // CC and BCC domains that did not take the message
};

// The composer's send run, without a window: one message to typed addresses, or one per
// record of the host's record set, walked by a cursor of its own (deleting through it
// deletes in the host's set). It keeps the log of every run made with it, so that a later
// run can send only to the records not yet sent. The engine's calls serve the event loop,
// so the signals reach the window while a run is under way.
class TijekSlanja : public QObject {
  Q_OBJECT

 public:
  explicit TijekSlanja(mail::clsSendMail& motor, QObject* parent = nullptr);

  // nullopt: nothing was tried (the account could not be used; neuspjeh() told why).
  std::optional<bool> posaljiPojedinacno(const PorukaZaSlanje& p, RutaSlanja ruta, const QString& host);
  IshodSlanja posaljiZapise(const PorukaZaSlanje& p, RutaSlanja ruta, const QString& host,
                            const platform::RecordSet& rs, bool brisiPoslane, bool samoPreostali);
  // The last run of this mailing, when it was cut short after sending to some of rs's records.
  std::optional<PrekinutoSlanje> prekinutoSlanje(const PorukaZaSlanje& p, const platform::RecordSet& rs);
  ZapisnikSlanja& zapisnik() { return zapisnik_; }
  // No message after the one in flight; a wait under way ends at once.
  void zaustavi();
  bool zaustavljen() const { return zaustavi_; }
  bool uMotoru() const { return uMotoru_; }
  // The pause before deferred records are tried again.
  int odgodaPonavljanjaMs = 5 * 60 * 1000;

  const DnevnikSlanja& dnevnik() const { return dnevnik_; }
  // The copies of the last run in the IMAP Sent folder: napomena() when not all went.
  const KopijeUPoslanom& kopijeUPoslanom() const { return poslano_; }
  bool zapisiPokrenuti() const { return zapisiPokrenuti_; }
  // The subject and body of the message going now, the current record's fields filled in.
  QString predmet() const;
  QString tijelo() const;

 signals:
  // The domains of the message going now (none on the other routes), and which one goes.
  void domene(const QStringList& domene);
  void domena(int redni);
  // The record run's first record, and each record done or skipped after it.
  void zapisi(int ukupno);
  void zapisObradjen();
  void poslano(const QString& linija);
  void neuspjelo(const QString& linija);
  // A wait: the pace's next message, or the retry round's time.
  void najava(const QString& tekst);
  // A failure the user is to see now (the run goes on once the slot returns).
  void neuspjeh(const QString& objasnjenje);
  void greskaKlijenta(const QString& tekst);
  // The run ends at a failure ("Prekida se slanje poruka!").
  void prekida();
  // The CC and BCC have been taken by the run: later runs send without them.
  void kopijeUzete();
  // The engine has returned from a call: a question asked meanwhile can be shown.
  void motorSlobodan();

 private:
  // A record's direct delivery: its own domains, and those that took its message in a round.
  struct IzravniZapis {
    QSet<QString> vlastite, primile;
    bool privremeno = false;  // an own domain failed for now
  };
  struct Pokušaj {
    bool poslano = false;
    bool privremeno = false;  // refused for now
  };
  void pocni(const PorukaZaSlanje& p, RutaSlanja ruta, const QString& host, bool zapisi);
  bool krug();
  bool pripremiPonavljanje(int krug);
  bool otvoriKrug();
  Pokušaj posaljiZapisu(const QString& adresa, const QString& ime);
  bool nastaviNakonNeuspjeha(bool odgođen);
  void odgodiOstale();
  bool pripremiPokušaj();
  bool preskočiZapis(const QVariant& bookmark);
  void otvoriZapisnik(bool samoPreostali);
  void zabilježiUZapisnik(bool poslano, const QString& adresa, const QString& odgovor);
  void naPredaji();
  void greškaZapisnika();

  // The engine.
  bool pripremiMotor(const QString& host, bool posluzitelj);
  void postaviPoruku(const QString& predmet);
  void postaviTijelo();
  QString prilozi() const;
  void pozoviMotor(const std::function<void()>& poziv);
  bool posaljiJednu();
  bool spojiSe();
  void prijaviNeuspjeh(const QString& objasnjenje);
  QString razlogNeuspjeha() const;  // of the call just made
  void naNeuspjeh(const QString& objasnjenje);

  // The routes.
  bool posaljiPosluzitelju(const QString& to, const QString& cc, const QString& bcc);
  bool posaljiIzravno(const QString& to, const QString& cc, const QString& bcc, bool* ijedna,
                      IzravniZapis* zapis = nullptr);
  bool posaljiKlijentu(const QString& to, const QString& cc, const QString& bcc);
  IzravniZapis& izravniZapis(const QString& adresa);

  // The log.
  bool zabilježiZapis(const Pokušaj& p, const QString& adresa, const QString& ime);
  void zabilježiPojedinačno(bool poslano);
  void zabilježiOdgovor(const QString& odgovor);
  void zabilježiKopije(const QString& domena, const QString& razlog);

  mail::clsSendMail& m_;
  PorukaZaSlanje p_;
  RutaSlanja ruta_ = RutaSlanja::Posluzitelj;
  QString host_;
  std::optional<platform::RecordSet> rs_;  // the run's own cursor over the host's rows
  DnevnikSlanja dnevnik_;
  PostavkeSlanja postavke_;  // read afresh at every run
  TempoSlanja tempo_;
  QStringList odgovor_;                    // the replies and explanations of the attempt under way
  QStringList razmjena_;                   // the exchange that ended the attempt under way
  QString prikupljeno_;                    // what SendFailed said while the engine was busy
  bool uspjeh_ = false, neuspio_ = false;  // the engine's events of the call under way
  bool uMotoru_ = false;
  bool tihi_ = false;        // a failure of this attempt is logged, not shown
  bool odgodivo_ = false;    // the attempt is a record's: refused for now, it waits
  bool privremeno_ = false;  // the last failure was one for now (the engine's classification)
  bool samoPreostali_ = false;
  bool zapisiPokrenuti_ = false;
  bool ponavljanje_ = false;  // a retry round: only the deferred records go
  bool zaustavi_ = false;
  bool prekinut_ = false;
  bool brisiPoslane_ = false;
  bool odgodiOstale_ = false;  // the server is away for now: the rest waits for a retry round
  int poslanih_ = 0, neuspjelih_ = 0, pokušano_ = 0, zapisa_ = 0;
  QSet<qint64> odgođeni_;
  QStringList kopijeNeuspjele_;
  std::pair<QString, QString> kopije_;  // CC and BCC of a record run, for every round
  QHash<qint64, IzravniZapis> izravni_;
  ZapisnikSlanja zapisnik_;
  qint64 slanje_ = 0;        // the run in the journal; 0: it cannot be written
  QStringList poljaKljuca_;  // the fields that tell the run's records apart
  bool predano_ = false;     // the attempt under way has handed a message's end over
  bool greškaPredaje_ = false;
  KopijeUPoslanom poslano_{m_};
};

}  // namespace composer
