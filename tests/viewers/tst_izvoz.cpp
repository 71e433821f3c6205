// The exports: the CSV file and its form, the bytes of each format read back by Python's csv,
// the checks with their messages and focus, batches and cancelling, the batch-size menu; the
// workbook read back by openpyxl, its failures, the private file handed to the spreadsheet
// program, and the hand-over to the CSV form.
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "platform/SpreadsheetWriter.h"
#include "viewers/CsvIzvoz.h"
#include "viewers/ViewerTestSupport.h"
#include "viewers/frmOfficeExportPost.h"
#include "viewers/modUExcel.h"

using namespace platform;
using namespace core;
using namespace viewers;
Q_DECLARE_METATYPE(MsgResult)

namespace {

RecordSet uzorak() {
  return recordSet({{"Naziv", adVarWChar}, {"Cijena", adDouble}, {"Kolicina", adInteger},
               {"Napomena", adVarWChar}, {"Datum", adDBTimeStamp}, {"Aktivan", adBoolean}},
              {{" Ana \"A\" ", "1.5", "3", nullptr, "2026-03-01 10:20:30", "1"},
               {"x;y", "1234.5", "-2", "z", nullptr, "0"}});
}

struct Oblik {
  QString sep, dec;
  bool navodnici, zastita;
  QString tekst;       // the file of uzorak(); "" the formulas' one
  QStringList zadnji;  // the last row as Python's csv reads it
};

QString decodirano(const QByteArray& b) {
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(b.constData() + 2), (b.size() - 2) / 2);
}



RecordSet knjiga() {
  return recordSet({{"Šifra", adInteger}, {"Naziv", adVarWChar}, {"Cijena", adCurrency},
               {"Datum", adDBTimeStamp}, {"Dan", adDBDate}, {"Aktivan", adBoolean}},
              {{"1", "=1+1", "1.5", "2026-03-01 10:20:30", "2026-03-02", "1"},
               {"2", "Čačak", nullptr, nullptr, nullptr, "0"}});
}

