// The send form apart from sending: stored options, the route menu, attachment boxes,
// leaving, the customer search, keys and field colours.
#include <QtTest>

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>

#include "platform/SettingsStore.h"
#include "sender/TrazilicaKupaca.h"
#include "sender/frmSlanjeeMaila.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

using platform::SaveVelkorSetting;
using platform::VelkorSetting;

class TstPolja : public QObject {
  Q_OBJECT

  TestEnv env;
  std::unique_ptr<ScriptedDialogs> dlg;
  QPointer<frmSlanjeeMaila> f;
  int pretrage = 0;

  QLineEdit* polje(const QString& ime) const { return f->findChild<QLineEdit*>(ime); }
  QAction* akcija(const QString& ime) const { return f->findChild<QAction*>(ime); }
  QAbstractButton* gumb(const QString& ime) const { return f->findChild<QAbstractButton*>(ime); }
  QCheckBox* zatvori() const { return f->findChild<QCheckBox*>("chkZatvoriSlEmaila"); }
  QString fokus() const { return f->focusWidget() ? f->focusWidget()->objectName() : QString(); }
  QList<bool> rute() const {
    QList<bool> r;
    for (int i = 0; i < 3; ++i)
      r << akcija(QString("mnuEmailPrekoOutlookaThunderSMTP_%1").arg(i))->isChecked();
    return r;
  }

  void otvori(const QString& prilog1 = "", const QString& prilog2 = "",
              const QString& prilog3 = "") {
    f = frmSlanjeeMaila::forma();
    f->Napuni("Predmet", "ana@firma.hr", "", "", "Tekst", prilog1, prilog2, prilog3);
    f->show();
    QVERIFY(QTest::qWaitForWindowActive(f));
  }

  void odaberiKupca(bool odustao, const QString& adresa) {
    PostaviTrazilicuKupaca([this, odustao, adresa](QWidget*) {
      ++pretrage;
      return OdabirKupca{odustao, adresa};
    });
  }

  void ocistiBrisanja() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

 private slots:
  void init() {
    QFile::remove(platform::settingsFilePath("Velkor"));
    dlg = std::make_unique<ScriptedDialogs>();
    pretrage = 0;
  }

  void cleanup() {
    if (f) f->close();
    ocistiBrisanja();
    QVERIFY(f.isNull());
    PostaviTrazilicuKupaca({});
    dlg.reset();
  }

  void ucitavanje_zadaneVrijednosti() {
    otvori();
    QVERIFY(zatvori()->isChecked());
    QCOMPARE(rute(), (QList<bool>{true, false, false}));
    QVERIFY(akcija("mnuEmailOutlookZatvori")->isChecked());
    QVERIFY(akcija("mnuEmailThunderbirdŠaljiiEnter")->isChecked());
    QCOMPARE(polje("txtPošiljatelj")->text(), QString());
    QCOMPARE(f->findChild<QStatusBar*>("sBar")->currentMessage(),
             QString("Definiranje osnovnih parametara za slanje e-mail-a"));
    QCOMPARE(f->windowTitle(), QString("Slanje e-mail-a"));
    QCOMPARE(f->objectName(), QString("frmSlanjeeMaila"));
    QCOMPARE(VelkorSetting("mnuEmailPrekoOutlookaThunderSMTP"), QString("0"));
    QVERIFY(dlg->calls.isEmpty());
  }

  void ucitavanje_spremljeneVrijednosti() {
    SaveVelkorSetting("chkZatvoriFrmSlEmaila", "0");
    SaveVelkorSetting("mnuEmailPrekoOutlookaThunderSMTP", "2");
    SaveVelkorSetting("mnuEmailOutlookZatvori", "False");
    SaveVelkorSetting("mnuEmailThunderbirdŠaljiiEnter", "False");
    SaveVelkorSetting("mnuEmailPošiljatelj", "Žana Đurić <zana@firma.hr>");
    otvori();
    QVERIFY(!zatvori()->isChecked());
    QCOMPARE(rute(), (QList<bool>{false, false, true}));
    QVERIFY(!akcija("mnuEmailOutlookZatvori")->isChecked());
    QVERIFY(!akcija("mnuEmailThunderbirdŠaljiiEnter")->isChecked());
    QCOMPARE(polje("txtPošiljatelj")->text(), QString("Žana Đurić <zana@firma.hr>"));
  }

