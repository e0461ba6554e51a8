// fuzz_input.h — how one fuzz input holds a table and its memo file:
//
//   uint32 little-endian n, then n bytes of the DBF file, then the memo file
//
// (n larger than what follows takes all of it). The seed corpus is written in
// this form, and the fuzz target splits its inputs the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velorin::fuzz {

constexpr size_t kLengthPrefix = 4;

struct TableFiles {
  std::string_view dbf;
  std::string_view memo;
};

inline TableFiles SplitInput(const uint8_t* data, size_t size) {
  if (size < kLengthPrefix) return {};
  uint32_t n = uint32_t{data[0]} | (uint32_t{data[1]} << 8) | (uint32_t{data[2]} << 16) | (uint32_t{data[3]} << 24);
  std::string_view rest(reinterpret_cast<const char*>(data + kLengthPrefix), size - kLengthPrefix);
  size_t dbfLength = n < rest.size() ? n : rest.size();
  return {rest.substr(0, dbfLength), rest.substr(dbfLength)};
}

inline std::string JoinInput(const std::string& dbf, const std::string& memo) {
  std::string input(kLengthPrefix, '\0');
  for (size_t i = 0; i < kLengthPrefix; ++i) input[i] = static_cast<char>(dbf.size() >> (8 * i));
  return input + dbf + memo;
}

}  // namespace velorin::fuzz
