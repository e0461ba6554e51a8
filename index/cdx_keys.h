// cdx_keys.h — the stored forms of CDX keys.
//
// Character keys are stored as their text without trailing blanks; on tags with
// the general collation the text is first turned into collation weights (code
// page 1252 letters: a primary string, then the non-trivial secondary weights
// as 0xF0 | weight), twice as long at most. Numeric and date keys (a date as its
// day number) are the 8-byte IEEE double made sortable as unsigned bytes: the
// top bit set for values whose sign is clear, every bit inverted for the others,
// big-endian, trailing zero bytes dropped.
//
// In pages written in place, the secondary bytes at the end of a general key
// are kept in their low four bits (SqueezeSecondary); reading turns them back
// (ExpandSecondary). Both directions are no-ops on other keys.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velorin::cdx_keys {

constexpr int32_t kNumericLength = 8;

// The sortable bytes of a number, trailing zero bytes dropped.
std::string NumericKey(double value);
// The number of a stored numeric key (missing trailing bytes are zero).
double NumericValue(std::string_view key);
// The general-collation weights of text (code page 1252).
std::string GeneralKey(std::string_view text);
// Secondary bytes (0xF0 and above) at the end of key, from its end backwards,
// kept in their low four bits; and back.
void SqueezeSecondary(std::string& key);
void ExpandSecondary(std::string& key);

}  // namespace velorin::cdx_keys
