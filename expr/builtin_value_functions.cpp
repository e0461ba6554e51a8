// The built-in functions on numbers, dates and values of any type.
#include <algorithm>
#include <cmath>
#include <string>

#include "engine/number_format.h"
#include "engine/vr6_Date.h"
#include "expr/builtin_functions.h"
#include "expr/vr6_sql.h"
#include "platform/locale_settings.h"
#include "platform/number_text.h"

namespace velorin {

using builtin::FetchDate;
using builtin::FetchNumber;
using builtin::FetchText;
using builtin::OptionalNumber;
using builtin::ReturnNumber;
using builtin::ReturnText;
using builtin::TruncCount;

namespace {

// DESCEND of a date: the day subtracted from this.
constexpr double kDescendDateBase = 5231808.0;

bool ReturnDate(char* result, TvrExpType& type, double day) {
  WriteExpDouble(result, day);
  type = exp_type::kDate;
  return true;
}

int32_t DayOf(double day) { return DayNumberFromDouble(day); }

}  // namespace

// CEILING, FLOOR and INT: a whole number from a number.
class TvrUDFRounding : public TvrUserDefFunction {
 public:
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    double value = 0;
    if (!FetchNumber(call, 0, value)) return false;
    return ReturnNumber(result, type, Round(value));
  }

 protected:
  virtual double Round(double value) const = 0;
};

class TvrUDFCeiling : public TvrUDFRounding {
 public:
  std::string FunctionName() const override { return "CEILING"; }

 protected:
  double Round(double value) const override { return std::ceil(value); }
};

class TvrUDFFloor : public TvrUDFRounding {
 public:
  std::string FunctionName() const override { return "FLOOR"; }

 protected:
  double Round(double value) const override { return std::floor(value); }
};

class TvrUDFInt : public TvrUDFRounding {
 public:
  std::string FunctionName() const override { return "INT"; }

 protected:
  double Round(double value) const override { return std::trunc(value); }
};

class TvrUDFCTOD : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "CTOD"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    std::string_view text;
    if (!FetchText(call, 0, text)) return false;
    return ReturnDate(result, type, text.empty() ? kBlankDate : DBFDate().TextToDayNumber(text));
  }
};

class TvrUDFDate : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "DATE"; }
  bool Evaluate(TvrExpFunction&, char* result, TvrExpType& type) override {
    return ReturnDate(result, type, DBFDate().TodayDayNumber());
  }
};

class TvrUDFDescend : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "DESCEND"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    call.FetchArgument(0, result, exp_type::kAny, type);
    if (type == exp_type::kUndefined) return false;
    if (IsDateType(type)) {
      double day = ReadExpDouble(result);
      if (day != kBlankDate) WriteExpDouble(result, kDescendDateBase - day);
    } else if (type == exp_type::kNumber || type == exp_type::kNumber2) {
      double value = ReadExpDouble(result);
      if (value != 0.0) WriteExpDouble(result, -value);
    } else if (type == exp_type::kText) {
      for (char* p = result; *p != '\0'; ++p) *p = static_cast<char>(256 - static_cast<unsigned char>(*p));
    } else if (type == exp_type::kBoolean) {
      result[0] = result[0] != 0 ? 0 : 1;
    } else {
      result[0] = 0;
    }
    return true;
  }
};

class TvrUDFDTOC : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "DTOC"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    double day = 0;
    if (!FetchDate(call, 0, day)) return false;
    double form = 0;
    bool storage = OptionalNumber(call, 1, form) && form == 1.0;
    if (day == kBlankDate) return ReturnText(result, type, std::string_view(), call);
    std::string text = storage ? DBFDate().DayNumberToStorage(DayOf(day)) : DBFDate().DayNumberToDisplay(DayOf(day));
    return ReturnText(result, type, text, call);
  }
};

class TvrUDFDTOS : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "DTOS"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    double day = 0;
    if (!FetchDate(call, 0, day)) return false;
    if (day == kBlankDate) return ReturnText(result, type, std::string_view(), call);
    std::string text = DBFDate().DayNumberToStorage(DayOf(day));
    return ReturnText(result, type, text, call);
  }
};

