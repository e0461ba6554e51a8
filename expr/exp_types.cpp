#include "expr/exp_types.h"

#include <cmath>

namespace velorin {

namespace {

// Replaces the first "%s" or "%d" at or after from by the value; from moves past
// it, so that a value holding "%s" is left as it is.
void Substitute(std::string& message, std::string_view value, size_t& from) {
  size_t at = message.find('%', from);
  while (at != std::string::npos && at + 1 < message.size() && message[at + 1] != 's' && message[at + 1] != 'd') {
    at = message.find('%', at + 1);
  }
  if (at == std::string::npos || at + 1 >= message.size()) return;
  message.replace(at, 2, value);
  from = at + value.size();
}

}  // namespace

void RaiseExpression(std::string_view format) { throw EVelorinExpression(std::string(format)); }

void RaiseExpression(std::string_view format, std::string_view text) {
  std::string message(format);
  size_t from = 0;
  Substitute(message, text, from);
  throw EVelorinExpression(message);
}

void RaiseExpression(std::string_view format, std::string_view text1, int32_t number, std::string_view text2) {
  std::string message(format);
  size_t from = 0;
  Substitute(message, text1, from);
  Substitute(message, std::to_string(number), from);
  Substitute(message, text2, from);
  throw EVelorinExpression(message);
}

void RaiseExpressionNumber(std::string_view format, int32_t number, std::string_view text) {
  std::string message(format);
  size_t from = 0;
  Substitute(message, std::to_string(number), from);
  Substitute(message, text, from);
  throw EVelorinExpression(message);
}

const char* ExpTypeWord(TvrExpType type) {
  switch (type) {
    case exp_type::kText: return "Text";
    case exp_type::kNumber: return "Number";
    case exp_type::kDate: return "Date";
    case exp_type::kBoolean: return "Boolean";
    default: return "Unknown Value";
  }
}

void CheckExpResult(double value) {
  if (std::isnan(value)) RaiseExpression(exp_message::kInvalidOperation);
  if (std::isinf(value)) RaiseExpression(exp_message::kOverflow);
}

}  // namespace velorin
