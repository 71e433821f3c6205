// The CSV export and its form: the bytes of each format read back by Python's csv, the
// checks with their messages and focus, batches and cancelling, the batch-size menu.
#include "viewers/CsvIzvoz.h"
#include "viewers/ViewerTestSupport.h"
#include "viewers/frmOfficeExportPost.h"

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

}  // namespace
Q_DECLARE_METATYPE(Oblik)

class TstCsvExport : public Fixture {
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

  // Leaving a field by the user's move checks it; a programmatic focus change does not.
  void leavingFieldChecksIt() {
    frmOfficeExportPost f;
    auto* sep = child<QLineEdit>(&f, "txtSeparator");
    for (Qt::FocusReason razlog : {Qt::OtherFocusReason, Qt::TabFocusReason}) {
      sep->setText(" ");
      QFocusEvent izlaz(QEvent::FocusOut, razlog);
      QApplication::sendEvent(sep, &izlaz);
    }
    QCOMPARE(dlg->texts(), QStringList{"Mora se upisati separator podataka!"});
    QCOMPARE(sep->text(), ";");
  }

  // Esc leaves like the exit button: nothing saved, Prekinuto true.
  void escape() {
    frmOfficeExportPost f;
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
};

QTEST_MAIN(TstCsvExport)
#include "tst_csvexport.moc"
