// CSV export of ROWS records x 8 fields through the export form's writer (batches of 2000,
// UTF-16LE, ";" and ",", text quoted), to FILE. Prints rows per second and peak RSS.
// Usage: bench_csvexport FILE [ROWS] — run.sh gives Python's csv writer the same rows.
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <cstdio>
#include <sys/resource.h>

#include "platform/RecordSet.h"
#include "viewers/CsvIzvoz.h"

using namespace platform;

namespace {

long peakRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// The same rows as csv_python.py makes.
RecordSet redovi(int n) {
  RecordSet rs({{"Sifra", adInteger}, {"Naziv", adVarWChar}, {"Mjesto", adVarWChar},
                {"Iznos", adDouble}, {"Kolicina", adInteger}, {"Datum", adDBTimeStamp},
                {"Napomena", adVarWChar}, {"Aktivan", adBoolean}});
  const QString mjesta[] = {"Zagreb", "Split", "Čakovec", "Đakovo", "Šibenik"};
  const QDateTime pocetak(QDate(2026, 1, 1), QTime(0, 0));
  for (int i = 0; i < n; ++i)
    rs.AddRow({i, QStringLiteral("Kupac %1 d.o.o.").arg(i), mjesta[i % 5], i * 1.25, i % 100,
               pocetak.addSecs(qint64(i) * 60),
               i % 7 ? QVariant(QStringLiteral("napomena")) : QVariant(), bool(i % 2)});
  return rs;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) return std::fprintf(stderr, "usage: bench_csvexport FILE [ROWS]\n"), 2;
  const int n = argc > 2 ? std::atoi(argv[2]) : 1000000;
  RecordSet rs = redovi(n);
  const long prije = peakRssKb();
  QElapsedTimer t;
  t.start();
  viewers::CsvIzvoz izvoz(rs, {QStringLiteral(";"), QStringLiteral(","), true}, 2000);
  bool ok = izvoz.otvori(QString::fromLocal8Bit(argv[1]));
  while (ok && !izvoz.gotovo()) {
    izvoz.sljedecaSerija();
    ok = izvoz.greska().isEmpty();
  }
  ok = ok && izvoz.zavrsi();
  const double s = t.nsecsElapsed() / 1e9;
  if (!ok) return std::fprintf(stderr, "%s\n", qPrintable(izvoz.greska())), 1;
  std::printf("velkor peak RSS MB: %.1f (record set held: %.1f)\n", peakRssKb() / 1024.0,
              prije / 1024.0);
  std::printf("velkor CSV rows/s: %.0f\n", n / s);
  return 0;
}
