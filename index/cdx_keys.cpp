#include "index/cdx_keys.h"

#include <array>
#include <cstring>

namespace velorin::cdx_keys {

namespace {

// Primary weights by byte value (code page 1252); 0, 6, 12 and 18 expand to
// two letters (OE, AE, SS, TH).
constexpr std::array<uint8_t, 256> kPrimary = {
    16,  16,  16,  16,  16,  16,  16,  16,  16,  17,  16,  16,  16,  16,  16,  16,   //
    16,  16,  16,  16,  16,  16,  16,  16,  16,  16,  16,  16,  16,  16,  16,  16,   //
    17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,  32,   //
    86,  87,  88,  89,  90,  91,  92,  93,  94,  95,  33,  34,  35,  36,  37,  38,   //
    39,  96,  97,  98,  100, 102, 103, 104, 105, 106, 107, 108, 109, 111, 112, 114,  //
    115, 116, 117, 118, 119, 120, 122, 123, 124, 125, 126, 40,  41,  42,  43,  44,   //
    45,  96,  97,  98,  100, 102, 103, 104, 105, 106, 107, 108, 109, 111, 112, 114,  //
    115, 116, 117, 118, 119, 120, 122, 123, 124, 125, 126, 46,  47,  48,  49,  16,   //
    16,  16,  24,  50,  19,  51,  52,  53,  54,  55,  118, 24,  0,   16,  16,  16,   //
    16,  24,  24,  19,  19,  56,  30,  30,  57,  58,  118, 24,  0,   16,  16,  125,  //
    32,  59,  60,  61,  62,  63,  64,  65,  66,  67,  68,  19,  69,  30,  70,  71,   //
    72,  73,  88,  89,  74,  75,  76,  77,  78,  87,  79,  19,  80,  81,  82,  83,   //
    96,  96,  96,  96,  96,  96,  6,   98,  102, 102, 102, 102, 106, 106, 106, 106,  //
    101, 112, 114, 114, 114, 114, 114, 84,  129, 120, 120, 120, 120, 125, 18,  12,   //
    96,  96,  96,  96,  96,  96,  6,   98,  102, 102, 102, 102, 106, 106, 106, 106,  //
    101, 112, 114, 114, 114, 114, 114, 85,  129, 120, 120, 120, 120, 125, 18,  125,  //
};

constexpr uint8_t kExpands = 128;  // a secondary weight that takes two from the expansion table

constexpr std::array<uint8_t, 256> SecondaryWeights() {
  std::array<uint8_t, 256> weights{};
  for (uint8_t c : {65, 67, 69, 73, 78, 79, 83, 85, 89}) weights[c] = weights[c + 32] = 32;
  weights[138] = weights[154] = 40;
  for (int c : {140, 156, 198, 222, 223, 230, 254}) weights[c] = kExpands;
  weights[159] = 36;
  weights[160] = 33;
  constexpr uint8_t kAccents[4][16] = {
      {34, 33, 35, 37, 36, 38, 128, 39, 34, 33, 35, 36, 34, 33, 35, 36},  // 192..207
      {0, 37, 34, 33, 35, 37, 36, 0, 0, 34, 33, 35, 36, 33, 128, 128},    // 208..223
      {34, 33, 35, 37, 36, 38, 128, 39, 34, 33, 35, 36, 34, 33, 35, 36},  // 224..239
      {0, 37, 34, 33, 35, 37, 36, 0, 0, 34, 33, 35, 36, 33, 128, 36},     // 240..255
  };
  for (int row = 0; row < 4; ++row) {
    for (int i = 0; i < 16; ++i) weights[192 + row * 16 + i] = kAccents[row][i];
  }
  return weights;
}

constexpr std::array<uint8_t, 256> kSecondary = SecondaryWeights();

constexpr std::array<uint8_t, 32> kExpansion = {0, 2, 114, 32, 102, 32, 0, 2, 96,  32, 102, 32, 0, 2, 118, 32,
                                                118, 32, 0, 2, 119, 0, 105, 0, 0, 0, 0, 0, 0, 0, 0, 0};

constexpr uint8_t kSecondaryMark = 0xF0;
constexpr uint8_t kSqueezedTop = 0x0F;

}  // namespace

std::string NumericKey(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bits = (bits >> 63) != 0 ? ~bits : bits | (uint64_t{1} << 63);
  std::string key(kNumericLength, '\0');
  for (int i = 0; i < kNumericLength; ++i) key[static_cast<size_t>(i)] = static_cast<char>(bits >> (56 - 8 * i));
  while (!key.empty() && key.back() == '\0') key.pop_back();
  return key;
}

double NumericValue(std::string_view key) {
  uint64_t bits = 0;
  for (size_t i = 0; i < static_cast<size_t>(kNumericLength); ++i) {
    bits = (bits << 8) | (i < key.size() ? static_cast<uint8_t>(key[i]) : 0u);
  }
  bits = (bits >> 63) != 0 ? bits & ~(uint64_t{1} << 63) : ~bits;
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string GeneralKey(std::string_view text) {
  std::string primary;
  std::string secondary;
  for (char c : text) {
    auto b = static_cast<uint8_t>(c);
    uint8_t p = kPrimary[b];
    uint8_t s = kSecondary[b];
    if (p % 6 == 0 && p <= 24 && kExpansion[p + 1] != 0) {
      primary += static_cast<char>(kExpansion[p + 2]);
      primary += static_cast<char>(kExpansion[p + 4]);
    } else {
      primary += static_cast<char>(p);
    }
    if (s == 0) continue;
    if (s == kExpands) {
      // Only the expanding primaries (below 25) carry this weight.
      if (p <= 24 && kExpansion[p + 3] != 0) secondary += static_cast<char>(kExpansion[p + 3] | kSecondaryMark);
      if (p <= 24 && kExpansion[p + 5] != 0) secondary += static_cast<char>(kExpansion[p + 5] | kSecondaryMark);
    } else {
      secondary += static_cast<char>(s | kSecondaryMark);
    }
  }
  while (!secondary.empty() && static_cast<uint8_t>(secondary.back()) == kSecondaryMark) secondary.pop_back();
  return primary + secondary;
}

void SqueezeSecondary(std::string& key) {
  for (size_t i = key.size(); i-- > 1;) {
    auto b = static_cast<uint8_t>(key[i]);
    if (b < kSecondaryMark) break;
    key[i] = static_cast<char>(b & kSqueezedTop);
  }
}

void ExpandSecondary(std::string& key) {
  for (size_t i = key.size(); i-- > 1;) {
    auto b = static_cast<uint8_t>(key[i]);
    if (b > kSqueezedTop) break;
    key[i] = static_cast<char>(b | kSecondaryMark);
  }
}

}  // namespace velorin::cdx_keys
