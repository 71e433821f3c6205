// The SMTP settings window: loading, the save question, field checks, the test mail.
#include <QtTest>
#include <QtWidgets>
#include <memory>

#include "RouteTestSupport.h"
#include "platform/SettingsStore.h"
#include "sender/frmSMTPPostavke.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

using platform::MsgResult;
using platform::SaveVelkorSetting;
using platform::VelkorSetting;

class TstFrmSMTPPostavke : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env;
  std::unique_ptr<frmSMTPPostavke> f;
  std::unique_ptr<ScriptedDialogs> d;

  template <class T = QLineEdit>
  T* dio(const char* ime) const {
    T* w = f->findChild<T*>(ime);
    if (!w) qFatal("no widget %s", ime);
    return w;
  }
  void klik(const char* ime) { dio<QAbstractButton>(ime)->click(); }
  QString fokus() const { return f->focusWidget()->objectName(); }
  void otvori() {
    f = std::make_unique<frmSMTPPostavke>();
    f->show();
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.get()));
  }
  void popuni(const QString& host, const QString& lozinka) {
    dio("txtSMTPFrom")->setText("prodaja@firma.hr");
    dio("txtSMTPHostName")->setText(host);
    dio("txtSMTPUserName")->setText("prodaja");
    dio("txtSMTPPassword")->setText(lozinka);
  }
  // Keys of the settings that exist in the store.
  static QStringList spremljeno() {
    QSettings s(platform::settingsFilePath("Velkor"), QSettings::IniFormat);
    s.beginGroup("Settings");
    return s.childKeys();
  }

 private slots:
  void init() {
    env = std::make_unique<TestEnv>();
    d = std::make_unique<ScriptedDialogs>();
  }
  void cleanup() {
    f.reset();
    d.reset();
    env.reset();
  }

  void load_noQuestionWithoutChange_closeBoxSavesNothing() {
    SaveVelkorSetting("SMTPHostName", "smtp.firma.hr");
    SaveVelkorSetting("SMTPStartTLS", "True");
    SaveVelkorSetting("SMTPPort", "587");
    otvori();
    QCOMPARE(f->windowTitle(), QString("SMTP postavke"));
    QCOMPARE(dio("txtSMTPHostName")->text(), QString("smtp.firma.hr"));
    QVERIFY(dio<QCheckBox>("chkSMTPStartTLS")->isChecked());
    QVERIFY(!dio<QCheckBox>("chkSMTPSSL")->isChecked());
    QCOMPARE(dio<QSpinBox>("ubSMTPPort")->value(), 587);
    QCOMPARE(dio<QSpinBox>("ubSMTPTimeout")->value(), 5);
    klik("cmdIzlaz");
    QVERIFY(d->calls.isEmpty());
    QVERIFY(!f->isVisible());

    // The close box neither asks nor saves.
    otvori();
    dio("txtSMTPHostName")->setText("drugi.firma.hr");
    f->close();
    QVERIFY(d->calls.isEmpty());
    QCOMPARE(VelkorSetting("SMTPHostName"), QString("smtp.firma.hr"));
  }

  void leavingAfterChange_asks_data() {
    QTest::addColumn<bool>("esc");
    QTest::addColumn<int>("odgovor");
    QTest::newRow("cmdIzlaz, Yes stores even empty fields") << false << int(MsgResult::Yes);
    QTest::newRow("Esc, No stores nothing") << true << int(MsgResult::No);
  }
  void leavingAfterChange_asks() {
    QFETCH(bool, esc);
    QFETCH(int, odgovor);
    otvori();
    dio<QCheckBox>("chkSMTPSSL")->click();
    d->answer(MsgResult(odgovor));
    esc ? QTest::keyClick(dio("txtSMTPUserName"), Qt::Key_Escape) : klik("cmdIzlaz");
    QCOMPARE(d->texts(), QStringList{"Mijenjali ste podatke, a niste izvršili spremanje. "
                                     "Želite li spremiti podatke?"});
    QCOMPARE(d->last().title, QString("Spremiti podatke?"));
    QCOMPARE(d->last().icon, platform::MsgIcon::Question);
    QCOMPARE(d->last().buttons, platform::MsgButtons::YesNo);
    QVERIFY(!f->isVisible());
    QCOMPARE(spremljeno().isEmpty(), esc);
    if (esc) return;
    QCOMPARE(VelkorSetting("SMTPSSL") + VelkorSetting("SMTPStartTLS"), QString("TrueFalse"));
    QCOMPARE(VelkorSetting("SMTPPort") + VelkorSetting("SMTPTimeout"), QString("255"));
    QCOMPARE(VelkorSetting("SMTPFrom", "nije spremljeno"), QString());
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
      QCOMPARE(d->last().text, QString::fromUtf8(k[1]));
      QCOMPARE(d->last().icon, platform::MsgIcon::Exclamation);
      QCOMPARE(fokus(), QString(k[0]));
      QCOMPARE(dio(k[0])->text(), QString());
      dio(k[0])->setText(QString("  vrijednost ") + k[0]);
    }
    QVERIFY(spremljeno().isEmpty());
    dio("txtSMTPPassword")->setText(" tajna ");
    klik("cmdSpremi");
    QCOMPARE(d->calls.size(), 4);
    QCOMPARE(f->result(), int(QDialog::Accepted));
    QCOMPARE(VelkorSetting("SMTPPassword"), QString("tajna"));
    QCOMPARE(VelkorSetting("SMTPFrom"), QString("vrijednost txtSMTPFrom"));
  }

  void testMail_refusedOrCancelled_beforeAnythingIsSaved() {
    otvori();
    popuni("127.0.0.28", "tajna");
    d->answerText(QString("  Ana Anić  "));
    klik("cmdSlanjeTestEMail");
    QCOMPARE(d->calls.size(), 2);
    QCOMPARE(d->calls.at(0).kind, DialogCall::Input);
    QCOMPARE(d->calls.at(0).title, QString("E-mail"));
    QCOMPARE(d->calls.at(0).text, QString("Unesite e-mail kome šaljete testni mail:"));
    QCOMPARE(d->calls.at(0).defaultText, QString("@firma.hr"));
    QCOMPARE(d->last().text, QString("Nije ispravan format e-mail adrese!"));
    QCOMPARE(d->last().title, QString("Greška"));
    QCOMPARE(d->last().icon, platform::MsgIcon::Exclamation);
    d->answerText(std::nullopt);  // Cancel: no message at all
    klik("cmdSlanjeTestEMail");
    QCOMPARE(d->calls.size(), 3);
    QVERIFY(spremljeno().isEmpty());
    dio("txtSMTPHostName")->clear();  // the field check comes first
    klik("cmdSlanjeTestEMail");
    QCOMPARE(d->texts().mid(3), QStringList{"Mora se unijeti SMTP Host Name!"});
  }

  void testMail_twoRecipients_bothReceive() {
    SmtpPeer::Options o;
    o.host = "127.0.0.27";
    o.authUser = "prodaja";
    o.authPassword = "tajna";
    SmtpPeer peer(o);
    QVERIFY2(peer.start(), qPrintable(peer.error()));
    otvori();
    popuni("127.0.0.27", " tajna");
    d->answerText(QString(" ana@firma.hr;ivo@firma.hr "));
    TextViewerWatch viewer;
    klik("cmdSlanjeTestEMail");
    QVERIFY(viewer.seen.isEmpty());
    QCOMPARE(d->calls.size(), 2);
    QCOMPARE(d->last().kind, DialogCall::Timed);
    QCOMPARE(d->last().title, QString("Ispravna konfiguracija"));
    QCOMPARE(d->last().icon, platform::MsgIcon::Information);
    QVERIFY2(d->last().text.startsWith("Mail Sent! / Poruka poslana uspješno! Slanje trajalo: ") &&
                 d->last().text.endsWith(" s"),
             qPrintable(d->last().text));
    QVERIFY(peer.waitForMessages(1));
    QCOMPARE(peer.messages().at(0).rcptTos, QStringList({"ana@firma.hr", "ivo@firma.hr"}));
    const QJsonObject j = checkMessage(peer.messages().at(0).emlPath);
    QCOMPARE(j.value("problems").toArray(), QJsonArray());
    QVERIFY(j.value("subject").toString().startsWith("This is a test / Ovo je test "));
    QVERIFY(j.value("text").toString().startsWith(
        "This is a test / Ovo je test slanja e-mail-a Vrijeme/Time: "));
    QCOMPARE(addressesOf(j, "to"), QStringList({"ana@firma.hr", "ivo@firma.hr"}));

    // Saved before the test, the password without its blank; the addresses are offered next.
    QCOMPARE(VelkorSetting("SMTPPassword"), QString("tajna"));
    QCOMPARE(VelkorSetting("SMTPHostName"), QString("127.0.0.27"));
    d->answerText(std::nullopt);
    klik("cmdSlanjeTestEMail");
    QCOMPARE(d->last().defaultText, QString("ana@firma.hr;ivo@firma.hr"));
    klik("cmdIzlaz");  // saving cleared the changed flag: nothing asked
    QCOMPARE(d->calls.size(), 3);
  }
};

QTEST_MAIN(TstFrmSMTPPostavke)
#include "tst_frmsmtppostavke.moc"
