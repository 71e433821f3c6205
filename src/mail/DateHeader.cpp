#include "mail/DateHeader.h"

#include <ctime>

namespace mail {
namespace {

constexpr const char* kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

QString zoneOffsetText(int biasMinutes) {
  const int offset = -biasMinutes;
  const int magnitude = offset < 0 ? -offset : offset;
  return QStringLiteral("%1%2%3")
      .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
      .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
      .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

QString localZoneOffsetText(const QDateTime& instant) {
  const time_t t = instant.isValid() ? time_t(instant.toSecsSinceEpoch()) : std::time(nullptr);
  struct tm local {};
  if (!localtime_r(&t, &local)) return QStringLiteral("+0000");
  return zoneOffsetText(int(-local.tm_gmtoff / 60));
}

QString dateText(const QDateTime& local, const QString& zoneText) {
  const QDate d = local.date();
  const QTime t = local.time();
  return QStringLiteral("%1, %2 %3 %4 %5:%6:%7 %8")
      .arg(QLatin1String(kDays[d.dayOfWeek() - 1]))
      .arg(d.day())
      .arg(QLatin1String(kMonths[d.month() - 1]))
      .arg(d.year(), 4, 10, QLatin1Char('0'))
      .arg(t.hour(), 2, 10, QLatin1Char('0'))
      .arg(t.minute(), 2, 10, QLatin1Char('0'))
      .arg(t.second(), 2, 10, QLatin1Char('0'))
      .arg(zoneText);
}

}  // namespace mail
