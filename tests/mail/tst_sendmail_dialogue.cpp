// The session object against a real SMTP server (aiosmtpd) on loopback.
#include <QElapsedTimer>
#include <QJsonArray>
#include <QTest>
#include <QTimer>

#include "SendMailFixture.h"
#include "support/TestEnv.h"

class TstSendMailDialogue : public QObject {
  Q_OBJECT
  TestEnv env_;

  static SmtpPeer::Options peerAt(const char* host) {
    SmtpPeer::Options o;
    o.host = QString::fromLatin1(host);
    return o;
  }

 private slots:
  void plainMessageEventsAndEnvelope();
  void bccInEnvelopeOnly();
  void authLoginAccepted();
  void authLoginRejected();
  void authNotOfferedContinues();
  void rejectedRecipientReportsServerReply();
  void silentServerTimesOutWhileEventsRun();
  void serverClosingDuringDataFailsOnce();
  void keepConnectionSharesOneSession();
  void sessionReopensAfterServerHangsUp();
  void repliesInPiecesAreReassembled();
  void attachmentsArriveIntactAndProgressReaches100();
  void uuencodedAttachmentArrivesIntact();
  void handlersCannotReenterOrChangeTheMessageInFlight();
  void lineBreakInAddressNeverReachesServer();
  void refusedConnectionFailsAtOnce();
};

void TstSendMailDialogue::plainMessageEventsAndEnvelope() {
  SmtpPeer peer(peerAt("127.0.0.10"));
  QVERIFY2(peer.start(), qPrintable(peer.error()));
  clsSendMail m;
  EventLog log(m);
  aimAt(m, peer);
  m.setRecipient("primatelj@kupac.hr");
  m.setRecipientDisplayName("Ivan Kovačević");
  m.setSubject("Račun za studeni");
  m.setMessage("Poštovani,\r\n.točka na početku\r\nLijep pozdrav");
  m.Send();

  QCOMPARE(log.statuses(), QStringList({"Connecting to SMTP Server (127.0.0.10)...",
                                        "Initializing Communications...",
                                        "Sending Sender Information...",
                                        "Sending Recipient Information...",
                                        "Sending Message...",
                                        "Transmission Complete...",
                                        "Closing Connection..."}));
  QCOMPARE(log.lines.last(), QString("SendSuccesful"));
  QCOMPARE(log.failures, 0);
  QCOMPARE(log.percents.last(), 100);

  const auto msgs = peer.messages();
  QCOMPARE(msgs.size(), 1);
  QCOMPARE(msgs[0].mailFrom, QString("posiljatelj@velkor.hr"));
  QCOMPARE(msgs[0].rcptTos, QStringList{"primatelj@kupac.hr"});
  const QJsonObject c = checkMessage(msgs[0].emlPath);
  QCOMPARE(c["problems"].toArray().size(), 0);
  QCOMPARE(c["subject"].toString(), QString("Račun za studeni"));
  QCOMPARE(c["to"].toArray()[0].toObject()["name"].toString(), QString("Ivan Kovačević"));
  // Dot-stuffing was undone by the server: the body arrives as written.
  QVERIFY(c["text"].toString().contains("\n.točka na početku"));
  QCOMPARE(problemsIn(peer), QString());
}

void TstSendMailDialogue::bccInEnvelopeOnly() {
  SmtpPeer peer(peerAt("127.0.0.10"));
  QVERIFY2(peer.start(), qPrintable(peer.error()));
  clsSendMail m;
  EventLog log(m);
  aimAt(m, peer);
  m.setRecipient("a@kupac.hr;b@kupac.hr");
  m.setCcRecipient("c@kupac.hr");
  m.setBccRecipient("tajni@kupac.hr");
  m.setMessage("x");
  m.Send();
  QCOMPARE(log.successes, 1);
  const auto msgs = peer.messages();
  QCOMPARE(msgs.size(), 1);
  QCOMPARE(msgs[0].rcptTos,
           QStringList({"a@kupac.hr", "b@kupac.hr", "c@kupac.hr", "tajni@kupac.hr"}));
  QVERIFY(!msgs[0].raw.contains("tajni"));
  const QJsonObject c = checkMessage(msgs[0].emlPath);
  QCOMPARE(c["to"].toArray().size(), 2);
  QCOMPARE(c["cc"].toArray()[0].toObject()["address"].toString(), QString("c@kupac.hr"));
  QVERIFY(!c["headers"].toVariant().toStringList().contains("Bcc", Qt::CaseInsensitive));
  QCOMPARE(problemsIn(peer), QString());
}

