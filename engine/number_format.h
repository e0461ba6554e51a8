// number_format.h — numbers as the texts stored in N and F fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velorin {

// Fixed notation with the given decimals ("." as separator, no point for 0),
// rounded half away from zero; nullopt for NaN and infinities.
std::optional<std::string> FormatFixed(double value, int decimals);

}  // namespace velorin
