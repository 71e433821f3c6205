// The send form's send button: field checks, route choice, one-time checks, the routes'
// arguments and the outcome shown to the user.
#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <stdexcept>

#include "platform/SettingsStore.h"
#include "sender/frmSlanjeeMaila.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

using platform::MsgIcon;

namespace {

struct PozivRute {
  QString ruta;
  QStringList argumenti;
  QString statusUTijeku;  // the status bar while the route ran
};

QString tekst(const std::optional<QString>& s) { return s.value_or(QStringLiteral("<nema>")); }

}  // namespace

class TstSlanje : public QObject {
  Q_OBJECT

  TestEnv env;
  std::unique_ptr<ScriptedDialogs> dlg;
  QPointer<frmSlanjeeMaila> f;
  QList<PozivRute> pozivi;
  QStringList provjere;  // one-time checks that ran
  bool rezultatRute = true;
  bool rezultatProvjere = true;
  std::function<void()> prijeRezultata;  // runs inside a route call (to throw)

  QString status() const { return f->findChild<QStatusBar*>("sBar")->currentMessage(); }
  QLineEdit* polje(const char* ime) const { return f->findChild<QLineEdit*>(ime); }
  QPlainTextEdit* poruka() const { return f->findChild<QPlainTextEdit*>("txtPoruka"); }
  QAction* akcija(const QString& ime) const { return f->findChild<QAction*>(ime); }
  QString fokus() const { return f->focusWidget() ? f->focusWidget()->objectName() : QString(); }

  bool zabiljezi(const QString& ruta, const QStringList& argumenti) {
    pozivi << PozivRute{ruta, argumenti, status()};
    if (prijeRezultata) prijeRezultata();
    return rezultatRute;
  }

  void postaviRute() {
    frmSlanjeeMaila::RuteSlanja r;
    r.outlookDostupan = [this] { provjere << "outlook"; return rezultatProvjere; };
    r.thunderbirdPronadjen = [this](QWidget*) { provjere << "thunderbird"; return rezultatProvjere; };
    r.smtpPostavkeIspravne = [this](QWidget*) { provjere << "smtp"; return rezultatProvjere; };
    r.outlook = [this](const QString& s, const QString& to, const QString& b, const QString& a1,
                       const QString& cc, const QString& bcc, bool del, const QString& a2,
                       const QString& a3, bool odmah, QWidget*) {
      return zabiljezi("outlook", {s, to, b, a1, cc, bcc, platform::TrueFalse(del), a2, a3,
                                   platform::TrueFalse(odmah)});
    };
    r.thunderbird = [this](const std::optional<QString>& to, const std::optional<QString>& s,
                           const std::optional<QString>& b, const std::optional<QString>& cc,
                           const std::optional<QString>& bcc,
                           const std::optional<TBAttachments>& prilozi,
                           const std::optional<QString>& od, std::optional<bool> tipka, QWidget*) {
      QString lista = QStringLiteral("<nema>");
      if (prilozi && std::holds_alternative<QStringList>(*prilozi))
        lista = std::get<QStringList>(*prilozi).join(QLatin1Char('|'));
      return zabiljezi("thunderbird", {tekst(to), tekst(s), tekst(b), tekst(cc), tekst(bcc), lista,
                                       tekst(od), tipka ? platform::TrueFalse(*tipka) : "<nema>"});
    };
    r.smtp = [this](const QString& s, const QString& to, const QString& b, const QString& a1,
                    const QString& cc, const QString& bcc, bool del, const QString& a2,
                    const QString& a3, QWidget*) {
      return zabiljezi("smtp", {s, to, b, a1, cc, bcc, platform::TrueFalse(del), a2, a3});
    };
    frmSlanjeeMaila::PostaviRute(std::move(r));
  }

  // A fresh form with every field valid, shown without a modal loop.
  void otvori(int ruta, const QString& prilog1 = "/tmp/izvjestaj.pdf") {
    platform::SaveVelkorSetting("mnuEmailPrekoOutlookaThunderSMTP", QString::number(ruta));
    f = frmSlanjeeMaila::forma();
    f->Napuni("Račun 12/2024", "ana@firma.hr;ivo@firma.hr", "šef@firma.hr", "arhiva@firma.hr",
              "Poštovani,\nu prilogu je račun.", prilog1, "", "/tmp/prilog3.txt");
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
  }

