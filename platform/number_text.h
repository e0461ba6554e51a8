// number_text.h — numbers as text, the same whatever the user's locale.
//
// Numbers in fields, keys and expression texts always use "." as the decimal
// separator. The syntax read is
//   [blanks] [+|-] digits [. [digits]] [(E|e) [+|-] digits] [blanks]
// or the same with no digits before the separator but at least one after it
// (".5"). Blanks are spaces. Anything else, an empty text, or a value beyond the
// range of a double is a conversion error; a value too small for a double reads 0.
// No C library locale is consulted (std::from_chars / std::to_chars).
#pragma once

#include <string>
#include <string_view>

namespace velorin::platform {

// The platform's standard numeric conversion, "." only.
bool TryTextToFloat(std::string_view text, double* value);
// Throws EConvertError "'<text>' is not a valid floating point value".
double TextToFloat(std::string_view text);

// The conversion where the locale counts (the VAL function): the decimal separator
// may be "." or the given separator.
bool TryLocaleTextToFloat(std::string_view text, char decimalSeparator, double* value);
double LocaleTextToFloat(std::string_view text, char decimalSeparator);
// With the active locale's separator (locale_settings.h).
double LocaleTextToFloat(std::string_view text);

// The shortest text of the value at 15 significant digits, with "." : 0.1, 2.5,
// -17, 1E15, 1.5E-7 (fixed notation for decimal exponents -5 to 14, otherwise
// mantissa, "E" and the exponent without leading zeros); "NAN", "INF", "-INF".
std::string FloatToText(double value);

}  // namespace velorin::platform
