#include "composer/TempoSlanja.h"

#include <QEventLoop>
#include <QTimer>

void TempoSlanja::pocni(int porukaUMinuti) {
  razmak_ = porukaUMinuti > 0 ? 60000 / porukaUMinuti : 0;
  zadnja_.invalidate();
}

qint64 TempoSlanja::preostalo() const {
  if (razmak_ <= 0 || !zadnja_.isValid()) return 0;
  return qMax<qint64>(0, razmak_ - zadnja_.elapsed());
}

void TempoSlanja::pricekaj() {
  // A timer may wake a little early: wait again until the interval has really passed.
  for (qint64 ms = preostalo(); ms > 0; ms = preostalo()) {
    QEventLoop petlja;
    QTimer::singleShot(int(ms), Qt::PreciseTimer, &petlja, &QEventLoop::quit);
    petlja.exec();
  }
  zadnja_.start();
}
