// date_time.h — a moment as the dataset's date and date-time fields hold it.
//
// TDateTime is the platform's date serial: days since 30 December 1899 as a
// double, the fraction being the time of day. Before that day the serial is
// negative and the fraction still counts forward from midnight (-1.25 is
// 29 December 1899, 06:00), so the day is the serial truncated toward zero and
// the time its fractional part without sign. The engine counts days as Julian
// day numbers; the serial of a day is its day number minus kSerialDayOffset.
// Dates run from 1 January 0001 to 31 December 9999.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/field_kind.h"

namespace velorin {

struct TDateTime {
  double Value = 0.0;

  friend bool operator==(TDateTime, TDateTime) = default;
  friend auto operator<=>(TDateTime, TDateTime) = default;
};

namespace date_time {
constexpr int32_t kSerialDayOffset = kDaySerialOffset;  // day number of serial 0
constexpr int64_t kMillisecondsPerDay = velorin::kMillisecondsPerDay;
// Days from the date-time epoch to serial 0: the day count of a "T" field's
// millisecond value is this plus the serial.
constexpr int32_t kSerialFromYearOne = kDaySerialOffset - kDateTimeEpochDay;
static_assert(kSerialFromYearOne == 693594);
}  // namespace date_time

struct TCivilDate {
  int Year = 0;
  int Month = 0;  // 1-12
  int Day = 0;    // 1-31
};

struct TTimeOfDay {
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
};

bool IsValidDate(int year, int month, int day);

// The day at midnight; nothing when the three numbers are not a date of years
// 1 to 9999.
std::optional<TDateTime> EncodeDate(int year, int month, int day);
// A date and a time of day; nothing when either is invalid.
std::optional<TDateTime> EncodeDateTime(const TCivilDate& date, const TTimeOfDay& time);

// The calendar day and the time of day of a serial (rounded to the millisecond).
// Serials outside years 1 to 9999 give nothing.
std::optional<TCivilDate> DecodeDate(TDateTime value);
TTimeOfDay DecodeTime(TDateTime value);

// Julian day numbers, as the engine keeps dates.
int32_t DayNumberOf(TDateTime value);  // the day, time of day dropped
TDateTime FromDayNumber(int32_t dayNumber);

// The millisecond count of a "T" field: days from 1 January 0001 (day 1) times
// 86,400,000 plus the milliseconds of the day.
double ToFieldMilliseconds(TDateTime value);
TDateTime FromFieldMilliseconds(double milliseconds);

// The current local date and time.
TDateTime Now();

// "dd.mm.yyyy" and "dd.mm.yyyy hh:nn:ss", the Russian short forms; empty for a
// serial outside years 1 to 9999.
std::string FormatDate(TDateTime value);
std::string FormatDateTime(TDateTime value);

// Reads "dd.mm.yyyy" (day and month of one or two digits), "yyyy-mm-dd" or
// "yyyymmdd", each optionally followed by a blank and "hh:nn[:ss]"; blanks
// around the text are ignored. Nothing for anything else.
std::optional<TDateTime> ParseDateTime(const std::string& text);

}  // namespace velorin
