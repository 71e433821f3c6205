#include <QtTest>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <memory>

#include "RouteTestSupport.h"
#include "platform/SettingsStore.h"
#include "sender/SlanjePrekoSMTP.h"
#include "sender/frmSlanjeeMaila.h"
#include "sender/modSMTPEMail.h"
#include "support/ScriptedDialogs.h"
#include "support/SmtpPeer.h"
#include "support/TestEnv.h"

using platform::SaveVelkorSetting;

namespace {

const QString kKorisnik = QStringLiteral("prodaja");
const QString kLozinka = QStringLiteral("Tajna čćđ 1");
const QString kPredmet = QStringLiteral("Račun za ožujak – čćđšž ČĆĐŠŽ");

struct Veza {
  QString host;
  int port = 25;
  bool ssl = false;
  bool startTls = false;
  QString lozinka = kLozinka;
  int timeout = 10;
};

void spremiPostavke(const Veza& v) {
  SaveVelkorSetting("SMTPFrom", "Đuro Šarić <prodaja@firma.hr>");
  SaveVelkorSetting("SMTPHostName", v.host);
  SaveVelkorSetting("SMTPUserName", kKorisnik);
  SaveVelkorSetting("SMTPPassword", v.lozinka);
  SaveVelkorSetting("SMTPSSL", platform::TrueFalse(v.ssl));
  SaveVelkorSetting("SMTPStartTLS", platform::TrueFalse(v.startTls));
  SaveVelkorSetting("SMTPPort", QString::number(v.port));
  SaveVelkorSetting("SMTPTimeout", QString::number(v.timeout));
}

SmtpPeer::Options opcije(const QString& host, bool prijava = true) {
  SmtpPeer::Options o;
  o.host = host;
  if (prijava) {
    o.authUser = kKorisnik;
    o.authPassword = kLozinka;
  }
  return o;
}

std::unique_ptr<SmtpPeer> pokreni(SmtpPeer::Options o) {
  auto peer = std::make_unique<SmtpPeer>(std::move(o));
  if (!peer->start()) qWarning() << peer->error();
  return peer;
}

bool posalji(const QString& to, const QString& cc = {}, const QString& bcc = {},
             const QStringList& prilozi = {}, bool obrisi = false) {
  return SlanjePrekoSMTP(kPredmet, to, QStringLiteral("Poštovani,\nu prilogu je račun."),
                         prilozi.value(0), cc, bcc, obrisi, prilozi.value(1), prilozi.value(2));
}

QByteArray nasumicniBajtovi(qsizetype n) {
  QByteArray b(n, Qt::Uninitialized);
  QRandomGenerator g(20260417);
  for (qsizetype i = 0; i < n; ++i) b[i] = static_cast<char>(g.generate() & 0xff);
  return b;
}

// name="=?UTF-8?B?…?=" is written on purpose for readers that know no other form;
// Python notes it as a defect of Content-Type. Anything else is a real problem.
QStringList problemsBesidesQuotedName(const QJsonObject& j) {
  QStringList out;
  for (const QJsonValue v : j.value("problems").toArray()) {
    const QString p = v.toString();
    if (p.startsWith("defect in header Content-Type:") &&
        (p.contains("encoded word inside quoted string") ||
         p.contains("missing trailing whitespace after encoded-word")))
      continue;
    out << p;
  }
  return out;
}

}  // namespace

