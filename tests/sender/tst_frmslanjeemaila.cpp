// The send form: stored options, field checks in order, the routes' arguments, one-time
// checks, outcome texts, leaving, the customer search, keys and field colours.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QtTest>
#include <stdexcept>

#include "platform/SettingsStore.h"
#include "sender/TrazilicaKupaca.h"
#include "sender/frmSlanjeeMaila.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

using platform::MsgIcon;
using platform::SaveVelkorSetting;
using platform::TrueFalse;
using platform::VelkorSetting;

namespace {
QString opt(const std::optional<QString>& s) { return s.value_or("<none>"); }
const QString kTijelo = "Poštovani,\nu prilogu je račun.";
}  // namespace

class TstFrmSlanjeeMaila : public QObject {
  Q_OBJECT

  TestEnv env;
  std::unique_ptr<ScriptedDialogs> dlg;
  QPointer<frmSlanjeeMaila> f;
  QList<QStringList> pozivi;  // route name, arguments..., status bar during the call
  QStringList provjere;       // one-time checks that ran
  bool rezultatRute = true, rezultatProvjere = true;
  std::function<void()> uRuti;  // runs inside a route call

  QString status() const { return f->findChild<QStatusBar*>("sBar")->currentMessage(); }
  QLineEdit* polje(const QString& ime) const { return f->findChild<QLineEdit*>(ime); }
  QPlainTextEdit* poruka() const { return f->findChild<QPlainTextEdit*>("txtPoruka"); }
  QAction* akcija(const QString& ime) const { return f->findChild<QAction*>(ime); }
  QAbstractButton* gumb(const QString& ime) const { return f->findChild<QAbstractButton*>(ime); }
  QCheckBox* zatvori() const { return f->findChild<QCheckBox*>("chkZatvoriSlEmaila"); }
  QString fokus() const { return f->focusWidget() ? f->focusWidget()->objectName() : QString(); }
  QString rute() const {
    QString r;
    for (int i = 0; i < 3; ++i)
      r += akcija(QString("mnuEmailPrekoOutlookaThunderSMTP_%1").arg(i))->isChecked() ? "x" : "-";
    return r;
  }

  bool zabiljezi(QStringList poziv) {
    pozivi << (poziv << status());
    if (uRuti) uRuti();
    return rezultatRute;
  }

  void postaviRute() {
    frmSlanjeeMaila::RuteSlanja r;
    r.outlookDostupan = [this] {
      provjere << "outlook";
      return rezultatProvjere;
    };
    r.thunderbirdPronadjen = [this](QWidget*) {
      provjere << "thunderbird";
      return rezultatProvjere;
    };
    r.smtpPostavkeIspravne = [this](QWidget*) {
      provjere << "smtp";
      return rezultatProvjere;
    };
    r.outlook = [this](const QString& s, const QString& to, const QString& b, const QString& a1,
                       const QString& cc, const QString& bcc, bool del, const QString& a2,
                       const QString& a3, bool odmah, QWidget*) {
      return zabiljezi(
          {"outlook", s, to, b, a1, cc, bcc, TrueFalse(del), a2, a3, TrueFalse(odmah)});
    };
    r.thunderbird = [this](const std::optional<QString>& to, const std::optional<QString>& s,
                           const std::optional<QString>& b, const std::optional<QString>& cc,
                           const std::optional<QString>& bcc, const std::optional<TBAttachments>& p,
                           const std::optional<QString>& od, std::optional<bool> tipka, QWidget*) {
      const QString lista = p && std::holds_alternative<QStringList>(*p)
                                ? std::get<QStringList>(*p).join('+')
                                : "<none>";
      return zabiljezi({"thunderbird", opt(to), opt(s), opt(b), opt(cc), opt(bcc), lista, opt(od),
                        tipka ? TrueFalse(*tipka) : "<none>"});
    };
    r.smtp = [this](const QString& s, const QString& to, const QString& b, const QString& a1,
                    const QString& cc, const QString& bcc, bool del, const QString& a2,
                    const QString& a3, QWidget*) {
      return zabiljezi({"smtp", s, to, b, a1, cc, bcc, TrueFalse(del), a2, a3});
    };
    r.smtpPostavke = [this](QWidget* roditelj) {
      provjere << "postavke:" + roditelj->objectName();
    };
    frmSlanjeeMaila::PostaviRute(std::move(r));
  }

