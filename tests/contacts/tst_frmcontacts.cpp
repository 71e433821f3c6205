// The address book window: the file after add, edit and delete, their checks and messages,
// the forbidden characters, and the context menu.
#include <QClipboard>
#include <QMenu>

#include "contacts/frmContacts.h"
#include "contacts/ContactsTestSupport.h"
#include "support/ScriptedDialogs.h"

using platform::MsgResult;
Q_DECLARE_METATYPE(MsgResult)

namespace {
void typeText(QWidget* w, const QString& text) {
  for (const QChar c : text)
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}
void doubleClickRow(QWidget& f, int row) {
  auto* g = control<QTableWidget>(f, "mshContacts");
  dblClick(g, g->visualRect(g->model()->index(row, 0)).center());
}
}  // namespace

class TstFrmContacts : public QObject {
  Q_OBJECT
  TestEnv env;
  ScriptedDialogs boxes;

 private slots:
  void init() {
    QFile::remove(bookPath(env));
    boxes.calls.clear();
    boxes.answers.clear();
  }

  void editing_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("row");  // grid row double-clicked first; -1 none
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("button");
    QTest::addColumn<MsgResult>("answer");
    QTest::addColumn<QByteArray>("after");  // "" for unchanged
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("views");
    const MsgResult Y = MsgResult::Yes, N = MsgResult::No;
    const QByteArray two = "Ana,a@b.hr\r\nIvo,i@b.hr\r\n";
    QTest::newRow("first add creates file, trimmed") << QByteArray("(none)") << -1 << "  Ana Šimić "
        << " ana@firma.hr " << "cmdAdd" << Y << QByteArray("Ana Šimić,ana@firma.hr\r\n") << ""
        << "" << "Ana Šimić|ana@firma.hr;|";
    QTest::newRow("add after a line without end") << QByteArray("Ivo,i@b.hr") << -1 << "Đuro"
        << "d@b.hr" << "cmdAdd" << Y << QByteArray("Ivo,i@b.hr\r\nĐuro,d@b.hr\r\n") << "" << ""
        << "Ivo|i@b.hr;Đuro|d@b.hr;|";
    QTest::newRow("no name") << two << -1 << " " << "x@b.hr" << "cmdAdd" << Y << QByteArray()
        << "Upišite ime" << "txtName" << "Ana|a@b.hr;Ivo|i@b.hr;|";
    QTest::newRow("no address") << two << -1 << "X" << " " << "cmdAdd" << Y << QByteArray()
        << "Upišite Email" << "txtEmail" << "Ana|a@b.hr;Ivo|i@b.hr;|";
    QTest::newRow("bad address") << two << -1 << "X" << "x@bhr" << "cmdAdd" << Y << QByteArray()
        << "Unesite ispravnu E-mail adresu" << "txtEmail" << "Ana|a@b.hr;Ivo|i@b.hr;|";
    for (const char* address : {"A@B.HR", "a@b.h", "o@c.hr"})  // case, inside, in a name
      QTest::addRow("duplicate %s", address) << QByteArray("Ana,a@b.hr\r\nIvo@c.hr,i@b.hr\r\n")
          << -1 << "X" << address << "cmdAdd" << Y << QByteArray()
          << "Ova Email adresa već postoji u kontakt listi." << "txtEmail"
          << "Ana|a@b.hr;Ivo@c.hr|i@b.hr;|";
    QTest::newRow("edit every line of the address, blanks and third pieces")
        << QByteArray("Ana, a@b.hr\r\nIvo,i@b.hr,stari\r\nAna Druga,a@b.hr") << 0 << "Marija"
        << " m@b.hr " << "cmdAddEdit" << Y
        << QByteArray("Marija,m@b.hr\r\nIvo,i@b.hr\r\nMarija,m@b.hr\r\n") << "" << ""
        << "Marija|m@b.hr;Ivo|i@b.hr;Marija|m@b.hr;|";
    QTest::newRow("edit unchecked, keeps a line without comma")
        << QByteArray("Ivo,i@b.hr\r\nBez zareza\r\n\r\n") << 0 << "Ivo Ivić" << "a@b.hr"
        << "cmdAddEdit" << Y << QByteArray("Ivo Ivić,a@b.hr\r\nBez zareza\r\n") << "" << ""
        << "Ivo Ivić|a@b.hr;Bez zareza|;|";
    QTest::newRow("edit the empty row") << two << 2 << "X" << "x@b.hr" << "cmdAddEdit" << Y
        << QByteArray() << "Izaberite kontakt iz liste koji želite izmjeniti" << "mshContacts"
        << "Ana|a@b.hr;Ivo|i@b.hr;|";
    QTest::newRow("delete nothing loaded") << two << -1 << "X" << "x@b.hr" << "cmdAddDelete" << Y
        << QByteArray() << "Izaberite kontakt iz liste koji želite obrisati" << "mshContacts"
        << "Ana|a@b.hr;Ivo|i@b.hr;|";
    QTest::newRow("delete the last contact") << QByteArray("Ana,a@b.hr\r\n") << 0 << "" << ""
        << "cmdAddDelete" << Y << QByteArray("") << "Jeste li sigurni da želite obrisati kontakt : Ana"
        << "" << "|";
    QTest::newRow("delete answered No") << two << 1 << "" << "" << "cmdAddDelete" << N
        << QByteArray() << "Jeste li sigurni da želite obrisati kontakt : Ivo" << ""
        << "Ana|a@b.hr;Ivo|i@b.hr;|";
    QTest::newRow("delete every line of the address, BOM, LF only")
        << QByteArray("\xEF\xBB\xBF" "Ana,a@b.hr\nIvo,i@b.hr\nAna opet, a@b.hr") << 0 << "" << ""
        << "cmdAddDelete" << Y << QByteArray("Ivo,i@b.hr\r\n")
        << "Jeste li sigurni da želite obrisati kontakt : Ana" << "" << "Ivo|i@b.hr;|";
  }
  void editing() {
    QFETCH(QByteArray, before);
    QFETCH(int, row);
    QFETCH(QString, name);
    QFETCH(QString, address);
    QFETCH(QString, button);
    QFETCH(QByteArray, after);
    QFETCH(QString, message);
    if (before != "(none)") env.writeFile("data/Velkor/Contacts.txt", before);
    frmContacts f;
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    click(f, "cmdNewContacts");
    if (row >= 0) doubleClickRow(f, row);
    QCOMPARE(control<QPushButton>(f, "cmdAddEdit")->isEnabled(), row >= 0);
    if (!name.isEmpty()) control<QLineEdit>(f, "txtName")->setText(name);
    if (!address.isEmpty()) control<QLineEdit>(f, "txtEmail")->setText(address);
    QFETCH(MsgResult, answer);
    boxes.answer(answer);
    click(f, qPrintable(button));
    QCOMPARE(bookBytes(env), after.isNull() ? before : after);
    QCOMPARE(boxes.calls.isEmpty() ? QString() : boxes.last().text, message);
    QFETCH(QString, views);
    QCOMPARE(::views(f), views);
    if (message.startsWith("Jeste")) {
      QCOMPARE(boxes.last().title, QString("Povrda brisanja"));
      QCOMPARE(boxes.last().buttons, platform::MsgButtons::YesNo);
      QCOMPARE(boxes.last().icon, platform::MsgIcon::Question);
    } else if (!message.isEmpty()) {
      QCOMPARE(boxes.last().title, QString("Slanje E-mail-a"));
      QCOMPARE(boxes.last().icon, platform::MsgIcon::Information);
      QTEST(focusName(f), "focus");
      auto* e = control<QLineEdit>(f, "txtEmail");
      if (message.startsWith("Ova")) QCOMPARE(e->selectedText(), e->text());
    }
    if (after.isNull()) return;  // a change ends in a cleared form
    QCOMPARE(control<QLineEdit>(f, "txtName")->text() + control<QLineEdit>(f, "txtEmail")->text(), "");
    QVERIFY(control<QPushButton>(f, "cmdAdd")->isEnabled());
  }

  // Typed, pasted or set, ",", "'", "`", CR and LF never reach the fields.
  void forbiddenCharacters() {
    frmContacts f;
    f.show();
    click(f, "cmdNewContacts");
    QVERIFY(QTest::qWaitForWindowActive(&f));
    for (const char* name : {"txtName", "txtEmail"}) {
      auto* e = control<QLineEdit>(f, name);
      e->setFocus();
      typeText(e, "Ž,i'v`ko");
      QGuiApplication::clipboard()->setText(" Ana,\r\nMarić'");
      QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
      QCOMPARE(e->text(), QString("Živko AnaMarić"));
      e->setText("a,b");
      QCOMPARE(e->text(), QString("ab"));
    }
  }

  // Right click over either view opens the menu; from the list, Edit opens the edit view with
  // the contact loaded and Delete asks and deletes without switching views.
  void contextMenu_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<bool>("editView");
    QTest::newRow("edit") << "mnuEdit" << QByteArray("Ana Šimić,ana@x.hr\r\nIvo,ivo@x.hr\r\n") << true;
    QTest::newRow("delete") << "mnuDelete" << QByteArray("Ana Šimić,ana@x.hr\r\n") << false;
  }
  void contextMenu() {
    QFETCH(QString, action);
    env.writeFile("data/Velkor/Contacts.txt", "Ana Šimić,ana@x.hr\r\nIvo,ivo@x.hr\r\n");
    frmContacts f;
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    auto* l = control<QTreeWidget>(f, "lstContacts");
    auto* menu = control<QMenu>(f, "mnuList");
    const QPoint p = l->visualItemRect(l->topLevelItem(1)).center();
    QTest::mouseClick(l->viewport(), Qt::RightButton, {}, p);
    QContextMenuEvent e(QContextMenuEvent::Mouse, p, l->viewport()->mapToGlobal(p));
    QApplication::sendEvent(l->viewport(), &e);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->title(), QString("List"));
    boxes.answer(MsgResult::Yes);
    control<QAction>(f, qPrintable(action))->trigger();
    QTEST(bookBytes(env), "after");
    QTEST(control<QWidget>(f, "fraNewContact")->isVisible(), "editView");
    QCOMPARE(control<QWidget>(f, "fraMain")->isVisible(), !control<QWidget>(f, "fraNewContact")->isVisible());
    if (action == "mnuEdit") {
      QCOMPARE(control<QLineEdit>(f, "txtName")->text() + control<QLineEdit>(f, "txtEmail")->text(), "Ivoivo@x.hr");
      QCOMPARE(focusName(f), QString("txtName"));
    }
  }
};

QTEST_MAIN(TstFrmContacts)
#include "tst_frmcontacts.moc"
