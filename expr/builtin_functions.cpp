#include "expr/builtin_functions.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace velorin {

namespace builtin {

char* FetchRequired(TvrExpFunction& call, int i, TvrExpType required) {
  TvrExpType type = exp_type::kUndefined;
  char* buffer = call.Scratch(i);
  call.FetchArgument(i, buffer, required, type);
  return type == exp_type::kUndefined ? nullptr : buffer;
}

bool FetchText(TvrExpFunction& call, int i, std::string_view& text) {
  const char* buffer = FetchRequired(call, i, exp_type::kText);
  if (buffer != nullptr) text = std::string_view(buffer, std::strlen(buffer));
  return buffer != nullptr;
}

bool FetchNumber(TvrExpFunction& call, int i, double& value) {
  const char* buffer = FetchRequired(call, i, exp_type::kNumber);
  if (buffer != nullptr) value = ReadExpDouble(buffer);
  return buffer != nullptr;
}

bool FetchDate(TvrExpFunction& call, int i, double& day) {
  const char* buffer = FetchRequired(call, i, exp_type::kDate);
  if (buffer != nullptr) day = ReadExpDouble(buffer);
  return buffer != nullptr;
}

bool OptionalNumber(TvrExpFunction& call, int i, double& value) {
  TvrExpType type = exp_type::kUndefined;
  char* buffer = call.Scratch(i);
  call.FetchArgument(i, buffer, exp_type::kAny, type);
  if (!IsNumericGroup(type)) return false;
  value = ReadExpDouble(buffer);
  return true;
}

int64_t TruncCount(double value) {
  if (std::isnan(value)) return 0;
  return static_cast<int64_t>(std::clamp(value, -1.0e9, 1.0e9));
}

bool ReturnText(char* result, TvrExpType& type, std::string_view text, const TvrExpFunction& call) {
  StoreExpText(result, text, call.Name());
  type = exp_type::kText;
  return true;
}

bool ReturnNumber(char* result, TvrExpType& type, double value) {
  WriteExpDouble(result, value);
  type = exp_type::kNumber;
  return true;
}

}  // namespace builtin

const TvrFunctionReg& BuiltinFunctions() {
  static const TvrFunctionReg registry = [] {
    TvrFunctionReg made;
    std::vector<std::unique_ptr<TvrUserDefFunction>> all = MakeTextFunctions();
    for (auto& function : MakeValueFunctions()) all.push_back(std::move(function));
    // Registered in alphabetical order of their names.
    std::stable_sort(all.begin(), all.end(),
                     [](const auto& a, const auto& b) { return a->FunctionName() < b->FunctionName(); });
    for (auto& function : all) made.Add(std::move(function));
    return made;
  }();
  return registry;
}

}  // namespace velorin
