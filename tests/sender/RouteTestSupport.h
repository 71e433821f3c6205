#pragma once
// Helpers of the route tests: the text viewer answered while it is open, fields of a message's
// strict parse, and recording stand-ins first on PATH.
#include <QtTest>
#include <QtWidgets>

#include "mail/MessageCheck.h"
#include "viewers/frmPrikazTeksta.h"

// While alive, every text viewer shown modally is recorded ("caption|text") and closed with
// its Ok button.
class TextViewerWatch {
 public:
  QStringList seen;
  TextViewerWatch() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* f = qobject_cast<frmPrikazTeksta*>(QApplication::activeModalWidget());
      if (!f || !f->isVisible()) return;
      auto* text = f->findChild<QPlainTextEdit*>("txtPoruka");
      seen << f->windowTitle() + "|" + (text ? text->toPlainText() : QString());
      auto* ok = f->findChild<QPushButton*>("OKButton");
      ok && ok->isVisible() ? ok->click() : f->hide();
    });
    timer_.start(20);
  }

 private:
  QTimer timer_;
};

inline QString sha256OfFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? sha256Of(f.readAll()) : QString();
}

// One field of every entry of a list in the parse, e.g. fields(c, "to", "address").
inline QStringList fields(const QJsonObject& c, const QString& list, const QString& key) {
  QStringList out;
  for (const QJsonValue v : c.value(list).toArray()) out << v.toObject().value(key).toString();
  return out;
}

// Every byte value, in no simple order.
inline QByteArray binaryBytes(qsizetype n) {
  QByteArray b(n, Qt::Uninitialized);
  for (qsizetype i = 0; i < n; ++i) b[i] = char((i * 7919 + (i >> 9)) >> 3);
  return b;
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
    QFile::link(SmtpPeer::scriptPath("standin.sh"), bin() + '/' + name);
    return bin() + '/' + name;
  }
  void onlyStandInsOnPath() { qputenv("PATH", QFile::encodeName(bin())); }
  // The stand-in's later calls print say to standard error and exit with code.
  void exitWith(const QString& name, int code, const QString& say) {
    QFile f(dir_.path() + "/calls/" + name + ".exit");
    if (f.open(QIODevice::WriteOnly))
      f.write(QByteArray::number(code) + '\n' + say.toUtf8() + '\n');
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
    QFile f(dir_.path() + QString("/calls/%1.%2.%3").arg(name).arg(i).arg(ext));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QTemporaryDir dir_;
  QByteArray oldPath_;
};
