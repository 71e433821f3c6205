#include <QtTest>

#include "entry/Pomocne.h"

class TstPomocne : public QObject {
  Q_OBJECT
 private slots:
  void provjeriEMailAdrese_data() {
    QTest::addColumn<QString>("lista");
    QTest::addColumn<bool>("ispravna");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("one") << "ana@firma.hr" << true;
    QTest::newRow("two") << "ana@firma.hr;ivo@firma.hr" << true;
    QTest::newRow("blank after ;") << "ana@firma.hr; ivo@firma.hr" << false;
    QTest::newRow("trailing ;") << "ana@firma.hr;" << false;
    QTest::newRow("leading ;") << ";ana@firma.hr" << false;
    QTest::newRow("adjacent @@") << "ana@@firma.hr" << false;
    QTest::newRow("@ apart") << "ana@firma@hr.hr" << false;
    QTest::newRow("dot only before @") << "ana.b@firma" << true;
    QTest::newRow("no dot") << "ana@firma" << false;
    QTest::newRow("no @") << "ana.firma.hr" << false;
    QTest::newRow("comma joined") << "ana@firma.hr,ivo@firma.hr" << false;
    QTest::newRow("tab is not tested") << "ana@firma.hr\t" << true;
    QTest::newRow("second piece bad") << "ana@firma.hr;ivo" << false;
  }
  void provjeriEMailAdrese() {
    QFETCH(QString, lista);
    QFETCH(bool, ispravna);
    QCOMPARE(ProvjeriEMailAdrese(lista), ispravna);
  }

  void pripremiZaSQL() {
    QCOMPARE(PripremiZaSQL("O'Brien"), QString("O''Brien"));
    QCOMPARE(PripremiZaSQL("''"), QString("''''"));
    QCOMPARE(PripremiZaSQL("Đuro Šarić d.o.o."), QString("Đuro Šarić d.o.o."));
    QCOMPARE(PripremiZaSQL("'a'b'"), QString("''a''b''"));
  }
};

QTEST_MAIN(TstPomocne)
#include "tst_pomocne.moc"
