// The send form: stored options, field checks in order, the routes' arguments, one-time
// checks, outcome texts, leaving, attachments, keys, field colours and the customer search.
#include <stdexcept>

#include "core/SettingsStore.h"
#include "lookup/frmKupciEMail.h"
#include "sender/frmSlanjeeMaila.h"
#include "support/Fixture.h"

using namespace sender;
using platform::MsgIcon;
using core::SaveVelkorSetting;
using core::TrueFalse;
using core::VelkorSetting;

namespace {
const QString kTijelo = "Poštovani,\nu prilogu je račun.";
// A route's arguments as text; the parent window gives nothing.
QString txt(const QString& s) { return s; }
QString txt(bool b) { return TrueFalse(b); }
QString txt(QWidget*) { return {}; }
QString txt(const TBAttachments& a) {
  return std::holds_alternative<QStringList>(a) ? std::get<QStringList>(a).join('+') : "?";
}
template <class T>
QString txt(const std::optional<T>& o) {
  return o ? txt(*o) : "<none>";
}
}  // namespace

class TstFrmSlanjeeMaila : public Fixture {
  Q_OBJECT

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
  // Close box, the three routes, the two options, the sender.
  QString stanje() const {
    const auto b = [](bool v) { return v ? "1" : "0"; };
    QString r;
    for (int i = 0; i < 3; ++i)
      r += akcija(QString("mnuEmailPrekoOutlookaThunderSMTP_%1").arg(i))->isChecked() ? "x" : "-";
    return QString("%1 %2 %3%4 %5")
        .arg(b(zatvori()->isChecked()), r, b(akcija("mnuEmailOutlookZatvori")->isChecked()),
             b(akcija("mnuEmailThunderbirdŠaljiiEnter")->isChecked()),
             polje("txtPošiljatelj")->text());
  }
  void klikniZatvori() {
    QTest::mouseClick(zatvori(), Qt::LeftButton, {}, QPoint(5, zatvori()->height() / 2));
  }

  auto biljezi(const QString& ime) {
    return [this, ime](const auto&... a) {
      QStringList poziv{ime};
      ((poziv << txt(a)), ...);
      poziv.last() = status();  // in place of the parent window
      pozivi << poziv;
      if (uRuti) uRuti();
      return rezultatRute;
    };
  }
  auto provjera(const QString& ime) {
    return [this, ime](auto...) {
      provjere << ime;
      return rezultatProvjere;
    };
  }

  // A fresh form with every field valid, shown without a modal loop.
  void otvori(int ruta, const QString& p1 = "/tmp/izvjestaj.pdf",
              const QString& p3 = "/tmp/prilog3.txt") {
    SaveVelkorSetting("mnuEmailPrekoOutlookaThunderSMTP", QString::number(ruta));
    f = frmSlanjeeMaila::forma();
    f->Napuni("Račun 12/2024", "ana@firma.hr;ivo@firma.hr", "šef@firma.hr", "arhiva@firma.hr",
              kTijelo, p1, "", p3);
    f->show();
    QVERIFY(QTest::qWaitForWindowActive(f));
  }
  void posalji() { gumb("cmdSlanje")->click(); }

 private slots:
  void init() {
    Fixture::init();
    pozivi.clear();
    provjere.clear();
    rezultatRute = rezultatProvjere = true;
    uRuti = nullptr;
    frmSlanjeeMaila::PostaviRute({.outlookDostupan = provjera("outlook"),
                                  .thunderbirdPronadjen = provjera("thunderbird"),
                                  .smtpPostavkeIspravne = provjera("smtp"),
                                  .outlook = biljezi("outlook"),
                                  .thunderbird = biljezi("thunderbird"),
                                  .smtp = biljezi("smtp")});
  }
  void cleanup() {
    if (f) f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(f.isNull());
    frmSlanjeeMaila::PostaviRute({});
    Fixture::cleanup();
  }

