#pragma once
// One small partner table that the lookup tests load into each database backend.
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <optional>

#include "platform/SettingsStore.h"
#include "platform/SqlVeza.h"

struct TestniKomitent {
  QString ime;
  std::optional<QString> eMail;  // nullopt = NULL
};

inline QList<TestniKomitent> testniKomitenti() {
  return {
      {"Čistoća d.o.o.", "uprava@cistoca.example"},
      {"Cvjećarnica Ruža", "ruza@cvijece.example"},
      {"Ćosić i sinovi d.o.o.", "ured@cosic.example"},
      {"Dubrava promet d.d.", "info@dubrava.example"},
      {"Đurđevac trgovina", "nabava@djurdjevac.example"},
      {"Zagrebačka pekara d.o.o.", "pekara@zg-pekara.example"},
      {"Žitar d.d.", "prodaja@zitar.example"},
      {"Šumarija Gospić", "sumarija@gospic.example"},
      {"Sava osiguranje", "sava@osiguranje.example"},
      {"Trgovina Marić j.d.o.o.", "info@maric.example"},
      {"Ana Horvat", "trgovina.horvat@posta.example"},
      {"Konzum točka d.d.", "nabava@konzum.example"},
      {"Konzum točka d.d.", "nabava@konzum.example"},
      {"KONZUM TOČKA D.D.", "nabava@konzum.example"},  // the same partner in other case
      {"Konzum točka d.d.", "racunovodstvo@konzum.example"},
      {"Caffe bar O'Hara", "ohara@peric.example"},
      {"O'Brien pub", "pub@obrien.example"},
      {"Lovrić stolarija", "stolarija@lovric.example"},
      {"Bez adrese obrt", std::nullopt},
      {"Prazna adresa obrt", QString("")},
      {"Razmak adresa obrt", QString("   ")},
  };
}

// Partners with an address, in Croatian alphabetical order (C < Č < Ć < D < Đ ... S < Š ... Z < Ž).
inline QStringList testniNaziviPoRedu() {
  return {"Ana Horvat", "Caffe bar O'Hara", "Cvjećarnica Ruža", "Čistoća d.o.o.",
          "Ćosić i sinovi d.o.o.", "Dubrava promet d.d.", "Đurđevac trgovina",
          "Konzum točka d.d.", "Konzum točka d.d.", "Lovrić stolarija", "O'Brien pub",
          "Sava osiguranje", "Šumarija Gospić", "Trgovina Marić j.d.o.o.",
          "Zagrebačka pekara d.o.o.", "Žitar d.d."};
}

inline QString sqlLiteral(const std::optional<QString>& v) {
  if (!v) return QStringLiteral("NULL");
  QString t = *v;
  return QLatin1Char('\'') + t.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

inline QString sqlUnosa() {
  QString sql;
  for (const auto& k : testniKomitenti())
    sql += QStringLiteral("INSERT INTO %1 (ImeKomit1, eMail) VALUES (%2, %3);\n")
               .arg(QStringLiteral("%TABLICA%"), sqlLiteral(k.ime), sqlLiteral(k.eMail));
  return sql;
}

// The table as the bundled sample database has it. Returns the error text, empty on success.
inline QString napraviSqliteBazu(const QString& path) {
  QString greska;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("priprema"));
    db.setDatabaseName(path);
    if (!db.open()) return db.lastError().text();
    QSqlQuery q(db);
    QStringList naredbe{QStringLiteral(
        "CREATE TABLE Komitent (SifKomit INTEGER PRIMARY KEY, ImeKomit1 TEXT NOT NULL COLLATE "
        "NOCASE, Mjesto TEXT, eMail TEXT COLLATE NOCASE)")};
    naredbe += sqlUnosa().replace(QStringLiteral("%TABLICA%"), QStringLiteral("Komitent"))
                   .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& n : naredbe)
      if (!q.exec(n)) {
        greska = q.lastError().text() + QStringLiteral(": ") + n;
        break;
      }
    db.close();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("priprema"));
  return greska;
}

// What an administrator runs on the host's PostgreSQL database, and the table.
inline QString sqlPostgresBaze() {
  return QStringLiteral(
             "CREATE SCHEMA dbo;\n"
             "CREATE EXTENSION citext;\n"
             "CREATE FUNCTION LEN(text) RETURNS int LANGUAGE sql IMMUTABLE "
             "AS $$select length(rtrim($1, ' '))$$;\n"
             "CREATE TABLE dbo.Komitent (SifKomit serial PRIMARY KEY, "
             "ImeKomit1 citext COLLATE \"hr-HR-x-icu\" NOT NULL, Mjesto text, "
             "eMail citext COLLATE \"hr-HR-x-icu\");\n") +
         sqlUnosa().replace(QStringLiteral("%TABLICA%"), QStringLiteral("dbo.Komitent"));
}

inline void koristiBazu(const QString& driver, const QString& veza) {
  platform::SaveVelkorSetting(QString::fromLatin1(platform::kKljucSqlDriver), driver);
  platform::SaveVelkorSetting(QString::fromLatin1(platform::kKljucSqlVeza), veza);
}