// A set a table row names: the sample, numbers a number cell cannot hold, an SQLite table's
// columns, or none.
RecordSet skup(const QString& ime) {
  if (ime == "knjiga") return knjiga();
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
Q_DECLARE_METATYPE(Oblik)
Q_DECLARE_METATYPE(Knjiga)
Q_DECLARE_METATYPE(Greska)

class TstIzvoz : public Fixture {
  Q_OBJECT

 private slots:
  void init() {
    Fixture::init();
    // The decimal character comes from the form, never from the user's locale.
    QLocale::setDefault(QLocale(QLocale::Croatian, QLocale::Croatia));
  }

  // The file's bytes (a BOM, then UTF-16) for both quoting modes, separators and decimal
  // characters; text a spreadsheet would run as a formula gets an apostrophe (numbers and
  // dates never do), and a separator that numbers or dates hold ("-") quotes them. Python's
  // csv reads the cells back (it takes one-character separators only).
  void format_data() {
    QTest::addColumn<Oblik>("o");
    QTest::newRow("quoted ;") << Oblik{";", ",", true, true,
        "\"Naziv\";\"Cijena\";\"Kolicina\";\"Napomena\";\"Datum\";\"Aktivan\"\r\n"
        "\" Ana \"\"A\"\" \";1,5;3;;2026-03-01 10:20:30;True\r\n"
        "\"x;y\";1234,5;-2;\"z\";;False\r\n", {"x;y", "1234,5", "-2", "z", "", "False"}};
    QTest::newRow("plain ,") << Oblik{",", ".", false, true,
        "Naziv,Cijena,Kolicina,Napomena,Datum,Aktivan\r\n"
        "\"Ana \"\"A\"\"\",1.5,3,,2026-03-01 10:20:30,True\r\n"
        "x;y,1234.5,-2,z,,False\r\n", {"x;y", "1234.5", "-2", "z", "", "False"}};
    QTest::newRow("plain ;") << Oblik{";", ",", false, true,
        "Naziv;Cijena;Kolicina;Napomena;Datum;Aktivan\r\n"
        "\"Ana \"\"A\"\"\";1,5;3;;2026-03-01 10:20:30;True\r\n"
        "\"x;y\";1234,5;-2;z;;False\r\n", {"x;y", "1234,5", "-2", "z", "", "False"}};
    QTest::newRow("two-character separator") << Oblik{";;", ",", false, true,
        "Naziv;;Cijena;;Kolicina;;Napomena;;Datum;;Aktivan\r\n"
        "\"Ana \"\"A\"\"\";;1,5;;3;;;;2026-03-01 10:20:30;;True\r\n"
        "x;y;;1234,5;;-2;;z;;;;False\r\n", {}};
    const QStringList zasticeno{"'=HYPERLINK(\"http://evil.example/\",\"klik\")", "'+1", "'-x", "'@SUM(A1)",
                                "'\tt", "-5", "-1,5", "2026-03-01"};
    QStringList izvorno = zasticeno;
    for (int i = 0; i < 5; ++i) izvorno[i].remove(0, 1);
    QTest::newRow("formulas protected") << Oblik{";", ",", false, true, "", zasticeno};
    QTest::newRow("formulas protected, quoted") << Oblik{";", ",", true, true, "", zasticeno};
    QTest::newRow("formulas, separator -") << Oblik{"-", ",", false, true, "", zasticeno};
    QTest::newRow("formulas off") << Oblik{";", ",", false, false, "", izvorno};
    QTest::newRow("formulas off, separator -") << Oblik{"-", ",", true, false, "", izvorno};
  }
  void format() {
    QFETCH(Oblik, o);
    RecordSet rs = !o.tekst.isEmpty() ? uzorak()
        : recordSet({{"T1", adVarWChar}, {"T2", adVarWChar}, {"T3", adVarWChar}, {"T4", adVarWChar},
                     {"T5", adVarWChar}, {"Broj", adInteger}, {"Iznos", adDouble}, {"Datum", adDBDate}},
                    {{"=HYPERLINK(\"http://evil.example/\",\"klik\")", "+1", "-x", "@SUM(A1)", "\tt",
                      "-5", "-1.5", "2026-03-01"}});
    CsvIzvoz izvoz(rs, {o.sep, o.dec, o.navodnici, o.zastita}, 1);
    const QString put = env->path("a.csv");
    QVERIFY(izvoz.otvori(put));
    for (int i = 0; i < rs.RecordCount(); ++i) QCOMPARE(izvoz.sljedecaSerija(), 1);
    QVERIFY(izvoz.zavrsi());
    const QByteArray b = readWholeFile(put);
    QCOMPARE(b.left(2), QByteArray("\xFF\xFE"));
    if (!o.tekst.isEmpty()) QCOMPARE(decodirano(b), o.tekst);
    if (o.sep.size() > 1) return;
    const QJsonArray redovi = procitajIzvoz({"csv", put, o.sep}).array();
    QCOMPARE(redovi.size(), rs.RecordCount() + 1);
    QCOMPARE(redovi.last().toVariant().toStringList(), o.zadnji);
    if (!o.tekst.isEmpty()) QCOMPARE(redovi[1][0].toString(), o.navodnici ? " Ana \"A\" " : "Ana \"A\"");
  }

  // Stored values a hand edit made unusable fall back to the form's defaults ("ExpSeparator=;"
  // reads back empty from an INI file), in the form and in exports without it.
  void spremljenePostavke_data() {
    QTest::addColumn<QStringList>("rucno");     // key, the value as typed into the file, …
    QTest::addColumn<QStringList>("postavke");  // separator, decimal, quotes, formulas
    QTest::newRow("hand-edited ;") << QStringList{"ExpSeparator", ";", "ExpDecTočka", "."}
                                   << QStringList{";", ".", "1", "1"};
    QTest::newRow("same as decimal") << QStringList{"ExpSeparator", "\",\"", "ExpPrikazNavodnika", "0"}
                                     << QStringList{";", ",", "0", "1"};
    QTest::newRow("bad decimal") << QStringList{"ExpSeparator", "|", "ExpDecTočka", "\";x\"",
                                                "ExpZaštitaFormula", "0"}
                                 << QStringList{"|", ",", "1", "0"};
  }
  void spremljenePostavke() {
    QFETCH(QStringList, rucno);
    QFETCH(QStringList, postavke);
    for (int i = 0; i < rucno.size(); i += 2) SaveVelkorSetting(rucno[i], QString("Z%1Z").arg(i));
    QByteArray tekst = readWholeFile(core::settingsFilePath("Velkor"));
    for (int i = 0; i < rucno.size(); i += 2) tekst.replace(QString("Z%1Z").arg(i).toUtf8(), rucno[i + 1].toUtf8());
    env->writeFile("config/Velkor.ini", tekst);
    const CsvPostavke p = SpremljeneCsvPostavke();
    QCOMPARE((QStringList{p.separator, p.decimalniZnak, QString::number(p.navodnici), QString::number(p.zaštitaFormula)}),
             postavke);
    frmOfficeExportPost f;
    QCOMPARE(child<QLineEdit>(&f, "txtSeparator")->text(), postavke[0]);
    QCOMPARE(child<QCheckBox>(&f, "chkZaštitaFormula")->isChecked(), postavke[3] == "1");
    // Settings handed over unchecked (the headless export) are checked by the format.
    CsvFormat format({"", ".", true});
    RecordSet rs = recordSet({{"A", adDouble}, {"B", adDouble}}, {{"1.5", "2"}});
    QCOMPARE(format.red(rs), "1.5;2");
  }

  // Checks in order, each with its message and focus; nothing is saved until they pass. A
  // viewer on PATH gets the trimmed file name as its one argument, with no shell between.
  void provjere_data() {
    QTest::addColumn<QStringList>("polja");  // name, separator, decimal, auto-start, program
    QTest::addColumn<QString>("poruka");     // "" none
    QTest::addColumn<QString>("fokus");      // "" the export ran
    QTest::addColumn<QString>("separatorPoslije");
    QTest::newRow("no name") << QStringList{"  ", ";", ",", "0", ""}
        << "Mora se upisati ime CSV datoteke podataka!" << "txtNazivDat" << ";";
    QTest::newRow("no separator") << QStringList{"%1", "  ", ",", "0", ""}
        << "Mora se upisati separator podataka!" << "txtSeparator" << ";";
    QTest::newRow("decimal ;") << QStringList{"%1", "|", ";", "0", ""}
        << "Znak za decimalnu točku za brojeve može biti točka ili zarez !" << "txtDecTočka" << "|";
    QTest::newRow("decimal untrimmed") << QStringList{"%1", "|", " ,", "0", ""}
        << "Znak za decimalnu točku za brojeve može biti točka ili zarez !" << "txtDecTočka" << "|";
    QTest::newRow("no program") << QStringList{"%1", ";", ",", "1", " "}
        << "Mora se upisati ime EXE datoteke!" << "txtLokacijaEXE" << ";";
    QTest::newRow("missing program") << QStringList{"%1", ";", ",", "1", "/nema/calc"}
        << "Uneseno ime EXE datoteke je neispravno !" << "txtLokacijaEXE" << ";";
    QTest::newRow("same characters") << QStringList{"%1", ",", ",", "0", ""}
        << "Separator podataka i znak za decimalnu točku ne mogu biti isti !" << "txtSeparator" << ",";
    QTest::newRow("program unchecked when off") << QStringList{"%1", "\t", ",", "0", "/nema/calc"}
        << "U datoteku: %1 prebačeno 2 zapisa u CSV formatu!" << "" << "\t";
    QTest::newRow("viewer on PATH") << QStringList{"  %1  ", ";", ",", "1", " localc "} << "" << "" << ";";
  }
  void provjere() {
    QFETCH(QStringList, polja);
    QFETCH(QString, poruka);
    QFETCH(QString, fokus);
    QFETCH(QString, separatorPoslije);
    StandIns z({"localc"});
    const QString put = env->path("izvoz.csv");
    polja[0].replace("%1", put);
    poruka.replace("%1", put);
    frmOfficeExportPost f;
    const char* imena[] = {"txtNazivDat", "txtSeparator", "txtDecTočka"};
    for (int i = 0; i < 3; ++i) child<QLineEdit>(&f, imena[i])->setText(polja[i]);
    child<QCheckBox>(&f, "chkAutomatskiPokr")->setChecked(polja[3] == "1");
    child<QLineEdit>(&f, "txtLokacijaEXE")->setText(polja[4]);
    RecordSet rs = uzorak();
    QString fokusU;
    f.rsPodaci = &rs;
    whenModalRuns(&f, [&] {
      click(&f, "cmdPrebaciPodatke");
      fokusU = f.focusWidget() ? f.focusWidget()->objectName() : "";
    });
    f.exec();
    QCOMPARE(dlg->texts(), poruka.isEmpty() ? QStringList() : QStringList{poruka});
    const bool uspjeh = fokus.isEmpty();
    if (!poruka.isEmpty())
      QCOMPARE(dlg->last().icon, poruka.startsWith("Uneseno") ? MsgIcon::None
                               : uspjeh ? MsgIcon::Information : MsgIcon::Exclamation);
    if (!uspjeh) QCOMPARE(fokusU, fokus);
    QCOMPARE(child<QLineEdit>(&f, "txtSeparator")->text(), separatorPoslije);
    QCOMPARE(f.Prekinuto, !uspjeh);
    QCOMPARE(VelkorSetting("ExpSeparator"), uspjeh ? separatorPoslije : "");
    QCOMPARE(QFile::exists(put), uspjeh);
    QTRY_COMPARE(z.calls("localc").value(0), uspjeh && polja[3] == "1" ? QStringList{put} : QStringList());
  }

  // 4500 records in batches of 2000: two status updates, the last 500 without one; only the
  // cancel button works meanwhile. Cancelling the run (button or Esc), answering "No", or a
  // file that cannot be replaced never reports success: the old file stays whole, no
  // temporary is left, the form stays.
  void runs_data() {
    QTest::addColumn<QString>("ime");
    QTest::addColumn<MsgResult>("odgovor");  // to the overwrite question
    QTest::addColumn<QString>("prekid");     // during the run: "button", "Esc" or none
    QTest::addColumn<QString>("zadnja");     // the one box, up to its length; "" the run completes
    const QString pitanje = "Datoteka: %1 već postoji. Želite li je prepisati?";
    QTest::newRow("batches") << "veliki.csv" << MsgResult::Yes << "" << "";
    QTest::newRow("cancel button") << "stari.csv" << MsgResult::Yes << "button" << pitanje;
    QTest::newRow("Esc") << "stari.csv" << MsgResult::Yes << "Esc" << pitanje;
    QTest::newRow("No") << "stari.csv" << MsgResult::No << "" << pitanje;
    QTest::newRow("cannot write") << "nema/mape/x.csv" << MsgResult::Yes << "" << "Desila se greška: ";
  }
  void runs() {
    QFETCH(QString, ime);
    QFETCH(QString, prekid);
    QFETCH(MsgResult, odgovor);
    QFETCH(QString, zadnja);
    const QString stari = env->writeFile("stari.csv", "stari sadržaj");
    SaveVelkorSetting("ExpNazivDat", env->path(ime));
    RecordSet rs({{"Broj", adInteger}});
    for (int i = 0; i < 4500; ++i) rs.AddRow({i});
    frmOfficeExportPost f;
    dlg->answer(odgovor);
    QList<bool> tijekom;
    f.rsPodaci = &rs;
    whenModalRuns(&f, [&] {
      QTimer::singleShot(0, &f, [&] {  // while the run processes events between batches
        for (const char* g : {"cmdPrebaciPodatke", "cmdIzlaz", "lvPrekid"})
          tijekom << child<QPushButton>(&f, g)->isEnabled();
        if (prekid == "Esc") QTest::keyClick(child<QPushButton>(&f, "lvPrekid"), Qt::Key_Escape);
        else if (prekid == "button") click(&f, "lvPrekid");
      });
      click(&f, "cmdPrebaciPodatke");
    });
    f.exec();
    QCOMPARE(readWholeFile(stari), QByteArray("stari sadržaj"));
    QCOMPARE(QDir(env->path()).entryList(QDir::Files | QDir::Hidden).filter("stari").size(), 1);
    QCOMPARE(f.Prekinuto, !zadnja.isEmpty());
    if (zadnja.isEmpty()) {
      QCOMPARE(child<QLabel>(&f, "lblStatus")->text(), "Izvezeno: 4000 od 4500");
      QCOMPARE(tijekom, QList<bool>({false, false, true}));
      const QString tekst = decodirano(readWholeFile(env->path(ime)));
      QCOMPARE(tekst.count("\r\n"), 4501);
      QVERIFY(tekst.endsWith("\r\n4498\r\n4499\r\n"));
      return;
    }
    zadnja.replace("%1", stari);
    QCOMPARE(dlg->texts().size(), 1);
    QCOMPARE(dlg->last().text.left(zadnja.size()), zadnja);
  }

  // The batch size asked for, kept within 1000-5000; anything else is refused with a box.
  void batchSizeMenu_data() {
    QTest::addColumn<QString>("odgovor");     // null: cancelled
    QTest::addColumn<QString>("spremljeno");  // 2000: refused, said so
    QTest::newRow("999") << "999" << "2000";
    QTest::newRow("5001") << "5001" << "2000";
    QTest::newRow("1000") << "1000" << "1000";
    QTest::newRow("5000") << "5000" << "5000";
    QTest::newRow("leading number") << " 1500.6 zapisa" << "1501";
    QTest::newRow("cancel") << QString() << "2000";
  }
  void batchSizeMenu() {
    QFETCH(QString, odgovor);
    QFETCH(QString, spremljeno);
    SaveVelkorSetting("ExportCSVBatchSize", "3000");
    frmOfficeExportPost f;
    dlg->answerText(odgovor.isNull() ? std::nullopt : std::optional(odgovor));
    f.findChild<QAction*>("mnuExportCSVBatchSize")->trigger();
    const DialogCall& pitanje = dlg->calls[0];
    QCOMPARE(pitanje.title + "|" + pitanje.text + "|" + pitanje.defaultText,
             "Broj zapisa|Unesite broj zapisa u jednom spremanju (1000-5000):|3000");
    const bool greska = spremljeno == "2000";
    QCOMPARE(dlg->texts().mid(1), greska ? QStringList{"Greška. Broj zapisa u jednom spremanju može biti od 1000 "
                                                       "do 5000. Postavljeno 2000!"} : QStringList());
    QVERIFY(!greska || (dlg->last().title == "Greška" && dlg->last().icon == MsgIcon::Information));
    QCOMPARE(VelkorSetting("ExportCSVBatchSize"), spremljeno);
    QCOMPARE(f.velicinaSerije(), spremljeno.toInt());
  }

  // Leaving a field by the user's move checks it; a programmatic focus change does not. Esc
  // leaves like the exit button: nothing saved, Prekinuto true.
  void leavingFieldAndEscape() {
    frmOfficeExportPost f;
    auto* sep = child<QLineEdit>(&f, "txtSeparator");
    for (Qt::FocusReason razlog : {Qt::OtherFocusReason, Qt::TabFocusReason}) {
      sep->setText(" ");
      QFocusEvent izlaz(QEvent::FocusOut, razlog);
      QApplication::sendEvent(sep, &izlaz);
    }
    QCOMPARE(dlg->texts(), QStringList{"Mora se upisati separator podataka!"});
    QCOMPARE(sep->text(), ";");
    whenModalRuns(&f, [&] {
      screenshot(&f, "frmOfficeExportPost");
      QTest::keyClick(child<QPushButton>(&f, "cmdPrebaciPodatke"), Qt::Key_Escape);
    });
    f.exec();
    QVERIFY(f.Prekinuto);
    QCOMPARE(VelkorSetting("ExpNazivDat"), "");
    // Programs here have no ".exe": the viewer dialog offers every file.
    click(&f, "cmdLokacija");
    QVERIFY(dlg->last().file.filter.endsWith("|*"));
  }

  // Header, numbers as numbers, dates as dates, "=1+1" as text, the sheet's name. Infinities
  // and NaN, which readers refuse in a number cell, are text and the user is told how many.
  // SQLite columns are typed from their declarations, as SQL Server's would be: real dates,
  // the money format, whole numbers, Booleans; an expression stays as it came. An empty set:
  // the message, nothing written; unchecked, a workbook with its header only.
  void readBack_data() {
    QTest::addColumn<Knjiga>("k");
    const QString izvezeno = "Podaci su eksportirani u datoteku: %1";
    const QStringList podaci{
        "int:1 | str:=1+1 | float:1.5:#,##0.00 | datetime:2026-03-01 10:20:30:dd.mm.yyyy hh:mm:ss | "
        "datetime:2026-03-02 00:00:00:dd.mm.yyyy | bool:true",
        "int:2 | str:Čačak | NoneType: | NoneType: | NoneType: | bool:false"};
    QTest::newRow("header, renamed") << Knjiga{"knjiga", false, false, true, "Kupci", izvezeno,
        QStringList{"str:Šifra | str:Naziv | str:Cijena | str:Datum | str:Dan | str:Aktivan"} + podaci};
    QTest::newRow("no header, name ignored") << Knjiga{"knjiga", true, false, false, "Sheet1", izvezeno, podaci};
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
    if (k.skup == "knjiga") QCOMPARE(rs.Value(0).toInt(), 2);  // the caller's position is kept
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
    QTest::newRow("setting not a Boolean")
        << Greska{"", "", "možda", 0, "Greška: Postavka \"PrebacujUCSV\" nema logičku vrijednost: možda"};
  }
  void failures() {
    QFETCH(Greska, g);
    auto& [imeLista, datoteka, prebacujUCSV, dugiTekst, poruka] = g;
    const QString put = env->path(datoteka.isEmpty() ? "stari.xlsx" : datoteka);
    env->writeFile("stari.xlsx", "stari");
    SaveVelkorSetting("PrebacujUCSV", prebacujUCSV);
    RecordSet rs = knjiga();
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
    RecordSet rs = knjiga();
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
    RecordSet rs = knjiga();
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

QTEST_MAIN(TstIzvoz)
#include "tst_izvoz.moc"
