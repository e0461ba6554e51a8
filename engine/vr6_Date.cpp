#include "engine/vr6_Date.h"

#include <cmath>

#include "engine/text_trim.h"
#include "platform/clock.h"
#include "platform/locale_settings.h"

namespace velorin {

namespace {

constexpr std::string_view kBlankStorage = "        ";

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

// Day numbers count from 24 November 4714 BC of the proleptic Gregorian calendar.
// The year is shifted to begin in March (so that the leap day ends it) and to a
// start far enough back that every quantity below stays positive.
int32_t DayNumberOf(int year, int month, int day) {
  if (!platform::IsValidCalendarDate(year, month, day)) return 0;
  int marchBased = (14 - month) / 12;  // 1 for January and February
  int y = year + 4800 - marchBased;
  int m = month + 12 * marchBased - 3;  // 0 = March ... 11 = February
  return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

int32_t DayNumberFromDouble(double value) {
  if (!std::isfinite(value)) return 0;
  double whole = std::trunc(value);
  if (whole < kFirstDayNumber || whole > kLastDayNumber) return 0;
  return static_cast<int32_t>(whole);
}

TvrDBFDate::TvrDBFDate() : TvrDBFDate(platform::ActiveLocale().ShortDate()) {}

TvrDBFDate::TvrDBFDate(const platform::ShortDateFormat& shortDate)
    : shortDate_(shortDate), displayFormat_(shortDate.WithFourDigitYear()) {}

bool TvrDBFDate::DecodeDayNumber(int32_t n, int* year, int* month, int* day) const {
  *year = *month = *day = 0;
  if (n < kFirstDayNumber || n > kLastDayNumber) return false;
  // The inverse of DayNumberOf: 400-year cycles (146097 days), then centuries,
  // 4-year cycles (1461 days) and years of the March-based calendar.
  int64_t a = int64_t{n} + 32044;
  int64_t cycles = (4 * a + 3) / 146097;
  int64_t c = a - 146097 * cycles / 4;
  int64_t years = (4 * c + 3) / 1461;
  int64_t e = c - 1461 * years / 4;
  int64_t m = (5 * e + 2) / 153;
  *day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
  *month = static_cast<int>(m + 3 - 12 * (m / 10));
  *year = static_cast<int>(100 * cycles + years - 4800 + m / 10);
  return true;
}

int32_t TvrDBFDate::TodayDayNumber() const {
  platform::LocalDateTime now = platform::LocalNow();
  return DayNumberOf(now.year, now.month, now.day);
}

std::string TvrDBFDate::DayNumberToStorage(int32_t n) const {
  int year = 0, month = 0, day = 0;
  if (!DecodeDayNumber(n, &year, &month, &day)) return std::string(kBlankStorage);
  std::string text(8, '0');
  auto put = [&](size_t at, int value, int digits) {
    for (int i = digits - 1; i >= 0; --i, value /= 10) text[at + i] = static_cast<char>('0' + value % 10);
  };
  put(0, year, 4);
  put(4, month, 2);
  put(6, day, 2);
  return text;
}

std::string TvrDBFDate::DayNumberToDisplay(int32_t n) const {
  platform::CalendarDate date;
  if (!DecodeDayNumber(n, &date.year, &date.month, &date.day)) return std::string();
  return (centuryFlag_ != 0 ? displayFormat_ : shortDate_).Format(date);
}

int32_t TvrDBFDate::TextToDayNumber(std::string_view text) const {
  std::string trimmed = TrimTrailingBlanks(text);
  // "00000000" is how some programs write the blank date, padded or not.
  if (trimmed.empty() || trimmed == "00000000") return 0;
  if (trimmed.size() == 8) {
    bool digits = true;
    for (char c : trimmed) digits = digits && IsAsciiDigit(c);
    if (digits) {
      auto number = [&](size_t at, size_t count) {
        int value = 0;
        for (size_t i = at; i < at + count; ++i) value = value * 10 + (trimmed[i] - '0');
        return value;
      };
      int32_t n = DayNumberOf(number(0, 4), number(4, 2), number(6, 2));
      // Eight digits that are no date give date serial 0, not the blank date.
      return n != 0 ? n : dayOffset_;
    }
  }
  platform::CalendarDate date = shortDate_.Parse(trimmed);
  return DayNumberOf(date.year, date.month, date.day);
}

const TvrDBFDate& DBFDate() {
  static const TvrDBFDate instance;
  return instance;
}

}  // namespace velorin
