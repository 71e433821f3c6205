// The composer window's own commands: files, the close question, attachments, the source
// and preview tabs (with the files a message carries), long address lists, the window on a
// 1024×768 screen, New, and the refusals while a send runs.
#include <QWebEngineView>

#include "ComposerRun.h"
#include "composer/HtmlEditor.h"
#include "viewers/frmPrikazTeksta.h"

using platform::MsgResult;

class TstFrmMain : public Fixture {
  Q_OBJECT
  QPointer<frmMain> f;

  template <class T = QWidget> T* dio(const char* ime) { return f->findChild<T*>(ime); }
  QString tekst(const char* ime) { return dio<QLineEdit>(ime)->text(); }
  static QString datoteka(const QString& put) { return QString::fromUtf8(readWholeFile(put)); }
  QString dokument() { return f->Editor()->documentHtml(); }

 private slots:
  void init() {
    Fixture::init();
    f = frmMain::forma();
    f->show();
  }
  void cleanup() {
    frmMain::PostaviMijenjana(false);
    delete f;
    Fixture::cleanup();
  }

  // A file in windows-1250 opens readable; it is saved in UTF-8, declared so, and a save
  // that fails says so and keeps the change pending.
  void open_type_save() {
    const QString put = env->writeFile("ponuda.html", "<html><head><meta charset=\"windows-1250\"></head>"
                                                     "<body><p>Po\x9Atovani kup\xE8" "e,</p></body></html>");
    dlg->answerText(put);
    f->mnuFileOpen_Click();
    QCOMPARE(f->windowTitle(), "Slanje E-mail-a : " + put);
    QCOMPARE(dlg->last().file.filter.section('|', 0, 0), QString(" Sve Web datoteke (*.asp, *.asa, *.pl, *.htm, *.html, *.css) "));
    QVERIFY(dokument().contains("<p>Poštovani kupče,</p>"));
    QVERIFY(!frmMain::DatotekaMijenjana());  // opening is no change
    f->Editor()->view()->focusProxy()->setFocus();
    QTest::keyClick(f->Editor()->view()->focusProxy(), Qt::Key_X);
    QVERIFY(frmMain::DatotekaMijenjana());
    QTRY_VERIFY(dokument().contains("x"));
    dlg->answerText(std::nullopt);  // a cancelled save is no save
    QVERIFY(!f->mnuFileSave_Click());
    dlg->answerText(env->path("nema/mape/x.html"));
    QVERIFY(!f->mnuFileSave_Click());
    QVERIFY2(dlg->last().text.startsWith("Datoteka nije spremljena: ") && dlg->last().icon == platform::MsgIcon::Exclamation,
             qPrintable(dlg->last().text));
    QVERIFY(frmMain::DatotekaMijenjana());
    const QString novi = env->path("spremljena ponuda.html");
    dlg->answerText(novi);
    QVERIFY(f->mnuFileSave_Click());
    QVERIFY(!frmMain::DatotekaMijenjana());
    QCOMPARE(datoteka(novi), QString(dokument()).replace("windows-1250", "utf-8"));
  }

  void closeQuestion_data() {
    QTest::addColumn<int>("odgovor");
    QTest::addColumn<bool>("spremi");   // the save dialog gets a name
    QTest::addColumn<bool>("zatvoren");
    QTest::newRow("Cancel keeps") << int(MsgResult::Cancel) << false << false;
    QTest::newRow("No closes") << int(MsgResult::No) << false << true;
    QTest::newRow("Yes, save cancelled, keeps") << int(MsgResult::Yes) << false << false;
    QTest::newRow("Yes, saved, closes") << int(MsgResult::Yes) << true << true;
  }
  void closeQuestion() {
    QFETCH(int, odgovor);
    QFETCH(bool, spremi);
    QFETCH(bool, zatvoren);
    QVERIFY(f->Editor()->setDocumentHtml("<p>Važan tekst</p>"));
    frmMain::PostaviMijenjana(true);
    dlg->answer(MsgResult(odgovor));
    const QString put = env->path("zatvaranje.html");
    QFile::remove(put);
    dlg->answerText(spremi ? std::optional<QString>(put) : std::nullopt);
    QTest::keyClick(f, Qt::Key_Escape);
    QCOMPARE(dlg->calls.first().text, QString("Datoteka je mijenjana!\r\nŽelite li spremiti datoteku?"));
    QCOMPARE(dlg->calls.first().title, QString("Slanje E-mail-a"));
    QCOMPARE(dlg->calls.first().icon, platform::MsgIcon::Information);
    QCOMPARE(dlg->calls.first().buttons, platform::MsgButtons::YesNoCancel);
    QCOMPARE(f->isVisible(), !zatvoren);
    QCOMPARE(QFile::exists(put), spremi);
    if (!zatvoren) QVERIFY(dokument().contains("Važan tekst"));
  }

