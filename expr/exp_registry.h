// exp_registry.h — the names an expression can call and read: functions, field
// variables, the registries that hold them, and the user link through which a
// table publishes its own.
//
// A function or field variable evaluates into a value buffer (exp_types.h) and
// reports its type; false means it failed and the call gives the undefined type.
// Names are upper case and are looked up byte-wise, the first registered entry
// of a name winning. BuiltinFunctions() holds the built-in functions, made on
// first use and only read afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "expr/exp_types.h"

namespace velorin {

namespace platform {
struct CaseTable;
}

class TvrExpFunction;

class TvrUserDefFunction {
 public:
  virtual ~TvrUserDefFunction() = default;
  // The upper-case name; empty here.
  virtual std::string FunctionName() const { return std::string(); }
  // Evaluates the call (its arguments through call.FetchArgument) into result.
  virtual bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type);
};

class TvrUserDefFieldVar {
 public:
  // The name is kept in upper case (ASCII letters).
  TvrUserDefFieldVar(std::string_view name, int32_t width, int32_t decimals);
  virtual ~TvrUserDefFieldVar() = default;
  virtual const std::string& VariableName() const { return name_; }
  virtual bool Evaluate(char* result, TvrExpType& type);

  int32_t Width() const { return width_; }
  int32_t Decimals() const { return decimals_; }

 private:
  std::string name_;
  int32_t width_;
  int32_t decimals_;
};

// An ordered list that owns its entries.
template <class Entry>
class TvrExpRegistry {
 public:
  // An absent entry is ignored.
  void Add(std::unique_ptr<Entry> entry) {
    if (entry) entries_.push_back(std::move(entry));
  }
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  // nullptr outside the list.
  Entry* Items(int32_t index) const {
    return index >= 0 && index < Count() ? entries_[static_cast<size_t>(index)].get() : nullptr;
  }

 private:
  std::vector<std::unique_ptr<Entry>> entries_;
};

class TvrFunctionReg : public TvrExpRegistry<TvrUserDefFunction> {
 public:
  TvrUserDefFunction* Find(std::string_view name) const;
};

class TvrFieldVarReg : public TvrExpRegistry<TvrUserDefFieldVar> {
 public:
  TvrUserDefFieldVar* Find(std::string_view name) const;
};

// What a table (or any other owner) publishes to its expressions.
class TvrExpUserLink {
 public:
  static constexpr int32_t kDefaultStrWidth = 10;

  virtual ~TvrExpUserLink() = default;
  virtual TvrUserDefFunction* FindFunction(std::string_view name) { return functions_.Find(name); }
  virtual TvrUserDefFieldVar* FindFieldVar(std::string_view name) { return fieldVars_.Find(name); }
  // The code page of the owner's text, for letter case; 0: the ANSI code page.
  virtual int CodePage() const { return 0; }

  void AddFunction(std::unique_ptr<TvrUserDefFunction> function) { functions_.Add(std::move(function)); }
  void AddFieldVar(std::unique_ptr<TvrUserDefFieldVar> fieldVar) { fieldVars_.Add(std::move(fieldVar)); }
  const TvrFunctionReg& Functions() const { return functions_; }
  const TvrFieldVarReg& FieldVars() const { return fieldVars_; }
  int32_t DefaultStrWidth() const { return defaultStrWidth_; }
  void SetDefaultStrWidth(int32_t width) { defaultStrWidth_ = width; }

 private:
  TvrFunctionReg functions_;
  TvrFieldVarReg fieldVars_;
  int32_t defaultStrWidth_ = kDefaultStrWidth;
};

// The built-in functions, in their order of registration.
const TvrFunctionReg& BuiltinFunctions();

// The letter cases of a code page as expressions use them: 0 is the active
// ANSI code page.
const platform::CaseTable& ExpCaseTable(int codePage);

// ASCII letters a to z made upper case, as names are compared.
std::string UpperName(std::string_view name);

}  // namespace velorin
