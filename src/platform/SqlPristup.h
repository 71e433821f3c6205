#pragma once
#include <QString>
#include <optional>

#include "platform/RecordSet.h"
#include "platform/SqlVeza.h"

class QSqlDatabase;

namespace platform {

// The data-access object: opens SQL text on the host's database into a record set.
// It keeps one connection open between calls (a search runs at every keystroke) and opens
// it again when the settings name another database or the old one has gone away.
// GUI thread only, like every connection of Qt SQL.
class SqlPristup {
 public:
  // Without a fixed connection, each call follows the settings (vezaIzPostavki).
  explicit SqlPristup(std::optional<SqlVeza> fiksnaVeza = std::nullopt);
  ~SqlPristup();
  SqlPristup(const SqlPristup&) = delete;
  SqlPristup& operator=(const SqlPristup&) = delete;

  // Opens sql into rs and returns true, or empties rs and returns false.
  //  veza:          an open connection of the caller to use instead of our own; null = ours.
  //  samoNaprijed:  read the result forward only (cheaper; all the rows are copied anyway).
  //  prikaziGresku: show a failure in a message box; otherwise it is only kept in greska().
  // Never throws: a missing driver or an unreachable server is a failed query.
  bool OtvoriRS(QSqlDatabase* veza, const QString& sql, RecordSet& rs, bool samoNaprijed, bool prikaziGresku);

  // The text as a quoted SQL string the way the connection's driver reads it (a PostgreSQL
  // server without standard_conforming_strings takes "\" as an escape). Connects first when
  // needed; without a connection, the quotes are doubled.
  QString literal(const QString& tekst);

  QString greska() const { return greska_; }
  void zatvori();  // drops our connection; the next call opens it again

 private:
  bool spoji(const SqlVeza& v);
  bool izvrsi(const QSqlDatabase& db, const QString& sql, RecordSet& rs, bool samoNaprijed);

  std::optional<SqlVeza> fiksna_;
  std::optional<SqlVeza> otvorena_;  // what our connection is open to
  QString ime_;                      // our Qt SQL connection name
  QString greska_;
};

// The component's data-access object, created on first use and kept for the life of the
// component.
SqlPristup& sqlPristup();

}  // namespace platform
