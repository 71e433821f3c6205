// The session object against real servers on loopback: SMTP (aiosmtpd), POP3 login before
// SMTP (dovecot, a password only after STLS) and DNS for a session without a host. How the
// session answers a misbehaving server is tst_sendmail_scripted's.
#include <QTimer>

#include "SendMailFixture.h"
#include "dns/DnsPeers.h"
#include "support/DovecotPeer.h"
#include "support/Fixture.h"

class TstSendMailDialogue : public QObject {
  Q_OBJECT
  TestEnv env_;
  Pop3Peer pop_{"127.0.0.14", "korisnik", "tajna"};

 private slots:
  void initTestCase() {
    QVERIFY2(pop_.start(), qPrintable(pop_.error()));
    qputenv("SSL_CERT_FILE", pop_.caFile().toUtf8());
  }

  // Every reply arrives in pieces; the login is in clear, chosen on purpose (no TLS here).
  void plainMessageEventsEnvelopeAndHeaders() {
    Session s({.host = "127.0.0.10", .authUser = "korisnik", .authPassword = "tajna lozinka", .mode = "split"});
    QVERIFY(s.start());
    s.m.setSecureConnection(0);
    s.m.setUseAuthentication(true);
    s.m.setUserName("korisnik");
    s.m.setPassword("tajna lozinka");
    s.m.setRecipient("a@kupac.hr;b@kupac.hr");
    s.m.setRecipientDisplayName("Ivan Kovačević;Ana");
    s.m.setCcRecipient("c@kupac.hr");
    s.m.setBccRecipient("tajni@kupac.hr");
    s.m.setSubject("Račun za studeni");
    s.m.setPriority(5);
    s.m.setMessage("Poštovani,\r\n.točka na početku\r\nLijep pozdrav");
    s.m.setKeepLastMessage(true);
    s.m.Send();
    QCOMPARE(s.log.statuses(), QStringList({"Connecting to SMTP Server (127.0.0.10)...", "Initializing Communications...",
                                            "Sending Login Authentication...", "Host Login OK!",
                                            "Sending Sender Information...",
                                            "Sending Recipient Information...", "Sending Message...",
                                            "Transmission Complete...", "Closing Connection..."}));
    QCOMPARE(s.log.lines.last(), QString("SendSuccesful"));
    const auto msgs = s.peer.messages();
    QCOMPARE(msgs.size(), 1);
    QCOMPARE(msgs[0].mailFrom, QString("posiljatelj@velkor.hr"));
    QCOMPARE(msgs[0].authUser + ' ' + msgs[0].authMechanism, QString("korisnik LOGIN"));
    // Bcc goes into the envelope only.
    QCOMPARE(msgs[0].rcptTos, QStringList({"a@kupac.hr", "b@kupac.hr", "c@kupac.hr", "tajni@kupac.hr"}));
    QVERIFY(!msgs[0].raw.contains("tajni"));
    QVERIFY(msgs[0].raw.contains("\r\nX-Priority: 5\r\nX-MSMail-Priority: Low\r\n"));
    QCOMPARE(s.m.lastMessage(), msgs[0].raw);  // what a copy in the Sent folder holds
    const QJsonObject c = cleanMessage(msgs[0].emlPath);
    QCOMPARE(c["subject"].toString(), QString("Račun za studeni"));
    QCOMPARE(entry(c, "to", 0, "name"), QString("Ivan Kovačević"));
    QCOMPARE(entry(c, "cc", 0, "address"), QString("c@kupac.hr"));
    // The server undid the dot-stuffing: the body arrives as written.
    QVERIFY(c["text"].toString().contains("\n.točka na početku"));
  }

