// The direct SMTP route and its settings window (loading, the save question, field checks,
// the test mail) against a real server on loopback.
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>

#include "RouteTestSupport.h"
#include "platform/OAuthPrijava.h"
#include "platform/SecretStore.h"
#include "sender/SlanjePrekoSMTP.h"
#include "sender/frmSMTPPostavke.h"
#include "sender/modSMTPEMail.h"
#include "support/DovecotPeer.h"

using namespace sender;
using core::SaveVelkorSetting;
using core::VelkorSetting;
using platform::MsgIcon;
using platform::MsgResult;
using Tls = SmtpPeer::Tls;

namespace {

const QString kKorisnik = "prodaja";
const QString kLozinka = "Tajna čćđ 1";
const QString kPredmet = "Račun za ožujak – čćđšž ČĆĐŠŽ";

// The route's settings for a server on host; uz replaces or adds single settings.
void spremiPostavke(const QString& host, const QMap<QString, QString>& uz = {}) {
  QMap<QString, QString> s{{"SMTPFrom", "Đuro Šarić <prodaja@firma.hr>"},
                           {"SMTPHostName", host},
                           {"SMTPUserName", kKorisnik},
                           {"SMTPPassword", kLozinka},
                           {"SMTPTimeout", "10"}};
  s.insert(uz);
  for (auto it = s.cbegin(); it != s.cend(); ++it) SaveVelkorSetting(it.key(), it.value());
}

// A server on host:25 that takes the route's user.
SmtpPeer::Options server(const QString& host) {
  SmtpPeer::Options o;
  o.host = host;
  o.authUser = kKorisnik;
  o.authPassword = kLozinka;
  return o;
}

// name="=?UTF-8?B?…?=" is written on purpose for readers that know no other form;
// Python notes it as a defect of Content-Type. Anything else is a real problem.
QStringList problemsBesidesQuotedName(const QJsonObject& j) {
  const QRegularExpression quotedName(
      "^defect in header Content-Type:.*(encoded word inside quoted string|"
      "missing trailing whitespace after encoded-word)");
  QStringList out = problemsOf(j).split('\n', Qt::SkipEmptyParts);
  out.removeIf([&](const QString& p) { return p.contains(quotedName); });
  return out;
}

}  // namespace

class TstSmtpRoute : public Fixture {
  Q_OBJECT
  std::unique_ptr<frmSMTPPostavke> f;

