// exp_nodes.h — the nodes of a parsed expression tree.
//
// TvrExpHandler (vr6_sql.h) parses a text into these once; evaluating the root
// evaluates the tree on the current record. Every node evaluates into a value
// buffer of kExpValueSize bytes and reports the value's type; operators and
// function calls own the buffers their operands and arguments are evaluated
// into, so an evaluation allocates nothing. Nodes own their operands.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "expr/exp_registry.h"
#include "expr/exp_types.h"

namespace velorin {

class TvrExpHandler;

// Node kinds.
namespace exp_node {
constexpr uint8_t kGroup = 0;
constexpr uint8_t kOperatorBound = 2;
constexpr uint8_t kOperator = 3;  // not yet bound to its operands
constexpr uint8_t kFunction = 4;
constexpr uint8_t kFieldVar = 5;
constexpr uint8_t kTextLiteral = 6;
constexpr uint8_t kNumberLiteral = 7;
constexpr uint8_t kDateLiteral = 8;
constexpr uint8_t kBooleanLiteral = 9;
}  // namespace exp_node

// Operator codes.
namespace exp_op {
constexpr uint8_t kEqual = 129;
constexpr uint8_t kNotEqual = 130;
constexpr uint8_t kGreater = 131;
constexpr uint8_t kLess = 132;
constexpr uint8_t kGreaterEqual = 133;
constexpr uint8_t kLessEqual = 134;
constexpr uint8_t kInString = 135;      // no text produces it
constexpr uint8_t kExactlyEqual = 136;  // "==": parsed, no operation
constexpr uint8_t kPlus = 137;
constexpr uint8_t kMinus = 138;
constexpr uint8_t kTimes = 139;
constexpr uint8_t kDivide = 140;
constexpr uint8_t kPower = 141;
constexpr uint8_t kLike = 142;  // parsed, no operation
constexpr uint8_t kPos = 143;   // parsed, no operation
constexpr uint8_t kAnd = 144;
constexpr uint8_t kOr = 145;
constexpr uint8_t kNot = 146;
}  // namespace exp_op

// The precedence level of an operator code; lower levels bind first.
uint8_t OperatorLevel(uint8_t code);
// The operator's text in ExpressionText and messages.
const char* OperatorSymbol(uint8_t code);

class TvrExpBaseObject {
 public:
  TvrExpBaseObject(uint8_t kind, TvrExpType valueType) : kind_(kind), valueType_(valueType) {}
  virtual ~TvrExpBaseObject() = default;
  TvrExpBaseObject(const TvrExpBaseObject&) = delete;
  TvrExpBaseObject& operator=(const TvrExpBaseObject&) = delete;

  virtual std::string SymbolText() const { return std::string(); }
  // The subtree without blanks: left text, own text, right text.
  virtual std::string ExpressionText() const;
  // Evaluates into buffer (kExpValueSize bytes); type 0 here.
  virtual void Evaluate(char* buffer, TvrExpType& type);

  uint8_t Kind() const { return kind_; }
  void SetKind(uint8_t kind) { kind_ = kind; }
  TvrExpType ValueType() const { return valueType_; }
  int32_t Width() const { return width_; }
  int32_t Decimals() const { return decimals_; }
  TvrExpBaseObject* Left() const { return left_.get(); }
  TvrExpBaseObject* Right() const { return right_.get(); }
  void SetLeft(std::unique_ptr<TvrExpBaseObject> node) { left_ = std::move(node); }
  void SetRight(std::unique_ptr<TvrExpBaseObject> node) { right_ = std::move(node); }

 protected:
  uint8_t kind_;
  TvrExpType valueType_;
  int32_t width_ = 0;
  int32_t decimals_ = 0;
  std::unique_ptr<TvrExpBaseObject> left_;
  std::unique_ptr<TvrExpBaseObject> right_;
};

// A parenthesised group: the inner expression is the right operand.
class TvrExpContainer : public TvrExpBaseObject {
 public:
  explicit TvrExpContainer(std::unique_ptr<TvrExpBaseObject> inner);
  std::string ExpressionText() const override;
  void Evaluate(char* buffer, TvrExpType& type) override;
};

// A call of a built-in or table function.
class TvrExpFunction : public TvrExpBaseObject {
 public:
  static constexpr int kScratchBuffers = 3;

  TvrExpFunction(TvrExpHandler& handler, TvrUserDefFunction& function,
                 std::vector<std::unique_ptr<TvrExpBaseObject>> arguments);
  std::string SymbolText() const override;
  std::string ExpressionText() const override;
  void Evaluate(char* buffer, TvrExpType& type) override;

