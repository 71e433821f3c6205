// The send form's customer search with the real search window over the bundled sample
// database: the chosen address lands in the right field once, and leaving adds nothing.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <functional>

#include "lookup/frmKupciEMail.h"
#include "sender/frmSlanjeeMaila.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

class TstTraziKupca : public QObject {
  Q_OBJECT
  TestEnv env;
  ScriptedDialogs dlg;
  QPointer<frmSlanjeeMaila> f;

  QLineEdit* polje(const QString& ime) const { return f->findChild<QLineEdit*>(ime); }

  void otvori(const QString& to, const QString& cc, const QString& bcc) {
    f = frmSlanjeeMaila::forma();
    f->Napuni("Predmet", to, cc, bcc, "Tekst", "", "", "");
    f->show();
    QVERIFY(QTest::qWaitForWindowActive(f));
  }

  // Runs akcija in the search window once it is open over the send form; the send form
  // waits in the search window's modal loop meanwhile. A window that stays open is
  // closed later, so that a fault fails the test instead of hanging it.
  void uTrazilici(std::function<void(frmKupciEMail&, QLineEdit*)> akcija) {
    otvorena = false;
    pokusaj.disconnect();
    pokusaj.setInterval(10);
    connect(&pokusaj, &QTimer::timeout, this, [this, akcija] {
      auto* k = qobject_cast<frmKupciEMail*>(QApplication::activeModalWidget());
      if (!k || !k->isVisible()) return;
      pokusaj.stop();
      otvorena = k->parentWidget() == f;
      akcija(*k, k->findChild<QLineEdit*>("txtImeKupca"));
    });
    pokusaj.start();
    straza.disconnect();
    straza.setSingleShot(true);
    connect(&straza, &QTimer::timeout, this, [] {
      if (auto* k = qobject_cast<frmKupciEMail*>(QApplication::activeModalWidget())) k->reject();
    });
    straza.start(10000);
  }
  QTimer pokusaj;
  QTimer straza;
  bool otvorena = false;

  static void tipkaj(QWidget* w, const QString& tekst) {
    for (const QChar c : tekst)
      QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }

  void pokreni(const QString& okidac) {
    if (okidac.startsWith("cmdEmail"))
      f->findChild<QPushButton*>(okidac)->click();
    else
      QTest::keyClick(polje(okidac), Qt::Key_F3);
  }

 private slots:
  void cleanup() {
    pokusaj.stop();
    straza.stop();
    if (f) f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(f.isNull());
    QVERIFY2(dlg.calls.isEmpty(), qPrintable(dlg.texts().join(" | ")));
  }

  void dodajeUOdabranoPolje_data() {
    QTest::addColumn<QString>("okidac");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("cc");
    QTest::addColumn<QString>("bcc");
    const QString z = "prodaja@zitar.example";
    QTest::newRow("F3 in To") << "txtPrimatelj" << "ana@firma.hr;" + z << "" << "";
    QTest::newRow("F3 in CC") << "txtCC" << "ana@firma.hr" << z << "";
    QTest::newRow("F3 in BCC") << "txtBCC" << "ana@firma.hr" << "" << z;
    QTest::newRow("button To") << "cmdEmail_0" << "ana@firma.hr;" + z << "" << "";
    QTest::newRow("button CC") << "cmdEmail_1" << "ana@firma.hr" << z << "";
    QTest::newRow("button BCC") << "cmdEmail_2" << "ana@firma.hr" << "" << z;
  }
  void dodajeUOdabranoPolje() {
    QFETCH(QString, okidac);
    otvori("ana@firma.hr", "", "");
    int redova = -1;
    uTrazilici([&](frmKupciEMail&, QLineEdit* txt) {
      tipkaj(txt, "Žitar");
      redova = txt->window()->findChild<QTableWidget*>("fgŠifre")->rowCount();
      QTest::keyClick(txt, Qt::Key_Return);
    });
    pokreni(okidac);
    QVERIFY(otvorena);
    QCOMPARE(redova, 1);
    QTEST(polje("txtPrimatelj")->text(), "to");
    QTEST(polje("txtCC")->text(), "cc");
    QTEST(polje("txtBCC")->text(), "bcc");
    QVERIFY(f->findChildren<frmKupciEMail*>().isEmpty());  // gone after the search
  }

  void vecUpisanaSeNeDodaje() {
    otvori("ana@firma.hr", "", "prodaja@zitar.example");
    uTrazilici([&](frmKupciEMail&, QLineEdit* txt) {
      tipkaj(txt, "zitar");  // the address matches anywhere
      QTest::keyClick(txt, Qt::Key_Return);
    });
    QTest::keyClick(polje("txtPrimatelj"), Qt::Key_F3);
    QVERIFY(otvorena);
    QCOMPARE(polje("txtPrimatelj")->text(), QString("ana@firma.hr"));
    QCOMPARE(polje("txtCC")->text(), QString());
    QCOMPARE(polje("txtBCC")->text(), QString("prodaja@zitar.example"));
  }

  void odustajanjeNistaNeDodaje_data() {
    QTest::addColumn<bool>("esc");
    QTest::newRow("Esc with a result on screen") << true;
    QTest::newRow("Enter with an empty grid") << false;
  }
  void odustajanjeNistaNeDodaje() {
    QFETCH(bool, esc);
    otvori("ana@firma.hr", "ivo@firma.hr", "");
    uTrazilici([&](frmKupciEMail&, QLineEdit* txt) {
      tipkaj(txt, esc ? "Žitar" : "Ž");
      QTest::keyClick(txt, esc ? Qt::Key_Escape : Qt::Key_Return);
    });
    QTest::keyClick(polje("txtCC"), Qt::Key_F3);
    QVERIFY(otvorena);
    QCOMPARE(polje("txtPrimatelj")->text(), QString("ana@firma.hr"));
    QCOMPARE(polje("txtCC")->text(), QString("ivo@firma.hr"));
    QCOMPARE(polje("txtBCC")->text(), QString());
  }
};

QTEST_MAIN(TstTraziKupca)
#include "tst_trazikupca.moc"
