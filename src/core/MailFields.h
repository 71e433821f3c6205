#pragma once
#include <QString>
#include <QStringList>

namespace core {

// A message as the desktop mail routes fill it: shown in the desktop's compose window or
// written by the engine for the local mail system.
struct MailFields {
  // Address lists are separated by ";".
  QString From;             // the sender's address; empty: this machine's user
  QString FromName;         // and display name
  QString ListUnsubscribe;  // address for unsubscribe requests (List-Unsubscribe); empty, none
  QString Subject;
  QString To;
  QString CC;
  QString BCC;
  QString Body;
  bool HtmlBody = false;        // Body is HTML (text/html; charset=utf-8)
  bool HighImportance = false;  // "Importance: high" and "X-Priority: 1"
  QStringList Attachments;      // paths of files that can be read
};

// The addresses of a ";"-separated list, trimmed, empty pieces left out.
inline QStringList addressesOf(const QString& list) {
  QStringList out;
  for (const QString& a : list.split(QLatin1Char(';'))) {
    const QString t = a.trimmed();
    if (!t.isEmpty()) out << t;
  }
  return out;
}

}  // namespace core
