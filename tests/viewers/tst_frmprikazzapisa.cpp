// The record grid: sorting by header, sum rows, the reports' styles, exports and printing.
#include "viewers/ModelZapisa.h"
#include "viewers/ViewerTestSupport.h"
#include "viewers/frmPrikazZapisa.h"

using namespace platform;
using namespace core;
using namespace viewers;

namespace {

RecordSet kupci() {
  return recordSet({{"Mjesto", adVarWChar}, {"Ime", adVarWChar}, {"Iznos", adCurrency},
               {"Stanje", adCurrency}, {"Kom", adInteger}},
              {{"Zagreb", "Ivo", "1234.5", "-5", "1200"},
               {"Split", "Ana", "2", "0", "3"},
               {"Zagreb", "Čedo", "10", "4", "5"}});
}

// Each row's shown texts, joined by "|".
QStringList redovi(const ModelZapisa& m) {
  QStringList out;
  for (int r = 0; r < m.rowCount(); ++r) {
    QStringList c;
    for (int s = 0; s < m.columnCount(); ++s) c << m.tekst(r, s);
    out << c.join('|');
  }
  return out;
}

// Each row's cell styles, a letter a column: r red, g green, "." neither; upper case is
// bold, "b" bold without a colour.
QStringList stilovi(const ModelZapisa& m) {
  QStringList out;
  for (int r = 0; r < m.rowCount(); ++r) {
    QString red;
    for (int s = 0; s < m.columnCount(); ++s) {
      const QVariant boja = m.data(m.index(r, s), Qt::ForegroundRole);
      const QChar c = !boja.isValid() ? '.' : boja == QColor(255, 0, 0) ? 'r' : boja == QColor(0, 128, 0) ? 'g' : '?';
      const bool debelo = m.data(m.index(r, s), Qt::FontRole).value<QFont>().bold();
      red += !debelo ? c : c == '.' ? QChar('b') : c.toUpper();
    }
    out << red;
  }
  return out;
}

}  // namespace

class TstFrmPrikazZapisa : public Fixture {
  Q_OBJECT

 private slots:
  void init() {
    Fixture::init();
    QLocale::setDefault(QLocale(QLocale::Croatian, QLocale::Croatia));
  }

  // Three clicks on one header: ascending, descending, ascending; the fixed column does
  // nothing. Exports propose the cleaned caption; an existing workbook is replaced only after
  // "Yes"; tab text holds the grid with its fixed cells; printing goes through the print
  // dialog. No set: an empty grid; "Izlaz" stores the position in twips.
  void sortExportsAndPrint() {
    RecordSet rs = kupci();
    const QString xlsx = env->writeFile("k.xlsx", "stari");
    const QString txt = env->path("k.txt"), pdf = env->path("k.pdf");
    dlg->answerText(xlsx);
    dlg->answer(MsgResult::No);
    dlg->answerText(txt);
    dlg->answer(MsgResult::Ok);
    dlg->printToFile = pdf;
    frmPrikazZapisa f;
    QStringList sortovi, prvi;
    whenModalRuns(&f, [&] {
      auto* h = f.findChild<QTableView*>("fg")->horizontalHeader();
      for (int stupac : {2, 2, 0, 2}) {
        emit h->sectionClicked(stupac);
        sortovi << rs.Sort();
        prvi << f.model()->tekst(0, 2);
      }
      const auto akcije = f.mnuAkcija()->actions();
      for (int i : {1, 3, 0}) akcije[i]->trigger();
    });
    f.PrikažiZapise("Kupci 1/2: čšž", &rs, -1, -1, -1, "");
    QCOMPARE(sortovi, QStringList({"[Ime]", "[Ime] DESC", "[Ime] DESC", "[Ime]"}));
    QCOMPARE(prvi, QStringList({"Ana", "Ivo", "Ivo", "Ana"}));
    QCOMPARE(dlg->calls[0].file.fileName, "Kupci 1_2_ čšž.xlsx");
    QCOMPARE(dlg->calls[1].text, "Datoteka: \r\n" + xlsx + "\r\nveć postoji. Prepisati?");
    QCOMPARE(dlg->calls[1].title, "Prepis datoteke?");
    QCOMPARE(readWholeFile(xlsx), QByteArray("stari"));
    QCOMPARE(dlg->calls[2].file.fileName, "Kupci 1_2_ čšž.txt");
    QCOMPARE(readWholeFile(txt).split('\n').mid(0, 4),
             QList<QByteArray>({"\tMjesto\tIme\tIznos\tStanje\tKom\r", "\tSplit\tAna\t2,00\t0,00\t3\r",
                                "\tZagreb\tČedo\t10,00\t4,00\t5\r", "\tZagreb\tIvo\t1.234,50\t-5,00\t1.200\r"}));
    QCOMPARE(dlg->calls[3].kind, DialogCall::Print);
    QCOMPARE(dlg->calls[3].title, "Kupci 1/2: čšž");
    const QString tekst = procitajPdf(pdf).tekst;
    QVERIFY2(tekst.contains("Čedo") && tekst.contains("1.234,50"), qPrintable(tekst));
    frmPrikazZapisa prazan;
    QRect g;
    whenModalRuns(&prazan, [&] {
      emit prazan.findChild<QTableView*>("fg")->horizontalHeader()->sectionClicked(1);
      g = prazan.geometry();
      prazan.move(30, 40);
      click(&prazan, "cmdIzlaz");
    });
    prazan.PrikažiZapise("Kupci", nullptr, -1, -1, -1, "");
    QCOMPARE(prazan.model()->rowCount(), 0);
    QCOMPARE(g.size(), QSize(643, 387));
    QCOMPARE(VelkorSetting("PrikZapMainLeft") + " " + VelkorSetting("PrikZapMainHeight"), "450 5805");
  }

