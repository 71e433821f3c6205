// The route against the real Thunderbird (Debian package) under Xvfb. Slow and needs the
// program, so it runs only when asked: VELKOR_REAL_THUNDERBIRD=1.
#include <QtTest>
#include <signal.h>

#include "mail/MessageCheck.h"
#include "platform/ProgramLauncher.h"
#include "sender/modThunderBirdEMail.h"
#include "support/PeerProcess.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

using namespace sender;
// A profile with one account (without one Thunderbird ignores -compose), started offline.
static const char* kUserJs = R"(user_pref("mail.accountmanager.accounts", "account1");
user_pref("mail.account.account1.identities", "id1");
user_pref("mail.account.account1.server", "server1");
user_pref("mail.identity.id1.useremail", "ana@firma.hr");
user_pref("mail.server.server1.hostname", "127.0.0.28");
user_pref("mail.server.server1.type", "pop3");
user_pref("mail.server.server1.userName", "ana");
user_pref("offline.startup_state", 3);
)";

class TstThunderbirdReal : public QObject {
  Q_OBJECT
  TestEnv env;
  PeerProcess xvfb;
  qint64 thunderbird = 0;

  static QByteArray xdotool(const QStringList& args) {
    const platform::RunResult r = platform::runAndWait("xdotool", args, {}, 10000);
    return r.exitCode == 0 ? r.output.trimmed() : QByteArray();
  }

 private slots:
  void initTestCase() {
    if (qEnvironmentVariable("VELKOR_REAL_THUNDERBIRD") != "1")
      QSKIP("set VELKOR_REAL_THUNDERBIRD=1 to run against the real Thunderbird");
    for (const char* p : {"thunderbird", "Xvfb", "xdotool"})
      if (platform::findProgram(p).isEmpty()) QSKIP(qPrintable(QString("%1 is missing").arg(p)));
    QVERIFY2(xvfb.start("Xvfb",
                        {":77", "-screen", "0", "1280x900x24", "-nolisten", "tcp", "-displayfd",
                         "1"},  // writes the number once it serves
                        PeerReadiness::onOutput("77")),
             qPrintable(xvfb.errorString()));
    qputenv("DISPLAY", ":77");
    qputenv("HOME", env.path("home").toUtf8());
    qputenv("XRE_PROFILE_PATH", env.path("profil").toUtf8());
    env.writeFile("profil/user.js", kUserJs);
  }
  void cleanupTestCase() {
    if (thunderbird > 0) ::kill(pid_t(thunderbird), SIGTERM);
    xvfb.stop();
  }

  // The route's own keystroke files the message in the Outbox ("Send Later"), so what
  // Thunderbird made of the values is read back from that mbox like any received message.
  void valuesArriveIntactWithNoExtraAttachment() {
    ScriptedDialogs d;
    const QString subject = "Račun 17 čćđšž',attachment='/etc/hostname";
    const QString body = "Poštovani,\nit's ',attachment='/etc/passwd\nRed 3 čćđšž";
    const QString prilog = env.writeFile("Prilog čćđ, it's.txt", "prilog 1\n");
    QVERIFY(TB_SendEmail(QString("kupac@firma.hr"), subject, body, QString(""), QString(""),
                         TBAttachments(QStringList{prilog, "", ""}),
                         QString("Ana Anić <ana@firma.hr>"), true));
    QVERIFY2(d.calls.isEmpty(), qPrintable(d.calls.value(0).text));
    thunderbird = xdotool({"search", "--limit", "1", "--class", "thunderbird", "getwindowpid"})
                      .toLongLong();

    const QString outbox = env.path("profil/Mail/Local Folders/Unsent Messages");
    QByteArray mbox;
    QTRY_VERIFY_WITH_TIMEOUT((mbox = readWholeFile(outbox)).trimmed().endsWith("--"), 30000);
    // Thunderbird's own header style (an encoded word in a quoted file name) is not ours to judge.
    const QJsonObject m = checkMessage(env.writeFile("outbox.eml", asMessage(mbox)));
    QCOMPARE(m.value("subject").toString(), subject);
    QCOMPARE(entry(m, "to", 0, "address"), QString("kupac@firma.hr"));
    QCOMPARE(m.value("text").toString().replace("\r\n", "\n").trimmed(), body);
    QCOMPARE(m.value("attachments").toArray().size(), 1);
    QCOMPARE(entry(m, "attachments", 0, "filename"), QString("Prilog čćđ, it's.txt"));
    QCOMPARE(entry(m, "attachments", 0, "sha256"), sha256Of("prilog 1\n"));
  }

 private:
  // The one message of an mbox, without its "From " line and with CR LF line ends (the
  // file may use either).
  static QByteArray asMessage(QByteArray mbox) {
    mbox.remove(0, mbox.indexOf('\n') + 1);
    return mbox.replace("\r\n", "\n").replace("\n", "\r\n");
  }
};

QTEST_MAIN(TstThunderbirdReal)
#include "tst_thunderbird_real.moc"
