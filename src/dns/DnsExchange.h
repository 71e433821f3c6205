#pragma once
#include <QByteArray>
#include <QString>

// One question and its answer over UDP to port 53 of a DNS server.
namespace modMXQuery::net {

inline constexpr quint16 kDnsPort = 53;
inline constexpr int kAnswerBufferSize = 2048;

enum class Outcome { Answer, ServerUnresolved, SendFailed, NothingReceived };

struct Exchange {
  Outcome outcome;
  QByteArray answer;  // set when outcome is Answer
};

// Sends query to server (an address or a host name) and waits, at most timeoutMs, for a
// datagram from that server that answers it; any other datagram is ignored.
Exchange ask(const QString& server, const QByteArray& query, int timeoutMs);

}  // namespace modMXQuery::net
