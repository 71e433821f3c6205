// Copies of what a run sent in the Sent folder: record runs and a single message through
// Dovecot's submission service, the copies appended to Dovecot IMAP and read back from its
// maildir, compared with what the capture server got and parsed strictly.
#include "ComposerRun.h"
#include "composer/RacunSlanja.h"
#include "composer/frmSettings.h"
#include "dns/modMXQuery.h"
#include "mail/ImapAppend.h"
#include "mail/clsSendMail.h"
#include "platform/SecretStore.h"
#include "support/DovecotPeer.h"

namespace {
const QString kKorisnik = QStringLiteral("prodaja@velkor.hr");
const QString kLozinka = QStringLiteral("Lozinka-čćžšđ-25");
const QString kSmtp = QStringLiteral("127.0.0.240"), kRelej = QStringLiteral("127.0.0.241");
const QString kImap = QStringLiteral("127.0.0.242");
const QString kBezStartTls = QStringLiteral("127.0.0.243"), kBezLiteralPlus = QStringLiteral("127.0.0.244");
const QString kNijemi = QStringLiteral("127.0.0.246");  // takes the connection, never says a word
const QString kAutorizacija = QStringLiteral("127.0.0.247");  // checks the OAuth tokens for Dovecot
const QString kDns = QStringLiteral("127.0.0.245");  // kupci.hr's exchanger: the capture at kRelej
const QString kTls = QStringLiteral("SSL/TLS od prvog bajta"), kStartTls = QStringLiteral("STARTTLS (obavezno)");
}  // namespace

class TstPoslano : public QObject {
  Q_OBJECT
  TestEnv env;
  std::unique_ptr<ScriptedDialogs> dlg;
  SubmissionPeer smtp{kSmtp, kRelej, kKorisnik, kLozinka};
  ImapPeer imap{kImap, kBezStartTls, kBezLiteralPlus, kKorisnik, kLozinka};
  SmtpPeer nijemi{{.host = kNijemi, .port = 143, .mode = "silent"}};
  PeerProcess dnsmasq, autorizacija;

  QSet<QString> uMapi(const QString& mapa) const {
    QSet<QString> imena;
    for (const ImapPeer::Stored& s : imap.sent(kKorisnik, mapa)) imena << s.name;
    return imena;
  }

 private slots:
  void initTestCase() {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");  // passwords in the 0600 file
    QVERIFY2(smtp.start(), qPrintable(smtp.error()));
    QVERIFY2(autorizacija.start("/usr/bin/python3", {SmtpPeer::scriptPath("oauth_server.py"), "--host", kAutorizacija,
                                                    "--client", "velkor-test", "--user", kKorisnik, "--token", "imap-token"},
                                PeerReadiness::onOutput("READY")),
             qPrintable(autorizacija.errorString()));
    imap.enableOAuth("http://" + kAutorizacija + ":8080/introspect");
    QVERIFY2(imap.start(), qPrintable(imap.error()));
    QVERIFY2(nijemi.start(), qPrintable(nijemi.error()));
    qputenv("SSL_CERT_FILE", env.writeFile("ca.pem", readWholeFile(smtp.caFile()) + readWholeFile(imap.caFile())).toUtf8());
    QVERIFY(composer::SpremiSMTPIP(kSmtp, 2) && composer::SpremiRacun({587, 2, true, kKorisnik, {}}));
    QVERIFY(platform::writeSecret(composer::kljucLozinke(kKorisnik, kSmtp), kLozinka));
    const QStringList args{"--no-daemon", "--conf-file=/dev/null", "--no-resolv", "--no-hosts", "--listen-address=" + kDns,
                           "--bind-interfaces", "--port", "53", "--mx-host=kupci.hr," + kRelej + ",10"};
    QVERIFY2(dnsmasq.start("dnsmasq", args, PeerReadiness::onOutput("started")), qPrintable(dnsmasq.errorString()));
    env.writeFile("resolv.conf", "nameserver " + kDns.toUtf8() + '\n');
    modMXQuery::resetConfig();
  }
  void init() { dlg.reset(), dlg = std::make_unique<ScriptedDialogs>(); }