  void attach_multiSelect() {
    const QStringList tri = {env->path("a.txt"), env->path("b.txt"), env->path("c.txt")};
    dlg->answerFiles(tri);
    dio<QPushButton>("cmdAttach")->click();
    QCOMPARE(tekst("txtAttach"), tri.join(';'));
    QCOMPARE(dlg->last().kind, DialogCall::OpenFiles);
    QCOMPARE(dlg->last().title, QString("Izaberite datoteke u privitku"));
    dlg->answerFiles({env->path("x;y.txt"), env->path("d.txt")});
    dio<QPushButton>("cmdAttach")->click();
    QCOMPARE(tekst("txtAttach"), tri.join(';') + ";" + env->path("d.txt"));
    QVERIFY(dlg->calls[2].text.contains("x;y.txt"));
    dio<QPushButton>("cmdAttach")->click();  // cancelled: unchanged
    QCOMPARE(tekst("txtAttach"), tri.join(';') + ";" + env->path("d.txt"));
  }

  void sourceAndPreviewTabs_listsFiles() {
    QVERIFY(f->Editor()->setDocumentHtml(
        "<html><head><META NAME=\"GENERATOR\" Content=\"Microsoft DHTML Editing Control\"></head>"
        "<body><p>Čokolada</p></body></html>"));
    auto* tabovi = dio<QTabWidget>("SSTab2");
    for (int i = 0; i < 2; ++i) {  // twice: the same text each time
      tabovi->setCurrentIndex(1);
      QCOMPARE(dio<QPlainTextEdit>("txtSource")->toPlainText(),
               QString("<html><head></head><body><p>Čokolada</p></body></html>"));
      dio<QPushButton>("cmdCancel")->click();
      QCOMPARE(tabovi->currentIndex(), 0);
    }
    QVERIFY(datoteka(f->PreviewFile()).contains("<meta charset=\"utf-8\"><meta name=\"GENERATOR\""));
    QCOMPARE(QFileInfo(QFileInfo(f->PreviewFile()).path()).permissions() & QFileDevice::ReadOther, 0);
    tabovi->setCurrentIndex(1);
    dio<QPlainTextEdit>("txtSource")->setPlainText("<p>Šljiva</p>");
    dio<QPushButton>("cmdApply")->click();
    tabovi->setCurrentIndex(2);
    QTRY_COMPARE(dio<QWebEngineView>("WbrPreview")->url(), QUrl::fromLocalFile(f->PreviewFile()));
    QVERIFY(datoteka(f->PreviewFile()).contains("<p>Šljiva</p>"));
    // The preview names the files each message carries, and any non-image an <img> names.
    tabovi->setCurrentIndex(0);
    env->writeFile("doc/logo.png", QByteArray::fromHex("89504e470d0a1a0a"));
    const QString tajna = env->writeFile("tajna.txt", "lozinka");
    QVERIFY(f->Editor()->loadDocument(env->writeFile("doc/pismo.html",
        "<html><body><img src=\"logo.png\"><img src=\"../tajna.txt\" style=\"display:none\"></body></html>")));
    dio<QLineEdit>("txtAttach")->setText(env->path("ponuda.pdf"));
    dio<QTabWidget>("SSTab2")->setCurrentIndex(2);
    QVERIFY(dio<QLabel>("lblPregledZa")->isVisible());
    QCOMPARE(dio<QLabel>("lblPregledZa")->text(),
             "Datoteke u poruci: logo.png, ponuda.pdf\nNisu slikovne datoteke, slanje neće krenuti: " + tajna);
  }

