#include <QtTest>
#include <sys/stat.h>

#include "platform/SettingsStore.h"
#include "support/TestEnv.h"

using namespace platform;

namespace {

mode_t modeOf(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return 0;
  return st.st_mode & 0777;
}

}  // namespace

class TstSettingsStore : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env;

 private slots:
  void init() { env = std::make_unique<TestEnv>(); }
  void cleanup() { env.reset(); }

  void defaults_whenNothingStored() {
    QCOMPARE(GetSetting("Velkor", "Settings", "chkZatvoriFrmSlEmaila", "1"), QString("1"));
    QVERIFY(VelkorSetting("mnuEmailPošiljatelj").isNull());
    QVERIFY(!QFile::exists(settingsFilePath("Velkor")));  // reading creates nothing
  }

  void storedValues_roundTrip_data() {
    QTest::addColumn<QString>("kljuc");
    QTest::addColumn<QString>("vrijednost");
    QTest::newRow("True") << "mnuEmailOutlookZatvori" << TrueFalse(true);
    QTest::newRow("False") << "mnuEmailThunderbirdŠaljiiEnter" << TrueFalse(false);
    QTest::newRow("1") << "chkZatvoriFrmSlEmaila" << ZeroOne(true);
    QTest::newRow("0") << "ProvPostSMTP" << ZeroOne(false);
    QTest::newRow("Croatian key and value")
        << "mnuEmailPošiljatelj" << "Đuro Šarić <đuro@firma.hr>";
    QTest::newRow("commas and quotes") << "Adrese" << "a@b.hr, c@d.hr; \"x\"";
    QTest::newRow("leading @") << "Čudno" << "@Variant(x)";
    QTest::newRow("empty") << "Prazno" << "";
    QTest::newRow("twips") << "MainLeftPrikTeksta" << "2715";
  }
  void storedValues_roundTrip() {
    QFETCH(QString, kljuc);
    QFETCH(QString, vrijednost);
    SaveVelkorSetting(kljuc, vrijednost);
    SaveVelkorSetting("Drugi", "x");  // a second write must not disturb the first
    QCOMPARE(VelkorSetting(kljuc, "zadano"), vrijednost);
    QCOMPARE(GetSetting("Velkor", "Settings", kljuc), vrijednost);
    QCOMPARE(GetSetting("Velkor", "Drugo", kljuc, "nema"), QString("nema"));  // sections apart
  }

  void booleanForms() {
    QCOMPARE(settingToBool("True", false), true);
    QCOMPARE(settingToBool("false", true), false);
    QCOMPARE(settingToBool("-1", false), true);
    QCOMPARE(settingToBool("1", false), true);
    QCOMPARE(settingToBool("0", true), false);
    QCOMPARE(settingToBool(" 1 ", false), true);
    QCOMPARE(settingToBool("da", true), true);
    QCOMPARE(settingToBool("", false), false);
  }

  void delete_removesOnlyThatKey() {
    SaveVelkorSetting("A", "1");
    SaveVelkorSetting("B", "2");
    DeleteSetting("Velkor", "Settings", "A");
    QCOMPARE(VelkorSetting("A", "nema"), QString("nema"));
    QCOMPARE(VelkorSetting("B"), QString("2"));
  }

  void fileIsPrivate_andStaysPrivate() {
    SaveSetting("Kestrova", "Settings", "Password", "tajna");
    const QString put = settingsFilePath("Kestrova");
    QCOMPARE(QFileInfo(put).absolutePath(), env->path("config"));
    QCOMPARE(modeOf(put), mode_t(0600));
    SaveSetting("Kestrova", "Settings", "Password", "nova tajna");
    SaveSetting("Kestrova", "Settings", "UserName", "ivo");
    QCOMPARE(modeOf(put), mode_t(0600));
    QCOMPARE(GetSetting("Kestrova", "Settings", "Password"), QString("nova tajna"));
  }

  void applicationsHaveSeparateFiles() {
    SaveSetting("Velkor", "Settings", "SMTPPort", "25");
    SaveSetting("Kestrova", "Settings", "SMTPPort", "587");
    QVERIFY(settingsFilePath("Velkor") != settingsFilePath("Kestrova"));
    QVERIFY(QFile::exists(settingsFilePath("Velkor")));
    QVERIFY(QFile::exists(settingsFilePath("Kestrova")));
    QCOMPARE(GetSetting("Velkor", "Settings", "SMTPPort"), QString("25"));
    QCOMPARE(GetSetting("Kestrova", "Settings", "SMTPPort"), QString("587"));
    QFile f(settingsFilePath("Velkor"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(!f.readAll().contains("587"));
  }

  void followsConfigDirectoryChange() {
    SaveVelkorSetting("Mjesto", "prvo");
    TestEnv drugi;  // another XDG_CONFIG_HOME from now on
    QVERIFY(VelkorSetting("Mjesto").isNull());
    SaveVelkorSetting("Mjesto", "drugo");
    QCOMPARE(VelkorSetting("Mjesto"), QString("drugo"));
  }
};

QTEST_MAIN(TstSettingsStore)
#include "tst_settingsstore.moc"
