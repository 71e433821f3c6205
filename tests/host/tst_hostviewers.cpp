// The grid and export functions as a host reaches them: dlopen and the public header only.
#include <QtTest>
#include <QApplication>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTableView>
#include <dlfcn.h>

#include "VelkorSlanjeEMaila26.h"
#include "support/TestEnv.h"

class TstHostViewers : public QObject {
  Q_OBJECT
  void* lib = nullptr;
  template <class F> F fn(const char* ime) { return reinterpret_cast<F>(dlsym(lib, ime)); }

  static QJsonArray procitaj(const QStringList& argumenti) {
    QProcess p;
    p.start("/usr/bin/python3", QStringList{VELKOR_SOURCE_DIR "/tests/peers/read_export.py"} + argumenti);
    p.waitForFinished(60000);
    const QJsonDocument d = QJsonDocument::fromJson(p.readAllStandardOutput());
    return d.isArray() ? d.array() : d["rows"].toArray();
  }

 private slots:
  void initTestCase() {
    lib = dlopen(VELKOR_BUILD_DIR "/src/libVelkorSlanjeEMaila26.so", RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(lib, dlerror());
  }

  // velkor-host writes the sample customers without a window; both files read back alike.
  void hostExport_data() {
    QTest::addColumn<QString>("ime");
    QTest::newRow("csv") << "komitenti.csv";
    QTest::newRow("xlsx") << "komitenti.xlsx";
  }
  void hostExport() {
    QFETCH(QString, ime);
    TestEnv env;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(VELKOR_BUILD_DIR "/host/velkor-host", {"--export", env.path(ime)});
    QVERIFY(p.waitForFinished(30000));
    const QString izlaz = QString::fromUtf8(p.readAll());
    QCOMPARE(p.exitCode(), 0);
    const QJsonArray redovi = procitaj(ime.endsWith("csv") ? QStringList{"csv", env.path(ime), ";"}
                                                           : QStringList{"xlsx", env.path(ime)});
    QVERIFY2(izlaz.contains(QString("Zapisano %1 zapisa").arg(redovi.size() - 1)), qPrintable(izlaz));
    QVERIFY(redovi.size() > 100);
    const QString zaglavlje = QJsonDocument(redovi[0].toArray()).toJson(QJsonDocument::Compact);
    QVERIFY2(zaglavlje.contains("Mjesto") && zaglavlje.contains("Šifra"), qPrintable(zaglavlje));
  }

  // The grid opens on the host's set and sorts it; the host reads the new order back.
  void gridSortsHostSet() {
    TestEnv env;
    auto Create = fn<decltype(&clsSlanjeEMaila_Create)>("clsSlanjeEMaila_Create");
    auto RsCreate = fn<decltype(&VelkorRecordSet_Create)>("VelkorRecordSet_Create");
    auto AddRow = fn<decltype(&VelkorRecordSet_AddRow)>("VelkorRecordSet_AddRow");
    auto Value = fn<decltype(&VelkorRecordSet_Value)>("VelkorRecordSet_Value");
    auto Grid = fn<decltype(&clsSlanjeEMaila_PrikaziZapise)>("clsSlanjeEMaila_PrikaziZapise");
    auto Izvezi = fn<decltype(&clsSlanjeEMaila_IzveziZapise)>("clsSlanjeEMaila_IzveziZapise");
    auto ErrorText = fn<decltype(&clsSlanjeEMaila_ErrorText)>("clsSlanjeEMaila_ErrorText");
    QVERIFY(Create && RsCreate && AddRow && Value && Grid && Izvezi && ErrorText);
    clsSlanjeEMaila* obj = Create();
    const char* imena[] = {"Ime"};
    VelkorRecordSet* rs = RsCreate(1, imena, nullptr);
    for (const char* ime : {"Ana", "Ivo", "Božo"}) AddRow(rs, &ime);
    QString naslov;
    QTimer::singleShot(50, [&] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "frmPrikazZapisa" && w->isVisible()) {
          naslov = w->windowTitle();
          auto* h = w->findChild<QTableView*>("fg")->horizontalHeader();
          emit h->sectionClicked(1);
          emit h->sectionClicked(1);
          w->close();
        }
    });
    QCOMPARE(Grid(obj, "Kupci", rs, -1, -1, -1, ""), VELKOR_OK);
    QCOMPARE(naslov, "Kupci");
    QCOMPARE(QString::fromUtf8(Value(rs, 0, 0)), "Ivo");  // "[Ime] DESC"
    QCOMPARE(Izvezi(obj, nullptr, "x.csv"), VELKOR_E_INVALIDARG);
    QCOMPARE(Izvezi(obj, rs, env.path("nema/x.csv").toUtf8()), VELKOR_E_FAIL);
    QVERIFY(*ErrorText(obj));
    fn<decltype(&VelkorRecordSet_Release)>("VelkorRecordSet_Release")(rs);
    fn<decltype(&clsSlanjeEMaila_Release)>("clsSlanjeEMaila_Release")(obj);
  }
};

QTEST_MAIN(TstHostViewers)
#include "tst_hostviewers.moc"
