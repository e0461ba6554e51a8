#include "index/key_expression.h"

#include <cctype>

#include "engine/vr6_DBF.h"
#include "engine/vr6_glbl.h"

namespace velorin {

namespace {

// Field names and UPPER() of a field: what index keys need until the evaluator
// takes over.
class FieldKey : public KeyExpression {
 public:
  FieldKey(VRO_dBaseFld& table, int32_t field, bool upper, std::string text)
      : table_(table), field_(field), upper_(upper), text_(std::move(text)) {}

  void Evaluate(TvrVariant& result) override {
    switch (ResultType()) {
      case 'N': result.SetFloat(table_.GetNumber(field_)); break;
      case 'D': result.SetDate(table_.GetDate(field_)); break;
      case 'L': result.SetText(table_.GetLogical(field_) ? "T" : "F"); break;
      default: {
        std::string text = table_.ReadFieldText(field_);
        if (upper_) UpperBuffer(text.data(), text.size());
        result.SetText(text);
      }
    }
  }

  char ResultType() const override {
    switch (table_.FieldType(field_)) {
      case 'N':
      case 'F':
      case 'B':
      case 'I':
      case 'Y': return 'N';
      case 'D': return 'D';
      case 'L': return 'L';
      default: return 'C';
    }
  }

  int32_t ResultWidth() const override { return table_.FieldLength(field_); }
  int32_t ResultDecimals() const override { return table_.FieldDecimals(field_); }

  std::string Text() const override { return text_; }

 private:
  VRO_dBaseFld& table_;
  int32_t field_;
  bool upper_;
  std::string text_;
};

std::string Trimmed(const std::string& text) {
  size_t begin = text.find_first_not_of(' ');
  size_t end = text.find_last_not_of(' ');
  return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

}  // namespace

std::unique_ptr<KeyExpression> KeyExpression::Compile(VRO_dBaseFld& table, const std::string& text) {
  std::string name = Trimmed(text);
  std::string upperName = name;
  for (char& c : upperName) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  bool upper = false;
  if (upperName.size() > 7 && upperName.rfind("UPPER(", 0) == 0 && upperName.back() == ')') {
    upper = true;
    upperName = Trimmed(upperName.substr(6, upperName.size() - 7));
  }
  int32_t field = table.FieldNumber(upperName);
  if (field == 0) {
    table.Error(error_code::kFormulaUntranslatable, sub_code::kNone, text);
    RaiseEngineMessage(EngineErrorMessage(error_code::kFormulaUntranslatable, sub_code::kNone, text));
  }
  return std::make_unique<FieldKey>(table, field, upper, name);
}

}  // namespace velorin
