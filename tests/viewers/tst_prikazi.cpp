// The viewers. The text viewer: its answers and modes, the stored position and saving the
// text. Its report window: PDF export read back by poppler, page ranges, the name check and
// the stored folder, the PDF handed to the send form, printing and page setup through the
// dialog interface, the range keys and the stored position. The record grid: sorting by
// header, sum rows, the reports' styles, exports and printing.
#include <QPrintPreviewWidget>

#include "viewers/ModelZapisa.h"
#include "viewers/ReportMailHook.h"
#include "viewers/ViewerTestSupport.h"
#include "viewers/frmIspisCR.h"
#include "viewers/frmPrikazTeksta.h"
#include "viewers/frmPrikazZapisa.h"

using namespace platform;
using namespace core;
using namespace viewers;

namespace {

// The visible buttons ("-" for a hidden one), the question, the text and the caption.
QStringList stanje(QWidget* f) {
  QStringList out;
  for (const char* g : {"OKButton", "cmdDa", "cmdNe"})
    out << (child<QPushButton>(f, g)->isVisible() ? g : "-");
  return out << f->findChild<QLabel*>("lblPitanje")->text()
             << f->findChild<QPlainTextEdit*>("txtPoruka")->toPlainText() << f->windowTitle();
}
void obrisiOdgodjene() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
// The stored left, top, width and height in twips.
QString polozaj() {
  QStringList out;
  for (const char* k : {"MainLeftPrikTeksta", "MainTopPrikTeksta", "MainWidthPrikTeksta",
                        "MainHeightPrikTeksta"})
    out << VelkorSetting(k);
  return out.join(' ');
}

// The text viewer shows 200 lines; its print button opens the report window, where akcija
// runs; both windows are closed afterwards.
void uIspisu(const std::function<void(frmIspisCR&)>& akcija) {
  QStringList redovi;
  for (int i = 1; i <= 200; ++i) redovi << QString("Redak %1: Šime Čačić <a@b.hr> đžćčš ĐŽĆČŠ").arg(i);
  frmPrikazTeksta f;
  whenModalRuns(&f, [&] {
    QTimer::singleShot(0, &f, [&] {
      auto* ispis = f.findChild<frmIspisCR*>();
      QVERIFY(ispis && ispis->isVisible());
      akcija(*ispis);
      ispis->close();
    });
    screenshot(&f, "frmPrikazTeksta");
    click(&f, "cmdIspis");
  });
  f.PrikažiTekst("Opis greške", redovi.join('\n'), false, {});
}

// What the report window hands to the send form: subject, recipient, first attachment, and
// whether that file existed at the call.
QStringList g_poslano;
void zapamtiSlanje(const QString& s, const QString& r, const QString&, const QString&,
                   const QString&, const QString& a1, const QString&, const QString&) {
  g_poslano << s << r << a1 << QString::number(QFile::exists(a1));
}

RecordSet kupci() {
  return recordSet({{"Mjesto", adVarWChar}, {"Ime", adVarWChar}, {"Iznos", adCurrency},
               {"Stanje", adCurrency}, {"Kom", adInteger}},
              {{"Zagreb", "Ivo", "1234.5", "-5", "1200"},
               {"Split", "Ana", "2", "0", "3"},
               {"Zagreb", "Čedo", "10", "4", "5"}});
}

// Each row's shown texts, joined by "|".
QStringList tekstovi(const ModelZapisa& m) {
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

// A way to a PDF: the step, the name answered, the pages, the boxes and the folder.
struct Pdfom {
  QString korak;    // a button, "opseg A B" in the range frame, "poziv A B"
  QString odgovor;  // name answered in the file dialog, "" cancel
  int stranica;     // pages of the PDF: -1 all, -2 all but the first, 0 none written
  QString poruke;   // boxes after the file dialog
  QString mapa;     // stored folder afterwards
};

}  // namespace
Q_DECLARE_METATYPE(Pdfom)

class TstPrikazi : public Fixture {
  Q_OBJECT

