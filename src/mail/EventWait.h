#pragma once
#include <QTimer>

// Waiting while the caller's event loop keeps running: each round processes pending
// events and otherwise blocks until the next event or 10 ms, whichever comes first,
// so a window stays responsive and a reply is noticed as soon as it arrives.
namespace mail {

class EventWait {
 public:
  EventWait();
  // Processes pending events, blocking for at most one tick when there are none.
  void round();
  // Processes pending events without blocking.
  static void pump();

 private:
  QTimer tick_;
};

}  // namespace mail
