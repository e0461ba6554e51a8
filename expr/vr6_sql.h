// vr6_sql.h — the expression evaluator: dBase-style expressions for index keys,
// FOR conditions and filters, parsed once and evaluated as often as needed
// against the current record.
//
// TvrExpHandler turns a text such as UPPER(NAME), DTOS(BIRTH)+NAME or
// VARIANT = 1 .AND. SCORE > 10 into a tree of nodes (exp_nodes.h) and
// evaluates the tree into a value buffer or a TvrVariant. Names and table
// functions are resolved through the handler's user link (a table's link comes
// from MakeTableLink, table_link.h); built-in functions through
// BuiltinFunctions(). Compiling evaluates the tree once to learn the result
// type. Every failure is an EVelorinExpression, and a failed compilation
// leaves the handler without an expression.
//
// Contract for the users of keys: after SetExpression, ResultType() is one of
// the exp_type codes (3 text, 4 number, 6 date, 8 boolean; 9 for a field
// without a value of its own), ExpressionText() the text of the tree without
// blanks, and evaluation allocates nothing on the heap (EvaluateToVariant
// reuses the variant's buffer when it is large enough).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/vr6_glbl.h"
#include "expr/exp_nodes.h"
#include "expr/exp_registry.h"
#include "expr/exp_types.h"

namespace velorin {

namespace platform {
struct CaseTable;
}

class TvrExpHandler {
 public:
  // Without a text the handler holds no expression. sqlStyle makes the
  // wildcards "%" and "_" instead of "*" and "?". The link may be nullptr (then
  // a name raises "Field/variable %s is unknown"); it must outlive the handler.
  explicit TvrExpHandler(TvrExpUserLink* link, bool sqlStyle = false);
  TvrExpHandler(TvrExpUserLink* link, bool sqlStyle, const std::string& text);
  virtual ~TvrExpHandler();
  TvrExpHandler(const TvrExpHandler&) = delete;
  TvrExpHandler& operator=(const TvrExpHandler&) = delete;

  // The text of the tree, or empty.
  virtual std::string ExpressionText() const;
  // Evaluates into buffer and sets the result type; nullptr when there is no
  // expression.
  virtual const char* EvaluateToBuffer(TvrExpBuffer& buffer);
  // Evaluates and stores the result in value: text (at most 255 bytes, longer
  // raises an expression error), number, date (its day number; the blank date
  // as 0) or logical. Any other type makes the result type 0, clears value and
  // gives nullptr; so does a handler without an expression.
  virtual TvrVariant* EvaluateToVariant(TvrVariant& value);

  // Replaces the expression. An empty (or blank) text leaves none. The
  // comparison options are taken into the operators now, so set them first.
  void SetExpression(const std::string& text);
  void ClearExpression();
  bool HasExpression() const { return root_ != nullptr; }

  TvrExpType ResultType() const { return resultType_; }
  TvrExpUserLink* UserLink() const { return link_; }
  int32_t LargestWidth() const { return largestWidth_; }
  int32_t LargestDecimals() const { return largestDecimals_; }
  int32_t OperandCount() const { return operandCount_; }
  const TvrExpBaseObject* Root() const { return root_.get(); }

  bool CaseInsensitive() const { return caseInsensitive_; }
  void SetCaseInsensitive(bool on) { caseInsensitive_ = on; }
  bool PatternCompare() const { return patternCompare_; }
  void SetPatternCompare(bool on) { patternCompare_ = on; }
  char ManyWildcard() const { return manyWildcard_; }
  char OneWildcard() const { return oneWildcard_; }

  // The code page of the text the expression works on (the link's; 0: ANSI),
  // and its letter cases.
  int CodePage() const { return link_ != nullptr ? link_->CodePage() : 0; }
  const platform::CaseTable& CaseTable();
  // STR's width when none is given: the link's, or 10.
  int32_t DefaultStrWidth() const {
    return link_ != nullptr ? link_->DefaultStrWidth() : TvrExpUserLink::kDefaultStrWidth;
  }

 private:
  friend class ExpParser;

  TvrExpUserLink* link_;
  TvrExpType resultType_ = exp_type::kNone;
  int32_t largestWidth_ = 0;
  int32_t largestDecimals_ = 0;
  std::unique_ptr<TvrExpBaseObject> root_;
  int32_t operandCount_ = 0;
  bool caseInsensitive_ = false;
  bool patternCompare_ = true;
  char manyWildcard_ = '*';
  char oneWildcard_ = '?';
  int caseCodePage_ = -1;
  const platform::CaseTable* caseTable_ = nullptr;
};

}  // namespace velorin
