// The address book. Its window: the file after add, edit and delete, their checks and
// messages, the forbidden characters, the context menu, and picking recipients for the
// composer's three fields. Its file: a rewrite of a large book that is killed half way, or
// that cannot be finished, leaves the old book or the new one, never a mix; a write that
// fails is said so. A book in the Windows code page keeps every letter through its changes;
// writers in two processes lose nothing.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QClipboard>
#include <QMenu>

#include "contacts/ContactsFile.h"
#include "contacts/TextLines.h"
#include "contacts/frmContacts.h"
#include "core/ContactListTarget.h"
#include "support/Fixture.h"

using platform::MsgResult;
Q_DECLARE_METATYPE(MsgResult)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {
QString bookPath() { return qEnvironmentVariable("XDG_DATA_HOME") + "/Velkor/Contacts.txt"; }
QByteArray bookBytes(const char* suffix = "") {  // "(none)": no file
  QFile f(bookPath() + suffix);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}
void writeBook(const QByteArray& content) {
  QDir().mkpath(QFileInfo(bookPath()).path());
  QFile f(bookPath());
  QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
}
QString text(QWidget& f, const char* field) { return child<QLineEdit>(f, field)->text(); }

// The grid as "name|address;…" with its trailing empty row; the contact list must agree.
QString views(QWidget& f) {
  auto* g = child<QTableWidget>(f, "mshContacts");
  auto* l = child<QTreeWidget>(f, "lstContacts");
  QStringList rows, items;
  for (int r = 0; r < g->rowCount(); ++r)
    rows << (g->item(r, 0) ? g->item(r, 0)->text() : "") + "|" + (g->item(r, 1) ? g->item(r, 1)->text() : "");
  for (int i = 0; i < l->topLevelItemCount(); ++i)
    items << l->topLevelItem(i)->text(0) + "|" + l->topLevelItem(i)->text(1);
  if (items + QStringList{"|"} != rows) return "list " + items.join(";") + " grid " + rows.join(";");
  return rows.join(";");
}

// As a user double-clicks: press and release, then the double-click.
void dblClick(QAbstractItemView* v, const QPoint& p) {
  QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, p);
  QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, p);
}

bool shown(QWidget& f) { return f.show(), QTest::qWaitForWindowActive(&f); }

const char* const kLists[] = {"lstTo", "lstCC", "lstBCC"};

QString entries(QWidget& f, const char* list) {
  QStringList out;
  auto* l = child<QListWidget>(f, list);
  for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
  return out.join(",");
}
}  // namespace