  // A fresh form with every field valid, shown without a modal loop.
  void otvori(int ruta, const QString& p1 = "/tmp/izvjestaj.pdf", const QString& p2 = "",
              const QString& p3 = "/tmp/prilog3.txt") {
    SaveVelkorSetting("mnuEmailPrekoOutlookaThunderSMTP", QString::number(ruta));
    f = frmSlanjeeMaila::forma();
    f->Napuni("Račun 12/2024", "ana@firma.hr;ivo@firma.hr", "šef@firma.hr", "arhiva@firma.hr",
              kTijelo, p1, p2, p3);
    f->show();
    QVERIFY(QTest::qWaitForWindowActive(f));
  }
  void posalji() { gumb("cmdSlanje")->click(); }
  void ukloni() {
    if (f) f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(f.isNull());
  }
  void kupac(bool odustao, const QString& adresa) {
    PostaviTrazilicuKupaca([=](QWidget*) { return OdabirKupca{odustao, adresa}; });
  }

 private slots:
  void init() {
    QFile::remove(platform::settingsFilePath("Velkor"));
    dlg = std::make_unique<ScriptedDialogs>();
    pozivi.clear();
    provjere.clear();
    rezultatRute = rezultatProvjere = true;
    uRuti = nullptr;
    postaviRute();
  }
  void cleanup() {
    ukloni();
    frmSlanjeeMaila::PostaviRute({});
    PostaviTrazilicuKupaca({});
    dlg.reset();
  }

  void ucitavanje_data() {
    QTest::addColumn<QStringList>("spremljeno");  // key=value pairs
    QTest::addColumn<QString>("stanje");          // close box, routes, two options, sender
    QTest::newRow("defaults") << QStringList{} << "1 x-- 11 ";
    QTest::newRow("stored") << QStringList{"chkZatvoriFrmSlEmaila=0",
                                           "mnuEmailPrekoOutlookaThunderSMTP=2",
                                           "mnuEmailOutlookZatvori=False",
                                           "mnuEmailThunderbirdŠaljiiEnter=False",
                                           "mnuEmailPošiljatelj=Žana <zana@firma.hr>"}
                            << "0 --x 00 Žana <zana@firma.hr>";
    QTest::newRow("route not a number")
        << QStringList{"mnuEmailPrekoOutlookaThunderSMTP=SMTP"} << "1 x-- 11 ";
  }
  void ucitavanje() {
    QFETCH(QStringList, spremljeno);
    QFETCH(QString, stanje);
    for (const QString& s : spremljeno) SaveVelkorSetting(s.section('=', 0, 0), s.section('=', 1));
    f = frmSlanjeeMaila::forma();
    const auto b = [](bool v) { return v ? "1" : "0"; };
    QCOMPARE(QString("%1 %2 %3%4 %5")
                 .arg(b(zatvori()->isChecked()), rute(),
                      b(akcija("mnuEmailOutlookZatvori")->isChecked()),
                      b(akcija("mnuEmailThunderbirdŠaljiiEnter")->isChecked()),
                      polje("txtPošiljatelj")->text()),
             stanje);
    QCOMPARE(status(), QString("Definiranje osnovnih parametara za slanje e-mail-a"));
    QCOMPARE(f->windowTitle(), QString("Slanje e-mail-a"));
    QVERIFY(dlg->calls.isEmpty());
  }

