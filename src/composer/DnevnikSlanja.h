#pragma once
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>

#include "platform/RecordSet.h"

namespace composer {

// One attempt to send: to whom, when, and what came back.
struct PokusajSlanja {
  QDateTime vrijeme;
  QString adresa;
  QString ime;
  bool poslano = false;
  QString odgovor;        // the server's reply, or the explanation of the failure
  bool odgođeno = false;  // refused for now: tried again later in the run
  QStringList razmjena;   // the last lines of the exchange with the server, of a failure
};

// What the runs of one composer window did: every attempt, the records that went (by
// their bookmarks in the host's record set, which stay valid when sent rows are deleted)
// and those that failed, with their values and reasons.
class DnevnikSlanja {
 public:
  void dodaj(PokusajSlanja p) { pokusaji_ << std::move(p); }
  const QList<PokusajSlanja>& pokusaji() const { return pokusaji_; }

  // The current record of rs went, or failed with razlog (its values kept for the file
  // of failed records until it goes).
  void zapisPoslan(const platform::RecordSet& rs);
  void zapisNeuspio(const platform::RecordSet& rs, const QString& razlog);
  bool poslan(const QVariant& bookmark) const;
  bool imaNeuspjelih() const { return !neuspjeli_.isEmpty(); }
  // Whether rs holds a record that has not gone from this window (rs's cursor is kept).
  bool imaNeposlanih(const platform::RecordSet& rs) const;

  // Vrijeme, Adresa, Ime, Ishod, Odgovor: one row per attempt.
  platform::RecordSet kaoZapisi() const;
  // The failed records with the host's columns and "Razlog", in the order they failed.
  platform::RecordSet neuspjeliZapisi() const;
  // One line per attempt, for reading.
  QString kaoTekst() const;

 private:
  struct Neuspjeli {
    qint64 bookmark;
    QList<QVariant> vrijednosti;
    QString razlog;
  };
  QList<PokusajSlanja> pokusaji_;
  QSet<qint64> poslani_;
  QList<Neuspjeli> neuspjeli_;
  QList<platform::RecordField> polja_;  // of the record set the failed records came from
};

// Writes rs as the export's CSV file (UTF-16 with a byte-order mark, ";" between values,
// text in quotes); the file is replaced only when all of it is written.
bool spremiCsv(platform::RecordSet& rs, const QString& datoteka, QString* greska);

}  // namespace composer
