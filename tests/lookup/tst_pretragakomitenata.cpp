// Partner lookup against real databases: the bundled kind (SQLite) and a PostgreSQL server
// started here, with the same partners and the same expectations on both. First the
// data-access object (connection settings, the SQLite functions that make the host's
// statements run unchanged, failures that stay failures), then the search window on it:
// what it finds, choosing, leaving, keys and the stored check box.
#include <QtSql>

#include "lookup/frmKupciEMail.h"
#include "core/SettingsStore.h"
#include "platform/SqlPristup.h"
#include "support/PostgresPeer.h"
#include "support/Fixture.h"

using namespace lookup;
using platform::RecordSet;
using platform::SqlPristup;
using platform::SqlVeza;

namespace {

const QString kKljuc = QStringLiteral("chkPrikazKomEmailPretrPoPoč");

// Konzum twice alike, once in other case, once with another address; three without one.
QString sqlUnosa(const QString& tablica) {
  return QStringLiteral("INSERT INTO %1 (ImeKomit1, eMail) VALUES "
      "('Čistoća d.o.o.', 'uprava@cistoca.hr'),('Cvjećarnica Ruža', 'ruza@cvijece.hr'),"
      "('Ćosić i sinovi d.o.o.', 'ured@cosic.hr'),('Dubrava promet d.d.', 'info@dubrava.hr'),"
      "('Đurđevac trgovina', 'nabava@djurdjevac.hr'),('Žitar d.d.', 'prodaja@zitar.hr'),"
      "('Zagrebačka pekara d.o.o.', 'pekara@zg-pekara.hr'),"
      "('Šumarija Gospić', 'sumarija@gospic.hr'),('Sava osiguranje', 'sava@osiguranje.hr'),"
      "('Trgovina Marić j.d.o.o.', 'info@maric.hr'),('Ana Horvat', 'trgovina.horvat@posta.hr'),"
      "('Konzum točka d.d.', 'nabava@konzum.hr'),('Konzum točka d.d.', 'nabava@konzum.hr'),"
      "('KONZUM TOČKA D.D.', 'nabava@konzum.hr'),('Konzum točka d.d.', 'racunovodstvo@konzum.hr'),"
      "('Caffe bar O''Hara', 'ohara@peric.hr'),('O''Brien pub', 'pub@obrien.hr'),"
      "('Lovrić stolarija', 'stolarija@lovric.hr'),('Bez adrese obrt', NULL),"
      "('Prazna adresa obrt', ''),('Razmak adresa obrt', '   ')")
      .arg(tablica);
}

// The table as the bundled sample database has it. Returns the error text, empty on success.
QString napraviSqliteBazu(const QString& path) {
  QString greska;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "priprema");
    db.setDatabaseName(path);
    if (!db.open()) greska = db.lastError().text();
    QSqlQuery q(db);
    for (const QString& n : {QStringLiteral("CREATE TABLE Komitent (SifKomit INTEGER PRIMARY KEY, "
                                            "ImeKomit1 TEXT NOT NULL COLLATE NOCASE, Mjesto TEXT, "
                                            "eMail TEXT COLLATE NOCASE)"),
                             sqlUnosa(QStringLiteral("Komitent"))})
      if (greska.isEmpty() && !q.exec(n)) greska = q.lastError().text();
    db.close();
  }
  QSqlDatabase::removeDatabase("priprema");
  return greska;
}

// What an administrator runs on the host's PostgreSQL database, and the table.
QString sqlPostgresBaze() {
  return QStringLiteral(
             "CREATE SCHEMA dbo;\n"
             "CREATE EXTENSION citext;\n"
             "CREATE FUNCTION LEN(text) RETURNS int LANGUAGE sql IMMUTABLE "
             "AS $$select length(rtrim($1, ' '))$$;\n"
             "CREATE TABLE dbo.Komitent (SifKomit serial PRIMARY KEY, "
             "ImeKomit1 citext COLLATE \"hr-HR-x-icu\" NOT NULL, Mjesto text, "
             "eMail citext COLLATE \"hr-HR-x-icu\");\n") +
         sqlUnosa(QStringLiteral("dbo.Komitent")) + QLatin1Char(';');
}

