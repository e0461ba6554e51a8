// number_format.h — numbers as the texts stored in N and F fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velorin {

// Fixed notation with the given decimals ("." as separator, no point for 0),
// rounded half away from zero; nullopt for NaN and infinities.
std::optional<std::string> FormatFixed(double value, int decimals);

// Truncation toward zero that is defined for every double: nullopt for NaN and
// for values outside the target's range.
std::optional<int32_t> TruncateToInt32(double value);
std::optional<int64_t> TruncateToInt64(double value);

}  // namespace velorin