  // Options load from the store, and the menu and the close box write them back at once.
  void opcije() {
    SaveVelkorSetting("mnuEmailPošiljatelj", "Žana <zana@firma.hr>");
    f = frmSlanjeeMaila::forma();
    f->show();
    QCOMPARE(stanje(), QString("1 x-- 11 Žana <zana@firma.hr>"));  // the defaults
    akcija("mnuEmailPrekoOutlookaThunderSMTP_2")->trigger();
    akcija("mnuEmailOutlookZatvori")->trigger();
    akcija("mnuEmailThunderbirdŠaljiiEnter")->trigger();
    klikniZatvori();
    QStringList spremljeno;
    for (const char* k : {"mnuEmailPrekoOutlookaThunderSMTP", "mnuEmailOutlookZatvori",
                          "mnuEmailThunderbirdŠaljiiEnter", "chkZatvoriFrmSlEmaila"})
      spremljeno << VelkorSetting(k);
    QCOMPARE(spremljeno.join(' '), QString("2 False False 0"));
    QVERIFY(dlg->calls.isEmpty());  // the warning comes only when the option is switched on
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    f = frmSlanjeeMaila::forma();
    f->show();
    QCOMPARE(stanje(), QString("0 --x 00 Žana <zana@firma.hr>"));
    akcija("mnuEmailThunderbirdŠaljiiEnter")->trigger();
    klikniZatvori();
    QCOMPARE(
        VelkorSetting("mnuEmailThunderbirdŠaljiiEnter") + VelkorSetting("chkZatvoriFrmSlEmaila"),
        QString("True1"));
    QCOMPARE(dlg->texts(), QStringList{"Upozorenje: Ova opcija neće raditi u svim verzijama "
                                       "Thunderbird-a, pa je isključite ako ne radi."});
    QCOMPARE(dlg->last().title, QString("Upozorenje"));
    QCOMPARE(dlg->last().icon, MsgIcon::Information);
  }

  void provjerePoljaURedu_data() {
    QTest::addColumn<QString>("polja");      // route|To|CC|BCC|subject|message|sender
    QTest::addColumn<QString>("ocekivano");  // box text|field with the focus
    const QString to = "E-mail primatelja nije u ispravnom formatu!|txtPrimatelj";
    const QString bcc = "E-mail BCC nije u ispravnom formatu!|txtBCC";
    QTest::newRow("To ends in ;") << "2|ana@firma.hr;|||P|T|" << to;
    QTest::newRow("CC before BCC") << "2|ana@firma.hr|ivo@firma|x|P|T|" << "E-mail CC nije u ispravnom formatu!|txtCC";
    QTest::newRow("BCC blank after ;") << "2|ana@firma.hr||ana@firma.hr; b@c.hr|P|T|" << bcc;
    // A line break would end the header on any route; the check is the same for all three.
    QTest::newRow("line break in BCC") << "0|ana@firma.hr||arhiva@firma.hr\n\nLazni.tekst|P|T|" << bcc;
    QTest::newRow("CR in To") << "0|ana@firma.hr\rTo: x@y.hr|||P|T|" << to;
    QTest::newRow("subject of blanks") << "2|ana@firma.hr|||    |T|" << "Mora se upisati predmet poruke!|txtPredmet";
    QTest::newRow("empty message") << "2|ana@firma.hr|||P||" << "Mora se upisati tekst poruke!|txtPoruka";
    QTest::newRow("Thunderbird: sender first")
        << "1||||||" << "Mora se zadati ime i e-mail pošiljatelja!|txtPošiljatelj";
    QTest::newRow("Thunderbird: sender kept, To of blanks")
        << "1|   |||P|T|Ana Šimić <ana@firma.hr>" << "Mora se zadati e-mail primatelja!|txtPrimatelj";
  }
  void provjerePoljaURedu() {
    QFETCH(QString, polja);
    const QStringList p = polja.split('|');
    otvori(p[0].toInt());
    f->Napuni(p[4], p[1], p[2], p[3], p[5], "", "", "");
    polje("txtPošiljatelj")->setText(p[6]);
    posalji();
    QTEST(dlg->texts().join('|') + "|" + fokus(), "ocekivano");
    QCOMPARE(dlg->last().title, platform::defaultTitle());
    QCOMPARE(dlg->last().icon, MsgIcon::Exclamation);
    QVERIFY(pozivi.isEmpty() && provjere.isEmpty());
    QCOMPARE(VelkorSetting("mnuEmailPošiljatelj"), p[6]);  // stored before the later checks
  }

