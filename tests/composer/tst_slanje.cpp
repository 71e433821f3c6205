// The composer's send runs as the window starts and shows them, against real servers: a
// configured aiosmtpd, direct delivery through dnsmasq's MX answers, and the desktop mail
// route through a recording sendmail.
#include <QWebEnginePage>
#include <QWebEngineView>
#include <csignal>

#include "composer/AddressBookHook.h"
#include "composer/HtmlEditor.h"
#include "composer/OsobnaPolja.h"
#include "contacts/frmContacts.h"
#include "dns/modMXQuery.h"
#include "mail/clsSendMail.h"
#include "ComposerRun.h"
#include "viewers/ViewerTestSupport.h"

namespace {

// Two customers whose values try every rule of the personal fields.
platform::RecordSet poljaKupaca() {
  platform::RecordSet rs({{"Ime"}, {"EMail"}, {"Iznos"}, {"Broj"}, {"Datum"}, {"Napomena"}, {"Broj računa"}, {"Aktivan"}});
  rs.AddRow({"Ana <b>&\"'\nŠ.", "ana@x.hr", 1234567.5, 10000, QDate(2026, 3, 7), QVariant(), "R-1/2026", true});
  rs.AddRow({"Ivo", "ivo@x.hr", -0.125, -42, QDateTime(QDate(2026, 12, 31), QTime(14, 5)), "ok", "R-2", false});
  rs.MoveFirst();
  return rs;
}

}  // namespace

class TstSlanje : public QObject {
  Q_OBJECT
  TestEnv env;
  std::unique_ptr<ScriptedDialogs> dlg;
  SmtpPeer smtp{{.host = "127.0.0.100"}};
  SmtpPeer nijem{{.host = "127.0.0.101", .mode = "silent"}};
  SmtpPeer prva{{.host = "127.0.0.104"}}, druga{{.host = "127.0.0.105"}};
  SmtpPeer polja{{.host = "127.0.0.140"}};
  SmtpPeer odbija{{.host = "127.0.0.152", .rejectRcptOnce = {"w3@kupci.hr"}}};
  PeerProcess dnsmasq;
  int primljeno = 0, prvaPrimila = 0, drugaPrimila = 0, poljaPrimila = 0;

  static void uKomposeru(platform::RecordSet* rs, const std::function<void(frmMain*)>& act) {
    ::uKomposeru(rs, "Ponuda za Vas", act);
  }
  static QList<SmtpPeer::Message> noviNa(SmtpPeer& p, int& vidjeno) {
    const QList<SmtpPeer::Message> nove = p.messages().mid(vidjeno);
    return vidjeno += nove.size(), nove;
  }

 private slots:
  void initTestCase() {
    for (SmtpPeer* p : {&smtp, &nijem, &prva, &druga, &polja, &odbija}) QVERIFY2(p->start(), qPrintable(p->error()));
    const QStringList args{"--no-daemon", "--conf-file=/dev/null", "--no-resolv", "--no-hosts",
                           "--listen-address=127.0.0.103", "--bind-interfaces", "--port", "53",
                           "--mx-host=prva.hr,127.0.0.104,10", "--mx-host=druga.hr,127.0.0.105,10",
                           // nothing listens on 127.0.0.106: the backup exchanger takes the mail
                           "--mx-host=rezerva.hr,127.0.0.105,20", "--mx-host=rezerva.hr,127.0.0.106,10"};
    QVERIFY2(dnsmasq.start("dnsmasq", args, PeerReadiness::onOutput("started")),
             qPrintable(dnsmasq.errorString() + QString::fromUtf8(dnsmasq.output())));
    env.writeFile("resolv.conf", "nameserver 127.0.0.103\n");
    modMXQuery::resetConfig();
    QLocale::setDefault(QLocale(QLocale::Croatian, QLocale::Croatia));
  }
  void init() {
    dlg.reset(), dlg = std::make_unique<ScriptedDialogs>();
    QVERIFY(composer::SpremiSMTPIP("127.0.0.100", 2));
  }

