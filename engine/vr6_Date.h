// vr6_Date.h — the engine's dates: day numbers and their text forms.
//
// In memory a date is a signed 32-bit day number, the Julian Day Number of the
// calendar day (1 January 1980 is 2444240, 30 December 1899 is 2415019); 0 or less
// is the blank date. In a DBF record a date is the eight characters "yyyymmdd",
// and the blank date eight spaces. The calendar is proleptic Gregorian for the
// years 1 to 9999 (day numbers kFirstDayNumber to kLastDayNumber); a positive day
// number outside that range has no calendar date and is treated as blank in every
// text form.
//
// TvrDBFDate converts between the forms. The process has one instance, DBFDate(),
// made on first use with the active locale's short date format; after that it holds
// only constants, so it may be used from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/date_format.h"

namespace velorin {

// The day number of the platform's date serial 0, 30 December 1899.
constexpr int32_t kDaySerialOffset = 2415019;
constexpr int32_t kFirstDayNumber = 1721426;  // 1 January 1
constexpr int32_t kLastDayNumber = 5373484;   // 31 December 9999

// The day number of a calendar date; 0 when the date is not valid (years 1-9999).
int32_t DayNumberOf(int year, int month, int day);

// A double taken as a day number, truncated toward zero; 0 (blank) for NaN, a value
// out of the int32 range, 0 or less, or a day outside years 1-9999.
int32_t DayNumberFromDouble(double value);

class TvrDBFDate {
 public:
  // The active locale's short date format.
  TvrDBFDate();
  explicit TvrDBFDate(const platform::ShortDateFormat& shortDate);

  // The day number of date serial 0 (2415019).
  int32_t DayOffset() const { return dayOffset_; }
  // 1: display texts always carry a four-digit year. Set at creation, never changed.
  uint8_t CenturyFlag() const { return centuryFlag_; }

  // Year, month and day of n; false and all three 0 when n has no calendar date.
  bool DecodeDayNumber(int32_t n, int* year, int* month, int* day) const;
  // The day number of today's local date.
  int32_t TodayDayNumber() const;
  // "yyyymmdd" for a day with a calendar date, eight spaces otherwise (n <= 0 included).
  std::string DayNumberToStorage(int32_t n) const;
  // The date in the display format (the short date format, upper-cased, with a
  // four-digit year: dd.MM.yy shows as 07.12.2026); empty for n <= 0 or a day
  // without a calendar date.
  std::string DayNumberToDisplay(int32_t n) const;
  // Trailing spaces removed, then: nothing left or "00000000" -> 0; eight digits
  // yyyymmdd -> that date, or 2415019 when they form no valid date; anything else is
  // read in the short date format and a text that does not parse throws
  // platform::EConvertError ("'<text>' is not a valid date").
  int32_t TextToDayNumber(std::string_view text) const;

  const platform::ShortDateFormat& ShortDate() const { return shortDate_; }
  const platform::ShortDateFormat& DisplayFormat() const { return displayFormat_; }

 private:
  int32_t dayOffset_ = kDaySerialOffset;
  uint8_t centuryFlag_ = 1;
  platform::ShortDateFormat shortDate_;
  platform::ShortDateFormat displayFormat_;
};

// The process-wide date converter.
const TvrDBFDate& DBFDate();

}  // namespace velorin