class TstAdresar : public Fixture {
  Q_OBJECT
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
  // loaded, Delete asks and deletes without switching views. Files may not grow past half the
  // book: the rewrite fails and says so, the book and views stay.
  void contextMenu_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<MsgResult>("answer");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    const QByteArray two = "Ana Šimić,ana@x.hr\r\nIvo,ivo@x.hr\r\n";
    QTest::newRow("edit") << "mnuEdit" << MsgResult::Yes << two << two;
    QTest::newRow("delete") << "mnuDelete" << MsgResult::Yes << two << QByteArray("Ana Šimić,ana@x.hr\r\n");
    QTest::newRow("delete answered No") << "mnuDelete" << MsgResult::No << two << two;
    QTest::newRow("delete, write fails") << "mnuDelete" << MsgResult::Yes << oldBook << oldBook;
  }
  void contextMenu() {
    QFETCH(QString, action);
    QFETCH(MsgResult, answer);
    QFETCH(QByteArray, before);
    writeBook(before);
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
    const bool fails = before == oldBook, editing = action == "mnuEdit";
    rlimit was;
    getrlimit(RLIMIT_FSIZE, &was);
    const rlimit half{rlim_t(before.size() / 2), was.rlim_max};
    if (fails) {
      signal(SIGXFSZ, SIG_IGN);
      setrlimit(RLIMIT_FSIZE, &half);
    }
    child<QAction>(f, action)->trigger();
    setrlimit(RLIMIT_FSIZE, &was);
    QTEST(bookBytes(), "after");
    QCOMPARE(child<QWidget>(f, "fraNewContact")->isVisible(), editing);
    QStringList boxes = dlg->texts();
    if (fails) boxes.last().truncate(18);  // the system's reason follows
    const QString name = fails ? "Kontakt Čović 1" : "Ivo";
    QCOMPARE(boxes.join("|"), editing ? "" : "Jeste li sigurni da želite obrisati kontakt : " + name +
                                                 (fails ? "|Desila se greška: " : ""));
    if (fails) QCOMPARE(child<QTableWidget>(f, "mshContacts")->rowCount(), 10001);
    if (editing || fails) QCOMPARE(text(f, "txtName"), name);
    if (editing) QCOMPARE(text(f, "txtEmail") + f.focusWidget()->objectName(), "ivo@x.hrtxtName");
  }

  // Each add button moves the ticked contacts and unticks them; with none ticked, or an
  // empty book, it says so in its own words. A double-click adds the contact once to the
  // list ContactListTarget names; double-clicking a picked address removes it.
  void addButtons_data() {
    QTest::addColumn<int>("target");  // also the button
    QTest::addColumn<QString>("noneTicked");
    QTest::newRow("To") << 1 << "Nije selektiran kontakt za dodati";
    QTest::newRow("CC") << 2 << "Ne postoji selektirani kontakt za dodati";
    QTest::newRow("BCC") << 3 << "Nije selektiran nijedan kontakt!";
    QTest::newRow("no target") << 0 << "";
    QTest::newRow("other target") << 4 << "";
  }
  void addButtons() {
    QFETCH(int, target);
    core::ContactListTarget = qint16(target);
    writeBook("Ana Šimić,ana@x.hr\r\nIvo Ivić,ivo@x.hr\r\nĐurđa Žic,dz@x.hr\r\n");
    frmContacts f;
    QVERIFY(shown(f));
    auto* l = child<QTreeWidget>(f, "lstContacts");
    for (int i = 0; i < 2; ++i) dblClick(l, l->visualItemRect(l->topLevelItem(1)).center());
    QStringList lists;
    for (const char* list : kLists) lists << entries(f, list);
    QCOMPARE(lists.indexOf("ivo@x.hr") + 1, target > 3 ? 0 : target);
    if (target < 1 || target > 3) return;
    auto* picked = child<QListWidget>(f, kLists[target - 1]);
    dblClick(picked, picked->visualItemRect(picked->item(0)).center());
    QCOMPARE(picked->count(), 0);
    l->topLevelItem(0)->setCheckState(0, Qt::Checked);
    l->topLevelItem(2)->setCheckState(0, Qt::Checked);
    QCOMPARE(l->currentItem(), l->topLevelItem(2));  // ticking selects
    const QString button[] = {"", "cmdTo", "cmdCC", "cmbBCC"};
    click(f, button[target]);
    click(f, button[target]);
    QCOMPARE(entries(f, kLists[target - 1]), QString("ana@x.hr,dz@x.hr"));
    QCOMPARE(l->topLevelItem(0)->checkState(0), Qt::Unchecked);
    writeBook("");
    frmContacts empty;
    click(empty, button[target]);
    QFETCH(QString, noneTicked);
    QCOMPARE(dlg->texts(), QStringList({noneTicked, "Ne postoji kontakt za dodati"}));
    QCOMPARE(dlg->last().title, QString("Slanje E-mail-a"));
  }

  void importFile_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<std::optional<QString>>("delimiter");
    QTest::addColumn<QString>("cc");
    QTest::newRow("semicolon, empty pieces") << QByteArray("a@b.hr;c@d.hr\r\n;x@y.hr;\r\n\r\n e@f.hr \n")
        << std::optional<QString>(";") << "a@b.hr,c@d.hr,,x@y.hr,, e@f.hr ";
    QTest::newRow("letter, either case") << QByteArray("aČbčc") << std::optional<QString>("č") << "a,b,c";
    for (const auto& d : {std::optional<QString>(";;"), std::optional<QString>(""), std::optional<QString>()})
      QTest::addRow("refused %s", d ? qPrintable("'" + *d + "'") : "cancel") << QByteArray("a;b") << d << "";
  }
  void importFile() {
    QFETCH(std::optional<QString>, delimiter);
    QFETCH(QByteArray, content);
    dlg->answerText(env->writeFile("import.txt", content));
    dlg->answerText(delimiter);
    dlg->answerText(env->path("missing.txt"));
    frmContacts f;
    click(f, "cmdSearchFile");
    click(f, "cmdSearchFile");  // a file that is not there: nothing asked
    QTEST(entries(f, "lstCC"), "cc");
    QCOMPARE(dlg->calls[1].text + dlg->calls[1].title + dlg->calls[1].defaultText,
             "Unesite ispravan Delimiter za pretraživanje u datoteci.Delimiter,");
    const bool refused = !delimiter || delimiter->size() != 1;
    QCOMPARE(dlg->texts().mid(2).join(""), refused ? "Unesite ispravan Delimiter" : "");
  }

  // OK writes each picked list into its field; an empty pick leaves the window open.
  void ok_data() {
    QTest::addColumn<QStringList>("fields");  // To, CC, BCC before
    QTest::addColumn<QStringList>("picked");  // entries of lstTo, lstCC, lstBCC, ","-joined
    QTest::addColumn<QStringList>("after");
    using L = QStringList;
    QTest::newRow("4 characters replaced") << L{"abcd", "", ""} << L{"a@b.hr", "", ""} << L{"a@b.hr", "", ""};
    QTest::newRow("already there") << L{"a@b.hr", "", ""} << L{"a@b.hr", "", ""} << L{"a@b.hr", "", ""};
    QTest::newRow("inside a longer one") << L{"ivana@x.hr", "", ""} << L{"ana@x.hr", "", ""}
        << L{"ivana@x.hr,ana@x.hr", "", ""};
    QTest::newRow("one of a ; list") << L{"", "a@b.hr; c@d.hr", ""} << L{"", "c@d.hr,e@f.hr", ""}
        << L{"", "a@b.hr; c@d.hr,e@f.hr", ""};
    QTest::newRow("blanks skipped, twice is twice") << L{"ab", "", "x@y.hr"} << L{"", ", ,a@b.hr,a@b.hr", ""}
        << L{"ab", "a@b.hr,a@b.hr", "x@y.hr"};
    QTest::newRow("nothing picked") << L{"a@b.hr", "", ""} << L{"", "", ""} << L{"a@b.hr", "", ""};
  }
  void ok() {
    QFETCH(QStringList, fields);
    QFETCH(QStringList, picked);
    QLineEdit to(fields[0]), cc(fields[1]), bcc(fields[2]);
    bool stayedOpen = false;
    OnModal<frmContacts> book([&](frmContacts& f) {  // opened as the composer does
      for (int i = 0; i < 3; ++i)
        if (!picked[i].isEmpty()) child<QListWidget>(f, kLists[i])->addItems(picked[i].split(","));
      click(f, "cmdOK");
      stayedOpen = f.isVisible();
      if (stayedOpen) click(f, "cmdClose");
    }, 5000);
    frmContacts::Prikaži(nullptr, &to, &cc, &bcc);
    QCOMPARE(book.leftOpen, 0);
    QTEST(QStringList({to.text(), cc.text(), bcc.text()}), "after");
    QCOMPARE(stayedOpen, picked.join("").isEmpty());
    QCOMPARE(dlg->calls.size(), stayedOpen ? 1 : 0);
    if (stayedOpen) QCOMPARE(dlg->last().text + dlg->last().title, "Ne postoje selektirani kontakti!" + platform::defaultTitle());
  }
};

QTEST_MAIN(TstAdresar)
#include "tst_adresar.moc"
