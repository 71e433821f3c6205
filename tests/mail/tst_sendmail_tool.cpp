// velkor-sendmail run as a script would run it, against real servers on loopback.
#include <QJsonArray>
#include <QProcess>
#include <QTest>

#include "SendMailFixture.h"
#include "dns/modMXQuery.h"
#include "support/PeerProcess.h"
#include "support/TestEnv.h"

namespace {

struct Run {
  int exitCode = -1;
  QString out, err;
};

Run runTool(const QStringList& args, const QStringList& env = {}) {
  QProcess p;
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  for (const QString& kv : env) e.insert(kv.section('=', 0, 0), kv.section('=', 1));
  p.setProcessEnvironment(e);
  p.start(QStringLiteral(VELKOR_BUILD_DIR "/tools/velkor-sendmail"), args);
  p.waitForFinished(60000);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
          QString::fromLocal8Bit(p.readAllStandardOutput()),
          QString::fromLocal8Bit(p.readAllStandardError())};
}

}  // namespace

class TstSendMailTool : public QObject {
  Q_OBJECT
  TestEnv env_;
  std::unique_ptr<SmtpPeer> peer_;

  QStringList base() const {
    return {"--host", "127.0.0.17", "--host-validation", "0", "--connect-timeout", "5",
            "--message-timeout", "5", "--from", "izvjestaji@velkor.hr"};
  }

 private slots:
  void initTestCase() {
    SmtpPeer::Options o;
    o.host = "127.0.0.17";
    o.authUser = "cron";
    o.authPassword = "tajna";
    o.rejectRcpt = {"nema@kupac.hr"};
    peer_ = std::make_unique<SmtpPeer>(o);
    QVERIFY2(peer_->start(), qPrintable(peer_->error()));
  }

  void sendsWhatTheOptionsSay() {
    const QString body = env_.writeFile("tijelo.txt", "Izvješće u privitku.\nPozdrav");
    const QString pdf = env_.writeFile("izvješće.pdf", QByteArray(100000, '\x9c'));
    const QString csv = env_.writeFile("stavke.csv", "a;b\n1;2\n");
    QStringList args = base();
    args << "--from-name" << "Velkor izvješća" << "--to" << "a@kupac.hr" << "--to-name"
         << "Ana Šimić" << "--cc" << "b@kupac.hr" << "--bcc" << "c@kupac.hr" << "--subject"
         << "Dnevno izvješće" << "--body-file" << body << "--attach" << pdf << "--attach"
         << csv << "--priority" << "1" << "--reply-to" << "odgovori@velkor.hr" << "--progress";
    const Run r = runTool(args);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.contains("Transmission Complete...\n"), qPrintable(r.err));
    QVERIFY(r.err.contains("100%\n"));
    const auto msgs = peer_->messages();
    QCOMPARE(msgs.size(), 1);
    QCOMPARE(msgs[0].rcptTos, QStringList({"a@kupac.hr", "b@kupac.hr", "c@kupac.hr"}));
    QVERIFY(msgs[0].raw.contains("\r\nX-Priority: 1\r\n"));
    const QJsonObject c = checkMessage(msgs[0].emlPath);
    QCOMPARE(c["problems"].toArray().size(), 0);
    QCOMPARE(c["subject"].toString(), QString("Dnevno izvješće"));
    QCOMPARE(c["to"].toArray()[0].toObject()["name"].toString(), QString("Ana Šimić"));
    QCOMPARE(c["from"].toArray()[0].toObject()["name"].toString(), QString("Velkor izvješća"));
    QCOMPARE(c["reply_to"].toArray()[0].toObject()["address"].toString(),
             QString("odgovori@velkor.hr"));
    QVERIFY(c["text"].toString().startsWith("Izvješće u privitku."));
    const QJsonArray att = c["attachments"].toArray();
    QCOMPARE(att.size(), 2);
    QCOMPARE(att[0].toObject()["filename"].toString(), QString("izvješće.pdf"));
    QCOMPARE(att[0].toObject()["sha256"].toString(), sha256Of(pdf));
    QCOMPARE(att[1].toObject()["sha256"].toString(), sha256Of(csv));
  }

  void authenticatesWithPasswordFromEnvironment() {
    const int before = peer_->messages().size();
    QStringList args = base();
    args << "--to" << "a@kupac.hr" << "--auth" << "--user" << "cron" << "--password-env"
         << "IZVJESCE_LOZINKA" << "--quiet";
    const Run r = runTool(args, {"IZVJESCE_LOZINKA=tajna"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QString());
    QCOMPARE(peer_->messages().size(), before + 1);
    QCOMPARE(peer_->messages().last().authUser, QString("cron"));
    QCOMPARE(problemsIn(*peer_), QString());
  }

  void failureGivesExplanationAndNonZero() {
    QStringList args = base();
    args << "--to" << "a@kupac.hr;nema@kupac.hr" << "--quiet";
    const Run r = runTool(args);
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err, QString("velkor-sendmail: 550 5.1.1 <nema@kupac.hr>: Recipient address "
                            "rejected: User unknown\n"));
    const Run noRecipient = runTool(base() << "--quiet");
    QCOMPARE(noRecipient.exitCode, 1);
    QCOMPARE(noRecipient.err,
             QString("velkor-sendmail: Nije unesena E-mail adresa primatelja\n"));
  }

  void badCommandLine() {
    QCOMPARE(runTool(base() << "--port" << "dvadeset").exitCode, 2);
    QCOMPARE(runTool(base() << "--encode" << "yenc").exitCode, 2);
    QCOMPARE(runTool(base() << "--nepostojeca").exitCode, 2);
    QCOMPARE(runTool(base() << "--body-file" << env_.path("nema.txt")).exitCode, 2);
  }

  void printsMailExchanger() {
    PeerProcess dns;
    QVERIFY(dns.start("/usr/bin/python3",
                      {SmtpPeer::scriptPath("dns_server.py"), "--address", "127.0.0.17", "--mx",
                       "kupac.hr", "10", "mx1.kupac.hr", "--mx", "kupac.hr", "5", "mx0.kupac.hr"},
                      PeerReadiness::onOutput("READY")));
    env_.writeFile("resolv.conf", "nameserver 127.0.0.17\n");
    const Run r = runTool({"--mx", "kupac.hr"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QString("mx0.kupac.hr\n"));
    QCOMPARE(r.err, QString("Performing MX Query, Domain: kupac.hr\n"));
    const Run bad = runTool({"--mx", "hr"});
    QCOMPARE(bad.exitCode, 3);
    QCOMPARE(bad.out, QString());
    QVERIFY(bad.err.endsWith("No Valid Domain Specified\n"));
  }
};

QTEST_GUILESS_MAIN(TstSendMailTool)
#include "tst_sendmail_tool.moc"