  void copies_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("sigurnost");
    QTest::addColumn<QString>("lozinka");  // of a login of its own; empty: the sending account's
    QTest::addColumn<bool>("jedna");       // "Samo jedna kopija po slanju"
    QTest::addColumn<int>("zapisa");       // customers of a record run; 0: one message to two addresses
    QTest::addColumn<int>("kopija");
    QTest::addColumn<QString>("okvir");    // the closing box about the copies
    QTest::addColumn<bool>("izravno");     // no SMTP server: straight to kupci.hr's exchanger
    QTest::addColumn<QString>("mapa");     // typed in Postavke; empty: the one marked \Sent
    QTest::newRow("993, a copy per customer") << kImap << 993 << kTls << "" << false << 4 << 4 << "" << false << "";
    QTest::newRow("143 without LITERAL+, own login, one summary") << kBezLiteralPlus << 143 << kStartTls << kLozinka
                                                                  << true << 3 << 1 << "" << false << "";
    QTest::newRow("single message, 143") << kImap << 143 << kStartTls << "" << true << 0 << 1 << "" << false << "";
    QTest::newRow("direct delivery, own login") << kImap << 993 << kTls << kLozinka << false << 2 << 2 << "" << true << "";
    // Typed by the user, not there yet: made, its name in IMAP's modified UTF-7.
    QTest::newRow("named folder") << kImap << 993 << kTls << "" << false << 2 << 2 << "" << false << "Ponude čć";
    QTest::newRow("wrong password") << kImap << 993 << kTls << "kriva" << false << 3 << 0
        << "Kopije u mapi Poslano nisu spremljene: NO [AUTHENTICATIONFAILED] Authentication failed." << false << "";
    QTest::newRow("143 without STARTTLS: no password sent") << kBezStartTls << 143 << kStartTls << "" << false << 2 << 0
        << "Kopije u mapi Poslano nisu spremljene: poslužitelj ne nudi STARTTLS, lozinka nije poslana." << false << "";
    QTest::newRow("silent server: the engine's time-out") << kNijemi << 143 << kStartTls << "" << false << 1 << 0
        << "Kopije u mapi Poslano nisu spremljene: IMAP poslužitelj ne odgovara (3 s)." << false << "";
  }
  void copies() {
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, sigurnost);
    QFETCH(QString, lozinka);
    QFETCH(bool, jedna);
    QFETCH(int, zapisa);
    QFETCH(int, kopija);
    QFETCH(QString, okvir);
    QFETCH(bool, izravno);
    QFETCH(QString, mapa);
    const QString maildir = mapa.isEmpty() ? ".Sent" : ".Ponude &AQ0BBw-";
    QVERIFY(izravno ? composer::SpremiSMTPIP("FIND", 1) : composer::SpremiSMTPIP(kSmtp, 2));
    {
      frmSettings f(nullptr);
      child<QGroupBox>(f, "grpPoslano")->setChecked(true);
      child<QLineEdit>(f, "txtImapServer")->setText(host);
      child<QComboBox>(f, "cboImapPort")->setCurrentText(QString::number(port));
      auto* s = child<QComboBox>(f, "cboImapSigurnost");
      s->setCurrentIndex(s->findText(sigurnost));
      child<QCheckBox>(f, "chkImapIstaPrijava")->setChecked(lozinka.isEmpty());
      child<QLineEdit>(f, "txtImapKorisnik")->setText(kKorisnik);
      child<QLineEdit>(f, "txtImapLozinka")->setText(lozinka);
      child<QCheckBox>(f, "chkImapJednaKopija")->setChecked(jedna);
      child<QLineEdit>(f, "txtImapMapa")->setText(mapa);
      child<QTabWidget>(f, "SSTab1")->setCurrentIndex(2);
      f.show();
      screenshot(&f, "postavke_poslano");
      click(f, "cmdPrimjeniPoslano");
    }
    const int prije = int(smtp.capture().messages().size());
    // Dovecot's log holds every row: only this row's connections count.
    const qsizetype bezPrijave = imap.log().count("no auth attempts");
    const QSet<QString> bilo = uMapi(maildir);
    QStringList adrese;
    for (int i = 1; i <= zapisa; ++i) adrese << QString("k%1@kupci.hr").arg(i);
    platform::RecordSet rs = kupci(adrese);
    QString izvjestaj;
    uKomposeru(zapisa ? &rs : nullptr, "Ponuda čćž", [&](frmMain* m) {
      if (host == kNijemi) m->SendMail()->setMessageTimeout(3);
      if (zapisa) {
        click(m, "cmdPošaljiPrekoRS");
      } else {
        child<QLineEdit>(m, "txtTo")->setText("jedan@kupci.hr; drugi@kupci.hr");
        click(m, "cmdSend");
      }
      QTimer::singleShot(0, [&] {
        QWidget* w = QApplication::activeModalWidget();
        izvjestaj = child<QPlainTextEdit>(w, "txtPoruka")->toPlainText();
        click(w, "OKButton");
      });
      m->findChild<QAction*>("mnuPrikažiIzvještaj")->trigger();
    });
    // Every message went, whatever became of the copies.
    const int poslano = zapisa ? zapisa : 1;
    QVERIFY2(smtp.capture().waitForMessages(prije + poslano), qPrintable(dlg->texts().join('|')));
    const QList<SmtpPeer::Message> primljene = smtp.capture().messages().mid(prije);
    QCOMPARE(primljene.size(), poslano);
    const QStringList okviri = dlg->texts();
    QVERIFY2(okviri.contains(zapisa ? QString("Uspješno poslano %1 e-mail poruka!").arg(zapisa)
                                    : QString("Vaš e-mail je uspješno poslan!")), qPrintable(okviri.join('|')));
    QVERIFY2(okviri.last().startsWith("Kopije") != okvir.isEmpty(), qPrintable(okviri.join('|')));
    if (!okvir.isEmpty()) QCOMPARE(okviri.last(), okvir);
    if (host == kBezStartTls) QTRY_VERIFY(imap.log().count("no auth attempts") > bezPrijave);
    // The run's log has a line on the copies either way.
    const QString spremljeno = QString("Spremljeno %1 od %2").arg(kopija).arg(jedna && zapisa ? 1 : poslano);
    QVERIFY2(izvjestaj.contains("Kopije u mapi Poslano") && izvjestaj.contains(spremljeno), qPrintable(izvjestaj));
    if (kopija) QVERIFY2(izvjestaj.contains(host + '/' + (mapa.isEmpty() ? "Sent" : mapa)), qPrintable(izvjestaj));
    // A refused login is shown with the exchange, the password in no form.
    if (lozinka == "kriva") {
      QVERIFY2(izvjestaj.contains("C: A1 AUTHENTICATE PLAIN ***"), qPrintable(izvjestaj));
      const QByteArray plain = QByteArray(1, '\0') + kKorisnik.toUtf8() + QByteArray(1, '\0') + "kriva";
      QVERIFY(!izvjestaj.contains("kriva") && !izvjestaj.contains(plain.toBase64()));
    }

    QList<ImapPeer::Stored> kopije;
    for (const ImapPeer::Stored& s : imap.sent(kKorisnik, maildir))
      if (!bilo.contains(s.name)) kopije << s;
    QCOMPARE(kopije.size(), kopija);
    QStringList uPoslanom, kodKupaca;
    for (const ImapPeer::Stored& s : std::as_const(kopije)) {
      QVERIFY2(s.flags.contains('S'), qPrintable(s.name));
      const QJsonObject c = cleanMessage(env.writeFile("kopija.eml", s.text));
      uPoslanom << c.value("subject").toString() + ' ' + c.value("message_id").toString();
      if (jedna && zapisa) {
        QCOMPARE(c.value("subject").toString(), QString("Poslano: Ponuda čćž"));
        for (const QString& a : std::as_const(adrese)) QVERIFY2(c.value("text").toString().contains(a), qPrintable(a));
        continue;
      }
      // The copy is the message the customer got, byte for byte (a relay only adds its header).
      QVERIFY(std::any_of(primljene.begin(), primljene.end(), [&](const SmtpPeer::Message& m) { return m.raw.endsWith(s.text); }));
    }
    if (jedna && zapisa) return;
    for (const SmtpPeer::Message& m : primljene) {
      const QJsonObject c = checkMessage(m.emlPath);
      kodKupaca << c.value("subject").toString() + ' ' + c.value("message_id").toString();
    }
    uPoslanom.sort(), kodKupaca.sort();
    if (kopija) QCOMPARE(uPoslanom, kodKupaca);
  }

  // The IMAP session itself: OAuth 2.0 with a token the authorization server issued opens it
  // and the copy goes; one it does not know gets the error challenge, which the client
  // answers, and the failure carries the server's status. A certificate that no trusted CA
  // issued ends the session before anything is said.
  void session_data() {
    // Dovecot holds a refused login against the next one from the address: refusals come last.
    QTest::addColumn<QString>("token");  // empty: a password, and only the SMTP server's CA trusted
    QTest::newRow("issued token") << "imap-token";
    QTest::newRow("unknown token") << "nepoznat-token";
    QTest::newRow("untrusted certificate") << "";
  }
  void session() {
    QFETCH(QString, token);
    const int prije = int(imap.sent(kKorisnik).size());
    const QByteArray sviCA = qgetenv("SSL_CERT_FILE");
    if (token.isEmpty()) qputenv("SSL_CERT_FILE", smtp.caFile().toUtf8());
    mail::ImapAppend s;
    mail::ImapParams p;
    p.host = kImap;
    p.user = kKorisnik;
    p.bearerToken = token;
    p.password = token.isEmpty() ? kLozinka : QString();
    const bool otvoren = s.open(p);
    qputenv("SSL_CERT_FILE", sviCA);
    QCOMPARE(otvoren, token == "imap-token");
    if (token.isEmpty())
      QVERIFY2(s.error().startsWith("TLS certifikat poslužitelja nije prihvaćen: "), qPrintable(s.error()));
    else
      QVERIFY2(s.lastExchange().contains("C: A1 AUTHENTICATE OAUTHBEARER ***"), qPrintable(s.lastExchange().join('\n')));
    if (otvoren) {
      QVERIFY(s.append("Subject: OAuth\r\n\r\nKopija.\r\n"));
      s.close();
      QCOMPARE(imap.sent(kKorisnik).size(), prije + 1);
      QVERIFY(imap.log().contains("Login: user=<" + kKorisnik.toUtf8() + ">, method=OAUTHBEARER"));
    } else if (!token.isEmpty()) {
      QVERIFY2(s.error().startsWith("NO ") && s.error().contains("\"status\":\""), qPrintable(s.error()));
      QVERIFY2(s.lastExchange().contains("C: AQ=="), qPrintable(s.lastExchange().join('\n')));
    }
  }
};

QTEST_MAIN(TstPoslano)
#include "tst_poslano.moc"
