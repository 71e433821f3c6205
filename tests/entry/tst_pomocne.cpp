#include <QtTest>

#include "core/Pomocne.h"

class TstPomocne : public QObject {
  Q_OBJECT
 private slots:
  // A trailing ";", a blank after ";" and a domain without a dot are refused through the send
  // form (sender/tst_frmslanjeemaila, provjerePoljaURedu).
  void provjeriEMailAdrese_data() {
    QTest::addColumn<QString>("lista");
    QTest::addColumn<bool>("ispravna");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("two") << "ana@firma.hr;ivo@firma.hr" << true;
    QTest::newRow("leading ;") << ";ana@firma.hr" << false;
    QTest::newRow("adjacent @@") << "ana@@firma.hr" << false;
    QTest::newRow("@ apart") << "ana@firma@hr.hr" << false;
    QTest::newRow("dot only before @") << "ana.b@firma" << true;
    QTest::newRow("no @") << "ana.firma.hr" << false;
    QTest::newRow("comma joined") << "ana@firma.hr,ivo@firma.hr" << false;
    QTest::newRow("tab is not tested") << "ana@firma.hr\t" << true;
  }
  void provjeriEMailAdrese() {
    QFETCH(QString, lista);
    QTEST(core::ProvjeriEMailAdrese(lista), "ispravna");
  }
};

QTEST_MAIN(TstPomocne)
#include "tst_pomocne.moc"
