// A rewrite of a large book that is killed half way, or that cannot be finished, leaves the
// old book or the new one, never a mix; a write that fails is said so.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "contacts/ContactsFile.h"
#include "contacts/ContactsTestSupport.h"
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

  void killedMidRewrite() {
    env.writeFile("data/Velkor/Contacts.txt", oldBook);
    for (int round = 0; round < 6; ++round) {
      const pid_t child = fork();
      ContactsFile f(bookPath(env));
      while (child == 0) {  // the child rewrites back and forth until killed
        f.replace("k5000@x.hr", "Novi", "novi@x.hr");
        f.replace("novi@x.hr", "Kontakt Čović 5000", "k5000@x.hr");
      }
      QTest::qSleep(40 + 37 * round);
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
      const QByteArray now = bookBytes(env);
      QVERIFY2(now == oldBook || now == newBook, qPrintable(QString::number(now.size())));
    }
  }

  // Files may not grow past half the book: the rewrite fails, the book and views stay.
  void writeFails() {
    env.writeFile("data/Velkor/Contacts.txt", oldBook);
    ScriptedDialogs boxes;
    frmContacts f;
    auto* l = control<QTreeWidget>(f, "lstContacts");
    l->setCurrentItem(l->topLevelItem(7));
    signal(SIGXFSZ, SIG_IGN);
    rlimit was;
    getrlimit(RLIMIT_FSIZE, &was);
    const rlimit half{rlim_t(oldBook.size() / 2), was.rlim_max};
    setrlimit(RLIMIT_FSIZE, &half);
    boxes.answer(platform::MsgResult::Yes);
    control<QAction>(f, "mnuDelete")->trigger();
    setrlimit(RLIMIT_FSIZE, &was);
    QCOMPARE(bookBytes(env), oldBook);
    QCOMPARE(boxes.texts().last().left(18) + QString::number(boxes.calls.size()), "Desila se greška: 2");
    QCOMPARE(control<QTableWidget>(f, "mshContacts")->rowCount(), 10001);
    QCOMPARE(text(f, "txtName"), QString("Kontakt Čović 7"));
  }
};

QTEST_MAIN(TstContactsFile)
#include "tst_contactsfile.moc"
