#pragma once
#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace platform {
class RecordSet;
}

// The journal of mailings on disk, so that a run cut short (a crash of the host, a power
// cut, a window closed mid-run) is taken up again without a second copy to anyone: every
// message the server accepted is committed before the next one goes. SQLite in WAL mode,
// $XDG_DATA_HOME/Velkor/slanja.sqlite; runs older than 30 days are dropped on opening.
namespace composer {

struct PorukaZaSlanje;

// What the customers of a mailing get, as one value: subject, body, sender and recipient
// fields, the attachment box and the contents of the files it and the document name.
QByteArray otisakSlanja(const PorukaZaSlanje& p);

// Which record a message went to: its address and the values of the fields the mailing
// names (the same address with the same values gets the same message).
QString kljucZapisa(const platform::RecordSet& rs, const QStringList& polja);
QStringList poljaSlanja(const PorukaZaSlanje& p);

class ZapisnikSlanja {
 public:
  explicit ZapisnikSlanja(QString datoteka = zadanaDatoteka());
  ~ZapisnikSlanja();
  ZapisnikSlanja(const ZapisnikSlanja&) = delete;
  ZapisnikSlanja& operator=(const ZapisnikSlanja&) = delete;
  static QString zadanaDatoteka();

  // Opened on first use; false with *greska when the file cannot be used.
  bool otvori(QString* greska);

  struct Prekinuto {
    qint64 id = 0;
    QSet<QString> poslani;  // the keys of the records the server accepted
  };
  // The last run of this mailing, when it did not end with every record sent.
  std::optional<Prekinuto> prekinuto(const QByteArray& otisak);
  // A new run of the mailing; earlier runs of it are no longer offered. 0 on failure.
  qint64 zapocni(const QByteArray& otisak);
  // The record's message is about to reach the server (it counts as sent from now on, so
  // that a crash before the reply never gives a second copy); then the server's answer:
  // accepted, or refused (the record is to be sent again).
  bool predaj(qint64 slanje, const QString& kljuc, const QString& adresa);
  bool zabiljezi(qint64 slanje, const QString& kljuc, const QString& adresa, const QString& odgovor);
  bool odbaci(qint64 slanje, const QString& kljuc);
  // Every record of the run went: it is no longer offered.
  bool zavrsi(qint64 slanje);
  bool ocisti(QString* greska);
  QString greska() const { return greska_; }

 private:
  bool izvrsi(const QString& sql, const QVariantList& vrijednosti = {});
  QString veza_, datoteka_, greska_;
  bool otvoren_ = false;
};

}  // namespace composer
