// Base64 throughput of the engine's encoder against coreutils `base64` on one file.
// Usage: bench_base64 FILE — reads the file in the engine's attachment chunks, encodes,
// discards the output; then times `base64 FILE > /dev/null`.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstdio>

#include "mail/Base64.h"

namespace {

double oursSeconds(const QString& path, qint64& outBytes) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  QElapsedTimer t;
  t.start();
  QByteArray chunk(mail::kBase64ChunkBytes, Qt::Uninitialized);
  qint64 n;
  while ((n = f.read(chunk.data(), chunk.size())) > 0)
    outBytes += mail::base64Encode(QByteArrayView(chunk.constData(), n)).size();
  return t.nsecsElapsed() / 1e9;
}

double coreutilsSeconds(const QString& path) {
  QProcess p;
  p.setStandardOutputFile(QProcess::nullDevice());
  QElapsedTimer t;
  t.start();
  p.start(QStringLiteral("base64"), {path});
  if (!p.waitForFinished(-1) || p.exitCode() != 0) return -1;
  return t.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_base64 FILE\n");
    return 2;
  }
  const QString path = QString::fromLocal8Bit(argv[1]);
  const double mb = QFile(path).size() / 1e6;
  qint64 outBytes = 0;
  const double ours = oursSeconds(path, outBytes);
  const double theirs = coreutilsSeconds(path);
  if (ours <= 0 || theirs <= 0) return 1;
  std::printf("input MB: %.1f  encoded bytes: %lld\n", mb, static_cast<long long>(outBytes));
  std::printf("velkor base64 MB/s: %.1f\n", mb / ours);
  std::printf("coreutils base64 MB/s: %.1f\n", mb / theirs);
  std::printf("ratio velkor/coreutils: %.2f\n", theirs / ours);
  return 0;
}
