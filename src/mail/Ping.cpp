#include "mail/Ping.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "mail/HostLookup.h"
#include "mail/Validation.h"

namespace mail {
namespace {

constexpr int kPayloadBytes = 32;
constexpr int kTimeoutMs = 255;
constexpr int kReplyBufferBytes = 278 + 60;  // reply record and data, plus an IP header

struct EchoReply {
  quint32 from = 0;  // network order
  int elapsedMs = 0;
  QByteArray data;
};

quint16 checksum(const quint8* data, size_t length) {
  quint32 sum = 0;
  for (size_t i = 0; i + 1 < length; i += 2) sum += quint32(data[i] << 8 | data[i + 1]);
  if (length % 2) sum += quint32(data[length - 1] << 8);
  while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
  return quint16(~sum);
}

QByteArray randomPayload() {
  QByteArray payload(kPayloadBytes, Qt::Uninitialized);
  for (char& c : payload) c = char(QRandomGenerator::global()->bounded(1, 256));
  return payload;
}

QByteArray echoRequest(quint16 id, quint16 sequence, const QByteArray& payload) {
  QByteArray packet(int(sizeof(icmphdr)) + payload.size(), '\0');
  auto* header = reinterpret_cast<icmphdr*>(packet.data());
  header->type = ICMP_ECHO;
  header->un.echo.id = htons(id);
  header->un.echo.sequence = htons(sequence);
  memcpy(packet.data() + sizeof(icmphdr), payload.constData(), size_t(payload.size()));
  const quint16 sum = checksum(reinterpret_cast<const quint8*>(packet.constData()), size_t(packet.size()));
  header->checksum = htons(sum);
  return packet;
}

int openSocket(PingMethod method, bool* raw) {
  if (method != PingMethod::Raw) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0 || method == PingMethod::Datagram) {
      *raw = false;
      return fd;
    }
  }
  *raw = true;
  return socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
}

// The ICMP message of a received packet: raw sockets deliver the IP header too.
const quint8* icmpPart(const quint8* packet, ssize_t* length, bool raw) {
  if (!raw) return packet;
  if (*length < 20) return nullptr;
  const int headerBytes = (packet[0] & 0x0f) * 4;
  if (*length < headerBytes) return nullptr;
  *length -= headerBytes;
  return packet + headerBytes;
}

// Waits for the echo reply to our request until the time-out has passed.
bool awaitReply(int fd, bool raw, quint16 sequence, quint16 id, QElapsedTimer& clock, EchoReply* reply) {
  quint8 buffer[kReplyBufferBytes];
  for (;;) {
    const int left = kTimeoutMs - int(clock.elapsed());
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) return false;
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) return false;
    const quint8* icmp = icmpPart(buffer, &n, raw);
    if (!icmp || n < ssize_t(sizeof(icmphdr))) continue;
    const auto* header = reinterpret_cast<const icmphdr*>(icmp);
    if (header->type != ICMP_ECHOREPLY || ntohs(header->un.echo.sequence) != sequence) continue;
    if (raw && ntohs(header->un.echo.id) != id) continue;  // the kernel filters datagram sockets
    reply->elapsedMs = int(clock.elapsed());
    reply->from = from.sin_addr.s_addr;
    reply->data = QByteArray(reinterpret_cast<const char*>(icmp) + sizeof(icmphdr), n - ssize_t(sizeof(icmphdr)));
    return true;
  }
}

bool echo(quint32 address, const QByteArray& payload, PingMethod method, EchoReply* reply) {
  bool raw = false;
  const int fd = openSocket(method, &raw);
  if (fd < 0) return false;
  const auto id = quint16(QRandomGenerator::global()->bounded(1, 65536));
  const auto sequence = quint16(QRandomGenerator::global()->bounded(1, 65536));
  const QByteArray packet = echoRequest(id, sequence, payload);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  QElapsedTimer clock;
  clock.start();
  bool ok = sendto(fd, packet.constData(), size_t(packet.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                   sizeof to) == packet.size();
  ok = ok && awaitReply(fd, raw, sequence, id, clock, reply);
  close(fd);
  return ok;
}

QString dotted(quint32 address) {
  char text[INET_ADDRSTRLEN] = {};
  in_addr a{};
  a.s_addr = address;
  inet_ntop(AF_INET, &a, text, sizeof text);
  return QString::fromLatin1(text);
}

}  // namespace

bool Ping(QString& Address, QString& RoundTripTime, QString& DataSize, bool& DataMatch, PingMethod method) {
  const QString target = isDottedAddress(Address) ? Address : GetIPAddress(Address);
  if (target.isEmpty()) return false;
  const quint32 address = dottedToAddress(target);
  if (address == 0) return false;
  const QByteArray payload = randomPayload();
  EchoReply reply;
  if (!echo(address, payload, method, &reply)) return false;
  RoundTripTime = QString::number(reply.elapsedMs);
  Address = dotted(reply.from);
  DataSize = QString::number(reply.data.size()) + QLatin1String(" bytes");
  const qsizetype nul = reply.data.indexOf('\0');
  DataMatch = (nul < 0 ? reply.data : reply.data.left(nul)) == payload;
  return reply.from == address;
}

}  // namespace mail
