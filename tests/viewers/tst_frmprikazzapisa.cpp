// The record grid: sorting by header, sum rows, the reports' styles, exports and printing.
#include "viewers/ModelZapisa.h"
#include "viewers/ViewerTestSupport.h"
#include "viewers/frmPrikazZapisa.h"

using namespace platform;

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

  // Shows the grid and runs akcija inside it.
  void prikazi(frmPrikazZapisa& f, RecordSet* rs, int grupa, int u1, int u2, const QString& izvj,
               std::function<void()> akcija) {
    whenModalRuns(&f, akcija);
    f.PrikažiZapise("Kupci 1/2: čšž", rs, grupa, u1, u2, izvj);
  }

 private slots:
  void init() {
    Fixture::init();
    QLocale::setDefault(QLocale(QLocale::Croatian, QLocale::Croatia));
  }

  // Three clicks on one header: ascending, descending, ascending; the fixed column does
  // nothing. No set: an empty grid; "Izlaz" stores the position in twips.
  void headerSort() {
    RecordSet rs = kupci();
    frmPrikazZapisa f;
    QStringList sortovi, prvi;
    prikazi(f, &rs, -1, -1, -1, "", [&] {
      auto* h = f.findChild<QTableView*>("fg")->horizontalHeader();
      for (int stupac : {2, 2, 0, 2}) {
        emit h->sectionClicked(stupac);
        sortovi << rs.Sort();
        prvi << f.model()->tekst(0, 2);
      }
    });
    QCOMPARE(sortovi, QStringList({"[Ime]", "[Ime] DESC", "[Ime] DESC", "[Ime]"}));
    QCOMPARE(prvi, QStringList({"Ana", "Ivo", "Ivo", "Ana"}));
    frmPrikazZapisa prazan;
    QRect g;
    prikazi(prazan, nullptr, -1, -1, -1, "", [&] {
      emit prazan.findChild<QTableView*>("fg")->horizontalHeader()->sectionClicked(1);
      g = prazan.geometry();
      prazan.move(30, 40);
      click(&prazan, "cmdIzlaz");
    });
    QCOMPARE(prazan.model()->rowCount(), 0);
    QCOMPARE(g.size(), QSize(643, 387));
    QCOMPARE(VelkorSetting("PrikZapMainLeft") + " " + VelkorSetting("PrikZapMainHeight"), "450 5805");
  }

  // A bold sum row under each group of the group column, kept after a sort; formats by
  // field type in the user's locale.
  void sumRows() {
    RecordSet rs = kupci();
    rs.SetSort("[Mjesto]");
    frmPrikazZapisa f;
    QStringList prije, stil, poslije;
    prikazi(f, &rs, 1, 3, 5, "", [&] {
      prije = redovi(*f.model());
      stil = stilovi(*f.model());
      emit f.findChild<QTableView*>("fg")->horizontalHeader()->sectionClicked(1);
      poslije = redovi(*f.model());
      screenshot(&f, "frmPrikazZapisaZbroj");
    });
    QCOMPARE(prije, QStringList({"|Split|Ana|2,00|0,00|3", "|Split||2,00||3",
                                 "|Zagreb|Ivo|1.234,50|-5,00|1.200", "|Zagreb|Čedo|10,00|4,00|5",
                                 "|Zagreb||1.244,50||1.205"}));
    QCOMPARE(stil, QStringList({"......", "bbbbbb", "......", "......", "bbbbbb"}));
    QCOMPARE(poslije.first(), "|Zagreb|Ivo|1.234,50|-5,00|1.200");
    QCOMPARE(poslije[2], "|Zagreb||1.244,50||1.205");
  }

  // Numbers and dates in the user's locale, Croatian where the environment has none (C):
  // grouped, decimal comma, no exponent for small numbers; date-only columns show no time.
  void lokalniOblici_data() {
    QTest::addColumn<QString>("jezik");
    QTest::addColumn<QString>("red");
    const QString hr = "|1.234,50|1.234|0,0000001|123.456.789,123457|01.03.2026.|01.03.2026. 10:20:30"
                       "|02.03.2026.|02.03.2026. 08:00:00|12.345";
    QTest::newRow("C") << "C" << hr;
    QTest::newRow("hr_HR") << "hr_HR" << hr;
    QTest::newRow("en_US") << "en_US" << "|1,234.50|1,234|0.0000001|123,456,789.123457|3/1/26|3/1/26 10:20:30"
                                         "|3/2/26|3/2/26 08:00:00|12,345";
  }
  void lokalniOblici() {
    QFETCH(QString, jezik);
    QLocale::setDefault(QLocale(jezik));
    RecordSet rs = recordSet({{"Iznos", adCurrency}, {"Kom", adInteger}, {"Omjer", adDouble}, {"Veliki", adDouble},
                         {"Dan", adDBDate}, {"Vrijeme", adDBTimeStamp}, {"D1", adDate}, {"D2", adDate},
                         {"Broj", adBigInt}},
                        {{"1234.5", "1234", "1e-7", "123456789.123456789", "2026-03-01", "2026-03-01 10:20:30",
                          "2026-03-02", "2026-03-02 08:00:00", "12345"}});
    frmPrikazZapisa f;
    QStringList vidjeno;
    prikazi(f, &rs, -1, -1, -1, "", [&] {
      vidjeno = redovi(*f.model());
      screenshot(&f, "frmPrikazZapisa_" + jezik);
    });
    QTEST(vidjeno.value(0), "red");
  }

  // The two known reports' colours (stored blue-green-red) and bold cells, from values, not
  // texts; the contract report adds its total row.
  void reportStyles_data() {
    QTest::addColumn<QString>("izvjestaj");
    QTest::addColumn<QStringList>("stil");
    QTest::addColumn<QString>("zadnji");  // the last row's texts
    const QString cedo = "|Zagreb|Čedo|10,00|4,00|5";
    QTest::newRow("stock report") << "STANJEZAMJŠIFRI" << QStringList{"rrrrr.", "......", "......"} << cedo;
    QTest::newRow("other report") << "" << QStringList{"......", "......", "......"} << cedo;
    QTest::newRow("contract report") << "JNREKPOUGOVORU"
        << QStringList{"rrrrrrrRRRRR", "gggggggggggg", "bbbbbbbbbbbb"} << "|Ukupno:||||||4,00||0,00||6,00";
  }
  void reportStyles() {
    QFETCH(QString, izvjestaj);
    QList<RecordField> polja;
    for (int i = 1; i <= 11; ++i) polja << RecordField{"P" + QString::number(i), adCurrency};
    RecordSet rs = izvjestaj.startsWith("JNREK")
        ? recordSet(polja, {{"1", "", "", "", "100", "", "1", "150", "", "", "2"},
                       {"2", "", "", "", "100", "", "3", "50", "", "", "4"}})
        : kupci();
    frmPrikazZapisa f;
    QStringList vidjeno;
    prikazi(f, &rs, -1, -1, -1, izvjestaj, [&] {
      vidjeno = stilovi(*f.model());
      vidjeno << redovi(*f.model()).last();
      screenshot(&f, "frmPrikazZapisa" + QString::number(izvjestaj.size()));
    });
    QFETCH(QString, zadnji);
    QFETCH(QStringList, stil);
    QCOMPARE(vidjeno, stil << zadnji);
  }

  // Exports propose the cleaned caption; an existing workbook is replaced only after "Yes";
  // tab text holds the grid with its fixed cells; printing goes through the print dialog.
  void exportsAndPrint() {
    RecordSet rs = kupci();
    const QString xlsx = env->writeFile("k.xlsx", "stari");
    const QString txt = env->path("k.txt"), pdf = env->path("k.pdf");
    dlg->answerText(xlsx);
    dlg->answer(MsgResult::No);
    dlg->answerText(txt);
    dlg->answer(MsgResult::Ok);
    dlg->printToFile = pdf;
    frmPrikazZapisa f;
    prikazi(f, &rs, -1, -1, -1, "", [&] {
      const auto akcije = f.mnuAkcija()->actions();
      for (int i : {1, 3, 0}) akcije[i]->trigger();
    });
    QCOMPARE(dlg->calls[0].file.fileName, "Kupci 1_2_ čšž.xlsx");
    QCOMPARE(dlg->calls[1].text, "Datoteka: \r\n" + xlsx + "\r\nveć postoji. Prepisati?");
    QCOMPARE(dlg->calls[1].title, "Prepis datoteke?");
    QCOMPARE(readWholeFile(xlsx), QByteArray("stari"));
    QCOMPARE(dlg->calls[2].file.fileName, "Kupci 1_2_ čšž.txt");
    QCOMPARE(readWholeFile(txt).split('\n').mid(0, 2),
             QList<QByteArray>({"\tMjesto\tIme\tIznos\tStanje\tKom\r", "\tZagreb\tIvo\t1.234,50\t-5,00\t1.200\r"}));
    QCOMPARE(dlg->calls[3].kind, DialogCall::Print);
    QCOMPARE(dlg->calls[3].title, "Kupci 1/2: čšž");
    const QString tekst = procitajPdf(pdf).tekst;
    QVERIFY2(tekst.contains("Čedo") && tekst.contains("1.234,50"), qPrintable(tekst));
  }
};

QTEST_MAIN(TstFrmPrikazZapisa)
#include "tst_frmprikazzapisa.moc"
