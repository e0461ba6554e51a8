#include "platform/date_format.h"

#include <cstdio>

#include "platform/convert_error.h"

namespace velorin::platform {

namespace {

constexpr size_t kMaxPatternLength = 64;

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void AppendNumber(std::string* out, int value, int minDigits) {
  char buffer[16];
  int written = std::snprintf(buffer, sizeof buffer, "%0*d", minDigits, value);
  if (written > 0 && static_cast<size_t>(written) < sizeof buffer) out->append(buffer, written);
}

// Reads 1 to maxDigits digits at text[*pos]; false when there is none.
bool ReadNumber(std::string_view text, size_t* pos, int maxDigits, int* value, int* digits) {
  *value = 0;
  *digits = 0;
  while (*pos < text.size() && *digits < maxDigits && IsDigit(text[*pos])) {
    *value = *value * 10 + (text[*pos] - '0');
    ++*digits;
    ++*pos;
  }
  return *digits > 0;
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidCalendarDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && day >= 1 && day <= DaysInMonth(year, month);
}

bool ShortDateFormat::Tokenize(std::string_view pattern, std::vector<Token>* tokens) {
  tokens->clear();
  if (pattern.empty() || pattern.size() > kMaxPatternLength) return false;
  int days = 0, months = 0, years = 0;
  size_t i = 0;
  while (i < pattern.size()) {
    char c = pattern[i];
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) return false;
    char upper = AsciiUpper(c);
    bool letter = upper >= 'A' && upper <= 'Z';
    if (!letter) {
      if (tokens->empty() || tokens->back().field != Field::kLiteral) {
        tokens->push_back(Token{Field::kLiteral, 0, {}});
      }
      tokens->back().literal.push_back(c);
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() && AsciiUpper(pattern[i + run]) == upper) ++run;
    Field field;
    size_t maxRun;
    switch (upper) {
      case 'D': field = Field::kDay, maxRun = 2, ++days; break;
      case 'M': field = Field::kMonth, maxRun = 2, ++months; break;
      case 'Y': field = Field::kYear, maxRun = 4, ++years; break;
      default: return false;
    }
    if (run > maxRun) return false;
    tokens->push_back(Token{field, static_cast<int>(run), {}});
    i += run;
  }
  return days == 1 && months == 1 && years == 1;
}

ShortDateFormat::ShortDateFormat(std::string_view pattern) {
  if (Tokenize(pattern, &tokens_)) {
    pattern_ = std::string(pattern);
  } else {
    pattern_ = kFallbackPattern;
    Tokenize(pattern_, &tokens_);
  }
}

ShortDateFormat ShortDateFormat::WithFourDigitYear() const {
  std::string upper = pattern_;
  for (char& c : upper) c = AsciiUpper(c);
  size_t firstY = upper.find('Y');
  // A usable pattern always has a year, so this ends; without one it would not.
  while (firstY != std::string::npos && upper.find("YYYY") == std::string::npos) {
    upper.insert(firstY, 1, 'Y');
  }
  return ShortDateFormat(upper);
}

std::string ShortDateFormat::Format(const CalendarDate& date) const {
  std::string out;
  for (const Token& token : tokens_) {
    switch (token.field) {
      case Field::kLiteral: out += token.literal; break;
      case Field::kDay: AppendNumber(&out, date.day, token.width); break;
      case Field::kMonth: AppendNumber(&out, date.month, token.width); break;
      case Field::kYear:
        if (token.width <= 2) {
          AppendNumber(&out, ((date.year % 100) + 100) % 100, 2);
        } else {
          AppendNumber(&out, date.year, 4);
        }
        break;
    }
  }
  return out;
}

bool ShortDateFormat::TryParse(std::string_view text, CalendarDate* date) const {
  size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  CalendarDate result;
  for (const Token& token : tokens_) {
    int value = 0, digits = 0;
    switch (token.field) {
      case Field::kLiteral:
        if (text.substr(pos, token.literal.size()) != token.literal) return false;
        pos += token.literal.size();
        break;
      case Field::kDay:
        if (!ReadNumber(text, &pos, 2, &value, &digits)) return false;
        result.day = value;
        break;
      case Field::kMonth:
        if (!ReadNumber(text, &pos, 2, &value, &digits)) return false;
        result.month = value;
        break;
      case Field::kYear:
        if (!ReadNumber(text, &pos, 4, &value, &digits)) return false;
        if (digits <= 2) value += value < 50 ? 2000 : 1900;
        result.year = value;
        break;
    }
  }
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos != text.size()) return false;
  if (!IsValidCalendarDate(result.year, result.month, result.day)) return false;
  *date = result;
  return true;
}

CalendarDate ShortDateFormat::Parse(std::string_view text) const {
  CalendarDate date;
  if (!TryParse(text, &date)) RaiseInvalidDate(text);
  return date;
}

}  // namespace velorin::platform
