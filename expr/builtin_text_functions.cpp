// The built-in functions on texts: trimming, cutting, padding, case, codes.
#include <algorithm>
#include <cmath>
#include <string>

#include "engine/text_trim.h"
#include "expr/builtin_functions.h"
#include "expr/vr6_sql.h"
#include "platform/code_page.h"

namespace velorin {

using builtin::FetchNumber;
using builtin::FetchText;
using builtin::ReturnNumber;
using builtin::ReturnText;
using builtin::TruncCount;

namespace {

// A text result written straight into the result buffer.
bool ReturnMapped(char* result, TvrExpType& type, std::string_view text, const platform::ByteTable& table) {
  platform::ConvertBuffer(table, text.data(), result, text.size());
  result[text.size()] = '\0';
  type = exp_type::kText;
  return true;
}

}  // namespace

class TvrUDFAllTrim : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "ALLTRIM"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    std::string_view text;
    if (!FetchText(call, 0, text)) return false;
    return ReturnText(result, type, TrailingBlanksTrimmed(LeadingBlanksTrimmed(text)), call);
  }
};

class TvrUDFAsc : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "ASC"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    std::string_view text;
    if (!FetchText(call, 0, text)) return false;
    return ReturnNumber(result, type, text.empty() ? 0.0 : static_cast<unsigned char>(text[0]));
  }
};

class TvrUDFChr : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "CHR"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    double code = 0;
    if (!FetchNumber(call, 0, code)) return false;
    if (std::isnan(code) || code <= -1.0 || code >= 256.0) RaiseExpression(exp_message::kValueInvalid, "Byte");
    result[0] = static_cast<char>(static_cast<int>(code));
    result[1] = '\0';  // CHR(0) is the empty text
    type = exp_type::kText;
    return true;
  }
};

class TvrUDFLeft : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "LEFT"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    // Only the first count characters are looked at: no need to measure the whole text.
    const char* text = builtin::FetchRequired(call, 0, exp_type::kText);
    double n = 0;
    if (text == nullptr || !FetchNumber(call, 1, n)) return false;
    int64_t count = TruncCount(n);
    size_t kept = count <= 0 ? 0 : strnlen(text, static_cast<size_t>(count));
    return ReturnText(result, type, std::string_view(text, kept), call);
  }
};

class TvrUDFRight : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "RIGHT"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    std::string_view text;
    double n = 0;
    if (!FetchText(call, 0, text) || !FetchNumber(call, 1, n)) return false;
    int64_t count = TruncCount(n);
    if (count < 1) return ReturnText(result, type, std::string_view(), call);
    size_t kept = std::min(text.size(), static_cast<size_t>(count));
    return ReturnText(result, type, text.substr(text.size() - kept), call);
  }
};

class TvrUDFLower : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "LOWER"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    std::string_view text;
    if (!FetchText(call, 0, text)) return false;
    return ReturnMapped(result, type, text, call.Handler().CaseTable().lower);
  }
};

class TvrUDFUpper : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "UPPER"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    std::string_view text;
    if (!FetchText(call, 0, text)) return false;
    return ReturnMapped(result, type, text, call.Handler().CaseTable().upper);
  }
};

class TvrUDFLTrim : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "LTRIM"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    std::string_view text;
    if (!FetchText(call, 0, text)) return false;
    return ReturnText(result, type, LeadingBlanksTrimmed(text), call);
  }
};

class TvrUDFTrim : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "TRIM"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    std::string_view text;
    if (!FetchText(call, 0, text)) return false;
    return ReturnText(result, type, TrailingBlanksTrimmed(text), call);
  }
};

class TvrUDFRTrim : public TvrUDFTrim {
 public:
  std::string FunctionName() const override { return "RTRIM"; }
};

// The padding functions: the fill character (third argument, read first), the
// text and the target length; the result is cut to that length.
class TvrUDFPadMain : public TvrUserDefFunction {
 public:
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    TvrExpType fillType = exp_type::kUndefined;
    char* fillBuffer = call.Scratch(2);
    call.FetchArgument(2, fillBuffer, exp_type::kAny, fillType);
    char fill = ' ';
    if (fillType != exp_type::kUndefined) {
      if (fillType != exp_type::kText || std::strlen(fillBuffer) != 1) {
        RaiseExpression(exp_message::kValueInvalid, "Char");
      }
      fill = fillBuffer[0];
    }
    std::string_view text;
    double n = 0;
    if (!FetchText(call, 0, text) || !FetchNumber(call, 1, n)) return false;
    int64_t length = TruncCount(n);
    if (length <= 0) return ReturnText(result, type, std::string_view(), call);
    if (length > static_cast<int64_t>(kExpMaxTextLength)) {
      RaiseExpressionNumber(exp_message::kValueTooLong, static_cast<int32_t>(kExpMaxTextLength), call.Name());
    }
    auto target = static_cast<size_t>(length);
    size_t surplus = text.size() < target ? target - text.size() : 0;
    size_t before = Before(surplus);
    std::memset(result, fill, before);
    size_t kept = std::min(text.size(), target);
    if (kept > 0) std::memcpy(result + before, text.data(), kept);
    std::memset(result + before + kept, fill, target - before - kept);
    result[target] = '\0';
    type = exp_type::kText;
    return true;
  }

 protected:
  // How many of the surplus fill characters go in front.
  virtual size_t Before(size_t surplus) const = 0;
};