void TstSendMailDialogue::authLoginAccepted() {
  SmtpPeer::Options o = peerAt("127.0.0.10");
  o.authUser = "korisnik";
  o.authPassword = "tajna lozinka";
  SmtpPeer peer(o);
  QVERIFY2(peer.start(), qPrintable(peer.error()));
  clsSendMail m;
  EventLog log(m);
  aimAt(m, peer);
  m.setUseAuthentication(true);
  m.setUserName("korisnik");
  m.setPassword("tajna lozinka");
  m.setRecipient("primatelj@kupac.hr");
  m.Send();
  QCOMPARE(log.successes, 1);
  const QStringList s = log.statuses();
  QVERIFY(s.indexOf("Sending Login Authentication...") > s.indexOf("Initializing Communications..."));
  QVERIFY(s.indexOf("Host Login OK!") < s.indexOf("Sending Sender Information..."));
  QVERIFY(s.contains("Host Login OK!"));
  QCOMPARE(peer.messages().value(0).authUser, QString("korisnik"));
  QCOMPARE(problemsIn(peer), QString());
}

void TstSendMailDialogue::authLoginRejected() {
  SmtpPeer::Options o = peerAt("127.0.0.10");
  o.authUser = "korisnik";
  o.authPassword = "tajna";
  SmtpPeer peer(o);
  QVERIFY2(peer.start(), qPrintable(peer.error()));
  clsSendMail m;
  EventLog log(m);
  aimAt(m, peer);
  m.setUseAuthentication(true);
  m.setUserName("korisnik");
  m.setPassword("kriva");
  m.setRecipient("primatelj@kupac.hr");
  m.Send();
  QCOMPARE(log.successes, 0);
  QCOMPARE(log.failures, 1);
  QVERIFY2(log.explanation.startsWith("535 "), qPrintable(log.explanation));
  QVERIFY(log.explanation.endsWith("\r\n"));
  QVERIFY(log.statuses().contains("Host Login Failed!"));
  QVERIFY(!log.statuses().contains("Sending Sender Information..."));
  QVERIFY(peer.messages().isEmpty());
}

void TstSendMailDialogue::authNotOfferedContinues() {
  SmtpPeer peer(peerAt("127.0.0.10"));  // no user: no AUTH in the EHLO answer
  QVERIFY2(peer.start(), qPrintable(peer.error()));
  clsSendMail m;
  EventLog log(m);
  aimAt(m, peer);
  m.setUseAuthentication(true);
  m.setUserName("korisnik");
  m.setRecipient("primatelj@kupac.hr");
  m.Send();
  QCOMPARE(log.explanation, QString());
  QCOMPARE(log.successes, 1);
  QVERIFY(log.statuses().contains("Login Not Supported by Host, Continuing..."));
  QVERIFY(!log.statuses().contains("Sending Login Authentication..."));
  QCOMPARE(peer.messages().value(0).authUser, QString());
  QCOMPARE(problemsIn(peer), QString());
}

void TstSendMailDialogue::rejectedRecipientReportsServerReply() {
  SmtpPeer::Options o = peerAt("127.0.0.12");
  o.rejectRcpt = {"nema@kupac.hr"};
  SmtpPeer peer(o);
  QVERIFY2(peer.start(), qPrintable(peer.error()));
  clsSendMail m;
  EventLog log(m);
  aimAt(m, peer);
  m.setRecipient("ima@kupac.hr;nema@kupac.hr;treci@kupac.hr");
  m.Send();
  QCOMPARE(log.failures, 1);
  QCOMPARE(log.successes, 0);
  QCOMPARE(log.explanation,
           QString("550 5.1.1 <nema@kupac.hr>: Recipient address rejected: User unknown\r\n"));
  // The failure closes the session: SendFailed first, then the closing.
  const int failed = log.lines.indexOf("SendFailed: " + log.explanation);
  QCOMPARE(log.lines.indexOf("Status: Closing Connection..."), failed + 1);
  QVERIFY(peer.messages().isEmpty());
  // The error list was emptied by the report: a clean Send goes through.
  m.setRecipient("ima@kupac.hr");
  m.Send();
  QCOMPARE(log.successes, 1);
  QCOMPARE(peer.messages().size(), 1);
  QCOMPARE(problemsIn(peer), QString());
}

