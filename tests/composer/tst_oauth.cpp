// OAuth 2.0 sign-in: a loopback authorization server on oauthlib (tests/peers/oauth_server.py,
// 5 s access tokens), the stand-in browser first on PATH, and Dovecot's submission service
// checking each token at that server's introspection, once offering OAUTHBEARER and XOAUTH2
// and once XOAUTH2 alone. The composer's account signs in through "Postavke"; the later runs
// use it.
#include "ComposerRun.h"
#include "composer/RacunSlanja.h"
#include "composer/frmSettings.h"
#include "core/SettingsStore.h"
#include "mail/clsSendMail.h"
#include "platform/OAuthPrijava.h"
#include "platform/SecretStore.h"
#include "sender/SmtpMailer.h"
#include "sender/SmtpMessage.h"
#include "sender/frmSMTPPostavke.h"
#include "sender/modSMTPEMail.h"
#include "support/DovecotPeer.h"
namespace {
const QString kKorisnik = QStringLiteral("prodaja@velkor.hr");
const QString kServer = QStringLiteral("127.0.0.224");      // OAUTHBEARER and XOAUTH2
const QString kSamoXOAuth2 = QStringLiteral("127.0.0.227");  // XOAUTH2 alone
const QString kAutorizacija = QStringLiteral("127.0.0.226");
const QString kAS = "http://" + kAutorizacija + ":8080/";

// Every log line the process writes while a token is about.
QStringList& zapisnik() {
  static QStringList l;
  return l;
}

// The token as it is, or inside a base64 word (a SASL message).
bool sadrzi(const QString& tekst, const QString& token) {
  if (tekst.contains(token)) return true;
  for (const QString& w : tekst.split(QRegularExpression("[\\s:=]+"), Qt::SkipEmptyParts))
    if (QByteArray::fromBase64(w.toLatin1()).contains(token.toUtf8())) return true;
  return false;
}
}  // namespace

class TstOAuth : public QObject {
  Q_OBJECT
  TestEnv env;
  PeerProcess autorizacija;
  SubmissionPeer server{kServer, QStringLiteral("127.0.0.225"), kKorisnik, QStringLiteral("ne-koristi-se")};
  SubmissionPeer samoXOAuth2{kSamoXOAuth2, QStringLiteral("127.0.0.228"), kKorisnik, QStringLiteral("ne-koristi-se")};
  const QString kljuc = composer::kljucOAuth(kKorisnik, "drugi");
  std::unique_ptr<ScriptedDialogs> dlg;
  QStringList pristupni;  // the access tokens the runs signed in with

  int dodjele(const QString& vrsta) {
    return QString::fromUtf8(readWholeFile(env.path("as.log"))).split('\n').count(vrsta);
  }
  bool posalji(const QString& put, const QByteArray& tijelo = {}) {
    QNetworkAccessManager nam;
    QNetworkRequest z(QUrl(kAS + put));
    z.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    QNetworkReply* r = nam.post(z, tijelo);
    QSignalSpy gotovo(r, &QNetworkReply::finished);
    return gotovo.wait(5000) && r->error() == QNetworkReply::NoError;
  }
  // One message through the engine; why it failed, "" when sent.
  QString posaljiMotorom(mail::clsSendMail& m) {
    m.setFrom(kKorisnik);
    m.setRecipient("kupac@kupci.hr");
    m.setSubject("Ponuda");
    m.setMessage("Poštovani, u prilogu je ponuda.");
    QString zasto;
    connect(&m, &mail::clsSendMail::SendFailed, this, [&](const QString& e) { zasto = e; });
    m.Send();
    zapisnik() << m.lastExchange();
    return zasto;
  }
  // The same through the engine set up by the composer's account, as a run does.
  QString saljiRacunom() {
    mail::clsSendMail m;
    m.setSMTPHostValidation(3);
    m.setSMTPHost(kServer);
    m.setConnectRetry(1);
    QString razlog;
    if (!composer::primijeniRacun(m, true, &razlog)) return razlog;
    pristupni << m.OAuthToken();
    return posaljiMotorom(m);
  }

