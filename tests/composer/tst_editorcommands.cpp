// The editing control on a real Chromium page, and its commands, form elements, context menu
// and dialogs, judged by the document they leave behind: what goes in comes back out, big and
// local documents load, and nothing the document holds can navigate it away.
#include <QWebEnginePage>
#include <QWebEngineView>
#include <csignal>

#include "composer/EditorCommands.h"
#include "composer/EditorToolbar.h"
#include "composer/HtmlEditor.h"
#include "composer/HtmlSnippets.h"
#include "composer/frmDialog_Body.h"
#include "composer/frmDialog_Table.h"
#include "ComposerRun.h"

class TstEditorCommands : public Fixture {
  Q_OBJECT
  std::unique_ptr<QWidget> okvir;
  HtmlEditor* ed = nullptr;
  QStatusBar* status = nullptr;

  QString tijelo() {
    const QString h = ed->documentHtml();
    const qsizetype a = h.indexOf('>', h.indexOf("<body")) + 1;
    return h.mid(a, h.lastIndexOf("</body>") - a);
  }
  void dokument(const QString& body) { QVERIFY(ed->setDocumentHtml("<html><head></head><body>" + body + "</body></html>")); }
  // "sel" selects the contents of #a, "node" selects #a itself, "caret:N" puts the caret at N in #a.
  void odaberi(const QString& kako) {
    const QString js = kako == "node" ? "r.selectNode(e);"
                       : kako.startsWith("caret:") ? "r.setStart(e.firstChild," + kako.mid(6) + ");r.collapse(true);"
                                                   : "r.selectNodeContents(e);";
    QVERIFY(ed->evaluate("var e=document.getElementById('a'),r=document.createRange();" + js +
                         "getSelection().removeAllRanges();getSelection().addRange(r);true").toBool());
  }
  QPoint središte(const QString& selektor) {
    const QString o = selektor == "sel" ? "getSelection().getRangeAt(0)" : "document.querySelector('" + selektor + "')";
    const QVariantList xy = ed->evaluate("var b=" + o + ".getBoundingClientRect();"
                                         "[b.left+b.width/2,b.top+b.height/2]").toList();
    // A click beside the element would pass the checks without testing anything.
    if (xy.size() != 2) QTest::qFail(qPrintable("no box for " + selektor), __FILE__, __LINE__);
    return xy.size() == 2 ? QPoint(xy[0].toInt(), xy[1].toInt()) : QPoint();
  }
  // Answers the next modal dialog from inside its exec().
  void uDijalogu(std::function<void(QDialog*)> radnja) {
    QTimer::singleShot(0, this, [radnja] {
      QTRY_VERIFY(qobject_cast<QDialog*>(QApplication::activeModalWidget()));
      radnja(qobject_cast<QDialog*>(QApplication::activeModalWidget()));
    });
  }
  QStringList izbornik() {
    QStringList out;
    for (QAction* a : ed->contextMenu()->actions())
      out << (a->isSeparator() ? QString("|") : a->text() + (a->isEnabled() ? "+" : "-"));
    return out;
  }

 private slots:
  void init() {
    Fixture::init();
    okvir = std::make_unique<QWidget>();
    auto* l = new QVBoxLayout(okvir.get());
    ed = new HtmlEditor;
    status = new QStatusBar;
    l->addWidget(new EditorToolbar(ed, status, okvir.get()));
    l->addWidget(ed);
    l->addWidget(status);
    okvir->resize(900, 500);
    okvir->show();
    QVERIFY(QTest::qWaitForWindowExposed(okvir.get()));
  }
  void cleanup() {
    okvir.reset();
    Fixture::cleanup();
  }

