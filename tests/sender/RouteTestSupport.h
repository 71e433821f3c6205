#pragma once
// Helpers of the route tests: the text viewer answered while it is open, a captured
// message parsed by Python's email package, and stand-in programs first on PATH.
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
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
