#pragma once
#include <QFile>
#include <QTest>

#include "dns/modMXQuery.h"
#include "support/PeerProcess.h"
#include "support/TestEnv.h"

// Shared by the name-resolution tests: the Python DNS server, resolver files, checks.

inline bool startDnsServer(PeerProcess& peer, const QString& address, const QStringList& args) {
  QStringList all{QStringLiteral(VELKOR_SOURCE_DIR "/tests/peers/dns_server.py"),
                  QStringLiteral("--address"), address};
  all << args;
  const bool ok = peer.start(QStringLiteral("/usr/bin/python3"), all,
                             PeerReadiness::onOutput(QStringLiteral("READY")));
  if (!ok) qWarning() << peer.errorString() << peer.output();
  return ok;
}

// Writes the resolver file and makes the next query discover it.
inline void useResolver(const TestEnv& env, const QByteArray& text) {
  env.writeFile(QStringLiteral("resolv.conf"), text);
  modMXQuery::resetConfig();
}

// Each record as "host:preference", in table order.
inline QStringList describe(const QList<modMXQuery::MXRecord>& table) {
  QStringList out;
  for (const auto& r : table) out << r.host + QLatin1Char(':') + QString::number(r.preference);
  return out;
}

// Query names the server received, in order (read from its hex log).
inline QStringList loggedQueryNames(const QString& logPath) {
  QStringList names;
  QFile f(logPath);
  if (!f.open(QIODevice::ReadOnly)) return names;
  for (const QByteArray& line : f.readAll().split('\n')) {
    const QByteArray q = QByteArray::fromHex(line);
    QStringList labels;
    for (int pos = 12; pos < q.size() && q[pos] != 0; pos += 1 + uchar(q[pos]))
      labels << QString::fromLatin1(q.mid(pos + 1, uchar(q[pos])));
    if (!labels.isEmpty()) names << labels.join(QLatin1Char('.'));
  }
  return names;
}

inline QByteArray loggedQuery(const QString& logPath, int index) {
  QFile f(logPath);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QList<QByteArray> lines = f.readAll().split('\n');
  return index < lines.size() ? QByteArray::fromHex(lines[index]) : QByteArray();
}

// Runs expr and checks it throws the module's error with this description.
#define VERIFY_MX_ERROR(expr, text)                                          \
  do {                                                                       \
    try {                                                                    \
      (void)(expr);                                                          \
      QFAIL("no MXQueryError was thrown");                                   \
    } catch (const modMXQuery::MXQueryError& e) {                            \
      QCOMPARE(e.description, QStringLiteral(text));                         \
      QCOMPARE(e.number, 20000);                                             \
      QCOMPARE(e.source, QStringLiteral("MXQuery"));                         \
    }                                                                        \
  } while (0)
