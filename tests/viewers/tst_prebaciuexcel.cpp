// The workbook export read back by openpyxl, its failures, the private file handed to the
// spreadsheet program, and the hand-over to the CSV form.
#include "platform/SpreadsheetWriter.h"
#include "viewers/ViewerTestSupport.h"
#include "viewers/frmOfficeExportPost.h"
#include "viewers/modUExcel.h"

#include <QSqlDatabase>
#include <QSqlError>
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

// A set a table row names: the sample, numbers a number cell cannot hold, an SQLite table's
// columns, or none.
RecordSet skup(const QString& ime) {
  if (ime == "uzorak") return uzorak();
  if (ime == "nebrojevi") return recordSet({{"Iznos", adDouble}}, {{"inf"}, {"-inf"}, {"nan"}, {"1.5"}});
  if (ime == "prazan") return RecordSet({{"A", adInteger}});
  RecordSet rs;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "tipovi");
    db.setDatabaseName(":memory:");
    QSqlQuery q(db);
    if (!db.open() ||
        !q.exec("CREATE TABLE t (d DATE, dt DATETIME, iznos DECIMAL(12,2), n INTEGER, ok BOOLEAN,"
                " naziv VARCHAR(20))") ||
        !q.exec("INSERT INTO t VALUES ('2026-03-01', '2026-03-01 10:20:30', 1234.5, 7, 1, 'Čačak'),"
                " (NULL, '2026-03-02T08:00:00', 12, 8, 0, 'x')") ||
        !q.exec("SELECT d, dt, iznos, n, ok, naziv, n * 2 AS dvaput FROM t"))
      qWarning() << q.lastError().text();
    rs = RecordSet::fromQuery(q);
  }
  QSqlDatabase::removeDatabase("tipovi");
  return rs;
}

// A row's cells, each "type:value[:date format]", joined by " | ".
QString celije(const QJsonArray& red) {
  QStringList out;
  for (const auto& c : red) {
    const QJsonArray a = c.toArray();
    out << a[0].toString() + ':' + a[1].toVariant().toString() +
               (a[2].toString().isEmpty() ? "" : ':' + a[2].toString());
  }
  return out.join(" | ");
}

struct Knjiga {
  QString skup;
  bool bezZaglavlja, bezProvjere, imenujList;
  QString list;        // "" no workbook written
  QString poruka;      // %1 the file
  QStringList redovi;  // as openpyxl reads them
};

// A failure: the sheet's name, the file ("" one there already), the setting "PrebacujUCSV",
// the length of a text in a third record (0 none), and the box's start.
struct Greska {
  QString imeLista, datoteka, prebacujUCSV;
  int dugiTekst;
  QString poruka;
};

}  // namespace
Q_DECLARE_METATYPE(Knjiga)
Q_DECLARE_METATYPE(Greska)

class TstPrebaciUExcel : public Fixture {
  Q_OBJECT