 private slots:
  void init() {
    Fixture::init();
    obrisiOdgodjene();
    SaveVelkorSetting("DirektorijaGenPDF", env->path("pdf/"));
    QDir().mkpath(env->path("pdf/mapa.pdf"));  // a directory where a PDF is asked for
    g_poslano.clear();
    setReportMailHook(&zapamtiSlanje);
  }
  void cleanup() {
    QLocale::setDefault(QLocale::system());  // the grid's tests set their own
    setReportMailHook(nullptr);
    delete frmPrikazTeksta::forma();
    Fixture::cleanup();
  }

  // Every answer unloads the shared window (saving its position). Esc presses "&Ne" when a
  // question is asked, "&Ok" otherwise; Enter presses "&Ok" and never prints, and leaves a
  // question unanswered. Only "&Da" answers yes.
  void odgovori_data() {
    QTest::addColumn<QString>("pitanje");  // empty: the plain OK mode
    QTest::addColumn<QString>("akcija");   // a button's name, "Esc", "Enter" or "close"
    QTest::newRow("OK") << "" << "OKButton";
    QTest::newRow("Esc without a question") << "" << "Esc";
    QTest::newRow("Enter without a question") << "" << "Enter";
    QTest::newRow("Da") << "Želite li nastaviti?" << "cmdDa";
    QTest::newRow("Ne") << "Želite li nastaviti?" << "cmdNe";
    QTest::newRow("Esc on a question") << "?" << "Esc";
    QTest::newRow("Enter on a question") << "?" << "Enter";
    QTest::newRow("close box") << "?" << "close";
  }
  void odgovori() {
    QFETCH(QString, pitanje);
    QFETCH(QString, akcija);
    const bool upit = !pitanje.isEmpty(), unload = !upit || akcija != "Enter";
    QPointer<frmPrikazTeksta> f = frmPrikazTeksta::forma();
    f->OdgovorDa = true;  // a former answer does not carry over
    QStringList vidjeno;
    QString ispis;  // a window Enter opened
    QObject straza;  // a window Enter opens is closed from its loop; the timer ends with the test
    whenModalRuns(f, [&] {
      vidjeno = stanje(f);
      QTimer::singleShot(100, &straza, [&] {
        if (QWidget* w = QApplication::activeModalWidget(); w && w != f) {
          ispis = w->metaObject()->className();
          w->close();
        }
      });
      if (akcija == "Enter") QTest::keyClick(f->focusWidget() ? f->focusWidget() : f.data(), Qt::Key_Return);
      else if (akcija == "Esc") QTest::keyClick(f, Qt::Key_Escape);
      else if (akcija == "close") f->close();
      else click(f, akcija);
    });
    f->PrikažiTekst("Naslov", "prvi red\nšđčćž", !pitanje.isEmpty(), pitanje);
    QCOMPARE(vidjeno, QStringList({upit ? "-" : "OKButton", upit ? "cmdDa" : "-",
                                   upit ? "cmdNe" : "-", pitanje, "prvi red\nšđčćž", "Naslov"}));
    QCOMPARE(ispis, "");
    QVERIFY(f);  // still readable right after the call
    QCOMPARE(f->OdgovorDa, akcija == "cmdDa");
    obrisiOdgodjene();
    QCOMPARE(f.isNull(), unload);
    QCOMPARE(polozaj(), unload ? "2715 3315 8025 4995" : "   ");  // the default, saved at unload
    QCOMPARE(frmPrikazTeksta::forma() == f.data(), !unload);
  }

  // Stored in twips; a comma decimal reads too, an unusable value is the default.
  void storedPosition() {
    SaveVelkorSetting("MainLeftPrikTeksta", "1500");
    SaveVelkorSetting("MainTopPrikTeksta", "nije broj");
    SaveVelkorSetting("MainWidthPrikTeksta", "9000,0");
    SaveVelkorSetting("MainHeightPrikTeksta", "6000");
    QPointer<frmPrikazTeksta> f = frmPrikazTeksta::forma();
    QCOMPARE(f->geometry(), QRect(100, 221, 600, 400));
    f->move(120, 60);
    f->resize(630, 390);
    whenModalRuns(f, [&] { click(f, "OKButton"); });
    f->PrikažiTekst("x", "y", false, "");
    QCOMPARE(polozaj(), "1800 900 9450 5850");
  }

