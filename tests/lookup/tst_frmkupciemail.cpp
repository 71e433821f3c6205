// The customer search window itself, over the bundled sample database (no settings: the
// embedded default): choosing, leaving, keys, the stored check box, the grid's columns.
#include <QCheckBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QtTest>
#include <functional>

#include "lookup/frmKupciEMail.h"
#include "core/SettingsStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

namespace {

const QString kKljuc = QStringLiteral("chkPrikazKomEmailPretrPoPoč");

QLineEdit* txt(QWidget& f) { return f.findChild<QLineEdit*>(QStringLiteral("txtImeKupca")); }
QTableWidget* grid(QWidget& f) { return f.findChild<QTableWidget*>(QStringLiteral("fgŠifre")); }
QCheckBox* chk(QWidget& f) { return f.findChild<QCheckBox*>("chkPrikazŠifriPretrPoPoč"); }
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
    visio = f.isVisible();
    if (visio) f.done(QDialog::Rejected);
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

  // Enter in the box takes the current (first) row; Down goes into the grid when it has rows.
  // Esc from anywhere, and the close box, leave with nothing chosen.
  void odabir_data() {
    QTest::addColumn<QString>("tekst");
    QTest::addColumn<QString>("nacin");
    QTest::addColumn<int>("red");  // the row whose address is chosen; -1: none
    QTest::newRow("Enter in the box") << "Žitar" << "box" << 0;
    QTest::newRow("Down, Down, Enter") << "konzum točka" << "grid" << 1;
    QTest::newRow("double-click") << "konzum točka" << "double-click" << 1;
    QTest::newRow("Enter without rows") << "x" << "box" << -1;
    for (const char* gdje : {"txtImeKupca", "fgŠifre", "chkPrikazŠifriPretrPoPoč"})
      QTest::addRow("Esc in %s", gdje) << "konzum" << QString("Esc ") + gdje << -1;
    QTest::newRow("close box") << "konzum" << "close" << -1;
  }
  void odabir() {
    QFETCH(QString, tekst);
    QFETCH(QString, nacin);
    QFETCH(int, red);
    frmKupciEMail f;
    QString ocekivano, fokusNakonDolje;
    QVERIFY(prikazi(f, "", [&] {
      tipkaj(txt(f), tekst);
      if (red >= 0) ocekivano = grid(f)->item(red, 2)->text();
      if (nacin == "box") return QTest::keyClick(txt(f), Qt::Key_Return);
      if (nacin == "close") return void(f.close());
      if (QWidget* w = f.findChild<QWidget*>(nacin.mid(4)); nacin.startsWith("Esc")) {
        w->setFocus();
        return QTest::keyClick(w, Qt::Key_Escape);
      }
      QTest::keyClick(txt(f), Qt::Key_Down);
      fokusNakonDolje = fokus(f) + QString::number(grid(f)->currentRow());
      if (nacin == "grid") {
        QTest::keyClick(grid(f), Qt::Key_Down);
        return QTest::keyClick(grid(f), Qt::Key_Return);
      }
      const QPoint p = grid(f)->visualRect(grid(f)->model()->index(1, 1)).center();
      QTest::mouseClick(grid(f)->viewport(), Qt::LeftButton, {}, p);
      QTest::mouseDClick(grid(f)->viewport(), Qt::LeftButton, {}, p);
    }));
    if (nacin == "grid" || nacin == "double-click") QCOMPARE(fokusNakonDolje, QString("fgŠifre0"));
    QCOMPARE(f.Odustao, nacin.startsWith("Esc") || nacin == "close");
    QCOMPARE(f.OdabraniEMail, ocekivano);
    QCOMPARE(txt(f)->text(), red < 0 ? QString() : tekst);
  }

  // The text it is shown with is searched at once.
  void pocetniTekstSeTrazi() {
    frmKupciEMail f;
    QStringList nadjeno;
    QVERIFY(prikazi(f, "Žitar", [&] {
      for (int r = 0; r < grid(f)->rowCount(); ++r) nadjeno << grid(f)->item(r, 1)->text();
      QTest::keyClick(txt(f), Qt::Key_Return);
    }));
    QCOMPARE(nadjeno, QStringList{"Žitar d.d."});
    QVERIFY(f.OdabraniEMail.startsWith("prodaja@zitar."));
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
};

QTEST_MAIN(TstFrmKupciEMail)
#include "tst_frmkupciemail.moc"
