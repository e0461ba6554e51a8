// program_clock.h — the moments the test window needs, behind an interface so that
// tests can fix them.
//
// The local date and time stamps a result and decides which old results are
// purged; the time of day in milliseconds reseeds the answer draw; the monotonic
// clock measures how long a test took, so a change of the wall clock or of daylight
// saving time during a test does not change its duration.
#pragma once

#include <QDateTime>
#include <cstdint>

namespace velorin {

class ProgramClock {
 public:
  virtual ~ProgramClock() = default;
  // The local date and time, to the millisecond.
  virtual QDateTime LocalNow() const = 0;
  // Milliseconds from an arbitrary origin; never goes backwards.
  virtual int64_t MonotonicMilliseconds() const = 0;
};

// The real clocks of the platform.
class SystemClock final : public ProgramClock {
 public:
  QDateTime LocalNow() const override;
  int64_t MonotonicMilliseconds() const override;
};

// Milliseconds since local midnight.
int64_t MillisecondsOfDay(const QDateTime& moment);

// A duration as "h:nn:ss": hours without a leading zero and without wrapping at a day,
// minutes and seconds with two digits; milliseconds are dropped, a negative duration
// counts as 0.
QString FormatDuration(int64_t milliseconds);

// How old a result is, in days: the local calendar days from its date to the day of
// now, plus the time of day of now. Counted on the calendar, so daylight-saving
// changes in between have no effect.
double ResultAgeInDays(const QDate& resultDate, const QDateTime& now);

}  // namespace velorin
