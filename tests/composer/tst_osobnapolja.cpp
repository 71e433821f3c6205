// Personal fields: the substitution rules, the "Umetni polje" menu and the preview as one
// recipient will see the message.
#include <QtTest>
#include <QtWidgets>
#include <QWebEngineView>

#include "composer/HtmlEditor.h"
#include "composer/OsobnaPolja.h"
#include "composer/frmMain.h"
#include "platform/RecordSet.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

static const bool kDijeljeniKontekst = (QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts), true);

using composer::OblikPolja;

namespace {

platform::RecordSet kupci() {
  platform::RecordSet rs({{"Ime"}, {"EMail"}, {"Iznos"}, {"Broj"}, {"Datum"}, {"Napomena"}, {"Broj računa"}, {"Aktivan"}});
  rs.AddRow({"Ana <b>&\"'", "ana@x.hr", 1234567.5, 10000, QDate(2026, 3, 7), QVariant(), "R-1/2026", true});
  rs.AddRow({"Ivo Ivić\r\nZagreb", "ivo@x.hr", -0.125, -42, QDateTime(QDate(2026, 12, 31), QTime(14, 5)), "ok", "R-2", false});
  rs.MoveFirst();
  return rs;
}

}  // namespace

class TstOsobnaPolja : public QObject {
  Q_OBJECT
  TestEnv env;
  std::unique_ptr<ScriptedDialogs> dlg;

  template <class T = QWidget> static T* dio(frmMain* f, const char* ime) { return f->findChild<T*>(ime); }
  void uKomposeru(platform::RecordSet* rs, const std::function<void(frmMain*)>& act) {
    QTimer::singleShot(0, [&] {
      frmMain* f = frmMain::forma();
      f->resize(1000, 640);
      act(f);
      f->close();
    });
    if (rs) frmMain::forma()->PrikažiPrekoRS(*rs);
    else frmMain::forma()->PrikažiBezRS();
  }
  static void snimi(QWidget* w, const QString& ime) {
    if (qEnvironmentVariableIsSet("VELKOR_SCREENSHOT")) w->grab().save("/tmp/" + ime + ".png");
  }

 private slots:
  void init() { dlg.reset(), dlg = std::make_unique<ScriptedDialogs>(); }

  // Every rule on one table: text, form, record (0 or 1), the filled text, the unknown names.
  void popuni_data() {
    QTest::addColumn<QString>("tekst");
    QTest::addColumn<int>("oblik");
    QTest::addColumn<int>("zapis");
    QTest::addColumn<QString>("rezultat");
    QTest::addColumn<QStringList>("nepoznata");
    const int H = int(OblikPolja::Html), T = int(OblikPolja::Tekst);
    const QString bez = "<p>Poštovani { Ime }, }} {Iznos}} 100 %</p>";
    QTest::newRow("no field: unchanged") << bez << H << 0 << bez << QStringList();
    QTest::newRow("html escaped") << "<p>{{Ime}}</p>" << H << 0 << "<p>Ana &lt;b&gt;&amp;&quot;&#39;</p>" << QStringList();
    QTest::newRow("subject plain") << "Za {{Ime}}" << T << 0 << "Za Ana <b>&\"'" << QStringList();
    QTest::newRow("line break: <br> in html") << "{{Ime}}" << H << 1 << "Ivo Ivić<br>Zagreb" << QStringList();
    QTest::newRow("line break: blank in subject") << "{{Ime}}" << T << 1 << "Ivo Ivić Zagreb" << QStringList();
    QTest::newRow("decimal, thousands") << "{{Iznos}} EUR" << T << 0 << "1.234.567,50 EUR" << QStringList();
    QTest::newRow("decimal, negative, 3 places") << "{{Iznos}}" << T << 1 << "-0,125" << QStringList();
    QTest::newRow("whole numbers plain") << "{{Broj}}|" << T << 0 << "10000|" << QStringList();
    QTest::newRow("whole negative") << "{{Broj}}" << T << 1 << "-42" << QStringList();
    QTest::newRow("date") << "{{Datum}}" << H << 0 << "07.03.2026." << QStringList();
    QTest::newRow("date and time") << "{{Datum}}" << H << 1 << "31.12.2026. 14:05" << QStringList();
    QTest::newRow("null empty") << "[{{Napomena}}]" << H << 0 << "[]" << QStringList();
    QTest::newRow("yes/no") << "{{Aktivan}} {{Aktivan}}" << T << 1 << "Ne Ne" << QStringList();
    QTest::newRow("croatian name, blanks, case") << "{{ broj RAČUNA }}/{{Broj&nbsp;računa}}" << H << 0
                                                 << "R-1/2026/R-1/2026" << QStringList();
    QTest::newRow("braces around") << "{{{Broj}}}" << T << 0 << "{10000}" << QStringList();
    QTest::newRow("unknown kept and named")
        << "{{Grad}} {{Ime}} {{grad}} {{a-b}} {{<b>Ime</b>}}" << H << 0
        << "{{Grad}} Ana &lt;b&gt;&amp;&quot;&#39; {{grad}} {{a-b}} {{<b>Ime</b>}}"
        << QStringList{"{{Grad}}", "{{a-b}}", "{{<b>Ime</b>}}"};
  }
  void popuni() {
    QFETCH(QString, tekst);
    QFETCH(int, oblik);
    QFETCH(int, zapis);
    platform::RecordSet rs = kupci();
    if (zapis) rs.MoveNext();
    QTEST(composer::popuniPolja(tekst, rs, OblikPolja(oblik)), "rezultat");
    QTEST(composer::nepoznataPolja({tekst}, rs), "nepoznata");
  }