  void rute_dobivajuPoljaURedu_data() {
    QTest::addColumn<int>("ruta");
    QTest::addColumn<QString>("poziv");  // route|arguments...|status bar during the call
    const QString zajedno = "Račun 12/2024|ana@firma.hr;ivo@firma.hr|" + kTijelo +
                            "|/tmp/izvjestaj.pdf|šef@firma.hr|arhiva@firma.hr|False||/tmp/prilog3.txt";
    const QString slanje = "|Slanje e-mail-a ";
    QTest::newRow("Outlook") << 0 << "outlook|" + zajedno + "|True" + slanje + "pomoću MS Outlook-a u toku ...";
    QTest::newRow("Thunderbird") << 1 << "thunderbird|ana@firma.hr;ivo@firma.hr|Račun 12/2024|" + kTijelo +
                                         "|šef@firma.hr|arhiva@firma.hr|/tmp/izvjestaj.pdf++/tmp/prilog3.txt|"
                                         "Đuro <djuro@firma.hr>|True" + slanje +
                                         "pomoću Mozilla Thunderbird-a u toku ...";
    QTest::newRow("SMTP") << 2 << "smtp|" + zajedno + slanje + "direktno putem SMTP-a u toku ...";
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
    // The option items go into the next call; PgDn sends as the button does.
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
    QTest::addColumn<QString>("kvar");
    QTest::addColumn<int>("brojPoziva");
    QTest::addColumn<QStringList>("ocekivano");  // status bar, box text, box title
    QTest::addColumn<int>("provjereNaKraju");    // one-time checks run after a second send
    const QStringList nijeUspjelo{"E-mail nije uspješno poslan", "E-mail nije uspješno generiran!",
                                  platform::defaultTitle()};
    QTest::newRow("route reports failure") << 2 << "ruta" << 1 << nijeUspjelo << 1;
    QTest::newRow("stored route 3: nothing called") << 3 << "" << 0 << nijeUspjelo << 0;
    QTest::newRow("failed Outlook check: runs again") << 0 << "provjera" << 0 << nijeUspjelo << 2;
    QTest::newRow("failed SMTP check: runs once") << 2 << "provjera" << 0 << nijeUspjelo << 1;
    const auto greska = [](const QString& opis) {
      return QStringList{"Greška!", "Desila se greška: " + opis, "Greška u slanju e-mail-a"};
    };
    QTest::newRow("std::exception in the route")
        << 2 << "std" << 1 << greska("Veza je prekinuta") << 1;
    QTest::newRow("anything else thrown") << 2 << "42" << 1 << greska("Nepoznata greška") << 1;
  }
  void neuspjeh() {
    QFETCH(int, ruta);
    QFETCH(QString, kvar);
    otvori(ruta);
    rezultatRute = kvar != "ruta";
    rezultatProvjere = kvar != "provjera";
    if (kvar == "std") uRuti = [] { throw std::runtime_error("Veza je prekinuta"); };
    if (kvar == "42") uRuti = [] { throw 42; };
    posalji();
    QTEST(int(pozivi.size()), "brojPoziva");
    QCOMPARE(provjere.size(), ruta == 3 ? 0 : 1);
    QTEST((QStringList{status(), dlg->texts().join('|'), dlg->last().title}), "ocekivano");
    QCOMPARE(dlg->last().icon, MsgIcon::Exclamation);
    QVERIFY(f->isVisible());
    QCOMPARE(poruka()->toPlainText(), kTijelo);
    if (ruta == 3) return;
    rezultatRute = rezultatProvjere = true;  // the form is usable again: a success closes it
    uRuti = nullptr;
    posalji();
    QVERIFY(!f->isVisible());
    QTEST(int(provjere.size()), "provjereNaKraju");
    if (ruta == 2) QCOMPARE(VelkorSetting("ProvPostSMTP"), QString("1"));
  }

