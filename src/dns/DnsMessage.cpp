#include "dns/DnsMessage.h"

#include <QUrl>

namespace modMXQuery::wire {

quint16 readU16(const QByteArray& msg, int pos) { return quint16((uchar(msg[pos]) << 8) | uchar(msg[pos + 1])); }

static void appendU16(QByteArray& out, quint16 v) {
  out.append(char(v >> 8));
  out.append(char(v & 0xFF));
}

std::optional<Header> readHeader(const QByteArray& msg) {
  if (msg.size() < kHeaderSize) return std::nullopt;
  return Header{readU16(msg, 0), readU16(msg, 2), readU16(msg, 4), readU16(msg, 6)};
}

static bool isAscii(const QString& s) {
  for (QChar c : s)
    if (c.unicode() > 0x7F) return false;
  return true;
}

std::optional<QByteArray> encodeName(const QString& domain) {
  QString name = domain;
  if (name.endsWith(QLatin1Char('.'))) name.chop(1);  // a fully qualified name
  // Croatian (and other) letters travel in their ASCII-compatible form.
  const QByteArray ascii = isAscii(name) ? name.toLatin1() : QUrl::toAce(name);
  if (ascii.isEmpty()) return std::nullopt;
  QByteArray out;
  for (const QByteArray& label : ascii.split('.')) {
    if (label.isEmpty() || label.size() > kMaxLabelLength) return std::nullopt;
    out.append(char(label.size()));
    out.append(label);
  }
  out.append('\0');
  if (out.size() > kMaxNameLength) return std::nullopt;
  return out;
}

QByteArray buildQuery(const QByteArray& encodedName, quint16 type, quint16 id) {
  QByteArray out;
  out.reserve(kHeaderSize + encodedName.size() + 4);
  for (quint16 v : {id, kFlagsStandardQuery, quint16(1), quint16(0), quint16(0), quint16(0)}) appendU16(out, v);
  out.append(encodedName);
  appendU16(out, type);
  appendU16(out, kClassIN);
  return out;
}

std::optional<Name> readName(const QByteArray& msg, int pos) {
  Name out{{}, -1};
  int segmentStart = pos;  // a pointer must lead before the run of labels it ends
  int length = 1;          // the final zero byte
  for (;;) {
    if (pos < 0 || pos >= msg.size()) return std::nullopt;
    const uchar len = uchar(msg[pos]);
    if (len == 0) {
      if (out.end < 0) out.end = pos + 1;
      return out;
    }
    if ((len & 0xC0) == 0xC0) {
      if (pos + 1 >= msg.size()) return std::nullopt;
      const int target = ((len & 0x3F) << 8) | uchar(msg[pos + 1]);
      if (target >= segmentStart) return std::nullopt;
      if (out.end < 0) out.end = pos + 2;
      pos = segmentStart = target;
      continue;
    }
    if (len & 0xC0) return std::nullopt;  // reserved label kinds
    length += len + 1;
    if (length > kMaxNameLength || pos + 1 + len > msg.size()) return std::nullopt;
    out.labels.append(msg.mid(pos + 1, len));
    pos += 1 + len;
  }
}

QString hostText(const Name& name) {
  QByteArray text;
  for (const QByteArray& label : name.labels) {
    for (char c : label)
      if (uchar(c) <= 0x20 || uchar(c) >= 0x7F || c == '.') return {};
    if (!text.isEmpty()) text.append('.');
    text.append(label);
  }
  return QString::fromLatin1(text);
}

void forEachAnswer(const QByteArray& msg, const std::function<bool(const Record&)>& visit) {
  const auto header = readHeader(msg);
  if (!header) return;
  int pos = kHeaderSize;
  for (int q = 0; q < header->questions; ++q) {
    const auto name = readName(msg, pos);
    if (!name) return;
    pos = name->end + 4;  // QTYPE, QCLASS
    if (pos > msg.size()) return;
  }
  for (int a = 0; a < header->answers; ++a) {
    const auto owner = readName(msg, pos);
    if (!owner || owner->end + 10 > msg.size()) return;
    pos = owner->end;
    const Record r{readU16(msg, pos), readU16(msg, pos + 2), pos + 10, readU16(msg, pos + 8)};
    if (r.rdata + r.rdlength > msg.size()) return;
    if (!visit(r)) return;
    pos = r.rdata + r.rdlength;
  }
}

static char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool answersQuery(const QByteArray& answer, const QByteArray& query) {
  const auto a = readHeader(answer);
  const auto q = readHeader(query);
  if (!a || !q || a->id != q->id || !(a->flags & kFlagResponse) || a->questions != 1) return false;
  if (answer.size() < query.size()) return false;
  for (int i = kHeaderSize; i < query.size(); ++i)
    if (foldAscii(answer[i]) != foldAscii(query[i])) return false;
  return true;
}

}  // namespace modMXQuery::wire