class TvrUDFPadC : public TvrUDFPadMain {
 public:
  std::string FunctionName() const override { return "PADC"; }

 protected:
  size_t Before(size_t surplus) const override { return surplus / 2; }
};

class TvrUDFPadL : public TvrUDFPadMain {
 public:
  std::string FunctionName() const override { return "PADL"; }

 protected:
  size_t Before(size_t surplus) const override { return surplus; }
};

class TvrUDFPadR : public TvrUDFPadMain {
 public:
  std::string FunctionName() const override { return "PADR"; }

 protected:
  size_t Before(size_t) const override { return 0; }
};

class TvrUDFSoundex : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "SOUNDEX"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    std::string_view text;
    if (!FetchText(call, 0, text)) return false;
    char code[5] = {};
    size_t written = 0;
    const platform::ByteTable& upper = call.Handler().CaseTable().upper;
    for (size_t i = 0; i < text.size() && written < 4; ++i) {
      char c = static_cast<char>(upper[static_cast<unsigned char>(text[i])]);
      if (i == 0) {
        code[written++] = c;
        continue;
      }
      char digit = Digit(c);
      if (digit == ' ' || digit == code[written - 1]) continue;
      code[written++] = digit;
    }
    while (written < 4) code[written++] = '0';
    return ReturnText(result, type, std::string_view(code, 4), call);
  }

 private:
  static char Digit(char c) {
    switch (c) {
      case 'B': case 'F': case 'P': case 'V': return '1';
      case 'C': case 'G': case 'J': case 'K': case 'Q': case 'S': case 'X': case 'Z': return '2';
      case 'D': case 'T': return '3';
      case 'L': return '4';
      case 'M': case 'N': return '5';
      case 'R': return '6';
      default: return ' ';
    }
  }
};

class TvrUDFSubStr : public TvrUserDefFunction {
 public:
  std::string FunctionName() const override { return "SUBSTR"; }
  bool Evaluate(TvrExpFunction& call, char* result, TvrExpType& type) override {
    std::string_view text;
    double startValue = 0;
    if (!FetchText(call, 0, text) || !FetchNumber(call, 1, startValue)) return false;
    int64_t start = TruncCount(startValue);
    auto length = static_cast<int64_t>(text.size());
    if (start <= 0 || start > length) return ReturnText(result, type, std::string_view(), call);
    double countValue = 0;
    int64_t count = builtin::OptionalNumber(call, 2, countValue) ? TruncCount(countValue) : length;
    count = std::min(count, length - start + 1);
    if (count <= 0) return ReturnText(result, type, std::string_view(), call);
    return ReturnText(result, type, text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)), call);
  }
};

std::vector<std::unique_ptr<TvrUserDefFunction>> MakeTextFunctions() {
  std::vector<std::unique_ptr<TvrUserDefFunction>> functions;
  functions.push_back(std::make_unique<TvrUDFAllTrim>());
  functions.push_back(std::make_unique<TvrUDFAsc>());
  functions.push_back(std::make_unique<TvrUDFChr>());
  functions.push_back(std::make_unique<TvrUDFLeft>());
  functions.push_back(std::make_unique<TvrUDFLower>());
  functions.push_back(std::make_unique<TvrUDFLTrim>());
  functions.push_back(std::make_unique<TvrUDFPadC>());
  functions.push_back(std::make_unique<TvrUDFPadL>());
  functions.push_back(std::make_unique<TvrUDFPadR>());
  functions.push_back(std::make_unique<TvrUDFRight>());
  functions.push_back(std::make_unique<TvrUDFRTrim>());
  functions.push_back(std::make_unique<TvrUDFSoundex>());
  functions.push_back(std::make_unique<TvrUDFSubStr>());
  functions.push_back(std::make_unique<TvrUDFTrim>());
  functions.push_back(std::make_unique<TvrUDFUpper>());
  return functions;
}

}  // namespace velorin
