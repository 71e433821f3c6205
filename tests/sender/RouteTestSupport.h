#pragma once
// Helpers of the route tests: the text viewer answered while it is open, a captured
// message parsed by Python's email package, and stand-in programs first on PATH.
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include "viewers/frmPrikazTeksta.h"

// While alive, every text viewer that opens modally is read (caption, text, which
// buttons show) and closed with its Ok button.
class TextViewerWatch {
 public:
  struct Seen {
    QString caption;
    QString text;
    bool okOnly = false;
  };
  TextViewerWatch() {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
  }
  QList<Seen> seen;

 private:
  void poll() {
    auto* f = qobject_cast<frmPrikazTeksta*>(QApplication::activeModalWidget());
    if (!f || !f->isVisible()) return;
    auto* ok = f->findChild<QPushButton*>(QStringLiteral("OKButton"));
    auto* da = f->findChild<QPushButton*>(QStringLiteral("cmdDa"));
    auto* text = f->findChild<QPlainTextEdit*>(QStringLiteral("txtPoruka"));
    seen << Seen{f->windowTitle(), text ? text->toPlainText() : QString(),
                 ok && ok->isVisible() && da && !da->isVisible()};
    if (ok && ok->isVisible()) ok->click();
    else f->hide();
  }
  QTimer timer_;
};

inline QString peerScript(const QString& name) {
  return QStringLiteral(VELKOR_SOURCE_DIR "/tests/peers/") + name;
}

// The message as a strict reader sees it (tests/peers/check_message.py).
inline QJsonObject checkMessage(const QString& emlPath) {
  QProcess p;
  p.start(QStringLiteral("/usr/bin/python3"), {peerScript(QStringLiteral("check_message.py")), emlPath});
  if (!p.waitForFinished(60000)) return {};
  return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

inline QString sha256OfFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QCryptographicHash h(QCryptographicHash::Sha256);
  h.addData(&f);
  return QString::fromLatin1(h.result().toHex());
}

inline QJsonObject attachmentNamed(const QJsonObject& message, const QString& fileName) {
  for (const QJsonValue v : message.value(QStringLiteral("attachments")).toArray())
    if (v.toObject().value(QStringLiteral("filename")).toString() == fileName) return v.toObject();
  return {};
}

inline QStringList addressesOf(const QJsonObject& message, const QString& header) {
  QStringList out;
  for (const QJsonValue v : message.value(header).toArray())
    out << v.toObject().value(QStringLiteral("address")).toString();
  return out;
}

// Recording stand-ins (tests/peers/standin.sh) for outside programs, in a directory put
// first on PATH for the object's lifetime. Programs not listed stay as PATH finds them;
// absent() leaves only the stand-ins' directory on PATH.
class StandIns {
 public:
  explicit StandIns(const QStringList& names) : oldPath_(qgetenv("PATH")) {
    QDir(dir_.path()).mkpath(QStringLiteral("bin"));
    QDir(dir_.path()).mkpath(QStringLiteral("calls"));
    for (const QString& n : names) add(n);
    qputenv("VELKOR_STANDIN_DIR", QFile::encodeName(dir_.path() + QStringLiteral("/calls")));
    qputenv("PATH", QFile::encodeName(bin()) + ':' + oldPath_);
  }
  ~StandIns() {
    qputenv("PATH", oldPath_);
    qunsetenv("VELKOR_STANDIN_DIR");
    for (const QByteArray& v : set_) qunsetenv(v.constData());
  }
  StandIns(const StandIns&) = delete;
  StandIns& operator=(const StandIns&) = delete;

  QString bin() const { return dir_.path() + QStringLiteral("/bin"); }
  // A stand-in under any name or path (for a program named by a setting).
  QString add(const QString& name) {
    const QString link = name.contains(QLatin1Char('/')) ? name : bin() + QLatin1Char('/') + name;
    QFile::link(peerScript(QStringLiteral("standin.sh")), link);
    return link;
  }
  void onlyStandInsOnPath() { qputenv("PATH", QFile::encodeName(bin())); }
  void exitWith(const QString& name, int code, const QString& say = {}) {
    const QByteArray v = QString(name).replace(QLatin1Char('-'), QLatin1Char('_')).toLatin1();
    setEnv("VELKOR_STANDIN_EXIT_" + v, QByteArray::number(code));
    setEnv("VELKOR_STANDIN_SAY_" + v, say.toUtf8());
  }

  // Arguments of each call, in order.
  QList<QStringList> calls(const QString& name) const {
    QList<QStringList> out;
    for (int i = 1;; ++i) {
      QFile f(callFile(name, i, QStringLiteral("args")));
      if (!f.open(QIODevice::ReadOnly)) return out;
      QList<QByteArray> parts = f.readAll().split('\0');
      parts.removeLast();
      QStringList args;
      for (const QByteArray& p : parts) args << QString::fromUtf8(p);
      out << args;
    }
  }
  QByteArray input(const QString& name, int call = 1) const {
    QFile f(callFile(name, call, QStringLiteral("stdin")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QString inputPath(const QString& name, int call = 1) const {
    return callFile(name, call, QStringLiteral("stdin"));
  }
  // Programs started detached record their call a little later.
  bool waitForCalls(const QString& name, int count, int timeoutMs = 5000) const {
    QElapsedTimer t;
    t.start();
    while (calls(name).size() < count) {
      if (t.elapsed() > timeoutMs) return false;
      QTest::qWait(20);
    }
    return true;
  }

 private:
  QString callFile(const QString& name, int i, const QString& ext) const {
    return dir_.path() + QStringLiteral("/calls/%1.%2.%3").arg(name).arg(i).arg(ext);
  }
  void setEnv(const QByteArray& name, const QByteArray& value) {
    qputenv(name.constData(), value);
    set_ << name;
  }
  QTemporaryDir dir_;
  QByteArray oldPath_;
  QList<QByteArray> set_;
};
