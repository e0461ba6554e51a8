// ntx_format.h — the NTX single-order index file, byte by byte.
//
// The file is a row of 1024-byte pages; every pointer is a byte offset (a
// multiple of 1024). The page at offset 0 is the header, the others form a true
// B-tree: every key of an interior page is an index entry itself (with its
// record number) and its left subtree holds the keys below it. All integers are
// little-endian; all keys are text (numbers and dates as sortable digits).
//
//   header (offset 0)                       a page
//   +0    signature      uint16 (6; 7 with   +0   key count n                   uint16
//                        a FOR condition)    +2   offset table: maximum keys + 1 uint16,
//   +2    change counter uint16                    entry i = where the i-th item in key
//   +4    root page      uint32                    order lies within the page
//   +8    zero           uint32              +2 × maximum keys + 4: item slots, each
//   +12   item length    uint16 (key + 8)          item length bytes
//   +14   key length     uint16
//   +16   decimals       uint16 (numeric)    item: +0 left child page (0 in a leaf)
//   +18   maximum keys   uint16                    +4 record number
//   +20   half page      uint16                    +8 key, blank-padded to the key length
//   +22   key expression, 256, zero-terminated
//   +278  unique         byte (1)            Items 1 .. n are keys. An interior page
//   +279  descending     byte (1)            has item n + 1 too, carrying only the
//   +282  FOR expression, 742, zero-terminated  rightmost child (record number 0).
//
// A page is interior when the item named by the first offset-table entry has a
// child. Pages written here keep the offset table in slot order (item slot i at
// (i - 1) × item length + 2 × maximum keys + 4); pages are read through whatever
// table they carry.
//
// Layout: half page = (1020 / (key length + 10) - 1) / 2, rounded down twice;
// maximum keys = 2 × half page; item length = key length + 8. Key length 10
// gives 25, 50 and 18, items from offset 104.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velorin::ntx_format {

constexpr int32_t kPageSize = 1024;

namespace header {
constexpr size_t kSignature = 0;
constexpr size_t kChangeCounter = 2;
constexpr size_t kRoot = 4;
constexpr size_t kUnused = 8;
constexpr size_t kItemLength = 12;
constexpr size_t kKeyLength = 14;
constexpr size_t kDecimals = 16;
constexpr size_t kMaxKeys = 18;
constexpr size_t kHalfPage = 20;
constexpr size_t kExpression = 22;
constexpr size_t kExpressionSize = 256;  // zero-terminated
constexpr size_t kUnique = 278;
constexpr size_t kDescending = 279;
constexpr size_t kForExpression = 282;
constexpr size_t kForExpressionSize = kPageSize - kForExpression;  // 742, zero-terminated
}  // namespace header

constexpr uint16_t kSignature = 6;
constexpr uint16_t kSignatureWithFor = 7;  // bit 0: a FOR expression follows
constexpr uint16_t kLastChangeCounter = 32767;  // the counter then starts again at 1

namespace page {
constexpr size_t kCount = 0;
constexpr size_t kOffsetTable = 2;
}  // namespace page

namespace item {
constexpr size_t kChild = 0;
constexpr size_t kRecord = 4;
constexpr size_t kKey = 8;
}  // namespace item

// Numeric keys: a negative number's digits d become the character 92 - d, so
// that "0" turns into "," and "9" into "#".
constexpr char kNegativeDigitBase = 92;
// The date key of a blank date.
constexpr const char* kBlankDateKey = "00000000";

constexpr int32_t HalfPage(int32_t keyLength) { return (1020 / (keyLength + 10) - 1) / 2; }
constexpr int32_t MaxKeys(int32_t keyLength) { return 2 * HalfPage(keyLength); }
constexpr int32_t ItemLength(int32_t keyLength) { return keyLength + 8; }
// Where item slot i (from 0) lies in a page written here.
constexpr int32_t SlotOffset(int32_t maxKeys, int32_t itemLength, int32_t slot) {
  return 2 * maxKeys + 4 + slot * itemLength;
}

static_assert(HalfPage(10) == 25 && MaxKeys(10) == 50 && SlotOffset(50, 18, 0) == 104);
static_assert(HalfPage(8) == 27 && MaxKeys(8) == 54);

}  // namespace velorin::ntx_format