class TvrUDFEmpty : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "EMPTY"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    TvrExpType argumentType = exp_type::kUndefined;
    char* value = call.Scratch(0);
    call.FetchArgument(0, value, exp_type::kAny, argumentType);
    bool empty = false;
    if (IsDateType(argumentType)) {
      empty = ReadExpDouble(value) == kBlankDate;  // a blank date field (day 0) is not empty
    } else if (IsNumericGroup(argumentType)) {
      empty = ReadExpDouble(value) == 0.0;
    } else if (argumentType == exp_type::kText) {
      empty = value[0] == '\0';
    } else if (argumentType == exp_type::kBoolean) {
      empty = value[0] == 0;
    }
    result[0] = empty ? 1 : 0;
    type = exp_type::kBoolean;
    return true;
  }
};

class TvrUDFIIF : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "IIF"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    const char* condition = builtin::FetchRequired(call, 0, exp_type::kBoolean);
    if (condition == nullptr) return false;
    // Only the chosen argument is evaluated.
    call.FetchArgument(condition[0] != 0 ? 1 : 2, result, exp_type::kAny, type);
    return type != exp_type::kUndefined;
  }
};

class TvrUDFStr : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "STR"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    double value = 0;
    if (!FetchNumber(call, 0, value)) return false;
    double widthValue = 0;
    double decimalsValue = 0;
    bool hasWidth = OptionalNumber(call, 1, widthValue);
    int64_t width = hasWidth ? TruncCount(widthValue) : call.Handler().DefaultStrWidth();
    int64_t decimals = hasWidth && OptionalNumber(call, 2, decimalsValue) ? TruncCount(decimalsValue) : 0;
    if (width < 1) return ReturnText(result, type, std::string_view(), call);
    if (width > static_cast<int64_t>(kExpMaxTextLength)) {
      RaiseExpressionNumber(exp_message::kValueTooLong, static_cast<int32_t>(kExpMaxTextLength), call.Name());
    }
    // More decimals than the width cannot fit anyway: the result is asterisks.
    decimals = std::clamp<int64_t>(decimals, 0, width);
    std::optional<std::string> text = FormatFixed(value, static_cast<int>(decimals));
    auto size = static_cast<size_t>(width);
    if (!text || text->size() > size) {
      std::memset(result, '*', size);
    } else {
      std::memset(result, ' ', size - text->size());
      std::memcpy(result + size - text->size(), text->data(), text->size());
    }
    result[size] = '\0';
    Finish(result);
    type = exp_type::kText;
    return true;
  }

 protected:
  virtual void Finish(char*) const {}
};

class TvrUDFStrZero : public TvrUDFStr {
 public:
  std::string FunctionName() const override { return "STRZERO"; }

 protected:
  void Finish(char* text) const override {
    for (char* p = text; *p == ' '; ++p) *p = '0';
  }
};

class TvrUDFVal : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "VAL"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    std::string_view text;
    if (!FetchText(call, 0, text)) return false;
    double value = 0;
    if (!platform::TryLocaleTextToFloat(text, platform::ActiveLocale().DecimalSeparator(), &value) ||
        !std::isfinite(value)) {
      value = 0;
    }
    return ReturnNumber(result, type, value);
  }
};

std::vector<std::unique_ptr<TvrUserDefFunction>> MakeValueFunctions() {
  std::vector<std::unique_ptr<TvrUserDefFunction>> functions;
  functions.push_back(std::make_unique<TvrUDFCeiling>());
  functions.push_back(std::make_unique<TvrUDFCTOD>());
  functions.push_back(std::make_unique<TvrUDFDate>());
  functions.push_back(std::make_unique<TvrUDFDescend>());
  functions.push_back(std::make_unique<TvrUDFDTOC>());
  functions.push_back(std::make_unique<TvrUDFDTOS>());
  functions.push_back(std::make_unique<TvrUDFEmpty>());
  functions.push_back(std::make_unique<TvrUDFFloor>());
  functions.push_back(std::make_unique<TvrUDFIIF>());
  functions.push_back(std::make_unique<TvrUDFInt>());
  functions.push_back(std::make_unique<TvrUDFStr>());
  functions.push_back(std::make_unique<TvrUDFStrZero>());
  functions.push_back(std::make_unique<TvrUDFVal>());
  return functions;
}

}  // namespace velorin
