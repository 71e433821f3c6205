// The report window over the text viewer's report: PDF export read back by poppler, page
// ranges, the name check and the stored folder, the PDF handed to the send form, printing
// and page setup through the dialog interface, the range keys and the stored position.
#include <QPrintPreviewWidget>

#include "viewers/ReportMailHook.h"
#include "viewers/ViewerTestSupport.h"
#include "viewers/frmIspisCR.h"
#include "viewers/frmPrikazTeksta.h"

using namespace viewers;
using platform::MsgIcon;
using platform::MsgResult;
using core::VelkorSetting;

namespace {

QString tekst200() {
  QStringList redovi;
  for (int i = 1; i <= 200; ++i) redovi << QString("Redak %1: Šime Čačić <a@b.hr> đžćčš ĐŽĆČŠ").arg(i);
  return redovi.join('\n');
}

// The text viewer shows the text; its print button opens the report window, where akcija
// runs; both windows are closed afterwards.
void uIspisu(const QString& tekst, const std::function<void(frmIspisCR&)>& akcija) {
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
  f.PrikažiTekst("Opis greške", tekst, false, {});
}

// What the report window hands to the send form: subject, recipient, first attachment, and
// whether that file existed at the call.
QStringList g_poslano;
void zapamtiSlanje(const QString& s, const QString& r, const QString&, const QString&,
                   const QString&, const QString& a1, const QString&, const QString&) {
  g_poslano << s << r << a1 << QString::number(QFile::exists(a1));
}

}  // namespace

class TstFrmIspisCR : public Fixture {
  Q_OBJECT

 private slots:
  void init() {
    Fixture::init();
    core::SaveVelkorSetting("DirektorijaGenPDF", env->path("pdf/"));
    QDir().mkpath(env->path("pdf/mapa.pdf"));  // a directory where a PDF is asked for
    g_poslano.clear();
    setReportMailHook(&zapamtiSlanje);
  }
  void cleanup() {
    setReportMailHook(nullptr);
    Fixture::cleanup();
  }

  // Each way to a PDF, read back by poppler, with its checks and the stored folder. The
  // e-mail button hands a written PDF to the send form, the caption as subject; nothing
  // when no PDF was written.
  void izvozPDF_data() {
    QTest::addColumn<QString>("korak");    // a button, "opseg A B" in the range frame, "poziv A B"
    QTest::addColumn<QString>("odgovor");  // name answered in the file dialog, "" cancel
    QTest::addColumn<int>("stranica");     // pages of the PDF: -1 all, 0 none written
    QTest::addColumn<QString>("poruke");   // boxes after the file dialog
    QTest::addColumn<QString>("mapa");     // stored folder afterwards
    QTest::newRow("all pages") << "cmdUPDF" << "pdf/Izvještaj.PDF" << -1 << "" << "pdf/";
    QTest::newRow("2 to 2") << "opseg 2 2" << "pdf/dva.pdf" << 1 << "" << "pdf/";
    QTest::newRow("end clamped") << "poziv 2 999" << "pdf/kraj.pdf" << -2 << "" << "pdf/";
    QTest::newRow("3 to 2 refused") << "opseg 3 2" << "" << 0
                                    << "Prvi broj stranice veći od drugog! Ispravite." << "pdf/";
    QTest::newRow("start past end") << "poziv 9 9" << "" << 0
                                    << "Prvi broj stranice veći od broja stranica izvještaja (%1)! "
                                       "Ispravite." << "pdf/";
    QTest::newRow("cancel") << "cmdUPDF" << "" << 0 << "" << "pdf/";
    QTest::newRow("bad name, folder kept") << "cmdUPDF" << "nova/x.pdx" << 0
                                           << "Ime datoteke nije ispravno!" << "nova/";
    QTest::newRow("new folder, any case") << "cmdUPDF" << "a/b/x.PdF" << -1 << "" << "a/b/";
    QTest::newRow("directory") << "cmdUPDF" << "pdf/mapa.pdf" << 0 << "Desila se greška: " << "pdf/";
    QTest::newRow("e-mail") << "cmdEmail" << "pdf/r.pdf" << -1 << "" << "pdf/";
    QTest::newRow("e-mail, not written") << "cmdEmail" << "pdf/mapa.pdf" << 0 << "Desila se greška: " << "pdf/";
  }
  void izvozPDF() {
    QFETCH(QString, korak);
    QFETCH(QString, odgovor);
    QFETCH(int, stranica);
    QFETCH(QString, poruke);
    dlg->answerText(odgovor.isEmpty() ? std::nullopt : std::optional(env->path(odgovor)));
    int ukupno = 0, pregled = 0;
    uIspisu(tekst200(), [&](frmIspisCR& f) {
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
    QFETCH(QString, mapa);
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

  // Printing goes through the print dialog on the report's layout; a page setup is seen in
  // the next preview, the range maxima and the next print.
  void ispisIPostavkaStranice() {
    dlg->printToFile = env->path("ispis.pdf");
    dlg->pageSetupLayout = QPageLayout(QPageSize(QPageSize::A5), QPageLayout::Landscape,
                                       QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    QList<int> stranica;
    QStringList velicina;
    uIspisu(tekst200(), [&](frmIspisCR& f) {
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
    QCOMPARE(stranica.size(), 6);  // preview, range maximum and printed pages agree
    QCOMPARE(stranica, QList<int>({stranica[0], stranica[0], stranica[0], stranica[3], stranica[3], stranica[3]}));
    QVERIFY(stranica[3] > stranica[0]);
    QVERIFY2(velicina[0].contains("(A4)") && velicina[1].startsWith("595"), qPrintable(velicina.join(';')));
  }

  // In the range frame Left or Down steps back, Right or Up forward, never below 1 nor past
  // the last page.
  void tipkeOpsega() {
    QStringList vrijednosti;
    uIspisu(tekst200(), [&](frmIspisCR& f) {
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
    });
    QCOMPARE(vrijednosti.join(' '), "1 2 3 2 0");
  }

  // With PamtiPoziciju the window opens at top 0 with left, width and height half the
  // screen width, and stores where it was left; without, nothing is stored.
  void polozaj() {
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
};

QTEST_MAIN(TstFrmIspisCR)
#include "tst_frmispiscr.moc"
