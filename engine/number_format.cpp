#include "engine/number_format.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace velorin {

namespace {
// Digits formatted beyond the wanted ones before rounding by hand: to_chars is
// exact to the last digit it writes, so a tie shows as 5 followed by zeros.
constexpr int kGuardDigits = 30;
}  // namespace

std::optional<std::string> FormatFixed(double value, int decimals) {
  if (!std::isfinite(value)) return std::nullopt;
  if (decimals < 0) decimals = 0;
  std::vector<char> buffer(400 + static_cast<size_t>(decimals) + kGuardDigits);
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed,
                              decimals + kGuardDigits);
  if (result.ec != std::errc()) return std::nullopt;
  std::string text(buffer.data(), result.ptr);
  bool negative = !text.empty() && text[0] == '-';
  if (negative) text.erase(0, 1);
  size_t point = text.find('.');
  char firstDropped = text[point + 1 + static_cast<size_t>(decimals)];
  text.resize(decimals == 0 ? point : point + 1 + static_cast<size_t>(decimals));
  if (firstDropped >= '5') {
    // Half away from zero: add one unit in the last kept digit.
    int i = static_cast<int>(text.size()) - 1;
    for (; i >= 0; --i) {
      if (text[i] == '.') continue;
      if (text[i] == '9') {
        text[i] = '0';
      } else {
        ++text[i];
        break;
      }
    }
    if (i < 0) text.insert(text.begin(), '1');
  }
  bool allZero = text.find_first_not_of("0.") == std::string::npos;
  if (negative && !allZero) text.insert(text.begin(), '-');
  return text;
}

}  // namespace velorin