void koristiBazu(const QString& driver, const QString& veza) {
  core::SaveVelkorSetting(QString::fromLatin1(platform::kKljucSqlDriver), driver);
  core::SaveVelkorSetting(QString::fromLatin1(platform::kKljucSqlVeza), veza);
}

QLineEdit* txt(QWidget& f) { return f.findChild<QLineEdit*>(QStringLiteral("txtImeKupca")); }
QTableWidget* grid(QWidget& f) { return f.findChild<QTableWidget*>(QStringLiteral("fgŠifre")); }
QCheckBox* chk(QWidget& f) { return f.findChild<QCheckBox*>("chkPrikazŠifriPretrPoPoč"); }
QString fokus(QWidget& f) { return f.focusWidget() ? f.focusWidget()->objectName() : QString(); }

void tipkaj(QWidget* w, const QString& tekst) {
  for (const QChar c : tekst)
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// The names in the grid, in its order, case-folded (each backend keeps one spelling of a
// partner whose rows differ only in case): the table below writes them so.
QStringList trazi(frmKupciEMail& f, const QString& tekst, bool odPocetka) {
  chk(f)->setChecked(odPocetka);
  txt(f)->setText(tekst);  // a change, as typing makes
  QStringList out;
  for (int r = 0; r < grid(f)->rowCount(); ++r) out << grid(f)->item(r, 1)->text().toCaseFolded();
  return out;
}

SqlVeza sqlite(const QString& put) { return platform::procitajVezu("QSQLITE", "database=" + put); }

// Shows the form modally with Prikaži and runs akcija inside; true when that closed the form
// (one left open is hidden, so that a fault fails the test instead of hanging it).
bool prikazi(frmKupciEMail& f, const QString& pocetni, std::function<void()> akcija) {
  bool zatvoren = false;
  whenModalRuns(&f, [&] {
    if (QTest::qWaitForWindowActive(&f)) akcija();
    zatvoren = !f.isVisible();
  });
  f.Prikaži(pocetni);
  return zatvoren;
}

}  // namespace

class TstPretragaKomitenata : public QObject {
  Q_OBJECT
  TestEnv env;
  ScriptedDialogs boxes;
  PostgresPeer pg{QStringLiteral("127.0.0.6")};
  QString sqliteBaza;
  RecordSet rs;

  void koristi(const QString& backend) {
    if (backend == "postgresql") return koristiBazu("QPSQL", pg.connection("velkor"));
    if (backend == "postgresql \\") return koristiBazu("QPSQL", pg.connection("velkor_esc"));
    koristiBazu("QSQLITE", "database=" + sqliteBaza);
  }

 private slots:
  void initTestCase() {
    sqliteBaza = env.path("komitenti.sqlite");
    const QString greska = napraviSqliteBazu(sqliteBaza);
    QVERIFY2(greska.isEmpty(), qPrintable(greska));
    QVERIFY2(pg.start(), qPrintable(pg.errorString()));
    QVERIFY2(pg.exec(QStringLiteral("CREATE DATABASE velkor")), qPrintable(pg.errorString()));
    QVERIFY2(pg.exec(sqlPostgresBaze(), QStringLiteral("velkor")), qPrintable(pg.errorString()));
    // A server where "\" escapes inside strings, with a table the search must never reach.
    QVERIFY2(pg.exec("CREATE DATABASE velkor_esc; "
                     "ALTER DATABASE velkor_esc SET standard_conforming_strings = off"),
             qPrintable(pg.errorString()));
    QVERIFY2(pg.exec(sqlPostgresBaze() + "CREATE TABLE tajno (korisnik text, lozinka text);"
                                         "INSERT INTO tajno VALUES ('admin', 'tajna');",
                     QStringLiteral("velkor_esc")),
             qPrintable(pg.errorString()));
  }

  void cleanup() {
    QVERIFY2(boxes.calls.isEmpty(), qPrintable(boxes.texts().join(" | ")));
    core::DeleteSetting("Velkor", "Settings", kKljuc);
  }