  // Only a success deletes the caller's first attachment, and only one the caller gave.
  void izlaz_data() {
    QTest::addColumn<QString>("nacin");
    QTest::addColumn<bool>("odPozivatelja");
    QTest::newRow("success, close box checked") << "cmdSlanje" << true;
    QTest::newRow("close box of the window") << "close" << true;
    QTest::newRow("user's own first attachment") << "esc" << false;
  }
  void izlaz() {
    QFETCH(QString, nacin);
    QFETCH(bool, odPozivatelja);
    const QString izvjestaj = env->writeFile("izvjestaj.pdf", "%PDF");
    otvori(2, odPozivatelja ? izvjestaj : "", env->writeFile("drugi.pdf", "%PDF"));
    polje("txtPrilog")->setText(izvjestaj);
    if (nacin == "esc") QTest::keyClick(polje("txtPredmet"), Qt::Key_Escape);
    else if (nacin == "close") f->close();
    else gumb(nacin)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(f.isNull());
    QCOMPARE(!QFile::exists(izvjestaj), nacin == "cmdSlanje");
    QVERIFY(QFile::exists(env->path("drugi.pdf")));
  }

  // Prikaži fills the form and blocks until it closes; Esc deletes only the caller's file.
  void prikaziModalno_prilozi() {
    const QString izvjestaj = env->writeFile("racun.pdf", "%PDF");
    const QString odabrana = env->writeFile("ponuda.pdf", "%PDF");
    f = frmSlanjeeMaila::forma();
    QStringList vidjeno;
    QTimer::singleShot(0, f, [&] {
      vidjeno << polje("txtPrimatelj")->text() + "|" + TrueFalse(f->isModal());
      for (int i = 0; i < 3; ++i)  // boxes filled by the caller are locked
        vidjeno << QString::number(gumb(QString("cmdLokacija_%1").arg(i))->isEnabled()) +
                       QString::number(polje(i ? QString("txtPrilog%1").arg(i + 1) : "txtPrilog")
                                           ->isReadOnly());
      polje("txtPrilog2")->setText("/home/ana");
      dlg->answerText(odabrana);
      gumb("cmdLokacija_1")->click();
      dlg->answerText(std::nullopt);
      gumb("cmdLokacija_1")->click();  // cancelled: the text stays
      vidjeno << polje("txtPrilog2")->text();
      QTest::keyClick(polje("txtPredmet"), Qt::Key_Escape);
    });
    f->Prikaži("Predmet", "ana@firma.hr", "", "", "Tekst", izvjestaj, "", "/tmp/c.pdf");
    QCOMPARE(vidjeno, (QStringList{"ana@firma.hr|True", "01", "10", "01", odabrana}));
    const platform::FileDialogOptions& o = dlg->calls.at(0).file;
    QCOMPARE(o.title + "|" + o.initialDir,
             "Izaberite direktoriju i naziv datoteke koju želite priložiti|/home/ana");
    QVERIFY(f.isNull());
    QVERIFY(!QFile::exists(izvjestaj) && QFile::exists(odabrana));
  }

