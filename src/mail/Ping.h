#pragma once
#include <QString>

// ICMP echo: 32 random payload bytes 1…255, one request, 255 ms to answer.
// Sent through an unprivileged ICMP datagram socket, or a raw socket when that is not
// permitted.
namespace mail {

enum class PingMethod { Automatic, Datagram, Raw };

// Address: a dotted address or a host name; replaced by the address that answered.
// True when an echo reply came from the address pinged.
bool Ping(QString& Address, QString& RoundTripTime, QString& DataSize, bool& DataMatch,
          PingMethod method = PingMethod::Automatic);

}  // namespace mail
