// The customer search window itself, over the bundled sample database (no settings: the
// embedded default): choosing, leaving, keys, the stored check box, the grid's columns.
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>
#include <QtTest>
#include <functional>

#include "lookup/frmKupciEMail.h"
#include "platform/SettingsStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

namespace {

const QString kKljuc = QStringLiteral("chkPrikazKomEmailPretrPoPoč");

QLineEdit* txt(QWidget& f) { return f.findChild<QLineEdit*>(QStringLiteral("txtImeKupca")); }
QTableWidget* grid(QWidget& f) { return f.findChild<QTableWidget*>(QStringLiteral("fgŠifre")); }
QCheckBox* chk(QWidget& f) {
  return f.findChild<QCheckBox*>(QStringLiteral("chkPrikazŠifriPretrPoPoč"));
}
QString fokus(QWidget& f) { return f.focusWidget() ? f.focusWidget()->objectName() : QString(); }

void tipkaj(QWidget* w, const QString& tekst) {
  for (const QChar c : tekst)
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Shows the form modally with Prikaži and runs akcija inside; a form that does not close
// is closed after a while, so that a fault fails the test instead of hanging it.
bool prikazi(frmKupciEMail& f, const QString& pocetni, std::function<void()> akcija) {
  bool visio = false;
  QTimer::singleShot(0, &f, [&f, akcija] {
    if (QTest::qWaitForWindowActive(&f)) akcija();
  });
  QTimer::singleShot(10000, &f, [&f, &visio] {
    if (f.isVisible()) {
      visio = true;
      f.done(QDialog::Rejected);
    }
  });
  f.Prikaži(pocetni);
  return !visio && !f.isVisible();
}

}  // namespace

class TstFrmKupciEMail : public QObject {
  Q_OBJECT
  TestEnv env;
  ScriptedDialogs boxes;

 private slots:
  void cleanup() {
    QVERIFY2(boxes.calls.isEmpty(), qPrintable(boxes.texts().join(" | ")));
    platform::DeleteSetting("Velkor", "Settings", kKljuc);
  }

  void enterUzimaPrviRed() {
    frmKupciEMail f;
    int redova = -1;
    QVERIFY(prikazi(f, "", [&] {
      tipkaj(txt(f), "Žitar");
      redova = grid(f)->rowCount();
      QTest::keyClick(txt(f), Qt::Key_Return);
    }));
    QCOMPARE(redova, 1);
    QCOMPARE(f.Odustao, false);
    QCOMPARE(f.OdabraniEMail, QString("prodaja@zitar.example"));
  }

  void doljeUResetkuPaEnter_data() {
    QTest::addColumn<bool>("dvoklik");
    QTest::newRow("Enter") << false;
    QTest::newRow("double-click") << true;
  }
  void doljeUResetkuPaEnter() {
    QFETCH(bool, dvoklik);
    frmKupciEMail f;
    QString prvi, drugi, fokusNakonDolje;
    QVERIFY(prikazi(f, "", [&] {
      tipkaj(txt(f), "konzum točka");
      if (grid(f)->rowCount() != 2) return;
      prvi = grid(f)->item(0, 2)->text();
      drugi = grid(f)->item(1, 2)->text();
      QTest::keyClick(txt(f), Qt::Key_Down);
      fokusNakonDolje = fokus(f) + QString::number(grid(f)->currentRow());
      if (dvoklik) {
        QWidget* vp = grid(f)->viewport();
        const QPoint p = grid(f)->visualRect(grid(f)->model()->index(1, 1)).center();
        QTest::mouseClick(vp, Qt::LeftButton, {}, p);
        QTest::mouseDClick(vp, Qt::LeftButton, {}, p);
      } else {
        QTest::keyClick(grid(f), Qt::Key_Down);
        QTest::keyClick(grid(f), Qt::Key_Return);
      }
    }));
    QCOMPARE(fokusNakonDolje, QString("fgŠifre0"));
    QVERIFY(prvi != drugi);
    QCOMPARE(f.OdabraniEMail, drugi);
    QCOMPARE(f.Odustao, false);
  }

