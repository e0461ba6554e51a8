#include "dataset/Velorin6DB.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>

#include "dataset/current_record_scope.h"
#include "engine/byte_order.h"
#include "engine/vr6_Date.h"
#include "platform/code_page.h"
#include "platform/file_names.h"
#include "platform/locale_settings.h"
#include "platform/number_text.h"

namespace velorin {

namespace {

namespace text {
constexpr const char* kTableNameMissing = "Table name missing";
constexpr const char* kCannotFindFile = "Cannot find file ";
constexpr const char* kErrorGetting = "Error getting ";
constexpr const char* kBeyondRange = "Record request beyond range of table";
constexpr const char* kCannotDelete = "Cannot delete the record";
constexpr const char* kCannotRecall = "Cannot recall the record";
constexpr const char* kBookmarkInvalid = "Bookmark is invalid for table ";
constexpr const char* kRecordLocked = "Record is locked by another user";
constexpr const char* kNotEditing = "Dataset not in edit or insert mode";
constexpr const char* kClosed = "Не могу выполнить эту операцию над закрытой базой данных";
constexpr const char* kOpen = "Не могу выполнить эту операцию над открытым набором данных (dataset)";
constexpr const char* kEmpty = "Не могу выполнить эту операцию над пустой базой данных";
constexpr const char* kCircularLink = "Циклические связи не допускаются";
constexpr const char* kReadOnlyDataSet = "Не могу изменить набор данных, открытый только для чтения";
}  // namespace text

// The Search option bits the cursor's Locate uses.
constexpr uint16_t kLocateBase = search_option::kFromFirstCharacter;

bool IsEditing(TDataSetState state) { return state == TDataSetState::Edit || state == TDataSetState::Insert; }

// The field kind of a table column; Unknown for a column that is not offered.
TFieldKind KindOfColumn(char type, int32_t length, int32_t decimals, uint8_t version) {
  switch (type) {
    case 'C': return TFieldKind::String;
    case 'D': return TFieldKind::Date;
    case 'N':
    case 'F':
      if (decimals > 0) return TFieldKind::Float;
      return length < 5 ? TFieldKind::SmallInt : TFieldKind::Integer;
    case 'I': return TFieldKind::Integer;
    case 'L': return TFieldKind::Boolean;
    case 'M': return TFieldKind::Memo;
    // In Visual FoxPro tables "B" is a double in the record, not a memo.
    case 'B': return version == dbf_version::kVisualFoxPro ? TFieldKind::Float : TFieldKind::Blob;
    case 'G': return TFieldKind::Blob;
    case 'T': return TFieldKind::DateTime;
    default: return TFieldKind::Unknown;
  }
}

std::string TrimTrailing(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool HasExtension(const std::string& name) { return platform::BaseName(name).find('.') != std::string::npos; }

}  // namespace

// ---------------------------------------------------------------------------
// The handler

DBFObject::DBFObject(TVelorinDataSet& owner, const std::string& fileName, bool readWrite, bool shared)
    : VRO_dBHandler(fileName, readWrite, shared), owner_(owner) {}

void DBFObject::StatusUpdate(int32_t stat1, int32_t stat2, int32_t stat3) { owner_.HandlerStatus(stat1, stat2, stat3); }

int32_t DBFObject::UserHook(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
  std::string request = std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," +
                        std::to_string(d) + "," + std::to_string(e);
  std::string result;
  return owner_.HandlerFormula("UserHook", request, result) ? 1 : -1;
}

bool DBFObject::RecordAccepted() { return owner_.AcceptRecord(); }

// ---------------------------------------------------------------------------
// Construction and properties

TVelorinDataSet::TVelorinDataSet(std::string name) : TDataSetBase(std::move(name)) {}

TVelorinDataSet::~TVelorinDataSet() {
  try {
    Close();
  } catch (const std::exception& e) {
    ShowErrorMessage(e.what());
  }
  if (master_ != nullptr) std::erase(master_->details_, this);
  for (TVelorinDataSet* detail : details_) detail->master_ = nullptr;
}

const std::string& TVelorinDataSet::About() {
  static const std::string banner = "Velorin table dataset 6.0";
  return banner;
}

void TVelorinDataSet::SetActive(bool active) {
  if (active) {
    Open();
  } else {
    Close();
  }
}

void TVelorinDataSet::SetDatabaseName(const std::string& value) {
  if (value == databaseName_) return;
  std::string stored = Aliases().RegisterDatabaseName(value);
  CheckInactive();
  databaseName_ = stored;
}

void TVelorinDataSet::SetTableName(const std::string& name) {
  if (name == tableName_) return;
  CheckInactive();
  tableName_ = name;
  if (!loading_) indexFiles_.clear();
}

void TVelorinDataSet::SetReadOnly(bool value) { readOnly_ = value; }

void TVelorinDataSet::SetUseDeleted(bool value) {
  useDeleted_ = value;
  if (handler_) handler_->SetUseDeleted(value);
}

void TVelorinDataSet::SetLockProtocol(TvrLokProtocol protocol) {
  lockProtocol_ = protocol;
  if (handler_) handler_->SetLockProtocol(static_cast<uint8_t>(protocol));
}

void TVelorinDataSet::SetTranslateASCII(bool value) {
  translateAscii_ = value;
  if (handler_) handler_->SetTextCodePage(value ? platform::ActiveLocale().OemCodePage() : 0);
}

void TVelorinDataSet::SetUserID(int32_t id) {
  userId_ = id;
  if (handler_) handler_->SetUserID(id);
}

void TVelorinDataSet::SetFilter(const std::string& expression) {
  filter_ = expression;
  if (!Active() || !filtered_) return;
  CheckBrowseMode();
  ApplyFilter();
  First();
}

void TVelorinDataSet::SetFilterOptions(bool caseInsensitive, bool noPartialCompare) {
  filterCaseInsensitive_ = caseInsensitive;
  filterNoPartialCompare_ = noPartialCompare;
  if (!Active() || !filtered_) return;
  CheckBrowseMode();
  ApplyFilter();
  First();
}

void TVelorinDataSet::SetFiltered(bool value) {
  if (!Active()) {
    filtered_ = value;
    return;
  }
  CheckBrowseMode();
  if (value != filtered_) {
    filtered_ = value;
    handler_->SetFilterActive(value);
    if (value) {
      try {
        ApplyFilter();
      } catch (...) {
        filtered_ = false;  // an expression that cannot be used filters nothing
        handler_->SetFilterActive(false);
        throw;
      }
    }
  }
  First();
}

void TVelorinDataSet::ApplyFilter() {
  handler_->SetFilterActive(true);
  // The table holds its text in the OEM code page when the dataset translates,
  // so the expression's literals must be in it too.
  if (!filter_.empty()) {
    handler_->SetFilter(TranslateText(filter_, true), filterCaseInsensitive_, !filterNoPartialCompare_);
  }
}

void TVelorinDataSet::SetIndexFiles(const std::vector<std::string>& files) {
  indexFiles_ = files;
  if (loading_) return;
  if (files.empty()) {
    if (handler_) handler_->OpenIndexes(nullptr, {});
    indexName_.clear();
    return;
  }
  if (Active()) {
    CheckBrowseMode();
    OpenIndexFiles();
    ApplyIndexName();
    return;
  }
  // Closed: open the table for the moment to check the files.
  if (tableName_.empty()) return;
  bool fallback = false;
  try {
    handler_ = MakeHandler(TablePath(), false, true, &fallback);
  } catch (const std::exception&) {
    return;  // a table that cannot be opened has no index files to check
  }
  ScopeExit release([this] { handler_.reset(); });
  OpenIndexFiles();
}

void TVelorinDataSet::OpenIndexFiles() {
  // Absolute names are kept; relative ones, with or without a directory of
  // their own, lie in the database directory, at opening and later alike.
  handler_->OpenIndexes(nullptr, {});
  std::string directory = DatabaseDirectory(databaseName_);
  for (const std::string& entry : indexFiles_) {
    std::string name = entry;
    if (!HasExtension(name)) name += ".NDX";
    std::string path = platform::FullPathName(!name.empty() && name.front() == '/' ? name : directory + name);
    if (!platform::FileExists(path)) DatabaseError(text::kCannotFindFile + path);
    if (handler_->OpenIndex(path) > 0) DatabaseError(text::kErrorGetting + path);
  }
}

void TVelorinDataSet::SetIndexName(const std::string& tagName) {
  if (!Active()) {
    indexName_ = tagName;
    return;
  }
  CheckBrowseMode();
  indexName_ = tagName;
  ApplyIndexName();
  ApplyMasterRange();
  try {
    if (hasRecord_) ResyncAroundHandler();
  } catch (const std::exception&) {
    // The cursor stays as it was; the next move reads the new order.
  }
  Signal(AfterScroll);
}

void TVelorinDataSet::ApplyIndexName() {
  std::string tag = TrimTrailing(indexName_);
  int32_t result = handler_->SelectOrder(tag.empty() ? nullptr : &tag, true);
  if (result < 0) DatabaseError("Index tag " + indexName_ + " is not assigned");
  if (hasRecord_) {
    CurrentRecordScope scope(*handler_, scratch_.Image());
    handler_->GoRecord(current_.RecordNumber(layout_));
  }
}

void TVelorinDataSet::SetMasterFields(const std::string& fieldName) {
  masterFields_ = fieldName;
  if (Active()) ApplyMasterRange();
}

void TVelorinDataSet::SetMasterSource(TVelorinDataSet* master) {
  for (TVelorinDataSet* link = master; link != nullptr; link = link->master_) {
    if (link == this) DatabaseError(text::kCircularLink);
  }
  if (master_ != nullptr) std::erase(master_->details_, this);
  master_ = master;
  if (master_ != nullptr) master_->details_.push_back(this);
  if (Active()) ApplyMasterRange();
}

void TVelorinDataSet::ApplyMasterRange() {
  if (!Active()) return;
  bool linked = master_ != nullptr && master_->Active() && !masterFields_.empty();
  if (!linked && !masterRangeSet_) return;
  CheckBrowseMode();
  // The range compares with the table's bytes: OEM when the dataset translates.
  std::string bound;
  if (linked) bound = TranslateText(master_->FieldText(masterFields_), true);
  handler_->SetRange(bound, bound, true, true);
  masterRangeSet_ = linked;
  First();
}

void TVelorinDataSet::NotifyDetails() {
  for (TVelorinDataSet* detail : std::vector<TVelorinDataSet*>(details_)) detail->ApplyMasterRange();
}

// ---------------------------------------------------------------------------
// Checks

void TVelorinDataSet::CheckActive() const {
  if (!Active()) ComponentError(text::kClosed);
}

void TVelorinDataSet::CheckInactive() const {
  if (Active()) ComponentError(text::kOpen);
}

void TVelorinDataSet::CheckCanModify() const {
  if (ReadOnly()) ComponentError(text::kReadOnlyDataSet);
}

void TVelorinDataSet::CheckBrowseMode() {
  if (!IsEditing(State())) return;
  if (modified_) {
    Post();
  } else {
    Cancel();
  }
}

bool TVelorinDataSet::CheckOperation(const std::function<void()>& op, const TDataSetErrorEvent& event) {
  for (;;) {
    try {
      op();
      return true;
    } catch (const EDatabaseError& error) {
      if (!event) throw;
      TDataAction action = TDataAction::Fail;
      event(*this, error, action);
      if (action == TDataAction::Fail) throw;
      if (action == TDataAction::Abort) return false;
    }
  }
}

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
      ApplyIndexName();
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

// ---------------------------------------------------------------------------
// Fetching

bool TVelorinDataSet::FetchCurrent(int32_t request) {
  {
    CurrentRecordScope scope(*handler_, scratch_.Image());
    handler_->GoRecord(request);
  }
  if (handler_->AtEOF() || handler_->AtBOF()) return false;
  scratch_.SetInfo(layout_, handler_->RecordNumber(), TBookmarkFlag::Current);
  ComputeCalcFields(scratch_);
  std::swap(current_, scratch_);
  hasRecord_ = true;
  return true;
}

void TVelorinDataSet::SyncHandler() {
  if (!hasRecord_) return;
  int32_t number = current_.RecordNumber(layout_);
  if (handler_->RecordNumber() == number) return;
  CurrentRecordScope scope(*handler_, scratch_.Image());
  handler_->GoRecord(number);
}

void TVelorinDataSet::ResyncAroundHandler() {
  beforeFirstPending_ = afterLastPending_ = false;
  if (FetchCurrent(nav::kReread)) {
    atEnd_ = atStart_ = false;
    return;
  }
  // Nothing visible from there on: the record before it.
  if (FetchCurrent(nav::kPrevious)) {
    atEnd_ = true;
    atStart_ = false;
    return;
  }
  SetNoRecord();
}

void TVelorinDataSet::SetNoRecord() {
  hasRecord_ = false;
  current_.SetInfo(layout_, 0, TBookmarkFlag::AfterLast);
  atEnd_ = atStart_ = true;
}

void TVelorinDataSet::ComputeCalcFields(TRecordBuffer& buffer) {
  buffer.ClearCalcArea(layout_);
  if (CalcFieldCount() == 0 || !OnCalcFields) return;
  TDataSetState saved = State();
  TRecordBuffer* savedTarget = calcTarget_;
  SetState(TDataSetState::CalcFields);
  calcTarget_ = &buffer;
  ScopeExit restore([this, saved, savedTarget] {
    SetState(saved);
    calcTarget_ = savedTarget;
  });
  OnCalcFields(*this);
}

void TVelorinDataSet::ReadRecordAgain(int32_t recordNumber, TRecordBuffer& into) {
  {
    CurrentRecordScope scope(*handler_, into.Image());
    handler_->GoRecord(recordNumber);
  }
  into.SetInfo(layout_, handler_->RecordNumber(), TBookmarkFlag::Current);
  ComputeCalcFields(into);
}

bool TVelorinDataSet::AcceptRecord() {
  if (!filtered_ || !OnFilterRecord) return true;
  TDataSetState saved = State();
  SetState(TDataSetState::Filter);
  ScopeExit restore([this, saved] { SetState(saved); });
  bool accept = true;
  OnFilterRecord(*this, accept);
  return accept;
}

void TVelorinDataSet::HandlerStatus(int32_t stat1, int32_t stat2, int32_t stat3) {
  if (OnStatus) OnStatus(stat1, stat2, stat3);
}

bool TVelorinDataSet::HandlerFormula(const std::string& who, const std::string& st, std::string& result) {
  if (!OnFormula) return false;
  char type = ' ';
  bool changed = false;
  bool answered = false;
  OnFormula(who, st, result, type, changed, answered);
  return answered;
}

// ---------------------------------------------------------------------------
// Moving

void TVelorinDataSet::First() {
  CheckActive();
  CheckBrowseMode();
  Signal(BeforeScroll);
  // Going to the first record reads the handler's top record at once.
  beforeFirstPending_ = afterLastPending_ = false;
  if (FetchCurrent(nav::kFirst)) {
    atStart_ = true;
    atEnd_ = false;
  } else {
    SetNoRecord();
  }
  Signal(AfterScroll);
  NotifyDetails();
}

void TVelorinDataSet::Last() {
  CheckActive();
  CheckBrowseMode();
  Signal(BeforeScroll);
  // Going to the last record reads the handler's bottom record at once.
  beforeFirstPending_ = afterLastPending_ = false;
  if (FetchCurrent(nav::kLast)) {
    atEnd_ = true;
    atStart_ = false;
  } else {
    SetNoRecord();
  }
  Signal(AfterScroll);
  NotifyDetails();
}

void TVelorinDataSet::Next() {
  CheckActive();
  CheckBrowseMode();
  if (atEnd_ && !beforeFirstPending_) return;
  Signal(BeforeScroll);
  int32_t request = nav::kNext;
  if (beforeFirstPending_) {
    beforeFirstPending_ = false;
    request = nav::kFirst;
  } else {
    SyncHandler();
  }
  if (FetchCurrent(request)) {
    atEnd_ = false;
    atStart_ = request == nav::kFirst;
  } else if (request == nav::kFirst || !hasRecord_) {
    SetNoRecord();
  } else {
    atEnd_ = true;  // the cursor stays on the last visible record
  }
  Signal(AfterScroll);
  NotifyDetails();
}

void TVelorinDataSet::Prior() {
  CheckActive();
  CheckBrowseMode();
  if (atStart_ && !afterLastPending_) return;
  Signal(BeforeScroll);
  int32_t request = nav::kPrevious;
  if (afterLastPending_) {
    afterLastPending_ = false;
    request = nav::kLast;
  } else {
    SyncHandler();
  }
  if (FetchCurrent(request)) {
    atStart_ = false;
    atEnd_ = request == nav::kLast;
  } else if (request == nav::kLast || !hasRecord_) {
    SetNoRecord();
  } else {
    atStart_ = true;
  }
  Signal(AfterScroll);
  NotifyDetails();
}

bool TVelorinDataSet::AtEnd() const { return !Active() || atEnd_; }

bool TVelorinDataSet::AtStart() const { return !Active() || atStart_; }

int32_t TVelorinDataSet::RecordCount() {
  if (!Active()) DatabaseError(text::kClosed);
  handler_->ReadHeader();  // records other programs appended
  if (!exactCount_) return handler_->RecordCount();
  int32_t remembered = hasRecord_ ? current_.RecordNumber(layout_) : 0;
  int32_t count = 0;
  CurrentRecordScope scope(*handler_, scratch_.Image());
  handler_->GoRecord(nav::kFirst);
  while (!handler_->AtEOF() && !handler_->AtBOF()) {
    ++count;
    handler_->GoRecord(nav::kNext);
  }
  if (remembered > 0) handler_->GoRecord(remembered);
  return count;
}

int32_t TVelorinDataSet::RecordNumber() const {
  if (!Active()) DatabaseError(text::kClosed);
  switch (State()) {
    case TDataSetState::CalcFields: return calcTarget_ != nullptr ? calcTarget_->RecordNumber(layout_) : 0;
    case TDataSetState::Filter: return handler_->RecordNumber();
    case TDataSetState::Insert: return 0;
    default: return hasRecord_ ? current_.RecordNumber(layout_) : 0;
  }
}

void TVelorinDataSet::SetRecordNumber(int32_t recordNumber) {
  CheckActive();
  CheckBrowseMode();
  handler_->ReadHeader();
  if (recordNumber < 1 || recordNumber > handler_->RecordCount()) DatabaseError(text::kBeyondRange);
  Signal(BeforeScroll);
  {
    CurrentRecordScope scope(*handler_, scratch_.Image());
    handler_->GoRecord(recordNumber);
  }
  ResyncAroundHandler();
  Signal(AfterScroll);
  NotifyDetails();
}

std::string TVelorinDataSet::GetBookmark() const {
  CheckActive();
  return hasRecord_ && State() != TDataSetState::Insert ? current_.Bookmark(layout_) : std::string();
}

void TVelorinDataSet::GotoBookmark(const std::string& bookmark) {
  CheckActive();
  int32_t number = 0;
  if (!BookmarkRecordNumber(bookmark, &number)) DatabaseError(text::kBookmarkInvalid + tableName_);
  SetRecordNumber(number);
}

void TVelorinDataSet::Refresh() {
  CheckActive();
  CheckBrowseMode();
  if (!hasRecord_) {
    First();
    return;
  }
  {
    CurrentRecordScope scope(*handler_, scratch_.Image());
    handler_->GoRecord(current_.RecordNumber(layout_));
  }
  ResyncAroundHandler();
}

// ---------------------------------------------------------------------------
// Field values

std::string TVelorinDataSet::FieldText(std::string_view fieldName) const {
  CheckActive();
  return FieldByName(fieldName).AsString();
}

std::string TVelorinDataSet::FieldTextUtf8(std::string_view fieldName) const {
  return platform::ToUtf8(FieldText(fieldName), platform::ActiveLocale().AnsiCodePage());
}

TDateTime TVelorinDataSet::FieldDateTime(std::string_view fieldName) const {
  CheckActive();
  return FieldByName(fieldName).AsDateTime();
}

int32_t TVelorinDataSet::FieldInteger(std::string_view fieldName) const {
  CheckActive();
  return FieldByName(fieldName).AsInteger();
}

double TVelorinDataSet::FieldFloat(std::string_view fieldName) const {
  CheckActive();
  return FieldByName(fieldName).AsFloat();
}

bool TVelorinDataSet::FieldBoolean(std::string_view fieldName) const {
  CheckActive();
  return FieldByName(fieldName).AsBoolean();
}

bool TVelorinDataSet::FieldIsNull(std::string_view fieldName) const {
  CheckActive();
  return FieldByName(fieldName).IsNull();
}

uint8_t* TVelorinDataSet::ActiveImage() {
  if (!Active()) return nullptr;
  switch (State()) {
    case TDataSetState::Filter: return handler_->CurrentRecord();
    case TDataSetState::CalcFields: return calcTarget_ != nullptr ? calcTarget_->Image() : nullptr;
    case TDataSetState::Edit:
    case TDataSetState::Insert:
    case TDataSetState::NewValue: return current_.Image();
    default: return hasRecord_ ? current_.Image() : nullptr;
  }
}

uint8_t* TVelorinDataSet::ActiveCalcArea(const TField& field) {
  if (!Active() || field.CalcIndex() < 0 || field.CalcIndex() >= CalcFieldCount()) return nullptr;
  TRecordBuffer* buffer = nullptr;
  switch (State()) {
    case TDataSetState::Filter: return nullptr;  // the candidate has no calculated values
    case TDataSetState::CalcFields: buffer = calcTarget_; break;
    case TDataSetState::Edit:
    case TDataSetState::Insert:
    case TDataSetState::NewValue: buffer = &current_; break;
    default: buffer = hasRecord_ ? &current_ : nullptr;
  }
  return buffer == nullptr ? nullptr : buffer->Calc(layout_, field.CalcIndex());
}

TFieldData TVelorinDataSet::GetFieldData(const TField& field) {
  CheckActive();
  if (field.Calculated()) return ReadCalcField(field);
  uint8_t* image = ActiveImage();
  if (image == nullptr || field.FieldNo() <= 0) return {};
  return ReadDataField(field, image);
}

TFieldData TVelorinDataSet::ReadDataField(const TField& field, uint8_t* image) {
  CurrentRecordScope scope(*handler_, image);
  const int32_t n = field.FieldNo();
  switch (field.Kind()) {
    case TFieldKind::String: {
      std::string value = handler_->GetDisplay(n);
      TranslateBuffer(value.data(), value.size(), false);
      // A declared field narrower than the column takes what fits.
      if (field.Size() > 0 && value.size() > static_cast<size_t>(field.Size())) {
        value = TrimTrailing(value.substr(0, static_cast<size_t>(field.Size())));
      }
      if (value.empty()) return {};
      return value;
    }
    case TFieldKind::SmallInt:
    case TFieldKind::Integer: {
      double number = handler_->GetNumber(n);
      double rounded = std::round(number);
      double low = field.Kind() == TFieldKind::SmallInt ? std::numeric_limits<int16_t>::min()
                                                        : std::numeric_limits<int32_t>::min();
      double high = field.Kind() == TFieldKind::SmallInt ? std::numeric_limits<int16_t>::max()
                                                         : std::numeric_limits<int32_t>::max();
      // A wide N column can hold more than the field's integer: say so rather than wrap.
      if (!(rounded >= low && rounded <= high)) {
        ComponentError("Значение " + platform::FloatToText(number) + " вне допустимого диапазона поля '" +
                       field.FieldName() + "'");
      }
      return static_cast<int32_t>(rounded);
    }
    case TFieldKind::Float: return handler_->GetNumber(n);
    case TFieldKind::Boolean: return handler_->GetLogical(n);
    case TFieldKind::Date: {
      std::string raw = TrimTrailing(handler_->GetText(n));
      if (raw.size() != 8 || raw == "00000000") return {};
      if (!std::all_of(raw.begin(), raw.end(), [](char c) { return c >= '0' && c <= '9'; })) return {};
      auto date = EncodeDate(std::stoi(raw.substr(0, 4)), std::stoi(raw.substr(4, 2)), std::stoi(raw.substr(6, 2)));
      if (!date) return {};
      return *date;
    }
    case TFieldKind::DateTime: return FromFieldMilliseconds(handler_->GetNumber(n));
    case TFieldKind::Memo:
    case TFieldKind::Blob: {
      double block = handler_->GetNumber(n);
      if (!(std::trunc(block) != 0.0)) return {};
      return std::string();  // content exists; it is read through a blob stream
    }
    case TFieldKind::Unknown: break;
  }
  return {};
}

TFieldData TVelorinDataSet::ReadCalcField(const TField& field) {
  const uint8_t* area = ActiveCalcArea(field);
  if (area == nullptr || area[0] == 0) return {};
  const uint8_t* value = area + 1;
  switch (field.Kind()) {
    case TFieldKind::String: {
      size_t capacity = TRecordLayout::CalcValueSize(field) - 1;
      const char* chars = reinterpret_cast<const char*>(value);
      return std::string(chars, strnlen(chars, capacity));
    }
    case TFieldKind::SmallInt: return static_cast<int32_t>(static_cast<int16_t>(byte_order::GetLE16(value)));
    case TFieldKind::Integer: return static_cast<int32_t>(byte_order::GetLE32(value));
    case TFieldKind::Float: return byte_order::GetLEDouble(value);
    case TFieldKind::Boolean: return value[0] != 0;
    case TFieldKind::Date:
    case TFieldKind::DateTime: return TDateTime{byte_order::GetLEDouble(value)};
    default: return {};
  }
}

void TVelorinDataSet::SetFieldData(TField& field, const TFieldData& value) {
  CheckActive();
  const TDataSetState state = State();
  bool ownUse = state == TDataSetState::CalcFields || state == TDataSetState::Filter ||
                state == TDataSetState::NewValue;
  if (!IsEditing(state) && !ownUse) DatabaseError(text::kNotEditing);
  if (!field.Calculated() && state == TDataSetState::CalcFields) DatabaseError(text::kNotEditing);
  if (field.ReadOnly() && state != TDataSetState::Filter) DatabaseError(dataset_text::FieldReadOnly(field.DisplayName()));
  field.Validate(value);
  if (field.Calculated()) {
    WriteCalcField(field, value);
  } else {
    uint8_t* image = ActiveImage();
    if (image == nullptr || field.FieldNo() <= 0) DatabaseError(text::kNotEditing);
    WriteDataField(field, value, image);
  }
  if (ownUse) return;
  modified_ = true;
  field.Changed();
  if (autoCalcFields_ && !field.Calculated() && CalcFieldCount() > 0) {
    // Calculated values follow the change; recomputing keeps what was written
    // to calculated fields out of the area only for a moment.
    ComputeCalcFields(current_);
  }
}

void TVelorinDataSet::WriteDataField(TField& field, const TFieldData& value, uint8_t* image) {
  CurrentRecordScope scope(*handler_, image);
  const int32_t n = field.FieldNo();
  switch (field.Kind()) {
    case TFieldKind::String: {
      std::string bytes;
      if (const auto* text = std::get_if<std::string>(&value)) bytes = *text;
      TranslateBuffer(bytes.data(), bytes.size(), true);
      handler_->PutText(n, bytes);
      break;
    }
    case TFieldKind::SmallInt:
    case TFieldKind::Integer: {
      const auto* number = std::get_if<int32_t>(&value);
      handler_->PutNumber(n, number != nullptr ? *number : 0);
      break;
    }
    case TFieldKind::Float: {
      const auto* number = std::get_if<double>(&value);
      handler_->PutNumber(n, number != nullptr ? *number : 0.0);
      break;
    }
    case TFieldKind::Boolean: {
      const auto* flag = std::get_if<bool>(&value);
      handler_->PutLogical(n, flag != nullptr && *flag);
      break;
    }
    case TFieldKind::Date: {
      // Null, or a day without a calendar date, is the blank date (8 blanks).
      const auto* day = std::get_if<TDateTime>(&value);
      handler_->PutDate(n, day != nullptr && DecodeDate(*day) ? DayNumberOf(*day) : 0);
      break;
    }
    case TFieldKind::DateTime: {
      const auto* moment = std::get_if<TDateTime>(&value);
      if (moment != nullptr && DecodeDate(*moment)) {
        handler_->PutNumber(n, ToFieldMilliseconds(*moment));
      } else {
        handler_->PutText(n, std::string());  // blanks: the zero date-time
      }
      break;
    }
    case TFieldKind::Memo:
    case TFieldKind::Blob:
    case TFieldKind::Unknown: break;  // blob content goes through a blob stream
  }
}

void TVelorinDataSet::WriteCalcField(const TField& field, const TFieldData& value) {
  uint8_t* area = ActiveCalcArea(field);
  if (area == nullptr) return;
  size_t size = TRecordLayout::CalcValueSize(field);
  std::memset(area, 0, 1 + size);
  if (velorin::IsNull(value)) return;
  area[0] = 1;
  uint8_t* out = area + 1;
  switch (field.Kind()) {
    case TFieldKind::String: {
      const auto& text = std::get<std::string>(value);
      std::memcpy(out, text.data(), std::min(text.size(), size - 1));
      break;
    }
    case TFieldKind::SmallInt:
      byte_order::PutLE16(out, static_cast<uint16_t>(static_cast<int16_t>(std::get<int32_t>(value))));
      break;
    case TFieldKind::Integer: byte_order::PutLE32(out, static_cast<uint32_t>(std::get<int32_t>(value))); break;
    case TFieldKind::Float: byte_order::PutLEDouble(out, std::get<double>(value)); break;
    case TFieldKind::Boolean: out[0] = std::get<bool>(value) ? 1 : 0; break;
    case TFieldKind::Date:
    case TFieldKind::DateTime: byte_order::PutLEDouble(out, std::get<TDateTime>(value).Value); break;
    default: break;
  }
}

void TVelorinDataSet::FieldContentChanged(TField& field) {
  field.SetModified(true);
  if (!IsEditing(State())) return;
  modified_ = true;
  field.Changed();
}

std::unique_ptr<TStream> TVelorinDataSet::CreateBlobStream(TField& field, TBlobStreamMode mode) {
  CheckActive();
  return std::make_unique<TVLBlobStream>(field, mode);
}

// ---------------------------------------------------------------------------
// Changes

void TVelorinDataSet::Edit() {
  CheckActive();
  if (IsEditing(State())) return;
  if (!hasRecord_) {
    Insert();
    return;
  }
  CheckCanModify();
  Signal(BeforeEdit);
  const int32_t number = current_.RecordNumber(layout_);
  bool done = CheckOperation(
      [&] {
        // Lock first, then read: a change another program made before the lock
        // is what the edit starts from.
        {
          CurrentRecordScope scope(*handler_, scratch_.Image());
          handler_->GoRecord(number);
        }
        if (!handler_->LockRecord()) DatabaseError(text::kRecordLocked);
        editLockHeld_ = true;
        try {
          ReadRecordAgain(number, current_);
        } catch (...) {
          handler_->Unlock();
          editLockHeld_ = false;
          throw;
        }
      },
      OnEditError);
  if (!done) return;
  backup_ = current_;
  backupHadRecord_ = true;
  modified_ = false;
  SetState(TDataSetState::Edit);
  Signal(AfterEdit);
}

void TVelorinDataSet::Insert() {
  CheckActive();
  CheckBrowseMode();
  CheckCanModify();
  Signal(BeforeInsert);
  backup_ = current_;
  backupHadRecord_ = hasRecord_;
  {
    CurrentRecordScope scope(*handler_, current_.Image());
    handler_->BlankRecord();
  }
  handler_->SetAtEOF(true);
  current_.ClearCalcArea(layout_);
  current_.SetInfo(layout_, 0, TBookmarkFlag::Inserted);
  modified_ = false;
  SetState(TDataSetState::Insert);
  Signal(OnNewRecord);
  Signal(AfterInsert);
}

void TVelorinDataSet::Append() { Insert(); }

void TVelorinDataSet::Post() {
  CheckActive();
  const TDataSetState state = State();
  if (!IsEditing(state)) return;
  Signal(BeforePost);
  bool done = CheckOperation(
      [&] {
        CurrentRecordScope scope(*handler_, current_.Image());
        if (state == TDataSetState::Edit) {
          handler_->WriteRecord(current_.RecordNumber(layout_));
        } else {
          handler_->Append();
        }
      },
      OnPostError);
  if (!done) return;
  if (editLockHeld_) {
    handler_->Unlock();
    editLockHeld_ = false;
  }
  beforeFirstPending_ = afterLastPending_ = false;
  current_.SetInfo(layout_, handler_->RecordNumber(), TBookmarkFlag::Current);
  hasRecord_ = true;
  atEnd_ = atStart_ = false;
  modified_ = false;
  SetState(TDataSetState::Browse);
  ComputeCalcFields(current_);
  Signal(AfterPost);
  NotifyDetails();
}

void TVelorinDataSet::Cancel() {
  CheckActive();
  const TDataSetState state = State();
  if (!IsEditing(state)) return;
  Signal(BeforeCancel);
  if (editLockHeld_) {
    handler_->Unlock();
    editLockHeld_ = false;
  }
  current_ = backup_;
  hasRecord_ = backupHadRecord_;
  modified_ = false;
  SetState(TDataSetState::Browse);
  Signal(AfterCancel);
}

void TVelorinDataSet::AppendValues(const std::vector<TFieldData>& values) {
  CheckActive();
  if (values.size() > Fields().size()) {
    ComponentError("Значений (" + std::to_string(values.size()) + ") больше, чем полей (" +
                   std::to_string(Fields().size()) + ")");
  }
  Append();
  try {
    for (size_t i = 0; i < values.size(); ++i) AssignFieldValue(*Fields()[i], values[i]);
    Post();
  } catch (...) {
    Cancel();
    throw;
  }
  if (State() == TDataSetState::Insert) Cancel();  // the post was abandoned
}

void TVelorinDataSet::DeleteOrRecall(bool deleting) {
  if (ReadOnly()) DatabaseError(deleting ? text::kCannotDelete : text::kCannotRecall);
  const int32_t number = current_.RecordNumber(layout_);
  // Deleted records must stay readable to the handler while it works on one.
  handler_->SetUseDeleted(true);
  ScopeExit restoreVisibility([this] { handler_->SetUseDeleted(useDeleted_); });
  CurrentRecordScope scope(*handler_, scratch_.Image());
  handler_->GoRecord(number);
  // Exclusive tables lock without asking the system; shared ones keep others
  // off the record between reading and writing it.
  if (!handler_->LockRecord()) DatabaseError(text::kRecordLocked);
  ScopeExit unlock([this] { handler_->Unlock(); });
  handler_->GoRecord(number);  // as it is now, under the lock
  if (deleting) {
    handler_->DeleteRecord();
  } else {
    handler_->RecallRecord();
  }
  if (handler_->IsDeleted() != deleting) DatabaseError(deleting ? text::kCannotDelete : text::kCannotRecall);
}

void TVelorinDataSet::Delete() {
  CheckActive();
  if (State() == TDataSetState::Insert) {
    Cancel();
    return;
  }
  if (!hasRecord_) ComponentError(text::kEmpty);
  CheckBrowseMode();
  Signal(BeforeDelete);
  if (!CheckOperation([this] { DeleteOrRecall(true); }, OnDeleteError)) return;
  ResyncAroundHandler();
  Signal(AfterDelete);
  NotifyDetails();
}

void TVelorinDataSet::Recall() {
  CheckActive();
  if (!hasRecord_) ComponentError(text::kEmpty);
  CheckBrowseMode();
  const int32_t number = current_.RecordNumber(layout_);
  DeleteOrRecall(false);
  FetchCurrent(number);
}

void TVelorinDataSet::Pack() {
  CheckActive();
  CheckBrowseMode();
  handler_->SetReadAhead(false);
  {
    CurrentRecordScope scope(*handler_, scratch_.Image());
    handler_->Pack();
  }
  // The records moved: the next forward move starts again at the top.
  beforeFirstPending_ = true;
  afterLastPending_ = false;
}

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
  // An open index tag whose key is keyFields would be the fast way; without
  // index files the search runs through the records.
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

// ---------------------------------------------------------------------------
// Code pages

void TVelorinDataSet::TranslateBuffer(char* buffer, size_t size, bool toOem) const {
  if (!translateAscii_ || buffer == nullptr || size == 0) return;
  if (toOem) {
    platform::CharToOemBuff(buffer, buffer, size);
  } else {
    platform::OemToCharBuff(buffer, buffer, size);
  }
}

void TVelorinDataSet::Translate(const char* source, char* destination, bool toOem) const {
  if (destination == nullptr) return;
  if (source == nullptr) {
    destination[0] = '\0';
    return;
  }
  size_t length = std::strlen(source);
  std::memmove(destination, source, length + 1);
  TranslateBuffer(destination, length, toOem);
}

std::string TVelorinDataSet::TranslateText(std::string_view text, bool toOem) const {
  std::string result(text);
  TranslateBuffer(result.data(), result.size(), toOem);
  return result;
}

}  // namespace velorin
