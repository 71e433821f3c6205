// OAuth 2.0 sign-in of the composer's account: a loopback authorization server on oauthlib
// (tests/peers/oauth_server.py, 5 s access tokens), the stand-in browser first on PATH, and
// Dovecot's submission service checking each token at that server's introspection. The
// sign-in goes through "Postavke", whose account the later runs use.
#include <QtTest>
#include <QtWidgets>

#include "composer/RacunSlanja.h"
#include "composer/frmSettings.h"
#include "mail/clsSendMail.h"
#include "platform/OAuthPrijava.h"
#include "platform/SecretStore.h"
#include "support/DovecotPeer.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

namespace {
const QString kKorisnik = QStringLiteral("prodaja@velkor.hr");
const QString kServer = QStringLiteral("127.0.0.224");
const QString kAutorizacija = QStringLiteral("127.0.0.226");  // honest
const QString kPodmetac = QStringLiteral("127.0.0.227");      // redirects with another state
}  // namespace

class TstOAuth : public QObject {
  Q_OBJECT
  TestEnv env;
  PeerProcess autorizacija, podmetac;
  SubmissionPeer server{kServer, QStringLiteral("127.0.0.225"), kKorisnik, QStringLiteral("ne-koristi-se")};
  const QString kljuc = composer::kljucOAuth(kKorisnik, "drugi");
  std::unique_ptr<ScriptedDialogs> dlg;

  bool pokreni(PeerProcess& p, const QString& host, QStringList dodatno) {
    return p.start("/usr/bin/python3", QStringList{SmtpPeer::scriptPath("oauth_server.py"), "--host", host, "--client",
                                                   "velkor-test", "--user", kKorisnik, "--lifetime", "5", "--log",
                                                   env.path(host + ".log")} + dodatno,
                   PeerReadiness::onOutput("READY"));
  }
  template <class T = QWidget> static T* dio(QWidget* f, const char* ime) { return f->findChild<T*>(ime); }
  int dodjele(const QString& host, const QString& vrsta) {
    return QString::fromUtf8(readWholeFile(env.path(host + ".log"))).split('\n').count(vrsta);
  }
  // One message through the engine set up by the composer's account; "" when sent.
  QString posalji() {
    clsSendMail m;
    m.setSMTPHostValidation(3);
    m.setSMTPHost(kServer);
    m.setConnectRetry(1);
    QString razlog;
    if (!composer::primijeniRacun(m, true, &razlog)) return razlog;
    m.setFrom(kKorisnik);
    m.setRecipient("kupac@kupci.hr");
    m.setSubject("Ponuda");
    m.setMessage("Poštovani, u prilogu je ponuda.");
    QString zasto;
    connect(&m, &clsSendMail::SendFailed, this, [&](const QString& e) { zasto = e; });
    m.Send();
    return zasto;
  }

 private slots:
  void initTestCase() {
    QDir().mkpath(env.path("bin"));
    QVERIFY(QFile::link(SmtpPeer::scriptPath("browser.py"), env.path("bin/xdg-open")));
    qputenv("PATH", env.path("bin").toUtf8() + ":" + qgetenv("PATH"));
    qputenv("VELKOR_BROWSER_LOG", env.path("browser.log").toUtf8());
    qunsetenv("BROWSER"), qunsetenv("DEFAULT_BROWSER");
    QVERIFY2(pokreni(autorizacija, kAutorizacija, {}), qPrintable(autorizacija.errorString()));
    QVERIFY2(pokreni(podmetac, kPodmetac, {"--bad-state"}), qPrintable(podmetac.errorString()));
    server.enableOAuth("http://" + kAutorizacija + ":8080/introspect");
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("SSL_CERT_FILE", server.caFile().toUtf8());
  }

