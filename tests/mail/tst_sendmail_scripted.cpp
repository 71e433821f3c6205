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
    QTest::addColumn<QString>("failure");   // how the explanation starts; empty: sent
    QTest::addColumn<QStringList>("transcript");
    QTest::addColumn<int>("tls");     // 0 no certificate, 1 trusted, 2 not trusted
    QTest::addColumn<int>("secure");  // SecureConnection
    QTest::addColumn<QString>("body");
    const QString h = "EHLO " + mail::thisMachineName(), plain = "Poštovani,\r\nLijep pozdrav";
    const QString from = "MAIL FROM:<posiljatelj@velkor.hr>", rcpt = "RCPT TO:<primatelj@kupac.hr>";
    const QStringList tail{from, rcpt, "DATA", ".", "QUIT"};
    const QStringList login{"AUTH LOGIN", b64(kUser), b64(kPassword)};
    const QStringList eightBit{h, from + " BODY=8BITMIME", rcpt, "DATA", ".", "QUIT"};
    const QStringList startTls{"--ehlo", "STARTTLS", "--ehlo", "AUTH LOGIN"};
    const auto row = [&](const char* name, const QStringList& args, const QString& failure,
                         const QStringList& transcript, int tls = 0, int secure = 1, const QString& body = {}) {
      QTest::newRow(name) << args << failure << transcript << tls << secure << (body.isEmpty() ? plain : body);
    };
    row("plain send", {}, "", QStringList{h} + tail);
    row("500 to QUIT changes nothing", {"--reply", "QUIT=500 5.0.0 no"}, "", QStringList{h} + tail);
    row("EHLO refused: HELO", {"--no-ehlo"}, "", QStringList{h, "HELO " + mail::thisMachineName()} + tail);
    row("8BITMIME declared", {"--ehlo", "8BITMIME"}, "", eightBit);
    row("long line, 8BITMIME", {"--ehlo", "8BITMIME"}, "", eightBit, 0, 1, QString(1200, u'ž'));
    row("AUTH LOGIN, long password", {"--ehlo", "AUTH PLAIN LOGIN"}, "", QStringList{h} + login + tail);
    row("AUTH PLAIN only", {"--ehlo", "AUTH PLAIN"}, "",
        QStringList{h, "AUTH PLAIN " + b64(QChar(0) + kUser + QChar(0) + kPassword)} + tail);
    row("no mechanism we know", {"--ehlo", "AUTH CRAM-MD5 XOAUTH2"},
        "Host Login Failed! The server offers only: CRAM-MD5 XOAUTH2", {h, "QUIT"});
    row("pipelined", {"--ehlo", "PIPELINING", "--hold-until-data"}, "", QStringList{h} + tail);
    row("pipelined, RCPT refused", {"--ehlo", "PIPELINING", "--reply", "RCPT=550 5.1.1 no such user"},
        "550 5.1.1 no such user", {h, from, rcpt, "DATA"});
    row("endless greeting", {"--greeting", "endless"}, "220 xxxxxxxx", {});
    row("silent after MAIL", {"--silent-after", "MAIL"}, mail::kTimeoutText, {h, from});
    row("nobody listening", {"--down"}, mail::kTimeoutText, {});
    row("every connect attempt hangs", {"--no-accept"}, mail::kTimeoutText, {});
    row("STARTTLS", startTls, "", QStringList{h, "STARTTLS", "TLS", h} + login + tail, 1);
    row("STARTTLS, untrusted certificate", startTls, "TLS certificate not accepted: ", {h, "STARTTLS"}, 2);
    row("STARTTLS offered, TLS off: no password in clear", startTls, "Login refused: the server offers STARTTLS",
        {h, "QUIT"}, 1, 0);
    row("STARTTLS required, not offered", {"--ehlo", "AUTH LOGIN"}, "TLS required", {h, "QUIT"}, 0, 2);
    row("implicit TLS on 465", {"--implicit", "--port", "465", "--ehlo", "AUTH LOGIN"}, "",
        QStringList{h} + login + tail, 1, 3);
  }
  void dialogue() {
    QFETCH(QStringList, args);
    QFETCH(QString, failure);
    QFETCH(QStringList, transcript);
    QFETCH(int, tls);
    QFETCH(int, secure);
    QFETCH(QString, body);
    ScriptedSmtp server;
    server.host = "127.0.0.50";
    if (args.contains("--port")) server.port = args.at(args.indexOf("--port") + 1).toInt();
    if (!args.contains("--down")) QVERIFY(server.start(args, tls > 0));
    if (tls == 2) qunsetenv("SSL_CERT_FILE");
    clsSendMail m;
    EventLog log(m);
    aim(m, server.host, server.port, 2);
    m.setConnectRetry(2);
    m.setSecureConnection(secure);
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
    const bool connecting = args.contains("--down") || args.contains("--no-accept");
    if (failure == mail::kTimeoutText)
      QVERIFY2(elapsed < (connecting ? 5500 : 3500), qPrintable(QString::number(elapsed)));
    if (!failure.isEmpty()) return;
    // Whatever the encoding, the text arrives as written.
    const QJsonObject c = cleanMessage(env_.writeFile("m.eml", server.message(1)));
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
    aim(m, server.host, server.port, 5);
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
