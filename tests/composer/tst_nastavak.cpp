// A mailing survives its host: a host process sending to 200 customers through the composer
// is killed at random points; each restart takes the run up, and in the end every customer
// has exactly one message at the server and the host's table holds exactly the customers
// that were not mailed (the two the server refuses).
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <csignal>
#include <unistd.h>

#include "ComposerRun.h"

class TstNastavak : public QObject {
  Q_OBJECT
  TestEnv env;
  SmtpPeer smtp{{.host = "127.0.0.153", .rejectRcpt = {"k50@kupci.hr", "k150@kupci.hr"}}};

  // The customers k1 … k200, in a table of the host's own.
  QString kupci() {
    const QString baza = env.path("kupci.db");
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "kupci");
    db.setDatabaseName(baza);
    bool ok = db.open() && db.transaction();
    QSqlQuery q(db);
    ok = ok && q.exec("CREATE TABLE Kupci (Sifra INTEGER PRIMARY KEY, Ime TEXT, EMail TEXT)");
    for (int i = 1; ok && i <= 200; ++i)
      ok = q.exec(QString("INSERT INTO Kupci VALUES (%1, 'Kupac %1', 'k%1@kupci.hr')").arg(i));
    ok = ok && db.commit();
    return ok ? baza : QString();
  }
  static QList<int> preostali() {
    QList<int> out;
    QSqlQuery q("SELECT Sifra FROM Kupci ORDER BY Sifra", QSqlDatabase::database("kupci"));
    while (q.next()) out << q.value(0).toInt();
    return out;
  }

 private slots:
  void initTestCase() {
    QVERIFY2(smtp.start(), qPrintable(smtp.error()));
    QVERIFY(composer::SpremiSMTPIP("127.0.0.153", 2) && composer::SpremiPostavkeSlanja({true, 0}));
  }

  void killedHost_resumesWithoutSecondCopy() {
    const QString baza = kupci();
    QVERIFY(!baza.isEmpty());
    const quint32 sjeme = QRandomGenerator::global()->generate();
    QRandomGenerator slucaj(sjeme);
    qInfo("seed %u", sjeme);
    for (int pokretanje = 0; pokretanje < 4; ++pokretanje) {
      QProcess domacin;
      domacin.setProcessChannelMode(QProcess::MergedChannels);
      // A group of its own: the editor's processes go down with it.
      domacin.setChildProcessModifier([] { ::setpgid(0, 0); });
      domacin.start(VELKOR_BUILD_DIR "/tests/velkor-test-domacin", {baza});
      QVERIFY(domacin.waitForStarted());
      const pid_t skupina = pid_t(domacin.processId());
      QVERIFY(skupina > 1);
      if (pokretanje < 3) {
        const int do_ = int(smtp.messages().size()) + int(slucaj.bounded(10, 50));
        QVERIFY2(smtp.waitForMessages(do_, 60000), domacin.readAll().constData());
        QTest::qWait(int(slucaj.bounded(30)));
        ::kill(-skupina, SIGKILL);
        QVERIFY(domacin.waitForFinished(10000));
        qInfo("run %d killed after %d messages", pokretanje, int(smtp.messages().size()));
      } else {
        QVERIFY(domacin.waitForFinished(120000));
        QVERIFY2(domacin.exitCode() == 0, domacin.readAll().constData());
        ::kill(-skupina, SIGKILL);  // what the editor may have left
      }
    }
    QMap<QString, int> poruka;
    for (const SmtpPeer::Message& m : smtp.messages())
      for (const QString& a : m.rcptTos) ++poruka[a];
    QStringList krivo;
    for (int i = 1; i <= 200; ++i) {
      const QString a = QString("k%1@kupci.hr").arg(i);
      if (poruka.value(a) != (i % 100 == 50 ? 0 : 1)) krivo << a + "=" + QString::number(poruka.value(a));
    }
    QVERIFY2(krivo.isEmpty(), qPrintable(QString("seed %1: ").arg(sjeme) + krivo.join(' ')));
    QCOMPARE(preostali(), QList<int>({50, 150}));
  }
};

QTEST_MAIN(TstNastavak)
#include "tst_nastavak.moc"