  void command_data() {
    QTest::addColumn<QString>("prije");
    QTest::addColumn<QString>("odabir");
    QTest::addColumn<int>("naredba");
    QTest::addColumn<QString>("poslije");
    const QString t2 = "<table><tbody><tr><td id=\"a\">1</td><td>2</td></tr><tr><td>3</td><td>4</td></tr></tbody></table>";
    QTest::newRow("5018 indent") << "<p id=\"a\">x</p>" << "sel" << 5018
        << "<blockquote style=\"margin: 0 0 0 40px; border: none; padding: 0px;\"><p id=\"a\">x</p></blockquote>";
    QTest::newRow("5030 ordered") << "<p id=\"a\">x</p>" << "sel" << 5030 << "<ol><li>x</li></ol>";
    QTest::newRow("5051 unordered") << "<p id=\"a\">x</p>" << "sel" << 5051 << "<ul><li>x</li></ul>";
    QTest::newRow("5024 centre") << "<p id=\"a\">x</p>" << "sel" << 5024 << "<p id=\"a\" style=\"text-align: center;\">x</p>";
    QTest::newRow("5026 right") << "<p id=\"a\">x</p>" << "sel" << 5026 << "<p id=\"a\" style=\"text-align: right;\">x</p>";
    QTest::newRow("5021 row") << t2 << "caret:0" << 5021
        << "<table><tbody><tr><td></td><td></td></tr><tr><td id=\"a\">1</td><td>2</td></tr><tr><td>3</td><td>4</td></tr></tbody></table>";
    QTest::newRow("5020 column") << t2 << "caret:0" << 5020
        << "<table><tbody><tr><td></td><td id=\"a\">1</td><td>2</td></tr><tr><td></td><td>3</td><td>4</td></tr></tbody></table>";
    QTest::newRow("5007 delete row") << t2 << "caret:0" << 5007 << "<table><tbody><tr><td>3</td><td>4</td></tr></tbody></table>";
    QTest::newRow("5006 delete column") << t2 << "caret:0" << 5006 << "<table><tbody><tr><td>2</td></tr><tr><td>4</td></tr></tbody></table>";
    QTest::newRow("5007 last row takes the table") << "<table><tbody><tr><td id=\"a\">1</td></tr></tbody></table><p>k</p>"
        << "caret:0" << 5007 << "<p>k</p>";
    QTest::newRow("5021 outside a table does nothing") << "<p id=\"a\">x</p>" << "caret:0" << 5021 << "<p id=\"a\">x</p>";
    QTest::newRow("5006 outside a table does nothing") << "<p id=\"a\">x</p>" << "caret:0" << 5006 << "<p id=\"a\">x</p>";
    QTest::newRow("5028 makes 2D") << "<input id=\"a\">" << "node" << 5028
        << "<input id=\"a\" style=\"position: absolute; left: 8px; top: 8px;\">";
    QTest::newRow("5028 makes 1D") << "<input id=\"a\" style=\"position: absolute; left: 8px; top: 8px;\">" << "node" << 5028
        << "<input id=\"a\">";
    QTest::newRow("5028 on plain text does nothing") << "<p id=\"a\">x</p>" << "caret:0" << 5028 << "<p id=\"a\">x</p>";
  }
  void command() {
    QFETCH(QString, prije);
    QFETCH(QString, odabir);
    QFETCH(int, naredba);
    dokument(prije);
    odaberi(odabir);
    ExecCommand(*ed, naredba);
    QTEST(tijelo(), "poslije");
  }

  // Clipboard and undo go through the page's own actions, which complete on their own time.
  void clipboardAndUndo() {
    dokument("<p id=\"a\">ab</p>");
    odaberi("sel");
    ExecCommand(*ed, Copy);
    QTRY_COMPARE(QGuiApplication::clipboard()->text(), QString("ab"));
    odaberi("caret:1");
    ExecCommand(*ed, Paste);
    QTRY_COMPARE(tijelo(), QString("<p id=\"a\">aabb</p>"));
    QTRY_COMPARE(QueryStatus(*ed, Undo), kOmogucena);
    ExecCommand(*ed, Undo);
    QTRY_COMPARE(tijelo(), QString("<p id=\"a\">ab</p>"));
    ExecCommand(*ed, SelectAll);
    ExecCommand(*ed, Cut);
    QTRY_COMPARE(ed->evaluate("document.body.textContent").toString(), QString());
    QCOMPARE(QueryStatus(*ed, Copy), kOnemogucena);
  }