  // The substitution rules: text, as HTML or as the subject, on record 0 or 1.
  void personalFields_rules_data() {
    QTest::addColumn<QString>("tekst");
    QTest::addColumn<bool>("html");
    QTest::addColumn<int>("zapis");
    QTest::addColumn<QString>("rezultat");
    QTest::addColumn<QStringList>("nepoznata");
    const QString bez = "<p>Poštovani { Ime }, }} {Iznos}} 100 %</p>";
    QTest::newRow("no field: unchanged") << bez << true << 0 << bez << QStringList();
    QTest::newRow("html escaped") << "<p>{{Ime}}</p>" << true << 0 << "<p>Ana &lt;b&gt;&amp;&quot;&#39;<br>Š.</p>" << QStringList();
    QTest::newRow("subject plain") << "Za {{Ime}}" << false << 0 << "Za Ana <b>&\"' Š." << QStringList();
    QTest::newRow("numbers, date, null, yes") << "{{Iznos}}|{{{Broj}}}|{{Datum}}|[{{Napomena}}]{{Aktivan}}" << false << 0
                                              << "1.234.567,50|{10000}|07.03.2026.|[]Da" << QStringList();
    QTest::newRow("negative, time, names: case, blanks") << "{{Iznos}}|{{Broj}}|{{Datum}}|{{ broj RAČUNA }}/{{Broj&nbsp;računa}}"
                                                         << true << 1 << "-0,125|-42|31.12.2026. 14:05|R-2/R-2" << QStringList();
    QTest::newRow("unknown kept and named") << "{{Grad}} {{Broj}} {{grad}} {{a-b}} {{<b>Ime</b>}}" << true << 0
        << "{{Grad}} 10000 {{grad}} {{a-b}} {{<b>Ime</b>}}" << QStringList{"{{Grad}}", "{{a-b}}", "{{<b>Ime</b>}}"};
  }
  void personalFields_rules() {
    QFETCH(QString, tekst);
    QFETCH(bool, html);
    QFETCH(int, zapis);
    platform::RecordSet rs = poljaKupaca();
    if (zapis) rs.MoveNext();
    QTEST(composer::popuniPolja(tekst, rs, html ? composer::OblikPolja::Html : composer::OblikPolja::Tekst), "rezultat");
    QTEST(composer::nepoznataPolja({tekst}, rs), "nepoznata");
  }

  // The menu lists the columns and inserts at the caret of the subject or the document; the
  // preview shows the first recipient's message, then the one selected.
  void personalFields_menuAndPreview() {
    platform::RecordSet rs = poljaKupaca();
    QStringList stavke, pregledi;
    QString predmet, bezZapisa;
    uKomposeru(&rs, [&](frmMain* f) {
      auto* izbornik = dio<QMenu>(f, "mnuUmetniPolje");
      for (QAction* a : izbornik->actions()) stavke << a->text();
      if (stavke.size() != 8) return;
      auto* txt = dio<QLineEdit>(f, "txtSubject");
      txt->setFocus(), txt->setText("Račun "), txt->setCursorPosition(5);
      izbornik->actions().at(6)->trigger();
      predmet = txt->text();
      f->Editor()->setDocumentHtml("<p>Poštovani ,</p>");
      f->Editor()->evaluate("getSelection().collapse(document.querySelector('p').firstChild, 10)");
      f->Editor()->view()->setFocus();
      izbornik->actions().at(0)->trigger();
      QSignalSpy učitano(dio<QWebEngineView>(f, "WbrPreview"), &QWebEngineView::loadFinished);
      const auto pregled = [&] {
        QFile d(f->PreviewFile());
        if (učitano.wait(10000) && d.open(QIODevice::ReadOnly))
          pregledi << QString::fromUtf8(d.readAll()).section("<body>", 1) + dio<QLabel>(f, "lblPregledZa")->text();
      };
      dio<QTabWidget>(f, "SSTab2")->setCurrentIndex(2);
      pregled();
      dio<QTreeWidget>(f, "lvEmail")->setCurrentItem(dio<QTreeWidget>(f, "lvEmail")->topLevelItem(1));
      pregled();
    });
    QCOMPARE(stavke, QStringList({"Ime", "EMail", "Iznos", "Broj", "Datum", "Napomena", "Broj računa", "Aktivan"}));
    QCOMPARE(predmet, QString("Račun{{Broj računa}} "));
    QCOMPARE(pregledi, QStringList({"<p>Poštovani Ana &lt;b&gt;&amp;&quot;&#39;<br>Š.,</p></body></html>"
                                    "Za: Ana <b>&\"' Š. ana@x.hr     Predmet: RačunR-1/2026 ",
                                    "<p>Poštovani Ivo,</p></body></html>Za: Ivo ivo@x.hr     Predmet: RačunR-2 "}));
    // Without a record set: no fields; progress in the platform's number form, the run's share
    // of a two-domain run.
    QStringList tekstovi;
    uKomposeru(nullptr, [&](frmMain* f) {
      bezZapisa = dio<QMenu>(f, "mnuUmetniPolje")->menuAction()->isEnabled() ? "on" : "off";
      dio<QListWidget>(f, "List1")->addItems({"prva.hr", "druga.hr"});
      dio<QListWidget>(f, "List1")->setCurrentRow(0);
      f->poSendMail_Progress(37);
      tekstovi << dio<QStatusBar>(f, "sbStatusBar")->currentMessage() << dio<QLabel>(f, "lblMailProgress")->text();
    });
    QCOMPARE(bezZapisa, "off");
    QCOMPARE(tekstovi, QStringList({"Šaljem .... 18,5% završeno", "Šaljem .... 18,5%"}));
  }

