// A rewrite of a large book that is killed half way, or that cannot be finished, leaves the
// old book or the new one, never a mix; a write that fails is said so. A book in the Windows
// code page keeps every letter through its changes; writers in two processes lose nothing.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "contacts/ContactsFile.h"
#include "contacts/ContactsTestSupport.h"
#include "contacts/TextLines.h"
#include "contacts/frmContacts.h"

class TstContactsFile : public QObject {
  Q_OBJECT
  TestEnv env;
  QByteArray oldBook, newBook;

 private slots:
  void initTestCase() {
    for (int i = 0; i < 10000; ++i) {
      const QByteArray line = QStringLiteral("Kontakt Čović %1,k%1@x.hr\r\n").arg(i).toUtf8();
      oldBook += line;
      newBook += i == 5000 ? QByteArray("Novi,novi@x.hr\r\n") : line;
    }
  }

  // A book written by the Windows programs (Windows-1250), or a UTF-8 one with a line a hand
  // edit added in that code page: shown with its letters, converted to UTF-8 by the first
  // change, the original kept as Contacts.txt.bak.
  void legacyBook_data() {
    QTest::addColumn<QByteArray>("book");
    QTest::addColumn<QString>("change");  // add, edit, delete (of b@x.hr)
    QTest::addColumn<QByteArray>("after");
    const QByteArray cp1250 = "\xC8ovi\xE6 \x8A,a@x.hr\r\n\x8Euti\xE8,b@x.hr\r\n\xD0ur\xF0" "a \x9E,c@x.hr";
    const QByteArray utf8 = "Čović Š,a@x.hr\r\n";
    QTest::newRow("add") << cp1250 << "add"
        << (utf8 + "Žutič,b@x.hr\r\nĐurđa ž,c@x.hr\r\nNovi Ćaćić,n@x.hr\r\n");
    QTest::newRow("edit") << cp1250 << "edit" << (utf8 + "Žuti Šime,b@x.hr\r\nĐurđa ž,c@x.hr\r\n");
    QTest::newRow("delete") << cp1250 << "delete" << (utf8 + "Đurđa ž,c@x.hr\r\n");
    QTest::newRow("one hand-edited line") << QByteArray(utf8 + "\x8Euti\xE8,b@x.hr\r\n") << "delete" << utf8;
  }
  void legacyBook() {
    QFETCH(QByteArray, book);
    QFETCH(QString, change);
    writeBook(book);
    QFile::remove(bookPath() + ".bak");
    contacts::ContactsFile f(bookPath());
    QList<contacts::ContactLine> shown;
    QVERIFY(f.read(shown));
    QCOMPARE(shown[0].name + "|" + shown[1].name, QString("Čović Š|Žutič"));
    bool held = true;
    if (change == "add") QVERIFY(f.add("Novi Ćaćić", "n@x.hr", held) && !held);
    if (change == "edit") QVERIFY(f.replace("b@x.hr", "Žuti Šime", "b@x.hr"));
    if (change == "delete") QVERIFY(f.remove("b@x.hr"));
    QTEST(bookBytes(), "after");
    QCOMPARE(bookBytes(".bak"), book);
    QVERIFY(f.remove("nobody@x.hr"));  // now UTF-8: no second conversion
    QCOMPARE(bookBytes(".bak"), book);
  }

  // Every byte of the code page as Python's codec reads it (the five it leaves unassigned
  // are the C1 controls of the same number).
  void windows1250Table() {
    QProcess py;
    py.start("/usr/bin/python3", {"-c", "import sys; sys.stdout.buffer.write(''.join(bytes([b]).decode('cp1250', "
                                        "'ignore') or chr(b) for b in range(128, 256)).encode())"});
    QVERIFY(py.waitForFinished());
    QByteArray all;
    for (int b = 0x80; b <= 0xFF; ++b) all += char(b);
    QCOMPARE(contacts::FromWindows1250(all), QString::fromUtf8(py.readAllStandardOutput()));
  }

  // Two programs adding 300 contacts each at the same time: all 600 are in the book.
  void twoWriters() {
    QFile::remove(bookPath());
    pid_t children[2];
    for (int c = 0; c < 2; ++c)
      if ((children[c] = fork()) == 0) {
        contacts::ContactsFile f(bookPath());
        bool held = false;
        int ok = 0;
        for (int i = 0; i < 300; ++i)
          ok += f.add(QString("Pisac %1 Čović %2").arg(c).arg(i), QString("p%1.%2@x.hr").arg(c).arg(i), held) && !held;
        _exit(ok == 300 ? 0 : 1);
      }
    for (pid_t child : children) {
      int status = -1;
      waitpid(child, &status, 0);
      QCOMPARE(status, 0);
    }
    QList<contacts::ContactLine> lines;
    QVERIFY(contacts::ContactsFile(bookPath()).read(lines));
    QCOMPARE(lines.size(), 600);
    QSet<QString> addresses;
    for (const contacts::ContactLine& l : lines) addresses << l.address;
    QCOMPARE(addresses.size(), 600);
  }

  void killedMidRewrite() {
    writeBook(oldBook);
    for (int round = 0; round < 6; ++round) {
      const pid_t child = fork();
      contacts::ContactsFile f(bookPath());
      while (child == 0) {  // the child rewrites back and forth until killed
        f.replace("k5000@x.hr", "Novi", "novi@x.hr");
        f.replace("novi@x.hr", "Kontakt Čović 5000", "k5000@x.hr");
      }
      QTest::qSleep(40 + 37 * round);
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
      const QByteArray now = bookBytes();
      QVERIFY2(now == oldBook || now == newBook, qPrintable(QString::number(now.size())));
    }
  }

  // Files may not grow past half the book: the rewrite fails, the book and views stay.
  void writeFails() {
    writeBook(oldBook);
    ScriptedDialogs boxes;
    frmContacts f;
    auto* l = child<QTreeWidget>(f, "lstContacts");
    l->setCurrentItem(l->topLevelItem(7));
    signal(SIGXFSZ, SIG_IGN);
    rlimit was;
    getrlimit(RLIMIT_FSIZE, &was);
    const rlimit half{rlim_t(oldBook.size() / 2), was.rlim_max};
    setrlimit(RLIMIT_FSIZE, &half);
    boxes.answer(platform::MsgResult::Yes);
    child<QAction>(f, "mnuDelete")->trigger();
    setrlimit(RLIMIT_FSIZE, &was);
    QCOMPARE(bookBytes(), oldBook);
    QCOMPARE(boxes.texts().last().left(18) + QString::number(boxes.calls.size()), "Desila se greška: 2");
    QCOMPARE(child<QTableWidget>(f, "mshContacts")->rowCount(), 10001);
    QCOMPARE(text(f, "txtName"), QString("Kontakt Čović 7"));
  }
};

QTEST_MAIN(TstContactsFile)
#include "tst_contactsfile.moc"
