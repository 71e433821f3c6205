#include "dns/DnsExchange.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <algorithm>
#include <cerrno>

#include "dns/DnsMessage.h"

namespace modMXQuery::net {

namespace {

// A UDP socket connected to the server: the kernel then drops datagrams from any other
// address or port.
class ConnectedSocket {
 public:
  explicit ConnectedSocket(const QString& server, int type = SOCK_DGRAM) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type;
    addrinfo* found = nullptr;
    const QByteArray host = server.trimmed().toUtf8();
    const QByteArray port = QByteArray::number(kDnsPort);
    if (host.isEmpty() || getaddrinfo(host.constData(), port.constData(), &hints, &found) != 0) return;
    for (addrinfo* a = found; a && fd_ < 0; a = a->ai_next) {
      fd_ = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
      if (fd_ >= 0 && ::connect(fd_, a->ai_addr, a->ai_addrlen) != 0) {
        ::close(fd_);
        fd_ = -1;
      }
    }
    freeaddrinfo(found);
  }
  ~ConnectedSocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  ConnectedSocket(const ConnectedSocket&) = delete;
  ConnectedSocket& operator=(const ConnectedSocket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

bool sendAll(int fd, const QByteArray& datagram) {
  ssize_t sent;
  do sent = ::send(fd, datagram.constData(), size_t(datagram.size()), MSG_NOSIGNAL);
  while (sent < 0 && errno == EINTR);
  return sent == datagram.size();
}

// Waits until fd is readable or the deadline passes, in short slices between which
// the caller's events are processed: a window is not frozen by a silent server.
int waitReadable(int fd, const QDeadlineTimer& deadline) {
  while (!deadline.hasExpired()) {
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, int(std::clamp<qint64>(deadline.remainingTime(), 0, 10)));
    if (ready != 0) return ready;
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
  }
  return 0;
}

// Waits for a datagram until the deadline; empty when none came or the server's port
// is closed (the kernel reports that as a refused connection).
QByteArray receiveOne(int fd, const QDeadlineTimer& deadline, bool* refused) {
  while (!deadline.hasExpired()) {
    const int ready = waitReadable(fd, deadline);
    if (ready < 0 && errno != EINTR) return {};
    if (ready <= 0) continue;
    QByteArray buffer(kAnswerBufferSize, Qt::Uninitialized);
    const ssize_t got = ::recv(fd, buffer.data(), size_t(buffer.size()), 0);
    if (got > 0) return buffer.left(int(got));
    if (got < 0 && errno == ECONNREFUSED) {
      *refused = true;
      return {};
    }
  }
  return {};
}

// Reads exactly n bytes of a stream before the deadline.
QByteArray readExactly(int fd, qsizetype n, const QDeadlineTimer& deadline) {
  QByteArray out;
  while (out.size() < n) {
    if (waitReadable(fd, deadline) <= 0) return {};
    QByteArray buffer(n - out.size(), Qt::Uninitialized);
    const ssize_t got = ::recv(fd, buffer.data(), size_t(buffer.size()), 0);
    if (got <= 0) return {};
    out += buffer.left(got);
  }
  return out;
}

// RFC 1035 §4.2.2: the same question over TCP, each message after its 2-byte length.
Exchange askOverTcp(const QString& server, const QByteArray& query, const QDeadlineTimer& deadline) {
  ConnectedSocket socket(server, SOCK_STREAM);
  if (socket.fd() < 0) return {Outcome::NothingReceived, {}};
  QByteArray framed;
  framed.append(char(query.size() >> 8)).append(char(query.size() & 0xFF)).append(query);
  if (!sendAll(socket.fd(), framed)) return {Outcome::SendFailed, {}};
  const QByteArray length = readExactly(socket.fd(), 2, deadline);
  if (length.size() != 2) return {Outcome::NothingReceived, {}};
  const QByteArray answer = readExactly(socket.fd(), (uchar(length[0]) << 8) | uchar(length[1]), deadline);
  if (!wire::answersQuery(answer, query)) return {Outcome::NothingReceived, {}};
  return {Outcome::Answer, answer};
}

bool truncated(const QByteArray& answer) {
  const auto h = wire::readHeader(answer);
  return h && (h->flags & kFlagTruncated);
}

}  // namespace

Exchange ask(const QString& server, const QByteArray& query, int timeoutMs) {
  ConnectedSocket socket(server);
  if (socket.fd() < 0) return {Outcome::ServerUnresolved, {}};
  if (!sendAll(socket.fd(), query)) return {Outcome::SendFailed, {}};
  const QDeadlineTimer deadline(qMax(0, timeoutMs));
  // One lost datagram must not lose the answer: halfway through the wait the same query
  // goes again, and an answer to either is taken (both carry the same ID).
  const QDeadlineTimer halfway(qMax(0, timeoutMs) / 2);
  bool resent = false, refused = false;
  for (;;) {
    const QByteArray datagram = receiveOne(socket.fd(), resent ? deadline : halfway, &refused);
    if (datagram.isEmpty()) {
      if (resent || refused || deadline.hasExpired()) break;
      resent = true;
      (void)sendAll(socket.fd(), query);  // if it fails, the first may still be answered
      continue;
    }
    if (!wire::answersQuery(datagram, query)) continue;
    if (truncated(datagram)) return askOverTcp(server, query, deadline);
    return {Outcome::Answer, datagram};
  }
  return {Outcome::NothingReceived, {}};
}

}  // namespace modMXQuery::net
