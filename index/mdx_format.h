// mdx_format.h — the MDX multiple-index file, byte by byte.
//
// The file is a row of 512-byte sectors; every pointer is a sector number (a
// "block number") and block n lies at byte n × 512. A node or a tag header takes
// one block of block-size bytes (1024, two sectors, in files made here). All
// integers are little-endian.
//
//   sector 0 ... header size (sectors per block × block size = 2048)
//   +0    version 2                         +512  tag table entry 0: byte 17 only
//   +1    last update yy mm dd                    (1 when there is a first tag)
//   +4    table name, 16 bytes, zero-filled +544  entry 1  ─┐ 32 bytes each, up to
//   +20   sectors per block       uint16    +576  entry 2   │ the end of the header
//   +22   block size in bytes     uint16     …             ─┘ (47 in 2048 bytes)
//   +24   production flag 1
//   +25   maximum tags 48                   tag table entry
//   +26   tag table entry length 32         +0  tag header block   uint32
//   +28   number of tags          uint16    +4  name, zero-terminated (10 at most)
//   +32   next free sector        uint32    +17 number of the next entry (0: last)
//   +44   created yy mm dd                  +19 2     +20 key type letter C, N, D
//
//   tag header (one block)                  node (one block)
//   +0    root block              uint32    +0  key count              uint32
//   +8    options: 0x10 | 0x40 unique       +4  block written before this one
//               | 0x08 descending                for the tag (0 for the first)
//   +9    key type letter                   +8  entry 0 ─┐ entry length each:
//   +12   key length              uint16         entry 1  │ +0 pointer  uint32
//   +14   maximum keys per node   uint16          …      ─┘ +4 key, zero-filled
//   +18   entry length            uint16                       to the entry length
//   +23   0x40 when unique
//   +24   key expression, zero-terminated (220 characters at most)
//   +245  1 when there is a FOR expression
//   +246  1
//   +248  first block written for the tag uint32
//   +252  last block written for the tag  uint32
//   +762  FOR expression, zero-terminated, to the end of the block
//
// A leaf holds count entries, each pointer a record number. An interior node
// holds count + 1: each pointer is a child block, each key the highest key below
// it, and the last entry carries only the pointer to the rightmost child. A node
// is interior when the pointer just after the counted entries is non-zero.
// Entry length = key length + 4 rounded up to a multiple of 4; maximum keys per
// node = (block size - 8) / entry length - 1.
//
// Keys in a node: character keys blank-padded to the key length; dates the
// 8-byte IEEE double of the day number; numbers a 12-byte packed decimal
// (mdx_number.h). Descending tags keep their keys in descending order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velorin::mdx_format {

constexpr int32_t kSectorSize = 512;

namespace header {
constexpr size_t kVersion = 0;           // 1 byte
constexpr size_t kUpdated = 1;           // 3 bytes: yy mm dd
constexpr size_t kTableName = 4;         // 16 bytes, zero-filled
constexpr size_t kTableNameSize = 16;
constexpr size_t kTableNameChars = 8;    // what is written of the table's name
constexpr size_t kSectorsPerBlock = 20;  // uint16
constexpr size_t kBlockSize = 22;        // uint16, bytes
constexpr size_t kProduction = 24;       // 1 byte
constexpr size_t kMaxTags = 25;          // 1 byte
constexpr size_t kEntryLength = 26;      // 1 byte: the tag table's entry length
constexpr size_t kTagCount = 28;         // uint16
constexpr size_t kNextFree = 32;         // uint32, a sector number
constexpr size_t kCreated = 44;          // 3 bytes: yy mm dd
constexpr size_t kTagTable = 512;        // entry 0; entry i at kTagTable + i × kTagEntrySize
constexpr size_t kTagEntrySize = 32;
}  // namespace header

