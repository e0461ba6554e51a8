// fuzz_input.h — how one fuzz input holds a table and its memo file:
//
//   uint32 little-endian n, then n bytes of the DBF file, then the memo file
//
// where the top bit of n asks for the writing phase as well (kWriteFlag) and
// the other bits give the length (larger than what follows: all of it). The seed corpus is written in
// this form, and the fuzz target splits its inputs the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velorin::fuzz {

constexpr size_t kLengthPrefix = 4;

constexpr uint32_t kWriteFlag = 0x80000000u;

struct TableFiles {
  std::string_view dbf;
  std::string_view memo;
  bool write = false;
};

inline TableFiles SplitInput(const uint8_t* data, size_t size) {
  if (size < kLengthPrefix) return {};
  uint32_t n = uint32_t{data[0]} | (uint32_t{data[1]} << 8) | (uint32_t{data[2]} << 16) | (uint32_t{data[3]} << 24);
  bool write = (n & kWriteFlag) != 0;
  n &= ~kWriteFlag;
  std::string_view rest(reinterpret_cast<const char*>(data + kLengthPrefix), size - kLengthPrefix);
  size_t dbfLength = n < rest.size() ? n : rest.size();
  return {rest.substr(0, dbfLength), rest.substr(dbfLength), write};
}

inline std::string JoinInput(const std::string& dbf, const std::string& memo, bool write) {
  std::string input(kLengthPrefix, '\0');
  uint32_t n = static_cast<uint32_t>(dbf.size()) | (write ? kWriteFlag : 0);
  for (size_t i = 0; i < kLengthPrefix; ++i) input[i] = static_cast<char>(n >> (8 * i));
  return input + dbf + memo;
}

}  // namespace velorin::fuzz