  void izbornikIOpcije() {
    otvori(0);
    QStringList stavke;
    for (QAction* a : f->findChild<QMenu*>("mnuPostavke")->actions())
      stavke << (a->isSeparator() ? "-" : a->objectName() + "=" + a->text());
    QCOMPARE(stavke,
             (QStringList{
                 "mnuEmailPrekoOutlookaThunderSMTP_0=Slanje e-maila preko Microsoft Outlook-a",
                 "mnuEmailOutlookZatvori=Automatski šalji e-mail i zatvori MS Outlook", "-",
                 "mnuEmailPrekoOutlookaThunderSMTP_1=Slanje e-maila preko Mozilla Thunderbird-a",
                 "mnuEmailThunderbirdŠaljiiEnter=Automatski šalji e-mail slanjem tipke Enter", "-",
                 "mnuEmailPrekoOutlookaThunderSMTP_2=Slanje e-maila direktno preko SMTP-a",
                 "mnuSMTPPostavke=SMTP postavke"}));
    akcija("mnuSMTPPostavke")->trigger();
    QCOMPARE(provjere, QStringList{"postavke:frmSlanjeeMaila"});
    akcija("mnuEmailPrekoOutlookaThunderSMTP_1")->trigger();
    akcija("mnuEmailPrekoOutlookaThunderSMTP_1")->trigger();  // choosing it again keeps it
    QCOMPARE(rute() + VelkorSetting("mnuEmailPrekoOutlookaThunderSMTP"), QString("-x-1"));
    f->OdaberiNacinSlanja(3);
    QCOMPARE(rute() + VelkorSetting("mnuEmailPrekoOutlookaThunderSMTP"), QString("---3"));

    akcija("mnuEmailOutlookZatvori")->trigger();
    QCOMPARE(VelkorSetting("mnuEmailOutlookZatvori"), QString("False"));
    akcija("mnuEmailThunderbirdŠaljiiEnter")->trigger();
    QCOMPARE(VelkorSetting("mnuEmailThunderbirdŠaljiiEnter"), QString("False"));
    QVERIFY(dlg->calls.isEmpty());  // the warning comes only when the option is switched on
    akcija("mnuEmailThunderbirdŠaljiiEnter")->trigger();
    QCOMPARE(VelkorSetting("mnuEmailThunderbirdŠaljiiEnter"), QString("True"));
    QCOMPARE(dlg->texts(), QStringList{"Upozorenje: Ova opcija neće raditi u svim verzijama "
                                       "Thunderbird-a, pa je isključite ako ne radi."});
    QCOMPARE(dlg->last().title, QString("Upozorenje"));
    QCOMPARE(dlg->last().icon, MsgIcon::Information);
    for (const char* ocekivano : {"0", "1"}) {
      QTest::mouseClick(zatvori(), Qt::LeftButton, {}, QPoint(5, zatvori()->height() / 2));
      QCOMPARE(VelkorSetting("chkZatvoriFrmSlEmaila"), QString(ocekivano));
    }
  }

  void provjerePoljaURedu_data() {
    QTest::addColumn<int>("ruta");
    QTest::addColumn<QStringList>("polja");  // To, CC, BCC, subject, message, sender
    QTest::addColumn<QString>("ocekivano");
    QTest::addColumn<QString>("fokusNa");
    const QString ok = "ana@firma.hr";
    QTest::newRow("To of blanks") << 2 << QStringList{"   ", "", "", "P", "T", ""}
                                  << "Mora se zadati e-mail primatelja!"
                                  << "txtPrimatelj";
    QTest::newRow("To ends in ;") << 2 << QStringList{ok + ";", "", "", "P", "T", ""}
                                  << "E-mail primatelja nije u ispravnom formatu!"
                                  << "txtPrimatelj";
    QTest::newRow("CC before BCC") << 2 << QStringList{ok, "ivo@firma", "x", "P", "T", ""}
                                   << "E-mail CC nije u ispravnom formatu!"
                                   << "txtCC";
    QTest::newRow("BCC blank after ;") << 2 << QStringList{ok, "", ok + "; b@c.hr", "P", "T", ""}
                                       << "E-mail BCC nije u ispravnom formatu!"
                                       << "txtBCC";
    QTest::newRow("subject of blanks")
        << 2 << QStringList{ok, "", "", "    ", "T", ""} << "Mora se upisati predmet poruke!"
        << "txtPredmet";
    QTest::newRow("empty message")
        << 2 << QStringList{ok, "", "", "P", "", ""} << "Mora se upisati tekst poruke!"
        << "txtPoruka";
    QTest::newRow("Thunderbird: sender first")
        << 1 << QStringList{"", "", "", "", "", ""} << "Mora se zadati ime i e-mail pošiljatelja!"
        << "txtPošiljatelj";
    QTest::newRow("Outlook: no sender needed")
        << 0 << QStringList{"", "", "", "P", "T", ""} << "Mora se zadati e-mail primatelja!"
        << "txtPrimatelj";
    QTest::newRow("Thunderbird: sender kept")
        << 1 << QStringList{"", "", "", "P", "T", "Ana Šimić <ana@firma.hr>"}
        << "Mora se zadati e-mail primatelja!"
        << "txtPrimatelj";
  }
  void provjerePoljaURedu() {
    QFETCH(int, ruta);
    QFETCH(QStringList, polja);
    QFETCH(QString, ocekivano);
    QFETCH(QString, fokusNa);
    otvori(ruta);
    f->Napuni(polja[3], polja[0], polja[1], polja[2], polja[4], "", "", "");
    polje("txtPošiljatelj")->setText(polja[5]);
    posalji();
    QCOMPARE(dlg->texts(), QStringList{ocekivano});
    QCOMPARE(dlg->last().title, platform::defaultTitle());
    QCOMPARE(dlg->last().icon, MsgIcon::Exclamation);
    QCOMPARE(dlg->last().buttons, platform::MsgButtons::Ok);
    QCOMPARE(fokus(), fokusNa);
    QVERIFY(pozivi.isEmpty() && provjere.isEmpty());
    QCOMPARE(VelkorSetting("mnuEmailPošiljatelj"), polja[5]);  // stored before the later checks
  }

