#include "dataset/blob_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "dataset/Velorin6DB.h"
#include "dataset/current_record_scope.h"

namespace velorin {

namespace {

constexpr int64_t kMaxPosition = std::numeric_limits<int32_t>::max();

bool Editing(const TDataSetBase& dataSet) {
  return dataSet.State() == TDataSetState::Edit || dataSet.State() == TDataSetState::Insert;
}

}  // namespace

TVLBlobStream::TVLBlobStream(TField& field, TBlobStreamMode mode) : field_(field) {
  dataSet_ = dynamic_cast<TVelorinDataSet*>(field.DataSet());
  if (dataSet_ == nullptr) throw EDatabaseError("Поле '" + field.DisplayName() + "' не принадлежит таблице");
  fieldNumber_ = field.FieldNo();
  uint8_t* image = dataSet_->ActiveImage();
  if (image == nullptr || fieldNumber_ <= 0) return;
  if (mode != TBlobStreamMode::Read) {
    if (field.ReadOnly()) throw EDatabaseError(dataset_text::FieldReadOnly(field.DisplayName()));
    if (!Editing(*dataSet_)) throw EDatabaseError("Dataset not in edit or insert mode");
  }
  if (mode == TBlobStreamMode::Write) {
    modified_ = true;
    return;
  }
  Load(image);
}

TVLBlobStream::~TVLBlobStream() {
  try {
    Commit();
  } catch (const std::exception& e) {
    ShowErrorMessage(e.what());
  }
}

void TVLBlobStream::Load(uint8_t* image) {
  DBFObject& handler = *dataSet_->Handler();
  CurrentRecordScope scope(handler, image);  // back on every path, failures included
  int32_t length = handler.MemoSize(fieldNumber_);
  if (length <= 0) return;
  buffer_.assign(static_cast<size_t>(length) + 1, '\0');
  int32_t delivered = length;
  handler.MemoRead(fieldNumber_, buffer_.data(), delivered);
  size_ = std::clamp(delivered, 0, length);
  buffer_.resize(static_cast<size_t>(size_) + 1);
  buffer_[static_cast<size_t>(size_)] = '\0';
  // Exactly the content's bytes: a memo may hold zero bytes.
  if (field_.Kind() == TFieldKind::Memo) dataSet_->TranslateBuffer(buffer_.data(), static_cast<size_t>(size_), false);
}

int32_t TVLBlobStream::Read(void* buffer, int32_t count) {
  if (count <= 0 || position_ >= size_) return 0;
  int32_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, buffer_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int32_t TVLBlobStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  int64_t end = int64_t{position_} + count;
  if (end > kMaxPosition - 1) throw EDatabaseError("Поле '" + field_.DisplayName() + "': слишком большое значение");
  // What lay after the written range is dropped; a gap before it reads as zeros.
  buffer_.resize(static_cast<size_t>(end) + 1, '\0');
  if (position_ > size_) std::fill(buffer_.begin() + size_, buffer_.begin() + position_, '\0');
  std::memcpy(buffer_.data() + position_, buffer, static_cast<size_t>(count));
  buffer_[static_cast<size_t>(end)] = '\0';
  size_ = static_cast<int32_t>(end);
  position_ = size_;
  modified_ = true;
  return count;
}

int32_t TVLBlobStream::Seek(int32_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == TSeekOrigin::Current) base = position_;
  if (origin == TSeekOrigin::End) base = size_;
  position_ = static_cast<int32_t>(std::clamp<int64_t>(base + offset, 0, kMaxPosition));
  return position_;
}

void TVLBlobStream::Commit() {
  if (committed_ || !modified_) return;
  committed_ = true;
  if (!Editing(*dataSet_)) return;
  DBFObject* handler = dataSet_->Handler();
  uint8_t* image = dataSet_->ActiveImage();
  if (handler == nullptr || image == nullptr || fieldNumber_ <= 0) return;
  std::vector<char> content = buffer_;
  if (content.empty()) content.push_back('\0');  // an empty memo: the zero byte alone
  if (size_ > 0 && field_.Kind() == TFieldKind::Memo) {
    dataSet_->TranslateBuffer(content.data(), static_cast<size_t>(size_), true);
  }
  {
    CurrentRecordScope scope(*handler, image);
    handler->MemoWrite(fieldNumber_, content.data(), size_);
  }
  dataSet_->FieldContentChanged(field_);
}

}  // namespace velorin