void TstSendMailDialogue::silentServerTimesOutWhileEventsRun() {
  SmtpPeer::Options o = peerAt("127.0.0.11");
  o.mode = "silent";
  SmtpPeer peer(o);
  QVERIFY2(peer.start(), qPrintable(peer.error()));
  clsSendMail m;
  EventLog log(m);
  aimAt(m, peer);
  m.setConnectTimeout(1);
  m.setRecipient("primatelj@kupac.hr");
  int ticks = 0;
  QTimer window;  // stands for the caller's window: it must keep being served
  connect(&window, &QTimer::timeout, [&] { ++ticks; });
  window.start(20);
  m.Send();
  QCOMPARE(log.failures, 1);
  QCOMPARE(log.explanation, QString("Timeout dostignut: SMTP Host ne odgovara na zahtjeve\r\n"));
  QVERIFY(!log.statuses().contains("Initializing Communications..."));
  QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
}

void TstSendMailDialogue::serverClosingDuringDataFailsOnce() {
  SmtpPeer::Options o = peerAt("127.0.0.11");
  o.mode = "close-in-data";
  SmtpPeer peer(o);
  QVERIFY2(peer.start(), qPrintable(peer.error()));
  const QString big = env_.writeFile("veliki.bin", QByteArray(4 * 1024 * 1024, 'x'));
  clsSendMail m;
  EventLog log(m);
  aimAt(m, peer);
  m.setMessageTimeout(30);
  m.setRecipient("primatelj@kupac.hr");
  m.setAttachment(big);
  QElapsedTimer t;
  t.start();
  m.Send();
  QCOMPARE(log.failures, 1);
  QCOMPARE(log.successes, 0);
  // Noticed from the closed connection, not by running into the time-out.
  QVERIFY2(!log.explanation.contains("Timeout"), qPrintable(log.explanation));
  QVERIFY(t.elapsed() < 20000);
  QVERIFY(peer.messages().isEmpty());
}

void TstSendMailDialogue::keepConnectionSharesOneSession() {
  SmtpPeer peer(peerAt("127.0.0.10"));
  QVERIFY2(peer.start(), qPrintable(peer.error()));
  clsSendMail m;
  EventLog log(m);
  aimAt(m, peer);
  QVERIFY(m.Connect());
  for (int i = 1; i <= 3; ++i) {
    m.setRecipient(QString("kupac%1@kupac.hr").arg(i));
    m.setRecipientDisplayName(QString("Kupac %1").arg(i));
    m.setSubject(QString("Poruka %1").arg(i));
    m.Send();
  }
  QCOMPARE(log.successes, 3);
  QCOMPARE(log.statuses().count("Closing Connection..."), 0);
  QCOMPARE(log.statuses().count("Connecting to SMTP Server (127.0.0.10)..."), 1);
  m.Disconnect();
  QCOMPARE(log.statuses().count("Closing Connection..."), 1);
  const auto msgs = peer.messages();
  QCOMPARE(msgs.size(), 3);
  for (int i = 0; i < 3; ++i) {
    QCOMPARE(msgs[i].session, msgs[0].session);
    QCOMPARE(msgs[i].rcptTos, QStringList{QString("kupac%1@kupac.hr").arg(i + 1)});
  }
  // After Disconnect a Send opens and closes its own session.
  m.Send();
  QCOMPARE(peer.messages().size(), 4);
  QVERIFY(peer.messages()[3].session != msgs[0].session);
  QCOMPARE(problemsIn(peer), QString());
}

