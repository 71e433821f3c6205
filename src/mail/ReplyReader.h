#pragma once
#include <QByteArray>
#include <optional>

// Cuts the bytes a server sends into whole replies. A reply may arrive in pieces, or
// several may arrive at once; an SMTP reply of several lines ("250-…" lines up to the
// line "250 …") is one reply, a POP3 reply is one line.
namespace mail {

class ReplyReader {
 public:
  void append(const QByteArray& data) { buffer_ += data; }
  // The next complete reply with its line ends, or nothing while none is complete.
  std::optional<QByteArray> next();
  // Bytes received that do not yet make a whole reply.
  const QByteArray& pending() const { return buffer_; }
  void clear() { buffer_.clear(); }

  // A reply that never ends is cut here and handed on as it is.
  static constexpr qsizetype kMaxReply = 64 * 1024;

 private:
  QByteArray buffer_;
};

}  // namespace mail
