// key_expression.h — an index key or FOR expression compiled against a table.
//
// An index order computes its key and its FOR condition through this one class;
// the expression language itself lives in expr/. A key evaluates to a text
// (character keys, logicals as "T" or "F"), a numeric or a date (TvrVariant
// kinds); ResultType tells which: 'C', 'N', 'D' or 'L'. Compiling a text that
// is not a valid expression raises the expression layer's error; a literal or a
// value that does not convert (a date literal that is no date), in compiling or
// evaluating, raises EVelorinExpression with the conversion's message.
#pragma once

#include <memory>
#include <string>

#include "engine/vr6_glbl.h"

namespace velorin {

class VRO_dBaseFld;

class KeyExpression {
 public:
  virtual ~KeyExpression() = default;

  // Compiles text against the table; raises an EVelorinError when it does not compile.
  static std::unique_ptr<KeyExpression> Compile(VRO_dBaseFld& table, const std::string& text);

  // Evaluates on the table's current record.
  virtual void Evaluate(TvrVariant& result) = 0;
  // 'C', 'N', 'D' or 'L'.
  virtual char ResultType() const = 0;
  // The declared width and decimals of the result (a numeric field's length and
  // decimals, a text's length); 0 when the expression declares none.
  virtual int32_t ResultWidth() const { return 0; }
  virtual int32_t ResultDecimals() const { return 0; }
  // The expression as its compiled form renders it.
  virtual std::string Text() const = 0;
};

}  // namespace velorin
