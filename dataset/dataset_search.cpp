// Searching: Locate and Lookup through the handler's field search.
#include "dataset/Velorin6DB.h"

#include <type_traits>
#include <variant>

#include "dataset/current_record_scope.h"
#include "dataset/dataset_shared.h"
#include "engine/text_trim.h"
#include "engine/vr6_Date.h"
#include "engine/vr6_glbl.h"
#include "platform/number_text.h"

namespace velorin {

using namespace dataset_detail;

// ---------------------------------------------------------------------------
// Searching

std::string TVelorinDataSet::SearchText(const TFieldData& value) const {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return {};
        } else if constexpr (std::is_same_v<T, std::string>) {
          return v;
        } else if constexpr (std::is_same_v<T, int32_t>) {
          return std::to_string(v);
        } else if constexpr (std::is_same_v<T, double>) {
          return platform::FloatToText(v);
        } else if constexpr (std::is_same_v<T, bool>) {
          return v ? "T" : "F";
        } else {
          return DBFDate().DayNumberToStorage(DecodeDate(v) ? DayNumberOf(v) : 0);
        }
      },
      value);
}

bool TVelorinDataSet::LocateRecord(const std::string& keyFields, const TFieldData& value, TLocateOptions options,
                                   int32_t* found) {
  // An open tag whose key is keyFields (and that has no FOR condition) is the
  // fast way; otherwise the search runs through the records.
  for (int32_t n = 1; IndexOrder* tag = handler_->TagByPosition(n); ++n) {
    if (!TrimBlanks(tag->ForExpressionText()).empty() ||
        CompareTextNoCase(TrimBlanks(tag->KeyExpressionText()), TrimBlanks(keyFields)) != 0) {
      continue;
    }
    return SeekInTag(*tag, SearchText(value), options, found);
  }
  int32_t fieldNumber = handler_->FieldNumber(keyFields);
  if (fieldNumber == 0) ComponentError(dataset_text::FieldNotFound(keyFields));
  // The table's text is OEM when the dataset translates: so must the value be.
  std::string pattern = TranslateText(SearchText(value), true);
  uint16_t mode = kLocateBase;
  if (options.PartialKey) {
    mode |= search_option::kWildcards;
    pattern += '*';
  } else {
    mode |= search_option::kWholeField;
  }
  if (options.CaseInsensitive) mode |= search_option::kIgnoreCase;
  handler_->SetSearchOptions(mode);

  CurrentRecordScope scope(*handler_, scratch_.Image());
  int32_t start = 0;
  for (;;) {
    if (!handler_->Search(pattern, fieldNumber, 0, start)) return false;
    // The search reads its first record raw: pass over one the cursor hides.
    if ((!handler_->IsDeleted() || useDeleted_) && AcceptRecord()) {
      *found = start;
      return true;
    }
  }
}

bool TVelorinDataSet::SeekInTag(IndexOrder& tag, const std::string& key, TLocateOptions options, int32_t* found) {
  std::string remembered = handler_->CurrentTagName();
  std::string name = tag.Name();
  CurrentRecordScope scope(*handler_, scratch_.Image());
  int32_t current = handler_->RecordNumber();
  bool exact = handler_->ExactMatch();
  ScopeExit restore([&] {
    handler_->SetExactMatch(exact);
    handler_->SelectOrder(remembered.empty() ? nullptr : &remembered, true);
    if (current > 0) handler_->GoRecord(current);
  });
  handler_->SelectOrder(&name, true);
  handler_->SetExactMatch(!options.PartialKey);
  if (!handler_->Find(key)) return false;
  *found = handler_->RecordNumber();
  return true;
}

bool TVelorinDataSet::Locate(const std::string& keyFields, const TFieldData& value, TLocateOptions options) {
  CheckActive();
  handler_->ReadHeader();
  if (handler_->RecordCount() == 0) return false;
  CheckBrowseMode();
  int32_t found = 0;
  if (!LocateRecord(keyFields, value, options, &found)) return false;
  Signal(BeforeScroll);
  if (FetchCurrent(found)) {
    beforeFirstPending_ = afterLastPending_ = false;
    atEnd_ = atStart_ = false;
  }
  Signal(AfterScroll);
  NotifyDetails();
  return true;
}

TFieldData TVelorinDataSet::Lookup(const std::string& keyFields, const TFieldData& value,
                                   const std::string& resultField) {
  CheckActive();
  TField& result = FieldByName(resultField);
  handler_->ReadHeader();
  if (handler_->RecordCount() == 0) return {};
  CheckBrowseMode();
  int32_t found = 0;
  TFieldData answer;
  bool located = LocateRecord(keyFields, value, {}, &found);
  if (located) {
    if (result.Calculated()) {
      ComputeCalcFields(scratch_);
      TDataSetState saved = State();
      TRecordBuffer* savedTarget = calcTarget_;
      SetState(TDataSetState::CalcFields);
      calcTarget_ = &scratch_;
      ScopeExit restore([this, saved, savedTarget] {
        SetState(saved);
        calcTarget_ = savedTarget;
      });
      answer = ReadCalcField(result);
    } else if (result.Kind() != TFieldKind::Memo && result.Kind() != TFieldKind::Blob) {
      answer = ReadDataField(result, scratch_.Image());
    }
  }
  SyncHandler();
  return answer;
}

}  // namespace velorin
