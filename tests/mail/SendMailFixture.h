#pragma once
// Shared by the session tests: what a clsSendMail object raises, in order, and a
// session object aimed at a real SMTP server of its own; the message parse and the
// scripted server come with it.
#include <QRegularExpression>

#include "MessageCheck.h"
#include "ScriptedSmtp.h"
#include "mail/clsSendMail.h"

// Every signal as one line: "Status: …", "Progress: 37", "SendFailed: …", "SendSuccesful".
struct EventLog {
  QStringList lines;
  QList<int> percents;
  int successes = 0, failures = 0;
  QString explanation;  // of the last SendFailed
  // Ends the connections with the log: an object that outlives it may still close a
  // session (and say so) when it is destroyed.
  QObject receiver;

  explicit EventLog(mail::clsSendMail& m) {
    QObject::connect(&m, &mail::clsSendMail::Status, &receiver, [this](const QString& s) { lines << "Status: " + s; });
    QObject::connect(&m, &mail::clsSendMail::Progress, &receiver, [this](int p) {
      percents << p;
      lines << "Progress: " + QString::number(p);
    });
    QObject::connect(&m, &mail::clsSendMail::SendFailed, &receiver, [this](const QString& e) {
      ++failures;
      lines << "SendFailed: " + (explanation = e);
    });
    QObject::connect(&m, &mail::clsSendMail::SendSuccesful, &receiver, [this] { lines << "SendSuccesful"; ++successes; });
  }
  QStringList statuses() const { return lines.filter(QRegularExpression("^Status: ")).replaceInStrings("Status: ", ""); }
};

// Aims a session object at a server, with the checks that would only get in the way off
// and one sender and recipient set.
inline void aim(mail::clsSendMail& m, const QString& host, int port, int timeoutSeconds) {
  m.setSMTPHostValidation(0);
  m.setSMTPHost(host);
  m.setSmtpPort(port);
  m.setConnectTimeout(timeoutSeconds);
  m.setMessageTimeout(timeoutSeconds);
  m.setFrom("posiljatelj@velkor.hr");
  m.setRecipient("primatelj@kupac.hr");
}

// A session object, its events and the server it is aimed at.
struct Session {
  SmtpPeer peer;
  mail::clsSendMail m;
  EventLog log{m};

  explicit Session(const SmtpPeer::Options& o = {}) : peer(o) {}
  bool start() {
    if (!peer.start()) {
      qWarning("%s", qPrintable(peer.error()));
      return false;
    }
    aim(m, peer.host(), peer.port(), 5);
    return true;
  }
};
