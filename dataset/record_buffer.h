// record_buffer.h — one record as the dataset holds it: the layout of its block.
//
// A block is the table's record image (RecordLength bytes, deletion flag first,
// as in the file), then the calculated-field area (for each calculated field a
// null-flag byte and its value), then 8 bytes of record information (the 32-bit
// physical record number, and at its sixth byte the bookmark flag), then the
// 11-byte bookmark: the record number in decimal right-aligned in 10 characters
// padded with blanks, and a zero byte. Bookmarks compare as these texts (a
// missing one first), which for right-aligned numbers is numeric order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/fields.h"

namespace velorin {

namespace record_info {  // the 8 bytes after the calculated-field area
constexpr size_t kRecordNumber = 0;  // int32, little-endian
constexpr size_t kBookmarkFlag = 5;  // 1 byte, a TBookmarkFlag
constexpr size_t kSize = 8;
}  // namespace record_info

namespace bookmark_text {
constexpr size_t kDigits = 10;            // right-aligned, blank-padded
constexpr size_t kSize = kDigits + 1;     // and a zero byte
}  // namespace bookmark_text

enum class TBookmarkFlag : uint8_t { Current = 0, BeforeFirst = 1, AfterLast = 2, Inserted = 3 };

// The 11 bytes of the bookmark of record n (n from 1 to 9,999,999,999 fits).
std::string MakeBookmark(int32_t recordNumber);
// The record number a bookmark names; false when its text is not a decimal number.
bool BookmarkRecordNumber(std::string_view bookmark, int32_t* recordNumber);
// -1, 0 or 1, comparing the texts up to their zero byte; an empty bookmark first.
int CompareBookmarkTexts(std::string_view a, std::string_view b);

// Where things lie in a block of a given table and set of calculated fields.
class TRecordLayout {
 public:
  TRecordLayout() = default;
  // calcFields in their calculation order (TField::CalcIndex).
  TRecordLayout(int32_t recordSize, const std::vector<const TField*>& calcFields);

  int32_t RecordSize() const { return recordSize_; }
  // The null-flag byte of calculated field i; its value follows it.
  size_t CalcOffset(int32_t calcIndex) const { return calcOffsets_.at(static_cast<size_t>(calcIndex)); }
  size_t InfoOffset() const { return infoOffset_; }
  size_t BookmarkOffset() const { return infoOffset_ + record_info::kSize; }
  size_t BlockSize() const { return BookmarkOffset() + bookmark_text::kSize; }
  // The bytes a calculated value of the kind takes after its null flag.
  static size_t CalcValueSize(const TField& field);

 private:
  int32_t recordSize_ = 0;
  std::vector<size_t> calcOffsets_;
  size_t infoOffset_ = 0;
};

// One block.
class TRecordBuffer {
 public:
  void Allocate(const TRecordLayout& layout);
  uint8_t* Image() { return bytes_.data(); }
  const uint8_t* Image() const { return bytes_.data(); }
  uint8_t* Calc(const TRecordLayout& layout, int32_t calcIndex) { return bytes_.data() + layout.CalcOffset(calcIndex); }
  void ClearCalcArea(const TRecordLayout& layout);

  int32_t RecordNumber(const TRecordLayout& layout) const;
  TBookmarkFlag BookmarkFlag(const TRecordLayout& layout) const;
  std::string Bookmark(const TRecordLayout& layout) const;
  // Record number, flag and bookmark (no bookmark for a record not yet stored).
  void SetInfo(const TRecordLayout& layout, int32_t recordNumber, TBookmarkFlag flag);

  std::vector<uint8_t>& Bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace velorin
