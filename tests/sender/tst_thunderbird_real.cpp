// The route against the real Thunderbird (Debian package) under Xvfb. Slow and needs the
// program, so it runs only when asked: VELKOR_REAL_THUNDERBIRD=1.
#include <QtTest>
#include <signal.h>

#include "platform/ProgramLauncher.h"
#include "sender/modThunderBirdEMail.h"
#include "support/PeerProcess.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

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

  void composeWindowOpensWithSubject() {
    ScriptedDialogs d;
    // A subject cut at its quote would not give this title (nor its attachment item be read).
    const QString subject = "Račun 17 čćđšž',attachment='/etc/hostname";
    QVERIFY(TB_SendEmail(QString("kupac@firma.hr"), subject, QString("Poštovani,\nRed 2 it's"),
                         QString(""), QString(""),
                         TBAttachments(QStringList{env.writeFile("Prilog čćđ.txt", "x\n"), "", ""}),
                         QString("Ana Anić <ana@firma.hr>"), false));
    QVERIFY(d.calls.isEmpty());
    QByteArray window;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(window = xdotool({"search", "--limit", "1", "--name", subject})).isEmpty(), 90000);
    thunderbird = xdotool({"getwindowpid", QString::fromLatin1(window)}).toLongLong();
  }
};

QTEST_MAIN(TstThunderbirdReal)
#include "tst_thunderbird_real.moc"
