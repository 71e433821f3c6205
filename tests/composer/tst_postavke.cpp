// The composer's stored values and the two windows that edit them.
#include "ComposerRun.h"
#include "composer/MailFormat.h"
#include "composer/RacunSlanja.h"
#include "composer/ZapisnikSlanja.h"
#include "composer/frmOptions.h"
#include "composer/frmSettings.h"
#include "mail/clsSendMail.h"
#include "platform/RegistryStore.h"

class TstPostavke : public Fixture {
  Q_OBJECT
  static QString datoteka(const QString& put) { return QString::fromUtf8(readWholeFile(put)); }

 private slots:
  void init() {
    Fixture::init();
    qputenv("VELKOR_MACHINE_REGISTRY", env->path("etc/registry.ini").toUtf8());
    qunsetenv("https_proxy");
    qunsetenv("http_proxy");
  }

  void store_rawValues_layout_fallback() {
    env->writeFile("etc/registry.ini",
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\system]\n"
                   "SMTPIP=mail.firma.hr,backup%2\nSENDER=Uprava%uprava@firma.hr\n");
    QCOMPARE(CitajPostavku("SMTPIP"), QString("mail.firma.hr,backup%2"));  // the machine's file
    QVERIFY(composer::SpremiSMTPIP(" mail\\x ", 2));
    QVERIFY(composer::SpremiSender("Ana 100% Marić, d.o.o.", "ana@firma.hr"));
    QVERIFY(composer::SpremiMailFormat(false, 1));
    QCOMPARE(CitajPostavku("SMTPIP"), QString(" mail\\x %2"));  // the user's own now
    QCOMPARE(composer::PoljaSendera(CitajPostavku("SENDER")),
             QStringList({"Ana 100% Marić, d.o.o.", "ana@firma.hr"}));
    QCOMPARE(composer::PoljaPostavke("bez"), QStringList({"bez", ""}));
    QCOMPARE(datoteka(platform::registryUserFile()),
             QString("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\system]\n"
                     "SMTPIP= mail\\x %2\nSENDER=Ana 100% Marić, d.o.o.%ana@firma.hr\nMAILFORMAT=False%1\n"));
    QVERIFY(composer::SpremiSMTPIP("FIND", 1));  // replaced where it stands
    QVERIFY(datoteka(platform::registryUserFile()).contains("]\nSMTPIP=FIND%1\nSENDER="));
    QVERIFY(datoteka(env->path("etc/registry.ini")).contains("backup%2"));  // never written

