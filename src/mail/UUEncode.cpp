#include "mail/UUEncode.h"

namespace mail {
namespace {

// Entry 0 is the grave accent, entry i the character 32 + i.
inline char uuChar(quint32 v) { return v == 0 ? '`' : char(32 + v); }

}  // namespace

QByteArray uuencodeLine(QByteArrayView bytes) {
  const qsizetype n = bytes.size();
  if (n > 63) return {};
  QByteArray out;
  out.reserve(1 + (n + 2) / 3 * 4 + 2);
  out.append(uuChar(quint32(n)));
  const auto* in = reinterpret_cast<const quint8*>(bytes.data());
  for (qsizetype i = 0; i < n; i += 3) {
    const qsizetype take = qMin<qsizetype>(3, n - i);
    quint32 v = quint32(in[i]) << 16;
    if (take > 1) v |= quint32(in[i + 1]) << 8;
    if (take > 2) v |= in[i + 2];
    for (int k = 0; k <= take; ++k) out.append(uuChar((v >> (18 - 6 * k)) & 63));
  }
  if (n % 3 == 1) out.append("==");
  if (n % 3 == 2) out.append('=');
  return out;
}

}  // namespace mail
