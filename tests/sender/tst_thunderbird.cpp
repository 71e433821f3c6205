// The Thunderbird route with recording stand-ins for the program and the keystroke tool.
#include <QtTest>
#include <QElapsedTimer>
#include <memory>

#include "RouteTestSupport.h"
#include "platform/SettingsStore.h"
#include "sender/modThunderBirdEMail.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

namespace {

const QString kPosiljatelj = "Ana Anić <ana@firma.hr>";

bool posalji(bool tipka, const QString& predmet = "Račun 17.2026") {
  return TB_SendEmail(QString("kupac@firma.hr"), predmet, QString("Poštovani"), QString(""),
                      QString(""), TBAttachments(QStringList{"", "", ""}), kPosiljatelj, tipka);
}

}  // namespace

class TstThunderbird : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env;
  std::unique_ptr<ScriptedDialogs> d;

 private slots:
  void init() {
    env = std::make_unique<TestEnv>();
    d = std::make_unique<ScriptedDialogs>();
  }
  void cleanup() {
    d.reset();
    env.reset();
  }

  void composeArgument_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("cc");               // "-": absent
    QTest::addColumn<QStringList>("attachments");  // none: absent
    QTest::addColumn<QString>("items");            // from the body to the sender
    QTest::newRow("three attachments empty")
        << "Poštovani"
        << "" << QStringList{"", "", ""} << "'Poštovani',cc='',bcc=''";
    QTest::newRow("boxes 1 and 3: one item, one comma between")
        << "T"
        << "c@d.hr" << QStringList{"/tmp/Račun 1.pdf", "", "/tmp/3.xlsx"}
        << "'T',cc='c@d.hr',bcc='',attachment='/tmp/Račun 1.pdf,/tmp/3.xlsx'";
    QTest::newRow("quote and line break unchanged, absent items give nothing")
        << "Red 1\nRed 2 \\n it's, \"x\""
        << "-" << QStringList{} << "'Red 1\nRed 2 \\n it's, \"x\"',bcc=''";
  }
  void composeArgument() {
    QFETCH(QString, body);
    QFETCH(QString, cc);
    QFETCH(QStringList, attachments);
    QFETCH(QString, items);
    StandIns s({"thunderbird", "xdotool"});
    QVERIFY(PronadjiThunderbird());
    QVERIFY(TB_SendEmail(
        QString("kupac@firma.hr"), QString("Račun O'Brien"), body,
        cc == "-" ? std::nullopt : std::optional(cc), QString(""),
        attachments.isEmpty() ? std::nullopt : std::optional<TBAttachments>(attachments),
        kPosiljatelj, false));
    QTRY_COMPARE(s.calls("thunderbird").size(), 1);  // started detached
    QCOMPARE(s.calls("thunderbird").at(0),
             QStringList({"-compose", "to='kupac@firma.hr',subject='Račun O'Brien',body=" + items +
                                          ",from='Ana Anić <ana@firma.hr>',format=1,"}));
    QVERIFY(s.calls("xdotool").isEmpty());
    QVERIFY(d->calls.isEmpty());
  }

  void keystroke_afterWait_toComposeWindowBySubject() {
    StandIns s({"thunderbird", "xdotool"});
    QElapsedTimer t;
    t.start();
    QVERIFY(posalji(true, "Račun (17) 2026. [$]"));
    QVERIFY(t.elapsed() >= 1000);
    QCOMPARE(s.calls("xdotool"),
             QList<QStringList>(
                 {{"search", "--sync", "--limit", "1", "--name", "Račun \\(17\\) 2026\\. \\[\\$\\]",
                   "windowfocus", "--sync", "key", "--clearmodifiers", "ctrl+shift+Return"}}));
    QTRY_COMPARE(s.calls("thunderbird").size(), 1);
    QVERIFY(d->calls.isEmpty());
  }

  void errorBox_data() {
    QTest::addColumn<bool>("tipka");
    QTest::addColumn<QString>("pocetak");  // number and description
    QTest::addColumn<QString>("redak");
    QTest::newRow("keystroke fails")
        << true
        << "3\r\nError Source: TB_SendEmail\r\n"
           "Error Description: Tipke nije moguće poslati (xdotool): Can't open display"
        << "7";
    QTest::newRow("program named by the setting cannot start")
        << false << "53\r\nError Source: TB_SendEmail\r\n"
        << "6";
  }
  void errorBox() {
    QFETCH(bool, tipka);
    QFETCH(QString, pocetak);
    QFETCH(QString, redak);
    StandIns s({"thunderbird", "xdotool"});
    s.exitWith("xdotool", 3, "Can't open display");
    if (!tipka) {
      const QString pokvaren = env->writeFile("tb/thunderbird", "#!/nema/takvog/tumaca\n");
      QFile::setPermissions(pokvaren, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
      platform::SaveVelkorSetting("PutanjaThunderbird", pokvaren);
    }
    QVERIFY(!posalji(tipka));
    QCOMPARE(d->calls.size(), 1);
    QCOMPARE(d->last().title, QString("Nastala je greška!"));
    QCOMPARE(d->last().icon, platform::MsgIcon::Critical);
    const QString t = d->last().text;
    QVERIFY2(t.startsWith("Nastala je slijedeća greška:\r\n\r\nError Number: " + pocetak) &&
                 t.endsWith("\r\nLine No: " + redak),
             qPrintable(t));
  }

  void programNotFound_box() {
    StandIns s({"xdotool"});
    s.onlyStandInsOnPath();
    QVERIFY(!PronadjiThunderbird());
    QVERIFY(!posalji(false));
    QCOMPARE(d->calls.size(), 2);
    for (const DialogCall& c : d->calls) {
      QCOMPARE(c.text, QString("Nije moguće odrediti Thunderbird.exe lokaciju.\r\n\r\n"
                               "Provjerite da li je Thunderbird instaliran i pokušajte ponovno."
                               "\r\nInače, kontaktirajte velkor za daljnju pomoć."));
      QCOMPARE(c.title, QString("Operacija prekinuta!"));
      QCOMPARE(c.icon, platform::MsgIcon::Critical);
    }
  }
};

QTEST_MAIN(TstThunderbird)
#include "tst_thunderbird.moc"
