#include "dataset/record_buffer.h"

#include <algorithm>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/text_trim.h"

namespace velorin {

std::string MakeBookmark(int32_t recordNumber) {
  std::string digits = std::to_string(recordNumber);
  if (digits.size() > bookmark_text::kDigits) digits.resize(bookmark_text::kDigits);
  std::string text(bookmark_text::kDigits - digits.size(), ' ');
  text += digits;
  text += '\0';
  return text;
}

bool BookmarkRecordNumber(std::string_view bookmark, int32_t* recordNumber) {
  size_t end = bookmark.find('\0');
  if (end != std::string_view::npos) bookmark = bookmark.substr(0, end);
  std::string digits = TrimBlanks(bookmark);
  if (digits.empty() || digits.size() > 10) return false;
  int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > INT32_MAX) return false;
  *recordNumber = static_cast<int32_t>(value);
  return true;
}

int CompareBookmarkTexts(std::string_view a, std::string_view b) {
  auto text = [](std::string_view s) {
    size_t end = s.find('\0');
    return end == std::string_view::npos ? s : s.substr(0, end);
  };
  if (a.empty() || b.empty()) return a.empty() == b.empty() ? 0 : (a.empty() ? -1 : 1);
  int result = text(a).compare(text(b));
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

TRecordLayout::TRecordLayout(int32_t recordSize, const std::vector<const TField*>& calcFields)
    : recordSize_(recordSize) {
  size_t offset = static_cast<size_t>(recordSize);
  for (const TField* field : calcFields) {
    calcOffsets_.push_back(offset);
    offset += 1 + CalcValueSize(*field);
  }
  infoOffset_ = offset;
}

size_t TRecordLayout::CalcValueSize(const TField& field) {
  switch (field.Kind()) {
    case TFieldKind::String: return static_cast<size_t>(std::max(field.Size(), 0)) + 1;
    case TFieldKind::SmallInt: return 2;
    case TFieldKind::Integer: return 4;
    case TFieldKind::Float:
    case TFieldKind::Date:
    case TFieldKind::DateTime: return 8;
    case TFieldKind::Boolean: return 1;
    default: return 0;
  }
}

void TRecordBuffer::Allocate(const TRecordLayout& layout) { bytes_.assign(layout.BlockSize(), 0); }

void TRecordBuffer::ClearCalcArea(const TRecordLayout& layout) {
  size_t begin = static_cast<size_t>(layout.RecordSize());
  std::fill(bytes_.begin() + static_cast<ptrdiff_t>(begin),
            bytes_.begin() + static_cast<ptrdiff_t>(layout.InfoOffset()), 0);
}

int32_t TRecordBuffer::RecordNumber(const TRecordLayout& layout) const {
  return static_cast<int32_t>(byte_order::GetLE32(bytes_.data() + layout.InfoOffset() + record_info::kRecordNumber));
}

TBookmarkFlag TRecordBuffer::BookmarkFlag(const TRecordLayout& layout) const {
  return static_cast<TBookmarkFlag>(bytes_[layout.InfoOffset() + record_info::kBookmarkFlag]);
}

std::string TRecordBuffer::Bookmark(const TRecordLayout& layout) const {
  const char* text = reinterpret_cast<const char*>(bytes_.data() + layout.BookmarkOffset());
  if (text[0] == '\0') return {};
  return std::string(text, bookmark_text::kSize);
}

void TRecordBuffer::SetInfo(const TRecordLayout& layout, int32_t recordNumber, TBookmarkFlag flag) {
  uint8_t* info = bytes_.data() + layout.InfoOffset();
  std::memset(info, 0, record_info::kSize);
  byte_order::PutLE32(info + record_info::kRecordNumber, static_cast<uint32_t>(recordNumber));
  info[record_info::kBookmarkFlag] = static_cast<uint8_t>(flag);
  uint8_t* bookmark = bytes_.data() + layout.BookmarkOffset();
  std::memset(bookmark, 0, bookmark_text::kSize);
  if (recordNumber > 0) std::memcpy(bookmark, MakeBookmark(recordNumber).data(), bookmark_text::kSize);
}

}  // namespace velorin
