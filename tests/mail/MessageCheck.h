#pragma once
// The strict third-party parse of a message (tests/peers/check_message.py) and the
// fingerprints its attachments are compared by.
#include <QtTest>

#include "support/SmtpPeer.h"

inline QJsonObject checkMessage(const QString& emlPath) {
  QProcess p;
  p.start("/usr/bin/python3", {SmtpPeer::scriptPath("check_message.py"), emlPath});
  p.waitForFinished(60000);
  return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// What the parse found wrong, one problem a line; empty when the message is clean.
inline QString problemsOf(const QJsonObject& c) {
  if (c.isEmpty()) return "no answer from the checker";
  QStringList out;
  for (const QJsonValue& p : c.value("problems").toArray()) out << p.toString();
  return out.join('\n');
}

// The parse of a message that must be clean: any problem fails the running test.
inline QJsonObject cleanMessage(const QString& emlPath) {
  const QJsonObject c = checkMessage(emlPath);
  QTest::qCompare(problemsOf(c), QString(), qPrintable("problems of " + emlPath), "none", __FILE__, __LINE__);
  return c;
}

// One field of one entry of a list in the parse, e.g. entry(c, "attachments", 0, "sha256").
inline QString entry(const QJsonObject& c, const QString& list, int index, const QString& key) {
  return c.value(list).toArray().at(index).toObject().value(key).toString();
}

inline QString sha256Of(const QByteArray& data) {
  return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}
