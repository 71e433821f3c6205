// The report window as a host reaches it: dlopen and the public header only.
#include <QtTest>
#include <QtWidgets>
#include <QPrintPreviewWidget>
#include <dlfcn.h>

#include "VelkorSlanjeEMaila26.h"
#include "support/TestEnv.h"

class TstHostReport : public QObject {
  Q_OBJECT
  void* lib = nullptr;
  template <class F> F fn(const char* ime) { return reinterpret_cast<F>(dlsym(lib, ime)); }

 private slots:
  void initTestCase() {
    lib = dlopen(VELKOR_BUILD_DIR "/src/libVelkorSlanjeEMaila26.so", RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(lib, dlerror());
  }

  // The window opens under the host's caption with its text paginated, with or without a
  // record set; the grid it opens shows the host's rows.
  void opensReport() {
    TestEnv env;
    auto Create = fn<decltype(&clsSlanjeEMaila_Create)>("clsSlanjeEMaila_Create");
    auto RsCreate = fn<decltype(&VelkorRecordSet_Create)>("VelkorRecordSet_Create");
    auto AddRow = fn<decltype(&VelkorRecordSet_AddRow)>("VelkorRecordSet_AddRow");
    auto Report = fn<decltype(&clsSlanjeEMaila_PrikaziIzvjestaj)>("clsSlanjeEMaila_PrikaziIzvjestaj");
    QVERIFY(Create && RsCreate && AddRow && Report);
    clsSlanjeEMaila* obj = Create();
    const char* imena[] = {"Ime"};
    VelkorRecordSet* rs = RsCreate(1, imena, nullptr);
    for (const char* ime : {"Ana", "Božo"}) AddRow(rs, &ime);
    for (bool sSkupom : {false, true}) {
      QStringList vidjeno;
      QTimer::singleShot(50, [&] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w->objectName() != "frmIspisCR") return;
        vidjeno << w->windowTitle()
                << QString::number(w->findChild<QPrintPreviewWidget*>("CRVRadnici")->pageCount());
        QTimer::singleShot(50, [&] {
          if (QWidget* g = QApplication::activeModalWidget()) {
            vidjeno << g->objectName() + ":" + QString::number(g->findChild<QAbstractItemView*>("fg")->model()->rowCount());
            g->close();
          }
        });
        w->findChild<QPushButton*>("gmbPregledZapisa")->click();
        w->close();
      });
      QCOMPARE(Report(obj, "Račun 7", "Stavka\n<a@b.hr>", sSkupom ? rs : nullptr, nullptr, 0), VELKOR_OK);
      QCOMPARE(vidjeno.join('|'), QString("Račun 7|1|frmPrikazZapisa:%1").arg(sSkupom ? 2 : 0));
    }
    fn<decltype(&VelkorRecordSet_Release)>("VelkorRecordSet_Release")(rs);
    fn<decltype(&clsSlanjeEMaila_Release)>("clsSlanjeEMaila_Release")(obj);
  }
};

QTEST_MAIN(TstHostReport)
#include "tst_hostreport.moc"