  // On a 1024×768 screen (less a title bar and a panel) nothing is cut off.
  void fitsSmallScreen() {
    for (int i = 0; i < 60; ++i) dio<QTreeWidget>("lvEmail")->addTopLevelItem(new QTreeWidgetItem({"a@b.hr"}));
    QVERIFY(QTest::qWaitForWindowExposed(f));
    f->resize(1024, 700);
    QTRY_COMPARE(f->size(), QSize(1024, 700));
    QWidget* traka = dio<QTreeWidget>("lvEmail")->verticalScrollBar();
    QTRY_VERIFY(traka->isVisible());
    for (QWidget* w : {dio("cmdExit"), dio("cmdObriši_0"), dio("cmdObriši_1"), dio("cmdPošaljiPrekoRS"), traka}) {
      QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
      QVERIFY2(f->rect().contains(QRect(w->mapTo(f, QPoint()), w->size())), qPrintable(w->objectName()));
    }
    if (qEnvironmentVariableIsSet("VELKOR_SNIMKE")) f->grab().save(qEnvironmentVariable("VELKOR_SNIMKE") + "/frmMain-1024.png");
  }

  // Lists longer than a box can show go into the text viewer, which scrolls (the clipboard's
  // text: tst_slanje, recipientList).
  void longLists() {
    const int n = 25;
    QStringList dobre, lose;
    for (int i = 0; i < n; ++i) dobre << QString("k%1@kupci.hr").arg(i), lose << QString("los%1@").arg(i);
    platform::RecordSet rs = kupci(dobre + lose);
    QStringList preglednik;  // the question and the line count of each viewer shown
    const auto otvoren = []() -> viewers::frmPrikazTeksta* {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* v = qobject_cast<viewers::frmPrikazTeksta*>(w); v && v->isVisible()) return v;
      return nullptr;
    };
    QTimer odgovori, naredba;  // two: one fires inside the other's modal loop
    connect(&odgovori, &QTimer::timeout, [&] {
      if (viewers::frmPrikazTeksta* v = otvoren()) {
        preglednik << v->findChild<QLabel*>("lblPitanje")->text() + " | " +
                          QString::number(v->findChild<QPlainTextEdit*>("txtPoruka")->blockCount());
        QTest::keyClick(v, Qt::Key_Escape);
      }
    });
    connect(&naredba, &QTimer::timeout, [&] {
      if (otvoren() || !f->testAttribute(Qt::WA_ShowModal)) return;  // not before its own loop
      naredba.stop();
      f->GenerirajListu();
      f->close();
    });
    odgovori.start(20), naredba.start(20);
    f->PrikažiPrekoRS(rs);
    QCOMPARE(dlg->calls.size(), 0);
    QCOMPARE(preglednik, QStringList({"Oni su izbrisani. Želite li nastaviti sa slanjem ispravnih e-mail-ova? | " +
                                          QString::number(n + 1),
                                      "Generirani svi mailovi u clipboard. Sada te podatke možete spremiti u npr. "
                                      "Outlook. | " + QString::number(n)}));
  }

  void reset_keepsSender_refusedWhileSending() {
    QVERIFY(composer::SpremiSender("Prodaja", "prodaja@firma.hr"));
    delete f;  // SENDER is read when the window loads
    f = frmMain::forma();
    f->show();
    QCOMPARE(tekst("txtFrom"), QString("Prodaja"));
    QCOMPARE(dio("txtFrom")->property("Tag").toString(), QString("prodaja@firma.hr"));
    for (const char* p : {"txtTo", "txtCC", "txtBCC", "txtSubject", "txtAttach"}) dio<QLineEdit>(p)->setText("x");
    f->PostaviUSlanju(true);
    f->mnuFileNew_Click();
    frmMain::PostaviMijenjana(true);
    dlg->answer(platform::MsgResult::No);
    f->close();  // asks whether to stop the run, and stays
    QVERIFY(f->isVisible() && tekst("txtTo") == "x" && !f->SlanjeZaustavljeno());
    QCOMPARE(dlg->texts(), QStringList{"Slanje je u tijeku. Želite li zaustaviti slanje?"});
    QVERIFY(!dio("cmdReset")->isEnabled() && !dio("cmdSend")->isEnabled());
    f->PostaviUSlanju(false);
    dio<QPushButton>("cmdReset")->click();
    for (const char* p : {"txtTo", "txtCC", "txtBCC", "txtSubject", "txtAttach"}) QCOMPARE(tekst(p), QString());
    QCOMPARE(tekst("txtFrom"), QString("Prodaja"));
    QCOMPARE(dokument(), QString("<html><head></head><body></body></html>"));
  }
};

QTEST_MAIN(TstFrmMain)
#include "tst_frmmain.moc"