  // Record runs against aiosmtpd (in one session, this server's first) and by direct
  // delivery: one message per record, the fourth to the first one's address again, each
  // with its own record's values and the configured server's with its name, a value's
  // markup escaped in the HTML. The direct run deletes what it sent; its CC domain without
  // an exchanger is reported once for the run, not as the records' failure. First, fields
  // that are no column: one box names them, and nothing goes (no session either).
  void recordRun_data() {
    QTest::addColumn<QString>("smtpip");
    QTest::newRow("configured server") << "127.0.0.140";
    QTest::newRow("direct delivery, sent deleted, CC fails alone") << "FIND";
  }
  void recordRun() {
    QFETCH(QString, smtpip);
    const bool izravno = smtpip == "FIND";
    QVERIFY(composer::SpremiSMTPIP(smtpip, 2));
    platform::RecordSet rs({{"Ime"}, {"EMail"}, {"Iznos"}});
    const QStringList imena{"Ana Šimić", "Ivo <b>Ivić</b>", "Đuro Čačić", "Žana Š.", "Mia & Co"};
    const QStringList html{"Ana Šimić", "Ivo &lt;b&gt;Ivić&lt;/b&gt;", "Đuro Čačić", "Žana Š.", "Mia &amp; Co"};
    const QStringList oblici{"1.234,50", "99,00", "0,125", "1.000.000,00", "-7,25"};
    const QList<double> iznosi{1234.5, 99, 0.125, 1000000, -7.25};
    QStringList adrese, popis;
    for (int i : {1, 2, 3, 1, 5}) adrese << QString("p%1@%2").arg(i).arg(izravno ? "prva.hr" : "kupci.hr");
    for (int i = 0; i < 5; ++i) {
      rs.AddRow({imena[i], adrese[i], iznosi[i]});
      popis << imena[i] + " " + adrese[i];
    }
    QStringList dnevnik, nepoznata;
    int redova = 0;
    uKomposeru(&rs, [&](frmMain* f) {
      redova = dio<QTreeWidget>(f, "lvEmail")->topLevelItemCount();
      dio<QLineEdit>(f, "txtSubject")->setText("Za {{Ime}} iz {{Grad}}");
      f->Editor()->setDocumentHtml("<p>{{Ime}}, {{Popust}} {{grad}}</p>");
      dio<QPushButton>(f, "cmdPošaljiPrekoRS")->click();
      nepoznata = dnevnikSlanja(f) << f->focusWidget()->objectName();
      dio<QLineEdit>(f, "txtSubject")->setText("Račun za {{Ime}}: {{ Iznos }} EUR");
      f->Editor()->setDocumentHtml("<html><body><p>Poštovani {{Ime}},</p><p>iznos je {{Iznos}} EUR.</p></body></html>");
      if (izravno) dio<QLineEdit>(f, "txtCC")->setText("e@mojaprva.hr");
      dio<QCheckBox>(f, "chkBrišiPoslane")->setChecked(izravno);
      dio<QPushButton>(f, "cmdPošaljiPrekoRS")->click();
      dnevnik = dnevnikSlanja(f);
      if (qEnvironmentVariableIsSet("VELKOR_SCREENSHOT")) f->grab().save(qEnvironmentVariable("VELKOR_SCREENSHOT"));
    });
    QCOMPARE(nepoznata, QStringList{"txtSubject"});
    const QStringList t = dlg->texts();
    QCOMPARE(t.first(),
             "Nepoznata polja: {{Grad}}, {{Popust}}.\r\nPolja zapisa su: Ime, EMail, Iznos.\r\nPoruke nisu poslane.");
    QVERIFY(dlg->calls.first().title == "Slanje E-mail-a" && dlg->calls.first().icon == platform::MsgIcon::Exclamation);
    QCOMPARE(redova, 4);  // one line per address
    QVERIFY((izravno ? prva : polja).waitForMessages((izravno ? prvaPrimila : poljaPrimila) + 5));
    const QList<SmtpPeer::Message> nove = noviNa(izravno ? prva : polja, izravno ? prvaPrimila : poljaPrimila);
    QCOMPARE(nove.size(), 5);
    for (int i = 0; i < 5; ++i) {
      QVERIFY(nove[i].rcptTos == QStringList{adrese[i]} && (izravno || nove[i].session == 1));
      const QJsonObject c = cleanMessage(nove[i].emlPath);
      QCOMPARE(c.value("to").toArray().at(0).toObject().value("name").toString(), izravno ? adrese[i] : imena[i]);
      QCOMPARE(c.value("subject").toString(), "Račun za " + imena[i] + ": " + oblici[i] + " EUR");
      QVERIFY2(c.value("html").toString().contains("<p>Poštovani " + html[i] + ",</p><p>iznos je " + oblici[i] + " EUR.</p>"),
               qPrintable(c.value("html").toString()));
    }
    QCOMPARE(dnevnik, popis);  // all sent, none failed
    QVERIFY2(t.size() == (izravno ? 3 : 2) && t[1] == "Uspješno poslano 5 e-mail poruka!", qPrintable(t.join('|')));
    QCOMPARE(dlg->calls[1].icon, platform::MsgIcon::Exclamation);
    QVERIFY2(!izravno || (t[2].contains("Kopije (CC, BCC) nisu isporučene") && t[2].contains("mojaprva.hr")),
             qPrintable(t.join('|')));
    QCOMPARE(adreseZapisa(rs), izravno ? QStringList() : adrese);
  }

