// The session object against a scripted SMTP server that misbehaves on purpose: the
// exact command sequence it receives, and one outcome per message.
#include <QElapsedTimer>
#include <QTest>

#include "MessageCheck.h"
#include "ScriptedSmtp.h"
#include "SendMailFixture.h"
#include "mail/HostLookup.h"
#include "mail/SmtpDialogue.h"
#include "support/TestEnv.h"

namespace {
const QString kUser = "korisnik";
const QString kPassword = QString(60, 'p');  // its base64 is longer than one 76-column line
QString b64(const QString& s) { return QString::fromLatin1(s.toUtf8().toBase64()); }
}  // namespace

class TstSendMailScripted : public QObject {
  Q_OBJECT
  TestEnv env_;

 private slots:
  void cleanup() { qunsetenv("SSL_CERT_FILE"); }

  void dialogue_data() {
    QTest::addColumn<QStringList>("args");  // of scripted_smtp.py; "--down": no server at all
    QTest::addColumn<int>("tls");           // 0 no certificate, 1 trusted, 2 not trusted
    QTest::addColumn<int>("secure");        // SecureConnection
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("failure");   // how the explanation starts; empty: sent
    QTest::addColumn<QStringList>("transcript");
    const QString h = "EHLO " + mail::thisMachineName();
    const QString from = "MAIL FROM:<posiljatelj@velkor.hr>", rcpt = "RCPT TO:<primatelj@kupac.hr>";
    const QStringList tail{from, rcpt, "DATA", ".", "QUIT"};
    const QStringList login = QStringList{"AUTH LOGIN", b64(kUser), b64(kPassword)};
    const QString plain = "Poštovani,\r\nLijep pozdrav";
    QTest::newRow("plain send") << QStringList{} << 0 << 1 << plain << "" << QStringList{h} + tail;
    QTest::newRow("500 to QUIT changes nothing") << QStringList{"--reply", "QUIT=500 5.0.0 no"} << 0 << 1 << plain
                                                  << "" << QStringList{h} + tail;
    QTest::newRow("EHLO refused: HELO") << QStringList{"--no-ehlo"} << 0 << 1 << plain << ""
                                        << QStringList{h, "HELO " + mail::thisMachineName()} + tail;
    QTest::newRow("8BITMIME declared") << QStringList{"--ehlo", "8BITMIME"} << 0 << 1 << plain << ""
                                       << QStringList{h, from + " BODY=8BITMIME", rcpt, "DATA", ".", "QUIT"};
    QTest::newRow("long line, 8BITMIME") << QStringList{"--ehlo", "8BITMIME"} << 0 << 1 << QString(1200, u'ž') << ""
                                         << QStringList{h, from + " BODY=8BITMIME", rcpt, "DATA", ".", "QUIT"};
    QTest::newRow("AUTH LOGIN, long password") << QStringList{"--ehlo", "AUTH PLAIN LOGIN"} << 0 << 1 << plain << ""
                                               << QStringList{h} + login + tail;
    QTest::newRow("AUTH PLAIN only") << QStringList{"--ehlo", "AUTH PLAIN"} << 0 << 1 << plain << ""
                                     << QStringList{h, "AUTH PLAIN " + b64(QChar(0) + kUser + QChar(0) + kPassword)} + tail;
    QTest::newRow("no mechanism we know") << QStringList{"--ehlo", "AUTH CRAM-MD5 XOAUTH2"} << 0 << 1 << plain
                                          << "Host Login Failed! The server offers only: CRAM-MD5 XOAUTH2"
                                          << QStringList{h, "QUIT"};
    QTest::newRow("pipelined") << QStringList{"--ehlo", "PIPELINING", "--hold-until-data"} << 0 << 1 << plain << ""
                               << QStringList{h} + tail;
    QTest::newRow("pipelined, RCPT refused")
        << QStringList{"--ehlo", "PIPELINING", "--reply", "RCPT=550 5.1.1 no such user"} << 0 << 1 << plain
        << "550 5.1.1 no such user" << QStringList{h, from, rcpt, "DATA"};
    QTest::newRow("endless greeting") << QStringList{"--greeting", "endless"} << 0 << 1 << plain << "220 xxxxxxxx"
                                      << QStringList{};
    QTest::newRow("silent after MAIL") << QStringList{"--silent-after", "MAIL"} << 0 << 1 << plain
                                       << mail::kTimeoutText << QStringList{h, from};
    QTest::newRow("nobody listening") << QStringList{"--down"} << 0 << 1 << plain << mail::kTimeoutText
                                      << QStringList{};
    QTest::newRow("every connect attempt hangs") << QStringList{"--no-accept"} << 0 << 1 << plain << mail::kTimeoutText
                                                 << QStringList{};
    QTest::newRow("STARTTLS") << QStringList{"--ehlo", "STARTTLS", "--ehlo", "AUTH LOGIN"} << 1 << 1 << plain << ""
                              << QStringList{h, "STARTTLS", "TLS", h} + login + tail;
    QTest::newRow("STARTTLS, untrusted certificate")
        << QStringList{"--ehlo", "STARTTLS", "--ehlo", "AUTH LOGIN"} << 2 << 1 << plain << "TLS certificate not accepted: "
        << QStringList{h, "STARTTLS"};
    QTest::newRow("STARTTLS offered, TLS off: no password in clear")
        << QStringList{"--ehlo", "STARTTLS", "--ehlo", "AUTH LOGIN"} << 1 << 0 << plain
        << "Login refused: the server offers STARTTLS" << QStringList{h, "QUIT"};
    QTest::newRow("STARTTLS required, not offered") << QStringList{"--ehlo", "AUTH LOGIN"} << 0 << 2 << plain
                                                    << "TLS required" << QStringList{h, "QUIT"};
    QTest::newRow("implicit TLS on 465") << QStringList{"--implicit", "--port", "465", "--ehlo", "AUTH LOGIN"} << 1 << 3
                                         << plain << "" << QStringList{h} + login + tail;
  }
  void dialogue() {
    QFETCH(QStringList, args);
    QFETCH(int, tls);
    QFETCH(int, secure);
    QFETCH(QString, body);
    QFETCH(QString, failure);
    QFETCH(QStringList, transcript);
    ScriptedSmtp server;
    server.host = "127.0.0.50";
    if (args.contains("--port")) server.port = args.at(args.indexOf("--port") + 1).toInt();
    if (!args.contains("--down")) QVERIFY(server.start(args, tls > 0));
    if (tls == 2) qunsetenv("SSL_CERT_FILE");
    clsSendMail m;
    EventLog log(m);
    m.setSMTPHostValidation(0);
    m.setSMTPHost(server.host);
    m.setSmtpPort(server.port);
    m.setConnectTimeout(2);
    m.setConnectRetry(2);
    m.setMessageTimeout(2);
    m.setSecureConnection(secure);
    m.setFrom("posiljatelj@velkor.hr");
    m.setRecipient("primatelj@kupac.hr");
    m.setMessage(body);
    m.setUseAuthentication(true);
    m.setUserName(kUser);
    m.setPassword(kPassword);
    QElapsedTimer clock;
    clock.start();
    m.Send();
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(server.transcript(), transcript);
    QCOMPARE(log.successes + log.failures, 1);  // one outcome per message
    QVERIFY2(failure.isEmpty() ? log.explanation.isEmpty() : log.explanation.startsWith(failure),
             qPrintable(log.explanation.left(200)));
    QCOMPARE(log.successes, failure.isEmpty() ? 1 : 0);
    QVERIFY2(log.explanation.size() <= 600, qPrintable(QString::number(log.explanation.size())));
    // A failed session is closed within the configured wait, not a fixed while later.
    if (failure == mail::kTimeoutText) QVERIFY2(elapsed < (args.contains("--down") || args.contains("--no-accept") ? 5500 : 3500), qPrintable(QString::number(elapsed)));
    if (!failure.isEmpty()) return;
    // Whatever the encoding, the text arrives as written.
    const QString eml = env_.path("m.eml");
    env_.writeFile("m.eml", server.message(1));
    const QJsonObject c = cleanMessage(eml);
    QCOMPARE(c["text"].toString().replace("\r\n", "\n").trimmed(), QString(body).replace("\r\n", "\n"));
  }

