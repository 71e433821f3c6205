// Base64 throughput of the engine's encoder on one file, read in the engine's attachment
// chunks and the output discarded. Usage: bench_base64 FILE — run.sh times coreutils on it.
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

#include "mail/Base64.h"

int main(int argc, char** argv) {
  QFile f(argc == 2 ? QString::fromLocal8Bit(argv[1]) : QString());
  if (!f.open(QIODevice::ReadOnly)) return std::fprintf(stderr, "usage: bench_base64 FILE\n"), 2;
  QElapsedTimer t;
  t.start();
  QByteArray chunk(mail::kBase64ChunkBytes, Qt::Uninitialized);
  qint64 n, out = 0;
  while ((n = f.read(chunk.data(), chunk.size())) > 0)
    out += mail::base64Encode(QByteArrayView(chunk.constData(), n)).size();
  const double seconds = t.nsecsElapsed() / 1e9;
  std::printf("encoded bytes: %lld\nvelkor base64 MB/s: %.1f\n", static_cast<long long>(out), f.size() / 1e6 / seconds);
  return 0;
}