  void tipkeIBoje() {
    otvori(0);
    const QColor crvena(255, 192, 192), zelena(192, 255, 192);
    const struct {
      const char *polje, *tekst;
      Qt::Key tipka;
      const char* fokus;
      QColor boja;
    } koraci[] = {
        {"txtPrimatelj", "ana@firma.hr;", Qt::Key_Return, "txtCC", crvena},  // leaves all the same
        {"txtCC", "", Qt::Key_Down, "txtBCC", zelena},                       // empty passes
        {"txtBCC", "ivo@firma.hr", Qt::Key_Up, "txtCC", zelena},
        {"txtBCC", "", Qt::Key_Enter, "txtPredmet", zelena},
        {"txtPredmet", "P", Qt::Key_Return, "txtPoruka", f->palette().color(QPalette::Base)},
    };
    for (const auto& k : koraci) {
      polje(k.polje)->setFocus();
      polje(k.polje)->setText(k.tekst);
      QTest::keyClick(polje(k.polje), k.tipka);
      QCOMPARE(fokus(), QString(k.fokus));
      QCOMPARE(polje(k.polje)->palette().color(QPalette::Base), k.boja);
    }
    // The message text keeps Enter and the arrows for itself.
    poruka()->setPlainText("Tekst");
    poruka()->moveCursor(QTextCursor::End);
    QTest::keyClick(poruka(), Qt::Key_Return);
    QTest::keyClick(poruka(), Qt::Key_Up);
    QCOMPARE(fokus(), QString("txtPoruka"));
    QCOMPARE(poruka()->toPlainText() + QString::number(poruka()->textCursor().blockNumber()),
             QString("Tekst\n0"));
  }
  // F3 in an address field, or its button, opens the search window (over the bundled sample
  // database) as the form's child; the chosen address lands in that field unless a field
  // holds it as a whole address. Leaving with Esc adds nothing.
  void trazenjeKupca_data() {
    QTest::addColumn<QString>("okidac");       // F3 in a field or a cmdEmail button
    QTest::addColumn<QStringList>("prije");    // To, CC, BCC
    QTest::addColumn<bool>("esc");             // leaves with Esc, else chooses with Enter
    QTest::addColumn<QStringList>("poslije");  // empty: as before
    const QString a = "ana@firma.hr", z = "prodaja@zitar.example";
    const QStringList samoTo{a, "", ""};
    QTest::newRow("F3 in To appends") << "txtPrimatelj" << samoTo << false << QStringList{a + ";" + z, "", ""};
    QTest::newRow("F3 in BCC") << "txtBCC" << samoTo << false << QStringList{a, "", z};
    QTest::newRow("button CC appends, trimmed")
        << "cmdEmail_1" << QStringList{a, "b@t.hr ", ""} << false << QStringList{a, "b@t.hr;" + z, ""};
    QTest::newRow("present in another field")
        << "txtPrimatelj" << QStringList{a, "", "x@y.hr," + z} << false << QStringList{};
    QTest::newRow("only inside a longer address")
        << "txtPrimatelj" << QStringList{"vele" + z, "", ""} << false << QStringList{"vele" + z + ";" + z, "", ""};
    QTest::newRow("Esc with a result on screen")
        << "txtCC" << QStringList{a, "ivo@firma.hr", ""} << true << QStringList{};
  }
  void trazenjeKupca() {
    QFETCH(QString, okidac);
    QFETCH(QStringList, prije);
    QFETCH(bool, esc);
    QFETCH(QStringList, poslije);
    otvori(2);
    f->Napuni("P", prije[0], prije[1], prije[2], "T", "", "", "");
    QWidget* roditelj = nullptr;
    OnModal<lookup::frmKupciEMail> pretraga([&](lookup::frmKupciEMail& k) {
      roditelj = k.parentWidget();
      child<QLineEdit>(k, "txtImeKupca")->setText("Žitar");
      QTest::keyClick(child(k, "txtImeKupca"), esc ? Qt::Key_Escape : Qt::Key_Return);
    });
    if (okidac.startsWith("cmdEmail")) gumb(okidac)->click();
    else QTest::keyClick(polje(okidac), Qt::Key_F3);
    QCOMPARE(roditelj, f.data());
    QCOMPARE(pretraga.leftOpen, 0);
    QCOMPARE(QStringList({polje("txtPrimatelj")->text(), polje("txtCC")->text(), polje("txtBCC")->text()}),
             poslije.isEmpty() ? prije : poslije);
    QVERIFY(f->findChildren<lookup::frmKupciEMail*>().isEmpty());  // gone after the search
    QVERIFY(dlg->calls.isEmpty());
  }
};

QTEST_MAIN(TstFrmSlanjeeMaila)
#include "tst_frmslanjeemaila.moc"