  // Evaluates argument index (from 0) into buffer and reports its type; without
  // that argument the type is undefined and the buffer untouched. Unless
  // required is kAny, another type raises "%s needed for Argument %d of %s"
  // (the numeric group stands for itself).
  void FetchArgument(int32_t index, char* buffer, TvrExpType required, TvrExpType& type);
  int32_t ArgumentCount() const { return static_cast<int32_t>(arguments_.size()); }
  // Buffers of kExpValueSize bytes for the function's arguments, 0 to 2.
  char* Scratch(int i) { return scratch_[static_cast<size_t>(i)].data(); }
  TvrExpHandler& Handler() const { return handler_; }
  const std::string& Name() const { return name_; }

 private:
  TvrExpHandler& handler_;
  TvrUserDefFunction& function_;
  std::string name_;
  std::vector<std::unique_ptr<TvrExpBaseObject>> arguments_;
  std::array<TvrExpBuffer, kScratchBuffers> scratch_{};
};

class TvrExpFieldvar : public TvrExpBaseObject {
 public:
  explicit TvrExpFieldvar(TvrUserDefFieldVar& variable);
  std::string SymbolText() const override { return variable_.VariableName(); }
  std::string ExpressionText() const override { return variable_.VariableName(); }
  void Evaluate(char* buffer, TvrExpType& type) override;

 private:
  TvrUserDefFieldVar& variable_;
};

class TvrExpOperator : public TvrExpBaseObject {
 public:
  struct Options {
    bool caseInsensitive = false;
    bool patternCompare = true;
    char manyWildcard = '*';
    char oneWildcard = '?';
    const TvrExpUserLink* link = nullptr;  // its code page folds the case in pattern comparisons
  };

  TvrExpOperator(uint8_t code, uint8_t level, const Options& options);
  std::string SymbolText() const override { return OperatorSymbol(code_); }
  std::string ExpressionText() const override;
  void Evaluate(char* buffer, TvrExpType& type) override;

  uint8_t Code() const { return code_; }
  uint8_t Level() const { return level_; }
  bool IsBound() const { return kind_ == exp_node::kOperatorBound; }

  // The comparison of two texts (trailing blanks ignored) by the options:
  // below, equal to or above 0.
  static int CompareTexts(const char* left, const char* right, const Options& options);

 private:
  void EvaluateBoolean(char* buffer, TvrExpType& type);
  void EvaluateNumeric(char* buffer, TvrExpType leftType, TvrExpType& type);
  void EvaluateText(char* buffer, TvrExpType& type);

  uint8_t code_;
  uint8_t level_;
  Options options_;
  TvrExpBuffer leftValue_{};
  TvrExpBuffer rightValue_{};
};

// A sign before an operand that is not a number: the operand negated ("-")
// or taken as it is ("+"); numbers only.
class TvrExpSign : public TvrExpBaseObject {
 public:
  TvrExpSign(uint8_t code, std::unique_ptr<TvrExpBaseObject> operand);
  std::string SymbolText() const override { return OperatorSymbol(code_); }
  std::string ExpressionText() const override;
  void Evaluate(char* buffer, TvrExpType& type) override;

 private:
  uint8_t code_;
};

class TvrExpTextLit : public TvrExpBaseObject {
 public:
  explicit TvrExpTextLit(std::string text);
  std::string SymbolText() const override { return text_; }
  std::string ExpressionText() const override { return "\"" + text_ + "\""; }
  void Evaluate(char* buffer, TvrExpType& type) override;

 private:
  std::string text_;
};

class TvrExpNumLit : public TvrExpBaseObject {
 public:
  // The number's word: its value (0 when it is no number), width and decimals.
  explicit TvrExpNumLit(const std::string& word);
  std::string SymbolText() const override;
  std::string ExpressionText() const override { return SymbolText(); }
  void Evaluate(char* buffer, TvrExpType& type) override;
  double Value() const { return value_; }

 private:
  double value_ = 0.0;
};

class TvrExpDateLit : public TvrExpBaseObject {
 public:
  explicit TvrExpDateLit(double dayNumber);
  std::string SymbolText() const override;
  std::string ExpressionText() const override { return SymbolText(); }
  void Evaluate(char* buffer, TvrExpType& type) override;

 private:
  double dayNumber_;
};

class TvrExpBlnLit : public TvrExpBaseObject {
 public:
  explicit TvrExpBlnLit(bool value);
  std::string SymbolText() const override { return value_ ? ".T." : ".F."; }
  std::string ExpressionText() const override { return SymbolText(); }
  void Evaluate(char* buffer, TvrExpType& type) override;

 private:
  bool value_;
};

// Raises "Value longer than 511 bytes in <what>".
[[noreturn]] void RaiseExpTextTooLong(std::string_view what);

// Copies a text value into buffer with its terminator; a text longer than
// kExpMaxTextLength raises "Value longer than 511 bytes in <what>". Inline:
// every text field, literal and function result passes through here.
inline void StoreExpText(char* buffer, std::string_view text, std::string_view what) {
  if (text.size() > kExpMaxTextLength) RaiseExpTextTooLong(what);
  if (!text.empty()) std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
}

}  // namespace velorin