 private slots:
  void initTestCase() {
    QDir().mkpath(env.path("bin"));
    QVERIFY(QFile::link(SmtpPeer::scriptPath("browser.py"), env.path("bin/xdg-open")));
    qputenv("PATH", env.path("bin").toUtf8() + ":" + qgetenv("PATH"));
    qputenv("VELKOR_BROWSER_LOG", env.path("browser.log").toUtf8());
    qunsetenv("BROWSER"), qunsetenv("DEFAULT_BROWSER");
    QVERIFY2(autorizacija.start("/usr/bin/python3",
                                {SmtpPeer::scriptPath("oauth_server.py"), "--host", kAutorizacija, "--client", "velkor-test",
                                 "--user", kKorisnik, "--lifetime", "5", "--log", env.path("as.log"), "--token",
                                 "pristupni-token", "--token", "opozvani-token"},
                                PeerReadiness::onOutput("READY")),
             qPrintable(autorizacija.errorString()));
    QVERIFY(posalji("revoke", "client_id=velkor-test&token=opozvani-token"));  // RFC 7009
    server.enableOAuth(kAS + "introspect");
    samoXOAuth2.enableOAuth(kAS + "introspect", "xoauth2");
    QVERIFY2(server.start(), qPrintable(server.error()));
    QVERIFY2(samoXOAuth2.start(), qPrintable(samoXOAuth2.error()));
    // Both test CAs in one file, for the engine and for libcurl.
    const QString cas = env.writeFile("ca.pem", readWholeFile(server.caFile()) + readWholeFile(samoXOAuth2.caFile()));
    qputenv("SSL_CERT_FILE", cas.toUtf8());
    QLoggingCategory::setFilterRules("velkor.*=true\nqt.networkauth*=true\nqt.network.*=true");
    static const QtMessageHandler dalje = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType vrsta, const QMessageLogContext& c, const QString& m) {
      zapisnik() << m;
      if (vrsta != QtDebugMsg && dalje) dalje(vrsta, c, m);
    });
  }

  // A token, through the engine and through libcurl (the send form's direct route), at a
  // server offering both mechanisms (OAUTHBEARER is taken) and one offering XOAUTH2 alone.
  // A token the authorization server revoked gets the error challenge; the client answers
  // it ("\x01" for OAUTHBEARER, an empty line for XOAUTH2) and reports the decoded status.
  void sasl_data() {
    QTest::addColumn<bool>("curl");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("mehanizam");
    for (const bool curl : {false, true})
      for (const auto& [host, meh] : {std::pair{kServer, "OAUTHBEARER"}, std::pair{kSamoXOAuth2, "XOAUTH2"}})
        for (const QString token : {"pristupni-token", "opozvani-token"})
          QTest::addRow("%s %s %s", curl ? "libcurl" : "engine", meh, qPrintable(token))
              << curl << host << token << QString(meh);
  }
  void sasl() {
    QFETCH(bool, curl);
    QFETCH(QString, host);
    QFETCH(QString, token);
    QFETCH(QString, mehanizam);
    SubmissionPeer& s = host == kServer ? server : samoXOAuth2;
    const int prije = s.capture().messages().size();
    const QByteArray prijava = "Login: user=<" + kKorisnik.toUtf8() + ">, method=" + mehanizam.toUtf8();
    const qsizetype prijavaPrije = s.log().count(prijava);  // the log holds the earlier rows' logins too
    const bool vrijedi = token == "pristupni-token";
    QString greska;
    if (curl) {
      sender::SmtpMailer mailer;
      mailer.setSmtpHost(host);
      mailer.setSmtpPort(587);
      mailer.setStartTls(true);
      mailer.setTimeoutSeconds(10);
      mailer.setUsername(kKorisnik);
      mailer.setOAuthBearer(token);
      sender::SmtpMessage poruka;
      poruka.setFrom(kKorisnik);
      poruka.addTo({}, "kupac@kupci.hr");
      poruka.setSubject("Ponuda");
      poruka.setBody("Poštovani, u prilogu je ponuda.");
      QCOMPARE(mailer.sendEmail(poruka), vrijedi ? 1 : 0);
      greska = mailer.lastErrorText();
    } else {
      mail::clsSendMail m;
      m.setSMTPHostValidation(0);
      m.setSMTPHost(host);
      m.setSmtpPort(587);
      m.setSecureConnection(2);
      m.setConnectTimeout(10);
      m.setUseAuthentication(true);
      m.setUserName(kKorisnik);
      m.setOAuthToken(token);
      greska = posaljiMotorom(m);
      const QStringList trag = m.lastExchange();
      QVERIFY2(trag.contains("C: AUTH " + mehanizam + " ***"), qPrintable(trag.join('\n')));
      if (!vrijedi) {
        const qsizetype izazov = trag.indexOf(QRegularExpression("S: 334 .*"));
        QVERIFY2(izazov > 0 && izazov + 2 < trag.size(), qPrintable(trag.join('\n')));
        QCOMPARE(trag[izazov + 1], mehanizam == "OAUTHBEARER" ? "C: AQ==" : "C: ");
        QVERIFY2(trag[izazov + 2].startsWith("S: 535 "), qPrintable(trag.join('\n')));
      }
    }
    if (vrijedi) {
      QCOMPARE(greska, QString());
      QVERIFY(s.capture().waitForMessages(prije + 1));
      QVERIFY2(s.log().count(prijava) > prijavaPrije, s.log().constData());
    } else {
      // Dovecot's status of a refused token, decoded from the challenge (libcurl does not
      // answer XOAUTH2's, so its last reply may be the challenge itself).
      QVERIFY2(greska.contains("\"status\":\"") && (curl || greska.contains("535 ")), qPrintable(greska));
      QTest::qWait(200);
      QCOMPARE(s.capture().messages().size(), prije);
    }
    QVERIFY2(!sadrzi(greska, token), qPrintable(greska));
  }

  // Through the browser and back to the loopback listener: the refresh token is stored. A
  // redirect carrying another state is refused; one sent to another port never reaches the
  // listener, and the user stops waiting with "Odustani". Neither exchanges a code.
  void signIn_data() {
    QTest::addColumn<QString>("put");
    QTest::addColumn<QString>("greska");     // of the box; empty: none
    QTest::addColumn<QString>("preglednik");  // what the browser shows at the end
    QTest::newRow("wrong state refused") << "authorize-bad-state" << "Odgovor preglednika ne pripada ovoj prijavi"
                                         << "Prijava je primljena.";
    QTest::newRow("another port, cancelled") << "authorize-wrong-port" << "" << "Connection refused";
    QTest::newRow("signed in") << "authorize" << "" << "Prijava je primljena.";
  }
  void signIn() {
    QFETCH(QString, put);
    QFETCH(QString, greska);
    QFETCH(QString, preglednik);
    const qsizetype stranica = readWholeFile(env.path("browser.log")).count(preglednik.toUtf8());
    dlg = std::make_unique<ScriptedDialogs>();
    frmSettings f(nullptr);
    dio<QLineEdit>(&f, "txtSMTPServer")->setText(kServer);
    dio<QCheckBox>(&f, "chkPrijava")->setChecked(true);
    dio<QLineEdit>(&f, "txtKorisnik")->setText(kKorisnik);
    auto* nacin = dio<QComboBox>(&f, "cboNacinPrijave");
    nacin->setCurrentIndex(nacin->findData("drugi"));
    emit nacin->activated(nacin->currentIndex());
    dio<QLineEdit>(&f, "txtOAuthAutorizacija")->setText(kAS + put);
    dio<QLineEdit>(&f, "txtOAuthToken")->setText(kAS + "token");
    dio<QLineEdit>(&f, "txtOAuthOpseg")->setText("smtp offline_access");
    dio<QLineEdit>(&f, "txtOAuthKlijent")->setText("velkor-test");
    const bool ok = put == "authorize", odustaje = put == "authorize-wrong-port";
    // The wait box is up while the browser is out; once the browser is done, "Odustani".
    QTimer odustani;
    bool vidjen = false;
    connect(&odustani, &QTimer::timeout, &f, [&] {
      auto* cekanje = f.findChild<QProgressDialog*>("dlgCekanjePrijave");
      if (!cekanje || !cekanje->isVisible()) return;
      if (odustaje && !vidjen && qEnvironmentVariableIsSet("VELKOR_SCREENSHOT"))
        cekanje->grab().save(qEnvironmentVariable("VELKOR_SCREENSHOT") + "-cekanje.png");
      vidjen = true;
      if (odustaje && readWholeFile(env.path("browser.log")).count(preglednik.toUtf8()) > stranica)
        odustani.stop(), cekanje->findChild<QPushButton*>()->click();
    });
    odustani.start(20);
    dio<QPushButton>(&f, "cmdPrijaviSe")->click();
    QVERIFY(vidjen || !odustaje);
    QVERIFY(!f.findChild<QProgressDialog*>("dlgCekanjePrijave"));
    QCOMPARE(dio<QLabel>(&f, "lblOAuthStanje")->text(),
             ok ? "Prijavljeni: " + kKorisnik + " (drugi pružatelj)" : QString("Niste prijavljeni."));
    QVERIFY2(greska.isEmpty() ? dlg->calls.isEmpty() : dlg->last().text.startsWith("Prijava nije uspjela: " + greska),
             qPrintable(dlg->texts().join("|")));
    QCOMPARE(platform::prijavljen(kljuc), ok);
    QCOMPARE(dodjele("code"), ok ? 1 : 0);
    QTRY_COMPARE(readWholeFile(env.path("browser.log")).count(preglednik.toUtf8()), stranica + 1);
    if (ok && qEnvironmentVariableIsSet("VELKOR_SCREENSHOT")) f.show(), f.grab().save(qEnvironmentVariable("VELKOR_SCREENSHOT"));
  }

  // Three runs over more than 15 s with 5 s access tokens: the first takes the one the
  // sign-in brought, the other two renew it with the stored refresh token, nobody is asked.
  // A refresh token the server no longer knows then stops the run before it connects,
  // asking to sign in again. No token lands in a file (but the secret store's), a log line
  // or the trace.
  void runs() {
    QStringList osvjezavajuci;
    QElapsedTimer sat;
    sat.start();
    for (int i = 0; i < 3; ++i) {
      QTRY_VERIFY_WITH_TIMEOUT(sat.elapsed() >= i * 7600, 20000);
      const int prije = server.capture().messages().size();
      QCOMPARE(saljiRacunom(), QString());
      QVERIFY(server.capture().waitForMessages(prije + 1));
      QCOMPARE(dodjele("refresh"), i);
      osvjezavajuci << platform::readSecret(kljuc).secret;
    }
    QVERIFY(sat.elapsed() > 15000);
    QCOMPARE(dodjele("code"), 1);
    QVERIFY(dlg->calls.isEmpty());
    QCOMPARE(QSet<QString>(pristupni.cbegin(), pristupni.cend()).size(), 3);
    QVERIFY2(server.log().count("method=OAUTHBEARER") >= 3, server.log().constData());
    QVERIFY(posalji("revoke-all"));
    QTest::qWait(3000);  // the last token in its second half: the next run renews it
    const int prije = server.capture().messages().size();
    QCOMPARE(saljiRacunom(), platform::kPrijavaIstekla);
    QCOMPARE(dodjele("refused refresh"), 1);
    QVERIFY(!platform::prijavljen(kljuc));
    QTest::qWait(200);
    QCOMPARE(server.capture().messages().size(), prije);

    const QStringList tokeni = pristupni + osvjezavajuci;
    QCOMPARE(tokeni.filter(QRegularExpression("^.{20,}$")).size(), 6);
    QDirIterator it(env.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString put = it.next();
      if (put == platform::secretFile()) continue;
      for (const QString& t : tokeni) QVERIFY2(!sadrzi(QString::fromUtf8(readWholeFile(put)), t), qPrintable(put));
    }
    QVERIFY(zapisnik().size() > 20);  // the trace was on
    for (const QString& t : tokeni)
      for (const QString& l : zapisnik()) QVERIFY2(!sadrzi(l, t), qPrintable(l));
  }

  // The send form's route takes the client ID (and the other provider's addresses) from the
  // administrator's machine-wide file unless Velkor.ini has its own; saving the form keeps
  // the administrator's in their file.
  void routeClientId_data() {
    QTest::addColumn<QString>("vlastiti");  // Velkor.ini's SMTPOAuthKlijent
    QTest::newRow("administrator's") << "";
    QTest::newRow("the user's own") << "korisnikov-id";
  }
  void routeClientId() {
    QFETCH(QString, vlastiti);
    dlg = std::make_unique<ScriptedDialogs>();
    qputenv("VELKOR_MACHINE_REGISTRY",
            env.writeFile("registry.ini", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\system]\n"
                                          "OAUTHGOOGLE=id-ureda%tajna ureda\n").toUtf8());
    for (const auto& [k, v] : {std::pair{"SMTPFrom", kKorisnik}, std::pair{"SMTPHostName", kServer},
                               std::pair{"SMTPUserName", kKorisnik}, std::pair{"SMTPOAuth", QString("google")},
                               std::pair{"SMTPOAuthKlijent", vlastiti}})
      core::SaveVelkorSetting(k, v);
    sender::UcitajSMTPPostavke();
    const platform::OAuthPruzatelj p = sender::SMTPPruzatelj(sender::g_SMTPPostavke);
    QCOMPARE(p.klijent + "|" + p.tajna, vlastiti.isEmpty() ? "id-ureda|tajna ureda" : vlastiti + "|");
    QCOMPARE(p.autorizacija, platform::pruzateljGoogle().autorizacija);
    {
      sender::frmSMTPPostavke f;
      QCOMPARE(dio<QLineEdit>(&f, "txtOAuthKlijent")->text(), p.klijent);
      dio<QPushButton>(&f, "cmdSpremi")->click();
    }
    QCOMPARE(core::VelkorSetting("SMTPOAuthKlijent"), vlastiti);
    qunsetenv("VELKOR_MACHINE_REGISTRY");
  }
};

QTEST_MAIN(TstOAuth)
#include "tst_oauth.moc"