    // A store that cannot be written says so.
    qputenv("XDG_CONFIG_HOME", env->writeFile("datoteka", "x").toUtf8());
    QVERIFY(!composer::SpremiSender("Ana", "ana@firma.hr"));
    QCOMPARE(dlg->calls.size(), 1);
    QVERIFY2(dlg->last().text.startsWith("Postavka SENDER nije spremljena: "), qPrintable(dlg->last().text));
    QCOMPARE(dlg->last().icon, platform::MsgIcon::Exclamation);
  }

  void settings_apply_data() {
    QTest::addColumn<QString>("spremljeno");  // SMTPIP before the window opens
    QTest::addColumn<QString>("proxy");       // https_proxy
    QTest::addColumn<QString>("server");      // typed; "-" leaves the box as loaded
    QTest::addColumn<bool>("chkProxy");
    QTest::addColumn<QString>("smtpip");
    QTest::newRow("nothing: FIND") << "" << "" << "" << true << "FIND%1";
    QTest::newRow("blanks kept") << "" << "" << " mail " << false << " mail %2";
    QTest::newRow("proxy stored, system proxy wins") << "stari%3" << "http://p.firma.hr:3128" << "-" << true
                                                    << "p.firma.hr%3";
    QTest::newRow("proxy stored, none in system") << "stari%3" << "" << "-" << true << "stari%3";
    QTest::newRow("server loaded") << "smtp.firma.hr%2" << "" << "-" << false << "smtp.firma.hr%2";
    QTest::newRow("other mode empties") << "x%7" << "" << "-" << false << "FIND%1";
  }
  void settings_apply() {
    QFETCH(QString, spremljeno);
    QFETCH(QString, proxy);
    QFETCH(QString, server);
    QFETCH(bool, chkProxy);
    if (!spremljeno.isEmpty()) QVERIFY(platform::UpisiRegistar(platform::kHKeyLocalMachine, composer::kKljucPostavki, "SMTPIP", spremljeno));
    if (!proxy.isEmpty()) qputenv("https_proxy", proxy.toUtf8());
    frmSettings f(nullptr);
    if (server != "-") dio<QLineEdit>(&f, "txtSMTPServer")->setText(server);
    dio<QCheckBox>(&f, "chkProxy")->setChecked(chkProxy);
    QCOMPARE(dio<QLineEdit>(&f, "txtProxy")->isEnabled(), chkProxy);
    QCOMPARE(dio<QLineEdit>(&f, "txtSMTPServer")->isEnabled(), !chkProxy);
    dio<QPushButton>(&f, "cmdApply")->click();
    QTEST(CitajPostavku("SMTPIP"), "smtpip");
  }

  void settings_sender_data() {
    QTest::addColumn<QString>("ime");
    QTest::addColumn<QString>("adresa");
    QTest::addColumn<QString>("poruka");  // empty: saved
    QTest::addColumn<QString>("fokus");
    QTest::newRow("no name") << "  " << "a@b.hr" << "Upišite Vaše ime" << "txtName";
    QTest::newRow("bad address") << "Ana" << "ana@" << "Email adresa nije ispravna" << "txtEmail";
    QTest::newRow("no address") << "Ana" << " " << "Upišite vašu E-Mail adresu" << "txtEmail";
    QTest::newRow("saved") << "Ana Šarić" << "ana@firma.hr" << "" << "";
  }
  void settings_sender() {
    QFETCH(QString, ime);
    QFETCH(QString, adresa);
    QFETCH(QString, poruka);
    QLineEdit txtFrom;
    frmSettings f(&txtFrom);
    f.show();
    dio<QLineEdit>(&f, "txtName")->setText(ime);
    dio<QLineEdit>(&f, "txtEmail")->setText(adresa);
    dio<QPushButton>(&f, "cmdOK")->click();
    if (poruka.isEmpty()) {
      QVERIFY(dlg->calls.isEmpty());
      QCOMPARE(CitajPostavku("SENDER"), ime + "%" + adresa);
      QCOMPARE(txtFrom.text(), ime);
      QCOMPARE(txtFrom.property("Tag").toString(), adresa);
      frmSettings ponovo(nullptr);  // and the next window shows them
      QCOMPARE(dio<QLineEdit>(&ponovo, "txtName")->text(), ime);
    } else {
      QCOMPARE(dlg->texts(), QStringList{poruka});
      QCOMPARE(dlg->last().title, QString("Slanje E-mail-a"));
      QCOMPARE(dlg->last().icon, platform::MsgIcon::Information);
      QTEST(f.focusWidget()->objectName(), "fokus");
      QCOMPARE(CitajPostavku("SENDER"), QString());
    }
  }

  // The engine as the run gets it: untouched without an account (Kestrova.ini's values
  // stay, and the account never lands there), the account's values on the configured
  // server, none for the exchangers of direct delivery.
  void account_onEngine_data() {
    QTest::addColumn<QString>("racun");  // SMTPPORT, SMTPLOGIN; empty: none stored
    QTest::addColumn<bool>("posluzitelj");
    QTest::addColumn<QString>("motor");  // port, security, login after primijeniRacun
    QTest::newRow("none: as before") << "" << true << "2525 0 1";
    QTest::newRow("stored, no login") << "465%3|False%prodaja" << true << "465 3 0";
    QTest::newRow("direct delivery ignores it") << "465%3|False%prodaja" << false << "25 1 0";
  }
  void account_onEngine() {
    QFETCH(QString, racun);
    QFETCH(bool, posluzitelj);
    const QByteArray kestrova = "[Settings]\nPersistentSettings=-1\nRemotePort=2525\nSecureConnection=0\nUseAuthentication=True\n";
    env->writeFile("config/Kestrova.ini", kestrova);
    if (!racun.isEmpty())
      QVERIFY(composer::SpremiRacun({racun.section('%', 0, 0).toInt(), racun.section('%', 1, 1).section('|', 0, 0).toInt(),
                                     false, "prodaja", {}}));
    mail::clsSendMail m;
    QVERIFY(composer::primijeniRacun(m, posluzitelj));
    QTEST(QString("%1 %2 %3").arg(m.SmtpPort()).arg(m.SecureConnection()).arg(int(m.UseAuthentication())), "motor");
    QCOMPARE(readWholeFile(env->path("config/Kestrova.ini")), kestrova);
  }

  void options_data() {
    QTest::addColumn<QString>("spremljeno");
    QTest::addColumn<int>("format");      // combo item chosen by the user
    QTest::addColumn<QString>("opcija");  // option clicked, or ""
    QTest::addColumn<QString>("mailformat");
    QTest::addColumn<bool>("html");
    QTest::addColumn<int>("kodiranje");
    QTest::addColumn<int>("uMinuti");  // typed with "Nastavi nakon greške" ticked; 0: untouched
    QTest::newRow("HTML MIME") << "" << 1 << "optMIME" << "True%0" << true << 0 << 0;
    QTest::newRow("HTML never UUEncode") << "True%1" << 1 << "" << "True%0" << true << 0 << 0;
    QTest::newRow("plain MIME") << "True%0" << 0 << "" << "False%0" << false << 0 << 0;
    QTest::newRow("plain UUEncode, run options") << "" << 0 << "optEnCode" << "False%1" << false << 1 << 30;
  }
  void options() {
    QFETCH(QString, spremljeno);
    QFETCH(int, format);
    QFETCH(QString, opcija);
    QFETCH(int, uMinuti);
    if (!spremljeno.isEmpty()) QVERIFY(platform::UpisiRegistar(platform::kHKeyLocalMachine, composer::kKljucPostavki, "MAILFORMAT", spremljeno));
    frmOptions f;
    f.show();
    auto* combo = dio<QComboBox>(&f, "cmbMessageFormat");
    QCOMPARE(combo->currentIndex(), spremljeno.isEmpty() ? -1 : spremljeno.startsWith("True") ? 1 : 0);
    if (spremljeno.isEmpty()) {  // nothing shown, nothing chosen: nothing stored
      dio<QPushButton>(&f, "cmdApply")->click();
      QCOMPARE(CitajPostavku("MAILFORMAT") + CitajPostavku("MAILRUN"), QString());
    }
    combo->setCurrentIndex(format);
    emit combo->activated(format);
    QCOMPARE(dio<QRadioButton>(&f, "optEnCode")->isEnabled(), format == 0);
    if (!opcija.isEmpty()) dio<QRadioButton>(&f, qPrintable(opcija))->click();
    QTEST(MailFormatHTML, "html");
    QTEST(MailFormatEncode, "kodiranje");
    if (uMinuti) {
      dio<QCheckBox>(&f, "chkNastaviNakonGreške")->setChecked(true);
      dio<QSpinBox>(&f, "spnPorukaUMinuti")->setValue(uMinuti);
      dio<QLineEdit>(&f, "txtAdresaOdjave")->setText("nije adresa");  // refused: nothing stored
      dio<QPushButton>(&f, "cmdApply")->click();
      QVERIFY(CitajPostavku("MAILRUN").isEmpty() && dlg->last().text == "Pogrešna adresa za odjavu: nije adresa");
      dio<QLineEdit>(&f, "txtAdresaOdjave")->setText("odjava@velkor.hr");
      if (qEnvironmentVariableIsSet("VELKOR_SCREENSHOTS")) f.grab().save("/tmp/frmOptions.png");
      composer::ZapisnikSlanja z;  // a run cut short is forgotten only when the user says so
      const qint64 id = z.zapocni("otisak");
      QVERIFY(z.predaj(id, "k1@kupci.hr", "k1@kupci.hr"));
      for (platform::MsgResult odgovor : {platform::MsgResult::No, platform::MsgResult::Yes}) {
        dlg->answer(odgovor);
        dio<QPushButton>(&f, "cmdObrišiZapisnik")->click();
        QCOMPARE(bool(z.prekinuto("otisak")), odgovor == platform::MsgResult::No);
      }
      QCOMPARE(dlg->last().text, "Prekinuta slanja su zaboravljena.");
    }
    dio<QPushButton>(&f, "cmdApply")->click();
    QTEST(CitajPostavku("MAILFORMAT"), "mailformat");
    QCOMPARE(CitajPostavku("MAILRUN"), uMinuti ? "True%" + QString::number(uMinuti) : QString());
    QCOMPARE(CitajPostavku("ODJAVA"), uMinuti ? "odjava@velkor.hr" : QString());
    frmOptions opet;  // and shows them again
    QCOMPARE(dio<QCheckBox>(&opet, "chkNastaviNakonGreške")->isChecked(), uMinuti > 0);
    QCOMPARE(dio<QSpinBox>(&opet, "spnPorukaUMinuti")->value(), uMinuti);
  }
};

QTEST_MAIN(TstPostavke)
#include "tst_postavke.moc"