  template <class T = QLineEdit>
  T* dio(const char* ime) const {
    return f->findChild<T*>(ime);
  }
  void klik(const char* ime) { dio<QAbstractButton>(ime)->click(); }
  // A fresh window; with a host, every required field filled.
  void otvori(const QString& host = {}, const QString& lozinka = {}) {
    f = std::make_unique<frmSMTPPostavke>();
    f->show();
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.get()));
    if (host.isEmpty()) return;
    dio("txtSMTPFrom")->setText("prodaja@firma.hr");
    dio("txtSMTPHostName")->setText(host);
    dio("txtSMTPUserName")->setText("prodaja");
    dio("txtSMTPPassword")->setText(lozinka);
  }
  // Nothing at all was written to the store.
  static bool nistaSpremljeno() { return !QFile::exists(core::settingsFilePath("Velkor")); }

 private slots:
  void cleanup() {
    f.reset();
    qunsetenv("SSL_CERT_FILE");
    Fixture::cleanup();
  }

  void settings_missingListedInOrder_storedForms() {
    ScriptedDialogs& d = *dlg;
    QVERIFY(!SlanjePrekoSMTP(kPredmet, "ana@firma.hr", "T", "", "", "", false, "", ""));
    QCOMPARE(d.calls.size(), 1);
    QCOMPARE(d.last().title, QString("Postavite konfiguraciju SMTP-a"));
    QCOMPARE(d.last().icon, MsgIcon::Exclamation);
    QCOMPARE(d.last().text,
             QString("Nisu uneseni podaci o konfiguraciji za slanje putem SMTP-a:\r\n\r\n"
                     "SMTP From!\r\nSMTP Host Name!\r\nSMTP User Name (korisničko ime)!\r\n"
                     "SMTP Password (lozinka)!\r\n\r\n\r\nUnesite podatke u konfiguraciji"));
    // Only what is missing is named; port, time-out and TLS are never required.
    spremiPostavke("127.0.0.20", {{"SMTPPassword", ""}});
    QVERIFY(!ProvjeriSMTPPostavke());
    QVERIFY(d.last().text.contains(":\r\n\r\nSMTP Password (lozinka)!\r\n\r\n\r\nUnesite"));

    spremiPostavke("127.0.0.20", {{"SMTPSSL", "True"},
                                  {"SMTPStartTLS", "nešto"},
                                  {"SMTPPort", "50025"},  // above a 16-bit signed value
                                  {"SMTPTimeout", "x"}});
    QVERIFY(ProvjeriSMTPPostavke());
    QCOMPARE(QList<int>({g_SMTPPostavke.SSL, g_SMTPPostavke.StartTLS, g_SMTPPostavke.Port,
                         g_SMTPPostavke.Timeout}),
             QList<int>({1, 0, 50025, 5}));
  }

  // AUTH LOGIN on a plain connection, or any mechanism over TLS trusted through the private CA,
  // or not. Port 0 leaves the scheme's own port in force: 465 for implicit TLS. The message as
  // a strict reader decodes it; the attachments deleted when asked to. A failure's text goes to
  // the viewer, and the route reports it, within the time-out. A refused login's text from
  // libcurl is composer/tst_oauth's.
  void send_data() {
    QTest::addColumn<int>("tls");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("postavka");  // key=value
    QTest::addColumn<QString>("greska");    // a part of the viewer's text; empty: sent
    QTest::newRow("AUTH LOGIN, plain") << int(Tls::None) << "normal" << "SMTPSSL=False" << "";
    QTest::newRow("STARTTLS on 25") << int(Tls::StartTls) << "normal" << "SMTPStartTLS=True" << "";
    QTest::newRow("implicit TLS on port 0") << int(Tls::Implicit) << "normal" << "SMTPSSL=True" << "";
    // Unchecked, STARTTLS is still used when offered: the password never goes in clear.
    QTest::newRow("STARTTLS offered, not required") << int(Tls::StartTls) << "normal" << "SMTPStartTLS=False" << "";
    QTest::newRow("untrusted certificate") << int(Tls::StartTls) << "normal" << "SMTPStartTLS=True" << "certificate";
    QTest::newRow("rejected recipient") << int(Tls::None) << "normal" << "SMTPSSL=False" << "550";
    QTest::newRow("server never greets") << int(Tls::None) << "silent" << "SMTPSSL=False" << "time";
  }
  void send() {
    QFETCH(int, tls);
    QFETCH(QString, mode);
    QFETCH(QString, postavka);
    QFETCH(QString, greska);
    SmtpPeer::Options o = server("127.0.0.21");
    o.tls = Tls(tls);
    o.port = o.tls == Tls::Implicit ? 465 : 25;
    o.mode = mode;
    o.rejectRcpt = {"nema@firma.hr"};
    if (o.tls == Tls::None) o.authOnly = "LOGIN";
    SmtpPeer peer(o);
    QVERIFY2(peer.start(), qPrintable(peer.error()));
    if (greska.isEmpty()) qputenv("SSL_CERT_FILE", peer.caFile().toUtf8());
    spremiPostavke("127.0.0.21", {{"SMTPTimeout", greska.isEmpty() ? "10" : "2"}, {"SMTPPort", "0"},
                                  {postavka.section('=', 0, 0), postavka.section('=', 1)}});
    const QStringList prilozi{env->writeFile("Ponuda Žužić čćđšž.pdf", "%PDF-1.4\n%čćđ\n"),
                              env->writeFile("snimka.bin", binaryBytes(6 * 1024 * 1024 + 17)),
                              env->writeFile("stavke.csv", "\xEF\xBB\xBFšifra;naziv\n1;čavao\n.\n")};
    QStringList names, hashes;
    for (const QString& f : prilozi) names << QFileInfo(f).fileName(), hashes << sha256Of(readWholeFile(f));
    const QString tijelo = "Poštovani,\n.točka na početku retka\n" + QString(1500, QChar(0x017E)) +
                           "\r\nLijep pozdrav";
    const bool obrisi = o.tls != Tls::None;
    TextViewerWatch viewer;
    QElapsedTimer t;
    t.start();
    QCOMPARE(SlanjePrekoSMTP(kPredmet, greska.isEmpty() ? "ana@firma.hr;ivo@firma.hr" : "ana@firma.hr;nema@firma.hr",
                             tijelo, prilozi[0], "marko@firma.hr", "tajni@firma.hr", obrisi, prilozi[1], prilozi[2]),
             greska.isEmpty());
    if (!greska.isEmpty()) {
      QVERIFY2(t.elapsed() < 30000, "not bounded by the time-out");  // the library waits minutes
      QCOMPARE(viewer.seen.size(), 1);
      QVERIFY2(viewer.seen[0].startsWith("Opis greške|Greška: ") &&
                   viewer.seen[0].contains(greska, Qt::CaseInsensitive),
               qPrintable(viewer.seen[0]));
      QVERIFY(peer.messages().isEmpty());
      return;
    }
    QVERIFY(viewer.seen.isEmpty() && peer.waitForMessages(1));
    const SmtpPeer::Message m = peer.messages().at(0);
    QCOMPARE(m.tls, o.tls != Tls::None);
    QCOMPARE(m.authUser, kKorisnik);
    if (o.tls == Tls::None) QCOMPARE(m.authMechanism, QString("LOGIN"));
    QCOMPARE(m.mailFrom, QString("prodaja@firma.hr"));
    QCOMPARE(m.rcptTos,
             QStringList({"ana@firma.hr", "ivo@firma.hr", "marko@firma.hr", "tajni@firma.hr"}));
    QVERIFY(!m.raw.contains("tajni"));  // BCC only in the envelope
    // Older readers take the name from Content-Type: it is there too, as encoded words.
    QVERIFY(m.raw.contains("name=\"=?UTF-8?B?"));

    const QJsonObject j = checkMessage(m.emlPath);
    QCOMPARE(problemsBesidesQuotedName(j), QStringList());
    QCOMPARE(j.value("subject").toString(), kPredmet);
    QCOMPARE(entry(j, "from", 0, "name"), QString("Đuro Šarić"));
    QCOMPARE(fields(j, "to", "address"), QStringList({"ana@firma.hr", "ivo@firma.hr"}));
    QCOMPARE(fields(j, "cc", "address"), QStringList({"marko@firma.hr"}));
    // Every line break of the text travels as CR LF, and the reader keeps them.
    QCOMPARE(j.value("text").toString(),
             QString(tijelo).replace("\r\n", "\n").replace("\n", "\r\n"));
    QCOMPARE(fields(j, "attachments", "filename"), names);
    QCOMPARE(fields(j, "attachments", "sha256"), hashes);
    QCOMPARE(fields(j, "attachments", "disposition"), QStringList(3, "attachment"));
    QCOMPARE(entry(j, "attachments", 0, "content_type"), QString("application/pdf"));
    for (const QString& f : prilozi) QCOMPARE(QFile::exists(f), !obrisi);
  }

  // Signed in through the settings window at a loopback authorization server on oauthlib
  // (5 s tokens; the stand-in browser first on PATH): the send renews the token and logs in
  // with it at Dovecot's submission (the mechanism libcurl takes is composer/tst_oauth's); once
  // the server has revoked the refresh token, the next renewal asks to sign in again and sends
  // nothing. No token lands anywhere but the secret store.
  void oauth() {
    const QString korisnik = "prodaja@velkor.hr", as = "http://127.0.0.29:8080/";
    QDir().mkpath(env->path("bin"));
    QVERIFY(QFile::link(SmtpPeer::scriptPath("browser.py"), env->path("bin/xdg-open")));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", env->path("bin").toUtf8() + ":" + path);
    const auto vrati = qScopeGuard([&] { qputenv("PATH", path); });
    qputenv("VELKOR_BROWSER_LOG", env->path("browser.log").toUtf8());
    qunsetenv("BROWSER");
    PeerProcess autorizacija;
    QVERIFY2(autorizacija.start("/usr/bin/python3",
                                {SmtpPeer::scriptPath("oauth_server.py"), "--host", "127.0.0.29", "--client", "velkor-test",
                                 "--user", korisnik, "--lifetime", "5", "--log", env->path("as.log")},
                                PeerReadiness::onOutput("READY")),
             qPrintable(autorizacija.errorString()));
    SubmissionPeer server("127.0.0.30", "127.0.0.34", korisnik, "ne-koristi-se");
    server.enableOAuth(as + "introspect");
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("SSL_CERT_FILE", server.caFile().toUtf8());
    spremiPostavke("127.0.0.30", {{"SMTPUserName", korisnik}, {"SMTPPassword", ""}, {"SMTPPort", "587"}});
    otvori();
    auto* nacin = dio<QComboBox>("cboNacinPrijave");
    nacin->setCurrentIndex(nacin->findData("drugi"));
    emit nacin->activated(nacin->currentIndex());
    dio("txtOAuthAutorizacija")->setText(as + "authorize");
    dio("txtOAuthToken")->setText(as + "token");
    dio("txtOAuthOpseg")->setText("smtp offline_access");
    dio("txtOAuthKlijent")->setText("velkor-test");
    klik("cmdPrijaviSe");
    QVERIFY2(dlg->calls.isEmpty(), qPrintable(dlg->texts().join("|")));
    QCOMPARE(dio<QLabel>("lblOAuthStanje")->text(), "Prijavljeni: " + korisnik + " (drugi pružatelj)");
    screenshot(f.get(), "frmSMTPPostavke-oauth");
    f.reset();
    UcitajSMTPPostavke();
    const QString kljuc = SMTPKljucOAuth(g_SMTPPostavke);
    const QByteArray osvjezavajuci = platform::readSecret(kljuc).secret.toUtf8();
    QVERIFY(!osvjezavajuci.isEmpty());
    const auto dodjele = [&](const char* vrsta) {
      return QString::fromUtf8(readWholeFile(env->path("as.log"))).split('\n').count(vrsta);
    };
    for (const bool opozvan : {false, true}) {
      if (opozvan) {
        QNetworkAccessManager nam;
        QNetworkReply* r = nam.post(QNetworkRequest(QUrl(as + "revoke-all")), QByteArray());
        QTRY_VERIFY(r->isFinished());
      }
      QTest::qWait(3000);  // the 5 s access token in its second half: the send renews it
      QCOMPARE(SlanjePrekoSMTP(kPredmet, "kupac@kupci.hr", "T", "", "", "", false, "", ""), !opozvan);
      QCOMPARE(dodjele(opozvan ? "refused refresh" : "refresh"), 1);
    }
    QVERIFY(server.capture().waitForMessages(1));
    QCOMPARE(dlg->last().text, platform::kPrijavaIstekla);
    QTest::qWait(500);
    QCOMPARE(server.capture().messages().size(), 1);
    QVERIFY(!platform::prijavljen(kljuc));
    QDirIterator it(env->path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString put = it.next();
      QVERIFY2(put == platform::secretFile() || !readWholeFile(put).contains(osvjezavajuci), qPrintable(put));
    }
  }

  void leaving_asksOnlyAfterChange_data() {
    QTest::addColumn<bool>("esc");
    QTest::addColumn<int>("odgovor");
    QTest::addColumn<QString>("spremljeno");  // SSL|StartTLS|port|time-out|From
    QTest::newRow("cmdIzlaz, Yes stores even empty fields")
        << false << int(MsgResult::Yes) << "False|True|587|5|";
    QTest::newRow("Esc, No stores nothing") << true << int(MsgResult::No) << "True|True|587||-";
  }
  void leaving_asksOnlyAfterChange() {
    QFETCH(bool, esc);
    QFETCH(int, odgovor);
    for (const char* k : {"SMTPSSL=True", "SMTPStartTLS=True", "SMTPPort=587", "SMTPHostName=h"})
      SaveVelkorSetting(QString(k).section('=', 0, 0), QString(k).section('=', 1));
    otvori();
    QCOMPARE(QString("%1 %2 %3%4 %5 %6")
                 .arg(f->windowTitle(), dio("txtSMTPHostName")->text())
                 .arg(int(dio<QCheckBox>("chkSMTPSSL")->isChecked()))
                 .arg(int(dio<QCheckBox>("chkSMTPStartTLS")->isChecked()))
                 .arg(dio<QSpinBox>("ubSMTPPort")->value())
                 .arg(dio<QSpinBox>("ubSMTPTimeout")->value()),
             QString("SMTP postavke h 11 587 5"));
    klik("cmdIzlaz");
    QVERIFY(dlg->calls.isEmpty() && !f->isVisible());  // unchanged: nothing asked

    otvori();
    dio<QCheckBox>("chkSMTPSSL")->click();
    dlg->answer(MsgResult(odgovor));
    esc ? QTest::keyClick(dio("txtSMTPUserName"), Qt::Key_Escape) : klik("cmdIzlaz");
    QCOMPARE(dlg->texts(), QStringList{"Mijenjali ste podatke, a niste izvršili spremanje. "
                                     "Želite li spremiti podatke?"});
    QCOMPARE(dlg->last().title, QString("Spremiti podatke?"));
    QCOMPARE(dlg->last().icon, MsgIcon::Question);
    QCOMPARE(dlg->last().buttons, platform::MsgButtons::YesNo);
    QVERIFY(!f->isVisible());
    QStringList spremljeno;
    for (const char* k : {"SMTPSSL", "SMTPStartTLS", "SMTPPort", "SMTPTimeout"})
      spremljeno << VelkorSetting(k);
    QTEST((spremljeno << VelkorSetting("SMTPFrom", "-")).join('|'), "spremljeno");
  }

  void spremi_checksInOrder_trimsAndStores() {
    otvori();
    const char* const koraci[][2] = {
        {"txtSMTPFrom", "Mora se unijeti SMTP From!"},
        {"txtSMTPHostName", "Mora se unijeti SMTP Host Name!"},
        {"txtSMTPUserName", "Mora se unijeti SMTP User Name (korisničko ime)!"},
        {"txtSMTPPassword", "Mora se unijeti SMTP Password (lozinka)!"},
    };
    for (const auto& k : koraci) {
      dio(k[0])->setText("   ");  // blanks only count as empty
      klik("cmdSpremi");
      QCOMPARE(dlg->last().text + " " + f->focusWidget()->objectName(),
               QString::fromUtf8(k[1]) + " " + k[0]);
      QCOMPARE(dlg->last().icon, MsgIcon::Exclamation);
      dio(k[0])->setText(" tajna ");
    }
    QVERIFY(nistaSpremljeno());
    klik("cmdSpremi");
    QCOMPARE(dlg->calls.size(), 4);
    QCOMPARE(f->result(), int(QDialog::Accepted));
    QCOMPARE(VelkorSetting("SMTPPassword") + VelkorSetting("SMTPFrom"), QString("tajnatajna"));
  }

  // A wrong address is refused and Cancel sends nothing, both before anything is saved; then
  // both recipients receive, the fields saved first.
  void testMail() {
    SmtpPeer peer(server("127.0.0.27"));
    QVERIFY2(peer.start(), qPrintable(peer.error()));
    otvori("127.0.0.27", " " + kLozinka);
    dlg->answerText(QString("  Ana Anić  "));
    dlg->answerText(std::nullopt);  // Cancel: no message at all
    dlg->answerText(QString(" ana@firma.hr;ivo@firma.hr "));
    klik("cmdSlanjeTestEMail");
    klik("cmdSlanjeTestEMail");
    QCOMPARE(dlg->calls.size(), 3);
    const DialogCall& upit = dlg->calls.at(0);
    QCOMPARE(upit.kind, DialogCall::Input);
    QCOMPARE(QStringList({upit.title, upit.text, upit.defaultText}),
             QStringList({"E-mail", "Unesite e-mail kome šaljete testni mail:", "@firma.hr"}));
    QCOMPARE(dlg->calls.at(1).text, QString("Nije ispravan format e-mail adrese!"));
    QCOMPARE(dlg->calls.at(1).title, QString("Greška"));
    QCOMPARE(dlg->calls.at(1).icon, MsgIcon::Exclamation);
    QVERIFY(nistaSpremljeno());

    TextViewerWatch viewer;
    klik("cmdSlanjeTestEMail");
    QVERIFY(viewer.seen.isEmpty());
    QCOMPARE(dlg->calls.size(), 5);
    QCOMPARE(dlg->last().kind, DialogCall::Timed);
    QCOMPARE(dlg->last().title, QString("Ispravna konfiguracija"));
    QCOMPARE(dlg->last().icon, MsgIcon::Information);
    QVERIFY2(dlg->last().text.startsWith("Mail Sent! / Poruka poslana uspješno! Slanje trajalo: ") &&
                 dlg->last().text.endsWith(" s"),
             qPrintable(dlg->last().text));
    QVERIFY(peer.waitForMessages(1));
    QCOMPARE(peer.messages().at(0).rcptTos, QStringList({"ana@firma.hr", "ivo@firma.hr"}));
    const QJsonObject j = cleanMessage(peer.messages().at(0).emlPath);
    QVERIFY(j.value("subject").toString().startsWith("This is a test / Ovo je test "));
    QVERIFY(j.value("text").toString().startsWith(
        "This is a test / Ovo je test slanja e-mail-a Vrijeme/Time: "));
    QCOMPARE(fields(j, "to", "address"), QStringList({"ana@firma.hr", "ivo@firma.hr"}));
    // Saved before the test, the password without its blank; saving cleared the changed flag.
    QCOMPARE(VelkorSetting("SMTPPassword") + VelkorSetting("SMTPHostName"), kLozinka + "127.0.0.27");
    klik("cmdIzlaz");
    QCOMPARE(dlg->calls.size(), 5);
  }

  void missingAttachment_stopsBeforeConnecting() {
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress("127.0.0.20"), 25));
    spremiPostavke("127.0.0.20");
    const QString nema = env->path("nema ga.pdf");
    TextViewerWatch viewer;
    QVERIFY(!SlanjePrekoSMTP(kPredmet, "ana@firma.hr", "T", env->writeFile("a.txt", "a"), "", "",
                             false, nema, ""));
    QCOMPARE(viewer.seen.size(), 1);
    QVERIFY2(viewer.seen[0].startsWith("Opis greške|Greška: ") && viewer.seen[0].contains(nema),
             qPrintable(viewer.seen[0]));
    QVERIFY(!listener.waitForNewConnection(300));
  }
};

QTEST_MAIN(TstSmtpRoute)
#include "tst_smtproute.moc"
