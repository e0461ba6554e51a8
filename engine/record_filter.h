// record_filter.h — the handler's seam to the expression filter.
//
// The table handler keeps a filter as a compiled expression and a bit set of the
// records that pass it, but the expression language lives in the layer above the
// engine. The handler therefore speaks only to RecordFilter: compile a text
// against the table, tell the kind of its result, evaluate it on the current
// record. The expression layer installs a maker of filters with
// SetRecordFilterMaker (explicitly, at start-up, never from a static
// initialiser); until one is installed SetFilter raises an engine error.
//
// A filter belongs to one table and is used only by the thread that owns it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace velorin {

class VRO_dBaseFld;

// The result kind of a logical expression (the expression layer's type code 8).
constexpr uint8_t kFilterLogicalResult = 8;

class RecordFilter {
 public:
  virtual ~RecordFilter() = default;

  // Compiles text against the table; ignoreCase and partialMatch are the
  // comparison options of the expression's text operators. Throws the
  // expression layer's error (an EVelorinError) when the text does not compile;
  // the filter then holds no expression.
  virtual void Compile(const std::string& text, bool ignoreCase, bool partialMatch) = 0;
  // Forgets the compiled expression.
  virtual void Clear() = 0;
  virtual bool IsCompiled() const = 0;
  // The type code of the compiled expression's result; 0 without one.
  virtual uint8_t ResultKind() const = 0;
  // Evaluates the expression on the table's current record: true when it gives
  // the logical true. Throws what the evaluation throws.
  virtual bool Passes() = 0;
};

using RecordFilterMaker = std::unique_ptr<RecordFilter> (*)(VRO_dBaseFld& table);

// Installs the maker of filters (nullptr uninstalls); the last call wins.
void SetRecordFilterMaker(RecordFilterMaker maker);
// The installed maker, or nullptr.
RecordFilterMaker InstalledRecordFilterMaker();

}  // namespace velorin