namespace tag_entry {
constexpr size_t kHeaderBlock = 0;  // uint32
constexpr size_t kName = 4;         // zero-terminated
constexpr size_t kNameSize = 11;    // room for 10 characters and the zero
constexpr size_t kNext = 17;        // 1 byte: the next entry's number, 0 for the last
constexpr size_t kMark = 19;        // 1 byte: 2
constexpr size_t kKeyType = 20;     // 1 byte: C, N or D
constexpr uint8_t kMarkValue = 2;
}  // namespace tag_entry

namespace tag_header {
constexpr size_t kRoot = 0;           // uint32
constexpr size_t kOptions = 8;        // 1 byte, see kOption*
constexpr size_t kKeyType = 9;        // 1 byte
constexpr size_t kKeyLength = 12;     // uint16
constexpr size_t kMaxKeys = 14;       // uint16
constexpr size_t kEntryLength = 18;   // uint16
constexpr size_t kUnique = 23;        // 1 byte: kOptionUnique or 0
constexpr size_t kExpression = 24;    // zero-terminated
constexpr size_t kExpressionSize = 221;
constexpr size_t kHasFor = 245;       // 1 byte
constexpr size_t kOne = 246;          // 1 byte: 1
constexpr size_t kFirstBlock = 248;   // uint32
constexpr size_t kLastBlock = 252;    // uint32
constexpr size_t kForExpression = 762;  // zero-terminated, to the end of the block
constexpr uint8_t kOptionBase = 0x10;
constexpr uint8_t kOptionUnique = 0x40;
constexpr uint8_t kOptionDescending = 0x08;
}  // namespace tag_header

namespace node {
constexpr size_t kCount = 0;          // uint32
constexpr size_t kWrittenBefore = 4;  // uint32
constexpr size_t kEntries = 8;
}  // namespace node

namespace entry {
constexpr size_t kPointer = 0;  // uint32: record (leaf) or child block (interior)
constexpr size_t kKey = 4;
}  // namespace entry

// The layout of files made here.
namespace made {
constexpr uint8_t kVersion = 2;
constexpr uint16_t kSectorsPerBlock = 2;
constexpr uint16_t kBlockSize = 1024;
constexpr int32_t kHeaderSize = 2048;  // sectors per block × block size
constexpr uint8_t kProduction = 1;
constexpr uint8_t kMaxTags = 48;
}  // namespace made

constexpr int32_t kNumericKeyLength = 12;
constexpr int32_t kDateKeyLength = 8;
constexpr int32_t kMaxKeyLength = 240;
constexpr int32_t kMaxTagNameLength = static_cast<int32_t>(tag_entry::kNameSize) - 1;             // 10
constexpr int32_t kMaxKeyExpressionLength = static_cast<int32_t>(tag_header::kExpressionSize) - 1;  // 220
constexpr int32_t kMaxSectorsPerBlock = 32;
constexpr double kBlankDateKey = 1.0E100;
constexpr double kHighestDateKey = 1.7E308;

constexpr int32_t EntryLength(int32_t keyLength) { return (keyLength + 4 + 3) / 4 * 4; }
constexpr int32_t MaxKeys(int32_t blockSize, int32_t keyLength) {
  return (blockSize - static_cast<int32_t>(node::kEntries)) / EntryLength(keyLength) - 1;
}
// The longest FOR expression a tag header block of blockSize holds (261 in 1024).
constexpr int32_t MaxForExpressionLength(int32_t blockSize) {
  return blockSize - static_cast<int32_t>(tag_header::kForExpression) - 1;
}
// The number of tag table entries (after entry 0) a header of headerSize holds.
constexpr int32_t TagTableRoom(int32_t headerSize) {
  return (headerSize - static_cast<int32_t>(header::kTagTable)) / static_cast<int32_t>(header::kTagEntrySize) - 1;
}
constexpr size_t TagEntryOffset(int32_t entry) {
  return header::kTagTable + static_cast<size_t>(entry) * header::kTagEntrySize;
}

}  // namespace velorin::mdx_format
