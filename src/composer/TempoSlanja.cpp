#include "composer/TempoSlanja.h"

#include <QEventLoop>
#include <QTimer>

namespace composer {

void TempoSlanja::pocni(int porukaUMinuti) {
  razmak_ = porukaUMinuti > 0 ? 60000 / porukaUMinuti : 0;
  zadnja_.invalidate();
}

qint64 TempoSlanja::preostalo() const {
  if (razmak_ <= 0 || !zadnja_.isValid()) return 0;
  return qMax<qint64>(0, razmak_ - zadnja_.elapsed());
}

void TempoSlanja::pricekaj() {
  prekinuto_ = false;
  // A timer may wake a little early: wait again until the interval has really passed.
  for (qint64 ms = preostalo(); ms > 0 && !prekinuto_; ms = preostalo()) pricekajMs(ms);
  zadnja_.start();
}

bool TempoSlanja::pricekajMs(qint64 ms) {
  prekinuto_ = false;
  QElapsedTimer sat;
  sat.start();
  for (qint64 ostalo = ms; ostalo > 0 && !prekinuto_; ostalo = ms - sat.elapsed()) {
    QEventLoop petlja;
    petlja_ = &petlja;
    QTimer::singleShot(int(ostalo), Qt::PreciseTimer, &petlja, &QEventLoop::quit);
    petlja.exec();
    petlja_ = nullptr;
  }
  return !prekinuto_;
}

void TempoSlanja::prekini() {
  prekinuto_ = true;
  if (petlja_) petlja_->quit();
}

}  // namespace composer