  // The menu lists the columns and inserts at the caret of the subject, or of the document.
  void menuInsertsField() {
    platform::RecordSet rs = kupci();
    QStringList stavke;
    QString predmet, dokument;
    bool bezZapisa = true;
    uKomposeru(&rs, [&](frmMain* f) {
      auto* izbornik = dio<QMenu>(f, "mnuUmetniPolje");
      for (QAction* a : izbornik->actions()) stavke << a->text();
      if (stavke.size() < 3) return;
      auto* txt = dio<QLineEdit>(f, "txtSubject");
      txt->setText("Ponuda za ");
      txt->setFocus();
      txt->setCursorPosition(6);
      izbornik->actions().at(0)->trigger();
      predmet = txt->text();
      QVERIFY(f->Editor()->setDocumentHtml("<p>Poštovani ,</p>"));
      f->Editor()->evaluate("getSelection().collapse(document.querySelector('p').firstChild, 10)");
      f->Editor()->view()->setFocus();
      izbornik->actions().at(2)->trigger();
      QTRY_VERIFY((dokument = f->Editor()->documentHtml()).contains("{{"));
      izbornik->popup(f->mapToGlobal(QPoint(200, 30)));
      snimi(izbornik, "fields-menu");
      izbornik->close();
    });
    QCOMPARE(stavke, QStringList({"Ime", "EMail", "Iznos", "Broj", "Datum", "Napomena", "Broj računa", "Aktivan"}));
    QCOMPARE(predmet, QString("Ponuda{{Ime}} za "));
    QVERIFY2(dokument.contains("<p>Poštovani {{Iznos}},</p>"), qPrintable(dokument));
    uKomposeru(nullptr, [&](frmMain* f) {
      bezZapisa = !dio<QMenu>(f, "mnuUmetniPolje")->menuAction()->isEnabled();
    });
    QVERIFY(bezZapisa);
  }

  // The preview shows the selected recipient's message, else the first recipient's.
  void previewAsRecipient() {
    platform::RecordSet rs = kupci();
    QStringList pregledi, zaglavlja;
    uKomposeru(&rs, [&](frmMain* f) {
      dio<QLineEdit>(f, "txtSubject")->setText("Račun {{Broj računa}}");
      QVERIFY(f->Editor()->setDocumentHtml("<p>Poštovani {{Ime}}, iznos: {{Iznos}}</p>"));
      auto* tab = dio<QTabWidget>(f, "SSTab2");
      auto* lv = dio<QTreeWidget>(f, "lvEmail");
      auto* web = dio<QWebEngineView>(f, "WbrPreview");
      const auto pregled = [&] {
        QFile d(f->PreviewFile());
        pregledi << (d.open(QIODevice::ReadOnly) ? QString::fromUtf8(d.readAll()) : QString());
        zaglavlja << dio<QLabel>(f, "lblPregledZa")->text();
      };
      tab->setCurrentIndex(2);
      pregled();
      QSignalSpy učitano(web, &QWebEngineView::loadFinished);
      lv->setCurrentItem(lv->topLevelItem(1));  // the preview follows the list
      QVERIFY(učitano.wait(10000));
      pregled();
      f->show();
      QTest::qWait(300);
      snimi(f, "fields-preview");
    });
    QCOMPARE(pregledi.size(), 2);
    QVERIFY2(pregledi[0].contains("Poštovani Ana &lt;b&gt;&amp;&quot;&#39;, iznos: 1.234.567,50"), qPrintable(pregledi[0]));
    QVERIFY2(pregledi[1].contains("Poštovani Ivo Ivić<br>Zagreb, iznos: -0,125"), qPrintable(pregledi[1]));
    QCOMPARE(zaglavlja, QStringList({"Za: Ana <b>&\"' ana@x.hr     Predmet: Račun R-1/2026",
                                     "Za: Ivo Ivić Zagreb ivo@x.hr     Predmet: Račun R-2"}));
  }
};

QTEST_MAIN(TstOsobnaPolja)
#include "tst_osobnapolja.moc"
