// The workbook export read back by openpyxl, its failures, the private file handed to the
// spreadsheet program, and the hand-over to the CSV form.
#include "platform/SpreadsheetWriter.h"
#include "viewers/ViewerTestSupport.h"
#include "viewers/frmOfficeExportPost.h"
#include "viewers/modUExcel.h"

#include <QSqlDatabase>
#include <QSqlQuery>

using namespace platform;
using namespace core;
using namespace viewers;

namespace {

RecordSet uzorak() {
  return recordSet({{"Šifra", adInteger}, {"Naziv", adVarWChar}, {"Cijena", adCurrency},
               {"Datum", adDBTimeStamp}, {"Dan", adDBDate}, {"Aktivan", adBoolean}},
              {{"1", "=1+1", "1.5", "2026-03-01 10:20:30", "2026-03-02", "1"},
               {"2", "Čačak", nullptr, nullptr, nullptr, "0"}});
}

// Each cell as "type:value[:date format]".
QStringList celije(const QJsonArray& red) {
  QStringList out;
  for (const auto& c : red) {
    const QJsonArray a = c.toArray();
    out << a[0].toString() + ':' + a[1].toVariant().toString() +
               (a[2].toString().isEmpty() ? "" : ':' + a[2].toString());
  }
  return out;
}

}  // namespace

class TstPrebaciUExcel : public Fixture {
  Q_OBJECT

 private slots:
  // Header, numbers as numbers, dates as dates, "=1+1" as text, the sheet's name.
  void workbookReadBack_data() {
    QTest::addColumn<bool>("bezZaglavlja");
    QTest::addColumn<bool>("imenujList");
    QTest::addColumn<QString>("list");
    QTest::newRow("header, renamed") << false << true << "Kupci";
    QTest::newRow("no header, name ignored") << true << false << "Sheet1";
  }
  void workbookReadBack() {
    QFETCH(bool, bezZaglavlja);
    QFETCH(bool, imenujList);
    RecordSet rs = uzorak();
    rs.MoveLast();
    const QString put = env->path("izvoz.xlsx");
    PrebaciUExcel(rs, bezZaglavlja, false, imenujList, put, "Kupci");
    QCOMPARE(dlg->texts(), QStringList{"Podaci su eksportirani u datoteku: " + put});
    QCOMPARE(dlg->last().icon, MsgIcon::Information);
    QCOMPARE(rs.Value(0).toInt(), 2);  // the caller's position is kept
    const QJsonObject o = procitajIzvoz({"xlsx", put}).object();
    QTEST(o["sheet"].toString(), "list");
    const QJsonArray redovi = o["rows"].toArray();
    QCOMPARE(redovi.size(), bezZaglavlja ? 2 : 3);
    if (!bezZaglavlja)
      QCOMPARE(celije(redovi[0].toArray()),
               QStringList({"str:Šifra", "str:Naziv", "str:Cijena", "str:Datum", "str:Dan", "str:Aktivan"}));
    QCOMPARE(celije(redovi[bezZaglavlja ? 0 : 1].toArray()),
             QStringList({"int:1", "str:=1+1", "float:1.5:#,##0.00", "datetime:2026-03-01 10:20:30:dd.mm.yyyy hh:mm:ss",
                          "datetime:2026-03-02 00:00:00:dd.mm.yyyy", "bool:true"}));
    QCOMPARE(celije(redovi.last().toArray()),
             QStringList({"int:2", "str:Čačak", "NoneType:", "NoneType:", "NoneType:", "bool:false"}));
  }

