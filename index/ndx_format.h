// ndx_format.h — the NDX single-order index file, byte by byte.
//
// The file is a row of 512-byte blocks; block n lies at byte n × 512 and every
// pointer is a block number. Block 0 is the header, the others are B+-tree
// nodes. All integers are little-endian.
//
//   block 0 (header)                     a node
//   +0   root block         uint32       +0  key count           uint32
//   +4   next free block    uint32       +4  entry 0 ─┐
//   +8   zero               uint32        …  entry 1  │ entry length each
//   +12  key length         uint16              …    ─┘
//   +14  maximum keys       uint16
//   +16  key type           uint16 (0 character, 1 numeric or date)
//   +18  entry length       uint16
//   +23  unique             byte   (1 unique)
//   +24  key expression, zero-terminated
//
//   entry: +0 child block (interior; 0 in a leaf)  +4 record number (leaf; 0
//   above)  +8 the key: character keys blank-padded to the key length, numeric
//   and date keys (a date as its day number) an 8-byte IEEE double.
//
// A leaf holds count entries. An interior node holds count + 1: the last one
// carries only the pointer to the rightmost child, and each other entry's key
// is the highest key below it. A node is interior when its first entry has a
// child block. Entry length = key length + 8 rounded up to a multiple of 4;
// maximum keys = 504 / entry length.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velorin::ndx_format {

constexpr int32_t kBlockSize = 512;

namespace header {
constexpr size_t kRoot = 0;
constexpr size_t kNextFree = 4;
constexpr size_t kKeyLength = 12;
constexpr size_t kMaxKeys = 14;
constexpr size_t kKeyType = 16;
constexpr size_t kEntryLength = 18;
constexpr size_t kUnique = 23;
constexpr size_t kExpression = 24;
constexpr size_t kExpressionSize = kBlockSize - kExpression;  // 488, zero-terminated
}  // namespace header

namespace node {
constexpr size_t kCount = 0;
constexpr size_t kEntries = 4;
constexpr int32_t kEntryRoom = kBlockSize - 8;  // 504: what the maximum keys are computed from
}  // namespace node

namespace entry {
constexpr size_t kChild = 0;
constexpr size_t kRecord = 4;
constexpr size_t kKey = 8;
}  // namespace entry

constexpr uint16_t kTypeCharacter = 0;
constexpr uint16_t kTypeNumeric = 1;
constexpr int32_t kNumericKeyLength = 8;
constexpr double kBlankDateKey = 1.0E100;

constexpr int32_t EntryLength(int32_t keyLength) { return (keyLength + 8 + 3) / 4 * 4; }
constexpr int32_t MaxKeys(int32_t keyLength) { return node::kEntryRoom / EntryLength(keyLength); }

}  // namespace velorin::ndx_format