  void fontLinkImage() {
    dokument("<p id=\"a\">x</p>");
    odaberi("sel");
    QFont f("DejaVu Sans Mono", 18);
    f.setBold(true);
    dlg->fonts << f;
    dlg->colours << QColor(10, 0, 255);
    ExecCommand(*ed, Font);
    QCOMPARE(tijelo(), QString("<p id=\"a\"><font face=\"DejaVu Sans Mono\" size=\"5\" color=\"#0a00ff\"><b>x</b></font></p>"));
    dokument("<p id=\"a\">x</p>");
    odaberi("sel");
    dlg->answerText(QString("https://primjer.hr/?a=1&b=2"));
    ExecCommand(*ed, Hyperlink);
    QCOMPARE(tijelo(), QString("<p id=\"a\"><a href=\"https://primjer.hr/?a=1&amp;b=2\">x</a></p>"));
    QImage slika(3, 2, QImage::Format_RGB32);
    slika.fill(Qt::blue);
    slika.save(env->path("logo.png"));
    odaberi("caret:0");
    dlg->answerText(env->path("logo.png"));
    ExecCommand(*ed, Image);
    QVERIFY(tijelo().contains("<img src=\"" + QUrl::fromLocalFile(env->path("logo.png")).toString(QUrl::FullyEncoded) + "\">"));
    QTRY_COMPARE(ed->evaluate("document.images[0].naturalWidth").toInt(), 3);
  }

  // Clicked on the toolbar after the focus went elsewhere, pasted where the caret was.
  void snippet_data() {
    QTest::addColumn<QString>("gumb");
    QTest::addColumn<QString>("html");
    int n = 0;
    const auto* s = HtmlIsjecci(&n);
    for (int i = 0; i < n; ++i) QTest::newRow(s[i].first) << QString(s[i].first) << s[i].second;
  }
  void snippet() {
    QFETCH(QString, gumb);
    QFETCH(QString, html);
    dokument("<p id=\"a\">ab</p>");
    odaberi("caret:1");
    QLineEdit drugdje(okvir.get());
    drugdje.show();
    drugdje.setFocus();
    QTest::mouseClick(okvir->findChild<QToolButton*>(gumb), Qt::LeftButton);
    QCOMPARE(tijelo(), "<p id=\"a\">a" + html + "b</p>");
  }

  void contextMenu_data() {
    QTest::addColumn<QString>("prije");
    QTest::addColumn<QString>("odabir");
    QTest::addColumn<QString>("klik");
    QTest::addColumn<QStringList>("stavke");
    const QStringList osnovne{"Cut-", "Copy-", "Paste+", "|", "Select All+", "|", "Font...+"};
    QTest::newRow("empty document") << "" << "" << "body"
        << QStringList{"Cut-", "Copy-", "Paste+", "|", "Select All-", "|", "Font...+"};
    QTest::newRow("text selected") << "<p id=\"a\">tekst</p>" << "sel" << "sel"
        << QStringList{"Cut+", "Copy+", "Paste+", "|", "Select All+", "|", "Font...+"};
    QTest::newRow("caret in a cell") << "<table border=\"1\"><tbody><tr><td id=\"a\">ćelija</td><td>2</td></tr></tbody></table>"
        << "" << "#a" << osnovne + QStringList{"|", "Ubaci red+", "Ubaci kolonu+", "Izbriši red+", "Izbriši kolonu+"};
  }
  void contextMenu() {
    QFETCH(QString, prije);
    QFETCH(QString, odabir);
    QFETCH(QString, klik);
    QFETCH(QStringList, stavke);
    QGuiApplication::clipboard()->setText("z");
    dokument(prije);
    if (!odabir.isEmpty()) odaberi(odabir);
    QWidget* platno = ed->view()->focusProxy();
    const QPoint tu = klik == "body" ? QPoint(20, 20) : središte(klik);
    QTest::mouseClick(platno, Qt::RightButton, {}, tu);
    QTRY_VERIFY(ed->contextMenu()->isVisible());
    QCOMPARE(izbornik(), stavke);
    if (stavke.size() < 12) return;
    ed->contextMenu()->actions()[11]->trigger();  // the entry after "Izbriši red"
    QCOMPARE(tijelo(), QString("<table border=\"1\"><tbody><tr><td>2</td></tr></tbody></table>"));
  }