  void posalji() { f->findChild<QPushButton*>("cmdSlanje")->click(); }

 private slots:
  void init() {
    QFile::remove(platform::settingsFilePath("Velkor"));
    dlg = std::make_unique<ScriptedDialogs>();
    pozivi.clear();
    provjere.clear();
    rezultatRute = rezultatProvjere = true;
    prijeRezultata = nullptr;
    postaviRute();
  }

  void cleanup() {
    if (f) f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(f.isNull());
    frmSlanjeeMaila::PostaviRute({});
    dlg.reset();
  }

  void provjerePoljaURedu_data() {
    QTest::addColumn<int>("ruta");
    QTest::addColumn<QString>("primatelj");
    QTest::addColumn<QString>("cc");
    QTest::addColumn<QString>("bcc");
    QTest::addColumn<QString>("predmet");
    QTest::addColumn<QString>("tekstPoruke");
    QTest::addColumn<QString>("posiljatelj");
    QTest::addColumn<QString>("ocekivano");
    QTest::addColumn<QString>("fokusNa");
    const QString ok = "ana@firma.hr";
    QTest::newRow("empty To") << 2 << "" << "" << "" << "P" << "T" << ""
                              << "Mora se zadati e-mail primatelja!" << "txtPrimatelj";
    QTest::newRow("To of blanks") << 2 << "   " << "" << "" << "P" << "T" << ""
                                  << "Mora se zadati e-mail primatelja!" << "txtPrimatelj";
    QTest::newRow("To ends in ;") << 2 << ok + ";" << "" << "" << "P" << "T" << ""
                                  << "E-mail primatelja nije u ispravnom formatu!"
                                  << "txtPrimatelj";
    QTest::newRow("bad CC before bad BCC")
        << 2 << ok << "ivo@firma" << "x" << "P" << "T" << ""
        << "E-mail CC nije u ispravnom formatu!" << "txtCC";
    QTest::newRow("BCC blank after ;") << 2 << ok << "" << ok + "; ivo@firma.hr" << "P" << "T"
                                       << "" << "E-mail BCC nije u ispravnom formatu!" << "txtBCC";
    QTest::newRow("subject of blanks") << 2 << ok << "" << "" << "    " << "T" << ""
                                       << "Mora se upisati predmet poruke!" << "txtPredmet";
    QTest::newRow("empty message") << 2 << ok << "" << "" << "P" << "" << ""
                                   << "Mora se upisati tekst poruke!" << "txtPoruka";
    QTest::newRow("Thunderbird: sender before To")
        << 1 << "" << "" << "" << "" << "" << ""
        << "Mora se zadati ime i e-mail pošiljatelja!" << "txtPošiljatelj";
    QTest::newRow("sender not needed off Thunderbird")
        << 0 << "" << "" << "" << "P" << "T" << "" << "Mora se zadati e-mail primatelja!"
        << "txtPrimatelj";
  }
  void provjerePoljaURedu() {
    QFETCH(int, ruta);
    QFETCH(QString, primatelj);
    QFETCH(QString, cc);
    QFETCH(QString, bcc);
    QFETCH(QString, predmet);
    QFETCH(QString, tekstPoruke);
    QFETCH(QString, posiljatelj);
    QFETCH(QString, ocekivano);
    QFETCH(QString, fokusNa);
    otvori(ruta);
    f->Napuni(predmet, primatelj, cc, bcc, tekstPoruke, "", "", "");
    polje("txtPošiljatelj")->setText(posiljatelj);
    posalji();
    QCOMPARE(dlg->texts(), QStringList{ocekivano});
    QCOMPARE(dlg->last().title, platform::defaultTitle());
    QCOMPARE(dlg->last().icon, MsgIcon::Exclamation);
    QCOMPARE(dlg->last().buttons, platform::MsgButtons::Ok);
    QCOMPARE(fokus(), fokusNa);
    QVERIFY(pozivi.isEmpty());
    QVERIFY(provjere.isEmpty());
    QVERIFY(f->isVisible());
  }

