// Record sets as the host hands them over, and the settings store.
#include <QtTest>

#include "core/SettingsStore.h"
#include "support/Fixture.h"

using namespace core;
using namespace platform;

namespace {

// Five customers in the order the host gave them.
RecordSet kupci() {
  return recordSet({{"Ime", adVarWChar}, {"EMail", adVarWChar}, {"Mjesto", adVarWChar}, {"Iznos", adCurrency},
                    {"Datum", adDate}},
                   {{"Zvonko", "zvonko@firma.hr", "Zagreb", "20", "2026-03-15"},
                    {"ana", "ana-bez-monkeya", "Split", "100", "2025-12-31"},
                    {"Čedo", "cedo@firma.hr", "Zagreb", "3.5", "2026-01-01"},
                    {"Božo", nullptr, "Split", "100", nullptr},
                    {"Ćiro", "ciro@firma.hr", "Osijek", nullptr, "2024-06-01"}});
}

QStringList imena(RecordSet& rs) {
  QStringList out;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) out << rs.Value("ime").toString();
  return out;
}

}  // namespace

class TstStorage : public Fixture {
  Q_OBJECT

 private slots:
  void walk_readsByNameAndPosition_getRows() {
    RecordSet rs = kupci();
    QCOMPARE(rs.RecordCount(), 5);
    QCOMPARE(imena(rs), QStringList({"Zvonko", "ana", "Čedo", "Božo", "Ćiro"}));
    QVERIFY(!rs.Value(0).isValid());  // nothing is current at EOF
    rs.MoveFirst();
    for (int i = 0; i < 3; ++i) rs.MoveNext();
    QVERIFY(rs.Value("EMail").isNull());
    QCOMPARE(rs.Value(0).toString(), QString("Božo"));
    // GetRows: the rest from the current row, as [field][row]; the cursor ends at EOF.
    const auto redovi = rs.GetRows();
    QCOMPARE(redovi.size(), 5);
    QCOMPARE(redovi[0], QList<QVariant>({"Božo", "Ćiro"}));
    QCOMPARE(redovi[3].size(), 2);
    QVERIFY(redovi[3][1].isNull());  // Ćiro's Iznos
    QVERIFY(rs.Eof());
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
    QCOMPARE(imena(host), QStringList({"Zvonko", "Čedo", "Ćiro"}));
    QCOMPARE(imena(staraKopija), QStringList({"Zvonko", "Čedo", "Ćiro"}));
    QCOMPARE(host.RecordCount(), 3);
    // What the host reads back after the call, row by row.
    const auto redovi = host.rows();
    QCOMPARE(redovi.size(), 3);
    QCOMPARE(redovi[1][0].toString(), QString("Čedo"));
    // A new sort order is built from the rows that are left.
    host.SetSort("[Ime]");
    QCOMPARE(imena(host), QStringList({"Čedo", "Ćiro", "Zvonko"}));
    // The last row, then all.
    host.MoveLast();
    host.Delete();
    host.MoveNext();
    QVERIFY(host.Eof());
    for (host.MoveFirst(); !host.Eof(); host.MoveNext()) host.Delete();
    QCOMPARE(komponenta.RecordCount(), 0);
    host.MoveFirst();
    QVERIFY(host.Eof() && host.Bof());
    QCOMPARE(host.GetRows().value(0).size(), 0);
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
    QCOMPARE(imena(rs), QStringList({"Zvonko", "ana", "Božo", "Ćiro"}));  // own order
  }