  void blockFormatInStatusBar() {
    dokument("<h1 id=\"a\">Naslov</h1><ul><li id=\"b\">stavka</li></ul>");
    QWidget* platno = ed->view()->focusProxy();
    QTest::mouseClick(platno, Qt::LeftButton, {}, središte("#a"));
    QTRY_COMPARE(status->currentMessage(), QString("Heading 1"));
    QTest::mouseClick(platno, Qt::LeftButton, {}, središte("#b"));
    QTRY_COMPARE(status->currentMessage(), QString("Bulleted List"));
  }

  // Accepted: the table's exact text, as the editor gets it; refused: the box, the focus on
  // the wrong count, and the last table kept.
  void tableDialog_data() {
    QTest::addColumn<QString>("kolone");
    QTest::addColumn<QString>("redovi");
    QTest::addColumn<QString>("fokus");  // empty: accepted
    QTest::newRow("3 x 2") << "3" << "2" << "";
    QTest::newRow("zero rows") << "3" << "0" << "Text2";
    QTest::newRow("101 columns") << "101" << "2" << "Text1";
    QTest::newRow("text") << "tri" << "2" << "Text1";
    QTest::newRow("fraction") << "2" << "1,5" << "Text2";
    QTest::newRow("empty") << "" << "2" << "Text1";
    QTest::newRow("overflow") << "99999999999" << "2" << "Text1";
  }
  void tableDialog() {
    QFETCH(QString, kolone);
    QFETCH(QString, redovi);
    QFETCH(QString, fokus);
    frmDialog_Table d;
    // A typed alignment confirmed with Enter joins the list; the next drop-down shows the
    // three entries again and keeps the text.
    auto* c = d.findChild<QComboBox*>("Combo1");
    c->setEditText("Gore");
    QTest::keyClick(c, Qt::Key_Return);
    QVERIFY(c->findText("Gore") >= 0);
    c->showPopup();
    QStringList popis;
    for (int i = 0; i < c->count(); ++i) popis << c->itemText(i);
    c->hidePopup();
    QCOMPARE(popis, QStringList({"Lijevo", "Centrirano", "Desno"}));
    QCOMPARE(c->currentText(), QString("Gore"));
    c->setCurrentText("Desno");
    d.findChild<QComboBox*>("combo2")->setCurrentText("2");
    d.findChild<QLineEdit*>("Text1")->setText(kolone);
    d.findChild<QLineEdit*>("Text2")->setText(redovi);
    d.show();
    const QString prije = frmDialog_Table::TablicaHtml();
    d.Command1_Click();
    if (fokus.isEmpty()) {
      const QString red = "   <TR>\r\n" + QString("      <TD></TD>\r\n").repeated(3) + "   </TR>\r\n";
      QCOMPARE(frmDialog_Table::TablicaHtml(),
               "<Table align=\"Desno\" cellspacing=\"2\" border=\"1\" borderColor=\"0\" width=75%>\r\n" + red + red + "</Table>\r\n");
      QCOMPARE(d.result(), int(QDialog::Accepted));
      return;
    }
    QCOMPARE(dlg->texts(), QStringList{"Broj kolona i broj redova moraju biti cijeli brojevi od 1 do 100."});
    QVERIFY(dlg->last().icon == platform::MsgIcon::Exclamation && dlg->last().title == "Slanje E-mail-a");
    QCOMPARE(d.focusWidget()->objectName(), fokus);
    QCOMPARE(frmDialog_Table::TablicaHtml(), prije);
    QVERIFY(d.result() != QDialog::Accepted);
  }

  // Confirmed: the table is pasted where the caret was; cancelled: nothing is pasted.
  void tableDialog_pastesOnlyWhenConfirmed() {
    dokument("<p id=\"a\">ab</p>");
    odaberi("caret:1");
    uDijalogu([](QDialog* d) {
      d->findChild<QLineEdit*>("Text1")->setText("1");
      d->findChild<QLineEdit*>("Text2")->setText("1");
      d->findChild<QPushButton*>("Command1")->click();
    });
    child<QToolButton>(*okvir, "tblTableDialog")->click();
    const QString sTablicom = tijelo();
    QCOMPARE(sTablicom, QString("<p id=\"a\">a</p><table border=\"1\" bordercolor=\"0\" width=\"75%\">\n   <tbody><tr>\n"
                                "      <td></td>\n   </tr>\n</tbody></table><p id=\"a\">b</p>"));
    uDijalogu([](QDialog* d) { d->findChild<QPushButton*>("Command2")->click(); });
    child<QToolButton>(*okvir, "tblTableDialog")->click();
    QCOMPARE(tijelo(), sTablicom);
  }