  // The text byte for byte (CR LF and LF as given, no newline added); an existing file is
  // replaced only when the user says so; cancelling the dialog writes nothing.
  void save() {
    const QString tekst = "Greška: 550 mailbox unavailable\r\nčćđšž ČĆĐŠŽ\nkraj";
    const QString novi = env->path("izlaz.txt");
    const QString stari = env->writeFile("postoji.txt", "stari sadržaj koji je duži od novog\n");
    ScriptedDialogs& d = *dlg;
    QStringList prije;
    frmPrikazTeksta* f = frmPrikazTeksta::forma();
    whenModalRuns(f, [&] {
      d.answerText(novi);
      click(f, "cmdSpremiTekst");
      QCOMPARE(d.calls.size(), 1);  // no overwrite question for a new file
      QCOMPARE(readWholeFile(novi), tekst.toUtf8());
      for (const MsgResult odgovor : {MsgResult::No, MsgResult::Yes}) {
        d.answerText(stari);
        d.answer(odgovor);
        f->findChild<QAction*>("mnuSpremiTekst")->trigger();
        QCOMPARE(readWholeFile(stari), odgovor == MsgResult::Yes
                                     ? tekst.toUtf8() : "stari sadržaj koji je duži od novog\n");
      }
      prije = QDir(env->path()).entryList(QDir::Files);
      d.answerText(std::nullopt);
      click(f, "cmdSpremiTekst");
      click(f, "OKButton");
    });
    f->PrikažiTekst("x", tekst, false, "");
    QCOMPARE(d.unanswered, 0);
    QCOMPARE(d.calls.size(), 6);
    const DialogCall& c = d.calls.first();
    QCOMPARE(c.kind, DialogCall::SaveFile);
    QCOMPARE(c.file.title + "|" + c.file.fileName,
             QString("Izaberite uređaj i direktoriju TXT datoteke za spremanje|Tekst poruke.txt"));
    const DialogCall& pitanje = d.calls[2];
    QCOMPARE(pitanje.title + "|" + pitanje.text,
             stari + "|Datoteka sa tim imenom već postoji ! Želite li je prepisati?");
    QVERIFY(pitanje.icon == MsgIcon::Question && pitanje.buttons == MsgButtons::YesNo);
    QCOMPARE(QDir(env->path()).entryList(QDir::Files), prije);  // cancelled: nothing written
  }

