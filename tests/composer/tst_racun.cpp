// The composer's sending account against Dovecot's submission service: typed into
// "Postavke", its password in the session's Secret Service (gnome-keyring, when run under
// tests/peers/secret_service.sh) or, with no session bus, in the 0600 file; the test mail
// button and a record run logging in with it.
#include "ComposerRun.h"
#include "composer/RacunSlanja.h"
#include "composer/frmSettings.h"
#include "platform/SecretStore.h"
#include "support/DovecotPeer.h"

namespace {
const QString kKorisnik = QStringLiteral("prodaja@velkor.hr");
const QString kLozinka = QStringLiteral("Lozinka-čćžšđ-21");
const bool kKeyring = qEnvironmentVariableIsSet("VELKOR_TEST_KEYRING");
// Both modes may run at once: each has its own addresses.
const QString kServer = kKeyring ? QStringLiteral("127.0.0.210") : QStringLiteral("127.0.0.212");
const QString kRelej = kKeyring ? QStringLiteral("127.0.0.211") : QStringLiteral("127.0.0.213");

QByteArray dnevnik;  // every log line of the process, the protocol trace included
void bilježi(QtMsgType, const QMessageLogContext&, const QString& m) { dnevnik += m.toUtf8() + '\n'; }
}  // namespace

class TstRacun : public QObject {
  Q_OBJECT
  TestEnv env;
  std::unique_ptr<ScriptedDialogs> dlg;
  SubmissionPeer server{kServer, kRelej, kKorisnik, kLozinka};


  // Types the account into a fresh "Postavke" and applies it; then act on the window.
  void uPostavkama(const QString& host, int port, const QString& sigurnost, const QString& lozinka,
                   const std::function<void(frmSettings&)>& act = {}) {
    frmSettings f(nullptr);
    dio<QLineEdit>(&f, "txtSMTPServer")->setText(host);
    dio<QComboBox>(&f, "cboPort")->setCurrentText(QString::number(port));
    auto* s = dio<QComboBox>(&f, "cboSigurnost");
    s->setCurrentIndex(s->findText(sigurnost));
    dio<QCheckBox>(&f, "chkPrijava")->setChecked(true);
    dio<QLineEdit>(&f, "txtKorisnik")->setText(kKorisnik);
    dio<QLineEdit>(&f, "txtLozinka")->setText(lozinka);
    dio<QLineEdit>(&f, "txtName")->setText("Prodaja Velkor");
    dio<QLineEdit>(&f, "txtEmail")->setText(kKorisnik);
    if (act) return act(f);
    dio<QPushButton>(&f, "cmdApply")->click();
  }

 private slots:
  void initTestCase() {
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("SSL_CERT_FILE", server.caFile().toUtf8());
    QCOMPARE(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS") &&
                 !qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").contains("nonexistent"),
             kKeyring);
    QLoggingCategory::setFilterRules("velkor.smtp.debug=true");
    qInstallMessageHandler(bilježi);
  }
  void init() { dlg.reset(), dlg = std::make_unique<ScriptedDialogs>(); }