  // Values are held by column, yet each keeps its own type and nullness: nulls before the
  // column's first value, text a host gave in a number column, a typed null, later changes.
  void valuesKeepTheirTypes() {
    RecordSet rs({{"A", adInteger}, {"B", adVarWChar}});
    const QList<QVariant> a{QVariant(), QVariant(QMetaType::fromType<int>()), 5, "x", qlonglong(7), 2.5, true};
    for (const QVariant& v : a) rs.AddRow({v, v.isValid() ? QVariant() : QVariant("t")});
    const auto opis = [&rs] {
      QStringList out;
      for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        for (int f = 0; f < 2; ++f) {
          const QVariant v = rs.Value(f);
          out << QString(v.isValid() ? v.typeName() : "-") + (v.isNull() ? "" : ":" + v.toString());
        }
      return out.join(' ');
    };
    QCOMPARE(opis(), "- QString:t int - int:5 - QString:x - qlonglong:7 - double:2.5 - bool:true -");
    rs.MoveFirst();
    rs.SetValue(0, 9);
    rs.SetValue(1, QVariant());
    rs.MoveNext();
    rs.MoveNext();
    rs.SetValue(0, QVariant());
    rs.SetValue(1, "novi");
    QCOMPARE(opis(), "int:9 - int - - QString:novi QString:x - qlonglong:7 - double:2.5 - bool:true -");
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
    QTest::newRow("dates by time") << "[Datum]"
                                   << QStringList({"Božo", "Ćiro", "ana", "Čedo", "Zvonko"});
    QTest::newRow("two keys, explicit ASC, lower case name")
        << "[mjesto] ASC, [Iznos] desc"
        << QStringList({"Ćiro", "ana", "Božo", "Zvonko", "Čedo"});
    QTest::newRow("empty restores stored order")
        << "" << QStringList({"Zvonko", "ana", "Čedo", "Božo", "Ćiro"});
  }
  void sort() {
    QFETCH(QString, izraz);
    RecordSet rs = kupci();
    rs.SetSort("[Ime] DESC");
    rs.SetSort(izraz);
    QCOMPARE(rs.Sort(), izraz);
    QTEST(imena(rs), "imena");
  }

  void storedValues_roundTrip_data() {
    QTest::addColumn<QString>("kljuc");
    QTest::addColumn<QString>("vrijednost");
    QTest::newRow("Croatian letters") << "mnuEmailPošiljatelj" << "Đuro Šarić <đuro@firma.hr>";
    QTest::newRow("commas and quotes") << "Adrese" << "a@b.hr, c@d.hr; \"x\"";
    QTest::newRow("leading @") << "Čudno" << "@Variant(x)";
    QTest::newRow("empty") << "Prazno" << "";
  }
  void storedValues_roundTrip() {
    QFETCH(QString, kljuc);
    QFETCH(QString, vrijednost);
    QVERIFY(VelkorSetting(kljuc).isNull() && GetSetting("Velkor", "Settings", kljuc, "1") == "1");
    QVERIFY(!QFile::exists(settingsFilePath("Velkor")));  // reading creates nothing
    SaveVelkorSetting(kljuc, vrijednost);
    SaveVelkorSetting("Drugi", "x");  // a second write must not disturb the first
    QCOMPARE(VelkorSetting(kljuc, "zadano"), vrijednost);
    QCOMPARE(GetSetting("Velkor", "Drugo", kljuc, "nema"), QString("nema"));  // sections apart
    DeleteSetting("Velkor", "Settings", kljuc);
    QCOMPARE(VelkorSetting(kljuc, "nema"), QString("nema"));
    QCOMPARE(VelkorSetting("Drugi"), QString("x"));
  }

  // The windows store booleans as "True"/"False" or as "0"/"1", and read either back.
  void booleanForms() {
    for (const char* da : {"True", "true", "-1", "1", " 1 "})
      QVERIFY2(settingToBool(da, false), da);
    for (const char* ne : {"False", "0"}) QVERIFY2(!settingToBool(ne, true), ne);
    QVERIFY(settingToBool("da", true) && !settingToBool("", false));  // else the default
  }

  // Also a file first written by hand with wider rights.
  void fileIsPrivate_andApart() {
    const QString put = env->writeFile("config/Kestrova.ini", "[Settings]\nRemoteHost=posta.velkor.hr\n");
    QVERIFY(QFile::setPermissions(put, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
    SaveSetting("Kestrova", "Settings", "Password", "tajna");
    const auto mode0600 =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;
    QCOMPARE(settingsFilePath("Kestrova"), put);
    QCOMPARE(QFile::permissions(put), mode0600);
    QCOMPARE(GetSetting("Kestrova", "Settings", "RemoteHost"), QString("posta.velkor.hr"));
    SaveSetting("Kestrova", "Settings", "Password", "nova tajna");
    QCOMPARE(QFile::permissions(put), mode0600);
    QCOMPARE(GetSetting("Kestrova", "Settings", "Password"), QString("nova tajna"));
    SaveSetting("Velkor", "Settings", "SMTPPort", "25");
    QCOMPARE(GetSetting("Kestrova", "Settings", "SMTPPort", "nema"), QString("nema"));
    QCOMPARE(QFile::permissions(settingsFilePath("Velkor")), mode0600);
    // The directory is looked up on every call.
    TestEnv drugi;
    QVERIFY(GetSetting("Kestrova", "Settings", "Password").isNull());
  }
};

QTEST_MAIN(TstStorage)
#include "tst_storage.moc"
