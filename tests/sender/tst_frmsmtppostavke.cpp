#include <QtTest>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <memory>

#include "RouteTestSupport.h"
#include "platform/SettingsStore.h"
#include "sender/frmSMTPPostavke.h"
#include "sender/frmSlanjeeMaila.h"
#include "support/ScriptedDialogs.h"
#include "support/SmtpPeer.h"
#include "support/TestEnv.h"

using platform::MsgResult;
using platform::SaveVelkorSetting;
using platform::VelkorSetting;

namespace {

template <class T> T* dio(QWidget* f, const char* ime) {
  T* w = f->findChild<T*>(QString::fromLatin1(ime));
  if (!w) qFatal("no widget %s", ime);
  return w;
}

QLineEdit* polje(QWidget* f, const char* ime) { return dio<QLineEdit>(f, ime); }
void klik(QWidget* f, const char* ime) { dio<QAbstractButton>(f, ime)->click(); }

// Keys of the SMTP settings that exist in the store.
QStringList spremljeniKljucevi() {
  QSettings s(platform::settingsFilePath("Velkor"), QSettings::IniFormat);
  s.beginGroup("Settings");
  return s.childKeys();
}

SmtpPeer::Options posluzitelj(const QString& host) {
  SmtpPeer::Options o;
  o.host = host;
  o.authUser = "prodaja";
  o.authPassword = "tajna";
  return o;
}

void popuni(QWidget* f, const QString& host, const QString& lozinka) {
  polje(f, "txtSMTPFrom")->setText("prodaja@firma.hr");
  polje(f, "txtSMTPHostName")->setText(host);
  polje(f, "txtSMTPUserName")->setText("prodaja");
  polje(f, "txtSMTPPassword")->setText(lozinka);
}

}  // namespace

