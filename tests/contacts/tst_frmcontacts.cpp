// The address book window: the file after add, edit and delete, their checks and messages,
// the forbidden characters, and the context menu.
#include <QClipboard>
#include <QMenu>

#include "contacts/ContactsTestSupport.h"
#include "contacts/frmContacts.h"

using platform::MsgResult;
Q_DECLARE_METATYPE(MsgResult)

class TstFrmContacts : public Fixture {
  Q_OBJECT

 private slots:
  void editing_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");  // null: unchanged
    QTest::addColumn<int>("row");           // grid row double-clicked first; -1 none
    for (const char* c : {"name", "address", "button", "message", "focus", "views"})
      QTest::addColumn<QString>(c);
    using B = QByteArray;
    const B two = "Ana,a@b.hr\r\nIvo,i@b.hr\r\n", same;
    const QString twoViews = "Ana|a@b.hr;Ivo|i@b.hr;|", pick = "Izaberite kontakt iz liste koji želite ",
                  ask = "Jeste li sigurni da želite obrisati kontakt : ";
    QTest::newRow("first add creates the file, trimmed") << B("(none)") << B("Ana Šimić,ana@firma.hr\r\n")
        << -1 << "  Ana Šimić " << " ana@firma.hr " << "cmdAdd" << "" << "" << "Ana Šimić|ana@firma.hr;|";
    QTest::newRow("add after a line without end") << B("Ivo,i@b.hr") << B("Ivo,i@b.hr\r\nĐuro,d@b.hr\r\n")
        << -1 << "Đuro" << "d@b.hr" << "cmdAdd" << "" << "" << "Ivo|i@b.hr;Đuro|d@b.hr;|";
    QTest::newRow("no name") << two << same << -1 << " " << "x@b.hr" << "cmdAdd" << "Upišite ime"
        << "txtName" << twoViews;
    QTest::newRow("no address") << two << same << -1 << "X" << " " << "cmdAdd" << "Upišite Email"
        << "txtEmail" << twoViews;
    QTest::newRow("bad address") << two << same << -1 << "X" << "x@bhr" << "cmdAdd"
        << "Unesite ispravnu E-mail adresu" << "txtEmail" << twoViews;
    for (const char* address : {"A@B.HR", "a@b.h", "o@c.hr"})  // case, inside a longer one, in a name
      QTest::addRow("duplicate %s", address) << B("Ana,a@b.hr\r\nIvo@c.hr,i@b.hr\r\n") << same << -1
          << "X" << address << "cmdAdd" << "Ova Email adresa već postoji u kontakt listi." << "txtEmail"
          << "Ana|a@b.hr;Ivo@c.hr|i@b.hr;|";
    QTest::newRow("edit every line of the address, blanks, third pieces")
        << B("Ana, a@b.hr\r\nIvo,i@b.hr,stari\r\nAna Druga,a@b.hr")
        << B("Marija,m@b.hr\r\nIvo,i@b.hr\r\nMarija,m@b.hr\r\n") << 0 << "Marija" << " m@b.hr "
        << "cmdAddEdit" << "" << "" << "Marija|m@b.hr;Ivo|i@b.hr;Marija|m@b.hr;|";
    QTest::newRow("edit unchecked, keeps a line without comma") << B("Ivo,i@b.hr\r\nBez zareza\r\n\r\n")
        << B("Ivo Ivić,a@b.hr\r\nBez zareza\r\n") << 0 << "Ivo Ivić" << "a@b.hr" << "cmdAddEdit" << ""
        << "" << "Ivo Ivić|a@b.hr;Bez zareza|;|";
    QTest::newRow("edit the empty row") << two << same << 2 << "X" << "x@b.hr" << "cmdAddEdit"
        << pick + "izmjeniti" << "mshContacts" << twoViews;
    QTest::newRow("delete nothing loaded") << two << same << -1 << "X" << "x@b.hr" << "cmdAddDelete"
        << pick + "obrisati" << "mshContacts" << twoViews;
    QTest::newRow("delete the last contact") << B("Ana,a@b.hr\r\n") << B("") << 0 << "" << ""
        << "cmdAddDelete" << ask + "Ana" << "" << "|";
    QTest::newRow("delete every line of the address, BOM, LF only")
        << B("\xEF\xBB\xBF" "Ana,a@b.hr\nIvo,i@b.hr\nAna opet, a@b.hr") << B("Ivo,i@b.hr\r\n") << 0 << ""
        << "" << "cmdAddDelete" << ask + "Ana" << "" << "Ivo|i@b.hr;|";
  }
  void editing() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(int, row);
    QFETCH(QString, message);
    if (before != "(none)") writeBook(before);
    frmContacts f;
    QVERIFY(shown(f));
    click(f, "cmdNewContacts");
    auto* g = child<QTableWidget>(f, "mshContacts");
    if (row >= 0) dblClick(g, g->visualRect(g->model()->index(row, 0)).center());
    QCOMPARE(child<QPushButton>(f, "cmdAddEdit")->isEnabled(), row >= 0);
    QFETCH(QString, name);
    QFETCH(QString, address);
    if (!name.isEmpty()) child<QLineEdit>(f, "txtName")->setText(name);
    if (!address.isEmpty()) child<QLineEdit>(f, "txtEmail")->setText(address);
    dlg->answer(MsgResult::Yes);
    QFETCH(QString, button);
    click(f, button);
    QCOMPARE(bookBytes(), after.isNull() ? before : after);
    QCOMPARE(dlg->calls.isEmpty() ? QString() : dlg->last().text, message);
    QTEST(views(f), "views");
    using platform::MsgIcon, platform::MsgButtons;
    const bool ask = message.startsWith("Jeste");
    if (!message.isEmpty()) {
      QCOMPARE(dlg->last().title, QString(ask ? "Povrda brisanja" : "Slanje E-mail-a"));
      QVERIFY(dlg->last().icon == (ask ? MsgIcon::Question : MsgIcon::Information));
      QVERIFY(dlg->last().buttons == (ask ? MsgButtons::YesNo : MsgButtons::Ok));
    }
    if (!message.isEmpty() && !ask) QTEST(f.focusWidget()->objectName(), "focus");
    if (message.startsWith("Ova")) QCOMPARE(child<QLineEdit>(f, "txtEmail")->selectedText(), address);
    if (after.isNull()) return;  // a change ends in a cleared form
    QCOMPARE(text(f, "txtName") + text(f, "txtEmail"), "");
    QVERIFY(child<QPushButton>(f, "cmdAdd")->isEnabled());
  }

  // Typed, pasted or set, ",", "'", "`", CR and LF never reach the fields.
  void forbiddenCharacters() {
    frmContacts f;
    QVERIFY(shown(f));
    click(f, "cmdNewContacts");
    for (const char* name : {"txtName", "txtEmail"}) {
      auto* e = child<QLineEdit>(f, name);
      e->setFocus();
      for (const QChar c : QString("Ž,i'v`ko"))
        QTest::sendKeyEvent(QTest::Click, e, Qt::Key_unknown, QString(c), {});
      QGuiApplication::clipboard()->setText(" Ana,\r\nMarić'");
      QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
      const QString typedAndPasted = e->text();
      e->setText("a,b");
      QCOMPARE(typedAndPasted + e->text(), "Živko AnaMarićab");
    }
  }

  // Right click over the list opens the menu; Edit opens the edit view with the contact
  // loaded, Delete asks and deletes without switching views.
  void contextMenu_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<MsgResult>("answer");
    QTest::addColumn<QByteArray>("after");
    const QByteArray two = "Ana Šimić,ana@x.hr\r\nIvo,ivo@x.hr\r\n";
    QTest::newRow("edit") << "mnuEdit" << MsgResult::Yes << two;
    QTest::newRow("delete") << "mnuDelete" << MsgResult::Yes << QByteArray("Ana Šimić,ana@x.hr\r\n");
    QTest::newRow("delete answered No") << "mnuDelete" << MsgResult::No << two;
  }
  void contextMenu() {
    QFETCH(QString, action);
    QFETCH(MsgResult, answer);
    writeBook("Ana Šimić,ana@x.hr\r\nIvo,ivo@x.hr\r\n");
    frmContacts f;
    QVERIFY(shown(f));
    auto* l = child<QTreeWidget>(f, "lstContacts");
    auto* menu = child<QMenu>(f, "mnuList");
    const QPoint p = l->visualItemRect(l->topLevelItem(1)).center();
    QTest::mouseClick(l->viewport(), Qt::RightButton, {}, p);
    QContextMenuEvent e(QContextMenuEvent::Mouse, p, l->viewport()->mapToGlobal(p));
    QApplication::sendEvent(l->viewport(), &e);
    QTRY_VERIFY(menu->isVisible());
    dlg->answer(answer);
    child<QAction>(f, action)->trigger();
    QTEST(bookBytes(), "after");
    const bool editing = action == "mnuEdit";
    QCOMPARE(child<QWidget>(f, "fraNewContact")->isVisible(), editing);
    QCOMPARE(dlg->texts().join(""), editing ? "" : "Jeste li sigurni da želite obrisati kontakt : Ivo");
    if (editing)
      QCOMPARE(text(f, "txtName") + text(f, "txtEmail") + f.focusWidget()->objectName(), "Ivoivo@x.hrtxtName");
  }
};

QTEST_MAIN(TstFrmContacts)
#include "tst_frmcontacts.moc"