  // A server that never greets: the time-out is shown and nothing counts. Then an editor
  // whose renderer died gives no document: nothing goes to a server that answers, the box
  // says why, and the document as last read can still be saved.
  void silentServer_deadEditor_nothingSent() {
    QVERIFY(composer::SpremiSMTPIP("127.0.0.101", 2));
    platform::RecordSet rs = kupci({"a@kupci.hr", "b@kupci.hr"});
    QStringList poslano{"?"};
    bool spremljeno = false;
    uKomposeru(&rs, [&](frmMain* f) {
      f->SendMail()->setConnectTimeout(2), f->SendMail()->setConnectRetry(1);
      f->Editor()->setDocumentHtml("<p>Važna ponuda</p>");
      dio<QCheckBox>(f, "chkBrišiPoslane")->setChecked(true);
      dio<QPushButton>(f, "cmdPošaljiPrekoRS")->click();
      if (dio(f, "cmdSend")->isEnabled()) poslano = stavke(dio<QListWidget>(f, "lstPoslano"));
      QVERIFY(composer::SpremiSMTPIP("127.0.0.100", 2));
      f->Editor()->documentHtml();  // read once while it answers
      QSignalSpy mrtav(f->Editor()->view()->page(), &QWebEnginePage::renderProcessTerminated);
      QVERIFY(::kill(f->Editor()->view()->page()->renderProcessPid(), SIGKILL) == 0);
      QVERIFY(mrtav.wait(10000));
      dio<QPushButton>(f, "cmdPošaljiPrekoRS")->click();
      spremljeno = f->Editor()->saveDocument(env.path("spas.html"));
    });
    QCOMPARE(poslano, QStringList());  // and the window's commands are back
    const QStringList t = dlg->texts();
    QVERIFY2(t.size() == 2 && t[0].startsWith("Nije uspio pokušaj slanja e-mail-a zbog slijedećih razloga: \r\n") &&
             t[1].contains("Uređivač ne odgovara"), qPrintable(t.join('|')));
    QVERIFY(adreseZapisa(rs).size() == 2 && !QApplication::overrideCursor());
    QCOMPARE(noviNa(smtp, primljeno).size(), 0);
    QVERIFY(spremljeno && readWholeFile(env.path("spas.html")).contains("Važna ponuda"));
  }

  // One message with local images (two files of one name, one used twice) and a PDF; the
  // single run's checks come first, and before them a local file that is no image, hidden
  // in the document, stops the run with a box naming it.
  void singleRun_localImages() {
    const QByteArray png1 = QByteArray::fromHex("89504e470d0a1a0a") + "prvi", png2 = QByteArray::fromHex("89504e470d0a1a0a") + "drugi";
    const QString a = env.writeFile("doc/slike/logo.png", png1), b = env.writeFile("drugo/logo.png", png2);
    const QString pdf = env.writeFile("ponuda.pdf", "%PDF-1.4 ponuda");
    const QString tajna = env.writeFile("tajna.txt", "lozinka: 1234");
    const QString doc = env.writeFile("doc/ponuda.html",
        ("<html><body><p>Ponuda</p><img src=\"slike/logo.png\"><img src=\"" + QUrl::fromLocalFile(b).toString() +
         "\"><img src=\"" + a + "\"><img src=\"http://velkor.hr/web.png\"></body></html>").toUtf8());
    QStringList okviri, fokus;
    uKomposeru(nullptr, [&](frmMain* f) {
      f->Editor()->setDocumentHtml("<p>Ponuda</p><img style=\"display:none\" src=\"" +
                                   QUrl::fromLocalFile(tajna).toString() + "\">");
      dio<QLineEdit>(f, "txtTo")->setText("kupac@firma.hr, drugi@firma.hr");
      dio<QPushButton>(f, "cmdSend")->click();
      QVERIFY(f->Editor()->loadDocument(doc));
      dio<QLineEdit>(f, "txtCC")->setText("x@");
      dio<QPushButton>(f, "cmdSend")->click();
      fokus << f->focusWidget()->objectName();
      dio<QLineEdit>(f, "txtCC")->clear();
      dio<QLineEdit>(f, "txtAttach")->setText(pdf);
      dio<QPushButton>(f, "cmdSend")->click();
      okviri = stavke(dio<QListWidget>(f, "lstPoslano"));
    });
    QVERIFY2(dlg->calls.size() == 3 && dlg->calls[0].text.contains(tajna), qPrintable(dlg->texts().join('|')));
    QCOMPARE(dlg->calls[1].text + "|" + dlg->calls[1].title,
             QString("Jedna ili više adresa u 'CC : Email'  je pogrešna: x@|Slanje E-mail-a"));
    QCOMPARE(fokus, QStringList{"txtCC"});  // the run's checks first
    QCOMPARE(dlg->last().text, QString("Vaš e-mail je uspješno poslan!"));
    QCOMPARE(okviri, QStringList{"kupac@firma.hr;drugi@firma.hr  "});
    QVERIFY(smtp.waitForMessages(primljeno + 1));
    const QList<SmtpPeer::Message> nove = noviNa(smtp, primljeno);
    QCOMPARE(nove.size(), 1);
    const SmtpPeer::Message m = nove.first();
    QCOMPARE(m.rcptTos, QStringList({"kupac@firma.hr", "drugi@firma.hr"}));
    const QJsonObject c = cleanMessage(m.emlPath);
    // The parts' nesting is the builder's (tst_mimebuilder); which files go inline is the content IDs'.
    QStringList dijelovi;
    for (const QJsonValue& v : c.value("attachments").toArray())
      dijelovi << v["filename"].toString() + "|" + v["content_id"].toString() + "|" + v["sha256"].toString();
    QCOMPARE(dijelovi, QStringList({"logo.png|<logo.png>|" + sha256Of(png1), "logo-2.png|<logo-2.png>|" + sha256Of(png2),
                                    "ponuda.pdf||" + sha256Of("%PDF-1.4 ponuda")}));
    const QString html = c.value("html").toString();
    QCOMPARE(html.count("src=\"cid:logo.png\""), 2);
    QCOMPARE(html.count("src=\"cid:logo-2.png\""), 1);
    QVERIFY(html.contains("src=\"http://velkor.hr/web.png\"") && !html.contains(env.path()));
    QVERIFY(html.contains("<body lang=HR>", Qt::CaseInsensitive));
  }

