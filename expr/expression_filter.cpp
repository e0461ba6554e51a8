#include "expr/expression_filter.h"

#include "expr/table_link.h"

namespace velorin {

ExpressionFilter::ExpressionFilter(VRO_dBaseFld& table) : link_(MakeTableLink(table)), expression_(link_.get()) {}

ExpressionFilter::~ExpressionFilter() = default;

void ExpressionFilter::Compile(const std::string& text, bool ignoreCase, bool partialMatch) {
  expression_.SetCaseInsensitive(ignoreCase);
  expression_.SetPatternCompare(partialMatch);
  expression_.SetExpression(text);
}

bool ExpressionFilter::Passes() {
  const char* value = expression_.EvaluateToBuffer(value_);
  return value != nullptr && expression_.ResultType() == exp_type::kBoolean && value[0] != 0;
}

void InstallExpressionFilter() {
  SetRecordFilterMaker([](VRO_dBaseFld& table) -> std::unique_ptr<RecordFilter> {
    return std::make_unique<ExpressionFilter>(table);
  });
}

}  // namespace velorin
