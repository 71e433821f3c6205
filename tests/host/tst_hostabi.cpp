// The component as a host sees it: loaded with dlopen, reached only through its public
// header, its windows found among the application's top-level widgets by object name.
#include <QtTest>
#include <QApplication>
#include <dlfcn.h>
#include <functional>

#include "VelkorSlanjeEMaila26.h"
#include "support/TestEnv.h"

namespace {

struct Abi {
  void* lib = nullptr;
  decltype(&clsSlanjeEMaila_Create) Create = nullptr;
  decltype(&clsSlanjeEMaila_Release) Release = nullptr;
  decltype(&clsSlanjeEMaila_ErrorText) ErrorText = nullptr;
  decltype(&clsSlanjeEMaila_SlanjePrekoRecordseta) SlanjePrekoRecordseta = nullptr;
  decltype(&clsSlanjeEMaila_SlanjeBezRecordSeta) SlanjeBezRecordSeta = nullptr;
  decltype(&clsSlanjeEMaila_SlanjeFajlaPrekoEMaila) SlanjeFajlaPrekoEMaila = nullptr;
  decltype(&VelkorRecordSet_Create) RsCreate = nullptr;
  decltype(&VelkorRecordSet_AddRow) AddRow = nullptr;
  decltype(&VelkorRecordSet_OpenQuery) OpenQuery = nullptr;
  decltype(&VelkorRecordSet_RecordCount) RecordCount = nullptr;
  decltype(&VelkorRecordSet_FieldCount) FieldCount = nullptr;
  decltype(&VelkorRecordSet_FieldName) FieldName = nullptr;
  decltype(&VelkorRecordSet_FieldType) FieldType = nullptr;
  decltype(&VelkorRecordSet_Value) Value = nullptr;
  decltype(&VelkorRecordSet_Release) RsRelease = nullptr;
  decltype(&VelkorRecordSet_FreeText) FreeText = nullptr;
};

template <class F>
bool nadji(void* lib, const char* ime, F& f) {
  f = reinterpret_cast<F>(dlsym(lib, ime));
  return f != nullptr;
}

QString buildDir() {
  const QString env = qEnvironmentVariable("VELKOR_BUILD_DIR");
  return env.isEmpty() ? QStringLiteral(VELKOR_BUILD_DIR) : env;
}

QWidget* otvorenaForma(const char* ime) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QLatin1String(ime) && w->isVisible()) return w;
  return nullptr;
}

QString tekst(QWidget* forma, const char* ime) {
  auto* w = forma->findChild<QWidget*>(QString::fromLatin1(ime));
  if (!w) return QStringLiteral("<nema %1>").arg(QLatin1String(ime));
  const QVariant t = w->property("text");
  return t.isValid() ? t.toString() : w->property("plainText").toString();
}

bool omogucen(QWidget* forma, const char* ime) {
  auto* w = forma->findChild<QWidget*>(QString::fromLatin1(ime));
  return w && w->isEnabled();
}

// Waits inside the component's modal loop until the form is shown, then runs `akcija`
// on it. A form still open after the action, or after 20 s, is closed so that a failed
// check cannot hang the test.
void kadSeOtvori(const char* ime, std::function<void(QWidget*)> akcija) {
  auto* t = new QTimer;
  auto* pocetak = new QElapsedTimer;
  pocetak->start();
  QObject::connect(t, &QTimer::timeout, [=] {
    QWidget* f = otvorenaForma(ime);
    if (!f && pocetak->elapsed() < 20000) return;
    t->stop();
    t->deleteLater();
    delete pocetak;
    if (!f) return;
    akcija(f);
    if (QPointer<QWidget> p = otvorenaForma(ime)) p->close();
  });
  t->start(10);
}

}  // namespace

class TstHostAbi : public QObject {
  Q_OBJECT
  Abi a;
  std::unique_ptr<TestEnv> env;
  clsSlanjeEMaila* obj = nullptr;

  QStringList vrijednosti(VelkorRecordSet* rs, int red) {
    QStringList out;
    for (int f = 0; f < a.FieldCount(rs); ++f) {
      const char* v = a.Value(rs, red, f);
      out << (v ? QString::fromUtf8(v) : QStringLiteral("<Null>"));
    }
    return out;
  }