  // Every failure is "Greška: …" and leaves an existing file as it was.
  void failures_data() {
    QTest::addColumn<QString>("imeLista");
    QTest::addColumn<QString>("datoteka");
    QTest::addColumn<QString>("prebacujUCSV");
    QTest::addColumn<int>("dugiTekst");
    QTest::addColumn<QString>("poruka");
    QTest::newRow("sheet name") << "a/b" << "stari.xlsx" << "" << 0
        << "Greška: Ime lista \"a/b\" ne smije sadržavati znak /.";
    QTest::newRow("long sheet name") << QString(32, 'x') << "stari.xlsx" << "" << 0
        << "Greška: Ime lista \"" + QString(32, 'x') + "\" dulje je od 31 znaka.";
    QTest::newRow("text too long") << "" << "stari.xlsx" << "" << 32768
        << "Greška: Tekst je dulji od 32767 znakova (redak 4, stupac 2).";
    QTest::newRow("text at the limit") << "" << "stari.xlsx" << "" << 32767 << "";
    QTest::newRow("unwritable path") << "" << "nema/mape/x.xlsx" << "" << 0
        << "Greška: Datoteka %1 se ne može spremiti: ";
    QTest::newRow("setting not a Boolean") << "" << "stari.xlsx" << "možda" << 0
        << "Greška: Postavka \"PrebacujUCSV\" nema logičku vrijednost: možda";
  }
  void failures() {
    QFETCH(QString, imeLista);
    QFETCH(QString, datoteka);
    QFETCH(QString, prebacujUCSV);
    QFETCH(int, dugiTekst);
    QFETCH(QString, poruka);
    const QString put = env->path(datoteka);
    env->writeFile("stari.xlsx", "stari");
    SaveVelkorSetting("PrebacujUCSV", prebacujUCSV);
    RecordSet rs = uzorak();
    if (dugiTekst) rs.AddRow({3, QString(dugiTekst, QChar(u'ž'))});
    PrebaciUExcel(rs, false, false, true, put, imeLista);
    QCOMPARE(dlg->calls.size(), 1);
    if (poruka.isEmpty()) {
      QVERIFY(dlg->last().text.startsWith("Podaci su eksportirani"));
      return;
    }
    if (poruka.contains("%1")) poruka = poruka.arg(put);
    QVERIFY2(dlg->last().text.startsWith(poruka), qPrintable(dlg->last().text));
    QCOMPARE(dlg->last().icon, MsgIcon::None);
    QCOMPARE(readWholeFile(env->path("stari.xlsx")), QByteArray("stari"));
    QCOMPARE(QDir(env->path()).entryList(QDir::Files | QDir::Hidden), QStringList({"resolv.conf", "stari.xlsx"}));
  }

  // Infinities and NaN, which readers refuse in a number cell, are written as text and the
  // user is told how many.
  void nonFinite() {
    RecordSet rs = recordSet({{"Iznos", adDouble}}, {{"inf"}, {"-inf"}, {"nan"}, {"1.5"}});
    const QString put = env->path("n.xlsx");
    PrebaciUExcel(rs, true, false, false, put, "");
    QCOMPARE(dlg->texts(), QStringList{"Podaci su eksportirani u datoteku: " + put +
                                     "\nVrijednosti koje nisu brojevi (beskonačno, NaN): 3; zapisane su kao tekst."});
    QStringList stupac;
    for (const auto& red : procitajIzvoz({"xlsx", put})["rows"].toArray()) stupac += celije(red.toArray());
    QCOMPARE(stupac, QStringList({"str:inf", "str:-inf", "str:nan", "float:1.5"}));
  }

