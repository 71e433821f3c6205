#include <QtTest>
#include <QCheckBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "core/SettingsStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"
#include "viewers/CsvIzvoz.h"
#include "viewers/ViewerTestSupport.h"
#include "viewers/frmOfficeExportPost.h"

using namespace platform;

namespace {

RecordSet uzorak() {
  return skup({{"Naziv", adVarWChar}, {"Cijena", adDouble}, {"Kolicina", adInteger},
               {"Napomena", adVarWChar}, {"Datum", adDBTimeStamp}, {"Aktivan", adBoolean}},
              {{" Ana \"A\" ", "1.5", "3", nullptr, "2026-03-01 10:20:30", "1"},
               {"x;y", "1234.5", "-2", "z", nullptr, "0"}});
}

QString decodirano(const QByteArray& b) {
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(b.constData() + 2), (b.size() - 2) / 2);
}

template <class T> T* dijete(QWidget* w, const char* ime) { return w->findChild<T*>(ime); }

}  // namespace

class TstCsvExport : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env;
  std::unique_ptr<ScriptedDialogs> d;

  QString pokreni(frmOfficeExportPost& f, RecordSet& rs, std::function<void()> tijekom = {}) {
    f.rsPodaci = &rs;
    uPetlji(&f, [&] {
      if (tijekom) QTimer::singleShot(0, &f, tijekom);
      dijete<QPushButton>(&f, "cmdPrebaciPodatke")->click();
    });
    f.exec();
    return dijete<QLabel>(&f, "lblStatus")->text();
  }

 private slots:
  void init() {
    env = std::make_unique<TestEnv>();
    d = std::make_unique<ScriptedDialogs>();
    QLocale::setDefault(QLocale::c());
  }
  void cleanup() { d.reset(); env.reset(); }

  // The file's bytes for both quoting modes and separators, also under a Croatian locale;
  // Python's csv reads the same cells back.
  void format_data() {
    QTest::addColumn<QString>("sep");
    QTest::addColumn<QString>("dec");
    QTest::addColumn<bool>("navodnici");
    QTest::addColumn<bool>("hrvatski");
    QTest::addColumn<QString>("tekst");
    QTest::addColumn<QStringList>("drugiRed");  // as Python's csv reads it
    QTest::newRow("quoted ;") << ";" << "," << true << false
        << "\"Naziv\";\"Cijena\";\"Kolicina\";\"Napomena\";\"Datum\";\"Aktivan\"\r\n"
           "\" Ana \"\"A\"\" \";1,5;3;;2026-03-01 10:20:30;True\r\n"
           "\"x;y\";1234,5;-2;\"z\";;False\r\n"
        << QStringList{"x;y", "1234,5", "-2", "z", "", "False"};
    QTest::newRow("plain , hr") << "," << "." << false << true
        << "Naziv,Cijena,Kolicina,Napomena,Datum,Aktivan\r\n"
           "\"Ana \"\"A\"\"\",1.5,3,,2026-03-01 10:20:30,True\r\n"
           "x;y,1234.5,-2,z,,False\r\n"
        << QStringList{"x;y", "1234.5", "-2", "z", "", "False"};
    QTest::newRow("plain ; hr") << ";" << "," << false << true
        << "Naziv;Cijena;Kolicina;Napomena;Datum;Aktivan\r\n"
           "\"Ana \"\"A\"\"\";1,5;3;;2026-03-01 10:20:30;True\r\n"
           "\"x;y\";1234,5;-2;z;;False\r\n"
        << QStringList{"x;y", "1234,5", "-2", "z", "", "False"};
    QTest::newRow("two-character separator") << ";;" << "," << false << false
        << "Naziv;;Cijena;;Kolicina;;Napomena;;Datum;;Aktivan\r\n"
           "\"Ana \"\"A\"\"\";;1,5;;3;;;;2026-03-01 10:20:30;;True\r\n"
           "x;y;;1234,5;;-2;;z;;;;False\r\n"
        << QStringList{};
  }
  void format() {
    QFETCH(QString, sep);
    QFETCH(QString, dec);
    QFETCH(bool, navodnici);
    QFETCH(bool, hrvatski);
    QFETCH(QStringList, drugiRed);
    if (hrvatski) QLocale::setDefault(QLocale(QLocale::Croatian, QLocale::Croatia));
    RecordSet rs = uzorak();
    CsvIzvoz izvoz(rs, {sep, dec, navodnici}, 1);
    const QString put = env->path("a.csv");
    QVERIFY(izvoz.otvori(put));
    QCOMPARE(izvoz.sljedecaSerija(), 1);
    QCOMPARE(izvoz.sljedecaSerija(), 1);
    QVERIFY(izvoz.zavrsi());
    const QByteArray b = sadrzaj(put);
    QCOMPARE(b.left(2), QByteArray("\xFF\xFE"));
    QTEST(decodirano(b), "tekst");
    if (drugiRed.isEmpty()) return;  // Python's csv takes one-character separators only
    const QJsonArray redovi = procitajIzvoz({"csv", put, sep}).array();
    QCOMPARE(redovi.size(), 3);
    QCOMPARE(redovi[2].toVariant().toStringList(), drugiRed);
    QCOMPARE(redovi[1][0].toString(), navodnici ? " Ana \"A\" " : "Ana \"A\"");
  }

  // Checks in order, each with its message and focus; nothing is saved until they pass.
  void provjere_data() {
    QTest::addColumn<QStringList>("polja");  // name, separator, decimal, auto-start, program
    QTest::addColumn<QString>("poruka");
    QTest::addColumn<QString>("fokus");
    QTest::addColumn<QString>("separatorPoslije");
    const QString ok = "U datoteku: %1 prebačeno 2 zapisa u CSV formatu!";
    QTest::newRow("no name") << QStringList{"  ", ";", ",", "0", ""}
        << "Mora se upisati ime CSV datoteke podataka!" << "txtNazivDat" << ";";
    QTest::newRow("no separator") << QStringList{"F", "  ", ",", "0", ""}
        << "Mora se upisati separator podataka!" << "txtSeparator" << ";";
    QTest::newRow("decimal ;") << QStringList{"F", "|", ";", "0", ""}
        << "Znak za decimalnu točku za brojeve može biti točka ili zarez !" << "txtDecTočka" << "|";
    QTest::newRow("decimal untrimmed") << QStringList{"F", "|", " ,", "0", ""}
        << "Znak za decimalnu točku za brojeve može biti točka ili zarez !" << "txtDecTočka" << "|";
    QTest::newRow("no program") << QStringList{"F", ";", ",", "1", " "}
        << "Mora se upisati ime EXE datoteke!" << "txtLokacijaEXE" << ";";
    QTest::newRow("missing program") << QStringList{"F", ";", ",", "1", "/nema/calc"}
        << "Uneseno ime EXE datoteke je neispravno !" << "txtLokacijaEXE" << ";";
    QTest::newRow("same characters") << QStringList{"F", ",", ",", "0", ""}
        << "Separator podataka i znak za decimalnu točku ne mogu biti isti !" << "txtSeparator" << ",";
    QTest::newRow("program unchecked when off") << QStringList{"F", "\t", ",", "0", "/nema/calc"}
        << ok << "" << "\t";
  }
  void provjere() {
    QFETCH(QStringList, polja);
    QFETCH(QString, poruka);
    QFETCH(QString, fokus);
    QFETCH(QString, separatorPoslije);
    if (polja[0] == "F") polja[0] = env->path("izvoz.csv");
    frmOfficeExportPost f;
    const char* imena[] = {"txtNazivDat", "txtSeparator", "txtDecTočka"};
    for (int i = 0; i < 3; ++i) dijete<QLineEdit>(&f, imena[i])->setText(polja[i]);
    dijete<QCheckBox>(&f, "chkAutomatskiPokr")->setChecked(polja[3] == "1");
    dijete<QLineEdit>(&f, "txtLokacijaEXE")->setText(polja[4]);
    RecordSet rs = uzorak();
    QString fokusU;
    f.rsPodaci = &rs;
    uPetlji(&f, [&] {
      dijete<QPushButton>(&f, "cmdPrebaciPodatke")->click();
      fokusU = f.focusWidget() ? f.focusWidget()->objectName() : "";
    });
    f.exec();
    QCOMPARE(d->texts(), QStringList{poruka.contains("%1") ? poruka.arg(polja[0]) : poruka});
    const bool uspjeh = fokus.isEmpty();
    QCOMPARE(d->last().icon, poruka.startsWith("Uneseno") ? MsgIcon::None
                             : uspjeh ? MsgIcon::Information : MsgIcon::Exclamation);
    if (!uspjeh) QCOMPARE(fokusU, fokus);
    QCOMPARE(dijete<QLineEdit>(&f, "txtSeparator")->text(), separatorPoslije);
    QCOMPARE(f.Prekinuto, !uspjeh);
    QCOMPARE(VelkorSetting("ExpSeparator"), uspjeh ? separatorPoslije : "");
    QCOMPARE(QFile::exists(env->path("izvoz.csv")), uspjeh);
  }

  // 4500 records in batches of 2000: two status updates, the last 500 without one; only
  // the cancel button works meanwhile. Then the completed run hides the form.
  void batches() {
    SaveVelkorSetting("ExpNazivDat", env->path("veliki.csv"));
    RecordSet rs({{"Broj", adInteger}});
    for (int i = 0; i < 4500; ++i) rs.AddRow({i});
    frmOfficeExportPost f;
    QCOMPARE(f.velicinaSerije(), 2000);
    QList<bool> tijekom;
    const QString status = pokreni(f, rs, [&] {
      for (const char* g : {"cmdPrebaciPodatke", "cmdIzlaz", "lvPrekid"})
        tijekom << dijete<QPushButton>(&f, g)->isEnabled();
      tijekom << dijete<QPushButton>(&f, "lvPrekid")->isVisible();
    });
    QCOMPARE(status, "Izvezeno: 4000 od 4500");
    QCOMPARE(tijekom, QList<bool>({false, false, true, true}));
    QVERIFY(!f.Prekinuto);
    QVERIFY(!dijete<QPushButton>(&f, "lvPrekid")->isVisible());
    const QString tekst = decodirano(sadrzaj(env->path("veliki.csv")));
    QCOMPARE(tekst.count("\r\n"), 4501);
    QVERIFY(tekst.endsWith("\r\n4498\r\n4499\r\n"));
  }

  // Cancel (button or Esc during the run) keeps the old file; the form stays open.
  void cancelKeepsOldFile_data() {
    QTest::addColumn<bool>("esc");
    QTest::newRow("button") << false;
    QTest::newRow("Esc") << true;
  }
  void cancelKeepsOldFile() {
    QFETCH(bool, esc);
    const QString put = env->writeFile("stari.csv", "stari sadržaj");
    SaveVelkorSetting("ExpNazivDat", put);
    SaveVelkorSetting("ExportCSVBatchSize", "1000");
    RecordSet rs({{"Broj", adInteger}});
    for (int i = 0; i < 3000; ++i) rs.AddRow({i});
    frmOfficeExportPost f;
    d->answer(MsgResult::Yes);
    pokreni(f, rs, [&] {
      if (esc) QTest::keyClick(dijete<QPushButton>(&f, "lvPrekid"), Qt::Key_Escape);
      else dijete<QPushButton>(&f, "lvPrekid")->click();
    });
    QCOMPARE(d->texts(), QStringList{"Datoteka: " + put + " već postoji. Želite li je prepisati?"});
    QCOMPARE(sadrzaj(put), QByteArray("stari sadržaj"));
    QVERIFY(f.Prekinuto);
    QCOMPARE(QDir(env->path()).entryList(QDir::Files | QDir::Hidden).filter("stari").size(), 1);
  }

  // "No" keeps the file and the form; a file that cannot be replaced is an error, never
  // the success message.
  void overwriteNoAndFailure() {
    const QString put = env->writeFile("stari.csv", "stari");
    SaveVelkorSetting("ExpNazivDat", put);
    RecordSet rs = uzorak();
    frmOfficeExportPost f;
    d->answer(MsgResult::No);
    pokreni(f, rs);
    QCOMPARE(sadrzaj(put), QByteArray("stari"));
    QVERIFY(f.Prekinuto);
    SaveVelkorSetting("ExpNazivDat", env->path("nema/mape/x.csv"));
    frmOfficeExportPost g;
    pokreni(g, rs);
    QVERIFY(d->last().text.startsWith("Desila se greška: "));
    QVERIFY(g.Prekinuto);
  }

  void batchSizeMenu_data() {
    QTest::addColumn<std::optional<QString>>("odgovor");
    QTest::addColumn<QString>("spremljeno");
    QTest::addColumn<bool>("greska");
    QTest::newRow("999") << std::optional<QString>("999") << "2000" << true;
    QTest::newRow("5001") << std::optional<QString>("5001") << "2000" << true;
    QTest::newRow("1000") << std::optional<QString>("1000") << "1000" << false;
    QTest::newRow("5000") << std::optional<QString>("5000") << "5000" << false;
    QTest::newRow("leading number") << std::optional<QString>(" 1500.6 zapisa") << "1501" << false;
    QTest::newRow("cancel") << std::optional<QString>() << "2000" << true;
  }
  void batchSizeMenu() {
    QFETCH(std::optional<QString>, odgovor);
    QFETCH(QString, spremljeno);
    QFETCH(bool, greska);
    SaveVelkorSetting("ExportCSVBatchSize", "3000");
    frmOfficeExportPost f;
    d->answerText(odgovor);
    f.findChild<QAction*>("mnuExportCSVBatchSize")->trigger();
    QCOMPARE(d->calls[0].text, "Unesite broj zapisa u jednom spremanju (1000-5000):");
    QCOMPARE(d->calls[0].title, "Broj zapisa");
    QCOMPARE(d->calls[0].defaultText, "3000");
    QCOMPARE(d->calls.size(), greska ? 2 : 1);
    if (greska) {
      QCOMPARE(d->last().text,
               "Greška. Broj zapisa u jednom spremanju može biti od 1000 do 5000. Postavljeno 2000!");
      QCOMPARE(d->last().title, "Greška");
      QCOMPARE(d->last().icon, MsgIcon::Information);
    }
    QCOMPARE(VelkorSetting("ExportCSVBatchSize"), spremljeno);
    QCOMPARE(f.velicinaSerije(), spremljeno.toInt());
  }

  // The viewer gets the trimmed file name as its one argument, with no shell between.
  void viewerProgram() {
    Zamjena z("localc");
    const QString put = env->path("za pregled.csv");
    SaveVelkorSetting("ExpNazivDat", "  " + put + "  ");
    SaveVelkorSetting("ExpAutomPokr", "1");
    SaveVelkorSetting("ExpEXEDat", " localc ");
    RecordSet rs = uzorak();
    frmOfficeExportPost f;
    pokreni(f, rs);
    QCOMPARE(d->texts(), QStringList());
    QTRY_COMPARE(z.argumenti("localc"), QStringList{put});
    QCOMPARE(VelkorSetting("ExpEXEDat"), "localc");
    QVERIFY(!f.Prekinuto);
  }

  // Leaving a field by the user's move checks it; a programmatic focus change does not.
  void leavingFieldChecksIt() {
    frmOfficeExportPost f;
    auto* sep = dijete<QLineEdit>(&f, "txtSeparator");
    for (Qt::FocusReason razlog : {Qt::OtherFocusReason, Qt::TabFocusReason}) {
      sep->setText(" ");
      QFocusEvent izlaz(QEvent::FocusOut, razlog);
      QApplication::sendEvent(sep, &izlaz);
    }
    QCOMPARE(d->texts(), QStringList{"Mora se upisati separator podataka!"});
    QCOMPARE(sep->text(), ";");
  }

  // Esc leaves like the exit button: nothing saved, Prekinuto true.
  void escape() {
    frmOfficeExportPost f;
    uPetlji(&f, [&] {
      if (qEnvironmentVariableIsSet("VELKOR_SCREENSHOTS")) f.grab().save("/tmp/frmOfficeExportPost.png");
      QTest::keyClick(dijete<QPushButton>(&f, "cmdPrebaciPodatke"), Qt::Key_Escape);
    });
    f.exec();
    QVERIFY(f.Prekinuto);
    QCOMPARE(VelkorSetting("ExpNazivDat"), "");
    // The viewer dialog offers every file, not only "*.exe".
    f.findChild<QPushButton*>("cmdLokacija")->click();
    QVERIFY(d->last().file.filter.contains("|*"));
    QCOMPARE(d->last().file.initialDir, "/usr/bin/");
  }
};

QTEST_MAIN(TstCsvExport)
#include "tst_csvexport.moc"
