// The SMTP settings window: loading, the save question, field checks, the test mail.
#include "RouteTestSupport.h"
#include "sender/frmSMTPPostavke.h"

using namespace sender;
using platform::MsgIcon;
using platform::MsgResult;
using core::SaveVelkorSetting;
using core::VelkorSetting;

class TstFrmSMTPPostavke : public Fixture {
  Q_OBJECT
  std::unique_ptr<frmSMTPPostavke> f;

  template <class T = QLineEdit>
  T* dio(const char* ime) const {
    return f->findChild<T*>(ime);
  }
  void klik(const char* ime) { dio<QAbstractButton>(ime)->click(); }
  // A fresh window; with a host, every required field filled.
  void otvori(const QString& host = {}, const QString& lozinka = {}) {
    f = std::make_unique<frmSMTPPostavke>();
    f->show();
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.get()));
    if (host.isEmpty()) return;
    dio("txtSMTPFrom")->setText("prodaja@firma.hr");
    dio("txtSMTPHostName")->setText(host);
    dio("txtSMTPUserName")->setText("prodaja");
    dio("txtSMTPPassword")->setText(lozinka);
  }
  // Nothing at all was written to the store.
  static bool nistaSpremljeno() { return !QFile::exists(core::settingsFilePath("Velkor")); }

 private slots:
  void cleanup() {
    f.reset();
    Fixture::cleanup();
  }

  void leaving_asksOnlyAfterChange_data() {
    QTest::addColumn<bool>("esc");
    QTest::addColumn<int>("odgovor");
    QTest::addColumn<QString>("spremljeno");  // SSL|StartTLS|port|time-out|From
    QTest::newRow("cmdIzlaz, Yes stores even empty fields")
        << false << int(MsgResult::Yes) << "False|True|587|5|";
    QTest::newRow("Esc, No stores nothing") << true << int(MsgResult::No) << "True|True|587||-";
  }
  void leaving_asksOnlyAfterChange() {
    QFETCH(bool, esc);
    QFETCH(int, odgovor);
    for (const char* k : {"SMTPSSL=True", "SMTPStartTLS=True", "SMTPPort=587", "SMTPHostName=h"})
      SaveVelkorSetting(QString(k).section('=', 0, 0), QString(k).section('=', 1));
    otvori();
    QCOMPARE(QString("%1 %2 %3%4 %5 %6")
                 .arg(f->windowTitle(), dio("txtSMTPHostName")->text())
                 .arg(int(dio<QCheckBox>("chkSMTPSSL")->isChecked()))
                 .arg(int(dio<QCheckBox>("chkSMTPStartTLS")->isChecked()))
                 .arg(dio<QSpinBox>("ubSMTPPort")->value())
                 .arg(dio<QSpinBox>("ubSMTPTimeout")->value()),
             QString("SMTP postavke h 11 587 5"));
    klik("cmdIzlaz");
    QVERIFY(dlg->calls.isEmpty() && !f->isVisible());  // unchanged: nothing asked

    otvori();
    dio<QCheckBox>("chkSMTPSSL")->click();
    dlg->answer(MsgResult(odgovor));
    esc ? QTest::keyClick(dio("txtSMTPUserName"), Qt::Key_Escape) : klik("cmdIzlaz");
    QCOMPARE(dlg->texts(), QStringList{"Mijenjali ste podatke, a niste izvršili spremanje. "
                                     "Želite li spremiti podatke?"});
    QCOMPARE(dlg->last().title, QString("Spremiti podatke?"));
    QCOMPARE(dlg->last().icon, MsgIcon::Question);
    QCOMPARE(dlg->last().buttons, platform::MsgButtons::YesNo);
    QVERIFY(!f->isVisible());
    QStringList spremljeno;
    for (const char* k : {"SMTPSSL", "SMTPStartTLS", "SMTPPort", "SMTPTimeout"})
      spremljeno << VelkorSetting(k);
    QTEST((spremljeno << VelkorSetting("SMTPFrom", "-")).join('|'), "spremljeno");
  }

  void spremi_checksInOrder_trimsAndStores() {
    otvori();
    const char* const koraci[][2] = {
        {"txtSMTPFrom", "Mora se unijeti SMTP From!"},
        {"txtSMTPHostName", "Mora se unijeti SMTP Host Name!"},
        {"txtSMTPUserName", "Mora se unijeti SMTP User Name (korisničko ime)!"},
        {"txtSMTPPassword", "Mora se unijeti SMTP Password (lozinka)!"},
    };
    for (const auto& k : koraci) {
      dio(k[0])->setText("   ");  // blanks only count as empty
      klik("cmdSpremi");
      QCOMPARE(dlg->last().text + " " + f->focusWidget()->objectName(),
               QString::fromUtf8(k[1]) + " " + k[0]);
      QCOMPARE(dlg->last().icon, MsgIcon::Exclamation);
      dio(k[0])->setText(" tajna ");
    }
    QVERIFY(nistaSpremljeno());
    klik("cmdSpremi");
    QCOMPARE(dlg->calls.size(), 4);
    QCOMPARE(f->result(), int(QDialog::Accepted));
    QCOMPARE(VelkorSetting("SMTPPassword") + VelkorSetting("SMTPFrom"), QString("tajnatajna"));
  }

  // A wrong address is refused and Cancel sends nothing, both before anything is saved; then
  // both recipients receive, the fields saved first.
  void testMail() {
    SmtpPeer::Options o;
    o.host = "127.0.0.27";
    o.authUser = "prodaja";
    o.authPassword = "tajna";
    SmtpPeer peer(o);
    QVERIFY2(peer.start(), qPrintable(peer.error()));
    otvori("127.0.0.27", " tajna");
    dlg->answerText(QString("  Ana Anić  "));
    dlg->answerText(std::nullopt);  // Cancel: no message at all
    dlg->answerText(QString(" ana@firma.hr;ivo@firma.hr "));
    klik("cmdSlanjeTestEMail");
    klik("cmdSlanjeTestEMail");
    QCOMPARE(dlg->calls.size(), 3);
    const DialogCall& upit = dlg->calls.at(0);
    QCOMPARE(upit.kind, DialogCall::Input);
    QCOMPARE(QStringList({upit.title, upit.text, upit.defaultText}),
             QStringList({"E-mail", "Unesite e-mail kome šaljete testni mail:", "@firma.hr"}));
    QCOMPARE(dlg->calls.at(1).text, QString("Nije ispravan format e-mail adrese!"));
    QCOMPARE(dlg->calls.at(1).title, QString("Greška"));
    QCOMPARE(dlg->calls.at(1).icon, MsgIcon::Exclamation);
    QVERIFY(nistaSpremljeno());

    TextViewerWatch viewer;
    klik("cmdSlanjeTestEMail");
    QVERIFY(viewer.seen.isEmpty());
    QCOMPARE(dlg->calls.size(), 5);
    QCOMPARE(dlg->last().kind, DialogCall::Timed);
    QCOMPARE(dlg->last().title, QString("Ispravna konfiguracija"));
    QCOMPARE(dlg->last().icon, MsgIcon::Information);
    QVERIFY2(dlg->last().text.startsWith("Mail Sent! / Poruka poslana uspješno! Slanje trajalo: ") &&
                 dlg->last().text.endsWith(" s"),
             qPrintable(dlg->last().text));
    QVERIFY(peer.waitForMessages(1));
    QCOMPARE(peer.messages().at(0).rcptTos, QStringList({"ana@firma.hr", "ivo@firma.hr"}));
    const QJsonObject j = cleanMessage(peer.messages().at(0).emlPath);
    QVERIFY(j.value("subject").toString().startsWith("This is a test / Ovo je test "));
    QVERIFY(j.value("text").toString().startsWith(
        "This is a test / Ovo je test slanja e-mail-a Vrijeme/Time: "));
    QCOMPARE(fields(j, "to", "address"), QStringList({"ana@firma.hr", "ivo@firma.hr"}));
    // Saved before the test, the password without its blank; saving cleared the changed flag.
    QCOMPARE(VelkorSetting("SMTPPassword") + VelkorSetting("SMTPHostName"),
             QString("tajna127.0.0.27"));
    klik("cmdIzlaz");
    QCOMPARE(dlg->calls.size(), 5);
  }
};

QTEST_MAIN(TstFrmSMTPPostavke)
#include "tst_frmsmtppostavke.moc"
