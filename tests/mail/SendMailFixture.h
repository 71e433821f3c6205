#pragma once
// Shared by the session tests: records what a clsSendMail object raises, in order,
// and checks captured messages with the strict message checker.
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QStringList>

#include "mail/clsSendMail.h"
#include "support/SmtpPeer.h"

// Every signal as one line: "Status: …", "Progress: 37", "SendFailed: …", "SendSuccesful".
struct EventLog {
  QStringList lines;
  QList<int> percents;
  int successes = 0;
  int failures = 0;
  QString explanation;  // of the last SendFailed

  explicit EventLog(clsSendMail& m) {
    QObject::connect(&m, &clsSendMail::Status, [this](const QString& s) { lines << "Status: " + s; });
    QObject::connect(&m, &clsSendMail::Progress, [this](int p) {
      percents << p;
      lines << "Progress: " + QString::number(p);
    });
    QObject::connect(&m, &clsSendMail::SendFailed, [this](const QString& e) {
      ++failures;
      explanation = e;
      lines << "SendFailed: " + e;
    });
    QObject::connect(&m, &clsSendMail::SendSuccesful, [this] {
      ++successes;
      lines << "SendSuccesful";
    });
  }
  QStringList statuses() const {
    QStringList s;
    for (const QString& l : lines)
      if (l.startsWith("Status: ")) s << l.mid(8);
    return s;
  }
};

// A session object aimed at a peer, with checks that would only get in the way off.
inline void aimAt(clsSendMail& m, const SmtpPeer& peer) {
  m.setSMTPHostValidation(0);
  m.setSMTPHost(peer.host());
  m.setSmtpPort(peer.port());
  m.setConnectTimeout(5);
  m.setMessageTimeout(5);
  m.setFrom("posiljatelj@velkor.hr");
}

// tests/peers/check_message.py over one captured message.
inline QJsonObject checkMessage(const QString& emlPath) {
  QProcess p;
  p.start("/usr/bin/python3", {SmtpPeer::scriptPath("check_message.py"), emlPath});
  p.waitForFinished(30000);
  return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// Problems the strict parse found in any message the peer captured, one per line;
// empty when every message is clean.
inline QString problemsIn(const SmtpPeer& peer) {
  QStringList out;
  for (const SmtpPeer::Message& m : peer.messages()) {
    const QJsonObject c = checkMessage(m.emlPath);
    if (c.isEmpty()) out << m.emlPath + ": no answer from the checker";
    for (const QJsonValue& p : c.value("problems").toArray()) out << m.emlPath + ": " + p.toString();
  }
  return out.join('\n');
}

inline QString sha256Of(const QString& path) {
  QFile f(path);
  QCryptographicHash h(QCryptographicHash::Sha256);
  if (f.open(QIODevice::ReadOnly)) h.addData(&f);
  return QString::fromLatin1(h.result().toHex());
}
