#pragma once
#include <QByteArray>
#include <QString>

// One question and its answer over UDP to port 53 of a DNS server.
namespace modMXQuery::net {

inline constexpr quint16 kDnsPort = 53;
inline constexpr int kAnswerBufferSize = 2048;

enum class Outcome { Answer, ServerUnresolved, SendFailed, NothingReceived };
inline constexpr quint16 kFlagTruncated = 0x0200;

struct Exchange {
  Outcome outcome;
  QByteArray answer;  // set when outcome is Answer
};

// Sends query to server (an address or a host name) and waits, at most timeoutMs, for a
// datagram from that server that answers it; any other datagram is ignored. With no
// answer after half the time the query is sent once more. While it waits the caller's
// event loop keeps running. An answer marked truncated is asked again over TCP.
Exchange ask(const QString& server, const QByteArray& query, int timeoutMs);

}  // namespace modMXQuery::net
