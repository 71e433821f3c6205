#pragma once
#include <QString>

// Where the host's database is: a Qt SQL driver and its connection options.
namespace platform {

struct SqlVeza {
  QString driver;    // "QSQLITE", "QPSQL", "QODBC"
  QString database;  // file (SQLite), database name (PostgreSQL), DSN or connection string (ODBC)
  QString host;
  int port = -1;
  QString user;
  QString password;
  QString options;  // the driver's connect options, e.g. "connect_timeout=5"

  bool operator==(const SqlVeza&) const = default;
};

// Settings keys (application "Velkor", section "Settings").
inline constexpr const char* kKljucSqlDriver = "SQLDriver";
inline constexpr const char* kKljucSqlVeza = "SQLConnection";

// "database=...;host=...;port=...;user=...;password=...;options=...". Key names are
// case-insensitive; a value in braces may hold ";" and "=" ("{DRIVER={FreeTDS};SERVER=x}").
// Unknown keys are ignored.
SqlVeza procitajVezu(const QString& driver, const QString& opcije);

// The configured connection; without a driver in the settings, the bundled sample
// database. A QSQLITE connection that names no file also means the bundled database.
SqlVeza vezaIzPostavki();

// The directory of the bundled sample data: $VELKOR_DATA_DIR, else share/velkor beside the
// installed library, else the source tree's data directory.
QString direktorijPodataka();
QString ugradenaBaza();  // the bundled SQLite database of partners

}  // namespace platform
