// The data-access object: connection settings, the SQLite functions that make the host's
// statements run unchanged, and failures that must stay failures (never a crash or a box).
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include "KomitentiTestData.h"
#include "platform/SqlPristup.h"
#include "platform/SqlVeza.h"
#include "support/PostgresPeer.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

using platform::RecordSet;
using platform::SqlPristup;
using platform::SqlVeza;

namespace {

QByteArray sazetak(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly)
             ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
             : QByteArray();
}

SqlVeza sqlite(const QString& path) {
  SqlVeza v;
  v.driver = QStringLiteral("QSQLITE");
  v.database = path;
  return v;
}

}  // namespace

class TstSqlPristup : public QObject {
  Q_OBJECT
  TestEnv env;
  ScriptedDialogs boxes;
  QString baza;

 private slots:
  void initTestCase() {
    baza = env.path("komitenti.sqlite");
    const QString greska = napraviSqliteBazu(baza);
    QVERIFY2(greska.isEmpty(), qPrintable(greska));
  }
  void init() { boxes.calls.clear(); }

  void citanjeVeze() {
    SqlVeza v = platform::procitajVezu(
        " QPSQL ", "Database=velkor; HOST=127.0.0.6;port=5433;user=pg;password={a;b=c};x=1");
    QCOMPARE(v.driver, QString("QPSQL"));
    QCOMPARE(v.database, QString("velkor"));
    QCOMPARE(v.host, QString("127.0.0.6"));
    QCOMPARE(v.port, 5433);
    QCOMPARE(v.user, QString("pg"));
    QCOMPARE(v.password, QString("a;b=c"));
    // An ODBC connection string with its own braces fits in one value.
    v = platform::procitajVezu("QODBC",
                               "database={DRIVER={FreeTDS};SERVER=db;PORT=1433};user=sa;port=x");
    QCOMPARE(v.database, QString("DRIVER={FreeTDS};SERVER=db;PORT=1433"));
    QCOMPARE(v.user, QString("sa"));
    QCOMPARE(v.port, -1);
    v = platform::procitajVezu("QSQLITE", "garbage;;database=/x/y.db;");
    QCOMPARE(v.database, QString("/x/y.db"));
  }

  void podrazumijevanaJeUgradenaBaza() {
    platform::DeleteSetting("Velkor", "Settings", platform::kKljucSqlDriver);
    platform::DeleteSetting("Velkor", "Settings", platform::kKljucSqlVeza);
    SqlVeza v = platform::vezaIzPostavki();
    QCOMPARE(v.driver, QString("QSQLITE"));
    QCOMPARE(v.database, QString(VELKOR_SOURCE_DIR "/data/komitenti.sqlite"));
    QVERIFY(QFile::exists(v.database));
    qputenv("VELKOR_DATA_DIR", "/opt/velkor-podaci");
    v = platform::vezaIzPostavki();
    qunsetenv("VELKOR_DATA_DIR");
    QCOMPARE(v.database, QString("/opt/velkor-podaci/komitenti.sqlite"));
    // A SQLite connection without a file also means the bundled one.
    koristiBazu("QSQLITE", "options=QSQLITE_BUSY_TIMEOUT=100");
    v = platform::vezaIzPostavki();
    QCOMPARE(v.database, QString(VELKOR_SOURCE_DIR "/data/komitenti.sqlite"));
    QCOMPARE(v.options, QString("QSQLITE_BUSY_TIMEOUT=100"));
    koristiBazu("QPSQL", "database=velkor;host=127.0.0.6");
    QCOMPARE(platform::vezaIzPostavki().database, QString("velkor"));
  }

  void sqliteFunkcijeKaoNaPosluzitelju() {
    SqlPristup p(sqlite(baza));
    RecordSet rs;
    QVERIFY2(p.OtvoriRS(nullptr,
                        "SELECT LEN('ab  '), LEN('  ab'), LEN(NULL), LEN('čćž'), LEN(''), "
                        "'ČAKOVEC' LIKE 'čak%', 'Cakovec' LIKE 'čak%', 'ĐURO' LIKE '%ur_', "
                        "'a😀b' LIKE 'a_b', 'a_c' LIKE 'a!_c' ESCAPE '!', 'abc' LIKE 'a!_c' ESCAPE '!', "
                        "'xaybzc' LIKE '%a%b%c', 'xaybz' LIKE '%a%b%c', NULL LIKE 'a'",
                        rs, true, false),
             qPrintable(p.greska()));
    const QList<QVariant> ocekivano{2, 4, QVariant(), 3, 0, 1, 0, 1, 1, 1, 0, 1, 0, QVariant()};
    QCOMPARE(rs.FieldCount(), ocekivano.size());
    for (int i = 0; i < ocekivano.size(); ++i) {
      const QVariant v = rs.Value(i);
      QVERIFY2(ocekivano[i].isNull() ? v.isNull() : v.toInt() == ocekivano[i].toInt(),
               qPrintable(QString("column %1: %2").arg(i).arg(v.toString())));
    }
    // The table answers under the host's schema name, and by position.
    QVERIFY(p.OtvoriRS(nullptr, "SELECT ImeKomit1 as Naziv, eMail FROM dbo.Komitent WHERE SifKomit=1",
                       rs, true, false));
    QCOMPARE(rs.RecordCount(), 1);
    QCOMPARE(rs.Value(0).toString(), QString("Čistoća d.o.o."));
    QCOMPARE(rs.Value("eMail").toString(), QString("uprava@cistoca.example"));
  }