  void bodyDialog() {
    QCOMPARE(TekstBoje(10 + 0 * 256 + 255 * 65536), QString("#0A00FF"));
    dokument("<p>x</p>");
    dlg->colours << QColor(255, 255, 204) << std::nullopt << QColor(0, 128, 0);
    uDijalogu([this](QDialog* d) {
      d->findChild<QPushButton*>("Command4")->click();  // background
      d->findChild<QPushButton*>("Command5")->click();  // text: colour dialog cancelled
      d->findChild<QPushButton*>("Command6")->click();  // link
      QCOMPARE(d->findChild<QComboBox*>("Combo1")->currentText(), QString("#FFFFCC"));
      QCOMPARE(d->findChild<QComboBox*>("combo2")->currentText(), QString());
      d->findChild<QPushButton*>("Command2")->click();
    });
    child<QToolButton>(*okvir, "tblBodyDialog")->click();
    QCOMPARE(ed->documentHtml(), QString("<html><head></head><body bgcolor=\"#FFFFCC\" link=\"#008000\"><p>x</p></body></html>"));
    uDijalogu([](QDialog* d) {
      d->findChild<QComboBox*>("Combo1")->setCurrentText("#000000");
      d->findChild<QPushButton*>("Command1")->click();  // cancel
    });
    child<QToolButton>(*okvir, "tblBodyDialog")->click();
    QCOMPARE(ed->documentHtml(), QString("<html><head></head><body bgcolor=\"#FFFFCC\" link=\"#008000\"><p>x</p></body></html>"));
  }

  void externalFile() {
    const QString put = env->writeFile("vanjska.html", "<html><head></head><body><p>Vanjski sadržaj</p></body></html>");
    uDijalogu([this, put](QDialog* d) {
      QCOMPARE(d->windowTitle(), QString("Učitaj datoteku"));
      d->findChild<QLineEdit*>("Text1")->setText(put);
      d->findChild<QPushButton*>("Command2")->click();
    });
    child<QToolButton>(*okvir, "tblExternalFile")->click();
    QCOMPARE(dlg->last().text, put);
    QCOMPARE(dlg->last().title, QString("Slanje E-mail-a"));
    QCOMPARE(dlg->last().icon, platform::MsgIcon::Information);
    QCOMPARE(tijelo(), QString("<p>Vanjski sadržaj</p>"));
    uDijalogu([](QDialog* d) { d->findChild<QPushButton*>("Command1")->click(); });
    child<QToolButton>(*okvir, "tblExternalFile")->click();
    QCOMPARE(dlg->calls.size(), 1);  // cancelled: no box, nothing reloaded
  }

  void print_showsTheText() {
    dokument("<table><tbody><tr><td>Ispisani račun</td></tr></tbody></table>");
    dlg->printToFile = env->path("ispis.pdf");
    dlg->answer(platform::MsgResult::Ok);
    child<QToolButton>(*okvir, "tblPrintFile")->click();
    QProcess p;  // the pages arrive as pictures: one page, not empty
    p.start("pdfinfo", {dlg->printToFile});
    QVERIFY(p.waitForFinished(30000));
    QVERIFY(QString::fromUtf8(p.readAllStandardOutput()).contains(QRegularExpression("Pages:\\s+1\\n")));
    QVERIFY(QFileInfo(dlg->printToFile).size() > 5000);
  }

