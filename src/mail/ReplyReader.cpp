#include "mail/ReplyReader.h"

#include <cctype>

namespace mail {

namespace {

// "250-text": another line of the same reply follows.
bool isContinuation(QByteArrayView line) {
  return line.size() >= 4 && line[3] == '-' && std::isdigit(uchar(line[0])) && std::isdigit(uchar(line[1])) &&
         std::isdigit(uchar(line[2]));
}

}  // namespace

std::optional<QByteArray> ReplyReader::next() {
  qsizetype start = 0;
  while (true) {
    const qsizetype lf = buffer_.indexOf('\n', start);
    if (lf < 0) break;
    const QByteArrayView line = QByteArrayView(buffer_).sliced(start, lf + 1 - start);
    start = lf + 1;
    if (!isContinuation(line)) {
      QByteArray reply = buffer_.left(start);
      buffer_.remove(0, start);
      return reply;
    }
  }
  if (buffer_.size() >= kMaxReply) {
    QByteArray reply;
    reply.swap(buffer_);
    return reply;
  }
  return std::nullopt;
}

}  // namespace mail
