// velkor-sendmail run as a script would run it, against real servers on loopback.

#include "SendMailFixture.h"
#include "dns/DnsPeers.h"

namespace {

struct Run {
  int exitCode = -1;
  QString out, err;
};

Run runTool(const QStringList& args) {
  QProcess p;
  p.start(VELKOR_BUILD_DIR "/tools/velkor-sendmail", args);
  p.waitForFinished(60000);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAllStandardOutput()),
          QString::fromLocal8Bit(p.readAllStandardError())};
}

QStringList base() {
  return {"--host", "127.0.0.17", "--host-validation", "0", "--connect-timeout", "5",
          "--message-timeout", "5", "--from", "izvjestaji@velkor.hr"};
}

}  // namespace

class TstSendMailTool : public QObject {
  Q_OBJECT
  TestEnv env_;
  SmtpPeer peer_{{.host = "127.0.0.17", .authUser = "cron", .authPassword = "tajna"}};

 private slots:
  void initTestCase() { QVERIFY2(peer_.start(), qPrintable(peer_.error())); }

  void sendsWhatTheOptionsSay() {
    const QByteArray pdf(100000, '\x9c');
    qputenv("IZVJESCE_LOZINKA", "tajna");
    const Run r = runTool(base() << "--from-name" << "Velkor izvješća" << "--to" << "a@kupac.hr" << "--to-name"
                                 << "Ana Šimić" << "--cc" << "b@kupac.hr" << "--bcc" << "c@kupac.hr" << "--subject"
                                 << "Dnevno izvješće" << "--body-file"
                                 << env_.writeFile("tijelo.txt", "Izvješće u privitku.\nPozdrav") << "--attach"
                                 << env_.writeFile("izvješće.pdf", pdf) << "--priority" << "1" << "--reply-to"
                                 << "odgovori@velkor.hr" << "--progress" << "--auth" << "--user" << "cron"
                                 << "--password-env" << "IZVJESCE_LOZINKA" << "--tls" << "none");
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.contains("Transmission Complete...\n") && r.err.contains("100%\n"), qPrintable(r.err));
    const auto msgs = peer_.messages();
    QCOMPARE(msgs.size(), 1);
    QCOMPARE(msgs[0].authUser, QString("cron"));
    QCOMPARE(msgs[0].rcptTos, QStringList({"a@kupac.hr", "b@kupac.hr", "c@kupac.hr"}));
    QVERIFY(msgs[0].raw.contains("\r\nX-Priority: 1\r\nX-MSMail-Priority: High\r\n"));
    const QJsonObject c = cleanMessage(msgs[0].emlPath);
    QCOMPARE(c["subject"].toString(), QString("Dnevno izvješće"));
    QCOMPARE(entry(c, "to", 0, "name"), QString("Ana Šimić"));
    QCOMPARE(entry(c, "from", 0, "name"), QString("Velkor izvješća"));
    QCOMPARE(entry(c, "reply_to", 0, "address"), QString("odgovori@velkor.hr"));
    QVERIFY(c["text"].toString().startsWith("Izvješće u privitku."));
    QCOMPARE(entry(c, "attachments", 0, "filename"), QString("izvješće.pdf"));
    QCOMPARE(entry(c, "attachments", 0, "sha256"), sha256Of(pdf));
  }

  void exitCodes_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");  // empty: not compared
    // A misbehaving server in place of the capture ("--down": none at all); empty: the capture.
    // How the engine classes each failure is tst_sendmail_scripted's; here the exit code.
    QTest::addColumn<QStringList>("scripted");
    QTest::newRow("no recipient") << QStringList{} << 1
                                  << "velkor-sendmail: Nije unesena E-mail adresa primatelja\n" << QStringList{};
    QTest::newRow("port not a number") << QStringList{"--port", "dvadeset"} << 2 << "" << QStringList{};
    QTest::newRow("unknown option") << QStringList{"--nepostojeca"} << 2 << "" << QStringList{};
    QTest::newRow("missing body file") << QStringList{"--body-file", "/nonexistent/nema.txt"} << 2 << "" << QStringList{};
    QTest::newRow("TLS required, not offered") << QStringList{"--to", "a@kupac.hr", "--tls", "require"} << 1
        << "velkor-sendmail: TLS required, but the server does not offer STARTTLS\n" << QStringList{};
    QTest::newRow("unknown TLS mode") << QStringList{"--to", "a@kupac.hr", "--tls", "uvijek"} << 2 << "" << QStringList{};
    const QStringList to{"--to", "a@kupac.hr"};
    QTest::newRow("accepted") << to << 0 << "" << QStringList{"--ehlo", "PIPELINING"};
    QTest::newRow("refused for good") << to << 1 << "velkor-sendmail: 550 5.7.1 Relaying denied\n"
                                      << QStringList{"--reply", "RCPT=550 5.7.1 Relaying denied"};
    QTest::newRow("greylisted: later") << to << 75 << "" << QStringList{"--reply", "RCPT=450 4.2.0 Greylisted"};
    QTest::newRow("connection refused: later") << to << 75 << "" << QStringList{"--down"};
  }
  void exitCodes() {
    QFETCH(QStringList, args);
    QFETCH(QString, err);
    QFETCH(QStringList, scripted);
    const int before = peer_.messages().size();
    ScriptedSmtp server;
    server.host = "127.0.0.57";
    if (!scripted.isEmpty() && !scripted.contains("--down")) QVERIFY(server.start(scripted));
    QStringList all = base() + args << "--quiet";
    if (!scripted.isEmpty()) all[1] = server.host;
    const Run r = runTool(all);
    QTEST(r.exitCode, "exitCode");
    if (!err.isEmpty()) QCOMPARE(r.err, err);
    QCOMPARE(peer_.messages().size(), before);
  }

  void printsMailExchanger() {
    PeerProcess dns;
    QVERIFY(startDnsServer(dns, "127.0.0.17",
                           {"--mx", "kupac.hr", "10", "mx1.kupac.hr", "--mx", "kupac.hr", "5", "mx0.kupac.hr"}));
    env_.writeFile("resolv.conf", "nameserver 127.0.0.17\n");
    const Run r = runTool({"--mx", "kupac.hr"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QString("mx0.kupac.hr\n"));
    QCOMPARE(r.err, QString("Performing MX Query, Domain: kupac.hr\n"));
    const Run bad = runTool({"--mx", " hr "});
    QCOMPARE(bad.exitCode, 3);
    QCOMPARE(bad.out, QString());
    QCOMPARE(bad.err, QString("Performing MX Query, Domain: hr\nNo Valid Domain Specified\n"));
  }
};

QTEST_GUILESS_MAIN(TstSendMailTool)
#include "tst_sendmail_tool.moc"