class TstSmtpRoute : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env;

 private slots:
  void init() { env = std::make_unique<TestEnv>(); }
  void cleanup() {
    qunsetenv("SSL_CERT_FILE");
    env.reset();
  }

  void missingSettings_listedInOrder_nothingContacted() {
    ScriptedDialogs d;
    QVERIFY(!posalji("ana@firma.hr"));
    QCOMPARE(d.calls.size(), 1);
    QCOMPARE(d.last().title, QString("Postavite konfiguraciju SMTP-a"));
    QCOMPARE(d.last().icon, platform::MsgIcon::Exclamation);
    QCOMPARE(d.last().text,
             QString("Nisu uneseni podaci o konfiguraciji za slanje putem SMTP-a:\r\n\r\n"
                     "SMTP From!\r\nSMTP Host Name!\r\nSMTP User Name (korisničko ime)!\r\n"
                     "SMTP Password (lozinka)!\r\n\r\n\r\nUnesite podatke u konfiguraciji"));

    // Only what is missing is named; port, time-out and TLS are never required.
    spremiPostavke({"127.0.0.20"});
    SaveVelkorSetting("SMTPPassword", "");
    SaveVelkorSetting("SMTPPort", "0");
    QVERIFY(!ProvjeriSMTPPostavke());
    QVERIFY(d.last().text.contains("\r\n\r\nSMTP Password (lozinka)!\r\n\r\n\r\nUnesite"));
    QVERIFY(!d.last().text.contains("Host Name"));
    SaveVelkorSetting("SMTPPassword", "x");
    QVERIFY(ProvjeriSMTPPostavke());
    QCOMPARE(g_SMTPPostavke.Port, 0);
  }

  void settingsLoad_defaultsAndStoredForms() {
    SaveVelkorSetting("SMTPSSL", "True");
    SaveVelkorSetting("SMTPStartTLS", "nešto");
    SaveVelkorSetting("SMTPPort", "587");
    UcitajSMTPPostavke();
    QCOMPARE(g_SMTPPostavke.SSL, short(1));
    QCOMPARE(g_SMTPPostavke.StartTLS, short(0));
    QCOMPARE(g_SMTPPostavke.Port, 587);
    QCOMPARE(g_SMTPPostavke.Timeout, short(5));
    SaveVelkorSetting("SMTPPort", "50025");  // above a 16-bit signed value
    SaveVelkorSetting("SMTPTimeout", "x");
    UcitajSMTPPostavke();
    QCOMPARE(g_SMTPPostavke.Port, 50025);
    QCOMPARE(g_SMTPPostavke.Timeout, short(5));
  }

  // AUTH LOGIN on a plain connection; the message as a strict reader decodes it.
  void plainAuth_messageArrivesWhole() {
    SmtpPeer::Options o = opcije("127.0.0.20");
    o.authOnly = QStringLiteral("LOGIN");
    auto peer = pokreni(o);
    QVERIFY(peer->pid() > 0);
    spremiPostavke({"127.0.0.20"});
    const QString hrvatski = env->writeFile("Ponuda Žužić čćđšž.txt", "Ponuda: 1.000,00 kn\r\n");
    const QString veliki = env->writeFile("snimka.bin", nasumicniBajtovi(6 * 1024 * 1024 + 17));
    const QString tablica = env->writeFile("stavke.csv", "\xEF\xBB\xBFšifra;naziv\n1;čavao\n.\n");
    const QString tijelo = QStringLiteral("Poštovani,\n.točka na početku retka\n") +
                           QString(1500, QChar(0x017E)) + QStringLiteral("\r\nLijep pozdrav");
    TextViewerWatch viewer;

    QVERIFY(SlanjePrekoSMTP(kPredmet, "ana@firma.hr;ivo@firma.hr", tijelo, hrvatski,
                            "marko@firma.hr", "tajni@firma.hr", false, veliki, tablica));
    QVERIFY(viewer.seen.isEmpty());
    QVERIFY(peer->waitForMessages(1));
    const SmtpPeer::Message m = peer->messages().at(0);
    QCOMPARE(m.authUser, kKorisnik);
    QCOMPARE(m.authMechanism, QString("LOGIN"));
    QCOMPARE(m.mailFrom, QString("prodaja@firma.hr"));
    QCOMPARE(m.rcptTos, QStringList({"ana@firma.hr", "ivo@firma.hr", "marko@firma.hr",
                                      "tajni@firma.hr"}));
    QVERIFY(!m.raw.contains("tajni"));

    const QJsonObject j = checkMessage(m.emlPath);
    QCOMPARE(problemsBesidesQuotedName(j), QStringList());
    QCOMPARE(j.value("subject").toString(), kPredmet);
    QCOMPARE(j.value("from").toArray().at(0).toObject().value("name").toString(),
             QString("Đuro Šarić"));
    QCOMPARE(addressesOf(j, "to"), QStringList({"ana@firma.hr", "ivo@firma.hr"}));
    QCOMPARE(addressesOf(j, "cc"), QStringList({"marko@firma.hr"}));
    QVERIFY(!j.value("headers").toVariant().toStringList().contains("Bcc", Qt::CaseInsensitive));
    // Every line break of the text travels as CR LF, and the reader keeps them.
    QCOMPARE(j.value("text").toString(),
             QString(tijelo).replace("\r\n", "\n").replace("\n", "\r\n"));
    QCOMPARE(j.value("attachments").toArray().size(), 3);
    for (const QString& f : {hrvatski, veliki, tablica}) {
      const QJsonObject a = attachmentNamed(j, QFileInfo(f).fileName());
      QVERIFY2(!a.isEmpty(), qPrintable(QFileInfo(f).fileName()));
      QCOMPARE(a.value("sha256").toString(), sha256OfFile(f));
      QCOMPARE(a.value("disposition").toString(), QString("attachment"));
    }
    // The delete flag was false: every file is still there.
    for (const QString& f : {hrvatski, veliki, tablica}) QVERIFY(QFile::exists(f));
    // Older readers take the name from Content-Type: it is there too, as encoded words.
    QVERIFY(m.raw.contains("name=\"=?UTF-8?B?"));
  }

  void startTls_verifiedAgainstPrivateCa() {
    SmtpPeer::Options o = opcije("127.0.0.21");
    o.tls = SmtpPeer::Tls::StartTls;
    auto peer = pokreni(o);
    QVERIFY(peer->pid() > 0);
    spremiPostavke({.host = "127.0.0.21", .startTls = true});
    TextViewerWatch viewer;

    // Without the CA the server's certificate is not trusted: nothing is sent.
    QVERIFY(!posalji("ana@firma.hr"));
    QCOMPARE(viewer.seen.size(), 1);
    QVERIFY2(viewer.seen.at(0).text.contains("certificate", Qt::CaseInsensitive),
             qPrintable(viewer.seen.at(0).text));

    qputenv("SSL_CERT_FILE", peer->caFile().toUtf8());
    QVERIFY(posalji("ana@firma.hr", "", "", {}, false));
    QVERIFY(peer->waitForMessages(1));
    QCOMPARE(peer->messages().size(), 1);
    QVERIFY(peer->messages().at(0).tls);
    QCOMPARE(peer->messages().at(0).authUser, kKorisnik);
  }

  // Port 0 leaves the scheme's own port in force: 465 for implicit TLS.
  void implicitTls_defaultPort() {
    SmtpPeer::Options o = opcije("127.0.0.22");
    o.port = 465;
    o.tls = SmtpPeer::Tls::Implicit;
    auto peer = pokreni(o);
    QVERIFY(peer->pid() > 0);
    qputenv("SSL_CERT_FILE", peer->caFile().toUtf8());
    spremiPostavke({.host = "127.0.0.22", .port = 0, .ssl = true});
    const QString prilog = env->writeFile("Izvješće.pdf", "%PDF-1.4\n%čćđ\n");
    QVERIFY(posalji("ana@firma.hr", "", "", {prilog}, true));
    QVERIFY(peer->waitForMessages(1));
    QVERIFY(peer->messages().at(0).tls);
    const QJsonObject j = checkMessage(peer->messages().at(0).emlPath);
    QCOMPARE(attachmentNamed(j, "Izvješće.pdf").value("content_type").toString(),
             QString("application/pdf"));
    // The delete flag was true: the file is gone after the send.
    QVERIFY(!QFile::exists(prilog));
  }

  void wrongPassword_shownInViewer_formReportsFailure() {
    auto peer = pokreni(opcije("127.0.0.23"));
    QVERIFY(peer->pid() > 0);
    spremiPostavke({.host = "127.0.0.23", .lozinka = "kriva"});
    TextViewerWatch viewer;
    ScriptedDialogs d;

    SaveVelkorSetting("mnuEmailPrekoOutlookaThunderSMTP", "2");
    frmSlanjeeMaila::PostaviRute({});
    frmSlanjeeMaila* f = frmSlanjeeMaila::forma();
    f->Napuni(kPredmet, "ana@firma.hr", "", "", "Tekst", "", "", "");
    f->cmdSlanje_Click();

    QCOMPARE(viewer.seen.size(), 1);
    QCOMPARE(viewer.seen.at(0).caption, QString("Opis greške"));
    QVERIFY(viewer.seen.at(0).okOnly);
    QVERIFY2(viewer.seen.at(0).text.startsWith("Greška: ") &&
                 viewer.seen.at(0).text.contains("535"),
             qPrintable(viewer.seen.at(0).text));
    QVERIFY(d.texts().contains("E-mail nije uspješno generiran!"));
    QVERIFY(!d.texts().contains("E-mail uspješno generiran!"));
    QVERIFY(peer->messages().isEmpty());
    f->cmdPrekid_Click();
  }

  void rejectedRecipient_failsWithServerReply() {
    SmtpPeer::Options o = opcije("127.0.0.24");
    o.rejectRcpt = {"nema@firma.hr"};
    auto peer = pokreni(o);
    QVERIFY(peer->pid() > 0);
    spremiPostavke({"127.0.0.24"});
    TextViewerWatch viewer;
    QVERIFY(!posalji("ana@firma.hr;nema@firma.hr"));
    QCOMPARE(viewer.seen.size(), 1);
    QVERIFY2(viewer.seen.at(0).text.contains("550"), qPrintable(viewer.seen.at(0).text));
    QVERIFY(peer->messages().isEmpty());
  }

  // A server that accepts the connection and never greets: the time-out setting ends it.
  void silentServer_boundedByTimeout() {
    SmtpPeer::Options o = opcije("127.0.0.25", false);
    o.mode = "silent";
    auto peer = pokreni(o);
    QVERIFY(peer->pid() > 0);
    spremiPostavke({.host = "127.0.0.25", .timeout = 2});
    TextViewerWatch viewer;
    QElapsedTimer t;
    t.start();
    QVERIFY(!posalji("ana@firma.hr"));
    // The library's own default would wait minutes.
    QVERIFY2(t.elapsed() < 30000, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(viewer.seen.size(), 1);
    QVERIFY2(viewer.seen.at(0).text.contains("time", Qt::CaseInsensitive),
             qPrintable(viewer.seen.at(0).text));
  }

  void missingAttachment_stopsBeforeConnecting() {
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress("127.0.0.26"), 25));
    spremiPostavke({"127.0.0.26"});
    const QString postoji = env->writeFile("a.txt", "a");
    const QString nema = env->path("nema ga.pdf");
    TextViewerWatch viewer;
    QVERIFY(!posalji("ana@firma.hr", "", "", {postoji, nema}));
    QCOMPARE(viewer.seen.size(), 1);
    QCOMPARE(viewer.seen.at(0).caption, QString("Opis greške"));
    QVERIFY2(viewer.seen.at(0).text.startsWith("Greška: ") &&
                 viewer.seen.at(0).text.contains(nema),
             qPrintable(viewer.seen.at(0).text));
    QVERIFY(!listener.waitForNewConnection(300));
  }
};

QTEST_MAIN(TstSmtpRoute)
#include "tst_smtproute.moc"
