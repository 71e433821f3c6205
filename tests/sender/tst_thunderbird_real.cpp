#include <QtTest>
#include <signal.h>

#include <memory>

#include "RouteTestSupport.h"
#include "platform/ProgramLauncher.h"
#include "sender/modThunderBirdEMail.h"
#include "support/PeerProcess.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

// The route against the real Thunderbird (Debian package) under Xvfb. Slow and needs the
// program, so it runs only when asked: VELKOR_REAL_THUNDERBIRD=1.
namespace {

const char* kDisplay = ":77";

// A profile with one account: without an account Thunderbird ignores -compose.
const char* kUserJs = R"(user_pref("mail.accountmanager.accounts", "account1,account2");
user_pref("mail.accountmanager.defaultaccount", "account1");
user_pref("mail.accountmanager.localfoldersserver", "server2");
user_pref("mail.account.account1.identities", "id1");
user_pref("mail.account.account1.server", "server1");
user_pref("mail.account.account2.server", "server2");
user_pref("mail.identity.id1.fullName", "Ana Anić");
user_pref("mail.identity.id1.useremail", "ana@firma.hr");
user_pref("mail.identity.id1.smtpServer", "smtp1");
user_pref("mail.identity.id1.valid", true);
user_pref("mail.server.server1.hostname", "127.0.0.28");
user_pref("mail.server.server1.name", "ana@firma.hr");
user_pref("mail.server.server1.type", "pop3");
user_pref("mail.server.server1.userName", "ana");
user_pref("mail.server.server1.login_at_startup", false);
user_pref("mail.server.server1.check_new_mail", false);
user_pref("mail.server.server2.hostname", "Local Folders");
user_pref("mail.server.server2.name", "Local Folders");
user_pref("mail.server.server2.type", "none");
user_pref("mail.server.server2.userName", "nobody");
user_pref("mail.smtpservers", "smtp1");
user_pref("mail.smtp.defaultserver", "smtp1");
user_pref("mail.smtpserver.smtp1.hostname", "127.0.0.28");
user_pref("mail.smtpserver.smtp1.port", 25);
user_pref("mail.shell.checkDefaultClient", false);
user_pref("mail.provider.enabled", false);
user_pref("mailnews.start_page.enabled", false);
user_pref("app.update.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("mail.rights.version", 1);
user_pref("offline.autoDetect", false);
user_pref("offline.startup_state", 2);
)";

QByteArray xdotool(const QStringList& args) {
  const platform::RunResult r = platform::runAndWait("xdotool", args, {}, 10000);
  return r.exitCode == 0 ? r.output.trimmed() : QByteArray();
}

// The X window whose name holds the text, or empty after timeoutMs.
QByteArray waitForWindow(const QString& name, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < timeoutMs) {
    const QByteArray id = xdotool({"search", "--limit", "1", "--name", name});
    if (!id.isEmpty()) return id;
    QTest::qWait(250);
  }
  return {};
}

QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TstThunderbirdReal : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env;
  PeerProcess xvfb;
  PeerProcess bus;
  QMap<QByteArray, QByteArray> saved;
  QList<qint64> started;

 private slots:
  void initTestCase() {
    if (qEnvironmentVariable("VELKOR_REAL_THUNDERBIRD") != "1")
      QSKIP("set VELKOR_REAL_THUNDERBIRD=1 to run against the real Thunderbird");
    for (const char* p : {"thunderbird", "Xvfb", "xdotool"})
      if (platform::findProgram(p).isEmpty()) QSKIP(qPrintable(QString("%1 is not installed").arg(p)));
    env = std::make_unique<TestEnv>();
    QVERIFY2(xvfb.start("Xvfb", {kDisplay, "-screen", "0", "1280x900x24", "-nolisten", "tcp"}),
             qPrintable(xvfb.errorString()));
    QElapsedTimer t;
    t.start();
    while (platform::runAndWait("xdpyinfo", {"-display", kDisplay}, {}, 5000).exitCode != 0) {
      QVERIFY2(t.elapsed() < 10000 && xvfb.isRunning(), "Xvfb did not start");
      QTest::qWait(100);
    }
    // Later -compose calls reach the running Thunderbird over the session bus.
    PeerReadiness adresa;
    adresa.outputContains = "unix:";
    QVERIFY2(bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"}, adresa),
             qPrintable(bus.errorString()));
    for (const char* v : {"HOME", "DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "MOZ_LEGACY_PROFILES"})
      saved.insert(v, qgetenv(v));
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.output().trimmed().split('\n').first());
    qputenv("HOME", env->path("home").toUtf8());
    qputenv("DISPLAY", kDisplay);
    // The profile named in profiles.ini, not one made per installation.
    qputenv("MOZ_LEGACY_PROFILES", "1");
    const QString profile = env->path("home/profil");
    env->writeFile("home/profil/user.js", kUserJs);
    env->writeFile("home/.thunderbird/profiles.ini",
                   "[Profile0]\nName=velkor\nIsRelative=0\nPath=" + profile.toUtf8() +
                       "\nDefault=1\n\n[General]\nStartWithLastProfile=1\nVersion=2\n");
  }

  void cleanupTestCase() {
    for (const qint64 pid : started) ::kill(pid_t(pid), SIGTERM);
    bus.stop();
    xvfb.stop();
    for (auto it = saved.cbegin(); it != saved.cend(); ++it) {
      if (it.value().isNull())
        qunsetenv(it.key().constData());
      else
        qputenv(it.key().constData(), it.value());
    }
  }

  // The compose window opens with the subject; the keystroke puts the message in the
  // Outbox ("Send Later"), where its text can be read back.
  void composeWindow_thenKeystroke() {
    ScriptedDialogs d;
    const QString subject = QStringLiteral("Račun 17 čćđšž");
    const QString attachment = env->writeFile("Prilog čćđ.txt", "prilog\n");
    QVERIFY(TB_SendEmail(QString("kupac@firma.hr"), subject, QString("Poštovani,\nRed 2 it's"),
                         QString(""), QString(""), TBAttachments(QStringList{attachment, "", ""}),
                         QString("Ana Anić <ana@firma.hr>"), false));
    const QByteArray window = waitForWindow(subject, 90000);
    QVERIFY2(!window.isEmpty(), "no compose window");
    const qint64 pid = xdotool({"getwindowpid", QString::fromLatin1(window)}).toLongLong();
    if (pid > 0) started << pid;
    QTest::qWait(3000);  // let the window finish painting
    if (qEnvironmentVariableIsSet("VELKOR_SHOTS_DIR"))
      platform::runAndWait("import", {"-window", "root", "-display", kDisplay,
                                      qEnvironmentVariable("VELKOR_SHOTS_DIR") + "/thunderbird-compose.png"});

    // The same message again, sent by the keystroke.
    const QString subject2 = QStringLiteral("Drugi račun šž");
    QVERIFY2(TB_SendEmail(QString("kupac@firma.hr"), subject2, QString("Tekst"), QString(""),
                          QString(""), TBAttachments(QStringList{"", "", ""}),
                          QString("Ana Anić <ana@firma.hr>"), true),
             qPrintable(d.texts().join('|')));
    QVERIFY(d.calls.isEmpty());
    const QString outbox = env->path("home/profil/Mail/Local Folders/Unsent Messages");
    QElapsedTimer t;
    t.start();
    while (!readFile(outbox).contains("Drugi") && t.elapsed() < 30000) QTest::qWait(250);
    QVERIFY2(readFile(outbox).contains("To: kupac@firma.hr"), readFile(outbox).left(2000).constData());
  }
};

QTEST_MAIN(TstThunderbirdReal)
#include "tst_thunderbird_real.moc"