  // Connection texts as the settings hold them; nothing stored, or a SQLite connection
  // without a file, means the bundled database.
  void citanjeVeze() {
    SqlVeza v = platform::procitajVezu(
        " QPSQL ", "Database=velkor; HOST=127.0.0.6;port=5433;user=pg;password={a;b=c};x=1");
    QCOMPARE(QStringList({v.driver, v.database, v.host, QString::number(v.port), v.user,
                          v.password}),
             QStringList({"QPSQL", "velkor", "127.0.0.6", "5433", "pg", "a;b=c"}));
    v = platform::procitajVezu("QSQLITE", "garbage;;database=/x/y.db;port=x;");
    QCOMPARE(v.database + " " + QString::number(v.port), QString("/x/y.db -1"));
    const QString ugradena = VELKOR_SOURCE_DIR "/data/komitenti.sqlite";
    QCOMPARE(platform::vezaIzPostavki().driver + platform::vezaIzPostavki().database, "QSQLITE" + ugradena);
    koristiBazu("QSQLITE", "options=QSQLITE_BUSY_TIMEOUT=100");
    v = platform::vezaIzPostavki();
    QCOMPARE(v.database + " " + v.options, ugradena + " QSQLITE_BUSY_TIMEOUT=100");
  }

  void sqliteFunkcijeKaoNaPosluzitelju() {
    SqlPristup p(sqlite(sqliteBaza));
    QVERIFY2(p.OtvoriRS(nullptr,
                        "SELECT LEN('ab  '), LEN('  ab'), LEN(NULL), LEN('čćž'), LEN(''), "
                        "'ČAKOVEC' LIKE 'čak%', 'Cakovec' LIKE 'čak%', 'ĐURO' LIKE '%ur_', "
                        "'a😀b' LIKE 'a_b', 'a_c' LIKE 'a!_c' ESCAPE '!', "
                        "'abc' LIKE 'a!_c' ESCAPE '!', "
                        "'xaybzc' LIKE '%a%b%c', 'xaybz' LIKE '%a%b%c', NULL LIKE 'a'",
                        rs, true, false),
             qPrintable(p.greska()));
    QStringList dobiveno;
    for (int i = 0; i < rs.FieldCount(); ++i)
      dobiveno << (rs.Value(i).isNull() ? "NULL" : rs.Value(i).toString());
    QCOMPARE(dobiveno.join(' '), QString("2 4 NULL 3 0 1 0 1 1 1 0 1 0 NULL"));
  }

  // The database is opened read-only; a failure stays a failure and leaves no old rows.
  void bazaSeNeMijenja_neuspjehJeNeuspjeh() {
    const QByteArray prije = readWholeFile(sqliteBaza);
    SqlPristup p(sqlite(sqliteBaza));
    QVERIFY(p.OtvoriRS(nullptr, "SELECT 1", rs, true, false));
    QVERIFY(!p.OtvoriRS(nullptr, "DELETE FROM Komitent", rs, true, false));
    QVERIFY(!p.OtvoriRS(nullptr, "CREATE TABLE x (a)", rs, true, false));
    QVERIFY(!p.greska().isEmpty());
    QCOMPARE(rs.State(), 0);  // the earlier result is gone
    QCOMPARE(rs.RecordCount(), 0);
    QVERIFY(p.OtvoriRS(nullptr, "SELECT 1", rs, true, false));  // and it recovers
    QCOMPARE(readWholeFile(sqliteBaza), prije);
    const QString nema = env.path("nema.sqlite");
    QVERIFY(!SqlPristup(sqlite(nema)).OtvoriRS(nullptr, "SELECT 1", rs, true, false));
    QVERIFY(!QFile::exists(nema));

    const SqlVeza bezDrivera = platform::procitajVezu("QNEPOSTOJI", "");
    QVERIFY(!SqlPristup(bezDrivera).OtvoriRS(nullptr, "SELECT 1", rs, true, false));  // no box
    // Asked to, the object itself names the failure.
    QVERIFY(!SqlPristup(bezDrivera).OtvoriRS(nullptr, "SELECT 1", rs, true, true));
    QCOMPARE(boxes.calls.size(), 1);
    QVERIFY(boxes.last().text.startsWith("Desila se greška: "));
    QVERIFY(boxes.last().text.contains("QNEPOSTOJI"));
    QCOMPARE(boxes.last().icon, platform::MsgIcon::Exclamation);
    boxes.calls.clear();
  }