  // A server that never greets runs into the time-out while the caller's events are served;
  // one that hangs up while the text is written is noticed from the closed connection.
  void serverSilentOrGoneFailsOnce_data() { boolRows("silent", "closes during DATA", "never greets"); }
  void serverSilentOrGoneFailsOnce() {
    QFETCH(bool, silent);
    Session s({.host = "127.0.0.11", .mode = silent ? "silent" : "close-in-data"});
    QVERIFY(s.start());
    s.m.setConnectTimeout(1);
    s.m.setMessageTimeout(30);
    s.m.setAttachment(env_.writeFile("veliki.bin", QByteArray(4 * 1024 * 1024, 'x')));
    int ticks = 0;
    QTimer window;  // stands for the caller's window: it must keep being served
    connect(&window, &QTimer::timeout, [&] { ++ticks; });
    window.start(20);
    s.m.Send();
    QCOMPARE(s.log.failures, 1);
    QCOMPARE(s.log.successes, 0);
    QVERIFY(s.peer.messages().isEmpty());
    QCOMPARE(s.log.statuses().contains("Initializing Communications..."), !silent);
    if (!silent) QVERIFY2(!s.log.explanation.contains("Timeout"), qPrintable(s.log.explanation));
    if (!silent) return;
    QCOMPARE(s.log.explanation, QString("Timeout dostignut: SMTP Host ne odgovara na zahtjeve\r\n"));
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
  }

  // A login is asked for, yet this server offers none: the session goes on without.
  void attachmentsArriveIntactAndProgressReaches100_data() {
    QTest::addColumn<int>("encodeType");
    QTest::addColumn<QString>("parts");  // where the parse lists the files
    QTest::addColumn<QString>("name");   // a "begin" line has no charset: plain name there
    QTest::newRow("MIME") << 0 << "attachments" << "Izvješće čćđšž.bin";
    QTest::newRow("UUEncode") << 1 << "uuencoded" << "stanje.dat";
  }
  void attachmentsArriveIntactAndProgressReaches100() {
    QFETCH(int, encodeType);
    QFETCH(QString, parts);
    QFETCH(QString, name);
    QByteArray data;  // the last uuencoded line of 14 bytes starts with "."
    for (quint32 i = 0; i < 45 * 15555 + 14; ++i) data += char((i * 7919u) % 256u);
    const QByteArray text = "prvi\nredak\n";
    const QString subject = "Izvješće " + QString(60, QChar(u'ž'));
    Session s;
    QVERIFY(s.start());
    s.m.setSecureConnection(0);
    s.m.setUseAuthentication(true);
    s.m.setEncodeType(encodeType);
    s.m.setSubject(subject);
    s.m.setMessage("U privitku.");
    s.m.setAttachment(env_.writeFile(name, data) + ";" + env_.writeFile("popis.txt", text));
    s.m.Send();
    QCOMPARE(s.log.successes, 1);
    const QStringList st = s.log.statuses();
    QVERIFY(st.indexOf("Login Not Supported by Host, Continuing...") < st.indexOf("Sending Sender Information..."));
    QVERIFY(st.contains("Login Not Supported by Host, Continuing..."));
    QVERIFY(st.contains("Sending Attachment, " + name + "..."));
    QVERIFY2(s.log.percents.size() > 3, "progress moves while the file is written");
    for (int p : s.log.percents) QVERIFY(p >= 0 && p <= 100);
    const int done = s.log.lines.indexOf("Progress: 100");
    QVERIFY(done >= 0 && done < s.log.lines.indexOf("Status: Transmission Complete..."));
    const QJsonObject c = cleanMessage(s.peer.messages().value(0).emlPath);
    QCOMPARE(c["subject"].toString(), subject);
    QCOMPARE(entry(c, parts, 0, "filename"), name);
    QCOMPARE(entry(c, parts, 0, "sha256"), sha256Of(data));
    QCOMPARE(entry(c, parts, 1, "sha256"), sha256Of(text));
  }

