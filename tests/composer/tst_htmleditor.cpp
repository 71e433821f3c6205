// The editing control on a real Chromium page: what goes in comes back out, big and local
// documents load, and nothing the document holds can navigate it away.
#include <QtTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <csignal>

#include "composer/HtmlEditor.h"
#include "support/TestEnv.h"

using namespace composer;
static const bool kDijeljeniKontekst = (QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts), true);

class TstHtmlEditor : public QObject {
  Q_OBJECT
  TestEnv env;
  std::unique_ptr<HtmlEditor> ed;

  QString slika() {  // a 2x1 PNG in a folder whose name needs percent-encoding
    QImage img(2, 1, QImage::Format_RGB32);
    img.fill(Qt::red);
    const QString put = env.path("slike i logo/žig.png");
    QDir().mkpath(QFileInfo(put).absolutePath());
    img.save(put);
    return put;
  }

 private slots:
  void init() {
    ed = std::make_unique<HtmlEditor>();
    ed->resize(600, 400);
    ed->show();
  }
  void cleanup() { ed.reset(); }

  void roundTrip_croatianTableFormImage() {
    const QString src = QUrl::fromLocalFile(slika()).toString(QUrl::FullyEncoded);
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
  }

  // An opened file's relative images still show after its text is set again (source tab).
  void openedFile_keepsItsFolderForRelativeImages() {
    slika();
    const QString put = env.writeFile("slike i logo/pismo.html",
                                      "<html><head></head><body><img src=\"žig.png\"></body></html>");
    QVERIFY(ed->loadDocument(put));
    QVERIFY(ed->setDocumentHtml(ed->documentHtml()));
    QCOMPARE(ed->evaluate("document.images[0].naturalWidth").toInt(), 2);
    QCOMPARE(ed->documentHtml(), QString("<html><head></head><body><img src=\"žig.png\"></body></html>"));
    QCOMPARE(ed->documentUrl(), QUrl::fromLocalFile(put));
  }

  void bigDocument_loads() {
    QString html = "<html><head></head><body>";
    const QString red = "<p>Redak s hrvatskim slovima čćđšž i nešto teksta da bude dulje.</p>";
    while (html.size() < 3 * 1024 * 1024) html += red;
    html += "<p id=\"kraj\">kraj</p></body></html>";
    QVERIFY(ed->setDocumentHtml(html));
    QCOMPARE(ed->evaluate("document.getElementById('kraj').textContent").toString(), QString("kraj"));
    QCOMPARE(ed->documentHtml(), html);
  }

  void nothingInTheDocumentNavigates() {
    QVERIFY(ed->setDocumentHtml("<html><body><p id=\"t\">Tekst</p>"
                                "<form action=\"https://example.com/\"><input type=\"submit\"></form></body></html>"));
    const QUrl prije = ed->view()->url();
    QVERIFY(ed->evaluate("var r=document.createRange();r.selectNodeContents(document.getElementById('t'));"
                         "getSelection().removeAllRanges();getSelection().addRange(r);true").toBool());
    QVERIFY(ed->execCommand("insertHTML", "<a id=\"veza\" href=\"https://example.com/\">veza</a>"));
    const QVariantList xy = ed->evaluate("var b=document.getElementById('veza').getBoundingClientRect();"
                                         "[b.left+b.width/2,b.top+b.height/2]").toList();
    QVERIFY(xy.size() == 2);
    QWidget* platno = ed->view()->focusProxy();
    for (auto mod : {Qt::NoModifier, Qt::ControlModifier})
      QTest::mouseClick(platno, Qt::LeftButton, mod, QPoint(xy[0].toInt(), xy[1].toInt()));
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

QTEST_MAIN(TstHtmlEditor)
#include "tst_htmleditor.moc"