  void rute_dobivajuPoljaURedu_data() {
    QTest::addColumn<int>("ruta");
    QTest::addColumn<QString>("poziv");  // route|arguments...|status bar during the call
    const QString zajedno =
        "Račun 12/2024|ana@firma.hr;ivo@firma.hr|" + kTijelo +
        "|/tmp/izvjestaj.pdf|šef@firma.hr|arhiva@firma.hr|False||/tmp/prilog3.txt";
    QTest::newRow("Outlook") << 0
                             << "outlook|" + zajedno +
                                    "|True|Slanje e-mail-a pomoću MS Outlook-a u toku ...";
    QTest::newRow("Thunderbird")
        << 1
        << "thunderbird|ana@firma.hr;ivo@firma.hr|Račun 12/2024|" + kTijelo +
               "|šef@firma.hr|arhiva@firma.hr|/tmp/izvjestaj.pdf++/tmp/prilog3.txt|"
               "Đuro <djuro@firma.hr>|True|Slanje e-mail-a pomoću Mozilla Thunderbird-a u toku ...";
    QTest::newRow("SMTP") << 2
                          << "smtp|" + zajedno +
                                 "|Slanje e-mail-a direktno putem SMTP-a u toku ...";
  }
  void rute_dobivajuPoljaURedu() {
    QFETCH(int, ruta);
    QFETCH(QString, poziv);
    otvori(ruta);
    zatvori()->setChecked(false);
    f->Napuni("  Račun 12/2024 ", " ana@firma.hr;ivo@firma.hr  ", "šef@firma.hr ",
              " arhiva@firma.hr", kTijelo, "/tmp/izvjestaj.pdf", "", "/tmp/prilog3.txt");
    polje("txtPošiljatelj")->setText("Đuro <djuro@firma.hr>");
    posalji();
    QCOMPARE(provjere, QStringList{poziv.section('|', 0, 0)});
    QCOMPARE(pozivi.size(), 1);
    QCOMPARE(pozivi[0].join('|'), poziv);
    QCOMPARE(polje("txtPrimatelj")->text(), QString("ana@firma.hr;ivo@firma.hr"));  // trimmed back
    QCOMPARE(status(), QString("Uspješno poslan e-mail"));
    QCOMPARE(dlg->texts(), QStringList{"E-mail uspješno generiran!"});
    QCOMPARE(dlg->last().icon, MsgIcon::Exclamation);
    QVERIFY(f->isVisible());
    // The option items go into the next call; PgUp/PgDn send as the button does.
    akcija("mnuEmailOutlookZatvori")->trigger();
    akcija("mnuEmailThunderbirdŠaljiiEnter")->trigger();
    poruka()->setPlainText("   ");  // blanks only: not trimmed, not refused
    QTest::keyClick(poruka(), Qt::Key_PageDown);
    QCOMPARE(pozivi.size(), 2);
    QVERIFY(pozivi[1].contains("   "));
    if (ruta < 2) QCOMPARE(pozivi[1][pozivi[1].size() - 2], QString("False"));
  }