  // Direct delivery: one message per domain to its own exchanger, or to the next one when the
  // first refuses the connection (no failure of the run); a domain without one fails alone
  // and nothing goes anywhere else.
  void directDelivery_byDomain() {
    QVERIFY(composer::SpremiSMTPIP("FIND", 1));
    QStringList poslano, neuspjelo;
    uKomposeru(nullptr, [&](frmMain* f) {
      f->Editor()->setDocumentHtml("<p>Izravno</p>");
      dio<QLineEdit>(f, "txtTo")->setText("a@prva.hr,b@druga.hr;c@treca.hr, d@PRVA.hr, f@rezerva.hr");
      dio<QLineEdit>(f, "txtCC")->setText("e@mojaprva.hr");
      dio<QPushButton>(f, "cmdSend")->click();
      poslano = stavke(dio<QListWidget>(f, "lstPoslano"));
      neuspjelo = stavke(dio<QListWidget>(f, "lstNeuspjelo"));
    });
    QVERIFY(prva.waitForMessages(prvaPrimila + 1) && druga.waitForMessages(drugaPrimila + 2));
    const auto uPrvoj = noviNa(prva, prvaPrimila), uDrugoj = noviNa(druga, drugaPrimila);
    QVERIFY(uPrvoj.size() == 1 && uDrugoj.size() == 2);
    QCOMPARE(uPrvoj[0].rcptTos + uDrugoj[0].rcptTos + uDrugoj[1].rcptTos,
             QStringList({"a@prva.hr", "d@PRVA.hr", "b@druga.hr", "f@rezerva.hr"}));
    QCOMPARE(noviNa(smtp, primljeno).size(), 0);
    QCOMPARE(neuspjelo.size(), 2);  // treca.hr and mojaprva.hr have no exchanger
    QVERIFY2(neuspjelo.first().startsWith("c@treca.hr "), qPrintable(neuspjelo.join("|")));
    QCOMPARE(poslano.size(), 1);
    // The backup exchanger took rezerva.hr's mail: its dead first choice is no failure of the run.
    QVERIFY2(dlg->texts().filter("rezerva").isEmpty() && dlg->texts().filter("127.0.0.106").isEmpty(),
             qPrintable(dlg->texts().join("|")));
  }

