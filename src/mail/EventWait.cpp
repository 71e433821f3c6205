#include "mail/EventWait.h"

#include <QCoreApplication>

namespace mail {

EventWait::EventWait() {
  // A running timer bounds every blocking round: deadlines are checked at least
  // every 10 ms even when nothing else happens.
  tick_.setInterval(10);
  tick_.setTimerType(Qt::PreciseTimer);
}

void EventWait::round() {
  const bool own = !tick_.isActive();
  if (own) tick_.start();
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  if (own) tick_.stop();
}

void EventWait::pump() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace mail
