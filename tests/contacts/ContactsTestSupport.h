#pragma once
// Shared by the address book's tests: the book of the current scratch directories and the
// window's two views as text; the rest of the set-up is the common fixture's.
#include "support/Fixture.h"

inline QString bookPath() { return qEnvironmentVariable("XDG_DATA_HOME") + "/Velkor/Contacts.txt"; }
inline QByteArray bookBytes(const char* suffix = "") {  // "(none)": no file
  QFile f(bookPath() + suffix);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}
inline void writeBook(const QByteArray& content) {
  QDir().mkpath(QFileInfo(bookPath()).path());
  QFile f(bookPath());
  QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
}
inline QString text(QWidget& f, const char* field) { return child<QLineEdit>(f, field)->text(); }

// The grid as "name|address;…" with its trailing empty row; the contact list must agree.
inline QString views(QWidget& f) {
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
inline void dblClick(QAbstractItemView* v, const QPoint& p) {
  QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, p);
  QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, p);
}

inline bool shown(QWidget& f) { return f.show(), QTest::qWaitForWindowActive(&f); }