  void neuspjeh_data() {
    QTest::addColumn<int>("ruta");
    QTest::addColumn<bool>("provjeraProlazi");
    QTest::addColumn<int>("brojPoziva");
    QTest::newRow("route reports failure") << 2 << true << 1;
    QTest::newRow("route 3: nothing called") << 3 << true << 0;
    QTest::newRow("failed one-time check") << 0 << false << 0;
  }
  void neuspjeh() {
    QFETCH(int, ruta);
    QFETCH(bool, provjeraProlazi);
    QFETCH(int, brojPoziva);
    otvori(ruta);
    rezultatRute = false;
    rezultatProvjere = provjeraProlazi;
    posalji();
    QCOMPARE(pozivi.size(), brojPoziva);
    QCOMPARE(provjere.size(), ruta == 3 ? 0 : 1);
    QCOMPARE(status(), QString("E-mail nije uspješno poslan"));
    QCOMPARE(dlg->texts(), QStringList{"E-mail nije uspješno generiran!"});
    QCOMPARE(dlg->last().icon, MsgIcon::Exclamation);
    QVERIFY(f->isVisible());
    QCOMPARE(poruka()->toPlainText(), kTijelo);
  }

  void jednokratneProvjere() {
    otvori(2);
    zatvori()->setChecked(false);
    rezultatProvjere = false;
    posalji();
    posalji();  // the SMTP check ran once although it failed
    QCOMPARE(provjere, QStringList{"smtp"});
    QCOMPARE(pozivi.size(), 1);
    QCOMPARE(VelkorSetting("ProvPostSMTP"), QString("1"));
    // Outlook and Thunderbird store their flag only when the check passed.
    for (int ruta : {0, 1}) {
      f->OdaberiNacinSlanja(ruta);
      polje("txtPošiljatelj")->setText("ana@firma.hr");
      rezultatProvjere = false;
      posalji();
      rezultatProvjere = true;
      posalji();
      posalji();
    }
    QCOMPARE(provjere, (QStringList{"smtp", "outlook", "outlook", "thunderbird", "thunderbird"}));
    QCOMPARE(VelkorSetting("ProvPostOutlook") + VelkorSetting("ProvPostThunder"), QString("11"));
    // A stored flag that is not a number fails without checking.
    SaveVelkorSetting("ProvPostSMTP", "da");
    QVERIFY(!f->ProvPostSMTP());
    QCOMPARE(provjere.size(), 5);
  }

  // With the real wiring: the missing SMTP settings are named once, and never again.
  void provPostSMTP_stvarnaProvjera() {
    frmSlanjeeMaila::PostaviRute({});
    f = frmSlanjeeMaila::forma();
    QVERIFY(!f->ProvPostSMTP());
    QCOMPARE(dlg->calls.size(), 1);
    QCOMPARE(VelkorSetting("ProvPostSMTP"), QString("1"));
    QVERIFY(f->ProvPostSMTP());
    QCOMPARE(dlg->calls.size(), 1);
  }

  void greskaURuti_data() {
    QTest::addColumn<bool>("standardna");
    QTest::addColumn<QString>("ocekivano");
    QTest::newRow("std::exception") << true << "Desila se greška: Veza je prekinuta";
    QTest::newRow("anything else") << false << "Desila se greška: Nepoznata greška";
  }
  void greskaURuti() {
    QFETCH(bool, standardna);
    QFETCH(QString, ocekivano);
    otvori(2);
    uRuti = [standardna] { standardna ? throw std::runtime_error("Veza je prekinuta") : throw 42; };
    posalji();
    QCOMPARE(status(), QString("Greška!"));
    QCOMPARE(dlg->texts(), QStringList{ocekivano});
    QCOMPARE(dlg->last().title, QString("Greška u slanju e-mail-a"));
    QCOMPARE(dlg->last().icon, MsgIcon::Exclamation);
    uRuti = nullptr;  // the form is usable again, and a success now closes it
    posalji();
    QCOMPARE(pozivi.size(), 2);
    QVERIFY(!f->isVisible());
  }

