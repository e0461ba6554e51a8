// Changes: edit, insert, post, cancel, delete, recall and pack.
#include "dataset/Velorin6DB.h"

#include "dataset/current_record_scope.h"
#include "dataset/dataset_shared.h"

namespace velorin {

using namespace dataset_detail;

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
        ReadRecordByNumber(number, scratch_.Image());
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
          // A record number that is gone would make the write an append.
          const int32_t number = current_.RecordNumber(layout_);
          if (number > handler_->RecordCount()) handler_->ReadHeader();
          if (number < 1 || number > handler_->RecordCount()) DatabaseError(text::kBeyondRange);
          handler_->WriteRecord(number);
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
  ReadRecordByNumber(number, scratch_.Image());
  // Exclusive tables lock without asking the system; shared ones keep others
  // off the record between reading and writing it.
  if (!handler_->LockRecord()) DatabaseError(text::kRecordLocked);
  ScopeExit unlock([this] { handler_->Unlock(); });
  ReadRecordByNumber(number, scratch_.Image());  // as it is now, under the lock
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
  if (State() == TDataSetState::Insert) {  // like Delete: the new record is dropped
    Cancel();
    return;
  }
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
  // The records moved: the cursor is on no record (its number may be gone), and
  // the next forward move starts again at the top.
  SetNoRecord();
  beforeFirstPending_ = true;
  afterLastPending_ = false;
}

}  // namespace velorin
