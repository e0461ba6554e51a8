// The cursor: fetching records through the handler and moving between them.
#include "dataset/Velorin6DB.h"

#include <utility>

#include "dataset/current_record_scope.h"
#include "dataset/dataset_shared.h"

namespace velorin {

using namespace dataset_detail;

// ---------------------------------------------------------------------------
// Fetching

bool TVelorinDataSet::FetchCurrent(int32_t request) {
  if (request > 0) {
    ReadRecordByNumber(request, scratch_.Image());
  } else {
    CurrentRecordScope scope(*handler_, scratch_.Image());
    handler_->GoRecord(request);
    if (handler_->AtEOF() || handler_->AtBOF()) return false;
  }
  scratch_.SetInfo(layout_, handler_->RecordNumber(), TBookmarkFlag::Current);
  ComputeCalcFields(scratch_);
  std::swap(current_, scratch_);
  hasRecord_ = true;
  return true;
}

void TVelorinDataSet::ReadRecordByNumber(int32_t recordNumber, uint8_t* image) {
  // Without this check a number that is gone reads nothing, and whatever record
  // the handler stood on would be taken (and written) for it.
  handler_->ReadHeader();  // a shared table: what other programs appended or cut off
  if (recordNumber < 1 || recordNumber > handler_->RecordCount()) DatabaseError(text::kBeyondRange);
  CurrentRecordScope scope(*handler_, image);
  handler_->GoRecord(recordNumber);
  if (handler_->AtEOF() || handler_->AtBOF() || handler_->RecordNumber() != recordNumber) {
    DatabaseError(text::kBeyondRange);
  }
}

void TVelorinDataSet::SyncHandler() {
  if (!hasRecord_) return;
  int32_t number = current_.RecordNumber(layout_);
  if (handler_->RecordNumber() == number) return;
  ReadRecordByNumber(number, scratch_.Image());
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
  ReadRecordByNumber(recordNumber, into.Image());
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
  if (remembered > 0) ReadRecordByNumber(remembered, scratch_.Image());
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
  ReadRecordByNumber(recordNumber, scratch_.Image());
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
  ReadRecordByNumber(current_.RecordNumber(layout_), scratch_.Image());
  ResyncAroundHandler();
}

}  // namespace velorin
