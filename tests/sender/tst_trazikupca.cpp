// The send form's customer search with the real search window over the bundled sample
// database: the chosen address lands in the right field once, and leaving adds nothing.
#include <QtTest>
#include <QtWidgets>

#include "lookup/frmKupciEMail.h"
#include "sender/frmSlanjeeMaila.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

class TstTraziKupca : public QObject {
  Q_OBJECT
  TestEnv env;
  ScriptedDialogs dlg;
  QPointer<frmSlanjeeMaila> f;
  QTimer pokusaj;

 private slots:
  void cleanup() {
    pokusaj.stop();
    pokusaj.disconnect();
    if (f) f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(f.isNull());
    QVERIFY2(dlg.calls.isEmpty(), qPrintable(dlg.texts().join(" | ")));
  }

  void traziEMailKupca_data() {
    QTest::addColumn<QString>("okidac");       // F3 in a field or a cmdEmail button
    QTest::addColumn<QStringList>("prije");    // To, CC, BCC
    QTest::addColumn<QString>("tipkano");      // into the search window
    QTest::addColumn<bool>("esc");             // leaves with Esc, else with Enter
    QTest::addColumn<QStringList>("poslije");  // empty: as before
    const QString a = "ana@firma.hr", z = "prodaja@zitar.example";
    const QStringList samoTo{a, "", ""};
    QTest::newRow("F3 in To appends")
        << "txtPrimatelj" << samoTo << "Žitar" << false << QStringList{a + ";" + z, "", ""};
    QTest::newRow("F3 in CC") << "txtCC" << samoTo << "Žitar" << false << QStringList{a, z, ""};
    QTest::newRow("F3 in BCC") << "txtBCC" << samoTo << "Žitar" << false << QStringList{a, "", z};
    QTest::newRow("button CC appends, trimmed")
        << "cmdEmail_1" << QStringList{a, "b@t.hr ", ""} << "Žitar" << false
        << QStringList{a, "b@t.hr;" + z, ""};
    QTest::newRow("present in another field")
        << "txtPrimatelj" << QStringList{a, "", z} << "zitar" << false << QStringList{};
    QTest::newRow("only inside a longer address")
        << "txtPrimatelj" << QStringList{"vele" + z, "", ""} << "zitar" << false << QStringList{"vele" + z + ";" + z, "", ""};
    QTest::newRow("Esc with a result on screen")
        << "txtCC" << QStringList{a, "ivo@firma.hr", ""} << "Žitar" << true << QStringList{};
  }
  void traziEMailKupca() {
    QFETCH(QString, okidac);
    QFETCH(QStringList, prije);
    QFETCH(QString, tipkano);
    QFETCH(bool, esc);
    QFETCH(QStringList, poslije);
    f = frmSlanjeeMaila::forma();
    f->Napuni("Predmet", prije[0], prije[1], prije[2], "Tekst", "", "", "");
    f->show();
    QVERIFY(QTest::qWaitForWindowActive(f));
    // The search window is driven from its own modal loop; one that stays open is
    // closed after a while, so that a fault fails the test instead of hanging it.
    bool otvorena = false;
    connect(&pokusaj, &QTimer::timeout, this, [&] {
      auto* k = qobject_cast<frmKupciEMail*>(QApplication::activeModalWidget());
      if (!k || !k->isVisible()) return;
      pokusaj.stop();
      otvorena = k->parentWidget() == f;
      auto* txt = k->findChild<QLineEdit*>("txtImeKupca");
      for (const QChar c : tipkano)
        QTest::sendKeyEvent(QTest::Click, txt, Qt::Key_unknown, QString(c), Qt::NoModifier);
      QTest::keyClick(txt, esc ? Qt::Key_Escape : Qt::Key_Return);
    });
    pokusaj.start(10);
    QTimer::singleShot(10000, this, [] {
      if (auto* k = qobject_cast<frmKupciEMail*>(QApplication::activeModalWidget())) k->reject();
    });
    if (okidac.startsWith("cmdEmail"))
      f->findChild<QAbstractButton*>(okidac)->click();
    else
      QTest::keyClick(f->findChild<QLineEdit*>(okidac), Qt::Key_F3);
    QVERIFY(otvorena);
    QStringList sada;
    for (const char* ime : {"txtPrimatelj", "txtCC", "txtBCC"})
      sada << f->findChild<QLineEdit*>(ime)->text();
    QCOMPARE(sada, poslije.isEmpty() ? prije : poslije);
    QVERIFY(f->findChildren<frmKupciEMail*>().isEmpty());  // gone after the search
  }
};

QTEST_MAIN(TstTraziKupca)
#include "tst_trazikupca.moc"