  // Each way to a PDF, read back by poppler, with its checks and the stored folder. The
  // e-mail button hands a written PDF to the send form, the caption as subject; nothing
  // when no PDF was written.
  void izvozPDF_data() {
    QTest::addColumn<Pdfom>("p");
    QTest::newRow("all pages") << Pdfom{"cmdUPDF", "pdf/Izvještaj.PDF", -1, "", "pdf/"};
    QTest::newRow("2 to 2") << Pdfom{"opseg 2 2", "pdf/dva.pdf", 1, "", "pdf/"};
    QTest::newRow("end clamped") << Pdfom{"poziv 2 999", "pdf/kraj.pdf", -2, "", "pdf/"};
    QTest::newRow("3 to 2 refused") << Pdfom{"opseg 3 2", "", 0, "Prvi broj stranice veći od drugog! Ispravite.",
                                             "pdf/"};
    QTest::newRow("start past end") << Pdfom{"poziv 9 9", "", 0,
        "Prvi broj stranice veći od broja stranica izvještaja (%1)! Ispravite.", "pdf/"};
    QTest::newRow("cancel") << Pdfom{"cmdUPDF", "", 0, "", "pdf/"};
    QTest::newRow("bad name, folder kept") << Pdfom{"cmdUPDF", "nova/x.pdx", 0, "Ime datoteke nije ispravno!",
                                                    "nova/"};
    QTest::newRow("new folder, any case") << Pdfom{"cmdUPDF", "a/b/x.PdF", -1, "", "a/b/"};
    QTest::newRow("directory") << Pdfom{"cmdUPDF", "pdf/mapa.pdf", 0, "Desila se greška: ", "pdf/"};
    QTest::newRow("e-mail") << Pdfom{"cmdEmail", "pdf/r.pdf", -1, "", "pdf/"};
    QTest::newRow("e-mail, not written") << Pdfom{"cmdEmail", "pdf/mapa.pdf", 0, "Desila se greška: ", "pdf/"};
  }
  void izvozPDF() {
    QFETCH(Pdfom, p);
    auto& [korak, odgovor, stranica, poruke, mapa] = p;
    dlg->answerText(odgovor.isEmpty() ? std::nullopt : std::optional(env->path(odgovor)));
    int ukupno = 0, pregled = 0;
    uIspisu([&](frmIspisCR& f) {
      ukupno = f.rptIzvjestaj.pageCount();
      pregled = f.CRVRadnici()->pageCount();
      f.EmailPrimatelja = "kupac@firma.hr";
      screenshot(&f, "frmIspisCR");
      const QStringList k = korak.split(' ');
      if (k[0] == "poziv") return f.IzveziPDF(false, k[1].toInt(), k[2].toInt());
      if (k[0] == "opseg") {
        click(&f, "cmdUPDFstr");
        QCOMPARE(child<QGroupBox>(&f, "fraOpsegStrana")->title(), QString("Export to PDF"));
        child<QSpinBox>(&f, "ubOd")->setValue(k[1].toInt());
        child<QSpinBox>(&f, "ubDo")->setValue(k[2].toInt());
        return click(&f, "cmdOdDoExport");
      }
      click(&f, k[0]);
    });
    QVERIFY(ukupno >= 3);
    QCOMPARE(pregled, ukupno);  // the preview paginates like the PDF
    QStringList poruka;
    for (const DialogCall& c : dlg->calls) {
      if (c.kind == DialogCall::Message) poruka << c.text;
      else QCOMPARE(c.file.fileName, env->path("pdf/Izvještaj.PDF"));  // the stored folder
    }
    poruke.replace("%1", QString::number(ukupno));
    QCOMPARE(poruka.join('|').left(poruke.isEmpty() ? -1 : poruke.size()), poruke);
    QCOMPARE(VelkorSetting("DirektorijaGenPDF"), env->path(mapa));
    QVERIFY(QFileInfo::exists(env->path(mapa)));
    const QString put = env->path(odgovor);
    const bool poslano = korak == "cmdEmail" && stranica;
    QCOMPARE(g_poslano.join('|'), poslano ? "Izvještaj|kupac@firma.hr|" + put + "|1" : "");
    if (stranica == 0) {
      QVERIFY(odgovor.isEmpty() || !QFileInfo(put).isFile());
      return;
    }
    const Pdf pdf = procitajPdf(put);
    QCOMPARE(pdf.stranica, stranica == -1 ? ukupno : stranica == -2 ? ukupno - 1 : stranica);
    QVERIFY2(pdf.tekst.contains("<a@b.hr>") && pdf.tekst.contains("đžćčš ĐŽĆČŠ"), qPrintable(pdf.tekst.left(300)));
    QCOMPARE(pdf.tekst.contains("Opis greške") && pdf.tekst.contains("Redak 1:"), stranica == -1);
    QCOMPARE(pdf.tekst.contains("Redak 200:"), stranica != 1);
  }

