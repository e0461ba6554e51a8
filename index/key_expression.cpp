#include "index/key_expression.h"

#include "expr/table_link.h"
#include "expr/vr6_sql.h"
#include "platform/convert_error.h"

namespace velorin {

namespace {

class EvaluatedKey : public KeyExpression {
 public:
  EvaluatedKey(VRO_dBaseFld& table, const std::string& text)
      : link_(MakeTableLink(table)), expression_(link_.get(), false, text) {
    if (!expression_.HasExpression() || ResultType() == '?') {
      throw EVelorinExpression("Expression " + text + " cannot be an index key");
    }
  }

  void Evaluate(TvrVariant& result) override {
    const TvrVariant* value = nullptr;
    try {
      value = expression_.EvaluateToVariant(result);
    } catch (const platform::EConvertError& e) {
      throw EVelorinExpression(e.what());  // a literal or a function's text that is no number or date
    }
    if (value == nullptr) throw EVelorinExpression("Expression " + expression_.ExpressionText() + " gives no key");
  }

  char ResultType() const override {
    switch (expression_.ResultType()) {
      case exp_type::kText: return 'C';
      case exp_type::kNumber:
      case exp_type::kNumber2:
      case exp_type::kDate2: return 'N';
      case exp_type::kDate: return 'D';
      case exp_type::kBoolean: return 'L';
      default: return '?';
    }
  }

  // The largest width and decimals among the fields and number literals.
  int32_t ResultWidth() const override { return expression_.LargestWidth(); }
  int32_t ResultDecimals() const override { return expression_.LargestDecimals(); }

  std::string Text() const override { return expression_.ExpressionText(); }

 private:
  std::unique_ptr<TvrExpUserLink> link_;
  TvrExpHandler expression_;
};

}  // namespace

std::unique_ptr<KeyExpression> KeyExpression::Compile(VRO_dBaseFld& table, const std::string& text) {
  try {
    return std::make_unique<EvaluatedKey>(table, text);
  } catch (const platform::EConvertError& e) {
    throw EVelorinExpression(e.what());  // a date or number literal that is none (an index file's damaged text)
  }
}

}  // namespace velorin