  // The desktop mail route: the second call of sendmail fails and aborts the run.
  void outlookRoute_abortsAtFailure() {
    const QString dir = env.path("standin");
    QDir().mkpath(dir);
    QFile::link(SmtpPeer::scriptPath("standin.sh"), dir + "/sendmail");
    qputenv("VELKOR_STANDIN_DIR", dir.toUtf8()), qputenv("VELKOR_SENDMAIL", (dir + "/sendmail").toUtf8());
    platform::RecordSet rs = kupci({"k1@kupci.hr", "k2@kupci.hr", "k3@kupci.hr"});
    QStringList dnevnik;
    uKomposeru(&rs, [&](frmMain* f) {
      f->Editor()->setDocumentHtml("<p>Preko klijenta {{Ime}}</p>");
      dio<QCheckBox>(f, "chkPrekoOutlooka")->setChecked(true);
      dio<QCheckBox>(f, "chkBrišiPoslane")->setChecked(true);
      env.writeFile("standin/sendmail.exit.2", "75\nposlužitelj pošte nije dostupan\n");  // the first call succeeds
      dio<QPushButton>(f, "cmdPošaljiPrekoRS")->click();
      dnevnik = dnevnikSlanja(f);
    });
    qunsetenv("VELKOR_SENDMAIL");
    QCOMPARE(dnevnik, QStringList({"Kupac Čić 1 k1@kupci.hr", "Kupac Čić 2 k2@kupci.hr"}));  // sent, failed
    const QStringList t = dlg->texts();
    QVERIFY2(t.size() >= 2 && t[t.size() - 2].startsWith("Greška: ") && t.last() == "Prekida se slanje poruka!",
             qPrintable(t.join("|")));
    QCOMPARE(dlg->calls[dlg->calls.size() - 2].icon, platform::MsgIcon::None);
    const QByteArray poruka = readWholeFile(dir + "/sendmail.1.stdin");
    for (const char* h : {"Importance: high\n", "X-Priority: 1\n", "Content-Type: text/html;",
                          "Prodaja Velkor\" <prodaja@velkor.hr>\n"})
      QVERIFY2(poruka.contains(h), h);
    QCOMPARE(adreseZapisa(rs), QStringList({"k2@kupci.hr", "k3@kupci.hr"}));
    QVERIFY(checkMessage(dir + "/sendmail.1.stdin").value("html").toString().contains("Preko klijenta Kupac Čić 1"));
  }

  // The recipient list: invalid rows purged in one box, the clipboard, Delete.
  void recipientList() {
    platform::RecordSet rs({{"Ime"}, {"EMail"}});
    for (const auto& [ime, adresa] : QList<std::pair<QString, QVariant>>{
             {"Ana", "ana@x.hr"}, {"Loš", "nije adresa"}, {"Loš 2", "los@"}, {"Prazan", QVariant()}, {"Ivo", "ivo@x.hr"},
             {"Ana opet", "ana@x.hr"}, {"Vo", "vo@x.hr"}})
      rs.AddRow({ime, adresa});
    QStringList lista, nakonShift, nakonDelete;
    QString clip;
    uKomposeru(&rs, [&](frmMain* f) {
      auto* lv = dio<QTreeWidget>(f, "lvEmail");
      lista = stavke(lv);
      f->GenerirajListu();
      clip = QGuiApplication::clipboard()->text();
      lv->setCurrentItem(lv->topLevelItem(0));
      QTest::keyClick(lv, Qt::Key_Delete, Qt::ShiftModifier);
      nakonShift = stavke(lv);
      dlg->answer(platform::MsgResult::Yes);
      QTest::keyClick(lv, Qt::Key_Delete);
      nakonDelete = stavke(lv);
      lv->clearSelection();
      lv->setCurrentItem(nullptr);
      QTest::keyClick(lv, Qt::Key_Delete);  // nothing selected: nothing asked
    });
    QCOMPARE(lista, QStringList({"Ana ana@x.hr", "Ivo ivo@x.hr", "Vo vo@x.hr"}));  // the end of another is its own
    QCOMPARE(dlg->calls[0].text, QString("Neispravni mail-ovi:  nije adresa los@ \r\nOni su izbrisani. Želite li "
                                         "nastaviti sa slanjem ispravnih e-mail-ova?"));
    QCOMPARE(clip, QString("ana@x.hr;ivo@x.hr;vo@x.hr;"));
    QCOMPARE(dlg->calls[1].text, QString("Generirani svi mailovi u clipboard. Sada te podatke možete spremiti u npr. "
                                 "Outlook.\r\nana@x.hr;ivo@x.hr;vo@x.hr;"));
    QCOMPARE(nakonShift, lista);
    QVERIFY(dlg->calls.size() == 3 && dlg->calls[2].text == "Želite li ukloniti Ana ana@x.hr iz slanja e-mail-a?");
    QCOMPARE(nakonDelete, QStringList({"Ivo ivo@x.hr", "Vo vo@x.hr"}));
    QCOMPARE(adreseZapisa(rs), QStringList({"ivo@x.hr", "vo@x.hr"}));  // both Ana rows are gone
  }

