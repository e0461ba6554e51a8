// base64.h — the standard Base64 alphabet (RFC 4648, with "=" padding), for the
// bytes of binary and general memo fields in JSON.
#pragma once

#include <string>
#include <string_view>

namespace velorin::tools {

std::string Base64Encode(std::string_view bytes);

// False for a text that is not Base64: a character outside the alphabet, a
// length that is not a multiple of four, padding anywhere but at the end, or
// bits left over in the last character. Line breaks are not accepted either.
bool Base64Decode(std::string_view text, std::string* bytes);

}  // namespace velorin::tools
