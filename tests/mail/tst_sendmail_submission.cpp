// Sending through a real submission server (dovecot, port 587, STARTTLS before AUTH) that
// relays to a capture server. A server that hides STARTTLS is tst_sendmail_scripted's.
#include <QTest>

#include "MessageCheck.h"
#include "SendMailFixture.h"
#include "support/DovecotPeer.h"
#include "support/TestEnv.h"

namespace {
const QString kPassword = QStringLiteral("Lozinka-čćžšđ");
const QString kFromName = QStringLiteral("Prodaja Velkor d.o.o. – Čakovec");
}  // namespace

class TstSendMailSubmission : public QObject {
  Q_OBJECT
  TestEnv env_;
  SubmissionPeer server_{"127.0.0.160", "127.0.0.161", "prodaja@velkor.hr", kPassword};
  PeerProcess introspection_;

 private slots:
  void initTestCase() {
    QVERIFY2(introspection_.start("/usr/bin/python3",
                                  {SmtpPeer::scriptPath("oauth_server.py"), "--host", "127.0.0.163", "--client",
                                   "velkor-test", "--user", "prodaja@velkor.hr", "--token", "pristupni-token-1"},
                                  PeerReadiness::onOutput("READY")),
             qPrintable(introspection_.errorString()));
    server_.enableOAuth("http://127.0.0.163:8080/introspect");
    QVERIFY2(server_.start(), qPrintable(server_.error()));
    qputenv("SSL_CERT_FILE", server_.caFile().toUtf8());
  }

  void submit_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("password");  // "token:…": an OAuth 2.0 access token instead
    QTest::addColumn<QString>("failure");  // how the explanation starts; empty: sent
    QTest::addColumn<int>("replyCode");    // lastReplyCode()
    QTest::newRow("STARTTLS, then login") << "127.0.0.160" << kPassword << "" << 0;
    QTest::newRow("wrong password") << "127.0.0.160" << "Lozinka-cczsd" << "535 5.7.8 Authentication failed." << 535;
    QTest::newRow("OAuth 2.0 token") << "127.0.0.160" << "token:pristupni-token-1" << "" << 0;
    QTest::newRow("OAuth 2.0 token refused") << "127.0.0.160" << "token:istekli-token" << "{" << 535;
  }
  void submit() {
    QFETCH(QString, host);
    QFETCH(QString, password);
    QFETCH(QString, failure);
    QFETCH(int, replyCode);
    const int before = server_.capture().messages().size();
    const QByteArray pdf = "%PDF-1.4\n1 0 obj<</Type/Catalog>>endobj\ntrailer<</Root 1 0 R>>\n%%EOF\n";
    clsSendMail m;
    EventLog log(m);
    aim(m, host, 587, 10);
    m.setFrom("prodaja@velkor.hr");
    m.setFromDisplayName(kFromName);
    m.setSubject("Ponuda 12/2026");
    m.setMessage("Poštovani, u privitku je ponuda.");
    m.setAttachment(env_.writeFile("Ponuda 12-2026.pdf", pdf));
    m.setUseAuthentication(true);
    m.setUserName("prodaja@velkor.hr");
    if (password.startsWith("token:")) m.setOAuthToken(password.mid(6));
    else m.setPassword(password);
    m.Send();
    if (failure.isEmpty()) {
      QCOMPARE(log.explanation, QString());
      QCOMPARE(m.lastReplyCode(), replyCode);
      QVERIFY(server_.capture().waitForMessages(before + 1));
      const QJsonObject c = cleanMessage(server_.capture().messages().at(before).emlPath);
      QCOMPARE(entry(c, "from", 0, "name"), kFromName);
      QCOMPARE(entry(c, "attachments", 0, "filename"), QString("Ponuda 12-2026.pdf"));
      QCOMPARE(entry(c, "attachments", 0, "sha256"), sha256Of(pdf));
      QVERIFY(server_.log().contains("Login: user=<prodaja@velkor.hr>, method="));
      return;
    }
    QCOMPARE(log.failures, 1);
    QCOMPARE(server_.capture().messages().size(), before);
    QVERIFY2(log.explanation.startsWith(failure), qPrintable(log.explanation));
    QCOMPARE(m.lastReplyCode(), replyCode);
    QVERIFY(!m.lastFailureTemporary());
  }
};

QTEST_GUILESS_MAIN(TstSendMailSubmission)
#include "tst_sendmail_submission.moc"
