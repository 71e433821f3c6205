// The session object against a real SMTP server (aiosmtpd) on loopback.
#include <QTest>
#include <QTimer>

#include "MessageCheck.h"
#include "SendMailFixture.h"
#include "support/TestEnv.h"

class TstSendMailDialogue : public QObject {
  Q_OBJECT
  TestEnv env_;

 private slots:
  void plainMessageEventsEnvelopeAndHeaders() {
    Session s;
    QVERIFY(s.start());
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
                                            "Sending Sender Information...", "Sending Recipient Information...",
                                            "Sending Message...", "Transmission Complete...", "Closing Connection..."}));
    QCOMPARE(s.log.lines.last(), QString("SendSuccesful"));
    const auto msgs = s.peer.messages();
    QCOMPARE(msgs.value(0).mailFrom, QString("posiljatelj@velkor.hr"));
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

  // A refused login is the scripted dialogue's; here a real server reading replies in pieces.
  void authentication_data() {
    QTest::addColumn<QString>("serverUser");  // empty: no AUTH offered
    QTest::addColumn<QString>("status");
    QTest::newRow("accepted") << "korisnik" << "Host Login OK!";
    QTest::newRow("not offered") << "" << "Login Not Supported by Host, Continuing...";
  }
  void authentication() {
    QFETCH(QString, serverUser);
    QFETCH(QString, status);
    // every reply arrives in pieces
    Session s({.host = "127.0.0.10", .authUser = serverUser, .authPassword = "tajna lozinka", .mode = "split"});
    QVERIFY(s.start());
    s.m.setSecureConnection(0);  // this server has no TLS: a login in clear, chosen on purpose
    s.m.setUseAuthentication(true);
    s.m.setUserName("korisnik");
    s.m.setPassword("tajna lozinka");
    s.m.Send();
    const QStringList st = s.log.statuses();
    QVERIFY2(st.contains(status), qPrintable(st.join('|')));
    QCOMPARE(s.log.explanation, QString());
    QCOMPARE(s.log.successes, 1);
    QVERIFY(st.indexOf(status) < st.indexOf("Sending Sender Information..."));
    QCOMPARE(s.peer.messages().size(), 1);
    QCOMPARE(s.peer.messages()[0].authUser, serverUser);
    if (!serverUser.isEmpty()) QCOMPARE(s.peer.messages()[0].authMechanism, QString("LOGIN"));
  }

  void rejectedRecipientReportsServerReply() {
    Session s({.host = "127.0.0.12", .rejectRcpt = {"nema@kupac.hr"}});
    QVERIFY(s.start());
    s.m.setRecipient("ima@kupac.hr;nema@kupac.hr;treci@kupac.hr");
    s.m.Send();
    QCOMPARE(s.log.successes, 0);
    QCOMPARE(s.log.explanation,
             QString("550 5.1.1 <nema@kupac.hr>: Recipient address rejected: User unknown\r\n"));
    // The failure closes the session: SendFailed first, then the closing.
    const int failed = s.log.lines.indexOf("SendFailed: " + s.log.explanation);
    QCOMPARE(s.log.lines.indexOf("Status: Closing Connection..."), failed + 1);
    QVERIFY(s.peer.messages().isEmpty());
  }

  void silentServerTimesOutWhileEventsRun() {
    Session s({.host = "127.0.0.11", .mode = "silent"});
    QVERIFY(s.start());
    s.m.setConnectTimeout(1);
    int ticks = 0;
    QTimer window;  // stands for the caller's window: it must keep being served
    connect(&window, &QTimer::timeout, [&] { ++ticks; });
    window.start(20);
    s.m.Send();
    QCOMPARE(s.log.failures, 1);
    QCOMPARE(s.log.explanation, QString("Timeout dostignut: SMTP Host ne odgovara na zahtjeve\r\n"));
    QVERIFY(!s.log.statuses().contains("Initializing Communications..."));
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
  }

  void serverClosingDuringDataFailsOnce() {
    Session s({.host = "127.0.0.11", .mode = "close-in-data"});
    QVERIFY(s.start());
    s.m.setMessageTimeout(30);
    s.m.setAttachment(env_.writeFile("veliki.bin", QByteArray(4 * 1024 * 1024, 'x')));
    s.m.Send();
    QCOMPARE(s.log.failures, 1);
    QCOMPARE(s.log.successes, 0);
    // Noticed from the closed connection, not by running into the time-out.
    QVERIFY2(!s.log.explanation.contains("Timeout"), qPrintable(s.log.explanation));
    QVERIFY(s.peer.messages().isEmpty());
  }

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
    s.m.setEncodeType(encodeType);
    s.m.setSubject(subject);
    s.m.setMessage("U privitku.");
    s.m.setAttachment(env_.writeFile(name, data) + ";" + env_.writeFile("popis.txt", text));
    s.m.Send();
    QCOMPARE(s.log.successes, 1);
    QVERIFY(s.log.statuses().contains("Sending Attachment, " + name + "..."));
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
};

QTEST_GUILESS_MAIN(TstSendMailDialogue)
#include "tst_sendmail_dialogue.moc"