void TstSendMailDialogue::sessionReopensAfterServerHangsUp() {
  auto peer = std::make_unique<SmtpPeer>(peerAt("127.0.0.10"));
  QVERIFY2(peer->start(), qPrintable(peer->error()));
  clsSendMail m;
  EventLog log(m);
  aimAt(m, *peer);
  m.setRecipient("kupac@kupac.hr");
  QVERIFY(m.Connect());
  peer.reset();  // the server goes away while the session is idle
  SmtpPeer again(peerAt("127.0.0.10"));
  QVERIFY2(again.start(), qPrintable(again.error()));
  m.Send();
  QCOMPARE(log.failures, 0);
  QCOMPARE(log.successes, 1);
  QCOMPARE(again.messages().size(), 1);
  m.Disconnect();
  QCOMPARE(problemsIn(again), QString());
}

void TstSendMailDialogue::repliesInPiecesAreReassembled() {
  SmtpPeer::Options o = peerAt("127.0.0.11");
  o.mode = "split";
  o.authUser = "korisnik";
  o.authPassword = "tajna";
  SmtpPeer peer(o);
  QVERIFY2(peer.start(), qPrintable(peer.error()));
  clsSendMail m;
  EventLog log(m);
  aimAt(m, peer);
  m.setUseAuthentication(true);
  m.setUserName("korisnik");
  m.setPassword("tajna");
  m.setRecipient("primatelj@kupac.hr");
  m.Send();
  QCOMPARE(log.failures, 0);
  QCOMPARE(log.successes, 1);
  QVERIFY(log.statuses().contains("Host Login OK!"));
  QCOMPARE(peer.messages().size(), 1);
  QCOMPARE(problemsIn(peer), QString());
}

void TstSendMailDialogue::attachmentsArriveIntactAndProgressReaches100() {
  SmtpPeer peer(peerAt("127.0.0.10"));
  QVERIFY2(peer.start(), qPrintable(peer.error()));
  QByteArray data;
  for (quint32 i = 0; i < 700000; ++i) data += char((i * 7919u) % 256u);
  const QString bin = env_.writeFile("Izvješće čćđšž.bin", data);
  const QString txt = env_.writeFile("popis.txt", "prvi\nredak\n");
  clsSendMail m;
  EventLog log(m);
  aimAt(m, peer);
  m.setRecipient("primatelj@kupac.hr");
  m.setSubject(QString("Izvješće ") + QString(60, QChar(u'ž')));
  m.setMessage("U privitku.");
  m.setAttachment(bin + ";" + txt);
  m.Send();
  QCOMPARE(log.successes, 1);
  const QStringList s = log.statuses();
  QVERIFY(s.contains("Sending Attachment, Izvješće čćđšž.bin..."));
  QVERIFY(s.contains("Sending Attachment, popis.txt..."));
  QVERIFY2(log.percents.size() > 3, "progress moves while the file is written");
  for (int p : log.percents) QVERIFY(p >= 0 && p <= 100);
  QCOMPARE(log.percents.last(), 100);
  QVERIFY(log.lines.indexOf("Progress: 100") < log.lines.indexOf("Status: Transmission Complete..."));

  const QJsonObject c = checkMessage(peer.messages().value(0).emlPath);
  QCOMPARE(c["problems"].toArray().size(), 0);
  QCOMPARE(c["subject"].toString(), QString("Izvješće ") + QString(60, QChar(u'ž')));
  const QJsonArray att = c["attachments"].toArray();
  QCOMPARE(att.size(), 2);
  QCOMPARE(att[0].toObject()["filename"].toString(), QString("Izvješće čćđšž.bin"));
  QCOMPARE(att[0].toObject()["sha256"].toString(), sha256Of(bin));
  QCOMPARE(att[1].toObject()["sha256"].toString(), sha256Of(txt));
  QCOMPARE(problemsIn(peer), QString());
}