  void pretraga_data() {
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("tekst");
    QTest::addColumn<bool>("odPocetka");
    QTest::addColumn<QStringList>("nazivi");
    const struct {
      const char* ime;
      const char* tekst;
      bool odPocetka;
      QStringList nazivi;
    } slucajevi[] = {
        // A name or an address that begins so, or holds it anywhere.
        {"prefix", "trgov", true, {"ana horvat", "trgovina marić j.d.o.o."}},
        {"anywhere", "trgov", false,
         {"ana horvat", "đurđevac trgovina", "trgovina marić j.d.o.o."}},
        {"address prefix", "pekara@", true, {"zagrebačka pekara d.o.o."}},
        // Rows run in order: if this reached the database, the rows after it would fail.
        {"injection", "x') OR 1=1; DROP TABLE dbo.Komitent; --", false, {}},
        {"quote, prefix", "O'Br", true, {"o'brien pub"}},
        {"Croatian letter, any case", "ČIST", true, {"čistoća d.o.o."}},
        {"c is not č", "cist", true, {}},
        {"distinct: 4 rows, 2 pairs", "konz", true, {"konzum točka d.d.", "konzum točka d.d."}},
        // Every partner with an address, in Croatian order: C Č Ć D Đ ... S Š ... Z Ž.
        {"ordered by name", ".hr", false,
         {"ana horvat", "caffe bar o'hara", "cvjećarnica ruža", "čistoća d.o.o.",
          "ćosić i sinovi d.o.o.", "dubrava promet d.d.", "đurđevac trgovina", "konzum točka d.d.",
          "konzum točka d.d.", "lovrić stolarija", "o'brien pub", "sava osiguranje",
          "šumarija gospić", "trgovina marić j.d.o.o.", "zagrebačka pekara d.o.o.", "žitar d.d."}},
        {"NULL, empty and blank addresses", "obrt", false, {}},
        {"one character (blanks trimmed)", "  K  ", true, {}},
    };
    for (const char* backend : {"sqlite", "postgresql"})
      for (const auto& s : slucajevi)
        QTest::addRow("%s: %s", backend, s.ime)
            << QString(backend) << QString(s.tekst) << s.odPocetka << s.nazivi;
    for (const auto& s : {slucajevi[0], slucajevi[4]})
      QTest::addRow("postgresql \\: %s", s.ime)
          << "postgresql \\" << QString(s.tekst) << s.odPocetka << s.nazivi;
    for (const char* backend : {"sqlite", "postgresql", "postgresql \\"})
      QTest::addRow("%s: backslash, quote and UNION", backend)
          << QString(backend) << "\\') UNION SELECT korisnik, lozinka FROM tajno --" << false
          << QStringList();
  }
  void pretraga() {
    QFETCH(QString, backend);
    QFETCH(QString, tekst);
    QFETCH(bool, odPocetka);
    koristi(backend);
    frmKupciEMail f;
    QTEST(trazi(f, tekst, odPocetka), "nazivi");
  }

