#include "dataset/date_time.h"

#include <cmath>
#include <cstdio>

#include "engine/text_trim.h"
#include "platform/clock.h"

namespace velorin {

namespace {

constexpr int32_t kFirstSerial = -693593;  // 1 January 0001
constexpr int32_t kLastSerial = 2958465;   // 31 December 9999
constexpr int64_t kSerialOfUnixEpoch = 25569;  // 1 January 1970

// Days since 1 January 1970 of a proleptic Gregorian date (eras of 400 years).
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

TCivilDate CivilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  TCivilDate date;
  date.Day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  date.Month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  date.Year = static_cast<int>(yearOfEra + era * 400 + (date.Month <= 2 ? 1 : 0));
  return date;
}

struct SplitSerial {
  int64_t day = 0;           // the serial's day, truncated toward zero
  int64_t milliseconds = 0;  // 0 to 86,399,999 after midnight of that day
};

std::optional<SplitSerial> Split(TDateTime value) {
  if (!std::isfinite(value.Value)) return std::nullopt;
  if (value.Value < kFirstSerial - 1.0 || value.Value > kLastSerial + 1.0) return std::nullopt;
  SplitSerial split;
  double day = std::trunc(value.Value);
  split.day = static_cast<int64_t>(day);
  split.milliseconds = std::llround(std::fabs(value.Value - day) * date_time::kMillisecondsPerDay);
  if (split.milliseconds >= date_time::kMillisecondsPerDay) {  // rounded up to midnight
    split.milliseconds -= date_time::kMillisecondsPerDay;
    split.day += 1;
  }
  if (split.day < kFirstSerial || split.day > kLastSerial) return std::nullopt;
  return split;
}

TDateTime Join(int64_t day, int64_t milliseconds) {
  double fraction = static_cast<double>(milliseconds) / date_time::kMillisecondsPerDay;
  double serial = static_cast<double>(day);
  return TDateTime{day >= 0 ? serial + fraction : serial - fraction};
}

bool IsValidTime(const TTimeOfDay& t) {
  return t.Hour >= 0 && t.Hour < 24 && t.Minute >= 0 && t.Minute < 60 && t.Second >= 0 && t.Second < 60 &&
         t.Millisecond >= 0 && t.Millisecond < 1000;
}

// Reads up to maxDigits decimal digits at text[*pos]; false when there is none.
bool ReadNumber(const std::string& text, size_t* pos, int maxDigits, int* value) {
  int digits = 0;
  int result = 0;
  while (*pos < text.size() && digits < maxDigits && text[*pos] >= '0' && text[*pos] <= '9') {
    result = result * 10 + (text[*pos] - '0');
    ++*pos;
    ++digits;
  }
  *value = result;
  return digits > 0;
}

bool Expect(const std::string& text, size_t* pos, char c) {
  if (*pos < text.size() && text[*pos] == c) {
    ++*pos;
    return true;
  }
  return false;
}

}  // namespace

bool IsValidDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int last = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  return day <= last;
}

std::optional<TDateTime> EncodeDate(int year, int month, int day) {
  if (!IsValidDate(year, month, day)) return std::nullopt;
  return TDateTime{static_cast<double>(DaysFromCivil(year, month, day) + kSerialOfUnixEpoch)};
}

std::optional<TDateTime> EncodeDateTime(const TCivilDate& date, const TTimeOfDay& time) {
  if (!IsValidDate(date.Year, date.Month, date.Day) || !IsValidTime(time)) return std::nullopt;
  int64_t day = DaysFromCivil(date.Year, date.Month, date.Day) + kSerialOfUnixEpoch;
  int64_t ms = ((int64_t{time.Hour} * 60 + time.Minute) * 60 + time.Second) * 1000 + time.Millisecond;
  return Join(day, ms);
}

std::optional<TCivilDate> DecodeDate(TDateTime value) {
  auto split = Split(value);
  if (!split) return std::nullopt;
  return CivilFromDays(split->day - kSerialOfUnixEpoch);
}

TTimeOfDay DecodeTime(TDateTime value) {
  auto split = Split(value);
  TTimeOfDay t;
  if (!split) return t;
  int64_t ms = split->milliseconds;
  t.Millisecond = static_cast<int>(ms % 1000);
  t.Second = static_cast<int>(ms / 1000 % 60);
  t.Minute = static_cast<int>(ms / 60000 % 60);
  t.Hour = static_cast<int>(ms / 3600000);
  return t;
}

