#pragma once
#include <QString>

class QSqlDatabase;

// What an SQLite connection needs so that statements written for the host's SQL Server
// run on it unchanged and find the same rows.
namespace platform {

// On an open QSQLITE connection: LEN(x) (characters without trailing blanks, NULL stays NULL),
// like(pattern, text[, escape]) that ignores case for every letter (č finds Č, not c),
// and NOCASE as a Croatian, case-insensitive order. False when the connection is no SQLite one.
bool registrirajSqliteFunkcije(const QSqlDatabase& db);

// LIKE matching: "%" any run, "_" one character, escape (if not null) takes the next
// character literally; letters compare case-folded.
bool likeOdgovara(const QString& uzorak, const QString& tekst, QChar escape = QChar());

// SQL Server's LEN: the length without trailing blanks.
int duljinaBezZavrsnihRazmaka(const QString& tekst);

}  // namespace platform
