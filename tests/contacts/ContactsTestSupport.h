#pragma once
// Shared by the address book's tests: the window's controls by name and its two views as text.
#include <QtTest>
#include <QtWidgets>

#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

inline QString bookPath(const TestEnv& env) { return env.path("data/Velkor/Contacts.txt"); }

inline QByteArray bookBytes(const TestEnv& env, const char* suffix = "") {  // "(none)": no file
  QFile f(bookPath(env) + suffix);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

template <class W = QWidget>
W* control(QWidget& f, const QString& name) {
  W* w = f.findChild<W*>(name);
  if (!w) qFatal("no control %s", qPrintable(name));
  return w;
}
inline void click(QWidget& f, const QString& button) { control<QPushButton>(f, button)->click(); }
inline QString text(QWidget& f, const char* field) { return control<QLineEdit>(f, field)->text(); }

// The grid as "name|address;…" with its trailing empty row; the contact list must agree.
inline QString views(QWidget& f) {
  auto* g = control<QTableWidget>(f, "mshContacts");
  auto* l = control<QTreeWidget>(f, "lstContacts");
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