  void prilozi() {
    otvori(0, "/tmp/a.pdf", "/tmp/b.pdf", "/tmp/c.pdf");
    for (const char* ime : {"cmdLokacija_0", "cmdLokacija_1", "cmdLokacija_2"})
      QVERIFY(!gumb(ime)->isEnabled());
    for (const char* ime : {"txtPrilog", "txtPrilog2", "txtPrilog3"})
      QVERIFY(polje(ime)->isReadOnly());
    ukloni();
    otvori(0, "", "/tmp/b.pdf", "");
    QVERIFY(gumb("cmdLokacija_0")->isEnabled() && !gumb("cmdLokacija_1")->isEnabled());
    QVERIFY(!polje("txtPrilog")->isReadOnly() && polje("txtPrilog2")->isReadOnly());
    const QString datoteka = env.writeFile("ponuda.pdf", "%PDF");
    polje("txtPrilog3")->setText("/home/ana");
    dlg->answerText(datoteka);
    gumb("cmdLokacija_2")->click();
    QCOMPARE(polje("txtPrilog3")->text(), datoteka);
    const platform::FileDialogOptions& o = dlg->last().file;
    QCOMPARE(o.title, QString("Izaberite direktoriju i naziv datoteke koju želite priložiti"));
    QCOMPARE(o.filter + o.defaultExt + o.initialDir, QString("Sve datoteka (*.*)|*.**.*/home/ana"));
    QVERIFY(o.fileMustExist && o.pathMustExist);
    dlg->answerText(std::nullopt);
    gumb("cmdLokacija_2")->click();
    QCOMPARE(polje("txtPrilog3")->text(), datoteka);
  }

  void izlaz_data() {
    QTest::addColumn<QString>("nacin");
    QTest::addColumn<bool>("odPozivatelja");
    QTest::addColumn<bool>("obrisan");
    QTest::newRow("Esc") << "esc" << true << true;
    QTest::newRow("cmdPrekid") << "cmdPrekid" << true << true;
    QTest::newRow("success, close box checked") << "send" << true << true;
    QTest::newRow("close box of the window") << "close" << true << false;
    QTest::newRow("user's own first attachment") << "cmdPrekid" << false << false;
  }
  void izlaz() {
    QFETCH(QString, nacin);
    QFETCH(bool, odPozivatelja);
    QFETCH(bool, obrisan);
    const QString izvjestaj = env.writeFile("izvjestaj.pdf", "%PDF"),
                  drugi = env.writeFile("drugi.pdf", "%PDF");
    otvori(2, odPozivatelja ? izvjestaj : "", drugi, "");
    polje("txtPrilog")->setText(izvjestaj);
    if (nacin == "esc")
      QTest::keyClick(polje("txtPredmet"), Qt::Key_Escape);
    else if (nacin == "close")
      f->close();
    else
      gumb(nacin == "send" ? "cmdSlanje" : nacin)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(f.isNull());
    QCOMPARE(!QFile::exists(izvjestaj), obrisan);
    QVERIFY(QFile::exists(drugi));
  }

  // Prikaži fills the form and blocks until it closes; the next call loads it afresh.
  void prikaziModalno() {
    const QString izvjestaj = env.writeFile("racun.pdf", "%PDF");
    f = frmSlanjeeMaila::forma();
    QString vidjeno;
    QTimer::singleShot(0, f, [&] {
      vidjeno = polje("txtPrimatelj")->text() + "|" + polje("txtPrilog")->text() + "|" +
                TrueFalse(f->isModal());
      QTest::keyClick(polje("txtPredmet"), Qt::Key_Escape);
    });
    f->Prikaži("Predmet", "ana@firma.hr", "", "", "Tekst", izvjestaj, "", "");
    QCOMPARE(vidjeno, "ana@firma.hr|" + izvjestaj + "|True");
    QVERIFY(f.isNull());
    QVERIFY(!QFile::exists(izvjestaj));
    f = frmSlanjeeMaila::forma();
    QCOMPARE(polje("txtPrimatelj")->text(), QString());
  }

