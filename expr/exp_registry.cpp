#include "expr/exp_registry.h"

#include "platform/code_page.h"
#include "platform/locale_settings.h"

namespace velorin {

bool TvrUserDefFunction::Evaluate(TvrExpFunction&, char*, TvrExpType& type) {
  type = exp_type::kUndefined;
  return false;
}

TvrUserDefFieldVar::TvrUserDefFieldVar(std::string_view name, int32_t width, int32_t decimals)
    : name_(UpperName(name)), width_(width), decimals_(decimals) {}

bool TvrUserDefFieldVar::Evaluate(char*, TvrExpType& type) {
  type = exp_type::kUndefined;
  return false;
}

TvrUserDefFunction* TvrFunctionReg::Find(std::string_view name) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (Items(i)->FunctionName() == name) return Items(i);
  }
  return nullptr;
}

TvrUserDefFieldVar* TvrFieldVarReg::Find(std::string_view name) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (Items(i)->VariableName() == name) return Items(i);
  }
  return nullptr;
}

const platform::CaseTable& ExpCaseTable(int codePage) {
  return platform::CaseTableFor(codePage == 0 ? platform::ActiveLocale().AnsiCodePage() : codePage);
}

std::string UpperName(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

}  // namespace velorin