  VelkorRecordSet* upit(const QString& baza, const char* sql, QString* greska = nullptr) {
    char* g = nullptr;
    const QByteArray veza = "database=" + baza.toUtf8();
    VelkorRecordSet* rs = a.OpenQuery("QSQLITE", veza.constData(), sql, &g);
    if (greska) *greska = g ? QString::fromUtf8(g) : QString();
    a.FreeText(g);
    return rs;
  }

 private slots:
  void initTestCase() {
    const QString put = buildDir() + "/src/libVelkorSlanjeEMaila26.so";
    a.lib = dlopen(QFile::encodeName(put).constData(), RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(a.lib, dlerror());
    void* l = a.lib;
    QVERIFY(nadji(l, "clsSlanjeEMaila_Create", a.Create));
    QVERIFY(nadji(l, "clsSlanjeEMaila_Release", a.Release));
    QVERIFY(nadji(l, "clsSlanjeEMaila_ErrorText", a.ErrorText));
    QVERIFY(nadji(l, "clsSlanjeEMaila_SlanjePrekoRecordseta", a.SlanjePrekoRecordseta));
    QVERIFY(nadji(l, "clsSlanjeEMaila_SlanjeBezRecordSeta", a.SlanjeBezRecordSeta));
    QVERIFY(nadji(l, "clsSlanjeEMaila_SlanjeFajlaPrekoEMaila", a.SlanjeFajlaPrekoEMaila));
    QVERIFY(nadji(l, "VelkorRecordSet_Create", a.RsCreate));
    QVERIFY(nadji(l, "VelkorRecordSet_AddRow", a.AddRow));
    QVERIFY(nadji(l, "VelkorRecordSet_OpenQuery", a.OpenQuery));
    QVERIFY(nadji(l, "VelkorRecordSet_RecordCount", a.RecordCount));
    QVERIFY(nadji(l, "VelkorRecordSet_FieldCount", a.FieldCount));
    QVERIFY(nadji(l, "VelkorRecordSet_FieldName", a.FieldName));
    QVERIFY(nadji(l, "VelkorRecordSet_FieldType", a.FieldType));
    QVERIFY(nadji(l, "VelkorRecordSet_Value", a.Value));
    QVERIFY(nadji(l, "VelkorRecordSet_Release", a.RsRelease));
    QVERIFY(nadji(l, "VelkorRecordSet_FreeText", a.FreeText));
  }

  void init() {
    env = std::make_unique<TestEnv>();
    obj = a.Create();
    QVERIFY(obj);
  }
  void cleanup() {
    a.Release(obj);
    obj = nullptr;
    env.reset();
  }

  void sendForm_openedFilledAfresh_EscDeletesOnlyTheCallersFile() {
    const QString izvjestaj = env->writeFile("Izvještaj za ožujak.csv", "Šifra;Iznos\r\n1;2,50\r\n");
    const int32_t parametar = 0;
    QMap<QString, QString> prvi;
    bool prilogZakljucan = false, drugiSlobodan = false;
    kadSeOtvori("frmSlanjeeMaila", [&](QWidget* f) {
      for (const char* ime : {"txtPrimatelj", "txtCC", "txtBCC", "txtPredmet", "txtPoruka",
                              "txtPrilog", "txtPrilog2", "txtPrilog3"})
        prvi[ime] = tekst(f, ime);
      prvi["naslov"] = f->windowTitle();
      prilogZakljucan = !omogucen(f, "cmdLokacija_0");
      drugiSlobodan = omogucen(f, "cmdLokacija_1") && omogucen(f, "cmdLokacija_2");
      // A host timer calling again while the form is open gets a refusal, not a second form.
      clsSlanjeEMaila* drugi = a.Create();
      prvi["ponovo"] = QString::number(a.SlanjeFajlaPrekoEMaila(drugi, &parametar, "x", "a@b.hr",
                                                                "", "", "", "", "", ""));
      prvi["ponovoGreska"] = QString::fromUtf8(a.ErrorText(drugi));
      a.Release(drugi);
      QTest::keyClick(f, Qt::Key_Escape);
    });
    // Seven parameters, as an older host calls it.
    const int32_t r = a.SlanjeFajlaPrekoEMaila(
        obj, &parametar, "Račun 17/2026", "kupac@firma.hr;ured@firma.hr", "šef@firma.hr", "",
        "Poštovani,\nu prilogu je izvještaj.", izvjestaj.toUtf8().constData(), nullptr, nullptr);
    QCOMPARE(r, VELKOR_OK);
    QCOMPARE(QString(a.ErrorText(obj)), QString());
    QCOMPARE(prvi["naslov"], QString("Slanje e-mail-a"));
    QCOMPARE(prvi["txtPredmet"], QString("Račun 17/2026"));
    QCOMPARE(prvi["txtPrimatelj"], QString("kupac@firma.hr;ured@firma.hr"));
    QCOMPARE(prvi["txtCC"], QString("šef@firma.hr"));
    QCOMPARE(prvi["txtBCC"], QString());
    QCOMPARE(prvi["txtPoruka"], QString("Poštovani,\nu prilogu je izvještaj."));
    QCOMPARE(prvi["txtPrilog"], izvjestaj);
    QCOMPARE(prvi["txtPrilog2"], QString());
    QCOMPARE(prvi["txtPrilog3"], QString());
    QCOMPARE(prvi["ponovo"].toInt(), VELKOR_E_FAIL);
    QVERIFY(prvi["ponovoGreska"].contains("već otvoren"));
    QVERIFY(prilogZakljucan);
    QVERIFY(drugiSlobodan);
    QVERIFY(!QFile::exists(izvjestaj));  // Esc leaves through the leave button

    // Again: the same window, filled with this call's values only; the close box deletes
    // nothing, neither the first attachment nor the others.
    const QString prvaDatoteka = env->writeFile("prvi.pdf", "%PDF-1.4");
    const QString drugaDatoteka = env->writeFile("drugi.txt", "drugi");
    QMap<QString, QString> drugi;
    kadSeOtvori("frmSlanjeeMaila", [&](QWidget* f) {
      for (const char* ime : {"txtPrimatelj", "txtCC", "txtPredmet", "txtPrilog", "txtPrilog2"})
        drugi[ime] = tekst(f, ime);
      f->close();
    });
    QCOMPARE(a.SlanjeFajlaPrekoEMaila(obj, &parametar, "Drugi", "ana@firma.hr", "", "", "x",
                                      prvaDatoteka.toUtf8().constData(),
                                      drugaDatoteka.toUtf8().constData(), ""),
             VELKOR_OK);
    QCOMPARE(drugi["txtPredmet"], QString("Drugi"));
    QCOMPARE(drugi["txtPrimatelj"], QString("ana@firma.hr"));
    QCOMPARE(drugi["txtCC"], QString());
    QCOMPARE(drugi["txtPrilog"], prvaDatoteka);
    QCOMPARE(drugi["txtPrilog2"], drugaDatoteka);
    QVERIFY(QFile::exists(prvaDatoteka));
    QVERIFY(QFile::exists(drugaDatoteka));
    QVERIFY(!otvorenaForma("frmSlanjeeMaila"));
  }

  void sendForm_missingRequiredParameter_isRefusedWithoutWindow() {
    const int32_t parametar = 0;
    bool otvoren = false;
    kadSeOtvori("frmSlanjeeMaila", [&](QWidget*) { otvoren = true; });
    QCOMPARE(a.SlanjeFajlaPrekoEMaila(obj, &parametar, "s", nullptr, "", "", "", "", "", ""),
             VELKOR_E_INVALIDARG);
    QVERIFY(QString(a.ErrorText(obj)).contains("Recepients"));
    QCOMPARE(a.SlanjeFajlaPrekoEMaila(obj, nullptr, "s", "a@b.hr", "", "", "", "", "", ""),
             VELKOR_E_INVALIDARG);
    QCOMPARE(a.SlanjeFajlaPrekoEMaila(nullptr, &parametar, "s", "a@b.hr", "", "", "", "", "", ""),
             VELKOR_E_INVALIDARG);
    QTest::qWait(50);
    QVERIFY(!otvoren);
  }

  void composerMethods_reportNotAvailable() {
    const int32_t parametar = 7;
    const char* imena[] = {"EMail", "Ime"};
    const int32_t tipovi[] = {VELKOR_adVarWChar, VELKOR_adVarWChar};
    VelkorRecordSet* rs = a.RsCreate(2, imena, tipovi);
    const char* red[] = {"ana@firma.hr", "Ana"};
    QCOMPARE(a.AddRow(rs, red), VELKOR_OK);

    QCOMPARE(a.SlanjePrekoRecordseta(obj, &rs, &parametar), VELKOR_E_NOTAVAILABLE);
    QVERIFY(QString(a.ErrorText(obj)).contains("nije dostupan"));
    QCOMPARE(a.RecordCount(rs), 1);  // nothing was done to the host's rows
    QCOMPARE(a.SlanjeBezRecordSeta(obj, &parametar), VELKOR_E_NOTAVAILABLE);
    QVERIFY(QString(a.ErrorText(obj)).contains("nije dostupan"));
    VelkorRecordSet* nema = nullptr;
    QCOMPARE(a.SlanjePrekoRecordseta(obj, &nema, &parametar), VELKOR_E_INVALIDARG);
    QCOMPARE(a.SlanjePrekoRecordseta(obj, nullptr, &parametar), VELKOR_E_INVALIDARG);
    for (QWidget* w : QApplication::topLevelWidgets())
      QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));

