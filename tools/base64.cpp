#include "tools/base64.h"

#include <array>
#include <cstdint>

namespace velorin::tools {

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';
constexpr int8_t kNotInAlphabet = -1;

constexpr std::array<int8_t, 256> MakeDecodeTable() {
  std::array<int8_t, 256> table{};
  for (auto& entry : table) entry = kNotInAlphabet;
  for (size_t i = 0; i < kAlphabet.size(); ++i) table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
  return table;
}

constexpr std::array<int8_t, 256> kDecode = MakeDecodeTable();

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    uint32_t group = (uint32_t{static_cast<uint8_t>(bytes[i])} << 16) |
                     (uint32_t{static_cast<uint8_t>(bytes[i + 1])} << 8) | static_cast<uint8_t>(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) text += kAlphabet[(group >> shift) & 0x3F];
  }
  size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t group = uint32_t{static_cast<uint8_t>(bytes[i])} << 16;
    if (rest == 2) group |= uint32_t{static_cast<uint8_t>(bytes[i + 1])} << 8;
    text += kAlphabet[(group >> 18) & 0x3F];
    text += kAlphabet[(group >> 12) & 0x3F];
    text += rest == 2 ? kAlphabet[(group >> 6) & 0x3F] : kPad;
    text += kPad;
  }
  return text;
}

bool Base64Decode(std::string_view text, std::string* bytes) {
  bytes->clear();
  if (text.size() % 4 != 0) return false;
  bytes->reserve(text.size() / 4 * 3);
  for (size_t i = 0; i < text.size(); i += 4) {
    bool last = i + 4 == text.size();
    size_t padding = 0;
    if (last) {
      if (text[i + 3] == kPad) ++padding;
      if (padding == 1 && text[i + 2] == kPad) ++padding;
    }
    uint32_t group = 0;
    for (size_t k = 0; k < 4; ++k) {
      int8_t value = k < 4 - padding ? kDecode[static_cast<uint8_t>(text[i + k])] : 0;
      if (value == kNotInAlphabet) return false;
      group = (group << 6) | static_cast<uint32_t>(value);
    }
    // A canonical encoding leaves the bits under the padding zero.
    if ((padding == 1 && (group & 0xFF) != 0) || (padding == 2 && (group & 0xFFFF) != 0)) return false;
    bytes->push_back(static_cast<char>(group >> 16));
    if (padding < 2) bytes->push_back(static_cast<char>(group >> 8));
    if (padding < 1) bytes->push_back(static_cast<char>(group));
  }
  return true;
}

}  // namespace velorin::tools
