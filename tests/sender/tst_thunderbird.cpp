#include <QtTest>
#include <QAction>
#include <QElapsedTimer>
#include <memory>

#include "RouteTestSupport.h"
#include "platform/SettingsStore.h"
#include "sender/frmSlanjeeMaila.h"
#include "sender/modThunderBirdEMail.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

using platform::SaveVelkorSetting;

namespace {

const QString kNijePronadjen = QStringLiteral(
    "Nije moguće odrediti Thunderbird.exe lokaciju.\r\n\r\n"
    "Provjerite da li je Thunderbird instaliran i pokušajte ponovno.\r\n"
    "Inače, kontaktirajte velkor za daljnju pomoć.");

const QString kPosiljatelj = QStringLiteral("Ana Anić <ana@firma.hr>");

bool posalji(const QStringList& prilozi, bool tipke, const QString& predmet = "Račun 17.2026") {
  return TB_SendEmail(QString("kupac@firma.hr"), predmet, QString("Poštovani"), QString(""),
                      QString(""), TBAttachments(prilozi), kPosiljatelj, tipke);
}

}  // namespace

class TstThunderbird : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env;

 private slots:
  void init() { env = std::make_unique<TestEnv>(); }
  void cleanup() { env.reset(); }

  void composeArgument_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("expected");
    const std::optional<QString> none;
    QTest::newRow("no attachments: bcc followed by from")
        << TB_ComposeArgument(QString("a@b.hr"), QString("Predmet"), QString("Tekst"), QString(""),
                              QString(""), TBAttachments(QStringList{"", "", ""}), kPosiljatelj)
        << "to='a@b.hr',subject='Predmet',body='Tekst',cc='',bcc='',"
           "from='Ana Anić <ana@firma.hr>',format=1,";
    QTest::newRow("boxes 1 and 3: one item, one comma between")
        << TB_ComposeArgument(QString("a@b.hr"), QString("P"), QString("T"), QString("c@d.hr"),
                              QString("e@f.hr"),
                              TBAttachments(QStringList{"/tmp/Račun 1.pdf", "", "/tmp/3.xlsx"}),
                              kPosiljatelj)
        << "to='a@b.hr',subject='P',body='T',cc='c@d.hr',bcc='e@f.hr',"
           "attachment='/tmp/Račun 1.pdf,/tmp/3.xlsx',from='Ana Anić <ana@firma.hr>',format=1,";
    QTest::newRow("quote and line breaks pass unchanged")
        << TB_ComposeArgument(QString("a@b.hr"), QString("O'Brien"),
                              QString("Red 1\nRed 2 \\n it's, \"x\""), none, none, none, none)
        << "to='a@b.hr',subject='O'Brien',body='Red 1\nRed 2 \\n it's, \"x\"',format=1,";
    QTest::newRow("single path, absent items give nothing")
        << TB_ComposeArgument(none, QString("S"), none, none, none,
                              TBAttachments(QString("/tmp/a.pdf")), none)
        << "subject='S',attachment='/tmp/a.pdf',format=1,";
    QTest::newRow("empty single path")
        << TB_ComposeArgument(none, none, none, none, none, TBAttachments(QString()), none)
        << "format=1,";
  }
  void composeArgument() {
    QFETCH(QString, argument);
    QFETCH(QString, expected);
    QCOMPARE(argument, expected);
  }

  void started_withArgumentVector_noKeystroke() {
    StandIns s({"thunderbird", "xdotool"});
    ScriptedDialogs d;
    QVERIFY(PronadjiThunderbird());
    QVERIFY(posalji({"/tmp/a b.pdf", "", ""}, false));
    QVERIFY(s.waitForCalls("thunderbird", 1));
    QCOMPARE(s.calls("thunderbird").at(0),
             QStringList({"-compose", "to='kupac@firma.hr',subject='Račun 17.2026',"
                                      "body='Poštovani',cc='',bcc='',attachment='/tmp/a b.pdf',"
                                      "from='Ana Anić <ana@firma.hr>',format=1,"}));
    QTest::qWait(200);
    QVERIFY(s.calls("xdotool").isEmpty());
    QVERIFY(d.calls.isEmpty());
  }

  void keystroke_afterWait_toComposeWindowBySubject() {
    StandIns s({"thunderbird", "xdotool"});
    ScriptedDialogs d;
    QElapsedTimer t;
    t.start();
    QVERIFY(posalji({}, true, "Račun (17) 2026. [$]"));
    QVERIFY(t.elapsed() >= 1000);
    QCOMPARE(s.calls("xdotool").size(), 1);
    QCOMPARE(s.calls("xdotool").at(0),
             QStringList({"search", "--sync", "--limit", "1", "--name",
                          "Račun \\(17\\) 2026\\. \\[\\$\\]", "windowfocus", "--sync", "key",
                          "--clearmodifiers", "ctrl+shift+Return"}));
    QVERIFY(s.waitForCalls("thunderbird", 1));
    QVERIFY(d.calls.isEmpty());
  }

  void keystrokeFailure_errorBox() {
    StandIns s({"thunderbird", "xdotool"});
    s.exitWith("xdotool", 3, "Can't open display");
    ScriptedDialogs d;
    QVERIFY(!posalji({}, true));
    QCOMPARE(d.calls.size(), 1);
    QCOMPARE(d.last().title, QString("Nastala je greška!"));
    QCOMPARE(d.last().icon, platform::MsgIcon::Critical);
    QVERIFY2(d.last().text.startsWith("Nastala je slijedeća greška:\r\n\r\nError Number: 3\r\n"
                                      "Error Source: TB_SendEmail\r\nError Description: ") &&
                 d.last().text.contains("Can't open display") &&
                 d.last().text.endsWith("\r\nLine No: 7"),
             qPrintable(d.last().text));
  }

  void programNotFound_box_andSettingNamesAnother() {
    StandIns s({"xdotool"});
    s.onlyStandInsOnPath();
    ScriptedDialogs d;
    QVERIFY(!PronadjiThunderbird());
    QVERIFY(!posalji({}, false));
    QCOMPARE(d.calls.size(), 2);
    for (const DialogCall& c : d.calls) {
      QCOMPARE(c.text, kNijePronadjen);
      QCOMPARE(c.title, QString("Operacija prekinuta!"));
      QCOMPARE(c.icon, platform::MsgIcon::Critical);
    }
    QVERIFY(s.calls("xdotool").isEmpty());

    const QString drugi = s.add(env->path("moj-thunderbird"));
    SaveVelkorSetting("PutanjaThunderbird", drugi);
    QVERIFY(PronadjiThunderbird());
    QVERIFY(posalji({}, false));
    QVERIFY(s.waitForCalls("moj-thunderbird", 1));
    QCOMPARE(d.calls.size(), 2);
  }

  void programCannotStart_errorBoxLine6() {
    const QString pokvaren = env->writeFile("tb/thunderbird", "#!/nema/takvog/tumaca\n");
    QFile::setPermissions(pokvaren, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    SaveVelkorSetting("PutanjaThunderbird", pokvaren);
    ScriptedDialogs d;
    QVERIFY(!posalji({}, false));
    QCOMPARE(d.calls.size(), 1);
    QVERIFY2(d.last().text.contains("Error Source: TB_SendEmail") &&
                 d.last().text.endsWith("\r\nLine No: 6"),
             qPrintable(d.last().text));
  }

  // The send form's route 1: its one-time probe and the arguments it hands over.
  void sendForm_route1_endToEnd() {
    StandIns s({"thunderbird", "xdotool"});
    ScriptedDialogs d;
    SaveVelkorSetting("mnuEmailPrekoOutlookaThunderSMTP", "1");
    SaveVelkorSetting("mnuEmailThunderbirdŠaljiiEnter", "False");
    SaveVelkorSetting("mnuEmailPošiljatelj", kPosiljatelj);
    SaveVelkorSetting("chkZatvoriFrmSlEmaila", "0");
    frmSlanjeeMaila::PostaviRute({});
    frmSlanjeeMaila* f = frmSlanjeeMaila::forma();
    const QString p1 = env->writeFile("1.pdf", "1"), p3 = env->writeFile("3.pdf", "3");
    f->Napuni("Ponuda", "kupac@firma.hr", "", "", "Red 1\nRed 2", p1, "", p3);
    f->cmdSlanje_Click();
    QVERIFY2(d.texts().contains("E-mail uspješno generiran!"), qPrintable(d.texts().join('|')));
    QCOMPARE(platform::VelkorSetting("ProvPostThunder"), QString("1"));
    QVERIFY(s.waitForCalls("thunderbird", 1));
    QCOMPARE(s.calls("thunderbird").at(0).value(1),
             QString("to='kupac@firma.hr',subject='Ponuda',body='Red 1\nRed 2',cc='',bcc='',"
                     "attachment='" + p1 + "," + p3 + "',from='Ana Anić <ana@firma.hr>',format=1,"));
    QVERIFY(s.calls("xdotool").isEmpty());
    f->cmdPrekid_Click();
  }
};

QTEST_MAIN(TstThunderbird)
#include "tst_thunderbird.moc"
