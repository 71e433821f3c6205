// Base64 and uuencode on arbitrary bytes: the decoder never reads past its input, the
// encoder's lines are well formed and decode back to the bytes, and uuencoded lines
// decode the way uudecode reads them.
// fuzz-sources: src/mail/Base64.cpp src/mail/UUEncode.cpp
#include <cstddef>
#include <cstdint>

#include <QByteArrayList>

#include "mail/Base64.h"
#include "mail/UUEncode.h"

using namespace mail;

static void check(bool ok) {
  if (!ok) __builtin_trap();
}

static void checkEncoding(const QByteArray& bytes) {
  const QByteArray lines = base64Encode(bytes);
  check(bytes.isEmpty() == lines.isEmpty());
  if (!bytes.isEmpty()) check(lines.endsWith("\r\n"));
  QByteArray joined;
  for (const QByteArray& line : lines.split('\n')) {
    check(line.size() <= 77);
    joined += line.endsWith('\r') ? line.chopped(1) : line;
  }
  check(joined == bytes.toBase64());
  check(base64EncodeFlat(bytes) == joined);
  check(decodeBase64Bytes(joined) == bytes);
}

// uudecode: the length character says how many bytes the line carries.
static QByteArray uudecode(const QByteArray& line) {
  const int n = (line[0] - 32) & 63;
  QByteArray out;
  for (int i = 1; out.size() < n; i += 4) {
    quint32 v = 0;
    for (int k = 0; k < 4; ++k) v = v << 6 | ((i + k < line.size() ? line[i + k] - 32 : 0) & 63);
    for (int k = 2; k >= 0 && out.size() < n; --k) out += char(v >> (8 * k));
  }
  return out;
}

static void checkUU(const QByteArray& bytes) {
  const QByteArray piece = bytes.left(45);
  const QByteArray line = uuencodeLine(piece);
  check((line.size() - 1) % 4 == 0);
  for (char c : line) check((c >= 32 && c <= 96) || c == '=');
  check(uudecode(line) == piece);
  check(uuencodeLine(QByteArray(64, 'x')).isEmpty());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Raw data, not a copy: the sanitizer sees any read past the input's end.
  const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
  const QByteArray decoded = decodeBase64Bytes(input);
  check(decoded.size() <= (input.size() + 3) / 4 * 3);
  (void)DecodeBase64String(QString::fromLatin1(input));
  checkEncoding(input);
  checkUU(input);
  return 0;
}
