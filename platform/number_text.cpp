#include "platform/number_text.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "platform/convert_error.h"
#include "platform/locale_settings.h"

namespace velorin::platform {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Checks the syntax and rewrites the number into the form std::from_chars reads:
// no blanks, no "+", "." as the separator. Also estimates the decimal magnitude
// so that an out-of-range result can be told apart as underflow or overflow.
bool Normalize(std::string_view text, char separator, std::string* out, bool* negativeMagnitude) {
  size_t pos = 0;
  size_t end = text.size();
  while (pos < end && text[pos] == ' ') ++pos;
  while (end > pos && text[end - 1] == ' ') --end;
  out->clear();
  if (pos < end && (text[pos] == '+' || text[pos] == '-')) {
    if (text[pos] == '-') out->push_back('-');
    ++pos;
  }
  size_t integerDigits = 0;
  long significantIntegerDigits = 0;
  while (pos < end && IsDigit(text[pos])) {
    if (significantIntegerDigits > 0 || text[pos] != '0') ++significantIntegerDigits;
    out->push_back(text[pos++]);
    ++integerDigits;
  }
  size_t fractionDigits = 0;
  long leadingFractionZeros = 0;
  bool seenNonZero = significantIntegerDigits > 0;
  if (integerDigits == 0) out->push_back('0');
  if (pos < end && (text[pos] == '.' || text[pos] == separator)) {
    ++pos;
    if (pos < end && IsDigit(text[pos])) out->push_back('.');
    while (pos < end && IsDigit(text[pos])) {
      if (!seenNonZero) {
        if (text[pos] == '0') ++leadingFractionZeros; else seenNonZero = true;
      }
      out->push_back(text[pos++]);
      ++fractionDigits;
    }
  }
  if (integerDigits + fractionDigits == 0) return false;
  long exponent = 0;
  if (pos < end && (text[pos] == 'e' || text[pos] == 'E')) {
    out->push_back('e');
    ++pos;
    bool negative = false;
    if (pos < end && (text[pos] == '+' || text[pos] == '-')) {
      negative = text[pos] == '-';
      if (negative) out->push_back('-');
      ++pos;
    }
    size_t exponentDigits = 0;
    while (pos < end && IsDigit(text[pos])) {
      if (exponent < 100000) exponent = exponent * 10 + (text[pos] - '0');
      out->push_back(text[pos++]);
      ++exponentDigits;
    }
    if (exponentDigits == 0) return false;
    if (negative) exponent = -exponent;
  }
  if (pos != end) return false;
  long magnitude = significantIntegerDigits > 0 ? significantIntegerDigits : -leadingFractionZeros;
  *negativeMagnitude = magnitude + exponent < 0;
  return true;
}

// The numbers that fields hold most: [blanks] [+|-] digits [separator digits]
// [blanks] with at most 15 digits in all. Such a mantissa and the power of ten
// below it are exact doubles, so one correctly rounded division gives the very
// value std::from_chars would. False (nothing decided) for any other text.
bool ConvertShortDecimal(std::string_view text, char separator, double* value) {
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6, 1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  constexpr size_t kMaxDigits = 15;
  size_t pos = 0;
  size_t end = text.size();
  while (pos < end && text[pos] == ' ') ++pos;
  while (end > pos && text[end - 1] == ' ') --end;
  bool negative = false;
  if (pos < end && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  int64_t mantissa = 0;
  size_t digits = 0;
  size_t fractionDigits = 0;
  bool inFraction = false;
  for (; pos < end; ++pos) {
    char c = text[pos];
    if (IsDigit(c)) {
      if (++digits > kMaxDigits) return false;
      mantissa = mantissa * 10 + (c - '0');
      if (inFraction) ++fractionDigits;
    } else if (!inFraction && (c == '.' || c == separator)) {
      inFraction = true;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  double result = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
  *value = negative ? -result : result;
  return true;
}

bool Convert(std::string_view text, char separator, double* value) {
  if (ConvertShortDecimal(text, separator, value)) return true;
  std::string normalized;
  bool small = false;
  if (!Normalize(text, separator, &normalized, &small)) return false;
  double result = 0.0;
  const char* first = normalized.data();
  const char* last = first + normalized.size();
  auto [ptr, ec] = std::from_chars(first, last, result, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    if (!small) return false;
    result = normalized[0] == '-' ? -0.0 : 0.0;
  } else if (ec != std::errc() || ptr != last) {
    return false;
  }
  *value = result;
  return true;
}

}  // namespace

bool TryTextToFloat(std::string_view text, double* value) { return Convert(text, '.', value); }

double TextToFloat(std::string_view text) {
  double value = 0.0;
  if (!TryTextToFloat(text, &value)) RaiseInvalidFloat(text);
  return value;
}

bool TryLocaleTextToFloat(std::string_view text, char decimalSeparator, double* value) {
  return Convert(text, decimalSeparator, value);
}

double LocaleTextToFloat(std::string_view text, char decimalSeparator) {
  double value = 0.0;
  if (!TryLocaleTextToFloat(text, decimalSeparator, &value)) RaiseInvalidFloat(text);
  return value;
}

double LocaleTextToFloat(std::string_view text) {
  return LocaleTextToFloat(text, ActiveLocale().DecimalSeparator());
}

std::string FloatToText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0.0) return "0";  // also -0
  char buffer[64];
  auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  if (ec != std::errc()) return "0";
  std::string text(buffer, ptr);
  // to_chars writes 1e+15 and 1.5e-07; the engine's form is 1E15 and 1.5E-7.
  size_t e = text.find('e');
  if (e == std::string::npos) return text;
  std::string mantissa = text.substr(0, e);
  size_t pos = e + 1;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  while (pos + 1 < text.size() && text[pos] == '0') ++pos;
  return mantissa + "E" + (negative ? "-" : "") + text.substr(pos);
}

}  // namespace velorin::platform