int32_t DayNumberOf(TDateTime value) {
  auto split = Split(value);
  if (!split) return 0;
  return static_cast<int32_t>(split->day + date_time::kSerialDayOffset);
}

TDateTime FromDayNumber(int32_t dayNumber) {
  return TDateTime{static_cast<double>(int64_t{dayNumber} - date_time::kSerialDayOffset)};
}

double ToFieldMilliseconds(TDateTime value) {
  auto split = Split(value);
  if (!split) return 0.0;
  return static_cast<double>((split->day + date_time::kSerialFromYearOne) * date_time::kMillisecondsPerDay +
                             split->milliseconds);
}

TDateTime FromFieldMilliseconds(double milliseconds) {
  if (!std::isfinite(milliseconds)) return TDateTime{};
  double days = std::floor(milliseconds / date_time::kMillisecondsPerDay);
  if (days < kFirstSerial + date_time::kSerialFromYearOne - 1.0 ||
      days > kLastSerial + date_time::kSerialFromYearOne + 1.0) {
    return TDateTime{};
  }
  auto rest = static_cast<int64_t>(std::llround(milliseconds - days * date_time::kMillisecondsPerDay));
  auto day = static_cast<int64_t>(days) - date_time::kSerialFromYearOne;
  if (rest >= date_time::kMillisecondsPerDay) {
    rest -= date_time::kMillisecondsPerDay;
    day += 1;
  }
  return Join(day, rest);
}

TDateTime Now() {
  platform::LocalDateTime now = platform::LocalNow();
  auto value = EncodeDateTime({now.year, now.month, now.day}, {now.hour, now.minute, now.second, now.millisecond});
  return value.value_or(TDateTime{});
}

std::string FormatDate(TDateTime value) {
  auto date = DecodeDate(value);
  if (!date) return {};
  char text[16];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d", date->Day, date->Month, date->Year);
  return text;
}

std::string FormatDateTime(TDateTime value) {
  auto date = DecodeDate(value);
  if (!date) return {};
  TTimeOfDay t = DecodeTime(value);
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", date->Day, date->Month, date->Year, t.Hour,
                t.Minute, t.Second);
  return text;
}

std::optional<TDateTime> ParseDateTime(const std::string& input) {
  const std::string text = TrimWhiteSpace(input);
  if (text.empty()) return std::nullopt;

  TCivilDate date;
  size_t pos = 0;
  size_t firstDigits = 0;
  while (firstDigits < text.size() && text[firstDigits] >= '0' && text[firstDigits] <= '9') ++firstDigits;
  if (firstDigits == 8) {  // yyyymmdd
    ReadNumber(text, &pos, 4, &date.Year);
    ReadNumber(text, &pos, 2, &date.Month);
    ReadNumber(text, &pos, 2, &date.Day);
  } else if (firstDigits == 4) {  // yyyy-mm-dd
    ReadNumber(text, &pos, 4, &date.Year);
    if (!Expect(text, &pos, '-') || !ReadNumber(text, &pos, 2, &date.Month) || !Expect(text, &pos, '-') ||
        !ReadNumber(text, &pos, 2, &date.Day)) {
      return std::nullopt;
    }
  } else if (firstDigits == 1 || firstDigits == 2) {  // dd.mm.yyyy
    ReadNumber(text, &pos, 2, &date.Day);
    if (!Expect(text, &pos, '.') || !ReadNumber(text, &pos, 2, &date.Month) || !Expect(text, &pos, '.')) {
      return std::nullopt;
    }
    size_t yearStart = pos;
    if (!ReadNumber(text, &pos, 4, &date.Year) || pos - yearStart != 4) return std::nullopt;
  } else {
    return std::nullopt;
  }

  TTimeOfDay time;
  if (pos < text.size()) {
    if (!Expect(text, &pos, ' ')) return std::nullopt;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (!ReadNumber(text, &pos, 2, &time.Hour) || !Expect(text, &pos, ':') ||
        !ReadNumber(text, &pos, 2, &time.Minute)) {
      return std::nullopt;
    }
    if (Expect(text, &pos, ':') && !ReadNumber(text, &pos, 2, &time.Second)) return std::nullopt;
    if (pos != text.size()) return std::nullopt;
  }
  return EncodeDateTime(date, time);
}

}  // namespace velorin