  // Enter in the box takes the current (first) row; Down goes into the grid when it has rows.
  // Esc from anywhere, and the close box, leave with nothing chosen. Typing, then Enter or Esc
  // in the box, is the send form's search (sender/tst_frmslanjeemaila, trazenjeKupca).
  void odabir_data() {
    QTest::addColumn<QString>("pocetni");  // given to Prikaži: searched at once
    QTest::addColumn<QString>("tekst");    // typed
    QTest::addColumn<QString>("nacin");
    QTest::addColumn<int>("red");  // the row whose address is chosen; -1: none
    QTest::newRow("given at opening, Enter") << "Žitar" << "" << "box" << 0;
    QTest::newRow("Down, Down, Enter") << "" << "konzum točka" << "grid" << 1;
    QTest::newRow("double-click") << "" << "konzum točka" << "double-click" << 1;
    QTest::newRow("Enter without rows") << "" << "x" << "box" << -1;
    for (const char* gdje : {"fgŠifre", "chkPrikazŠifriPretrPoPoč"})
      QTest::addRow("Esc in %s", gdje) << "" << "konzum" << QString("Esc ") + gdje << -1;
    QTest::newRow("close box") << "konzum" << "" << "close" << -1;
  }
  void odabir() {
    QFETCH(QString, pocetni);
    QFETCH(QString, tekst);
    QFETCH(QString, nacin);
    QFETCH(int, red);
    koristi("sqlite");
    frmKupciEMail f;
    QString ocekivano, fokusNakonDolje;
    QVERIFY(prikazi(f, pocetni, [&] {
      tipkaj(txt(f), tekst);
      if (red >= 0) ocekivano = red < grid(f)->rowCount() ? grid(f)->item(red, 2)->text() : "?";
      if (nacin == "box") return QTest::keyClick(txt(f), Qt::Key_Return);
      if (nacin == "close") return void(f.close());
      if (QWidget* w = f.findChild<QWidget*>(nacin.mid(4)); nacin.startsWith("Esc")) {
        w->setFocus();
        return QTest::keyClick(w, Qt::Key_Escape);
      }
      QTest::keyClick(txt(f), Qt::Key_Down);
      fokusNakonDolje = fokus(f) + QString::number(grid(f)->currentRow());
      if (nacin == "grid") {
        QTest::keyClick(grid(f), Qt::Key_Down);
        return QTest::keyClick(grid(f), Qt::Key_Return);
      }
      const QPoint p = grid(f)->visualRect(grid(f)->model()->index(1, 1)).center();
      QTest::mouseClick(grid(f)->viewport(), Qt::LeftButton, {}, p);
      QTest::mouseDClick(grid(f)->viewport(), Qt::LeftButton, {}, p);
    }));
    if (nacin == "grid" || nacin == "double-click") QCOMPARE(fokusNakonDolje, QString("fgŠifre0"));
    QCOMPARE(f.Odustao, nacin.startsWith("Esc") || nacin == "close");
    QCOMPARE(f.OdabraniEMail, ocekivano);
    QCOMPARE(txt(f)->text(), red < 0 ? QString() : pocetni + tekst);
  }

  void kvacicaSeCuvaKadIzgubiFokus() {
    // Unchecked by default; each use starts from what the last one left.
    for (const bool bila : {false, true}) {
      frmKupciEMail f;
      QCOMPARE(chk(f)->isChecked(), bila);
      f.show();
      QVERIFY(QTest::qWaitForWindowActive(&f));
      chk(f)->setFocus();
      QTest::keyClick(chk(f), Qt::Key_Space);
      QCOMPARE(core::VelkorSetting(kKljuc, "-"), QString(bila ? "1" : "-"));  // not yet
      txt(f)->setFocus();
      QCOMPARE(core::VelkorSetting(kKljuc), QString(bila ? "0" : "1"));
    }
  }

  // A server that goes away: the search window shows an empty grid, not the last rows, and no
  // box (cleanup() checks); restarted, the same object finds the rows again. Last, as it stops
  // the server.
  void posluziteljSePonovoPokrene() {
    koristi("postgresql");
    frmKupciEMail f;
    QCOMPARE(trazi(f, "konz", true).size(), 2);
    SqlPristup p(platform::procitajVezu("QPSQL", pg.connection("velkor")));
    const QString sql = "SELECT ImeKomit1 as Naziv,eMail as eMail FROM dbo.Komitent K "
                        "WHERE LEN(eMail)>0 AND eMail LIKE 'NABAVA@%' ORDER BY 1";
    QVERIFY2(p.OtvoriRS(nullptr, sql, rs, true, false), qPrintable(p.greska()));
    QCOMPARE(rs.RecordCount(), 4);  // citext: case ignored
    pg.stop();
    QCOMPARE(trazi(f, "konzu", true), QStringList());
    QVERIFY2(pg.start(), qPrintable(pg.errorString()));  // the kept connection is dead now
    QVERIFY2(p.OtvoriRS(nullptr, sql, rs, true, false), qPrintable(p.greska()));
    QCOMPARE(rs.RecordCount(), 4);
  }
};

QTEST_MAIN(TstPretragaKomitenata)
#include "tst_pretragakomitenata.moc"
