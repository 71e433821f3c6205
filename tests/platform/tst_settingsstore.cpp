#include <QtTest>
#include <sys/stat.h>

#include "core/SettingsStore.h"
#include "support/Fixture.h"

using namespace core;

class TstSettingsStore : public Fixture {
  Q_OBJECT

  static mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
  }

 private slots:
  void defaults_whenNothingStored() {
    QCOMPARE(GetSetting("Velkor", "Settings", "chkZatvoriFrmSlEmaila", "1"), QString("1"));
    QVERIFY(VelkorSetting("mnuEmailPošiljatelj").isNull());
    QVERIFY(!QFile::exists(settingsFilePath("Velkor")));  // reading creates nothing
  }

  void storedValues_roundTrip_data() {
    QTest::addColumn<QString>("kljuc");
    QTest::addColumn<QString>("vrijednost");
    QTest::newRow("Croatian letters") << "mnuEmailPošiljatelj" << "Đuro Šarić <đuro@firma.hr>";
    QTest::newRow("commas and quotes") << "Adrese" << "a@b.hr, c@d.hr; \"x\"";
    QTest::newRow("leading @") << "Čudno" << "@Variant(x)";
    QTest::newRow("empty") << "Prazno" << "";
  }
  void storedValues_roundTrip() {
    QFETCH(QString, kljuc);
    QFETCH(QString, vrijednost);
    SaveVelkorSetting(kljuc, vrijednost);
    SaveVelkorSetting("Drugi", "x");  // a second write must not disturb the first
    QCOMPARE(VelkorSetting(kljuc, "zadano"), vrijednost);
    QCOMPARE(GetSetting("Velkor", "Drugo", kljuc, "nema"), QString("nema"));  // sections apart
    DeleteSetting("Velkor", "Settings", kljuc);
    QCOMPARE(VelkorSetting(kljuc, "nema"), QString("nema"));
    QCOMPARE(VelkorSetting("Drugi"), QString("x"));
  }

  // The windows store booleans as "True"/"False" or as "0"/"1", and read either back.
  void booleanForms() {
    for (const char* da : {"True", "true", "-1", "1", " 1 "})
      QVERIFY2(settingToBool(da, false), da);
    for (const char* ne : {"False", "0"}) QVERIFY2(!settingToBool(ne, true), ne);
    QVERIFY(settingToBool("da", true) && !settingToBool("", false));  // else the default
  }

  // Also a file first written by hand with wider rights.
  void fileIsPrivate_andApart() {
    const QString put = env->writeFile("config/Kestrova.ini", "[Settings]\nRemoteHost=posta.velkor.hr\n");
    QVERIFY(QFile::setPermissions(put, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
    SaveSetting("Kestrova", "Settings", "Password", "tajna");
    QCOMPARE(settingsFilePath("Kestrova"), put);
    QCOMPARE(modeOf(put), mode_t(0600));
    QCOMPARE(GetSetting("Kestrova", "Settings", "RemoteHost"), QString("posta.velkor.hr"));
    SaveSetting("Kestrova", "Settings", "Password", "nova tajna");
    QCOMPARE(modeOf(put), mode_t(0600));
    QCOMPARE(GetSetting("Kestrova", "Settings", "Password"), QString("nova tajna"));
    SaveSetting("Velkor", "Settings", "SMTPPort", "25");
    QCOMPARE(GetSetting("Kestrova", "Settings", "SMTPPort", "nema"), QString("nema"));
    QCOMPARE(modeOf(settingsFilePath("Velkor")), mode_t(0600));
    // The directory is looked up on every call.
    TestEnv drugi;
    QVERIFY(GetSetting("Kestrova", "Settings", "Password").isNull());
  }
};

QTEST_MAIN(TstSettingsStore)
#include "tst_settingsstore.moc"
