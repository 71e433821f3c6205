#pragma once
// The set-up the window and route tests share: private directories and scripted boxes new for
// every test function, controls by name, modal windows driven from inside their loop, record
// sets from text, and recording stand-ins first on PATH.
#include <QtTest>
#include <QtWidgets>
#include <functional>
#include <memory>

#include "platform/RecordSet.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

// A test class derived from it gets env and dlg afresh for each test function; one with its
// own init() or cleanup() calls Fixture's.
class Fixture : public QObject {
  Q_OBJECT

 protected:
  std::unique_ptr<TestEnv> env;
  std::unique_ptr<ScriptedDialogs> dlg;

 protected slots:
  void init() {
    env = std::make_unique<TestEnv>();
    dlg = std::make_unique<ScriptedDialogs>();
  }
  void cleanup() {
    dlg.reset();
    env.reset();
  }
};

// A window's control by name; a misspelt name stops the test instead of crashing it.
template <class T = QWidget>
T* child(QWidget* w, const QString& name) {
  T* c = w->findChild<T*>(name);
  if (!c) qFatal("no control %s", qPrintable(name));
  return c;
}
template <class T = QWidget>
T* child(QWidget& w, const QString& name) {
  return child<T>(&w, name);
}
inline void click(QWidget* w, const QString& button) { child<QPushButton>(w, button)->click(); }
inline void click(QWidget& w, const QString& button) { click(&w, button); }

// The window as a user sees it, in /tmp, when VELKOR_SCREENSHOTS is set.
inline void screenshot(QWidget* w, const QString& name) {
  if (qEnvironmentVariableIsSet("VELKOR_SCREENSHOTS")) w->grab().save("/tmp/" + name + ".png");
}

// Runs act once the modal window's loop runs; the window is hidden afterwards if it is still
// open, so that a failed check cannot leave the test waiting.
inline void whenModalRuns(QWidget* window, std::function<void()> act) {
  QPointer<QWidget> w(window);
  QTimer::singleShot(0, window, [w, act] {
    act();
    if (w && w->isVisible()) w->hide();
  });
}

// While alive, act runs on each modal dialog of type W that is open (polled: the dialog runs a
// loop of its own) and must close it; one still open after timeoutMs is rejected and counted,
// so that a fault fails the test instead of hanging it.
template <class W = QDialog>
class OnModal {
 public:
  explicit OnModal(std::function<void(W&)> act, int timeoutMs = 10000) {
    QObject::connect(&poll_, &QTimer::timeout, [act] {
      if (auto* w = qobject_cast<W*>(QApplication::activeModalWidget()); w && w->isVisible()) act(*w);
    });
    QObject::connect(&guard_, &QTimer::timeout, [this] {
      if (auto* w = qobject_cast<QDialog*>(QApplication::activeModalWidget())) ++leftOpen, w->reject();
    });
    poll_.start(10);
    guard_.start(timeoutMs);
  }
  int leftOpen = 0;

 private:
  QTimer poll_, guard_;
};

// A table of one Boolean column: a row named no (false), then one named yes (true).
inline void boolRows(const char* column, const char* no, const char* yes) {
  QTest::addColumn<bool>(column);
  QTest::newRow(no) << false;
  QTest::newRow(yes) << true;
}

// A record set from rows of texts (nullptr = Null), converted by the field types.
inline platform::RecordSet recordSet(const QList<platform::RecordField>& fields,
                                     const QList<QList<const char*>>& rows) {
  platform::RecordSet rs(fields);
  for (const auto& row : rows) {
    QList<QVariant> v;
    for (int i = 0; i < fields.size(); ++i) {
      const QString t = QString::fromUtf8(row.value(i));
      v << platform::RecordSet::fromText(row.value(i) ? &t : nullptr, fields[i].Type);
    }
    rs.AddRow(v);
  }
  rs.MoveFirst();
  return rs;
}

// Recording stand-ins (tests/peers/standin.sh) in a directory put first on PATH for the
// object's lifetime; programs not listed stay as PATH finds them.
class StandIns {
 public:
  explicit StandIns(const QStringList& names) : oldPath_(qgetenv("PATH")) {
    QDir().mkpath(dir_.path() + "/calls");
    QDir().mkpath(bin());
    for (const QString& n : names) add(n);
    qputenv("VELKOR_STANDIN_DIR", QFile::encodeName(dir_.path() + "/calls"));
    qputenv("PATH", QFile::encodeName(bin()) + ':' + oldPath_);
  }
  ~StandIns() {
    qputenv("PATH", oldPath_);
    qunsetenv("VELKOR_STANDIN_DIR");
  }

  QString bin() const { return dir_.path() + "/bin"; }
  // A stand-in under a name on PATH; its full path.
  QString add(const QString& name) {
    QFile::link(VELKOR_SOURCE_DIR "/tests/peers/standin.sh", bin() + '/' + name);
    return bin() + '/' + name;
  }
  void onlyStandInsOnPath() { qputenv("PATH", QFile::encodeName(bin())); }
  // The stand-in's later calls print say to standard error and exit with code.
  void exitWith(const QString& name, int code, const QString& say) {
    QFile f(dir_.path() + "/calls/" + name + ".exit");
    if (f.open(QIODevice::WriteOnly)) f.write(QByteArray::number(code) + '\n' + say.toUtf8() + '\n');
  }
  // Arguments of each call, in order (every argument ends in NUL).
  QList<QStringList> calls(const QString& name) const {
    QList<QStringList> out;
    for (QByteArray a; !(a = file(name, out.size() + 1, "args")).isEmpty();)
      out << QString::fromUtf8(a.chopped(1)).split(QChar(0));
    return out;
  }
  QByteArray input(const QString& name) const { return file(name, 1, "stdin"); }

 private:
  QByteArray file(const QString& name, int i, const char* ext) const {
    return readWholeFile(dir_.path() + QString("/calls/%1.%2.%3").arg(name).arg(i).arg(ext));
  }
  QTemporaryDir dir_;
  QByteArray oldPath_;
};