  void izbornik_stavkeURedu() {
    otvori();
    auto* izbornik = f->findChild<QMenu*>("mnuPostavke");
    QCOMPARE(izbornik->title(), QString("Postavke"));
    QStringList stavke;
    for (QAction* a : izbornik->actions())
      stavke << (a->isSeparator() ? QString("-") : a->objectName() + "=" + a->text());
    QCOMPARE(stavke,
             (QStringList{
                 "mnuEmailPrekoOutlookaThunderSMTP_0=Slanje e-maila preko Microsoft Outlook-a",
                 "mnuEmailOutlookZatvori=Automatski šalji e-mail i zatvori MS Outlook", "-",
                 "mnuEmailPrekoOutlookaThunderSMTP_1=Slanje e-maila preko Mozilla Thunderbird-a",
                 "mnuEmailThunderbirdŠaljiiEnter=Automatski šalji e-mail slanjem tipke Enter", "-",
                 "mnuEmailPrekoOutlookaThunderSMTP_2=Slanje e-maila direktno preko SMTP-a",
                 "mnuSMTPPostavke=SMTP postavke"}));
  }

  void odabirRute_jedanIliNijedan() {
    otvori();
    akcija("mnuEmailPrekoOutlookaThunderSMTP_1")->trigger();
    QCOMPARE(rute(), (QList<bool>{false, true, false}));
    QCOMPARE(VelkorSetting("mnuEmailPrekoOutlookaThunderSMTP"), QString("1"));
    // Choosing the checked route again keeps it.
    akcija("mnuEmailPrekoOutlookaThunderSMTP_1")->trigger();
    QCOMPARE(rute(), (QList<bool>{false, true, false}));
    f->OdaberiNacinSlanja(2);
    QCOMPARE(rute(), (QList<bool>{false, false, true}));
    f->OdaberiNacinSlanja(3);
    QCOMPARE(rute(), (QList<bool>{false, false, false}));
    QCOMPARE(VelkorSetting("mnuEmailPrekoOutlookaThunderSMTP"), QString("3"));
  }

  void ucitavanje_rutaKojaNijeBroj() {
    SaveVelkorSetting("mnuEmailPrekoOutlookaThunderSMTP", "SMTP");
    otvori();
    QCOMPARE(rute(), (QList<bool>{true, false, false}));
    QCOMPARE(VelkorSetting("mnuEmailPrekoOutlookaThunderSMTP"), QString("0"));
  }

  void opcije_spremajuSeNaKlik() {
    otvori();
    akcija("mnuEmailOutlookZatvori")->trigger();
    QCOMPARE(VelkorSetting("mnuEmailOutlookZatvori"), QString("False"));
    akcija("mnuEmailOutlookZatvori")->trigger();
    QCOMPARE(VelkorSetting("mnuEmailOutlookZatvori"), QString("True"));
    QVERIFY(dlg->calls.isEmpty());

    akcija("mnuEmailThunderbirdŠaljiiEnter")->trigger();
    QCOMPARE(VelkorSetting("mnuEmailThunderbirdŠaljiiEnter"), QString("False"));
    QVERIFY(dlg->calls.isEmpty());  // the warning comes only when the option is switched on
    akcija("mnuEmailThunderbirdŠaljiiEnter")->trigger();
    QCOMPARE(VelkorSetting("mnuEmailThunderbirdŠaljiiEnter"), QString("True"));
    QCOMPARE(dlg->texts(), QStringList{"Upozorenje: Ova opcija neće raditi u svim verzijama "
                                       "Thunderbird-a, pa je isključite ako ne radi."});
    QCOMPARE(dlg->last().title, QString("Upozorenje"));
    QCOMPARE(dlg->last().icon, platform::MsgIcon::Information);

    QTest::mouseClick(zatvori(), Qt::LeftButton, {}, QPoint(5, zatvori()->height() / 2));
    QCOMPARE(VelkorSetting("chkZatvoriFrmSlEmaila"), QString("0"));
    QTest::mouseClick(zatvori(), Qt::LeftButton, {}, QPoint(5, zatvori()->height() / 2));
    QCOMPARE(VelkorSetting("chkZatvoriFrmSlEmaila"), QString("1"));

    // A fresh load shows what was stored.
    akcija("mnuEmailOutlookZatvori")->trigger();
    f->close();
    ocistiBrisanja();
    otvori();
    QVERIFY(!akcija("mnuEmailOutlookZatvori")->isChecked());
    QVERIFY(akcija("mnuEmailThunderbirdŠaljiiEnter")->isChecked());
  }

