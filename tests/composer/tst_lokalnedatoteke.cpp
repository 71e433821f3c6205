// The local files the composer takes from disk: a document's images (by their content,
// never any file an <img> names) and the document a host names on its command line.
#include <QtTest>

#include "composer/DokumentDomacina.h"
#include "composer/LokalneSlike.h"
#include "support/TestEnv.h"

class TstLokalneDatoteke : public QObject {
  Q_OBJECT
  TestEnv env;

 private slots:
  // Each file named three ways from doc/pismo.html: "../slike/…", a file:// URL, a path.
  void slikePoSadrzaju_data() {
    QTest::addColumn<QString>("ime");
    QTest::addColumn<QByteArray>("sadrzaj");
    QTest::addColumn<bool>("slika");
    const QByteArray bmp = QByteArray("BM") + QByteArray(12, '\0') + QByteArray::fromHex("28000000") + QByteArray(8, '\0');
    QTest::newRow("PNG") << "a.png" << QByteArray::fromHex("89504e470d0a1a0a0000000d49484452") << true;
    QTest::newRow("JPEG") << "b.jpg" << QByteArray::fromHex("ffd8ffe000104a464946") << true;
    QTest::newRow("GIF") << "c.gif" << QByteArray("GIF89a\x01\x00\x01\x00") << true;
    QTest::newRow("WebP") << "d.webp" << QByteArray("RIFF\x24\x00\x00\x00WEBPVP8 ", 16) << true;
    QTest::newRow("BMP") << "e.bmp" << bmp << true;
    QTest::newRow("SVG after prolog") << "f.svg"
        << QByteArray("\xef\xbb\xbf<?xml version=\"1.0\"?>\n<!-- logo -->\n<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                      "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n<svg xmlns=\"http://www.w3.org/2000/svg\"/>") << true;
    QTest::newRow("PNG named .txt") << "logo.txt" << QByteArray::fromHex("89504e470d0a1a0a") << true;
    QTest::newRow("text") << "secret.txt" << QByteArray("lozinka: tajna\n") << false;
    QTest::newRow("text named .png") << "x.png" << QByteArray("nije slika") << false;
    QTest::newRow("BM text") << "bm.bmp" << QByteArray("BMW ponuda za 2024. godinu\n") << false;
    QTest::newRow("svg inside HTML") << "g.svg" << QByteArray("<html><body><svg></svg></body></html>") << false;
    QTest::newRow("empty") << "h.gif" << QByteArray() << false;
  }
  void slikePoSadrzaju() {
    QFETCH(QString, ime);
    QFETCH(QByteArray, sadrzaj);
    QFETCH(bool, slika);
    const QString put = env.writeFile("slike/" + ime, sadrzaj);
    const QUrl dokument = QUrl::fromLocalFile(env.path("doc/pismo.html"));
    const QStringList izvori{"../slike/" + ime, QUrl::fromLocalFile(put).toString(), put, "http://velkor.hr/w.png"};
    QString html;
    for (const QString& i : izvori) html += "<img src=\"" + i + "\">";
    QDir().mkpath(env.path("kopije"));
    const composer::SlikeZaSlanje s = composer::pripremiLokalneSlike(html, izvori, dokument, env.path("kopije"));
    QCOMPARE(s.putanje, slika ? QStringList{put} : QStringList());
    QCOMPARE(s.odbijene, slika ? QStringList() : QStringList{put});
    QCOMPARE(s.html.count("src=\"" + ime + "\""), slika ? 3 : 0);
    QStringList slike, ostale;
    composer::lokalneDatoteke(izvori, dokument, &slike, &ostale);
    QCOMPARE(slike.join('|') + " / " + ostale.join('|'), slika ? put + " / " : " / " + put);
  }

  void tekstOdbijenih() {
    QCOMPARE(composer::tekstOdbijenihSlika({"/home/a/tajna.txt"}),
             QString("Slika u dokumentu nije slikovna datoteka i neće se poslati:\r\n/home/a/tajna.txt\r\n"
                     "Uklonite je iz dokumenta. Ništa nije poslano."));
    QStringList puno;
    for (int i = 1; i <= 12; ++i) puno << QString("/d/%1.txt").arg(i);
    const QStringList redovi = composer::tekstOdbijenihSlika(puno).split("\r\n");
    QCOMPARE(redovi.size(), 13);  // the box stays on the screen
    QCOMPARE(redovi.mid(10, 3), QStringList({"/d/10.txt", "… i još 2", "Uklonite ih iz dokumenta. Ništa nije poslano."}));
  }

  // The host's arguments: only a document the composer opens, named whole or last.
  void dokumentDomacina_data() {
    QTest::addColumn<QStringList>("argumenti");
    QTest::addColumn<QString>("dokument");
    const QString d = env.path("d") + "/";
    for (const char* ime : {"ponuda.html", "Pismo.HTM", "tekst.txt", "baza.fdb", "postavke.ini", "moj dokument.html"})
      env.writeFile(QString("d/") + ime, "x");
    QTest::newRow("none") << QStringList() << "";
    QTest::newRow("html whole") << QStringList{d + "ponuda.html"} << d + "ponuda.html";
    QTest::newRow("HTM last, any case") << QStringList{"-db", d + "baza.fdb", d + "Pismo.HTM"} << d + "Pismo.HTM";
    QTest::newRow("txt last") << QStringList{"/x", d + "tekst.txt"} << d + "tekst.txt";
    QTest::newRow("blank in whole") << QStringList{d + "moj", "dokument.html"} << d + "moj dokument.html";
    QTest::newRow("blank in last") << QStringList{"-o", d + "moj dokument.html"} << d + "moj dokument.html";
    QTest::newRow("host's database") << QStringList{"-u", "ana", d + "baza.fdb"} << "";
    QTest::newRow("host's ini whole") << QStringList{d + "postavke.ini"} << "";
    QTest::newRow("missing html") << QStringList{d + "nema.html"} << "";
    QTest::newRow("folder") << QStringList{d} << "";
  }
  void dokumentDomacina() {
    QFETCH(QStringList, argumenti);
    QTEST(composer::dokumentDomacina(argumenti), "dokument");
  }
};

QTEST_GUILESS_MAIN(TstLokalneDatoteke)
#include "tst_lokalnedatoteke.moc"