  // What goes in comes back out: a page with a local image, a file opened whose relative
  // images still show after its text is set again (source tab), a big document.
  void documents_roundTrip() {
    QImage img(2, 1, QImage::Format_RGB32);  // in a folder whose name needs percent-encoding
    img.fill(Qt::red);
    QDir().mkpath(env->path("slike i logo"));
    QVERIFY(img.save(env->path("slike i logo/žig.png")));
    const QString src = QUrl::fromLocalFile(env->path("slike i logo/žig.png")).toString(QUrl::FullyEncoded);
    const QString html = "<!DOCTYPE html><html><head><title>Ponuda</title></head><body>"
                         "<p>Čokolada, šećer i đumbir – Žuta kuća</p>"
                         "<table border=\"1\"><tbody><tr><td>1</td><td>Ćevapi</td></tr></tbody></table>"
                         "<form><input type=\"text\" name=\"text1\" value=\"Text\"></form>"
                         "<img src=\"" + src + "\"></body></html>";
    ed->setShowBorders(true);
    ed->setShowDetails(true);
    QVERIFY(ed->setDocumentHtml(html));
    const QString natrag = ed->documentHtml();
    QCOMPARE(natrag, QString(html).replace("<!DOCTYPE html>", "<!DOCTYPE html>\n"));
    QCOMPARE(ed->imageSources(), QStringList{src});
    // The local image really loaded, and the helper style is on the page but not in the text.
    QCOMPARE(ed->evaluate("document.images[0].naturalWidth").toInt(), 2);
    QVERIFY(ed->evaluate("document.querySelector('style[data-velkor-helper]').textContent").toString()
                .contains("outline"));
    const QString put = env->writeFile("slike i logo/pismo.html",
                                      "<html><head></head><body><img src=\"žig.png\"></body></html>");
    QVERIFY(ed->loadDocument(put));
    QVERIFY(ed->setDocumentHtml(ed->documentHtml()));
    QCOMPARE(ed->evaluate("document.images[0].naturalWidth").toInt(), 2);
    QCOMPARE(ed->documentHtml(), QString("<html><head></head><body><img src=\"žig.png\"></body></html>"));
    QCOMPARE(ed->documentUrl(), QUrl::fromLocalFile(put));
    QString velik = "<html><head></head><body>";
    while (velik.size() < 3 * 1024 * 1024) velik += "<p>Redak s hrvatskim slovima čćđšž i nešto teksta da bude dulje.</p>";
    velik += "<p id=\"kraj\">kraj</p></body></html>";
    QVERIFY(ed->setDocumentHtml(velik));
    QCOMPARE(ed->evaluate("document.getElementById('kraj').textContent").toString(), QString("kraj"));
    QCOMPARE(ed->documentHtml(), velik);
  }

  void nothingInTheDocumentNavigates() {
    QVERIFY(ed->setDocumentHtml("<html><body><p id=\"a\">Tekst</p>"
                                "<form action=\"https://example.com/\"><input type=\"submit\"></form></body></html>"));
    const QUrl prije = ed->view()->url();
    odaberi("sel");
    QVERIFY(ed->execCommand("insertHTML", "<a id=\"veza\" href=\"https://example.com/\">veza</a>"));
    for (auto mod : {Qt::NoModifier, Qt::ControlModifier})
      QTest::mouseClick(ed->view()->focusProxy(), Qt::LeftButton, mod, središte("#veza"));
    ed->evaluate("document.getElementById('veza').click();document.forms[0].submit();true");
    QTest::qWait(500);
    QCOMPARE(ed->view()->url(), prije);
    QVERIFY(ed->documentHtml().contains("id=\"veza\""));
  }

  void deadRenderProcess_endsTheWait() {
    QVERIFY(ed->setDocumentHtml("<p>x</p>"));
    ed->setCallTimeout(60000);
    QSignalSpy mrtav(ed->view()->page(), &QWebEnginePage::renderProcessTerminated);
    QVERIFY(::kill(ed->view()->page()->renderProcessPid(), SIGKILL) == 0);
    QElapsedTimer t;
    t.start();
    bool ok = true;
    ed->evaluate("1", &ok);
    QVERIFY(!ok);
    QVERIFY2(t.elapsed() < 30000, "the wait ran into its time-out");
    QVERIFY(mrtav.count() == 1 || mrtav.wait(5000));
    // A new document brings the page back.
    QVERIFY(ed->setDocumentHtml("<p>opet</p>"));
    QVERIFY(ed->documentHtml().contains("opet"));
  }
};

QTEST_MAIN(TstEditorCommands)
#include "tst_editorcommands.moc"
