// The customer search against real databases: the bundled kind (SQLite) and a PostgreSQL
// server started here. The same partners and the same expectations on both.
#include <QCheckBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QtTest>

#include "KomitentiTestData.h"
#include "lookup/frmKupciEMail.h"
#include "platform/SqlPristup.h"
#include "support/PostgresPeer.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

namespace {

struct Red {
  QString naziv;
  QString eMail;
};

QList<Red> redovi(frmKupciEMail& f) {
  auto* g = f.findChild<QTableWidget*>(QStringLiteral("fgŠifre"));
  QList<Red> out;
  for (int r = 0; r < g->rowCount(); ++r)
    out << Red{g->item(r, 1)->text(), g->item(r, 2)->text()};
  return out;
}

QStringList nazivi(frmKupciEMail& f) {
  QStringList out;
  for (const Red& r : redovi(f)) out << r.naziv.toCaseFolded();
  return out;
}

QStringList folded(QStringList l) {
  for (QString& s : l) s = s.toCaseFolded();
  return l;
}

void trazi(frmKupciEMail& f, const QString& tekst, bool odPocetka) {
  f.findChild<QCheckBox*>(QStringLiteral("chkPrikazŠifriPretrPoPoč"))->setChecked(odPocetka);
  auto* txt = f.findChild<QLineEdit*>(QStringLiteral("txtImeKupca"));
  txt->clear();
  txt->setText(tekst);  // a change, as typing makes
}

}  // namespace

class TstPretragaKomitenata : public QObject {
  Q_OBJECT
  TestEnv env;
  ScriptedDialogs boxes;
  PostgresPeer pg{QStringLiteral("127.0.0.6")};
  QString sqliteBaza;

  void koristi(const QString& backend) {
    if (backend == QLatin1String("postgresql"))
      koristiBazu(QStringLiteral("QPSQL"), pg.connection(QStringLiteral("velkor")));
    else
      koristiBazu(QStringLiteral("QSQLITE"), QStringLiteral("database=") + sqliteBaza);
  }

  static void backends() {
    QTest::addColumn<QString>("backend");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
  }

 private slots:
  void initTestCase() {
    sqliteBaza = env.path("komitenti.sqlite");
    const QString greska = napraviSqliteBazu(sqliteBaza);
    QVERIFY2(greska.isEmpty(), qPrintable(greska));
    QVERIFY2(pg.start(), qPrintable(pg.errorString()));
    QVERIFY2(pg.exec(QStringLiteral("CREATE DATABASE velkor")), qPrintable(pg.errorString()));
    QVERIFY2(pg.exec(sqlPostgresBaze(), QStringLiteral("velkor")), qPrintable(pg.errorString()));
  }

  void cleanup() {
    QVERIFY2(boxes.calls.isEmpty(), qPrintable(boxes.texts().join(" | ")));
  }

  void odPocetkaIliBiloGdje_data() { backends(); }
  void odPocetkaIliBiloGdje() {
    QFETCH(QString, backend);
    koristi(backend);
    frmKupciEMail f;
    trazi(f, "trgov", true);  // a name or an address that begins so
    QCOMPARE(nazivi(f), folded({"Ana Horvat", "Trgovina Marić j.d.o.o."}));
    trazi(f, "trgov", false);
    QCOMPARE(nazivi(f), folded({"Ana Horvat", "Đurđevac trgovina", "Trgovina Marić j.d.o.o."}));
    trazi(f, "pekara@", true);
    QCOMPARE(nazivi(f), folded({"Zagrebačka pekara d.o.o."}));
    trazi(f, "garda", false);
    QCOMPARE(nazivi(f), QStringList());
  }

  void hrvatskaSlovaBezObziraNaVelicinu_data() { backends(); }
  void hrvatskaSlovaBezObziraNaVelicinu() {
    QFETCH(QString, backend);
    koristi(backend);
    frmKupciEMail f;
    trazi(f, "čist", true);
    QCOMPARE(nazivi(f), folded({"Čistoća d.o.o."}));
    trazi(f, "ČIST", true);
    QCOMPARE(nazivi(f), folded({"Čistoća d.o.o."}));
    trazi(f, "ŠUMARIJA", true);
    QCOMPARE(nazivi(f), folded({"Šumarija Gospić"}));
    trazi(f, "cist", true);  // c is not č
    QCOMPARE(nazivi(f), QStringList());
  }

