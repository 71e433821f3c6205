#include <QtTest>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "platform/RecordSet.h"
#include "support/TestEnv.h"

using namespace platform;

namespace {

// Ime, EMail, Mjesto, Iznos: five customers in the order the host gave them.
RecordSet kupci() {
  RecordSet rs({{"Ime", adVarWChar}, {"EMail", adVarWChar}, {"Mjesto", adVarWChar},
                {"Iznos", adCurrency}});
  rs.AddRow({"Zvonko", "zvonko@firma.hr", "Zagreb", 20.0});
  rs.AddRow({"ana", "ana-bez-monkeya", "Split", 100.0});
  rs.AddRow({"Čedo", "cedo@firma.hr", "Zagreb", 3.5});
  rs.AddRow({"Božo", QVariant(), "Split", 100.0});
  rs.AddRow({"Ćiro", "ciro@firma.hr", "Osijek", QVariant()});
  rs.MoveFirst();
  return rs;
}

QStringList stupac(RecordSet& rs, const QString& polje) {
  QStringList out;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) out << rs.Value(polje).toString();
  return out;
}

}  // namespace

class TstRecordSet : public QObject {
  Q_OBJECT
  TestEnv env;

 private slots:
  void walk_readsByNameAndPosition() {
    RecordSet rs = kupci();
    QCOMPARE(rs.State(), 1);
    QCOMPARE(rs.RecordCount(), 5);
    QCOMPARE(rs.FieldCount(), 4);
    QCOMPARE(rs.FieldName(3), QString("Iznos"));
    QCOMPARE(rs.FieldType(3), int(adCurrency));
    QCOMPARE(stupac(rs, "ime"), QStringList({"Zvonko", "ana", "Čedo", "Božo", "Ćiro"}));
    QVERIFY(rs.Eof());
    QVERIFY(!rs.Value(0).isValid());  // nothing is current at EOF
    rs.MoveFirst();
    for (int i = 0; i < 3; ++i) rs.MoveNext();
    QVERIFY(rs.Value("EMail").isNull());
    QCOMPARE(rs.Value(0).toString(), QString("Božo"));
    QCOMPARE(RecordSet().State(), 0);
  }

  void delete_isSeenThroughEveryHandle() {
    RecordSet host = kupci();
    RecordSet staraKopija = host.Clone();
    RecordSet komponenta = host;  // the handle the composer works on
    // Remove the rows whose address is missing or has no "@", as the recipient list does.
    for (komponenta.MoveFirst(); !komponenta.Eof(); komponenta.MoveNext()) {
      if (!komponenta.Value("EMail").toString().contains('@')) {
        komponenta.Delete();
        QVERIFY(!komponenta.Value(0).isValid());  // the cursor stays on the gap
      }
    }
    QCOMPARE(komponenta.RecordCount(), 3);
    QCOMPARE(host.RecordCount(), 3);
    QCOMPARE(stupac(host, "Ime"), QStringList({"Zvonko", "Čedo", "Ćiro"}));
    QCOMPARE(staraKopija.RecordCount(), 3);
    QCOMPARE(stupac(staraKopija, "Ime"), QStringList({"Zvonko", "Čedo", "Ćiro"}));
    // What the host reads back after the call, row by row.
    const auto redovi = host.rows();
    QCOMPARE(redovi.size(), 3);
    QCOMPARE(redovi[1][0].toString(), QString("Čedo"));
    // A new sort order is built from the rows that are left.
    host.SetSort("[Ime]");
    QCOMPARE(stupac(host, "Ime"), QStringList({"Čedo", "Ćiro", "Zvonko"}));
  }