  // What the grid shows for a set: texts in the user's locale (Croatian where the environment
  // has none: grouped, decimal comma, no exponent for small numbers, dates without a time where
  // the column holds none), a bold sum row under each group of the group column, kept after a
  // sort, and the two known reports' colours (stored blue-green-red) and bold cells, from
  // values, not texts; the contract report adds its total row.
  void prikaz_data() {
    QTest::addColumn<QString>("skup");
    QTest::addColumn<QString>("jezik");
    QTest::addColumn<QString>("izvjestaj");
    QTest::addColumn<QStringList>("redovi");  // after them the rows' styles, see stilovi()
    const QString hr = "|1.234,50|1.234|0,0000001|123.456.789,123457|01.03.2026.|01.03.2026. 10:20:30"
                       "|02.03.2026.|02.03.2026. 08:00:00|12.345";
    const QString bez = "..........";
    QTest::newRow("formats, C") << "oblici" << "C" << "" << QStringList{hr, bez};
    QTest::newRow("formats, hr_HR") << "oblici" << "hr_HR" << "" << QStringList{hr, bez};
    QTest::newRow("formats, en_US") << "oblici" << "en_US" << ""
        << QStringList{"|1,234.50|1,234|0.0000001|123,456,789.123457|3/1/26|3/1/26 10:20:30"
                       "|3/2/26|3/2/26 08:00:00|12,345", bez};
    const QStringList kupci{"|Zagreb|Ivo|1.234,50|-5,00|1.200", "|Split|Ana|2,00|0,00|3",
                            "|Zagreb|Čedo|10,00|4,00|5"};
    QTest::newRow("sum rows") << "grupe" << "hr_HR" << ""
        << QStringList{"|Split|Ana|2,00|0,00|3", "|Split||2,00||3", kupci[0], kupci[2],
                       "|Zagreb||1.244,50||1.205", "......", "bbbbbb", "......", "......", "bbbbbb"};
    QTest::newRow("stock report") << "kupci" << "hr_HR" << "STANJEZAMJŠIFRI"
                                  << kupci + QStringList{"rrrrr.", "......", "......"};
    QTest::newRow("other report") << "kupci" << "hr_HR" << "" << kupci + QStringList(3, "......");
    QTest::newRow("contract report") << "ugovor" << "hr_HR" << "JNREKPOUGOVORU"
        << QStringList{"|1,00||||100,00||1,00|150,00|||2,00", "|2,00||||100,00||3,00|50,00|||4,00",
                       "|Ukupno:||||||4,00||0,00||6,00", "rrrrrrrRRRRR", "gggggggggggg", "bbbbbbbbbbbb"};
  }
  void prikaz() {
    QFETCH(QString, skup);
    QFETCH(QString, jezik);
    QFETCH(QString, izvjestaj);
    QLocale::setDefault(QLocale(jezik));
    QList<RecordField> polja;
    for (int i = 1; i <= 11; ++i) polja << RecordField{"P" + QString::number(i), adCurrency};
    RecordSet rs = skup == "ugovor"
        ? recordSet(polja, {{"1", "", "", "", "100", "", "1", "150", "", "", "2"},
                            {"2", "", "", "", "100", "", "3", "50", "", "", "4"}})
        : skup == "oblici"
        ? recordSet({{"Iznos", adCurrency}, {"Kom", adInteger}, {"Omjer", adDouble}, {"Veliki", adDouble},
                     {"Dan", adDBDate}, {"Vrijeme", adDBTimeStamp}, {"D1", adDate}, {"D2", adDate},
                     {"Broj", adBigInt}},
                    {{"1234.5", "1234", "1e-7", "123456789.123456789", "2026-03-01", "2026-03-01 10:20:30",
                      "2026-03-02", "2026-03-02 08:00:00", "12345"}})
        : kupci();
    const bool grupe = skup == "grupe";
    if (grupe) rs.SetSort("[Mjesto]");
    frmPrikazZapisa f;
    QStringList vidjeno, poslije;
    whenModalRuns(&f, [&] {
      vidjeno = redovi(*f.model()) + stilovi(*f.model());
      screenshot(&f, "frmPrikazZapisa_" + QString(QTest::currentDataTag()).replace(' ', '_'));
      emit f.findChild<QTableView*>("fg")->horizontalHeader()->sectionClicked(1);
      poslije = redovi(*f.model());
    });
    f.PrikažiZapise("Kupci 1/2: čšž", &rs, grupe ? 1 : -1, grupe ? 3 : -1, grupe ? 5 : -1, izvjestaj);
    QTEST(vidjeno, "redovi");
    if (grupe) QCOMPARE(QStringList({poslije[0], poslije[2]}), QStringList({vidjeno[2], vidjeno[4]}));
  }
};

QTEST_MAIN(TstFrmPrikazZapisa)
#include "tst_frmprikazzapisa.moc"
