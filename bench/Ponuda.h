#pragma once
#include <QString>
#include <ctime>

// The offer both bulk benchmarks send: as plain text (numbered per customer) and as the
// HTML document the composer sends.
namespace bench {

inline QString ponudaTekst(int kupac) {
  QString body = QString("Poštovani kupče br. %1,\r\n\r\n").arg(kupac);
  for (int line = 1; line <= 16; ++line)
    body += QString("Redak %1 ponude: cijene su iskazane u eurima, isporuka čeka vašu potvrdu.\r\n").arg(line);
  return body + "\r\nLijep pozdrav,\r\nVelkor d.o.o.";
}

inline QString ponudaHtml() {
  QString html = "<html><body><p>Poštovani kupče,</p>";
  for (int line = 1; line <= 16; ++line)
    html += QString("<p>Redak %1 ponude: cijene su iskazane u eurima, isporuka čeka vašu potvrdu.</p>").arg(line);
  return html + "<p>Lijep pozdrav,<br>Velkor d.o.o.</p></body></html>";
}

// CPU time of the calling thread in microseconds: the run's own work, whatever else loads
// the machine (the engine and the window both work on the main thread).
inline double cpuMikrosekunde() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

}  // namespace bench