 private slots:
  // Header, numbers as numbers, dates as dates, "=1+1" as text, the sheet's name. Infinities
  // and NaN, which readers refuse in a number cell, are text and the user is told how many.
  // SQLite columns are typed from their declarations, as SQL Server's would be: real dates,
  // the money format, whole numbers, Booleans; an expression stays as it came. An empty set:
  // the message, nothing written; unchecked, a workbook with its header only.
  void readBack_data() {
    QTest::addColumn<Knjiga>("k");
    const QString izvezeno = "Podaci su eksportirani u datoteku: %1";
    const QStringList uzorak{
        "int:1 | str:=1+1 | float:1.5:#,##0.00 | datetime:2026-03-01 10:20:30:dd.mm.yyyy hh:mm:ss | "
        "datetime:2026-03-02 00:00:00:dd.mm.yyyy | bool:true",
        "int:2 | str:Čačak | NoneType: | NoneType: | NoneType: | bool:false"};
    QTest::newRow("header, renamed") << Knjiga{"uzorak", false, false, true, "Kupci", izvezeno,
        QStringList{"str:Šifra | str:Naziv | str:Cijena | str:Datum | str:Dan | str:Aktivan"} + uzorak};
    QTest::newRow("no header, name ignored") << Knjiga{"uzorak", true, false, false, "Sheet1", izvezeno, uzorak};
    QTest::newRow("non-finite") << Knjiga{"nebrojevi", true, false, false, "Sheet1", izvezeno +
        "\nVrijednosti koje nisu brojevi (beskonačno, NaN): 3; zapisane su kao tekst.",
        {"str:inf", "str:-inf", "str:nan", "float:1.5"}};
    QTest::newRow("SQLite") << Knjiga{"sqlite", true, false, false, "Sheet1", izvezeno,
        {"datetime:2026-03-01 00:00:00:dd.mm.yyyy | datetime:2026-03-01 10:20:30:dd.mm.yyyy hh:mm:ss | "
         "float:1234.5:#,##0.00 | int:7 | bool:true | str:Čačak | int:14",
         "NoneType: | datetime:2026-03-02 08:00:00:dd.mm.yyyy hh:mm:ss | int:12:#,##0.00 | int:8 | bool:false | "
         "str:x | int:16"}};
    QTest::newRow("empty") << Knjiga{"prazan", false, false, false, "",
                                     "Ne postoje zapisi koji bi se mogli prebaciti !", {}};
    QTest::newRow("empty, unchecked") << Knjiga{"prazan", false, true, false, "Sheet1", izvezeno, {"str:A"}};
  }
  void readBack() {
    QFETCH(Knjiga, k);
    RecordSet rs = skup(k.skup);
    QList<int> tipovi;
    for (int i = 0; k.skup == "sqlite" && i < rs.FieldCount(); ++i) tipovi << rs.FieldType(i);
    if (k.skup == "sqlite")
      QCOMPARE(tipovi, QList<int>({adDBDate, adDBTimeStamp, adNumeric, adInteger, adBoolean, adVarWChar, adInteger}));
    rs.MoveLast();
    const QString put = env->path("izvoz.xlsx");
    PrebaciUExcel(rs, k.bezZaglavlja, k.bezProvjere, k.imenujList, put, "Kupci");
    QCOMPARE(dlg->texts(), QStringList{k.poruka.arg(put)});
    QCOMPARE(dlg->last().icon, MsgIcon::Information);
    if (k.skup == "uzorak") QCOMPARE(rs.Value(0).toInt(), 2);  // the caller's position is kept
    QCOMPARE(QFile::exists(put), !k.list.isEmpty());
    if (k.list.isEmpty()) return;
    const QJsonObject o = procitajIzvoz({"xlsx", put}).object();
    QCOMPARE(o["sheet"].toString(), k.list);
    QStringList redovi;
    for (const auto& red : o["rows"].toArray()) redovi << celije(red.toArray());
    QCOMPARE(redovi, k.redovi);
  }

  // Every failure is "Greška: …" and leaves an existing file as it was.
  void failures_data() {
    QTest::addColumn<Greska>("g");
    const QString dugo(32, 'x');
    QTest::newRow("sheet name") << Greska{"a/b", "", "", 0, "Greška: Ime lista \"a/b\" ne smije sadržavati znak /."};
    QTest::newRow("long sheet name") << Greska{dugo, "", "", 0,
                                               "Greška: Ime lista \"" + dugo + "\" dulje je od 31 znaka."};
    QTest::newRow("text too long") << Greska{"", "", "", 32768,
                                             "Greška: Tekst je dulji od 32767 znakova (redak 4, stupac 2)."};
    QTest::newRow("text at the limit") << Greska{"", "", "", 32767, ""};
    QTest::newRow("unwritable path") << Greska{"", "nema/mape/x.xlsx", "", 0,
                                               "Greška: Datoteka %1 se ne može spremiti: "};
    QTest::newRow("setting not a Boolean") << Greska{"", "", "možda", 0,
                                                     "Greška: Postavka \"PrebacujUCSV\" nema logičku vrijednost: možda"};
  }
  void failures() {
    QFETCH(Greska, g);
    auto& [imeLista, datoteka, prebacujUCSV, dugiTekst, poruka] = g;
    const QString put = env->path(datoteka.isEmpty() ? "stari.xlsx" : datoteka);
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

  void rowLimit() {
    SpreadsheetWriter w(env->path("r.xlsx"), "Sheet1");
    w.writeText(SpreadsheetWriter::kMaxRows - 1, 0, "zadnji");
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, w.writeText(SpreadsheetWriter::kMaxRows, 0, "x"));
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
    OnModal<frmOfficeExportPost> forma([&](frmOfficeExportPost& f) {
      otvoreno = f.windowTitle() + QString::number(f.rsPodaci->RecordCount());
      click(f, "cmdIzlaz");
    });
    PrebaciUExcel(rs, false, false, false, env->path("n.xlsx"), "");
    QCOMPARE(otvoreno, "Postavke za export u CSV i prikaz datoteke2");
    QVERIFY(!QFile::exists(env->path("n.xlsx")));
  }
};

QTEST_MAIN(TstPrebaciUExcel)
#include "tst_prebaciuexcel.moc"
