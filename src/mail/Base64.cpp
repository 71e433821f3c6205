#include "mail/Base64.h"

#include <array>

namespace mail {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kGroupsPerLine = kBase64LineBytes / 3;

// Decoder table: 0…63 for the alphabet, 64 for "=", 255 for anything else.
constexpr std::array<quint8, 256> makeDecodeTable() {
  std::array<quint8, 256> t{};
  for (auto& v : t) v = 255;
  for (int i = 0; i < 64; ++i) t[static_cast<quint8>(kAlphabet[i])] = static_cast<quint8>(i);
  t[static_cast<quint8>('=')] = 64;
  return t;
}
constexpr auto kDecode = makeDecodeTable();

inline void encodeGroup(const quint8* in, char* out) {
  const quint32 v = (quint32(in[0]) << 16) | (quint32(in[1]) << 8) | in[2];
  out[0] = kAlphabet[(v >> 18) & 63];
  out[1] = kAlphabet[(v >> 12) & 63];
  out[2] = kAlphabet[(v >> 6) & 63];
  out[3] = kAlphabet[v & 63];
}

// Encodes `bytes`; with `lineBreaks` a CR LF follows every 76 characters and the end.
QByteArray encode(QByteArrayView bytes, bool lineBreaks) {
  const qsizetype n = bytes.size();
  if (n == 0) return {};
  const qsizetype groups = (n + 2) / 3;
  const qsizetype lines = (groups + kGroupsPerLine - 1) / kGroupsPerLine;
  QByteArray out(groups * 4 + (lineBreaks ? lines * 2 : 0), Qt::Uninitialized);
  const auto* in = reinterpret_cast<const quint8*>(bytes.data());
  char* o = out.data();
  qsizetype g = 0;
  for (; g < n / 3; ++g) {
    if (lineBreaks && g > 0 && g % kGroupsPerLine == 0) {
      *o++ = '\r';
      *o++ = '\n';
    }
    encodeGroup(in + g * 3, o);
    o += 4;
  }
  const qsizetype rest = n - g * 3;
  if (rest > 0) {
    if (lineBreaks && g > 0 && g % kGroupsPerLine == 0) {
      *o++ = '\r';
      *o++ = '\n';
    }
    quint8 last[3] = {in[g * 3], quint8(rest == 2 ? in[g * 3 + 1] : 0), 0};
    encodeGroup(last, o);
    o[3] = '=';
    if (rest == 1) o[2] = '=';
    o += 4;
  }
  if (lineBreaks) {
    *o++ = '\r';
    *o++ = '\n';
  }
  out.truncate(o - out.data());
  return out;
}

}  // namespace

QByteArray base64Encode(QByteArrayView bytes) { return encode(bytes, true); }

QByteArray base64EncodeFlat(QByteArrayView bytes) { return encode(bytes, false); }

QString base64EncodeString(const QString& text) { return QString::fromLatin1(encode(text.toUtf8(), true)); }

QByteArray decodeBase64Bytes(QByteArrayView text) {
  QByteArray out;
  out.reserve(text.size() / 4 * 3 + 3);
  for (qsizetype pos = 0; pos < text.size(); pos += 4) {
    quint32 v = 0;
    int count = 0;
    bool inputEnded = false;
    for (; count < 4; ++count) {
      if (pos + count >= text.size()) {
        inputEnded = true;
        break;
      }
      const quint8 d = kDecode[static_cast<quint8>(text[pos + count])];
      if (d == 255) return out;  // foreign character: stop with what we have
      if (d == 64) break;        // "=" ends the group
      v |= quint32(d) << (18 - 6 * count);
    }
    // The end of the input ends a group like "=" does, so no zero bytes are invented.
    if (count >= 2) out.append(char(v >> 16));
    if (count >= 3) out.append(char((v >> 8) & 0xff));
    if (count == 4) out.append(char(v & 0xff));
    if (inputEnded) break;
  }
  return out;
}

QString DecodeBase64String(const QString& str2Decode) {
  return QString::fromUtf8(decodeBase64Bytes(str2Decode.toLatin1()));
}

}  // namespace mail