  // Typed through the window: the store holds all but the password, the keyring (or the
  // file, said once) the password, and the window never shows it again.
  void window_storesAccount() {
    uPostavkama(kServer, 587, "STARTTLS (obavezno)", "prva", [](frmSettings& f) {
      dio<QPushButton>(&f, "cmdApply")->click();
      dio<QLineEdit>(&f, "txtLozinka")->setText(kLozinka);  // changed in the same window
      dio<QPushButton>(&f, "cmdApply")->click();
    });
    QCOMPARE(composer::CitajPostavku("SMTPPORT"), QString("587%2"));
    QCOMPARE(composer::CitajPostavku("SMTPLOGIN"), "True%" + kKorisnik);
    const QString kljuc = kKorisnik + "@" + kServer;
    const QFileInfo datoteka(platform::secretFile());
    if (kKeyring) {
      QProcess st;
      st.start("secret-tool", {"lookup", "server", platform::kSecretService, "user", kljuc});
      QVERIFY(st.waitForFinished(20000));
      QCOMPARE(QString::fromUtf8(st.readAllStandardOutput()), kLozinka);
      QVERIFY(!datoteka.exists() && dlg->calls.isEmpty());
    } else {
      // Read and write for the owner, nothing for group and others (Qt's 0x7077 bits).
      QCOMPARE(datoteka.permissions() & QFileDevice::Permissions(0x7077), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
      QCOMPARE(dlg->calls.size(), 1);
      QVERIFY2(dlg->last().text.startsWith("Sustavski spremnik lozinki nije dostupan"), qPrintable(dlg->last().text));
    }
    QCOMPARE(platform::readSecret(kljuc).secret, kLozinka);
    frmSettings opet(nullptr);
    QCOMPARE(dio<QLineEdit>(&opet, "txtLozinka")->text(), QString());
    QVERIFY(!dio<QLineEdit>(&opet, "txtLozinka")->placeholderText().isEmpty());
    QCOMPARE(dio<QComboBox>(&opet, "cboSigurnost")->currentText(), QString("STARTTLS (obavezno)"));
    QVERIFY(dio<QLabel>(&opet, "lblUpozorenje")->isHidden());
    dio<QComboBox>(&opet, "cboSigurnost")->setCurrentText("Bez šifriranja");
    QVERIFY(!dio<QLabel>(&opet, "lblUpozorenje")->isHidden());
  }

  // The test mail button: the outcome with the server's reply, and the step that failed.
  void testMail_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("lozinka");  // typed; empty keeps the stored one
    QTest::addColumn<QString>("rezultat");
    QTest::newRow("sent") << kServer << 587 << "" << "Probna poruka je poslana na " + kKorisnik + ".\r\nPoslužitelj: 250 ";
    QTest::newRow("wrong password") << kServer << 587 << "kriva"
                                    << "Probna poruka nije poslana (prijava).\r\n535 5.7.8 Authentication failed.";
    QTest::newRow("no STARTTLS: no password sent") << kRelej << 25 << "tajna"
        << "Probna poruka nije poslana (TLS: poslužitelj ne nudi STARTTLS, lozinka nije poslana).";
  }
  void testMail() {
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, lozinka);
    QFETCH(QString, rezultat);
    const int prije = server.capture().messages().size();
    QString tekst;
    uPostavkama(host, port, "STARTTLS (obavezno)", lozinka, [&](frmSettings& f) {
      dio<QPushButton>(&f, "cmdProbnaPoruka")->click();
      tekst = dio<QLabel>(&f, "lblProbnaRezultat")->text();
      if (qEnvironmentVariableIsSet("VELKOR_SCREENSHOT") && lozinka.isEmpty()) {
        f.show(), dio<QLineEdit>(&f, "txtLozinka")->setText("upisana");
        f.grab().save(qEnvironmentVariable("VELKOR_SCREENSHOT"));
      }
    });
    QVERIFY2(tekst.startsWith(rezultat), qPrintable(tekst));
    const bool poslano = rezultat.startsWith("Probna poruka je");
    QVERIFY(!poslano || server.capture().waitForMessages(prije + 1));
    QCOMPARE(server.capture().messages().size(), prije + poslano);
  }

  // A record run of five customers logs in with the stored account; a wrong password stops
  // it before the first record with the server's text; a password that cannot be read stops
  // it before any connection.
  void recordRun_data() {
    QTest::addColumn<QString>("korisnik");
    QTest::addColumn<QString>("lozinka");  // stored through the window
    QTest::addColumn<QString>("okvir");    // how the last box starts
    QTest::newRow("logged in, five sent") << kKorisnik << kLozinka << "Uspješno poslano 5 e-mail poruka!";
    QTest::newRow("wrong password") << kKorisnik << "kriva"
                                    << "Nije uspio pokušaj slanja e-mail-a zbog slijedećih razloga: \r\n535 5.7.8";
    QTest::newRow("no password stored") << "drugi@velkor.hr" << ""
        << "Nije uspio pokušaj slanja e-mail-a zbog slijedećih razloga: \r\nLozinka za drugi@velkor.hr@" + kServer +
               (kKeyring ? " nije spremljena." : " nije pročitana (sustavski spremnik lozinki: ");
  }
  void recordRun() {
    QFETCH(QString, korisnik);
    QFETCH(QString, lozinka);
    QFETCH(QString, okvir);
    uPostavkama(kServer, 587, "STARTTLS (obavezno)", lozinka, [&](frmSettings& f) {
      dio<QLineEdit>(&f, "txtKorisnik")->setText(korisnik);
      dio<QPushButton>(&f, "cmdApply")->click();
    });
    dlg->calls.clear();
    const int prije = server.capture().messages().size();
    const qsizetype prijava = server.log().count("Login: user=<prodaja@velkor.hr>");
    const QStringList adrese{"a@kupci.hr", "b@kupci.hr", "c@kupci.hr", "d@kupci.hr", "e@kupci.hr"};
    platform::RecordSet rs = kupci(adrese);
    QStringList poslano{"?"};
    uKomposeru(&rs, "Ponuda", [&](frmMain* f) {
      dio<QCheckBox>(f, "chkBrišiPoslane")->setChecked(true);
      dio<QPushButton>(f, "cmdPošaljiPrekoRS")->click();
      poslano = stavke(dio<QListWidget>(f, "lstPoslano"));
    });
    QVERIFY2(!dlg->calls.isEmpty() && dlg->last().text.startsWith(okvir), qPrintable(dlg->texts().join("|")));
    const bool uspjeh = okvir.startsWith("Uspješno");
    QVERIFY(!uspjeh || server.capture().waitForMessages(prije + 5));
    QCOMPARE(server.capture().messages().size(), prije + (uspjeh ? 5 : 0));
    QCOMPARE(poslano.size(), uspjeh ? 5 : 0);
    QCOMPARE(adreseZapisa(rs), uspjeh ? QStringList() : adrese);
    QCOMPARE(server.log().count("Login: user=<prodaja@velkor.hr>") > prijava, uspjeh);
  }

  // No INI file, send log or trace line holds the password, in clear or as AUTH sent it.
  void passwordNowhere() {
    QVERIFY(dnevnik.contains("C: AUTH"));  // the trace was on
    const QByteArray u = kLozinka.toUtf8();
    const QList<QByteArray> oblici{u, u.toBase64(), ('\0' + kKorisnik.toUtf8() + '\0' + u).toBase64()};
    QDirIterator it(env.path(), QDir::Files, QDirIterator::Subdirectories);
    int datoteka = 0;
    while (it.hasNext()) {
      const QString put = it.next();
      if (put == platform::secretFile()) continue;
      ++datoteka;
      for (const QByteArray& o : oblici) QVERIFY2(!readWholeFile(put).contains(o), qPrintable(put));
    }
    QVERIFY(datoteka > 0);
    for (const QByteArray& o : oblici) QVERIFY(!dnevnik.contains(o));
  }
};

QTEST_MAIN(TstRacun)
#include "tst_racun.moc"
