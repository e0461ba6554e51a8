#include "app/program_clock.h"

#include <QString>

#include "platform/clock.h"

namespace velorin {

QDateTime SystemClock::LocalNow() const {
  const platform::LocalDateTime now = platform::LocalNow();
  return QDateTime(QDate(now.year, now.month, now.day), QTime(now.hour, now.minute, now.second, now.millisecond));
}

int64_t SystemClock::MonotonicMilliseconds() const { return platform::MonotonicMilliseconds(); }

int64_t MillisecondsOfDay(const QDateTime& moment) { return moment.time().msecsSinceStartOfDay(); }

QString FormatDuration(int64_t milliseconds) {
  const int64_t seconds = milliseconds > 0 ? milliseconds / 1000 : 0;
  return QStringLiteral("%1:%2:%3")
      .arg(seconds / 3600)
      .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
      .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

double ResultAgeInDays(const QDate& resultDate, const QDateTime& now) {
  const int64_t days = now.date().toJulianDay() - resultDate.toJulianDay();
  return static_cast<double>(days) + static_cast<double>(MillisecondsOfDay(now)) / 86400000.0;
}

}  // namespace velorin
