// Opening and closing the dataset: the table path, the handler, field definitions.
#include "dataset/Velorin6DB.h"

#include <algorithm>
#include <exception>

#include "dataset/current_record_scope.h"
#include "dataset/dataset_shared.h"
#include "index/index_families.h"
#include "platform/file_names.h"
#include "platform/locale_settings.h"

namespace velorin {

using namespace dataset_detail;

// ---------------------------------------------------------------------------
// Opening and closing

std::string TVelorinDataSet::TablePath() const {
  std::string name = tableName_;
  if (!HasExtension(name)) name += ".DBF";
  std::string path = !name.empty() && name.front() == '/' ? name : DatabaseDirectory(databaseName_) + name;
  return platform::FullPathName(path);
}

std::unique_ptr<DBFObject> TVelorinDataSet::MakeHandler(const std::string& path, bool readWrite, bool shared,
                                                        bool* readOnlyFallback) {
  *readOnlyFallback = false;
  InstallIndexFamilies();  // index files and expression filters for every table the dataset opens
  try {
    return std::make_unique<DBFObject>(*this, path, readWrite, shared);
  } catch (const EVelorinError&) {
    if (!readWrite) throw;
    // A table that can only be read (a write-protected file) opens read-only;
    // ReadOnly then reads true. Any other failure fails read-only too.
    std::exception_ptr first = std::current_exception();
    try {
      auto handler = std::make_unique<DBFObject>(*this, path, false, shared);
      *readOnlyFallback = true;
      return handler;
    } catch (const EVelorinError&) {
      std::rethrow_exception(first);
    }
  }
}

void TVelorinDataSet::BuildFieldDefs() {
  TFieldDefs& defs = MutableFieldDefs();
  defs.Clear();
  for (int32_t i = 1; i <= handler_->FieldCount(); ++i) {
    char type = handler_->FieldType(i);
    int32_t length = handler_->FieldLength(i);
    TFieldKind kind = KindOfColumn(type, length, handler_->FieldDecimals(i), handler_->Version());
    if (kind == TFieldKind::Unknown) continue;
    defs.Add({handler_->FieldName(i), kind, kind == TFieldKind::String ? length : 0, i});
  }
}

void TVelorinDataSet::UpdateFieldDefs() {
  if (Active()) {
    BuildFieldDefs();
    return;
  }
  if (tableName_.empty()) DatabaseError(text::kTableNameMissing);
  std::string path = TablePath();
  if (!platform::FileExists(path)) DatabaseError(text::kCannotFindFile + path);
  bool fallback = false;
  handler_ = MakeHandler(path, false, true, &fallback);
  ScopeExit release([this] { handler_.reset(); });
  BuildFieldDefs();
}

void TVelorinDataSet::Open() {
  if (Active()) return;
  Signal(BeforeOpen);
  if (tableName_.empty()) DatabaseError(text::kTableNameMissing);
  std::string path = TablePath();
  if (!platform::FileExists(path)) DatabaseError(text::kCannotFindFile + path);
  try {
    handler_ = MakeHandler(path, !readOnly_, !exclusive_, &openedReadOnly_);
    // ReadOnly stays true while the file is open read-only, however it was asked.
    openedReadOnly_ = openedReadOnly_ || readOnly_;
    handler_->SetUseDeleted(useDeleted_);
    handler_->SetLockProtocol(static_cast<uint8_t>(lockProtocol_));
    handler_->SetUserID(userId_);
    handler_->SetTextCodePage(translateAscii_ ? platform::ActiveLocale().OemCodePage() : 0);
    handler_->SetReadAheadAllowed(false);  // a shared table must show what others wrote

    BuildFieldDefs();
    CreateFields();
    std::vector<const TField*> calcFields;
    for (TField* field : Fields()) {
      if (!field->Calculated()) continue;
      if (TRecordLayout::CalcValueSize(*field) == 0) {
        ComponentError("Вычисляемое поле '" + field->FieldName() + "' не может быть типа " +
                       FieldKindName(field->Kind()));
      }
      calcFields.push_back(field);
    }
    std::sort(calcFields.begin(), calcFields.end(),
              [](const TField* a, const TField* b) { return a->CalcIndex() < b->CalcIndex(); });

    recordSize_ = handler_->RecordLength();
    layout_ = TRecordLayout(recordSize_, calcFields);
    current_.Allocate(layout_);
    backup_.Allocate(layout_);
    scratch_.Allocate(layout_);
    beforeFirstPending_ = true;
    afterLastPending_ = false;
    hasRecord_ = false;
    atEnd_ = atStart_ = true;
    SetState(TDataSetState::Browse);

    if (!indexFiles_.empty()) {
      OpenIndexFiles();
      ApplyIndexName(indexName_);
    }
    // A filter set while the dataset was closed takes effect now; one that
    // cannot be used fails the opening and leaves Filtered false.
    if (filtered_) {
      try {
        ApplyFilter();
      } catch (...) {
        filtered_ = false;
        throw;
      }
    }
    editLockHeld_ = false;
    modified_ = false;

    beforeFirstPending_ = false;
    if (FetchCurrent(nav::kFirst)) {
      atStart_ = true;
      atEnd_ = false;
    } else {
      SetNoRecord();
    }
    if (master_ != nullptr && master_->Active()) ApplyMasterRange();
  } catch (...) {
    DestroyFields();
    handler_.reset();
    openedReadOnly_ = false;
    hasRecord_ = false;
    SetState(TDataSetState::Inactive);
    throw;
  }
  Signal(AfterOpen);
  NotifyDetails();
}

void TVelorinDataSet::Close() {
  if (!Active()) return;
  Signal(BeforeClose);
  if (IsEditing(State())) Cancel();
  if (editLockHeld_) {
    handler_->Unlock();
    editLockHeld_ = false;
  }
  DestroyFields();
  handler_.reset();
  openedReadOnly_ = false;
  masterRangeSet_ = false;
  hasRecord_ = false;
  atEnd_ = atStart_ = true;
  beforeFirstPending_ = afterLastPending_ = false;
  modified_ = false;
  SetState(TDataSetState::Inactive);
  Signal(AfterClose);
  NotifyDetails();
}

}  // namespace velorin