  void bezDuplikataIPoNazivu_data() { backends(); }
  void bezDuplikataIPoNazivu() {
    QFETCH(QString, backend);
    koristi(backend);
    frmKupciEMail f;
    trazi(f, "konz", true);
    const QList<Red> r = redovi(f);
    QCOMPARE(r.size(), 2);  // three rows of one pair, and one of another address
    QStringList adrese{r[0].eMail, r[1].eMail};
    adrese.sort();
    QCOMPARE(adrese, QStringList({"nabava@konzum.example", "racunovodstvo@konzum.example"}));
    trazi(f, ".example", false);  // every partner with an address
    QCOMPARE(nazivi(f), folded(testniNaziviPoRedu()));
  }

  void bezAdreseNikad_data() { backends(); }
  void bezAdreseNikad() {
    QFETCH(QString, backend);
    koristi(backend);
    frmKupciEMail f;
    trazi(f, "adresa obrt", false);  // NULL, empty and blank addresses
    QCOMPARE(nazivi(f), QStringList());
    trazi(f, "Bez adr", true);
    QCOMPARE(nazivi(f), QStringList());
  }

  void navodnikUTekstu_data() { backends(); }
  void navodnikUTekstu() {
    QFETCH(QString, backend);
    koristi(backend);
    frmKupciEMail f;
    trazi(f, "O'Br", true);
    QCOMPARE(nazivi(f), folded({"O'Brien pub"}));
    trazi(f, "o'h", false);
    QCOMPARE(nazivi(f), folded({"Caffe bar O'Hara"}));
    trazi(f, "x') OR 1=1; DROP TABLE dbo.Komitent; --", false);
    QCOMPARE(nazivi(f), QStringList());
    trazi(f, "konz", true);  // the table is still there
    QCOMPARE(redovi(f).size(), 2);
  }

  void jedanZnakPraznaResetka_data() { backends(); }
  void jedanZnakPraznaResetka() {
    QFETCH(QString, backend);
    koristi(backend);
    frmKupciEMail f;
    auto* txt = f.findChild<QLineEdit*>(QStringLiteral("txtImeKupca"));
    f.findChild<QCheckBox*>(QStringLiteral("chkPrikazŠifriPretrPoPoč"))->setChecked(true);
    QTest::keyClicks(txt, "Ko");
    QCOMPARE(redovi(f).size(), 2);
    QTest::keyClick(txt, Qt::Key_Backspace);  // "K" alone matches, but is not searched
    QCOMPARE(redovi(f).size(), 0);
    QTest::keyClicks(txt, "o");
    QCOMPARE(redovi(f).size(), 2);
    trazi(f, "  K  ", true);
    QCOMPARE(redovi(f).size(), 0);
  }

  // The server's own log shows what the form sent, byte for byte.
  void tekstNaredbe() {
    koristi("postgresql");
    frmKupciEMail f;
    auto zadnja = [this] {
      const QList<QByteArray> linije = pg.log().split('\n');
      for (auto it = linije.crbegin(); it != linije.crend(); ++it) {
        const int i = int(it->indexOf("statement: "));
        if (i >= 0) return QString::fromUtf8(it->mid(i + 11));
      }
      return QString();
    };
    trazi(f, "O'Br", true);
    QCOMPARE(zadnja(),
             QStringLiteral("SELECT DISTINCT ImeKomit1 as Naziv,eMail as eMail FROM dbo.Komitent K "
                            "WHERE LEN(eMail)>0 AND (ImeKomit1 LIKE 'O''Br%' OR eMail LIKE "
                            "'O''Br%')  ORDER BY ImeKomit1"));
    trazi(f, " čist ", false);  // untrimmed inside the pattern
    QCOMPARE(zadnja(),
             QStringLiteral("SELECT DISTINCT ImeKomit1 as Naziv,eMail as eMail FROM dbo.Komitent K "
                            "WHERE LEN(eMail)>0 AND (ImeKomit1 LIKE '% čist %' OR eMail LIKE "
                            "'% čist %')  ORDER BY ImeKomit1"));
  }

  void mrtvaVezaPraznaResetkaBezPoruke() {
    koristi("sqlite");
    frmKupciEMail f;
    trazi(f, "konz", true);
    QCOMPARE(redovi(f).size(), 2);
    // Nothing listens there.
    koristiBazu(QStringLiteral("QPSQL"),
                QStringLiteral("database=velkor;host=127.0.0.41;port=5432;user=pg"));
    trazi(f, "konzu", true);
    QCOMPARE(redovi(f).size(), 0);
    koristiBazu(QStringLiteral("QNEPOSTOJI"), QStringLiteral("database=x"));
    trazi(f, "konz", true);
    QCOMPARE(redovi(f).size(), 0);
    // cleanup() checks that no box was shown.
  }
};

QTEST_MAIN(TstPretragaKomitenata)
#include "tst_pretragakomitenata.moc"
