#include "expr/vr6_sql.h"

#include "expr/exp_parser.h"
#include "engine/vr6_Date.h"
#include "platform/code_page.h"

namespace velorin {

TvrExpHandler::TvrExpHandler(TvrExpUserLink* link, bool sqlStyle) : link_(link) {
  if (sqlStyle) {
    manyWildcard_ = '%';
    oneWildcard_ = '_';
  }
}

TvrExpHandler::TvrExpHandler(TvrExpUserLink* link, bool sqlStyle, const std::string& text)
    : TvrExpHandler(link, sqlStyle) {
  SetExpression(text);
}

TvrExpHandler::~TvrExpHandler() = default;

void TvrExpHandler::ClearExpression() {
  root_.reset();
  largestWidth_ = 0;
  largestDecimals_ = 0;
  operandCount_ = 0;
  resultType_ = exp_type::kNone;
}

void TvrExpHandler::SetExpression(const std::string& text) {
  ClearExpression();
  if (text.find_first_not_of(" \t") == std::string::npos) return;
  if (text.size() > kExpMaxTextLength) RaiseExpression(exp_message::kTextTooLong);
  try {
    ExpParser parser(*this);
    root_ = parser.ParseText(text);
    TvrExpBuffer buffer;
    EvaluateToBuffer(buffer);
  } catch (...) {
    ClearExpression();
    throw;
  }
}

std::string TvrExpHandler::ExpressionText() const { return root_ ? root_->ExpressionText() : std::string(); }

const char* TvrExpHandler::EvaluateToBuffer(TvrExpBuffer& buffer) {
  if (!root_) {
    resultType_ = exp_type::kNone;
    return nullptr;
  }
  TvrExpType type = exp_type::kNone;
  root_->Evaluate(buffer.data(), type);
  resultType_ = type;
  return buffer.data();
}

TvrVariant* TvrExpHandler::EvaluateToVariant(TvrVariant& value) {
  TvrExpBuffer buffer;
  if (EvaluateToBuffer(buffer) == nullptr) {
    value.Clear();
    return nullptr;
  }
  switch (resultType_) {
    case exp_type::kText: {
      size_t length = std::strlen(buffer.data());
      if (length > kExpMaxVariantLength) {
        RaiseExpressionNumber(exp_message::kValueTooLong, static_cast<int32_t>(kExpMaxVariantLength),
                              "a key value");
      }
      value.SetText(std::string_view(buffer.data(), length));
      return &value;
    }
    case exp_type::kNumber:
    case exp_type::kNumber2:
    case exp_type::kDate2: value.SetFloat(ReadExpDouble(buffer.data())); return &value;
    case exp_type::kDate: value.SetDate(DayNumberFromDouble(ReadExpDouble(buffer.data()))); return &value;
    case exp_type::kBoolean: value.SetLogical(buffer[0] != 0); return &value;
    default:
      resultType_ = exp_type::kNone;
      value.Clear();
      return nullptr;
  }
}

const platform::CaseTable& TvrExpHandler::CaseTable() {
  int codePage = CodePage();
  if (caseTable_ == nullptr || codePage != caseCodePage_) {
    caseTable_ = &ExpCaseTable(codePage);
    caseCodePage_ = codePage;
  }
  return *caseTable_;
}

}  // namespace velorin
