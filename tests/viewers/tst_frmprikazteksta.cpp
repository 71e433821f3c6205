#include <QtTest>
#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>
#include <memory>

#include "platform/SettingsStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"
#include "viewers/frmPrikazTeksta.h"

using namespace platform;

namespace {

const QString kTekst = QStringLiteral("Greška: 550 mailbox unavailable\r\nčćđšž ČĆĐŠŽ\nkraj");

QPushButton* gumb(QWidget* w, const char* ime) {
  return w->findChild<QPushButton*>(QString::fromLatin1(ime));
}

// Runs `akcija` inside the window's modal loop; whatever happens there, the window is
// closed afterwards so that a failed check cannot leave the test waiting.
void uPetlji(frmPrikazTeksta* f, std::function<void()> akcija) {
  QPointer<frmPrikazTeksta> p(f);
  QTimer::singleShot(0, f, [p, akcija] {
    akcija();
    if (p && p->isVisible()) p->hide();
  });
}

void obrisiOdgodjene() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

}  // namespace

class TstFrmPrikazTeksta : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env;

 private slots:
  void init() {
    env = std::make_unique<TestEnv>();
    obrisiOdgodjene();
  }
  void cleanup() {
    if (auto* f = frmPrikazTeksta::forma()) delete f;
    env.reset();
  }

  void okMode_showsOnlyOk_andUnloads() {
    QPointer<frmPrikazTeksta> f = frmPrikazTeksta::forma();
    QCOMPARE(f->windowTitle(), QString("Prikaz rezultata"));
    bool vidljivoOk = false, vidljivoDa = true, vidljivoNe = true;
    QString tekst, pitanje;
    uPetlji(f, [&] {
      vidljivoOk = gumb(f, "OKButton")->isVisible();
      vidljivoDa = gumb(f, "cmdDa")->isVisible();
      vidljivoNe = gumb(f, "cmdNe")->isVisible();
      tekst = f->findChild<QPlainTextEdit*>("txtPoruka")->toPlainText();
      pitanje = f->findChild<QLabel*>("lblPitanje")->text();
      QVERIFY(f->isModal());
      gumb(f, "OKButton")->click();
    });
    f->PrikažiTekst("Opis greške", "prvi red\nšđčćž", false, "");
    QVERIFY(vidljivoOk);
    QVERIFY(!vidljivoDa);
    QVERIFY(!vidljivoNe);
    QCOMPARE(tekst, QString("prvi red\nšđčćž"));
    QVERIFY(pitanje.isEmpty());
    QVERIFY(f);  // still readable right after the call
    QCOMPARE(f->windowTitle(), QString("Opis greške"));
    QVERIFY(!f->OdgovorDa);
    obrisiOdgodjene();
    QVERIFY(f.isNull());
    QCOMPARE(VelkorSetting("MainLeftPrikTeksta"), QString("2715"));
    QVERIFY(frmPrikazTeksta::forma() != nullptr);
  }

  void questionMode_answers_andKeepsInstance() {
    QPointer<frmPrikazTeksta> f = frmPrikazTeksta::forma();
    bool vidljivoOk = true, vidljivoDa = false;
    QString pitanje;
    uPetlji(f, [&] {
      vidljivoOk = gumb(f, "OKButton")->isVisible();
      vidljivoDa = gumb(f, "cmdDa")->isVisible() && gumb(f, "cmdNe")->isVisible();
      pitanje = f->findChild<QLabel*>("lblPitanje")->text();
      gumb(f, "cmdDa")->click();
    });
    f->PrikažiTekst("Pitanje", "tekst", true, "Želite li nastaviti?");
    QVERIFY(!vidljivoOk);
    QVERIFY(vidljivoDa);
    QCOMPARE(pitanje, QString("Želite li nastaviti?"));
    QVERIFY(f->OdgovorDa);
    obrisiOdgodjene();
    QVERIFY(!f.isNull());
    QCOMPARE(frmPrikazTeksta::forma(), f.data());
    QVERIFY(VelkorSetting("MainLeftPrikTeksta").isEmpty());  // saved only at unload

    // A later "&Ne" is a no, whatever the previous answer was.
    uPetlji(f, [&] { gumb(f, "cmdNe")->click(); });
    f->PrikažiTekst("Pitanje", "tekst", true, "Još jednom?");
    QVERIFY(!f->OdgovorDa);

    // Esc presses "&Ne" in question mode: hidden, not unloaded.
    uPetlji(f, [&] { QTest::keyClick(f->focusWidget(), Qt::Key_Escape); });
    f->PrikažiTekst("Pitanje", "tekst", true, "?");
    QVERIFY(!f->OdgovorDa);
    obrisiOdgodjene();
    QVERIFY(!f.isNull());

    // Esc presses "&Ok" otherwise: unloaded.
    uPetlji(f, [&] { QTest::keyClick(f->focusWidget(), Qt::Key_Escape); });
    f->PrikažiTekst("Poruka", "tekst", false, "");
    obrisiOdgodjene();
    QVERIFY(f.isNull());
  }

  void closeBox_unloads() {
    QPointer<frmPrikazTeksta> f = frmPrikazTeksta::forma();
    uPetlji(f, [&] { f->close(); });
    f->PrikažiTekst("Pitanje", "tekst", true, "?");
    QVERIFY(!f->OdgovorDa);
    obrisiOdgodjene();
    QVERIFY(f.isNull());
    QCOMPARE(VelkorSetting("MainWidthPrikTeksta"), QString("8025"));
  }

  void defaultPosition() {
    frmPrikazTeksta* f = frmPrikazTeksta::forma();
    QCOMPARE(f->pos(), QPoint(181, 221));  // 2715 and 3315 twips
    QCOMPARE(f->size(), QSize(535, 333));  // 8025 and 4995 twips
  }

  void savedPositionRestored() {
    SaveVelkorSetting("MainLeftPrikTeksta", "1500");
    SaveVelkorSetting("MainTopPrikTeksta", "1200,0");
    SaveVelkorSetting("MainWidthPrikTeksta", "9000");
    SaveVelkorSetting("MainHeightPrikTeksta", "6000");
    QPointer<frmPrikazTeksta> f = frmPrikazTeksta::forma();
    QCOMPARE(f->pos(), QPoint(100, 80));
    QCOMPARE(f->size(), QSize(600, 400));

    f->move(120, 60);
    f->resize(630, 390);
    uPetlji(f, [&] { gumb(f, "OKButton")->click(); });
    f->PrikažiTekst("x", "y", false, "");
    QCOMPARE(VelkorSetting("MainLeftPrikTeksta"), QString("1800"));
    QCOMPARE(VelkorSetting("MainTopPrikTeksta"), QString("900"));
    QCOMPARE(VelkorSetting("MainWidthPrikTeksta"), QString("9450"));
    QCOMPARE(VelkorSetting("MainHeightPrikTeksta"), QString("5850"));
    obrisiOdgodjene();
    QVERIFY(f.isNull());
    frmPrikazTeksta* nova = frmPrikazTeksta::forma();
    QCOMPARE(nova->pos(), QPoint(120, 60));
    QCOMPARE(nova->size(), QSize(630, 390));
  }

  void unusableStoredPosition_fallsBack() {
    SaveVelkorSetting("MainLeftPrikTeksta", "nije broj");
    SaveVelkorSetting("MainTopPrikTeksta", "3315");
    frmPrikazTeksta* f = frmPrikazTeksta::forma();
    QCOMPARE(f->pos(), QPoint(181, 221));
    delete f;
    // A window stored far outside every screen is brought back onto the screen.
    SaveVelkorSetting("MainLeftPrikTeksta", "900000");
    f = frmPrikazTeksta::forma();
    QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(f->geometry().center()));
  }

  void ctrlA_selectsAllFromAnywhere() {
    frmPrikazTeksta* f = frmPrikazTeksta::forma();
    QString odabrano, fokus;
    uPetlji(f, [&] {
      QApplication::setActiveWindow(f);
      QVERIFY(QTest::qWaitForWindowActive(f));
      gumb(f, "cmdSpremiTekst")->setFocus();
      QCOMPARE(f->focusWidget()->objectName(), QString("cmdSpremiTekst"));
      QTest::keyClick(f->focusWidget(), Qt::Key_A, Qt::ControlModifier);
      fokus = f->focusWidget()->objectName();
      odabrano = f->findChild<QPlainTextEdit*>("txtPoruka")->textCursor().selectedText();
      gumb(f, "OKButton")->click();
    });
    f->PrikažiTekst("x", "jedan\ndva", false, "");
    QCOMPARE(fokus, QString("txtPoruka"));
    QCOMPARE(odabrano, QString("jedan") + QChar(QChar::ParagraphSeparator) + "dva");
  }

  void save_writesExactText() {
    ScriptedDialogs d;
    const QString put = env->path("izlaz.txt");
    d.answerText(put);
    frmPrikazTeksta* f = frmPrikazTeksta::forma();
    uPetlji(f, [&] {
      gumb(f, "cmdSpremiTekst")->click();
      gumb(f, "OKButton")->click();
    });
    f->PrikažiTekst("x", kTekst, false, "");
    QCOMPARE(d.calls.size(), 1);  // no overwrite question for a new file
    const DialogCall& c = d.calls.first();
    QCOMPARE(c.kind, DialogCall::SaveFile);
    QCOMPARE(c.file.title, QString("Izaberite uređaj i direktoriju TXT datoteke za spremanje"));
    QCOMPARE(c.file.filter, QString("TXT datoteka (*.txt)|*.txt"));
    QCOMPARE(c.file.fileName, QString("Tekst poruke.txt"));
    QCOMPARE(c.file.initialDir, QDir::homePath());
    QVERIFY(c.file.defaultExt.endsWith("txt"));
    QFile datoteka(put);
    QVERIFY(datoteka.open(QIODevice::ReadOnly));
    QCOMPARE(datoteka.readAll(), kTekst.toUtf8());
  }

  void save_overwriteYesReplaces_noKeeps() {
    const QString put = env->writeFile("postoji.txt", "stari sadržaj koji je duži od novog\n");
    ScriptedDialogs d;
    frmPrikazTeksta* f = frmPrikazTeksta::forma();
    auto spremi = [&](MsgResult odgovor) {
      d.answerText(put);
      d.answer(odgovor);
      f->findChild<QAction*>("mnuSpremiTekst")->trigger();
    };
    uPetlji(f, [&] {
      spremi(MsgResult::No);
      QCOMPARE(d.calls.size(), 2);
      QCOMPARE(d.last().text, QString("Datoteka sa tim imenom već postoji ! Želite li je prepisati?"));
      QCOMPARE(d.last().title, put);
      QCOMPARE(d.last().icon, MsgIcon::Question);
      QCOMPARE(d.last().buttons, MsgButtons::YesNo);
      QFile a(put);
      QVERIFY(a.open(QIODevice::ReadOnly));
      QCOMPARE(a.readAll(), QString("stari sadržaj koji je duži od novog\n").toUtf8());
      spremi(MsgResult::Yes);
      gumb(f, "OKButton")->click();
    });
    f->PrikažiTekst("x", "novo: đak", false, "");
    QCOMPARE(d.unanswered, 0);
    QFile b(put);
    QVERIFY(b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), QString("novo: đak").toUtf8());
  }

  void save_cancelDoesNothing() {
    ScriptedDialogs d;
    d.answerText(std::nullopt);
    frmPrikazTeksta* f = frmPrikazTeksta::forma();
    const QStringList prije = QDir(env->path()).entryList(QDir::Files);
    uPetlji(f, [&] {
      gumb(f, "cmdSpremiTekst")->click();
      gumb(f, "OKButton")->click();
    });
    f->PrikažiTekst("x", "tekst", false, "");
    QCOMPARE(d.calls.size(), 1);
    QCOMPARE(QDir(env->path()).entryList(QDir::Files), prije);
  }

  void opisGreske() {
    QPointer<frmPrikazTeksta> f = frmPrikazTeksta::forma();
    QString naslov, tekst;
    bool ok = false;
    uPetlji(f, [&] {
      naslov = f->windowTitle();
      tekst = f->findChild<QPlainTextEdit*>("txtPoruka")->toPlainText();
      ok = gumb(f, "OKButton")->isVisible() && !gumb(f, "cmdDa")->isVisible();
      gumb(f, "OKButton")->click();
    });
    PrikaziOpisGreske(nullptr, "Connection refused");
    QCOMPARE(naslov, QString("Opis greške"));
    QCOMPARE(tekst, QString("Greška: Connection refused"));
    QVERIFY(ok);
  }
};

QTEST_MAIN(TstFrmPrikazTeksta)
#include "tst_frmprikazteksta.moc"