  void handlersCannotReenterOrChangeTheMessageInFlight() {
    Session s;
    QVERIFY(s.start());
    connect(&s.m, &mail::clsSendMail::Status, [&](const QString& st) {
      // The message on its way keeps the recipients it started with.
      if (st == "Sending Recipient Information...") s.m.setRecipient("drugi@kupac.hr;treci@kupac.hr");
      if (st == "Sending Message...") s.m.Send();
    });
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("while one is running"));
    s.m.Send();
    QCOMPARE(s.log.successes, 1);
    QCOMPARE(s.log.failures, 0);
    QCOMPARE(s.peer.messages().size(), 1);
    QCOMPARE(s.peer.messages()[0].rcptTos, QStringList{"primatelj@kupac.hr"});
    QVERIFY(!s.peer.messages()[0].raw.contains("drugi@"));
  }

  void loginBeforeSmtp_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("failure");  // how the explanation starts; empty: sent
    QTest::addColumn<int>("port");          // 110: STLS; 995: TLS from the first byte
    QTest::newRow("good login, STLS") << "127.0.0.14" << "tajna" << "" << 110;
    QTest::newRow("good login, port 995") << "127.0.0.14" << "tajna" << "" << 995;
    QTest::newRow("rejected login stops before SMTP") << "127.0.0.14" << "kriva" << "-ERR [AUTH] Authentication failed."
                                                      << 110;
    QTest::newRow("no POP3 host") << "" << "tajna" << "Pogrešan ili nedostaje POP3 Host Name\r\n" << 110;
  }
  void loginBeforeSmtp() {
    QFETCH(QString, host);
    QFETCH(QString, password);
    QFETCH(QString, failure);
    QFETCH(int, port);
    Session s({.host = "127.0.0.15"});
    QVERIFY(s.start());
    s.m.setPOP3Host(host);
    s.m.setPop3Port(port);
    s.m.setPop3Security(port == 995 ? 3 : 1);
    s.m.setUsePopAuthentication(true);
    s.m.setUserName("korisnik");
    s.m.setPassword(password);
    s.m.Send();
    const QStringList st = s.log.statuses();
    if (failure.isEmpty()) {
      QCOMPARE(s.log.explanation, QString());
      QCOMPARE(st.mid(0, 3), QStringList({"Connecting to POP3 Server (127.0.0.14)...",
                                          "POP3 Authentication Successful...",
                                          "Connecting to SMTP Server (127.0.0.15)..."}));
      QVERIFY(pop_.log().contains("Login: user=<korisnik>"));
      QCOMPARE(s.peer.messages().size(), 1);
      cleanMessage(s.peer.messages()[0].emlPath);
      return;
    }
    QCOMPARE(s.log.failures, 1);
    QVERIFY2(s.log.explanation.startsWith(failure) && s.log.explanation.endsWith("\r\n"),
             qPrintable(s.log.explanation));
    QVERIFY(!st.contains("POP3 Authentication Successful..."));
    QVERIFY(!st.contains("Connecting to SMTP Server (127.0.0.15)..."));
    QVERIFY(s.peer.messages().isEmpty());
  }

  // Without a configured host the session sends to the exchanger of the local domain
  // (velkor.test); the MX query's statuses for a given domain are velkor-sendmail --mx's.
  void emptyHostAsksDns_data() {
    QTest::addColumn<QStringList>("dns");
    QTest::addColumn<QStringList>("statuses");  // the first ones; all of them on a failure
    QTest::addColumn<QString>("explanation");
    QTest::newRow("own domain's exchanger")
        << QStringList{"--mx", "velkor.test", "10", "127.0.0.18"}
        << QStringList{"Performing MX Query", "Connecting to SMTP Server (127.0.0.18)..."} << "";
    // Reported at once, not left behind for the next Send; the status names why.
    QTest::newRow("no MX at all") << QStringList{} << QStringList{"Performing MX Query", "Domain has no MX record"}
                                  << "Pogrešan ili nedostaje SMTP Host Name\r\n";
  }
  void emptyHostAsksDns() {
    QFETCH(QStringList, dns);
    QFETCH(QString, explanation);
    useResolver(env_, "nameserver 127.0.0.19\ndomain velkor.test\n");
    PeerProcess server;
    QVERIFY(startDnsServer(server, "127.0.0.19", dns));
    Session s({.host = "127.0.0.18"});
    QVERIFY(s.start());
    s.m.setSMTPHost("");
    s.m.Send();
    QCOMPARE(s.log.successes + s.log.failures, 1);
    QCOMPARE(s.log.explanation, explanation);
    QTEST(s.log.statuses().mid(0, explanation.isEmpty() ? 2 : -1), "statuses");
    QVERIFY(s.m.pendingErrors().isEmpty());
    QCOMPARE(s.peer.messages().size(), explanation.isEmpty() ? 1 : 0);
    if (!explanation.isEmpty()) return;
    QCOMPARE(s.m.SMTPHost(), QString("127.0.0.18"));
    cleanMessage(s.peer.messages()[0].emlPath);
  }
};

QTEST_GUILESS_MAIN(TstSendMailDialogue)
#include "tst_sendmail_dialogue.moc"
