// exp_types.h — what every part of the expression evaluator shares: the value
// types of expressions, the value buffer, and the one error class.
//
// An evaluation writes its value into a buffer of kExpValueSize bytes and
// reports its type: text as zero-terminated characters (at most
// kExpMaxTextLength of them), numbers and dates as an 8-byte double, booleans as
// one byte 0 or 1, a field reference as the table and the field number. Every
// failure is an EVelorinExpression carrying one of the messages below.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/vr6_eror.h"

namespace velorin {

// TvrExpType codes.
using TvrExpType = uint8_t;
namespace exp_type {
constexpr TvrExpType kNone = 0;       // no expression
constexpr TvrExpType kUndefined = 1;  // missing argument or operand, failed function
constexpr TvrExpType kAny = 2;        // only as a requirement: every type will do
constexpr TvrExpType kText = 3;
constexpr TvrExpType kNumber = 4;
constexpr TvrExpType kNumber2 = 5;    // treated like kNumber
constexpr TvrExpType kDate = 6;       // the day number as a double; kBlankDate is blank
constexpr TvrExpType kDate2 = 7;      // like kDate in operators, a number as an engine value
constexpr TvrExpType kBoolean = 8;
constexpr TvrExpType kFieldRef = 9;   // memo and other fields without a value of their own
}  // namespace exp_type

// Types 4 to 7 may be mixed in operators.
constexpr bool IsNumericGroup(TvrExpType type) { return type >= exp_type::kNumber && type <= exp_type::kDate2; }
constexpr bool IsDateType(TvrExpType type) { return type == exp_type::kDate || type == exp_type::kDate2; }

// The blank date as CTOD of an empty text gives it.
constexpr double kBlankDate = 1.0E100;

// Limits of texts and values.
constexpr size_t kExpValueSize = 512;
constexpr size_t kExpMaxTextLength = kExpValueSize - 1;   // a value, a word, a literal, a whole text
constexpr size_t kExpMaxVariantLength = 255;              // a value converted to an engine value

// The buffer every evaluation writes into.
using TvrExpBuffer = std::array<char, kExpValueSize>;

inline double ReadExpDouble(const char* buffer) {
  double value;
  std::memcpy(&value, buffer, sizeof value);
  return value;
}
inline void WriteExpDouble(char* buffer, double value) { std::memcpy(buffer, &value, sizeof value); }

// The evaluator's error. It is an engine error, so whoever catches those
// catches expression errors too.
class EVelorinExpression : public EVelorinError {
 public:
  explicit EVelorinExpression(const std::string& message) : EVelorinError(message) {}
};

// The messages, with their %s and %d.
namespace exp_message {
constexpr const char* kMissingParenthesis = "Missing closing parentheses";
constexpr const char* kCannotEvaluate = "Expression cannot be evaluated";
constexpr const char* kNoFunction = "There is no function for %s";
constexpr const char* kUnknownName = "Field/variable %s is unknown";
constexpr const char* kArgumentType = "%s needed for Argument %d of %s";
constexpr const char* kTargetMissing = "Target value missing for %s operation";
constexpr const char* kSidesMismatch = "The two sides of an operation do not match";
constexpr const char* kValueInvalid = "A %s value is required but invalid";
constexpr const char* kDivisionByZero = "Division by zero";
constexpr const char* kOverflow = "Floating point overflow";
constexpr const char* kInvalidOperation = "Invalid floating point operation";
constexpr const char* kTextTooLong = "Expression text longer than 511 characters";
constexpr const char* kValueTooLong = "Value longer than %d bytes in %s";
constexpr const char* kEmptyArgument = "Argument %d of %s is empty";
}  // namespace exp_message

// Raises EVelorinExpression with the message, "%s" replaced by the texts in
// order and "%d" by the numbers in order.
[[noreturn]] void RaiseExpression(std::string_view format);
[[noreturn]] void RaiseExpression(std::string_view format, std::string_view text);
[[noreturn]] void RaiseExpression(std::string_view format, std::string_view text1, int32_t number,
                                  std::string_view text2);
[[noreturn]] void RaiseExpressionNumber(std::string_view format, int32_t number, std::string_view text);

// The word that names a required type in messages: "Text", "Number", "Date",
// "Boolean", or "Unknown Value".
const char* ExpTypeWord(TvrExpType type);

// The checks of a double result: NaN raises "Invalid floating point operation",
// an infinity "Floating point overflow".
void CheckExpResult(double value);

}  // namespace velorin
