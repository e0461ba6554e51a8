#include "index/mdx_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

namespace velorin::mdx_number {

namespace {

constexpr size_t kDigitBytes = kSize - 2;
constexpr int kLowestExponent = 1 - kExponentBias;   // exponent byte 1
constexpr int kHighestExponent = 255 - kExponentBias;  // exponent byte 255

// The number of digit bytes up to the last non-zero one.
int UsedDigitBytes(const uint8_t* digits) {
  int used = static_cast<int>(kDigitBytes);
  while (used > 0 && digits[used - 1] == 0) --used;
  return used;
}

void Invert(uint8_t* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(~bytes[i]);
}

void MakeZero(uint8_t* sortable) {
  std::memset(sortable, 0, kSize);
  sortable[0] = kClassPositive;
}

}  // namespace

bool SortableFromValue(double value, uint8_t* sortable) {
  if (!std::isfinite(value)) return false;
  MakeZero(sortable);
  if (value == 0) return true;
  // d.dddddddddddddde±x: fifteen significant digits, independent of the locale.
  char text[40];
  auto [end, error] = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific,
                                    kMaxDigits - 1);
  if (error != std::errc()) return false;
  std::string digits;
  const char* p = text;
  for (; p < end && *p != 'e'; ++p) {
    if (*p >= '0' && *p <= '9') digits += *p;
  }
  int exponent = 0;
  if (p < end) std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exponent);
  exponent += 1;  // d.ddd × 10^x is 0.dddd × 10^(x + 1)
  if (exponent < kLowestExponent || exponent > kHighestExponent) return false;
  sortable[0] = value < 0 ? kClassNegative : kClassPositive;
  sortable[1] = static_cast<uint8_t>(exponent + kExponentBias);
  for (size_t i = 0; i < digits.size() && i < 2 * kDigitBytes; ++i) {
    auto digit = static_cast<uint8_t>(digits[i] - '0');
    sortable[2 + i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? digit << 4 : digit);
  }
  if (value < 0) Invert(sortable + 1, kSize - 1);
  return true;
}

void PackedFromSortable(const uint8_t* sortable, uint8_t* packed) {
  bool negative = sortable[0] == kClassNegative;
  uint8_t body[kSize - 1];
  std::memcpy(body, sortable + 1, kSize - 1);
  if (negative) Invert(body, kSize - 1);
  std::memset(packed, 0, kSize);
  int used = UsedDigitBytes(body + 1);
  if (used == 0) {  // zero, whatever its exponent byte
    packed[0] = kExponentBias;
    packed[1] = 1;
    return;
  }
  packed[0] = body[0];
  packed[1] = static_cast<uint8_t>(8 * used + 1 + (negative ? kNegative : 0));
  std::memcpy(packed + 2, body + 1, static_cast<size_t>(used));
}

void SortableFromPacked(const uint8_t* packed, uint8_t* sortable) {
  MakeZero(sortable);
  size_t counted = std::min<size_t>((packed[1] & ~kNegative) >> 3, kDigitBytes);
  std::memcpy(sortable + 2, packed + 2, counted);
  if (UsedDigitBytes(sortable + 2) == 0) {
    MakeZero(sortable);
    return;
  }
  bool negative = (packed[1] & kNegative) != 0;
  sortable[0] = negative ? kClassNegative : kClassPositive;
  sortable[1] = packed[0];
  if (negative) Invert(sortable + 1, kSize - 1);
}

double ValueOfSortable(const uint8_t* sortable) {
  uint8_t body[kSize - 1];
  std::memcpy(body, sortable + 1, kSize - 1);
  bool negative = sortable[0] == kClassNegative;
  if (negative) Invert(body, kSize - 1);
  if (UsedDigitBytes(body + 1) == 0) return 0;
  std::string text = "0.";
  for (size_t i = 0; i < kDigitBytes; ++i) {
    text += static_cast<char>('0' + std::min(body[1 + i] >> 4, 9));
    text += static_cast<char>('0' + std::min(body[1 + i] & 0x0F, 9));
  }
  text += "e" + std::to_string(static_cast<int>(body[0]) - kExponentBias);
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return negative ? -value : value;
}

}  // namespace velorin::mdx_number
