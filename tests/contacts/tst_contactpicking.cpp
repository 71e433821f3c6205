// Picking recipients in the address book and handing them to the composer's three fields.
#include <QApplication>
#include <functional>

#include "contacts/ContactsTestSupport.h"
#include "contacts/frmContacts.h"
#include "core/ContactListTarget.h"

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {
const char* const kLists[] = {"lstTo", "lstCC", "lstBCC"};

QString entries(QWidget& f, const char* list) {
  QStringList out;
  auto* l = child<QListWidget>(f, list);
  for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
  return out.join(",");
}

// Opens the book as the composer does and runs act inside it; act must close it.
bool pick(QLineEdit* to, QLineEdit* cc, QLineEdit* bcc, std::function<void(frmContacts&)> act) {
  OnModal<frmContacts> book(act, 5000);
  frmContacts::Prikaži(nullptr, to, cc, bcc);
  return !book.leftOpen;
}
}  // namespace

class TstContactPicking : public Fixture {
  Q_OBJECT

 private slots:
  void init() {
    Fixture::init();
    writeBook("Ana Šimić,ana@x.hr\r\nIvo Ivić,ivo@x.hr\r\nĐurđa Žic,dz@x.hr\r\n");
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
    QVERIFY(pick(&to, &cc, &bcc, [&](frmContacts& f) {
      for (int i = 0; i < 3; ++i)
        if (!picked[i].isEmpty()) child<QListWidget>(f, kLists[i])->addItems(picked[i].split(","));
      click(f, "cmdOK");
      stayedOpen = f.isVisible();
      if (stayedOpen) click(f, "cmdClose");
    }));
    QTEST(QStringList({to.text(), cc.text(), bcc.text()}), "after");
    QCOMPARE(stayedOpen, picked.join("").isEmpty());
    QCOMPARE(dlg->calls.size(), stayedOpen ? 1 : 0);
    if (stayedOpen) QCOMPARE(dlg->last().text + dlg->last().title, "Ne postoje selektirani kontakti!" + platform::defaultTitle());
  }
};

QTEST_MAIN(TstContactPicking)
#include "tst_contactpicking.moc"