  // An SQLite table's columns typed from their declarations, as SQL Server's would be:
  // real dates, the money format, whole numbers, Booleans; an expression stays as it came.
  void sqliteDeclaredTypes() {
    RecordSet rs;
    {
      QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "tipovi");
      db.setDatabaseName(":memory:");
      QVERIFY(db.open());
      QSqlQuery q(db);
      QVERIFY(q.exec("CREATE TABLE t (d DATE, dt DATETIME, iznos DECIMAL(12,2), n INTEGER, ok BOOLEAN, naziv VARCHAR(20))"));
      QVERIFY(q.exec("INSERT INTO t VALUES ('2026-03-01', '2026-03-01 10:20:30', 1234.5, 7, 1, 'Čačak'),"
                     " (NULL, '2026-03-02T08:00:00', 12, 8, 0, 'x')"));
      QVERIFY(q.exec("SELECT d, dt, iznos, n, ok, naziv, n * 2 AS dvaput FROM t"));
      rs = RecordSet::fromQuery(q);
    }
    QSqlDatabase::removeDatabase("tipovi");
    QList<int> tipovi;
    for (int i = 0; i < rs.FieldCount(); ++i) tipovi << rs.FieldType(i);
    QCOMPARE(tipovi, QList<int>({adDBDate, adDBTimeStamp, adNumeric, adInteger, adBoolean, adVarWChar, adInteger}));
    const QString put = env->path("s.xlsx");
    ZapisiRadnuKnjigu(rs, false, "", put);
    const QJsonArray redovi = procitajIzvoz({"xlsx", put})["rows"].toArray();
    QCOMPARE(celije(redovi[1].toArray()),
             QStringList({"datetime:2026-03-01 00:00:00:dd.mm.yyyy", "datetime:2026-03-01 10:20:30:dd.mm.yyyy hh:mm:ss",
                          "float:1234.5:#,##0.00", "int:7", "bool:true", "str:Čačak", "int:14"}));
    QCOMPARE(celije(redovi[2].toArray()),
             QStringList({"NoneType:", "datetime:2026-03-02 08:00:00:dd.mm.yyyy hh:mm:ss", "int:12:#,##0.00",
                          "int:8", "bool:false", "str:x", "int:16"}));
  }

  void rowLimit() {
    SpreadsheetWriter w(env->path("r.xlsx"), "Sheet1");
    w.writeText(SpreadsheetWriter::kMaxRows - 1, 0, "zadnji");
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, w.writeText(SpreadsheetWriter::kMaxRows, 0, "x"));
  }

  // An empty set: the message, nothing opened; unchecked, a workbook with its header only.
  void emptySet() {
    RecordSet rs({{"A", adInteger}});
    PrebaciUExcel(rs, false, false, false, env->path("p.xlsx"), "");
    QCOMPARE(dlg->texts(), QStringList{"Ne postoje zapisi koji bi se mogli prebaciti !"});
    QCOMPARE(dlg->last().icon, MsgIcon::Information);
    QVERIFY(!QFile::exists(env->path("p.xlsx")));
    PrebaciUExcel(rs, false, true, false, env->path("p.xlsx"), "");
    QCOMPARE(procitajIzvoz({"xlsx", env->path("p.xlsx")})["rows"].toArray().size(), 1);
  }

  // Without a file name: a private file opened by xdg-open, started on its own; removed
  // with its folder when the host exits, unless the user saved over it there.
  void opensInSpreadsheetProgram() {
    StandIns z({"xdg-open"});
    RecordSet rs = uzorak();
    PrebaciUExcel(rs, false, false, false, "", "");
    QCOMPARE(dlg->texts(), QStringList());
    QTRY_COMPARE(z.calls("xdg-open").value(0).size(), 1);
    const QFileInfo fi(z.calls("xdg-open")[0][0]);
    QCOMPARE(fi.suffix(), "xlsx");
    const auto drugi = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    QCOMPARE(int(fi.permissions() & (drugi | QFile::ReadOwner)), int(QFile::ReadOwner));
    QCOMPARE(int(QFileInfo(fi.absolutePath()).permissions() & drugi), 0);
    QCOMPARE(procitajIzvoz({"xlsx", fi.filePath()})["rows"].toArray().size(), 3);
    PrebaciUExcel(rs, false, false, false, "", "");
    QTRY_COMPARE(z.calls("xdg-open").size(), 2);
    const QString spremljena = z.calls("xdg-open")[1][0];
    QFile f(spremljena);
    QVERIFY(f.open(QIODevice::Append) && f.write("spremio korisnik") > 0);
    f.close();
    PocistiPrivremeneKnjige();
    QVERIFY(!QFileInfo::exists(fi.absolutePath()));
    QVERIFY(QFileInfo::exists(spremljena));
    QDir(QFileInfo(spremljena).absolutePath()).removeRecursively();
  }

  // "PrebacujUCSV" true hands a clone to the CSV form.
  void toCsvForm() {
    SaveVelkorSetting("PrebacujUCSV", "True");
    RecordSet rs = uzorak();
    QString otvoreno;
    QTimer::singleShot(0, [&] {
      auto* f = qobject_cast<frmOfficeExportPost*>(QApplication::activeModalWidget());
      if (!f) return;
      otvoreno = f->windowTitle() + QString::number(f->rsPodaci->RecordCount());
      f->findChild<QPushButton*>("cmdIzlaz")->click();
    });
    PrebaciUExcel(rs, false, false, false, env->path("n.xlsx"), "");
    QCOMPARE(otvoreno, "Postavke za export u CSV i prikaz datoteke2");
    QVERIFY(!QFile::exists(env->path("n.xlsx")));
  }
};

QTEST_MAIN(TstPrebaciUExcel)
#include "tst_prebaciuexcel.moc"
