// The operators: binding levels, symbols, and evaluation by operand type.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/text_trim.h"
#include "engine/vr6_glbl.h"
#include "expr/exp_nodes.h"
#include "platform/code_page.h"

namespace velorin {

namespace {

// Above this exponent "^" squares instead of multiplying factor by factor, so
// that a huge exponent cannot keep the evaluation busy.
constexpr int64_t kPlainPowerLimit = 1024;

// Byte-wise on unsigned bytes, a-z folded when asked; texts of different
// length are not equal.
int PlainCompare(std::string_view a, std::string_view b, bool foldAscii) {
  return foldAscii ? CompareTextNoCase(a, b) : CompareText(a, b);
}

// left ^ n: the left operand multiplied by itself until n factors are used;
// stops once the result is 0, infinite or NaN.
double Power(double left, double right) {
  if (std::isnan(right) || right < -2147483648.0 || right >= 2147483648.0) {
    RaiseExpression(exp_message::kValueInvalid, "number");
  }
  auto n = static_cast<int64_t>(right);
  if (n < 2) return left;
  if (n <= kPlainPowerLimit) {
    double result = left;
    for (int64_t i = 1; i < n && result != 0.0 && std::isfinite(result); ++i) result *= left;
    return result;
  }
  double result = 1.0;
  double base = left;
  while (n > 0 && std::isfinite(result) && result != 0.0) {
    if (n & 1) result *= base;
    n >>= 1;
    if (n > 0) base *= base;
  }
  return result;
}

double Arithmetic(uint8_t code, double left, double right) {
  double result = 0.0;
  switch (code) {
    case exp_op::kPlus: result = left + right; break;
    case exp_op::kMinus: result = left - right; break;
    case exp_op::kTimes: result = left * right; break;
    case exp_op::kDivide:
      if (right == 0.0) {
        RaiseExpression(left == 0.0 || std::isnan(left) ? exp_message::kInvalidOperation : exp_message::kDivisionByZero);
      }
      result = left / right;
      break;
    default: result = Power(left, right);
  }
  CheckExpResult(result);
  return result;
}

bool IsArithmetic(uint8_t code) { return code >= exp_op::kPlus && code <= exp_op::kPower; }

bool IsComparison(uint8_t code) { return code >= exp_op::kEqual && code <= exp_op::kLessEqual; }

bool ComparisonHolds(uint8_t code, int order) {
  switch (code) {
    case exp_op::kEqual: return order == 0;
    case exp_op::kNotEqual: return order != 0;
    case exp_op::kGreater: return order > 0;
    case exp_op::kLess: return order < 0;
    case exp_op::kGreaterEqual: return order >= 0;
    default: return order <= 0;
  }
}

}  // namespace

uint8_t OperatorLevel(uint8_t code) {
  switch (code) {
    case exp_op::kPlus:
    case exp_op::kMinus: return 4;
    case exp_op::kTimes:
    case exp_op::kDivide: return 3;
    case exp_op::kPower: return 2;
    case exp_op::kAnd: return 7;
    case exp_op::kOr: return 8;
    case exp_op::kNot: return 6;
    default: return 5;
  }
}

const char* OperatorSymbol(uint8_t code) {
  switch (code) {
    case exp_op::kEqual: return "=";
    case exp_op::kNotEqual: return "#";
    case exp_op::kGreater: return ">";
    case exp_op::kLess: return "<";
    case exp_op::kGreaterEqual: return ">=";
    case exp_op::kLessEqual: return "<=";
    case exp_op::kInString: return "in string";
    case exp_op::kExactlyEqual: return "exactly equal";
    case exp_op::kPlus: return "+";
    case exp_op::kMinus: return "-";
    case exp_op::kTimes: return "*";
    case exp_op::kDivide: return "/";
    case exp_op::kPower: return "^";
    case exp_op::kLike: return "LIKE";
    case exp_op::kPos: return "POS";
    case exp_op::kAnd: return ".AND.";
    case exp_op::kOr: return ".OR.";
    case exp_op::kNot: return ".NOT.";
    default: return "?";
  }
}

TvrExpOperator::TvrExpOperator(uint8_t code, uint8_t level, const Options& options)
    : TvrExpBaseObject(exp_node::kOperator, exp_type::kUndefined), code_(code), level_(level), options_(options) {}

std::string TvrExpOperator::ExpressionText() const { return TvrExpBaseObject::ExpressionText(); }

int TvrExpOperator::CompareTexts(const char* left, const char* right, const Options& options) {
  std::string_view a = TrailingBlanksTrimmed(left);
  std::string_view b = TrailingBlanksTrimmed(right);
  const char many = options.manyWildcard;
  if (options.patternCompare && !b.empty() && (b.front() == many || b.back() == many)) {
    if (b.size() == 1) return 0;
    bool leading = b.front() == many;
    bool trailing = b.back() == many;
    // Upper-cased copies when the case does not count; no text is longer than a value.
    char upperLeft[kExpValueSize];
    char upperRight[kExpValueSize];
    if (options.caseInsensitive) {
      const platform::ByteTable& upper = ExpCaseTable(options.link != nullptr ? options.link->CodePage() : 0).upper;
      platform::ConvertBuffer(upper, a.data(), upperLeft, a.size());
      platform::ConvertBuffer(upper, b.data(), upperRight, b.size());
      a = std::string_view(upperLeft, a.size());
      b = std::string_view(upperRight, b.size());
    }
    std::string_view pattern = b.substr(leading ? 1 : 0);
    if (trailing && !pattern.empty() && pattern.back() == many) pattern.remove_suffix(1);
    size_t at = a.find(pattern);
    if (at != std::string_view::npos && (leading || at == 0) && (trailing || a.size() - at <= pattern.size())) {
      return 0;
    }
    return PlainCompare(a, pattern, false);
  }
  return PlainCompare(a, b, options.caseInsensitive);
}

void TvrExpOperator::Evaluate(char* buffer, TvrExpType& type) {
  if (!right_ || (!left_ && code_ != exp_op::kNot)) RaiseExpression(exp_message::kTargetMissing, OperatorSymbol(code_));
  TvrExpType leftType = exp_type::kUndefined;
  TvrExpType rightType = exp_type::kUndefined;
  if (left_) left_->Evaluate(leftValue_.data(), leftType);
  right_->Evaluate(rightValue_.data(), rightType);
  type = rightType;
  if (code_ == exp_op::kNot) {
    if (rightType != exp_type::kBoolean) RaiseExpression(exp_message::kValueInvalid, "boolean");
    buffer[0] = rightValue_[0] != 0 ? 0 : 1;
    valueType_ = type = exp_type::kBoolean;
    return;
  }
  if (leftType != rightType && !(IsNumericGroup(leftType) && IsNumericGroup(rightType))) {
    RaiseExpression(exp_message::kSidesMismatch);
  }
  if (rightType == exp_type::kBoolean) {
    EvaluateBoolean(buffer, type);
  } else if (IsNumericGroup(rightType)) {
    EvaluateNumeric(buffer, leftType, type);
  } else if (rightType == exp_type::kText) {
    EvaluateText(buffer, type);
  } else {
    // Undefined values and field references have no operations.
    RaiseExpression(exp_message::kSidesMismatch);
  }
  valueType_ = type;
}

void TvrExpOperator::EvaluateBoolean(char* buffer, TvrExpType& type) {
  bool left = leftValue_[0] != 0;
  bool right = rightValue_[0] != 0;
  switch (code_) {
    case exp_op::kEqual: buffer[0] = leftValue_[0] == rightValue_[0]; break;
    case exp_op::kNotEqual: buffer[0] = leftValue_[0] != rightValue_[0]; break;
    case exp_op::kAnd: buffer[0] = left && right; break;
    case exp_op::kOr: buffer[0] = left || right; break;
    default:
      RaiseExpression(exp_message::kValueInvalid, IsArithmetic(code_) ? "number" : "assigned");
  }
  type = exp_type::kBoolean;
}

void TvrExpOperator::EvaluateNumeric(char* buffer, TvrExpType, TvrExpType& type) {
  double left = ReadExpDouble(leftValue_.data());
  double right = ReadExpDouble(rightValue_.data());
  if (IsComparison(code_)) {
    bool holds = false;
    switch (code_) {
      case exp_op::kEqual: holds = left == right; break;
      case exp_op::kNotEqual: holds = left != right; break;
      case exp_op::kGreater: holds = left > right; break;
      case exp_op::kLess: holds = left < right; break;
      case exp_op::kGreaterEqual: holds = left >= right; break;
      default: holds = left <= right;
    }
    buffer[0] = holds;
    type = exp_type::kBoolean;
    return;
  }
  if (!IsArithmetic(code_)) RaiseExpression(exp_message::kValueInvalid, "assigned");
  WriteExpDouble(buffer, Arithmetic(code_, left, right));
  // The type stays the right operand's: a date plus 30 is a number, 30 plus a date a date.
}

void TvrExpOperator::EvaluateText(char* buffer, TvrExpType& type) {
  if (IsComparison(code_)) {
    buffer[0] = ComparisonHolds(code_, CompareTexts(leftValue_.data(), rightValue_.data(), options_));
    type = exp_type::kBoolean;
    return;
  }
  if (code_ != exp_op::kPlus && code_ != exp_op::kMinus) RaiseExpression(exp_message::kValueInvalid, "assigned");
  size_t leftLength = std::strlen(leftValue_.data());
  size_t rightLength = std::strlen(rightValue_.data());
  if (leftLength + rightLength > kExpMaxTextLength) {
    RaiseExpressionNumber(exp_message::kValueTooLong, static_cast<int32_t>(kExpMaxTextLength), OperatorSymbol(code_));
  }
  size_t kept = leftLength;
  if (code_ == exp_op::kMinus) {
    // The left text's trailing blanks go to the end of the result.
    while (kept > 0 && leftValue_[kept - 1] == ' ') --kept;
  }
  std::memcpy(buffer, leftValue_.data(), kept);
  std::memcpy(buffer + kept, rightValue_.data(), rightLength);
  std::memset(buffer + kept + rightLength, ' ', leftLength - kept);
  buffer[leftLength + rightLength] = '\0';
  type = exp_type::kText;
}

// ---- sign ----------------------------------------------------------------------

TvrExpSign::TvrExpSign(uint8_t code, std::unique_ptr<TvrExpBaseObject> operand)
    : TvrExpBaseObject(exp_node::kOperatorBound, exp_type::kNumber), code_(code) {
  right_ = std::move(operand);
}

std::string TvrExpSign::ExpressionText() const { return SymbolText() + right_->ExpressionText(); }

void TvrExpSign::Evaluate(char* buffer, TvrExpType& type) {
  right_->Evaluate(buffer, type);
  if (!IsNumericGroup(type)) RaiseExpression(exp_message::kValueInvalid, "number");
  if (code_ == exp_op::kMinus) WriteExpDouble(buffer, -ReadExpDouble(buffer));
  if (IsDateType(type)) type = exp_type::kNumber;
  valueType_ = type;
}

}  // namespace velorin
