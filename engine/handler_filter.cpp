// The table handler's expression filter: the compiled expression, the bit set
// of the records that pass it, and the set's upkeep.
#include <algorithm>

#include "engine/vr6_dbsy.h"
#include "engine/vr6_eror.h"
#include "platform/convert_error.h"

namespace velorin {

namespace {

constexpr const char* kNotLogical = "Filter expression must return boolean result";

// The lowest number from..limit whose bit is set, 0 when none; whole zero bytes
// and missing pages are passed over at once.
int32_t NextInSet(const TvrHugeSet& set, int64_t from, int64_t limit) {
  int64_t n = std::max<int64_t>(from, 1);
  while (n <= limit) {
    const uint8_t* page = set.PageData(static_cast<int32_t>(n / TvrHugeSet::kBitsPerPage));
    if (page == nullptr) {
      n = (n / TvrHugeSet::kBitsPerPage + 1) * TvrHugeSet::kBitsPerPage;
      continue;
    }
    uint8_t byte = page[(n / 8) % TvrHugeSet::kPageBytes];
    if ((byte >> (n % 8)) == 0) {
      n = (n / 8 + 1) * 8;
      continue;
    }
    if (byte & (1u << (n % 8))) return static_cast<int32_t>(n);
    ++n;
  }
  return 0;
}

// The highest number 1..from whose bit is set, 0 when none.
int32_t PreviousInSet(const TvrHugeSet& set, int64_t from) {
  for (int64_t n = from; n >= 1;) {
    const uint8_t* page = set.PageData(static_cast<int32_t>(n / TvrHugeSet::kBitsPerPage));
    if (page == nullptr) {
      n = (n / TvrHugeSet::kBitsPerPage) * TvrHugeSet::kBitsPerPage - 1;
      continue;
    }
    uint8_t byte = page[(n / 8) % TvrHugeSet::kPageBytes];
    if ((byte & ((2u << (n % 8)) - 1)) == 0) {
      n = (n / 8) * 8 - 1;
      continue;
    }
    if (byte & (1u << (n % 8))) return static_cast<int32_t>(n);
    --n;
  }
  return 0;
}

}  // namespace

void VRO_dBHandler::SetFilter(const std::string& expression, bool ignoreCase, bool partialMatch) {
  filterInEffect_ = false;
  if (!filterSet_) filterSet_ = std::make_unique<TvrHugeSet>();
  if (!filterExpression_) {
    RecordFilterMaker maker = InstalledRecordFilterMaker();
    if (maker == nullptr) {
      // No expression can be compiled without the evaluator.
      status_ = error_code::kFormulaUntranslatable;
      Error(status_, sub_code::kNone, expression);
      return;
    }
    filterExpression_ = maker(*this);
  }
  if (expression != filterText_ || ignoreCase != filterIgnoreCase_ || partialMatch != filterPartialMatch_ ||
      !filterExpression_->IsCompiled()) {
    filterText_ = expression;
    filterIgnoreCase_ = ignoreCase;
    filterPartialMatch_ = partialMatch;
    filterSet_->Clear();
    try {
      filterExpression_->Compile(expression, ignoreCase, partialMatch);
    } catch (...) {
      ClearFilterExpression();
      throw;
    }
    if (filterExpression_->IsCompiled() && filterExpression_->ResultKind() != kFilterLogicalResult) {
      ClearFilterExpression();
      RaiseEngineMessage(kNotLogical);
    }
  }
  FillFilterSet();
  SetFilterActive(filterWanted_);
}

void VRO_dBHandler::SetFilterActive(bool on) {
  filterWanted_ = on;
  filterInEffect_ = on && filterExpression_ && filterExpression_->IsCompiled();
}

bool VRO_dBHandler::InFilterSet(int32_t n) const {
  return filterSet_ != nullptr && n >= 1 && n <= recordCount_ && filterSet_->Test(n);
}

void VRO_dBHandler::ClearFilterExpression() {
  filterText_.clear();
  if (filterExpression_) filterExpression_->Clear();
  if (filterSet_) filterSet_->Clear();
  filterInEffect_ = false;
}

void VRO_dBHandler::FillFilterSet() {
  filterSet_->Clear();
  if (!filterExpression_->IsCompiled()) return;
  int32_t remembered = recordNumber_;
  IndexOrder* order = currentOrder_;
  bool readAhead = readAheadActive_;
  currentOrder_ = nullptr;
  SetReadAhead(true);
  try {
    for (GoRecord(nav::kFirst); !atEof_ && !atBof_ && recordNumber_ > 0; GoRecord(nav::kNext)) {
      if (filterExpression_->Passes()) filterSet_->Modify(recordNumber_, TvrHugeSet::kSetBit);
    }
  } catch (...) {
    currentOrder_ = order;
    if (!readAhead) SetReadAhead(false);
    ClearFilterExpression();
    throw;
  }
  currentOrder_ = order;
  if (!readAhead) SetReadAhead(false);
  if (remembered > 0 && remembered <= recordCount_) GoRecord(remembered);
}

void VRO_dBHandler::UpdateFilterBit(int32_t n) {
  if (!filterSet_ || !filterExpression_ || !filterExpression_->IsCompiled() || n < 1) return;
  bool passes = false;
  try {
    passes = filterExpression_->Passes();
  } catch (const EVelorinError&) {
    // The record is written; a value the expression cannot take hides it.
  } catch (const platform::EConvertError&) {
  }
  filterSet_->Modify(n, passes ? TvrHugeSet::kSetBit : TvrHugeSet::kClearBit);
}

int32_t VRO_dBHandler::FilterCandidate(int32_t code) {
  if (code == nav::kReread) return code;
  // Never beyond the table: bits above RecordCount are no records.
  int64_t limit = std::min<int64_t>(filterSet_ ? filterSet_->Highest() : 0, recordCount_);
  int32_t found = 0;
  switch (code) {
    case nav::kFirst:
    case nav::kNext:
      found = filterSet_ ? NextInSet(*filterSet_, code == nav::kFirst ? 1 : int64_t{recordNumber_} + 1, limit) : 0;
      if (found == 0) {
        atEof_ = true;
        if (code == nav::kFirst) atBof_ = true;  // the set has no numbers
      }
      return found;
    case nav::kLast:
    case nav::kPrevious:
      found = filterSet_ ? PreviousInSet(*filterSet_, code == nav::kLast ? limit
                                                                         : std::min<int64_t>(recordNumber_ - 1, limit))
                         : 0;
      if (found == 0) {
        atBof_ = true;
        if (code == nav::kLast) atEof_ = true;
      }
      return found;
    default: return code;
  }
}

}  // namespace velorin