  void delete_lastAndAll() {
    RecordSet rs = kupci();
    rs.MoveLast();
    QCOMPARE(rs.Value(0).toString(), QString("Ćiro"));
    rs.Delete();
    rs.MoveNext();
    QVERIFY(rs.Eof());
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) rs.Delete();
    QCOMPARE(rs.RecordCount(), 0);
    rs.MoveFirst();
    QVERIFY(rs.Eof());
    QVERIFY(rs.Bof());
    QCOMPARE(rs.GetRows().value(0).size(), 0);
  }

  void clone_ownCursorSharedRows() {
    RecordSet rs = kupci();
    rs.MoveNext();
    RecordSet c = rs.Clone();
    QCOMPARE(c.Value(0).toString(), QString("Zvonko"));  // a clone starts at the first row
    c.MoveNext();
    c.MoveNext();
    QCOMPARE(rs.Value(0).toString(), QString("ana"));    // the original did not move
    c.SetValue(0, "Čedomir");
    rs.MoveNext();
    QCOMPARE(rs.Value(0).toString(), QString("Čedomir"));  // same rows
    c.Delete();
    QCOMPARE(rs.RecordCount(), 4);
    QVERIFY(!rs.Value(0).isValid());
    c.SetSort("[Ime] DESC");
    QCOMPARE(stupac(rs, "Ime"), QStringList({"Zvonko", "ana", "Božo", "Ćiro"}));  // own order
  }

  void sort_data() {
    QTest::addColumn<QString>("izraz");
    QTest::addColumn<QStringList>("imena");
    QTest::newRow("text, Croatian order")
        << "[Ime]" << QStringList({"ana", "Božo", "Čedo", "Ćiro", "Zvonko"});
    QTest::newRow("descending") << "[Ime] DESC"
                                << QStringList({"Zvonko", "Ćiro", "Čedo", "Božo", "ana"});
    QTest::newRow("numbers by value, nulls first")
        << "Iznos" << QStringList({"Ćiro", "Čedo", "Zvonko", "ana", "Božo"});
    QTest::newRow("two keys") << "[Mjesto], [Iznos] DESC"
                              << QStringList({"Ćiro", "ana", "Božo", "Zvonko", "Čedo"});
    QTest::newRow("explicit ASC, lower case name")
        << "[mjesto] ASC, [ime] desc" << QStringList({"Ćiro", "Božo", "ana", "Zvonko", "Čedo"});
    QTest::newRow("empty restores stored order")
        << "" << QStringList({"Zvonko", "ana", "Čedo", "Božo", "Ćiro"});
  }
  void sort() {
    QFETCH(QString, izraz);
    QFETCH(QStringList, imena);
    RecordSet rs = kupci();
    rs.SetSort("[Ime] DESC");
    rs.SetSort(izraz);
    QCOMPARE(rs.Sort(), izraz);
    QCOMPARE(stupac(rs, "Ime"), imena);
  }

  void sort_dates() {
    RecordSet rs({{"Datum", adDate}});
    for (const char* d : {"15.03.2026", "2025-12-31", "1.1.2026"}) {
      const QString t = QString::fromLatin1(d);
      rs.AddRow({RecordSet::fromText(&t, adDate)});
    }
    rs.SetSort("[Datum]");
    QCOMPARE(rs.Value(0).toDateTime().date(), QDate(2025, 12, 31));
    rs.MoveNext();
    QCOMPARE(rs.Value(0).toDateTime().date(), QDate(2026, 1, 1));
    rs.MoveLast();
    QCOMPARE(rs.Value(0).toDateTime().date(), QDate(2026, 3, 15));
  }

  void getRows_fromCurrentRow() {
    RecordSet rs = kupci();
    rs.MoveNext();
    const auto redovi = rs.GetRows();
    QCOMPARE(redovi.size(), 4);  // [field][row]
    QCOMPARE(redovi[0], QList<QVariant>({"ana", "Čedo", "Božo", "Ćiro"}));
    QCOMPARE(redovi[3].size(), 4);
    QVERIFY(redovi[3][3].isNull());
    QVERIFY(rs.Eof());
  }

  void fromText_convertsByType_data() {
    QTest::addColumn<QString>("tekst");
    QTest::addColumn<int>("tip");
    QTest::addColumn<QVariant>("vrijednost");
    QTest::newRow("decimal comma") << "3,5" << int(adDouble) << QVariant(3.5);
    QTest::newRow("decimal point") << "1234.25" << int(adCurrency) << QVariant(1234.25);
    QTest::newRow("integer rounds") << "2.6" << int(adInteger) << QVariant(3);
    QTest::newRow("integer half to even") << "2.5" << int(adInteger) << QVariant(2);
    QTest::newRow("too big for integer stays text")
        << "99999999999" << int(adInteger) << QVariant("99999999999");
    QTest::newRow("big integer exact")
        << "9007199254740993" << int(adBigInt) << QVariant(qlonglong(9007199254740993LL));
    QTest::newRow("not a number stays text") << "dvadeset" << int(adInteger) << QVariant("dvadeset");
    QTest::newRow("Croatian date")
        << "15.03.2026" << int(adDate) << QVariant(QDateTime(QDate(2026, 3, 15), QTime(0, 0)));
    QTest::newRow("ISO timestamp") << "2026-03-15 08:30:00" << int(adDBTimeStamp)
                                   << QVariant(QDateTime(QDate(2026, 3, 15), QTime(8, 30)));
    QTest::newRow("True") << "True" << int(adBoolean) << QVariant(true);
    QTest::newRow("-1") << "-1" << int(adBoolean) << QVariant(true);
    QTest::newRow("0") << "0" << int(adBoolean) << QVariant(false);
    QTest::newRow("text kept as is") << " Đuro " << int(adVarWChar) << QVariant(" Đuro ");
  }
  void fromText_convertsByType() {
    QFETCH(QString, tekst);
    QFETCH(int, tip);
    QFETCH(QVariant, vrijednost);
    const QVariant v = RecordSet::fromText(&tekst, tip);
    QCOMPARE(v.typeId(), vrijednost.typeId());
    QCOMPARE(v, vrijednost);
  }

  void fromText_nullPointerIsNull() {
    QVERIFY(!RecordSet::fromText(nullptr, adInteger).isValid());
  }

  void fromQuery_sqlite() {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "tst_recordset");
    db.setDatabaseName(env.path("kupci.db"));
    QVERIFY(db.open());
    QSqlQuery q(db);
    QVERIFY(q.exec("CREATE TABLE Kupci (Sifra INTEGER, Naziv TEXT, EMail TEXT, Saldo REAL)"));
    QVERIFY(q.exec("INSERT INTO Kupci VALUES (1, 'Šumarija Žužić', 'suma@firma.hr', 10.5),"
                   " (2, 'Đurđa', NULL, -3), (3, 'O''Brien', 'ob@firma.hr', 0)"));
    QVERIFY(q.exec("SELECT Sifra, Naziv, EMail, Saldo FROM Kupci ORDER BY Sifra"));
    RecordSet rs = RecordSet::fromQuery(q);
    QCOMPARE(rs.RecordCount(), 3);
    QCOMPARE(rs.FieldCount(), 4);
    QCOMPARE(rs.FieldName(1), QString("Naziv"));
    QCOMPARE(rs.FieldType(0), int(adInteger));
    QCOMPARE(rs.FieldType(1), int(adVarWChar));
    QCOMPARE(rs.FieldType(3), int(adDouble));
    QCOMPARE(rs.Value("Naziv").toString(), QString("Šumarija Žužić"));
    rs.MoveNext();
    QVERIFY(rs.Value("EMail").isNull());
    QCOMPARE(rs.Value("Saldo").toDouble(), -3.0);
    rs.MoveNext();
    QCOMPARE(rs.Value(1).toString(), QString("O'Brien"));
    q = QSqlQuery();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("tst_recordset");
  }
};

QTEST_MAIN(TstRecordSet)
#include "tst_recordset.moc"
