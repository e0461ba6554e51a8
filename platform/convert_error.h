// convert_error.h — the platform's conversion error: a text that is not a number
// or not a date.
//
// Raised by the number and date parsers of this layer with messages such as
//   '31.02.2026' is not a valid date
//   '1,2x' is not a valid floating point value
// The engine lets it reach its callers unchanged where they expect it (a date
// typed by the user, CTOD) and turns it into its own messages elsewhere (a number
// or date read from a field).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace velorin::platform {

class EConvertError : public std::runtime_error {
 public:
  explicit EConvertError(const std::string& message) : std::runtime_error(message) {}
};

// "'<text>' is not a valid date"
[[noreturn]] void RaiseInvalidDate(std::string_view text);
// "'<text>' is not a valid floating point value"
[[noreturn]] void RaiseInvalidFloat(std::string_view text);

}  // namespace velorin::platform