void TstSendMailDialogue::uuencodedAttachmentArrivesIntact() {
  SmtpPeer peer(peerAt("127.0.0.10"));
  QVERIFY2(peer.start(), qPrintable(peer.error()));
  QByteArray data;
  for (quint32 i = 0; i < 5000; ++i) data += char((i * 131u) % 256u);
  const QString bin = env_.writeFile("stanje.dat", data);
  clsSendMail m;
  EventLog log(m);
  aimAt(m, peer);
  m.setEncodeType(1);
  m.setRecipient("primatelj@kupac.hr");
  m.setMessage("Stanje u privitku.");
  m.setAttachment(bin);
  m.Send();
  QCOMPARE(log.successes, 1);
  const QJsonObject c = checkMessage(peer.messages().value(0).emlPath);
  QCOMPARE(c["problems"].toArray().size(), 0);
  const QJsonArray uu = c["uuencoded"].toArray();
  QCOMPARE(uu.size(), 1);
  QCOMPARE(uu[0].toObject()["filename"].toString(), QString("stanje.dat"));
  QCOMPARE(uu[0].toObject()["sha256"].toString(), sha256Of(bin));
}

void TstSendMailDialogue::handlersCannotReenterOrChangeTheMessageInFlight() {
  SmtpPeer peer(peerAt("127.0.0.10"));
  QVERIFY2(peer.start(), qPrintable(peer.error()));
  clsSendMail m;
  EventLog log(m);
  aimAt(m, peer);
  m.setRecipient("primatelj@kupac.hr");
  bool nestedConnect = true;
  connect(&m, &clsSendMail::Status, [&](const QString& s) {
    // The message on its way keeps the recipients it started with.
    if (s == "Sending Recipient Information...") m.setRecipient("drugi@kupac.hr;treci@kupac.hr");
    if (s != "Sending Message...") return;
    m.Send();
    nestedConnect = m.Connect();
    m.Disconnect();
  });
  QTest::ignoreMessage(QtWarningMsg, QRegularExpression("while one is running"));
  QTest::ignoreMessage(QtWarningMsg, QRegularExpression("while one is running"));
  QTest::ignoreMessage(QtWarningMsg, QRegularExpression("while one is running"));
  m.Send();
  QVERIFY(!nestedConnect);
  QCOMPARE(log.successes, 1);
  QCOMPARE(log.failures, 0);
  QCOMPARE(peer.messages().size(), 1);
  QCOMPARE(peer.messages()[0].rcptTos, QStringList{"primatelj@kupac.hr"});
  QVERIFY(!peer.messages()[0].raw.contains("drugi@"));
  QCOMPARE(problemsIn(peer), QString());
}

void TstSendMailDialogue::lineBreakInAddressNeverReachesServer() {
  SmtpPeer peer(peerAt("127.0.0.10"));
  QVERIFY2(peer.start(), qPrintable(peer.error()));
  clsSendMail m;
  EventLog log(m);
  aimAt(m, peer);
  m.setEmailAddressValidation(0);  // even with the address check off
  m.setRecipient("primatelj@kupac.hr\nRCPT TO: <krivac@drugi.hr>");
  m.Send();
  QCOMPARE(log.failures, 1);
  QCOMPARE(log.explanation, QString("Pogrešna ili nedostaje E-mail adresa primatelja\r\n"));
  QVERIFY(!log.statuses().contains("Connecting to SMTP Server (127.0.0.10)..."));
  m.setRecipient("primatelj@kupac.hr");
  m.setFrom("posiljatelj@velkor.hr\r\nDATA");
  m.Send();
  QCOMPARE(log.failures, 2);
  QCOMPARE(log.explanation, QString("Pogrešna ili nedostaje E-mail adresa pošiljatelja\r\n"));
  QVERIFY(peer.messages().isEmpty());
}

void TstSendMailDialogue::refusedConnectionFailsAtOnce() {
  clsSendMail m;  // nothing listens on 127.0.0.13:25
  EventLog log(m);
  m.setSMTPHostValidation(0);
  m.setSMTPHost("127.0.0.13");
  m.setFrom("posiljatelj@velkor.hr");
  m.setRecipient("primatelj@kupac.hr");
  QVERIFY(!m.Connect());
  QCOMPARE(log.failures, 1);
  QCOMPARE(log.explanation, QString("Connection refused\r\n"));
  QCOMPARE(log.statuses().count("Connecting to SMTP Server (127.0.0.13)..."), 1);
}

QTEST_GUILESS_MAIN(TstSendMailDialogue)
#include "tst_sendmail_dialogue.moc"
