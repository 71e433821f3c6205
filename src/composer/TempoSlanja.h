#pragma once
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTime>

namespace composer {

// Spaces the messages of a record run: at most n a minute, counted from the start of one
// message to the start of the next. The wait runs the caller's event loop, so the window
// keeps painting and its timers keep firing.
class TempoSlanja {
 public:
  // 0 (or less): no limit, nothing ever waits.
  void pocni(int porukaUMinuti);
  // Milliseconds until the next message may go; 0 when it may go now.
  qint64 preostalo() const;
  // When the next message goes, on this machine's clock.
  QTime sljedeca() const { return QTime::currentTime().addMSecs(int(preostalo())); }
  // Waits out preostalo(), then counts the next message as started.
  void pricekaj();
  // Waits ms while the event loop runs (a retry round's pause); false when cut short.
  bool pricekajMs(qint64 ms);
  // Ends a wait under way at once (the run is being stopped).
  void prekini();

 private:
  QEventLoop* petlja_ = nullptr;
  bool prekinuto_ = false;
  qint64 razmak_ = 0;
  QElapsedTimer zadnja_;
};

}  // namespace composer
