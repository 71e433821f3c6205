// The session object against a scripted SMTP server that misbehaves on purpose: the
// exact command sequence it receives, and one outcome per message.
#include <QElapsedTimer>

#include "SendMailFixture.h"
#include "mail/SmtpDialogue.h"

namespace {
const QString kUser = "korisnik";
const QString kPassword = QString(60, 'p');  // its base64 is longer than one 76-column line
// How a failure is classified (lastFailureTemporary, lastFailureAtConnect).
enum Kind { Sent = 0, Temporary = 1, Permanent = 2, AtConnect = 4 };
// A "secure" value: delivery to an exchanger (SecureConnection 1, opportunistic TLS).
constexpr int kExchanger = -1;
QString b64(const QString& s) { return QString::fromLatin1(s.toUtf8().toBase64()); }

// A scripted server on host and a session object aimed at it; "--down" in args: no server.
struct Scripted {
  ScriptedSmtp server;
  mail::clsSendMail m;
  EventLog log{m};
  bool start(const char* host, const QStringList& args, bool tls = false, int waitSeconds = 5) {
    server.host = host;
    if (args.contains("--port")) server.port = args.at(args.indexOf("--port") + 1).toInt();
    aim(m, host, server.port, waitSeconds);
    return args.contains("--down") || server.start(args, tls);
  }
};
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
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("code");  // lastReplyCode
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("body");
    const QString h = "EHLO velkor.hr", plain = "Poštovani,\r\nLijep pozdrav";
    const QString from = "MAIL FROM:<posiljatelj@velkor.hr>", rcpt = "RCPT TO:<primatelj@kupac.hr>";
    const QString one = "primatelj@kupac.hr";
    const QStringList tail{from, rcpt, "DATA", ".", "QUIT"};
    const QStringList login{"AUTH LOGIN", b64(kUser), b64(kPassword)};
    const QStringList startTls{"--ehlo", "STARTTLS", "--ehlo", "AUTH LOGIN"};
    const auto wire = [](const QString& s) { return QString::fromLatin1(s.toUtf8()); };  // as the log has it
    const auto row = [&](const char* name, const QStringList& args, const QString& failure,
                         const QStringList& transcript, int tls = 0, int secure = 1, int code = 0,
                         int kind = Sent, const QString& to = {}, const QString& body = {}) {
      QTest::newRow(name) << args << failure << transcript << tls << secure << (to.isEmpty() ? one : to)
                          << code << kind << (body.isEmpty() ? plain : body);
    };
    row("plain send", {}, "", QStringList{h} + tail);
    row("500 to QUIT changes nothing", {"--reply", "QUIT=500 5.0.0 no"}, "", QStringList{h} + tail);
    row("EHLO refused: HELO", {"--no-ehlo"}, "", QStringList{h, "HELO velkor.hr"} + tail);
    row("8BITMIME declared, a long line", {"--ehlo", "8BITMIME"}, "",
        {h, from + " BODY=8BITMIME", rcpt, "DATA", ".", "QUIT"}, 0, 1, 0, Sent, {}, QString(1200, u'ž'));
    row("login in clear, TLS off on purpose", {"--ehlo", "AUTH PLAIN LOGIN"}, "", QStringList{h} + login + tail, 0, 0);
    row("AUTH PLAIN only", {"--ehlo", "AUTH PLAIN"}, "",
        QStringList{h, "AUTH PLAIN " + b64(QChar(0) + kUser + QChar(0) + kPassword)} + tail, 0, 0);
    row("STARTTLS stripped: no password in clear", {"--ehlo", "AUTH PLAIN LOGIN"},
        "Login refused: the server does not offer STARTTLS", {h, "QUIT"}, 0, 1, 0, Permanent);
    row("no mechanism we know", {"--ehlo", "AUTH CRAM-MD5 XOAUTH2"},
        "Host Login Failed! The server offers only: CRAM-MD5 XOAUTH2", {h, "QUIT"}, 0, 0, 0, Permanent);
    row("login refused", {"--ehlo", "AUTH LOGIN", "--reply", "AUTH=535 5.7.8 Error: authentication failed"},
        "535 5.7.8 Error: authentication failed", QStringList{h} + login + QStringList{"QUIT"}, 0, 0, 535, Permanent);
    row("pipelined", {"--ehlo", "PIPELINING", "--hold-until-data"}, "", QStringList{h} + tail);
    row("pipelined, RCPT refused", {"--ehlo", "PIPELINING", "--reply", "RCPT=550 5.1.1 no such user"},
        "550 5.1.1 no such user", {h, from, rcpt, "DATA"}, 0, 1, 550, Permanent);
    row("421 greeting", {"--greeting", "421 4.3.2 busy"}, "421 4.3.2 busy", {}, 0, 1, 421, Temporary | AtConnect);
    row("554 greeting", {"--greeting", "554 5.7.1 go away"}, "554 5.7.1 go away", {"QUIT"}, 0, 1, 554,
        Permanent | AtConnect);
    const QString a = "RCPT TO:<a@kupac.hr>", b = "RCPT TO:<b@kupac.hr>", c = "RCPT TO:<c@kupac.hr>";
    const QString tooMany = "RCPT#2=452 4.5.3 Too many recipients";
    row("greylisted: the recipients after it not asked for", {"--reply", "RCPT#2=450 4.2.0 Greylisted, see postgrey"},
        "450 4.2.0 Greylisted", {h, from, a, b, "QUIT"}, 0, 1, 450, Temporary, "a@kupac.hr;b@kupac.hr;c@kupac.hr");
    row("452: the rest in a second transaction", {"--reply", tooMany}, "",
        {h, from, a, b, "DATA", ".", from, b, "DATA", ".", "QUIT"}, 0, 1, 0, Sent, "a@kupac.hr;b@kupac.hr");
    row("452, pipelined", {"--ehlo", "PIPELINING", "--reply", tooMany, "--reply", "RCPT#3=452 4.5.3 Too many"}, "",
        {h, from, a, b, c, "DATA", ".", from, b, c, "DATA", ".", "QUIT"}, 0, 1, 0, Sent,
        "a@kupac.hr;b@kupac.hr;c@kupac.hr");
    row("452, then the rest refused: sent to the first", {"--reply", tooMany, "--reply", "MAIL#2=451 4.3.0 try later"}, "",
        {h, from, a, b, "DATA", ".", from, "QUIT"}, 0, 1, 451, Temporary, "a@kupac.hr;b@kupac.hr");
    row("452 to every recipient", {"--reply", "RCPT=452 4.3.1 Insufficient system storage"},
        "452 4.3.1 Insufficient", {h, from, rcpt, "QUIT"}, 0, 1, 452, Temporary);
    row("552 while the text is written, then a hang-up", {"--during-data", "552 5.3.4 Message too big"},
        "552 5.3.4 Message too big", {h, from, rcpt, "DATA"}, 0, 1, 552, Permanent, {},
        QString("Redak teksta\r\n").repeated(40000));
    row("international domain as A-labels", {}, "", {h, from, "RCPT TO:<kupac@xn--vori-ota5a.hr>", "DATA", ".", "QUIT"},
        0, 1, 0, Sent, "kupac@čvorić.hr");
    row("international mailbox, SMTPUTF8", {"--ehlo", "SMTPUTF8"}, "",
        {h, from + " SMTPUTF8", wire("RCPT TO:<ivana.čačić@kupac.hr>"), "DATA", ".", "QUIT"}, 0, 1, 0, Sent,
        "ivana.čačić@kupac.hr");
    row("international mailbox, no SMTPUTF8", {}, "Poslužitelj ne prima adrese s međunarodnim znakovima",
        {h, "QUIT"}, 0, 1, 0, Permanent, "ivana.čačić@kupac.hr");
    row("endless greeting", {"--greeting", "endless"}, "220 xxxxxxxx", {}, 0, 1, 0, Temporary | AtConnect);
    row("silent after MAIL", {"--silent-after", "MAIL"}, mail::kTimeoutText, {h, from}, 0, 1, 0, Temporary);
    row("nobody listening", {"--down"}, "Connection refused", {}, 0, 1, 0, Temporary | AtConnect);
    row("every connect attempt hangs", {"--no-accept"}, mail::kTimeoutText, {}, 0, 1, 0, Temporary | AtConnect);
    row("STARTTLS", startTls, "", QStringList{h, "STARTTLS", "TLS", h} + login + tail, 1);
    row("bytes behind the STARTTLS go-ahead are dropped", startTls + QStringList{"--after-starttls", "250 forged"}, "",
        QStringList{h, "STARTTLS", "TLS", h} + login + tail, 1);
    row("STARTTLS, untrusted certificate", startTls, "TLS certificate not accepted: ", {h, "STARTTLS"}, 2, 1, 0,
        Permanent);
    row("STARTTLS offered, TLS off: no password in clear", startTls, "Login refused: the server offers STARTTLS",
        {h, "QUIT"}, 1, 0, 0, Permanent);
    row("exchanger: an untrusted certificate still encrypts", {"--ehlo", "STARTTLS"}, "",
        QStringList{h, "STARTTLS", "TLS", h} + tail, 2, kExchanger);
    row("exchanger: a failed handshake, then once in clear", {"--ehlo", "STARTTLS"}, "",
        QStringList{h, "STARTTLS", h} + tail, 0, kExchanger);
    row("STARTTLS required, not offered", {"--ehlo", "AUTH LOGIN"}, "TLS required", {h, "QUIT"}, 0, 2, 0, Permanent);
    row("implicit TLS on 465", {"--implicit", "--port", "465", "--ehlo", "AUTH LOGIN"}, "",
        QStringList{h} + login + tail, 1, 3);
  }
  void dialogue() {
    QFETCH(QStringList, args);
    QFETCH(QString, failure);
    QFETCH(QStringList, transcript);
    QFETCH(int, tls);
    QFETCH(int, secure);
    QFETCH(QString, to);
    QFETCH(int, code);
    QFETCH(int, kind);
    QFETCH(QString, body);
    Scripted s;
    QVERIFY(s.start("127.0.0.50", args, tls > 0, 2));
    if (tls == 2) qunsetenv("SSL_CERT_FILE");
    auto& [server, m, log] = s;
    m.setConnectRetry(2);
    m.setSecureConnection(secure == kExchanger ? 1 : secure);
    m.setOpportunisticTls(secure == kExchanger);
    m.setMessage(body);
    m.setRecipient(to);
    m.setUseAuthentication(args.join(' ').contains("AUTH"));  // a login only where one is offered
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
    // A failure within a session is reported before the session closes.
    const int failed = log.lines.indexOf("SendFailed: " + log.explanation);
    if (!failure.isEmpty() && !(kind & AtConnect))
      QCOMPARE(log.lines.value(failed + 1), QString("Status: Closing Connection..."));
    QVERIFY2(log.explanation.size() <= 600, qPrintable(QString::number(log.explanation.size())));
    QCOMPARE(m.lastReplyCode(), code);
    QCOMPARE(m.lastFailureTemporary(), bool(kind & Temporary));
    QCOMPARE(m.lastFailureAtConnect(), bool(kind & AtConnect));
    // Sent with a failure behind it: only a later transaction's recipients missed it.
    QCOMPARE(m.undeliveredRecipients(), failure.isEmpty() && code ? QStringList{to.section(';', -1)} : QStringList());
    // The trace holds the exchange, never a password.
    const QString trace = m.lastExchange().join('\n');
    QVERIFY(!trace.contains(b64(kPassword)) && !trace.contains(b64(QChar(0) + kUser + QChar(0) + kPassword)));
    if (transcript.contains("AUTH LOGIN")) QVERIFY2(trace.contains("C: ***"), qPrintable(trace));
    // A failed session is closed within the configured wait, not a fixed while later.
    const bool connecting = args.contains("--down") || args.contains("--no-accept");
    if (failure == mail::kTimeoutText)
      QVERIFY2(elapsed < (connecting ? 5500 : 3500), qPrintable(QString::number(elapsed)));
    if (!failure.isEmpty()) return;
    // A mailbox beyond ASCII stays as it is in the header (RFC 6532), which the strict reader flags.
    if (m.lastExchange().join('\n').contains(" SMTPUTF8")) {
      QVERIFY(server.message(1).contains("<" + to.toUtf8() + ">"));
      return;
    }
    // Whatever the encoding, the text arrives as written.
    const QJsonObject c = cleanMessage(env_.writeFile("m.eml", server.message(1)));
    QCOMPARE(c["text"].toString().replace("\r\n", "\n").trimmed(), QString(body).replace("\r\n", "\n"));
  }

  // Messages pipelined over a kept session: each Send returns once its "." is written,
  // and the outcomes come in the order of the Sends, the refused one among them.
  void pipelinedMessagesKeepTheirOwnOutcomes() {
    Scripted s;
    QVERIFY(s.start("127.0.0.55", {"--ehlo", "PIPELINING", "--reply", ".#2=552 5.3.4 Message too big"}));
    auto& [server, m, log] = s;
    m.setPipelineMessages(true);
    QVERIFY(m.Connect());
    for (const char* to : {"a@kupac.hr", "b@kupac.hr", "c@kupac.hr"}) {
      m.setRecipient(to);
      m.Send();
    }
    QVERIFY(!m.Flush());
    m.Disconnect();
    QCOMPARE(log.lines.filter(QRegularExpression("^(SendSuccesful|SendFailed)")),
             QStringList({"SendSuccesful", "SendFailed: 552 5.3.4 Message too big\r\n", "SendSuccesful"}));
    QCOMPARE(server.transcript().filter("RCPT").size(), 3);
    QVERIFY(!server.message(3).isEmpty());
  }

  // In a kept session a bad address fails its message only; one that would smuggle ESMTP
  // parameters into MAIL FROM never reaches the server, whatever the validation mode.
  void bulkSessionSurvivesBadAddresses() {
    Scripted s;
    QVERIFY(s.start("127.0.0.52", {"--ehlo", "PIPELINING"}));
    auto& [server, m, log] = s;
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
    // One object for a window's life: a Send after a refused connection starts a session of its
    // own, with nothing of the failed attempt left over.
    m.setSMTPHost("127.0.0.54");
    m.Send();
    QCOMPARE(log.failures, 3);
    m.setSMTPHost(server.host);
    m.Send();
    QCOMPARE(log.successes, 3);
    QCOMPARE(server.transcript().mid(t.size()), QStringList({"EHLO velkor.hr", "MAIL FROM:<posiljatelj@velkor.hr>",
                                                             "RCPT TO:<b@kupac.hr>", "DATA", ".", "QUIT"}));
  }
};

QTEST_GUILESS_MAIN(TstSendMailScripted)
#include "tst_sendmail_scripted.moc"