  void enterBezRedovaVracaPrazno() {
    frmKupciEMail f;
    QString fokusNakonDolje;
    QVERIFY(prikazi(f, "", [&] {
      tipkaj(txt(f), "x");
      QTest::keyClick(txt(f), Qt::Key_Down);  // nothing to go down to
      fokusNakonDolje = fokus(f);
      QTest::keyClick(txt(f), Qt::Key_Return);
    }));
    QCOMPARE(fokusNakonDolje, QString("txtImeKupca"));
    QCOMPARE(f.Odustao, false);
    QCOMPARE(f.OdabraniEMail, QString());
    QCOMPARE(txt(f)->text(), QString());
  }

  void escOdasvudaOdustaje_data() {
    QTest::addColumn<QString>("gdje");
    QTest::newRow("search box") << "txtImeKupca";
    QTest::newRow("grid") << "fgŠifre";
    QTest::newRow("check box") << "chkPrikazŠifriPretrPoPoč";
    QTest::newRow("close box") << "";
  }
  void escOdasvudaOdustaje() {
    QFETCH(QString, gdje);
    frmKupciEMail f;
    QVERIFY(prikazi(f, "", [&] {
      tipkaj(txt(f), "konzum");
      if (gdje.isEmpty()) {
        f.close();
        return;
      }
      QWidget* w = f.findChild<QWidget*>(gdje);
      w->setFocus();
      QTest::keyClick(w, Qt::Key_Escape);
    }));
    QCOMPARE(f.Odustao, true);
    QCOMPARE(f.OdabraniEMail, QString());
    QCOMPARE(txt(f)->text(), QString());
  }

  void pocetniTekstTraziIOznacen() {
    frmKupciEMail f;
    int redova = -1;
    QString oznaceno;
    QVERIFY(prikazi(f, "Žitar", [&] {
      redova = grid(f)->rowCount();
      QCoreApplication::processEvents();
      oznaceno = txt(f)->selectedText();
      // Back into the box from elsewhere: all of it is selected again.
      chk(f)->setFocus();
      txt(f)->setCursorPosition(0);
      txt(f)->setFocus();
      QCoreApplication::processEvents();
      oznaceno += "|" + txt(f)->selectedText();
      QTest::keyClick(txt(f), Qt::Key_Escape);
    }));
    QCOMPARE(redova, 1);
    QCOMPARE(oznaceno, QString("Žitar|Žitar"));
  }

  void kvacicaSeCuvaKadIzgubiFokus() {
    // Unchecked by default; each use starts from what the last one left.
    for (const bool bila : {false, true}) {
      frmKupciEMail f;
      QCOMPARE(chk(f)->isChecked(), bila);
      f.show();
      QVERIFY(QTest::qWaitForWindowActive(&f));
      chk(f)->setFocus();
      QTest::keyClick(chk(f), Qt::Key_Space);
      QCOMPARE(platform::VelkorSetting(kKljuc, "-"), QString(bila ? "1" : "-"));  // not yet
      txt(f)->setFocus();
      QCOMPARE(platform::VelkorSetting(kKljuc), QString(bila ? "0" : "1"));
    }
  }

  void stupciResetke() {
    frmKupciEMail f;
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    tipkaj(txt(f), "trgovina");
    QTableWidget* g = grid(f);
    QVERIFY(g->rowCount() > 5);
    QVERIFY(g->isColumnHidden(0));
    const int dpi = f.logicalDpiX();
    QCOMPARE(g->columnWidth(2), 3500 * dpi / 1440);
    QCOMPARE(g->columnWidth(1), g->width() - 7600 * dpi / 1440);
    QCOMPARE(g->currentRow(), 0);
    QCOMPARE(f.windowTitle(), QString("Komitenti - eMail-ovi ..."));
    const QImage slika = f.grab().toImage();
    QVERIFY(!slika.isNull());
    const QString dir = qEnvironmentVariable("VELKOR_SHOTS_DIR");
    if (!dir.isEmpty() && QDir().mkpath(dir))
      QVERIFY(slika.save(dir + QStringLiteral("/frmKupciEMail.png")));
    f.NapuniIPrikažiSveŠifrePoPočZnaku("t");
    QCOMPARE(g->rowCount(), 0);
  }
};

QTEST_MAIN(TstFrmKupciEMail)
#include "tst_frmkupciemail.moc"
