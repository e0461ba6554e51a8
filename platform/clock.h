// clock.h — wall-clock time, a monotonic clock and sleeping.
#pragma once

#include <cstdint>

namespace velorin::platform {

// The local date and time, as Windows' GetLocalTime gives it.
struct LocalDateTime {
  int year = 0;
  int month = 0;  // 1-12
  int day = 0;    // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

LocalDateTime LocalNow();

// Milliseconds from an arbitrary origin; never goes backwards.
int64_t MonotonicMilliseconds();

void SleepMilliseconds(int milliseconds);

}  // namespace velorin::platform