  // In a kept session a bad address fails its message only; one that would smuggle ESMTP
  // parameters into MAIL FROM never reaches the server, whatever the validation mode. After
  // Disconnect a Send opens and closes a session of its own.
  void bulkSessionSurvivesBadAddresses() {
    ScriptedSmtp server;
    server.host = "127.0.0.52";
    QVERIFY(server.start({"--ehlo", "PIPELINING"}));
    clsSendMail m;
    EventLog log(m);
    m.setSMTPHostValidation(0);
    m.setSMTPHost(server.host);
    m.setEmailAddressValidation(0);
    QVERIFY(m.Connect());
    const char* const from = "posiljatelj@velkor.hr";
    for (auto [sender, to] : {std::pair{from, "a@kupac.hr"}, {from, "krivo <x@y.hr>"},
                              {"prodaja@firma.hr> NOTIFY=NEVER X.COM", "c@kupac.hr"}, {from, "b@kupac.hr"}}) {
      m.setFrom(sender);
      m.setRecipient(to);
      m.Send();
    }
    QVERIFY(!log.statuses().contains("Closing Connection..."));
    m.Disconnect();
    QCOMPARE(log.successes, 2);
    QCOMPARE(log.failures, 2);
    const QStringList t = server.transcript();
    QCOMPARE(t.filter(QRegularExpression("^(EHLO|QUIT)")).size(), 2);  // one session
    QCOMPARE(t.filter(QRegularExpression("^(MAIL|RCPT)")),
             QStringList({"MAIL FROM:<posiljatelj@velkor.hr>", "RCPT TO:<a@kupac.hr>", "MAIL FROM:<posiljatelj@velkor.hr>",
                          "RCPT TO:<b@kupac.hr>"}));
    m.Send();
    QCOMPARE(log.successes, 3);
    QCOMPARE(server.transcript().mid(t.size()).filter(QRegularExpression("^(EHLO|QUIT)")).size(), 2);
  }
};

QTEST_GUILESS_MAIN(TstSendMailScripted)
#include "tst_sendmail_scripted.moc"