  void prilozi_stanjaNakonPunjenja() {
    otvori("/tmp/a.pdf", "/tmp/b.pdf", "/tmp/c.pdf");
    for (int i = 0; i < 3; ++i) {
      QVERIFY(!gumb(QString("cmdLokacija_%1").arg(i))->isEnabled());
      QVERIFY(!gumb(QString("cmdLokacija_%1").arg(i))->icon().isNull());
    }
    for (const char* ime : {"txtPrilog", "txtPrilog2", "txtPrilog3"}) QVERIFY(polje(ime)->isReadOnly());
    QCOMPARE(polje("txtPrilog2")->text(), QString("/tmp/b.pdf"));
    f->close();
    ocistiBrisanja();

    otvori("", "/tmp/b.pdf", "");
    QVERIFY(gumb("cmdLokacija_0")->isEnabled());
    QVERIFY(!gumb("cmdLokacija_1")->isEnabled());
    QVERIFY(gumb("cmdLokacija_2")->isEnabled());
    QVERIFY(!polje("txtPrilog")->isReadOnly() && polje("txtPrilog")->isEnabled());
    QVERIFY(polje("txtPrilog2")->isReadOnly());
    QVERIFY(!polje("txtPrilog3")->isReadOnly());
  }

  void odabirPriloga_potvrdaIOdustajanje() {
    otvori("", "", "");
    const QString datoteka = env.writeFile("ponuda.pdf", "%PDF");
    polje("txtPrilog2")->setText("/home/ana/dokumenti");
    dlg->answerText(datoteka);
    gumb("cmdLokacija_1")->click();
    QCOMPARE(polje("txtPrilog2")->text(), datoteka);
    const platform::FileDialogOptions& o = dlg->last().file;
    QCOMPARE(o.title, QString("Izaberite direktoriju i naziv datoteke koju želite priložiti"));
    QCOMPARE(o.filter, QString("Sve datoteka (*.*)|*.*"));
    QCOMPARE(o.defaultExt, QString("*.*"));
    QCOMPARE(o.initialDir, QString("/home/ana/dokumenti"));
    QVERIFY(o.fileMustExist && o.pathMustExist);

    dlg->answerText(std::nullopt);
    gumb("cmdLokacija_1")->click();
    QCOMPARE(dlg->last().file.initialDir, datoteka);
    QCOMPARE(polje("txtPrilog2")->text(), datoteka);
    QCOMPARE(polje("txtPrilog")->text(), QString());
  }

  void izlaz_brisePrilogPozivatelja_data() {
    QTest::addColumn<QString>("nacin");
    QTest::newRow("Esc") << "esc";
    QTest::newRow("cmdPrekid") << "izlaz";
  }
  void izlaz_brisePrilogPozivatelja() {
    QFETCH(QString, nacin);
    const QString izvjestaj = env.writeFile("izvjestaj.pdf", "%PDF");
    const QString drugi = env.writeFile("drugi.pdf", "%PDF");
    otvori(izvjestaj, drugi);
    if (nacin == "esc")
      QTest::keyClick(polje("txtPrimatelj"), Qt::Key_Escape);
    else
      gumb("cmdPrekid")->click();
    QVERIFY(!QFile::exists(izvjestaj));
    QVERIFY(QFile::exists(drugi));
    ocistiBrisanja();
    QVERIFY(f.isNull());
  }

  void izlaz_neBriseOdabranePrilogeNiNestaleDatoteke() {
    const QString svoj = env.writeFile("svoj.pdf", "%PDF");
    otvori("", "", "");
    polje("txtPrilog")->setText(svoj);  // picked by the user, not handed in
    gumb("cmdPrekid")->click();
    QVERIFY(QFile::exists(svoj));
    ocistiBrisanja();
    QVERIFY(f.isNull());

    otvori(env.path("nema.pdf"));
    gumb("cmdPrekid")->click();
    ocistiBrisanja();
    QVERIFY(f.isNull());
  }

  void zatvaranjeProzora_nistaNeBrise() {
    const QString izvjestaj = env.writeFile("izvjestaj.pdf", "%PDF");
    otvori(izvjestaj);
    QPointer<frmSlanjeeMaila> stara = f;
    f->close();
    ocistiBrisanja();
    QVERIFY(stara.isNull());
    QVERIFY(QFile::exists(izvjestaj));
    // The next use loads a new form.
    QVERIFY(frmSlanjeeMaila::forma() != nullptr);
    f = frmSlanjeeMaila::forma();
  }

  void trazilica_dodajeUOdabranoPolje() {
    otvori();
    odaberiKupca(false, "kupac@tvrtka.hr");
    polje("txtCC")->setText("  ");
    QTest::keyClick(polje("txtCC"), Qt::Key_F3);
    QCOMPARE(polje("txtCC")->text(), QString("kupac@tvrtka.hr"));
    odaberiKupca(false, "drugi@tvrtka.hr");
    polje("txtCC")->setText("kupac@tvrtka.hr ");
    gumb("cmdEmail_1")->click();
    QCOMPARE(polje("txtCC")->text(), QString("kupac@tvrtka.hr;drugi@tvrtka.hr"));
    odaberiKupca(false, "treci@tvrtka.hr");
    QTest::keyClick(polje("txtPrimatelj"), Qt::Key_F3);
    QCOMPARE(polje("txtPrimatelj")->text(), QString("ana@firma.hr;treci@tvrtka.hr"));
    odaberiKupca(false, "bcc@tvrtka.hr");
    gumb("cmdEmail_2")->click();
    QCOMPARE(polje("txtBCC")->text(), QString("bcc@tvrtka.hr"));
    QCOMPARE(pretrage, 4);
  }