  void bazaSeNikadNeMijenja() {
    const QByteArray prije = sazetak(baza);
    SqlPristup p(sqlite(baza));
    RecordSet rs;
    QVERIFY(!p.OtvoriRS(nullptr, "DELETE FROM Komitent", rs, true, false));
    QVERIFY(!p.OtvoriRS(nullptr, "CREATE TABLE x (a)", rs, true, false));
    QCOMPARE(sazetak(baza), prije);
    const QString nema = env.path("nema.sqlite");
    QVERIFY(!SqlPristup(sqlite(nema)).OtvoriRS(nullptr, "SELECT 1", rs, true, false));
    QVERIFY(!QFile::exists(nema));
    QVERIFY(boxes.calls.isEmpty());
  }

  void neuspjehJeNeuspjeh() {
    RecordSet rs;
    SqlPristup losSql(sqlite(baza));
    QVERIFY(!losSql.OtvoriRS(nullptr, "SELECT * FROM dbo.Nepostojeca", rs, true, false));
    QVERIFY(!losSql.greska().isEmpty());
    QCOMPARE(rs.State(), 0);
    QCOMPARE(rs.RecordCount(), 0);
    // The same object recovers on the next good statement.
    QVERIFY(losSql.OtvoriRS(nullptr, "SELECT 1", rs, true, false));
    QCOMPARE(rs.RecordCount(), 1);

    SqlVeza bezDrivera;
    bezDrivera.driver = "QNEPOSTOJI";
    QVERIFY(!SqlPristup(bezDrivera).OtvoriRS(nullptr, "SELECT 1", rs, true, false));
    QVERIFY(boxes.calls.isEmpty());

    // Asked to, the object itself names the failure.
    QVERIFY(!SqlPristup(bezDrivera).OtvoriRS(nullptr, "SELECT 1", rs, true, true));
    QCOMPARE(boxes.calls.size(), 1);
    QVERIFY(boxes.last().text.startsWith("Desila se greška: "));
    QVERIFY(boxes.last().text.contains("QNEPOSTOJI"));
    QCOMPARE(boxes.last().icon, platform::MsgIcon::Exclamation);
  }

  // A server that goes away and comes back: failures meanwhile, the same object after.
  void posluziteljNestaneIVrati() {
    PostgresPeer pg(QStringLiteral("127.0.0.40"));
    QVERIFY2(pg.start(), qPrintable(pg.errorString()));
    QVERIFY2(pg.exec(sqlPostgresBaze()), qPrintable(pg.errorString()));
    SqlPristup p(platform::procitajVezu("QPSQL", pg.connection("postgres")));
    RecordSet rs;
    const QString sql = "SELECT ImeKomit1 as Naziv,eMail as eMail FROM dbo.Komitent K "
                        "WHERE LEN(eMail)>0 AND eMail LIKE 'NABAVA@%' ORDER BY 1";
    QVERIFY2(p.OtvoriRS(nullptr, sql, rs, true, false), qPrintable(p.greska()));
    QCOMPARE(rs.RecordCount(), 4);  // citext: case ignored
    QCOMPARE(rs.FieldName(0), QString("naziv"));  // why columns are read by position
    // Restarted between two searches: the kept connection is dead, the search still works.
    pg.stop();
    QVERIFY2(pg.start(), qPrintable(pg.errorString()));
    QVERIFY2(p.OtvoriRS(nullptr, sql, rs, true, false), qPrintable(p.greska()));
    QCOMPARE(rs.RecordCount(), 4);
    pg.stop();
    QElapsedTimer t;
    t.start();
    QVERIFY(!p.OtvoriRS(nullptr, sql, rs, true, false));
    QVERIFY(!p.OtvoriRS(nullptr, sql, rs, true, false));
    qInfo("two failed queries against a stopped server took %lld ms", t.elapsed());
    QCOMPARE(rs.RecordCount(), 0);
    QVERIFY2(pg.start(), qPrintable(pg.errorString()));
    QVERIFY2(p.OtvoriRS(nullptr, sql, rs, true, false), qPrintable(p.greska()));
    QCOMPARE(rs.RecordCount(), 4);
    QVERIFY(boxes.calls.isEmpty());
  }
};

QTEST_MAIN(TstSqlPristup)
#include "tst_sqlpristup.moc"
