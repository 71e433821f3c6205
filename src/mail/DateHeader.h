#pragma once
#include <QDateTime>
#include <QString>

// The Date header's text: "Sat, 5 Dec 2026 09:05:22 +0100" in local time.
namespace mail {

// Offset text from a bias in minutes (UTC = local + bias): -60 → "+0100",
// 300 → "-0500", 210 → "-0330".
QString zoneOffsetText(int biasMinutes);
// This machine's offset at the given instant (now when invalid), from tm_gmtoff.
QString localZoneOffsetText(const QDateTime& instant = {});
// Day, date and time of `local` followed by `zoneText`.
QString dateText(const QDateTime& local, const QString& zoneText);

}  // namespace mail
