// expression_filter.h — the table handler's filter, made of an expression.
//
// ExpressionFilter implements the engine's RecordFilter seam with a
// TvrExpHandler on the table's own link (table_link.h).
// InstallExpressionFilter() makes the engine's handlers use it; it is called
// once, explicitly, before tables are filtered (by the dataset, velorin-dbf and
// whoever else needs filters), and calling it again changes nothing.
#pragma once

#include <memory>
#include <string>

#include "engine/record_filter.h"
#include "expr/vr6_sql.h"

namespace velorin {

class ExpressionFilter : public RecordFilter {
 public:
  explicit ExpressionFilter(VRO_dBaseFld& table);
  ~ExpressionFilter() override;

  void Compile(const std::string& text, bool ignoreCase, bool partialMatch) override;
  void Clear() override { expression_.ClearExpression(); }
  bool IsCompiled() const override { return expression_.HasExpression(); }
  uint8_t ResultKind() const override { return expression_.ResultType(); }
  bool Passes() override;

  const TvrExpHandler& Expression() const { return expression_; }

 private:
  std::unique_ptr<TvrExpUserLink> link_;
  TvrExpHandler expression_;
  TvrExpBuffer value_{};
};

// Installs the expression filter into the engine; idempotent.
void InstallExpressionFilter();

}  // namespace velorin
