// date_format.h — the locale's short date format: showing and reading a calendar date.
//
// A format is a pattern of fields and separators: d or dd (day), M or MM (month),
// y or yy (two-digit year), yyy or yyyy (four-digit year), letters in either case;
// every character that is not a letter is a literal separator. A one-letter day or
// month is written without padding, a two-letter one with two digits; a year with
// two or four digits. A pattern that lacks a day, a month or a year, repeats one,
// has a run too long (ddd, MMM, yyyyy), or holds any other letter or a byte outside
// printable ASCII cannot serve and is replaced by the fallback dd.MM.yyyy.
//
// Reading is lenient in digit counts, strict in separators: leading and trailing
// blanks are skipped, a day or month is 1-2 digits, a year 1-4 digits, and the
// separators must be those of the pattern. A year of one or two digits falls in
// 1950-2049 (00-49 -> 2000-2049, 50-99 -> 1950-1999). The calendar is proleptic
// Gregorian, years 1 to 9999.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velorin::platform {

struct CalendarDate {
  int year = 0;
  int month = 0;  // 1-12
  int day = 0;    // 1-31
  friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

bool IsLeapYear(int year);
// 0 for a month outside 1-12.
int DaysInMonth(int year, int month);
// Year 1-9999, month 1-12, day within the month.
bool IsValidCalendarDate(int year, int month, int day);

class ShortDateFormat {
 public:
  static constexpr const char* kFallbackPattern = "dd.MM.yyyy";

  // An unusable pattern gives the fallback (see above).
  explicit ShortDateFormat(std::string_view pattern = kFallbackPattern);

  // The pattern in effect: the one given, or the fallback.
  const std::string& Pattern() const { return pattern_; }

  // The pattern in upper case with a four-digit year: while it lacks "YYYY" one
  // more "Y" goes in at its first "Y". dd.MM.yy -> DD.MM.YYYY.
  ShortDateFormat WithFourDigitYear() const;

  // The date in this format; the fields of an invalid date are written as given.
  std::string Format(const CalendarDate& date) const;

  // False when the text is not a valid calendar date in this format.
  bool TryParse(std::string_view text, CalendarDate* date) const;
  // Throws EConvertError "'<text>' is not a valid date".
  CalendarDate Parse(std::string_view text) const;

 private:
  enum class Field { kLiteral, kDay, kMonth, kYear };
  struct Token {
    Field field;
    int width;            // letters in the run (fields)
    std::string literal;  // the separator text (literals)
  };

  static bool Tokenize(std::string_view pattern, std::vector<Token>* tokens);

  std::string pattern_;
  std::vector<Token> tokens_;
};

}  // namespace velorin::platform
