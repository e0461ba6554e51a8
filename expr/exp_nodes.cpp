#include "expr/exp_nodes.h"

#include "engine/number_format.h"
#include "engine/vr6_Date.h"
#include "platform/number_text.h"

namespace velorin {

void RaiseExpTextTooLong(std::string_view what) {
  RaiseExpressionNumber(exp_message::kValueTooLong, static_cast<int32_t>(kExpMaxTextLength), what);
}

std::string TvrExpBaseObject::ExpressionText() const {
  std::string text;
  if (left_) text += left_->ExpressionText();
  text += SymbolText();
  if (right_) text += right_->ExpressionText();
  return text;
}

void TvrExpBaseObject::Evaluate(char*, TvrExpType& type) { type = exp_type::kNone; }

// ---- group -------------------------------------------------------------------

TvrExpContainer::TvrExpContainer(std::unique_ptr<TvrExpBaseObject> inner)
    : TvrExpBaseObject(exp_node::kGroup, inner ? inner->ValueType() : exp_type::kUndefined) {
  right_ = std::move(inner);
}

std::string TvrExpContainer::ExpressionText() const {
  return "(" + (right_ ? right_->ExpressionText() : std::string()) + ")";
}

void TvrExpContainer::Evaluate(char* buffer, TvrExpType& type) {
  if (!right_) {
    type = exp_type::kUndefined;
    return;
  }
  right_->Evaluate(buffer, type);
  valueType_ = type;
}

// ---- function call -------------------------------------------------------------

TvrExpFunction::TvrExpFunction(TvrExpHandler& handler, TvrUserDefFunction& function,
                               std::vector<std::unique_ptr<TvrExpBaseObject>> arguments)
    : TvrExpBaseObject(exp_node::kFunction, exp_type::kUndefined),
      handler_(handler),
      function_(function),
      name_(function.FunctionName()),
      arguments_(std::move(arguments)) {}

std::string TvrExpFunction::SymbolText() const { return name_; }

std::string TvrExpFunction::ExpressionText() const {
  std::string text = name_ + "(";
  for (size_t i = 0; i < arguments_.size(); ++i) {
    if (i > 0) text += ",";
    text += arguments_[i]->ExpressionText();
  }
  return text + ")";
}

void TvrExpFunction::Evaluate(char* buffer, TvrExpType& type) {
  type = exp_type::kUndefined;
  if (!function_.Evaluate(*this, buffer, type)) type = exp_type::kUndefined;
  valueType_ = type;
}

void TvrExpFunction::FetchArgument(int32_t index, char* buffer, TvrExpType required, TvrExpType& type) {
  if (index < 0 || index >= ArgumentCount()) {
    type = exp_type::kUndefined;
    return;
  }
  arguments_[static_cast<size_t>(index)]->Evaluate(buffer, type);
  if (required == exp_type::kAny || type == required) return;
  if (IsNumericGroup(type) && IsNumericGroup(required)) return;
  RaiseExpression(exp_message::kArgumentType, ExpTypeWord(required), index + 1, name_);
}

// ---- field variable ------------------------------------------------------------

TvrExpFieldvar::TvrExpFieldvar(TvrUserDefFieldVar& variable)
    : TvrExpBaseObject(exp_node::kFieldVar, exp_type::kUndefined), variable_(variable) {
  width_ = variable.Width();
  decimals_ = variable.Decimals();
}

void TvrExpFieldvar::Evaluate(char* buffer, TvrExpType& type) {
  if (!variable_.Evaluate(buffer, type)) type = exp_type::kUndefined;
  valueType_ = type;
}

// ---- literals ------------------------------------------------------------------

TvrExpTextLit::TvrExpTextLit(std::string text)
    : TvrExpBaseObject(exp_node::kTextLiteral, exp_type::kText), text_(std::move(text)) {
  width_ = static_cast<int32_t>(text_.size());
}

void TvrExpTextLit::Evaluate(char* buffer, TvrExpType& type) {
  StoreExpText(buffer, text_, "a text literal");
  type = exp_type::kText;
}

TvrExpNumLit::TvrExpNumLit(const std::string& word) : TvrExpBaseObject(exp_node::kNumberLiteral, exp_type::kNumber) {
  if (!platform::TryTextToFloat(word, &value_)) value_ = 0.0;
  width_ = static_cast<int32_t>(word.size());
  size_t point = word.find('.');
  decimals_ = point == std::string::npos ? 0 : static_cast<int32_t>(word.size() - point - 1);
}

std::string TvrExpNumLit::SymbolText() const {
  // The text of the number with its decimals; the word's text can be longer
  // than anything worth writing, so at most 20 decimals.
  std::optional<std::string> text = FormatFixed(value_, std::min(decimals_, 20));
  return text ? *text : std::string("0");
}

void TvrExpNumLit::Evaluate(char* buffer, TvrExpType& type) {
  WriteExpDouble(buffer, value_);
  type = exp_type::kNumber;
}

TvrExpDateLit::TvrExpDateLit(double dayNumber)
    : TvrExpBaseObject(exp_node::kDateLiteral, exp_type::kDate), dayNumber_(dayNumber) {}

std::string TvrExpDateLit::SymbolText() const {
  return "{" + DBFDate().DayNumberToDisplay(DayNumberFromDouble(dayNumber_)) + "}";
}

void TvrExpDateLit::Evaluate(char* buffer, TvrExpType& type) {
  WriteExpDouble(buffer, dayNumber_);
  type = exp_type::kDate;
}

TvrExpBlnLit::TvrExpBlnLit(bool value) : TvrExpBaseObject(exp_node::kBooleanLiteral, exp_type::kBoolean), value_(value) {}

void TvrExpBlnLit::Evaluate(char* buffer, TvrExpType& type) {
  buffer[0] = value_ ? 1 : 0;
  type = exp_type::kBoolean;
}

}  // namespace velorin