  void polja_seObrezujuPrijeProvjere() {
    otvori(2);
    f->Napuni("  Predmet  ", "  ana@firma.hr ", " ", "  ivo@firma.hr", "   ", "", "", "");
    posalji();
    QCOMPARE(polje("txtPrimatelj")->text(), QString("ana@firma.hr"));
    QCOMPARE(polje("txtCC")->text(), QString(""));
    QCOMPARE(polje("txtBCC")->text(), QString("ivo@firma.hr"));
    QCOMPARE(polje("txtPredmet")->text(), QString("Predmet"));
    // A message of blanks is neither trimmed nor refused.
    QCOMPARE(pozivi.size(), 1);
    QCOMPARE(pozivi[0].argumenti[2], QString("   "));
  }

  void rute_dobivajuPoljaURedu_data() {
    QTest::addColumn<int>("ruta");
    QTest::addColumn<QString>("imeRute");
    QTest::addColumn<QString>("statusTijekom");
    QTest::addColumn<QStringList>("argumenti");
    const QString tijelo = "Poštovani,\nu prilogu je račun.";
    QTest::newRow("Outlook") << 0 << "outlook" << "Slanje e-mail-a pomoću MS Outlook-a u toku ..."
                             << QStringList{"Račun 12/2024", "ana@firma.hr;ivo@firma.hr", tijelo,
                                            "/tmp/izvjestaj.pdf", "šef@firma.hr",
                                            "arhiva@firma.hr", "False", "", "/tmp/prilog3.txt",
                                            "True"};
    QTest::newRow("Thunderbird")
        << 1 << "thunderbird" << "Slanje e-mail-a pomoću Mozilla Thunderbird-a u toku ..."
        << QStringList{"ana@firma.hr;ivo@firma.hr", "Račun 12/2024", tijelo, "šef@firma.hr",
                       "arhiva@firma.hr", "/tmp/izvjestaj.pdf||/tmp/prilog3.txt",
                       "Đuro <djuro@firma.hr>", "True"};
    QTest::newRow("SMTP") << 2 << "smtp" << "Slanje e-mail-a direktno putem SMTP-a u toku ..."
                          << QStringList{"Račun 12/2024", "ana@firma.hr;ivo@firma.hr", tijelo,
                                         "/tmp/izvjestaj.pdf", "šef@firma.hr", "arhiva@firma.hr",
                                         "False", "", "/tmp/prilog3.txt"};
  }
  void rute_dobivajuPoljaURedu() {
    QFETCH(int, ruta);
    QFETCH(QString, imeRute);
    QFETCH(QString, statusTijekom);
    QFETCH(QStringList, argumenti);
    otvori(ruta);
    f->findChild<QCheckBox*>("chkZatvoriSlEmaila")->setChecked(false);
    polje("txtPošiljatelj")->setText("Đuro <djuro@firma.hr>");
    posalji();
    QCOMPARE(provjere, QStringList{imeRute});
    QCOMPARE(pozivi.size(), 1);
    QCOMPARE(pozivi[0].ruta, imeRute);
    QCOMPARE(pozivi[0].argumenti, argumenti);
    QCOMPARE(pozivi[0].statusUTijeku, statusTijekom);
    QCOMPARE(status(), QString("Uspješno poslan e-mail"));
    QCOMPARE(dlg->texts(), QStringList{"E-mail uspješno generiran!"});
    QCOMPARE(dlg->last().icon, MsgIcon::Exclamation);
    QVERIFY(f->isVisible());
  }

  void rute_opcijeIduUPoziv() {
    otvori(0);
    f->findChild<QCheckBox*>("chkZatvoriSlEmaila")->setChecked(false);
    akcija("mnuEmailOutlookZatvori")->trigger();  // now unchecked: display only
    posalji();
    QCOMPARE(pozivi.last().argumenti.last(), QString("False"));
    f->OdaberiNacinSlanja(1);
    akcija("mnuEmailThunderbirdŠaljiiEnter")->trigger();  // now unchecked
    polje("txtPošiljatelj")->setText("ana@firma.hr");
    posalji();
    QCOMPARE(pozivi.last().ruta, QString("thunderbird"));
    QCOMPARE(pozivi.last().argumenti.last(), QString("False"));
  }

  void posiljatelj_seSpremaIakoKasnijaProvjeraPadne() {
    otvori(1);
    polje("txtPošiljatelj")->setText("Ana Šimić <ana@firma.hr>");
    polje("txtPrimatelj")->clear();
    posalji();
    QCOMPARE(dlg->texts(), QStringList{"Mora se zadati e-mail primatelja!"});
    QCOMPARE(platform::VelkorSetting("mnuEmailPošiljatelj"), QString("Ana Šimić <ana@firma.hr>"));
  }