  void trazilica_neDodajePostojeceNiOdustajanje() {
    otvori();
    polje("txtBCC")->setText("kupac@tvrtka.hr");
    odaberiKupca(false, "kupac@tvrtka.hr");
    QTest::keyClick(polje("txtPrimatelj"), Qt::Key_F3);
    QCOMPARE(polje("txtPrimatelj")->text(), QString("ana@firma.hr"));
    // Present as a substring counts as present.
    odaberiKupca(false, "ana@firma.h");
    QTest::keyClick(polje("txtCC"), Qt::Key_F3);
    QCOMPARE(polje("txtCC")->text(), QString());
    odaberiKupca(true, "novi@tvrtka.hr");
    gumb("cmdEmail_0")->click();
    odaberiKupca(false, "");
    gumb("cmdEmail_1")->click();
    QCOMPARE(polje("txtPrimatelj")->text(), QString("ana@firma.hr"));
    QCOMPARE(polje("txtCC")->text(), QString());
    QCOMPARE(polje("txtBCC")->text(), QString("kupac@tvrtka.hr"));
    // F3 elsewhere opens no search.
    QTest::keyClick(polje("txtPredmet"), Qt::Key_F3);
    QCOMPARE(pretrage, 4);
  }

  void tipke_pomicuFokus() {
    otvori();
    polje("txtPrimatelj")->setFocus();
    QTest::keyClick(polje("txtPrimatelj"), Qt::Key_Return);
    QCOMPARE(fokus(), QString("txtCC"));
    QTest::keyClick(polje("txtCC"), Qt::Key_Down);
    QCOMPARE(fokus(), QString("txtBCC"));
    QTest::keyClick(polje("txtBCC"), Qt::Key_Up);
    QCOMPARE(fokus(), QString("txtCC"));
    QTest::keyClick(polje("txtCC"), Qt::Key_Enter);
    QTest::keyClick(polje("txtBCC"), Qt::Key_Return);
    QCOMPARE(fokus(), QString("txtPredmet"));
    QTest::keyClick(polje("txtPredmet"), Qt::Key_Return);
    QCOMPARE(fokus(), QString("txtPoruka"));
    // The message text keeps Enter and the arrows for itself.
    auto* poruka = f->findChild<QPlainTextEdit*>("txtPoruka");
    poruka->moveCursor(QTextCursor::End);
    QTest::keyClick(poruka, Qt::Key_Return);
    QTest::keyClick(poruka, Qt::Key_Up);
    QCOMPARE(fokus(), QString("txtPoruka"));
    QCOMPARE(poruka->toPlainText(), QString("Tekst\n"));
    QCOMPARE(poruka->textCursor().blockNumber(), 0);
    zatvori()->setFocus();
    QTest::keyClick(zatvori(), Qt::Key_Up);
    QCOMPARE(fokus(), QString("txtPošiljatelj"));
  }

  void bojanje_priNapustanjuPolja() {
    otvori();
    const QColor zelena(192, 255, 192), crvena(255, 192, 192);
    polje("txtPrimatelj")->setFocus();
    polje("txtPrimatelj")->setText("ana@firma.hr;");
    polje("txtCC")->setFocus();
    QCOMPARE(polje("txtPrimatelj")->palette().color(QPalette::Base), crvena);
    QCOMPARE(fokus(), QString("txtCC"));  // the focus leaves a bad field all the same
    polje("txtBCC")->setFocus();
    QCOMPARE(polje("txtCC")->palette().color(QPalette::Base), zelena);  // empty passes
    polje("txtBCC")->setText("arhiva@firma.hr");
    polje("txtPrimatelj")->setFocus();
    QCOMPARE(polje("txtBCC")->palette().color(QPalette::Base), zelena);
    polje("txtPrimatelj")->setText("ana@firma.hr");
    polje("txtPredmet")->setFocus();
    QCOMPARE(polje("txtPrimatelj")->palette().color(QPalette::Base), zelena);
    QCOMPARE(polje("txtPredmet")->palette().color(QPalette::Base),
             f->palette().color(QPalette::Base));
  }
};

QTEST_MAIN(TstPolja)
#include "tst_frmslanjeemaila_polja.moc"