  // Addresses picked in the address book reach the server; with plain text chosen in
  // "Opcije" the document's text goes as text/plain.
  void addressBook_plainText() {
    env.writeFile("data/Velkor/Contacts.txt", "Ana Šimić,ana@x.hr\r\nIvo Ivić,ivo@x.hr\r\n");
    setAddressBookHook(&frmContacts::Prikaži);
    QVERIFY(composer::SpremiMailFormat(false, 0));
    uKomposeru(nullptr, [&](frmMain* f) {
      f->Editor()->setDocumentHtml("<p>Poštovani,</p><p>u prilogu je <b>ponuda</b>.</p>");
      QTimer::singleShot(0, [] {
        auto* book = QApplication::activeModalWidget();
        auto* l = book->findChild<QTreeWidget*>("lstContacts");
        for (int i = 0; i < 2; ++i) l->topLevelItem(i)->setCheckState(0, Qt::Checked);
        book->findChild<QPushButton*>("cmdTo")->click();
        book->findChild<QPushButton*>("cmdOK")->click();
      });
      dio<QPushButton>(f, "cmdTo")->click();
      dio<QPushButton>(f, "cmdSend")->click();
    });
    setAddressBookHook(nullptr);
    QVERIFY(composer::SpremiMailFormat(true, 0));
    QVERIFY(smtp.waitForMessages(primljeno + 1));
    const SmtpPeer::Message m = noviNa(smtp, primljeno).first();
    QCOMPARE(m.rcptTos, QStringList({"ana@x.hr", "ivo@x.hr"}));
    const QJsonObject c = cleanMessage(m.emlPath);
    QCOMPARE(c.value("tree").toObject().value("type").toString(), QString("text/plain"));
    QVERIFY2(c.value("text").toString().contains("Poštovani,") && c.value("text").toString().contains("u prilogu je ponuda."),
             qPrintable(c.value("text").toString()));
  }

  // Each customer's own invoice: a single message refuses a field in the attachment box;
  // a record run lists the two records whose files are missing (in a box that scrolls),
  // sends nothing when the user cancels, and otherwise sends each other record exactly its
  // own file and those two nothing.
  void ownAttachments() {
    platform::RecordSet rs({{"Ime"}, {"EMail"}, {"BrojRacuna", platform::adInteger}});
    QStringList adrese;
    QHash<QString, QString> sha;
    for (int i = 1; i <= 20; ++i) {
      adrese << QString("r%1@kupci.hr").arg(i);
      rs.AddRow({QString("Kupac %1").arg(i), adrese.last(), 2600 + i});
      if (i == 4 || i == 17) continue;
      const QByteArray pdf = "%PDF-1.4 racun " + QByteArray::number(2600 + i);
      env.writeFile(QString("racuni/%1.pdf").arg(2600 + i), pdf);
      sha[adrese.last()] = sha256Of(pdf);
    }
    const int prije = primljeno;
    dlg->answer(platform::MsgResult::Ok), dlg->answer(platform::MsgResult::Cancel), dlg->answer(platform::MsgResult::Ok);
    uKomposeru(&rs, [&](frmMain* f) {
      dio<QLineEdit>(f, "txtTo")->setText("r1@kupci.hr");
      dio<QLineEdit>(f, "txtAttach")->setText(env.path("racuni/{{BrojRacuna}}.pdf"));
      dio<QPushButton>(f, "cmdSend")->click();
      dio<QLineEdit>(f, "txtTo")->clear();
      dio<QPushButton>(f, "cmdPošaljiPrekoRS")->click();
      QCOMPARE(noviNa(smtp, primljeno).size(), 0);
      dio<QPushButton>(f, "cmdPošaljiPrekoRS")->click();
    });
    const QStringList t = dlg->texts();
    QVERIFY2(t[0].startsWith("Privitak s poljem zapisa") && t[1] == t[2], qPrintable(t.join('|')));
    QVERIFY2(t[1].contains("Zapisima (2) nedostaju privici") && t[1].contains("Kupac 4 <r4@kupci.hr>: " + env.path("racuni/2604.pdf")) &&
             t[1].contains("Kupac 17 <r17@kupci.hr>: "), qPrintable(t[1]));
    QVERIFY(smtp.waitForMessages(prije + 18));
    for (const SmtpPeer::Message& m : noviNa(smtp, primljeno)) {
      const QJsonArray prilozi = cleanMessage(m.emlPath).value("attachments").toArray();
      QVERIFY2(prilozi.size() == 1 && prilozi[0]["sha256"].toString() == sha.take(m.rcptTos.value(0)), qPrintable(m.rcptTos.join(',')));
    }
    QVERIFY(sha.isEmpty());
    // The box itself: the list scrolls.
    platform::setDialogs(nullptr);
    QString popis;
    // The first button goes on; Esc and a key on the focused button do not.
    for (int nacin : {0, 1, 2}) {
      const bool prihvati = nacin == 0;
      QTimer::singleShot(0, [&, nacin] {
        QWidget* w = QApplication::activeModalWidget();
        popis = w->findChild<QPlainTextEdit*>("txtPopis")->toPlainText();
        screenshot(w, "popis-bez-priloga");
        if (nacin == 0) w->findChild<QPushButton*>("cmdPrihvati")->click();
        else QTest::keyClick(nacin == 1 ? w : w->focusWidget(), nacin == 1 ? Qt::Key_Escape : Qt::Key_Space);
      });
      QCOMPARE(platform::dialogs().confirmList(nullptr, "Nedostaju:", QStringList(30, "Kupac <k@x.hr>: /a.pdf"),
                                               "Nastavi bez njih", "Odustani", "Slanje E-mail-a"), prihvati);
    }
    platform::setDialogs(dlg.get());
    QCOMPARE(popis.count('\n'), 29);
  }