  void ruta3_neuspjehBezIkakvogPoziva() {
    otvori(3);
    for (int i = 0; i < 3; ++i)
      QVERIFY(!akcija(QString("mnuEmailPrekoOutlookaThunderSMTP_%1").arg(i))->isChecked());
    posalji();
    QVERIFY(pozivi.isEmpty());
    QVERIFY(provjere.isEmpty());
    QCOMPARE(status(), QString("E-mail nije uspješno poslan"));
    QCOMPARE(dlg->texts(), QStringList{"E-mail nije uspješno generiran!"});
    QCOMPARE(dlg->last().icon, MsgIcon::Exclamation);
  }

  void neuspjehRute_formaOstajeSPoljima() {
    otvori(2);
    rezultatRute = false;
    posalji();
    QCOMPARE(pozivi.size(), 1);
    QCOMPARE(status(), QString("E-mail nije uspješno poslan"));
    QCOMPARE(dlg->texts(), QStringList{"E-mail nije uspješno generiran!"});
    QVERIFY(f->isVisible());
    QCOMPARE(polje("txtPrimatelj")->text(), QString("ana@firma.hr;ivo@firma.hr"));
    QCOMPARE(poruka()->toPlainText(), QString("Poštovani,\nu prilogu je račun."));
  }

  void smtpProvjera_samoJednomIakoJePala() {
    otvori(2);
    rezultatProvjere = false;
    posalji();
    QCOMPARE(provjere, QStringList{"smtp"});
    QVERIFY(pozivi.isEmpty());
    QCOMPARE(dlg->texts(), QStringList{"E-mail nije uspješno generiran!"});
    QCOMPARE(platform::VelkorSetting("ProvPostSMTP"), QString("1"));
    posalji();
    QCOMPARE(provjere, QStringList{"smtp"});
    QCOMPARE(pozivi.size(), 1);
  }

  void outlookIThunderbirdProvjera_ponavljaSeDokNeProde_data() {
    QTest::addColumn<int>("ruta");
    QTest::addColumn<QString>("kljuc");
    QTest::addColumn<QString>("ime");
    QTest::newRow("Outlook") << 0 << "ProvPostOutlook" << "outlook";
    QTest::newRow("Thunderbird") << 1 << "ProvPostThunder" << "thunderbird";
  }
  void outlookIThunderbirdProvjera_ponavljaSeDokNeProde() {
    QFETCH(int, ruta);
    QFETCH(QString, kljuc);
    QFETCH(QString, ime);
    otvori(ruta);
    f->findChild<QCheckBox*>("chkZatvoriSlEmaila")->setChecked(false);
    polje("txtPošiljatelj")->setText("ana@firma.hr");
    rezultatProvjere = false;
    posalji();
    QCOMPARE(platform::VelkorSetting(kljuc, "0"), QString("0"));
    QVERIFY(pozivi.isEmpty());
    rezultatProvjere = true;
    posalji();
    posalji();
    QCOMPARE(provjere, (QStringList{ime, ime}));
    QCOMPARE(pozivi.size(), 2);
    QCOMPARE(platform::VelkorSetting(kljuc), QString("1"));
  }

  void provjera_spremljenaVrijednostNijeBroj() {
    otvori(2);
    platform::SaveVelkorSetting("ProvPostSMTP", "da");
    QVERIFY(!f->ProvPostSMTP());
    platform::SaveVelkorSetting("ProvPostOutlook", "2");
    QVERIFY(f->ProvPostOutlook());
    QVERIFY(provjere.isEmpty());
    QCOMPARE(platform::VelkorSetting("ProvPostSMTP"), QString("da"));
  }

  // With the real wiring: whatever the configuration check says, it runs once.
  void provPostSMTP_stvarnaProvjeraJednom() {
    frmSlanjeeMaila::PostaviRute({});
    f = frmSlanjeeMaila::forma();
    QVERIFY(!f->ProvPostSMTP());  // no SMTP settings stored: the missing ones are named
    QCOMPARE(dlg->calls.size(), 1);
    QCOMPARE(platform::VelkorSetting("ProvPostSMTP"), QString("1"));
    QVERIFY(f->ProvPostSMTP());
    QCOMPARE(dlg->calls.size(), 1);
  }