  // Through the browser and back to the loopback listener: the refresh token is stored, or
  // a redirect carrying another state is refused and nothing is.
  void signIn_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("greska");
    QTest::newRow("wrong state refused") << kPodmetac << "Odgovor preglednika ne pripada ovoj prijavi";
    QTest::newRow("signed in") << kAutorizacija << "";
  }
  void signIn() {
    QFETCH(QString, host);
    QFETCH(QString, greska);
    const qsizetype stranica = readWholeFile(env.path("browser.log")).count("Prijava je primljena.");
    dlg = std::make_unique<ScriptedDialogs>();
    frmSettings f(nullptr);
    dio<QLineEdit>(&f, "txtSMTPServer")->setText(kServer);
    dio<QCheckBox>(&f, "chkPrijava")->setChecked(true);
    dio<QLineEdit>(&f, "txtKorisnik")->setText(kKorisnik);
    auto* nacin = dio<QComboBox>(&f, "cboNacinPrijave");
    nacin->setCurrentIndex(nacin->findData("drugi"));
    emit nacin->activated(nacin->currentIndex());
    dio<QLineEdit>(&f, "txtOAuthAutorizacija")->setText("http://" + host + ":8080/authorize");
    dio<QLineEdit>(&f, "txtOAuthToken")->setText("http://" + host + ":8080/token");
    dio<QLineEdit>(&f, "txtOAuthOpseg")->setText("smtp offline_access");
    dio<QLineEdit>(&f, "txtOAuthKlijent")->setText("velkor-test");
    dio<QPushButton>(&f, "cmdPrijaviSe")->click();
    const bool ok = greska.isEmpty();
    QCOMPARE(dio<QLabel>(&f, "lblOAuthStanje")->text(),
             ok ? "Prijavljeni: " + kKorisnik + " (drugi pružatelj)" : QString("Niste prijavljeni."));
    QVERIFY2(ok ? dlg->calls.isEmpty() : dlg->last().text.startsWith("Prijava nije uspjela: " + greska),
             qPrintable(dlg->texts().join("|")));
    QCOMPARE(platform::prijavljen(kljuc), ok);
    QCOMPARE(dodjele(host, "code"), ok ? 1 : 0);  // no code is exchanged after a wrong state
    // The browser, started apart, gets the listener's page in its own time.
    QTRY_COMPARE(readWholeFile(env.path("browser.log")).count("Prijava je primljena."), stranica + 1);
    if (ok && qEnvironmentVariableIsSet("VELKOR_SCREENSHOT")) f.show(), f.grab().save(qEnvironmentVariable("VELKOR_SCREENSHOT"));
  }

  // Each run renews the 5 s access token with the stored refresh token and logs in with
  // OAUTHBEARER; a refresh token the server no longer knows stops the run, asking to sign
  // in again. No token lands anywhere but the secret store.
  void runs() {
    for (int i = 1; i <= 2; ++i) {
      const int prije = server.capture().messages().size();
      QCOMPARE(posalji(), QString());
      QVERIFY(server.capture().waitForMessages(prije + 1));
      QCOMPARE(dodjele(kAutorizacija, "refresh"), i);
    }
    QVERIFY2(server.log().contains("Login: user=<prodaja@velkor.hr>, method=OAUTHBEARER"), server.log().constData());
    const QByteArray osvjezavajuci = platform::readSecret(kljuc).secret.toUtf8();
    QVERIFY(!osvjezavajuci.isEmpty());
    QDirIterator it(env.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString put = it.next();
      QVERIFY2(put == platform::secretFile() || !readWholeFile(put).contains(osvjezavajuci), qPrintable(put));
    }
    QNetworkAccessManager nam;
    QNetworkReply* r = nam.post(QNetworkRequest(QUrl("http://" + kAutorizacija + ":8080/revoke-all")), QByteArray());
    QTRY_VERIFY(r->isFinished());
    const int prije = server.capture().messages().size();
    QCOMPARE(posalji(), platform::kPrijavaIstekla);
    QCOMPARE(dodjele(kAutorizacija, "refused refresh"), 1);
    QVERIFY(!platform::prijavljen(kljuc));
    QCOMPARE(server.capture().messages().size(), prije);
  }
};

QTEST_MAIN(TstOAuth)
#include "tst_oauth.moc"