    // Errors belong to their object; a later good call clears them.
    clsSlanjeEMaila* drugi = a.Create();
    QCOMPARE(QString(a.ErrorText(drugi)), QString());
    a.Release(drugi);
    a.RsRelease(rs);
  }

  void recordSet_builtByHost_readBack() {
    const char* imena[] = {"Šifra", "Ime", "Iznos", "Datum", "Aktivan", "Kol"};
    const int32_t tipovi[] = {VELKOR_adInteger, VELKOR_adVarWChar, VELKOR_adCurrency,
                              VELKOR_adDate,    VELKOR_adBoolean,  VELKOR_adSmallInt};
    VelkorRecordSet* rs = a.RsCreate(6, imena, tipovi);
    QVERIFY(rs);
    const char* r1[] = {"17", "Đuro Šarić", "1234,5", "15.03.2026", "-1", "2.6"};
    const char* r2[] = {nullptr, "Ćiro", "0.1", "2026-01-02 08:30:00", "False", "x"};
    QCOMPARE(a.AddRow(rs, r1), VELKOR_OK);
    QCOMPARE(a.AddRow(rs, r2), VELKOR_OK);
    QCOMPARE(a.RecordCount(rs), 2);
    QCOMPARE(a.FieldCount(rs), 6);
    QCOMPARE(QString::fromUtf8(a.FieldName(rs, 0)), QString("Šifra"));
    QCOMPARE(a.FieldType(rs, 2), VELKOR_adCurrency);
    QCOMPARE(a.FieldName(rs, 6), nullptr);
    QCOMPARE(vrijednosti(rs, 0), QStringList({"17", "Đuro Šarić", "1234.5",
                                              "2026-03-15 00:00:00", "True", "3"}));
    QCOMPARE(vrijednosti(rs, 1), QStringList({"<Null>", "Ćiro", "0.1", "2026-01-02 08:30:00",
                                              "False", "x"}));
    QCOMPARE(a.Value(rs, 2, 0), nullptr);
    QCOMPARE(a.Value(rs, 0, -1), nullptr);
    a.RsRelease(rs);

    QCOMPARE(a.RsCreate(-1, nullptr, nullptr), nullptr);
    QCOMPARE(a.RsCreate(1, nullptr, nullptr), nullptr);
    const char* nullIme[] = {nullptr};
    QCOMPARE(a.RsCreate(1, nullIme, nullptr), nullptr);
    QCOMPARE(a.AddRow(nullptr, r1), VELKOR_E_INVALIDARG);
    // Without types every field is text.
    const char* jedno[] = {"Napomena"};
    VelkorRecordSet* tekstovi = a.RsCreate(1, jedno, nullptr);
    const char* v[] = {"007"};
    QCOMPARE(a.AddRow(tekstovi, v), VELKOR_OK);
    QCOMPARE(a.FieldType(tekstovi, 0), VELKOR_adVarWChar);
    QCOMPARE(QString(a.Value(tekstovi, 0, 0)), QString("007"));
    a.RsRelease(tekstovi);
  }

  void recordSet_openQuery_sqlite() {
    QTest::failOnWarning(QRegularExpression("still in use|duplicate connection"));
    const QString baza = env->path("kupci.db");
    QString greska;
    VelkorRecordSet* rs = upit(baza, "CREATE TABLE Kupci (Sifra INTEGER, Naziv TEXT, EMail TEXT)",
                               &greska);
    QVERIFY2(rs, qPrintable(greska));
    QCOMPARE(a.RecordCount(rs), 0);
    a.RsRelease(rs);
    rs = upit(baza, "INSERT INTO Kupci VALUES (1, 'Čokolada Đurđevac', 'info@cd.hr'),"
                    " (2, 'O''Brien', NULL), (3, 'Žitnjak', 'z@z.hr')", &greska);
    QVERIFY2(rs, qPrintable(greska));
    a.RsRelease(rs);
    for (int i = 0; i < 3; ++i) {  // each call has its own connection, removed afterwards
      rs = upit(baza, "SELECT Sifra, Naziv, EMail, LENGTH(Naziv) AS Duzina FROM Kupci"
                      " WHERE Sifra < 3 ORDER BY Sifra", &greska);
      QVERIFY2(rs, qPrintable(greska));
      QCOMPARE(a.RecordCount(rs), 2);
      QCOMPARE(a.FieldCount(rs), 4);
      QCOMPARE(QString(a.FieldName(rs, 3)), QString("Duzina"));
      QCOMPARE(a.FieldType(rs, 0), VELKOR_adInteger);
      QCOMPARE(a.FieldType(rs, 1), VELKOR_adVarWChar);
      QCOMPARE(vrijednosti(rs, 0), QStringList({"1", "Čokolada Đurđevac", "info@cd.hr", "17"}));
      QCOMPARE(vrijednosti(rs, 1), QStringList({"2", "O'Brien", "<Null>", "7"}));
      a.RsRelease(rs);
    }
  }

  void recordSet_openQuery_failures() {
    char* g = nullptr;
    QCOMPARE(a.OpenQuery("QNEPOSTOJI", "database=x", "SELECT 1", &g), nullptr);
    QVERIFY(g);
    QVERIFY(QString::fromUtf8(g).contains("QNEPOSTOJI"));
    a.FreeText(g);

    QString greska;
    QCOMPARE(upit(env->path("prazna.db"), "SELECT * FROM NemaTablice", &greska), nullptr);
    QVERIFY(greska.contains("NemaTablice"));

    g = nullptr;
    QCOMPARE(a.OpenQuery("QSQLITE", "databse=x.db", "SELECT 1", &g), nullptr);
    QVERIFY(QString::fromUtf8(g).contains("databse"));
    a.FreeText(g);
    QCOMPARE(a.OpenQuery("QSQLITE", "port=abc", "SELECT 1", nullptr), nullptr);
    QCOMPARE(a.OpenQuery(nullptr, "", "SELECT 1", nullptr), nullptr);
    // Driver options may hold ";" themselves: they take the rest of the text.
    const QByteArray veza = "database=" + env->path("opcije.db").toUtf8() +
                            ";options=QSQLITE_BUSY_TIMEOUT=100;QSQLITE_ENABLE_REGEXP";
    VelkorRecordSet* rs = a.OpenQuery("QSQLITE", veza.constData(), "SELECT 'a' REGEXP '^a$'", &g);
    QVERIFY2(rs, g);
    QCOMPARE(QString(a.Value(rs, 0, 0)), QString("1"));
    a.RsRelease(rs);
  }

  // A host with no Qt of its own: the component makes its application object itself.
  void qtFreeHost_mailingFromQuery() {
    const QString baza = env->path("mailing.db");
    QVERIFY(upit(baza, "CREATE TABLE K (Ime TEXT, EMail TEXT)"));
    QVERIFY(upit(baza, "INSERT INTO K VALUES ('Ana', 'ana@firma.hr'), ('Ivo', 'ivo@firma.hr')"));
    QProcess p;
    p.start(buildDir() + "/host/velkor-host",
            {"--mailing", "--sql-driver", "QSQLITE", "--sql-connection", "database=" + baza,
             "--sql", "SELECT Ime, EMail FROM K"});
    QVERIFY(p.waitForFinished(30000));
    const QString izlaz = QString::fromUtf8(p.readAllStandardOutput());
    const QString greske = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 1);
    QVERIFY2(izlaz.contains("Zapisa: 2"), qPrintable(izlaz));
    QVERIFY2(greske.contains("(-3)") && greske.contains("nije dostupan"), qPrintable(greske));

    // Without a query the host takes the bundled sample customers.
    p.start(buildDir() + "/host/velkor-host", {"--mailing"});
    QVERIFY(p.waitForFinished(30000));
    QVERIFY(QRegularExpression("Zapisa: [1-9]").match(p.readAllStandardOutput()).hasMatch());
    QCOMPARE(p.exitCode(), 1);

    p.start(buildDir() + "/host/velkor-host", {"--library", env->path("nema.so"), "--compose"});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 1);
    QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains("nema.so"));
  }
};

QTEST_MAIN(TstHostAbi)
#include "tst_hostabi.moc"