  // In the range frame Left or Down steps back, Right or Up forward, never below 1 nor past
  // the last page. Printing goes through the print dialog on the report's layout; a page
  // setup is seen in the next preview, the range maxima and the next print.
  void tipkeIspisIPostavkaStranice() {
    dlg->printToFile = env->path("ispis.pdf");
    dlg->pageSetupLayout = QPageLayout(QPageSize(QPageSize::A5), QPageLayout::Landscape,
                                       QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    QList<int> stranica;
    QStringList velicina, vrijednosti;
    uIspisu([&](frmIspisCR& f) {
      click(&f, "cmdEmailStr");
      auto* od = child<QSpinBox>(&f, "ubOd");
      QCOMPARE(f.focusWidget(), od);
      screenshot(&f, "frmIspisCROpseg");
      for (Qt::Key t : {Qt::Key_Down, Qt::Key_Right, Qt::Key_Up, Qt::Key_Left}) {
        QTest::keyClick(od, t);
        vrijednosti << QString::number(od->value());
      }
      for (int i = 0; i <= f.rptIzvjestaj.pageCount(); ++i) QTest::keyClick(od, Qt::Key_Right);
      vrijednosti << QString::number(od->value() - f.rptIzvjestaj.pageCount());
      for (MsgResult postavka : {MsgResult::Cancel, MsgResult::Ok}) {
        dlg->answer(postavka);
        click(&f, "cmdPostaviPrinter");
        dlg->answer(MsgResult::Ok);
        click(&f, "cmdIspis");
        const Pdf pdf = procitajPdf(env->path("ispis.pdf"));
        stranica << f.CRVRadnici()->pageCount() << child<QSpinBox>(&f, "ubDo")->maximum() << pdf.stranica;
        velicina << pdf.velicina;
      }
    });
    QCOMPARE(vrijednosti.join(' '), "1 2 3 2 0");
    QCOMPARE(stranica.size(), 6);  // preview, range maximum and printed pages agree
    QCOMPARE(stranica, QList<int>({stranica[0], stranica[0], stranica[0], stranica[3], stranica[3], stranica[3]}));
    QVERIFY(stranica[3] > stranica[0]);
    QVERIFY2(velicina[0].contains("(A4)") && velicina[1].startsWith("595"), qPrintable(velicina.join(';')));
  }

  // With PamtiPoziciju the window opens at top 0 with left, width and height half the
  // screen width, and stores where it was left; without, nothing is stored.
  void polozajIspisa() {
    const int pola = QGuiApplication::primaryScreen()->geometry().width() / 2;
    for (bool pamti : {false, true}) {
      frmIspisCR f;
      f.PamtiPoziciju = pamti;
      QRect g;
      whenModalRuns(&f, [&] { g = QRect(f.pos(), f.size()), f.move(30, 45), f.close(); });
      f.Prikaži();
      if (pamti) QCOMPARE(g, QRect(pola, 0, pola, pola));
      QCOMPARE(VelkorSetting("KIFModalLeft") + ";" + VelkorSetting("KIFModalTop"),
               QString(pamti ? "450;675" : ";"));
    }
  }

  // Three clicks on one header: ascending, descending, ascending; the fixed column does
  // nothing. Exports propose the cleaned caption; an existing workbook is replaced only after
  // "Yes"; tab text holds the grid with its fixed cells; printing goes through the print
  // dialog. No set: an empty grid; "Izlaz" stores the position in twips.
  void sortExportsAndPrint() {
    QLocale::setDefault(QLocale(QLocale::Croatian, QLocale::Croatia));
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
      vidjeno = tekstovi(*f.model()) + stilovi(*f.model());
      screenshot(&f, "frmPrikazZapisa_" + QString(QTest::currentDataTag()).replace(' ', '_'));
      emit f.findChild<QTableView*>("fg")->horizontalHeader()->sectionClicked(1);
      poslije = tekstovi(*f.model());
    });
    f.PrikažiZapise("Kupci 1/2: čšž", &rs, grupe ? 1 : -1, grupe ? 3 : -1, grupe ? 5 : -1, izvjestaj);
    QTEST(vidjeno, "redovi");
    if (grupe) QCOMPARE(QStringList({poslije[0], poslije[2]}), QStringList({vidjeno[2], vidjeno[4]}));
  }
};

QTEST_MAIN(TstPrikazi)
#include "tst_prikazi.moc"
