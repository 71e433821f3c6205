#pragma once
#include <QFile>
#include <QTest>
#include <functional>

#include "dns/modMXQuery.h"
#include "support/PeerProcess.h"
#include "support/TestEnv.h"

// Shared by the name-resolution tests: the Python DNS server, resolver files, checks.

inline bool startDnsServer(PeerProcess& peer, const QString& address, const QStringList& args) {
  const QStringList all = QStringList{VELKOR_SOURCE_DIR "/tests/peers/dns_server.py", "--address", address} + args;
  const bool ok = peer.start("/usr/bin/python3", all, PeerReadiness::onOutput("READY"));
  if (!ok) qWarning() << peer.errorString() << peer.output();
  return ok;
}

// Writes the resolver file and makes the next query discover it.
inline void useResolver(const TestEnv& env, const QByteArray& text) {
  env.writeFile("resolv.conf", text);
  modMXQuery::resetConfig();
}

// Each record as "host:preference", in table order.
inline QStringList describe(const QList<modMXQuery::MXRecord>& table) {
  QStringList out;
  for (const auto& r : table) out << r.host + ':' + QString::number(r.preference);
  return out;
}

// The names asked in the queries the server received (its log holds one in hex a line).
inline QStringList loggedQueryNames(const QString& logPath) {
  QStringList names;
  for (const QByteArray& line : readWholeFile(logPath).split('\n')) {
    const QByteArray q = QByteArray::fromHex(line);
    QStringList labels;
    for (int pos = 12; pos < q.size() && q[pos] != 0; pos += 1 + uchar(q[pos]))
      labels << QString::fromLatin1(q.mid(pos + 1, uchar(q[pos])));
    if (!line.isEmpty()) names << labels.join('.');
  }
  return names;
}

// The description of the module's error that call throws; empty when it throws none.
inline QString mxError(const std::function<void()>& call) {
  try {
    call();
  } catch (const modMXQuery::MXQueryError& e) {
    const bool whole = e.number == 20000 && e.source == "MXQuery" && e.what() == e.description.toStdString();
    return whole ? e.description : "number, source or what() wrong";
  }
  return {};
}