  void trazilica_data() {
    QTest::addColumn<QString>("kako");       // F3 in a field or a cmdEmail button
    QTest::addColumn<QStringList>("prije");  // To, CC, BCC
    QTest::addColumn<bool>("odustao");
    QTest::addColumn<QString>("adresa");
    QTest::addColumn<QStringList>("poslije");
    const QStringList prazno{"ana@firma.hr", "", ""};
    QTest::newRow("F3 in CC, empty") << "txtCC" << QStringList{"ana@firma.hr", "  ", ""} << false
                                     << "k@t.hr" << QStringList{"ana@firma.hr", "k@t.hr", ""};
    QTest::newRow("F3 in To appends") << "txtPrimatelj" << prazno << false << "k@t.hr"
                                      << QStringList{"ana@firma.hr;k@t.hr", "", ""};
    QTest::newRow("button 1 appends, trimmed")
        << "cmdEmail_1" << QStringList{"ana@firma.hr", "b@t.hr ", ""} << false << "k@t.hr"
        << QStringList{"ana@firma.hr", "b@t.hr;k@t.hr", ""};
    QTest::newRow("button 2 into empty BCC")
        << "cmdEmail_2" << prazno << false << "k@t.hr" << QStringList{"ana@firma.hr", "", "k@t.hr"};
    QTest::newRow("present in BCC")
        << "txtPrimatelj" << QStringList{"ana@firma.hr", "", "k@t.hr"} << false << "k@t.hr"
        << QStringList{"ana@firma.hr", "", "k@t.hr"};
    QTest::newRow("present as substring") << "txtCC" << prazno << false << "ana@firma.h" << prazno;
    QTest::newRow("cancelled") << "cmdEmail_0" << prazno << true << "k@t.hr" << prazno;
    QTest::newRow("nothing chosen") << "cmdEmail_1" << prazno << false << "" << prazno;
  }
  void trazilica() {
    QFETCH(QString, kako);
    QFETCH(QStringList, prije);
    QFETCH(bool, odustao);
    QFETCH(QString, adresa);
    QFETCH(QStringList, poslije);
    otvori(0);
    const QStringList imena{"txtPrimatelj", "txtCC", "txtBCC"};
    for (int i = 0; i < 3; ++i) polje(imena[i])->setText(prije[i]);
    kupac(odustao, adresa);
    if (kako.startsWith("cmd"))
      gumb(kako)->click();
    else
      QTest::keyClick(polje(kako), Qt::Key_F3);
    QCOMPARE(
        (QStringList{polje(imena[0])->text(), polje(imena[1])->text(), polje(imena[2])->text()}),
        poslije);
  }

  void tipkeIBoje() {
    otvori(0);
    const QColor zelena(192, 255, 192), crvena(255, 192, 192);
    polje("txtPrimatelj")->setFocus();
    polje("txtPrimatelj")->setText("ana@firma.hr;");
    QTest::keyClick(polje("txtPrimatelj"), Qt::Key_Return);
    QCOMPARE(fokus(), QString("txtCC"));  // the focus leaves a bad field all the same
    QCOMPARE(polje("txtPrimatelj")->palette().color(QPalette::Base), crvena);
    polje("txtCC")->clear();
    QTest::keyClick(polje("txtCC"), Qt::Key_Down);
    QCOMPARE(fokus(), QString("txtBCC"));
    QCOMPARE(polje("txtCC")->palette().color(QPalette::Base), zelena);  // empty passes
    QTest::keyClick(polje("txtBCC"), Qt::Key_Up);
    QCOMPARE(fokus(), QString("txtCC"));
    QCOMPARE(polje("txtBCC")->palette().color(QPalette::Base), zelena);
    QTest::keyClick(polje("txtCC"), Qt::Key_Enter);
    QTest::keyClick(polje("txtBCC"), Qt::Key_Return);
    QTest::keyClick(polje("txtPredmet"), Qt::Key_Return);
    QCOMPARE(fokus(), QString("txtPoruka"));
    QCOMPARE(polje("txtPredmet")->palette().color(QPalette::Base),
             f->palette().color(QPalette::Base));
    // The message text keeps Enter and the arrows for itself.
    poruka()->setPlainText("Tekst");
    poruka()->moveCursor(QTextCursor::End);
    QTest::keyClick(poruka(), Qt::Key_Return);
    QTest::keyClick(poruka(), Qt::Key_Up);
    QCOMPARE(fokus(), QString("txtPoruka"));
    QCOMPARE(poruka()->toPlainText() + QString::number(poruka()->textCursor().blockNumber()),
             QString("Tekst\n0"));
    zatvori()->setFocus();
    QTest::keyClick(zatvori(), Qt::Key_Up);
    QCOMPARE(fokus(), QString("txtPošiljatelj"));
  }
};

QTEST_MAIN(TstFrmSlanjeeMaila)
#include "tst_frmslanjeemaila.moc"