class TstFrmSMTPPostavke : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env;
  std::unique_ptr<frmSMTPPostavke> f;

  void otvori() {
    f = std::make_unique<frmSMTPPostavke>();
    f->show();
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.get()));
  }

 private slots:
  void init() { env = std::make_unique<TestEnv>(); }
  void cleanup() {
    f.reset();
    env.reset();
  }

  void load_storedValues_noQuestionWithoutChange() {
    SaveVelkorSetting("SMTPFrom", "prodaja@firma.hr");
    SaveVelkorSetting("SMTPHostName", "smtp.firma.hr");
    SaveVelkorSetting("SMTPStartTLS", "True");
    SaveVelkorSetting("SMTPPort", "587");
    otvori();
    QCOMPARE(f->windowTitle(), QString("SMTP postavke"));
    QCOMPARE(polje(f.get(), "txtSMTPHostName")->text(), QString("smtp.firma.hr"));
    QVERIFY(dio<QCheckBox>(f.get(), "chkSMTPStartTLS")->isChecked());
    QVERIFY(!dio<QCheckBox>(f.get(), "chkSMTPSSL")->isChecked());
    QCOMPARE(dio<QSpinBox>(f.get(), "ubSMTPPort")->value(), 587);
    QCOMPARE(dio<QSpinBox>(f.get(), "ubSMTPTimeout")->value(), 5);
    ScriptedDialogs d;
    klik(f.get(), "cmdIzlaz");
    QVERIFY(d.calls.isEmpty());
    QVERIFY(!f->isVisible());
  }

  void toggledCheckBox_asksOnLeaving_yesStoresEvenEmptyFields() {
    otvori();
    ScriptedDialogs d;
    d.answer(MsgResult::Yes);
    dio<QCheckBox>(f.get(), "chkSMTPSSL")->click();
    klik(f.get(), "cmdIzlaz");
    QCOMPARE(d.calls.size(), 1);
    QCOMPARE(d.last().text, QString("Mijenjali ste podatke, a niste izvršili spremanje. "
                                    "Želite li spremiti podatke?"));
    QCOMPARE(d.last().title, QString("Spremiti podatke?"));
    QCOMPARE(d.last().icon, platform::MsgIcon::Question);
    QCOMPARE(d.last().buttons, platform::MsgButtons::YesNo);
    QVERIFY(!f->isVisible());
    QCOMPARE(VelkorSetting("SMTPSSL"), QString("True"));
    QCOMPARE(VelkorSetting("SMTPStartTLS"), QString("False"));
    QCOMPARE(VelkorSetting("SMTPPort"), QString("25"));
    QCOMPARE(VelkorSetting("SMTPTimeout"), QString("5"));
    QCOMPARE(VelkorSetting("SMTPFrom", "nije spremljeno"), QString());
  }

  void answerNo_closeBox_andEsc() {
    otvori();
    ScriptedDialogs d;
    d.answer(MsgResult::No);
    dio<QSpinBox>(f.get(), "ubSMTPTimeout")->setValue(30);
    klik(f.get(), "cmdIzlaz");
    QCOMPARE(d.calls.size(), 1);
    QVERIFY(spremljeniKljucevi().isEmpty());

    // The close box neither asks nor saves.
    otvori();
    polje(f.get(), "txtSMTPHostName")->setText("smtp.firma.hr");
    f->close();
    QCOMPARE(d.calls.size(), 1);
    QVERIFY(!f->isVisible());
    QVERIFY(spremljeniKljucevi().isEmpty());

    // Esc leaves as cmdIzlaz does, with the question.
    otvori();
    polje(f.get(), "txtSMTPUserName")->setText("x");
    QTest::keyClick(polje(f.get(), "txtSMTPUserName"), Qt::Key_Escape);
    QCOMPARE(d.calls.size(), 2);
    QVERIFY(!f->isVisible());
  }

  void spremi_checksInOrder_trimsAndStores() {
    otvori();
    ScriptedDialogs d;
    const struct {
      const char* polje;
      const char* poruka;
    } koraci[] = {
        {"txtSMTPFrom", "Mora se unijeti SMTP From!"},
        {"txtSMTPHostName", "Mora se unijeti SMTP Host Name!"},
        {"txtSMTPUserName", "Mora se unijeti SMTP User Name (korisničko ime)!"},
        {"txtSMTPPassword", "Mora se unijeti SMTP Password (lozinka)!"},
    };
    for (const auto& k : koraci) {
      polje(f.get(), k.polje)->setText("   ");  // blanks only count as empty
      klik(f.get(), "cmdSpremi");
      QCOMPARE(d.last().text, QString::fromUtf8(k.poruka));
      QCOMPARE(d.last().icon, platform::MsgIcon::Exclamation);
      QCOMPARE(f->focusWidget()->objectName(), QString(k.polje));
      QCOMPARE(polje(f.get(), k.polje)->text(), QString());
      QVERIFY(f->isVisible());
      polje(f.get(), k.polje)->setText(QString("  vrijednost ") + k.polje);
    }
    QVERIFY(spremljeniKljucevi().isEmpty());
    polje(f.get(), "txtSMTPPassword")->setText(" tajna ");
    klik(f.get(), "cmdSpremi");
    QCOMPARE(d.calls.size(), 4);
    QVERIFY(!f->isVisible());
    QCOMPARE(f->result(), int(QDialog::Accepted));
    QCOMPARE(VelkorSetting("SMTPPassword"), QString("tajna"));
    QCOMPARE(VelkorSetting("SMTPFrom"), QString("vrijednost txtSMTPFrom"));
    QCOMPARE(VelkorSetting("SMTPSSL"), QString("False"));
  }

  void password_showAndMask_keysMoveFocus() {
    otvori();
    QLineEdit* lozinka = polje(f.get(), "txtSMTPPassword");
    QCOMPARE(lozinka->echoMode(), QLineEdit::Password);
    QCOMPARE(lozinka->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, lozinka),
             int('*'));
    klik(f.get(), "cmdPrikPass");
    QCOMPARE(lozinka->echoMode(), QLineEdit::Normal);
    klik(f.get(), "cmdPrikPass");
    QCOMPARE(lozinka->echoMode(), QLineEdit::Password);

    polje(f.get(), "txtSMTPFrom")->setFocus();
    QTest::keyClick(polje(f.get(), "txtSMTPFrom"), Qt::Key_Return);
    QCOMPARE(f->focusWidget()->objectName(), QString("txtSMTPHostName"));
    QTest::keyClick(f->focusWidget(), Qt::Key_Down);
    QCOMPARE(f->focusWidget()->objectName(), QString("txtSMTPUserName"));
    QTest::keyClick(f->focusWidget(), Qt::Key_Up);
    QCOMPARE(f->focusWidget()->objectName(), QString("txtSMTPHostName"));
    QVERIFY(spremljeniKljucevi().isEmpty());
  }

  void testMail_refusedOrCancelled_beforeAnythingIsSaved() {
    otvori();
    popuni(f.get(), "127.0.0.28", "tajna");
    ScriptedDialogs d;
    d.answerText(QString("  Ana Anić  "));
    klik(f.get(), "cmdSlanjeTestEMail");
    QCOMPARE(d.calls.size(), 2);
    QCOMPARE(d.calls.at(0).kind, DialogCall::Input);
    QCOMPARE(d.calls.at(0).title, QString("E-mail"));
    QCOMPARE(d.calls.at(0).text, QString("Unesite e-mail kome šaljete testni mail:"));
    QCOMPARE(d.calls.at(0).defaultText, QString("@firma.hr"));
    QCOMPARE(d.last().text, QString("Nije ispravan format e-mail adrese!"));
    QCOMPARE(d.last().title, QString("Greška"));
    QCOMPARE(d.last().icon, platform::MsgIcon::Exclamation);
    QVERIFY(spremljeniKljucevi().isEmpty());

    d.answerText(std::nullopt);  // Cancel: no message at all
    klik(f.get(), "cmdSlanjeTestEMail");
    QCOMPARE(d.calls.size(), 3);
    QVERIFY(spremljeniKljucevi().isEmpty());

    polje(f.get(), "txtSMTPHostName")->clear();  // the field check comes first
    klik(f.get(), "cmdSlanjeTestEMail");
    QCOMPARE(d.last().text, QString("Mora se unijeti SMTP Host Name!"));
    QCOMPARE(d.calls.size(), 4);
  }

  void testMail_twoRecipients_bothReceive() {
    SmtpPeer peer(posluzitelj("127.0.0.27"));
    QVERIFY2(peer.start(), qPrintable(peer.error()));
    otvori();
    popuni(f.get(), "127.0.0.27", " tajna");
    ScriptedDialogs d;
    d.answerText(QString(" ana@firma.hr;ivo@firma.hr "));
    TextViewerWatch viewer;
    klik(f.get(), "cmdSlanjeTestEMail");
    QVERIFY(viewer.seen.isEmpty());
    QCOMPARE(d.calls.size(), 2);
    QCOMPARE(d.last().kind, DialogCall::Timed);
    QCOMPARE(d.last().title, QString("Ispravna konfiguracija"));
    QCOMPARE(d.last().icon, platform::MsgIcon::Information);
    QVERIFY2(d.last().text.startsWith("Mail Sent! / Poruka poslana uspješno! Slanje trajalo: ") &&
                 d.last().text.endsWith(" s"),
             qPrintable(d.last().text));

    QVERIFY(peer.waitForMessages(1));
    const SmtpPeer::Message m = peer.messages().at(0);
    QCOMPARE(m.rcptTos, QStringList({"ana@firma.hr", "ivo@firma.hr"}));
    const QJsonObject j = checkMessage(m.emlPath);
    QCOMPARE(j.value("problems").toArray(), QJsonArray());
    QVERIFY(j.value("subject").toString().startsWith("This is a test / Ovo je test "));
    QVERIFY(j.value("text").toString().startsWith(
        "This is a test / Ovo je test slanja e-mail-a Vrijeme/Time: "));
    QCOMPARE(addressesOf(j, "to"), QStringList({"ana@firma.hr", "ivo@firma.hr"}));

    // Saved before the test, the password without its blank.
    QCOMPARE(VelkorSetting("SMTPTestMail"), QString("ana@firma.hr;ivo@firma.hr"));
    QCOMPARE(VelkorSetting("SMTPPassword"), QString("tajna"));
    QCOMPARE(VelkorSetting("SMTPHostName"), QString("127.0.0.27"));
    // Saving cleared the changed flag: leaving asks nothing.
    klik(f.get(), "cmdIzlaz");
    QCOMPARE(d.calls.size(), 2);
  }

  void sendFormMenu_opensThisWindowModally() {
    frmSlanjeeMaila::PostaviRute({});
    frmSlanjeeMaila* posiljka = frmSlanjeeMaila::forma();
    QString naslov;
    bool modalno = false;
    QTimer::singleShot(0, [&] {
      QWidget* w = QApplication::activeModalWidget();
      if (!qobject_cast<frmSMTPPostavke*>(w)) return;
      naslov = w->windowTitle();
      modalno = w->isModal();
      dio<QAbstractButton>(w, "cmdIzlaz")->click();
    });
    auto* stavka = posiljka->findChild<QAction*>("mnuSMTPPostavke");
    QVERIFY(stavka);
    stavka->trigger();
    QCOMPARE(naslov, QString("SMTP postavke"));
    QVERIFY(modalno);
    posiljka->cmdPrekid_Click();
  }

  void testMail_failure_inViewer_settingsAlreadySaved() {
    SmtpPeer peer(posluzitelj("127.0.0.29"));
    QVERIFY2(peer.start(), qPrintable(peer.error()));
    SaveVelkorSetting("SMTPTestMail", "stari@firma.hr");
    otvori();
    popuni(f.get(), "127.0.0.29", "kriva");
    ScriptedDialogs d;
    d.answerText(QString("ana@firma.hr"));
    TextViewerWatch viewer;
    klik(f.get(), "cmdSlanjeTestEMail");
    QCOMPARE(d.calls.at(0).defaultText, QString("stari@firma.hr"));
    QCOMPARE(d.calls.size(), 1);
    QCOMPARE(viewer.seen.size(), 1);
    QCOMPARE(viewer.seen.at(0).caption, QString("Opis greške"));
    QVERIFY(viewer.seen.at(0).text.startsWith("Greška: "));
    QCOMPARE(VelkorSetting("SMTPPassword"), QString("kriva"));
    QVERIFY(peer.messages().isEmpty());
  }
};

QTEST_MAIN(TstFrmSMTPPostavke)
#include "tst_frmsmtppostavke.moc"
