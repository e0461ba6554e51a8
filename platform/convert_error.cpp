#include "platform/convert_error.h"

namespace velorin::platform {

void RaiseInvalidDate(std::string_view text) {
  throw EConvertError("'" + std::string(text) + "' is not a valid date");
}

void RaiseInvalidFloat(std::string_view text) {
  throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

}  // namespace velorin::platform
