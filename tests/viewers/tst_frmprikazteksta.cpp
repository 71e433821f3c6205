// The text viewer: its answers and modes, the stored position and saving the text.
#include "viewers/ViewerTestSupport.h"
#include "viewers/frmPrikazTeksta.h"

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

}  // namespace

class TstFrmPrikazTeksta : public Fixture {
  Q_OBJECT

 private slots:
  void init() {
    Fixture::init();
    obrisiOdgodjene();
  }
  void cleanup() {
    delete frmPrikazTeksta::forma();
    Fixture::cleanup();
  }

  // Every answer unloads the shared window (saving its position). Esc presses "&Ne" when a
  // question is asked, "&Ok" otherwise; Enter presses "&Ok" and never prints, and leaves a
  // question unanswered.
  void odgovori_data() {
    QTest::addColumn<QString>("pitanje");  // empty: the plain OK mode
    QTest::addColumn<QString>("akcija");   // a button's name, "Esc", "Enter" or "close"
    QTest::addColumn<bool>("da");
    QTest::addColumn<bool>("unload");
    QTest::newRow("OK") << "" << "OKButton" << false << true;
    QTest::newRow("Esc without a question") << "" << "Esc" << false << true;
    QTest::newRow("Enter without a question") << "" << "Enter" << false << true;
    QTest::newRow("Da") << "Želite li nastaviti?" << "cmdDa" << true << true;
    QTest::newRow("Ne") << "Želite li nastaviti?" << "cmdNe" << false << true;
    QTest::newRow("Esc on a question") << "?" << "Esc" << false << true;
    QTest::newRow("Enter on a question") << "?" << "Enter" << false << false;
    QTest::newRow("close box") << "?" << "close" << false << true;
  }
  void odgovori() {
    QFETCH(QString, pitanje);
    QFETCH(QString, akcija);
    QFETCH(bool, unload);
    QPointer<frmPrikazTeksta> f = frmPrikazTeksta::forma();
    f->OdgovorDa = true;  // a former answer does not carry over
    QStringList vidjeno;
    QString ispis;  // a window Enter opened
    whenModalRuns(f, [&] {
      vidjeno = stanje(f);
      QTimer::singleShot(100, [&] {
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
    const bool upit = !pitanje.isEmpty();
    QCOMPARE(vidjeno, QStringList({upit ? "-" : "OKButton", upit ? "cmdDa" : "-",
                                   upit ? "cmdNe" : "-", pitanje, "prvi red\nšđčćž", "Naslov"}));
    QCOMPARE(ispis, "");
    QVERIFY(f);  // still readable right after the call
    QTEST(f->OdgovorDa, "da");
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
    QCOMPARE(pitanje.text, QString("Datoteka sa tim imenom već postoji ! Želite li je prepisati?"));
    QCOMPARE(pitanje.title, stari);
    QCOMPARE(pitanje.icon, MsgIcon::Question);
    QCOMPARE(pitanje.buttons, MsgButtons::YesNo);
    QCOMPARE(QDir(env->path()).entryList(QDir::Files), prije);  // cancelled: nothing written
  }
};

QTEST_MAIN(TstFrmPrikazTeksta)
#include "tst_frmprikazteksta.moc"