  void greska_uRutiIdeUOpciRukovatelj_data() {
    QTest::addColumn<bool>("standardna");
    QTest::addColumn<QString>("ocekivano");
    QTest::newRow("std::exception") << true << "Desila se greška: Veza je prekinuta";
    QTest::newRow("anything else") << false << "Desila se greška: Nepoznata greška";
  }
  void greska_uRutiIdeUOpciRukovatelj() {
    QFETCH(bool, standardna);
    QFETCH(QString, ocekivano);
    otvori(2);
    prijeRezultata = [standardna] {
      if (standardna) throw std::runtime_error("Veza je prekinuta");
      throw 42;
    };
    posalji();
    QCOMPARE(status(), QString("Greška!"));
    QCOMPARE(dlg->texts(), QStringList{ocekivano});
    QCOMPARE(dlg->last().title, QString("Greška u slanju e-mail-a"));
    QCOMPARE(dlg->last().icon, MsgIcon::Exclamation);
    QVERIFY(f->isVisible());
    // The form is usable again after the error.
    prijeRezultata = nullptr;
    f->findChild<QCheckBox*>("chkZatvoriSlEmaila")->setChecked(false);
    posalji();
    QCOMPARE(pozivi.size(), 2);
    QCOMPARE(status(), QString("Uspješno poslan e-mail"));
  }

  void uspjeh_zatvaraFormuIBrisePrilogPozivatelja() {
    const QString izvjestaj = env.writeFile("izvjestaj.pdf", "%PDF-1.4");
    const QString drugi = env.writeFile("drugi.txt", "ostaje");
    otvori(2, izvjestaj);
    polje("txtPrilog3")->setText(drugi);
    QVERIFY(f->findChild<QCheckBox*>("chkZatvoriSlEmaila")->isChecked());
    posalji();
    QCOMPARE(dlg->texts(), QStringList{"E-mail uspješno generiran!"});
    QVERIFY(!QFile::exists(izvjestaj));
    QVERIFY(QFile::exists(drugi));
    QVERIFY(!f->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(f.isNull());
  }

  void pgUpIPgDn_saljuIzBiloKojegPolja() {
    otvori(2);
    f->findChild<QCheckBox*>("chkZatvoriSlEmaila")->setChecked(false);
    QTest::keyClick(poruka(), Qt::Key_PageDown);
    QTest::keyClick(polje("txtCC"), Qt::Key_PageUp);
    QCOMPARE(pozivi.size(), 2);
    QCOMPARE(poruka()->toPlainText(), QString("Poštovani,\nu prilogu je račun."));
  }

  // Prikaži fills the form and blocks until it closes; Esc leaves, deleting the caller's file.
  void prikazi_modalnoDoIzlaza() {
    const QString izvjestaj = env.writeFile("racun.pdf", "%PDF-1.4");
    QString vidjeno;
    QPointer<frmSlanjeeMaila> prva = frmSlanjeeMaila::forma();
    QTimer::singleShot(0, prva, [&] {
      vidjeno = QStringList{prva->findChild<QLineEdit*>("txtPrimatelj")->text(),
                            prva->findChild<QLineEdit*>("txtPrilog")->text(),
                            platform::TrueFalse(prva->isModal())}
                    .join('|');
      QTest::keyClick(prva->findChild<QLineEdit*>("txtPredmet"), Qt::Key_Escape);
    });
    prva->Prikaži("Predmet", "ana@firma.hr", "", "", "Tekst", izvjestaj, "", "");
    QCOMPARE(vidjeno, QString("ana@firma.hr|") + izvjestaj + "|True");
    QVERIFY(prva.isNull());
    QVERIFY(!QFile::exists(izvjestaj));

    // The next call loads the form afresh; its close box deletes nothing.
    const QString drugi = env.writeFile("racun2.pdf", "%PDF-1.4");
    f = frmSlanjeeMaila::forma();
    QTimer::singleShot(0, f, [&] { f->close(); });
    f->Prikaži("Predmet", "ana@firma.hr", "", "", "Tekst", drugi, "", "");
    QVERIFY(f.isNull());
    QVERIFY(QFile::exists(drugi));
  }
};

QTEST_MAIN(TstSlanje)
#include "tst_frmslanjeemaila.moc"