  // Going on past a refused record: the closing boxes count both, the refused record is
  // saved with its columns and reason (read back by Python's csv), and the log's viewer
  // shows each attempt, the refused one with the exchange that led to it.
  void refusedRecord_boxesAndLog() {
    QVERIFY(composer::SpremiSMTPIP("127.0.0.152", 2) && composer::SpremiPostavkeSlanja({true, 0}));
    platform::RecordSet rs = kupci({"w1@kupci.hr", "w2@kupci.hr", "w3@kupci.hr"});
    QJsonArray neuspjeli;
    QString tekst;
    uKomposeru(&rs, [&](frmMain* f) {
      dio<QPushButton>(f, "cmdPošaljiPrekoRS")->click();
      dlg->answerText(env.path("neuspjeli.csv"));
      f->findChild<QAction*>("mnuSpremiNeuspjele")->trigger();
      neuspjeli = procitajIzvoz({"csv", env.path("neuspjeli.csv"), ";"}).array();
      QTimer::singleShot(0, [&] {
        QWidget* w = QApplication::activeModalWidget();
        tekst = w->findChild<QPlainTextEdit*>("txtPoruka")->toPlainText();
        w->findChild<QPushButton*>("OKButton")->click();
      });
      f->findChild<QAction*>("mnuPrikažiIzvještaj")->trigger();
    });
    QVERIFY(composer::SpremiPostavkeSlanja({false, 0}));
    const QStringList okviri = dlg->texts();
    QVERIFY2(okviri.filter("Nije uspio").isEmpty(), qPrintable(okviri.join("|")));
    QCOMPARE(okviri.filter("poruka").mid(0, 2), QStringList({"Uspješno poslano 2 e-mail poruka!",
                                                           "Nije poslano 1 e-mail poruka. Razlozi su u izvještaju o slanju."}));
    QCOMPARE(neuspjeli.size(), 2);
    QCOMPARE(neuspjeli[1].toVariant().toStringList(),
             QStringList({"Kupac Čić 3", "w3@kupci.hr", "550 5.1.1 <w3@kupci.hr>: Recipient address rejected: User unknown"}));
    QVERIFY2(tekst.contains("        C: RCPT TO:<w3@kupci.hr>\n        S: 550 5.1.1"), qPrintable(tekst));
    QVERIFY2(tekst.contains(QRegularExpression("\\d\\d:\\d\\d:\\d\\d  Nije poslano  Kupac Čić 3 <w3@kupci.hr>  550 5.1.1")),
             qPrintable(tekst));
  }

  // Stop during a run: the commands that walk or change the recipients are off meanwhile,
  // the box counts what went and what did not, and "Pošalji preostalima" is offered.
  void stopButton() {
    platform::RecordSet rs = kupci({"z1@kupci.hr", "z2@kupci.hr", "z3@kupci.hr", "z4@kupci.hr"});
    bool zaustavljivo = false, popisIsključen = false, preostaliPonuđeni = false;
    uKomposeru(&rs, [&](frmMain* f) {
      QObject::connect(f->SendMail(), &mail::clsSendMail::SendSuccesful, f, [&] {
        if (zaustavljivo) return;
        zaustavljivo = dio<QPushButton>(f, "cmdZaustavi")->isEnabled();
        popisIsključen = !f->findChild<QAction*>("mnuGenListUClip")->isEnabled();
        dio<QTreeWidget>(f, "lvEmail")->setCurrentItem(dio<QTreeWidget>(f, "lvEmail")->topLevelItem(3));
        f->lvEmail_KeyDown(Qt::Key_Delete, Qt::NoModifier);  // no question, nothing removed
        dio<QPushButton>(f, "cmdZaustavi")->click();
      });
      dio<QPushButton>(f, "cmdPošaljiPrekoRS")->click();
      preostaliPonuđeni = dio(f, "cmdPošaljiPreostalima")->isVisible() && !dio(f, "cmdZaustavi")->isEnabled();
    });
    QVERIFY(zaustavljivo && popisIsključen && preostaliPonuđeni);
    QCOMPARE(dlg->texts(), QStringList{"Slanje je zaustavljeno. Poslano: 1, neuspjelo: 0, odgođeno: 0, nije pokušano: 3."});
    QCOMPARE(rs.RecordCount(), 4);
  }
};

QTEST_MAIN(TstSlanje)
#include "tst_slanje.moc"
