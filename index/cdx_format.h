// cdx_format.h — the CDX compound index file, byte by byte.
//
// The file is a row of 512-byte pages; every position is a byte offset, a
// multiple of 512, and -1 means "none" in sibling links. Integers are
// little-endian except the record numbers and child positions of interior
// entries, which are big-endian.
//
//   file                                  tag header (1024 bytes, two pages)
//   0     directory header (1024)         +0    root page position      uint32
//   1024  directory root leaf             +4    0 (no free list)        uint32
//   ...   tag headers, tag pages,         +8    change counter          uint32
//         in allocation order             +12   key length              uint16
//                                         +14   options  0x01 unique, 0x08 FOR,
//   The directory is a tag whose keys           0x20 compact, 0x40 compound,
//   are the tag names and whose record          0x80 directory
//   numbers are the tags' header              +15   signature 1 (2: "GENERAL")
//   positions.                            +494  collation name, 8 bytes
//                                         +502  descending              uint16
//                                         +504  key expression length+1 uint16
//                                         +506  FOR expression length+1 uint16
//                                         +510  key expression length+1 uint16
//                                         +512  key expression, 0, FOR, 0
//
//   page (512 bytes)
//   +0  attributes uint16 (bit 0 root, bit 1 leaf)   +2  key count uint16
//   +4  left sibling int32                           +8  right sibling int32
//
//   interior page                        leaf page
//   +12 entry 0: key (key length,        +12 free bytes          uint16
//       blank- or zero-padded),          +14 record number mask  uint32
//       record number BE32,              +18 duplicate count mask  byte
//       child position BE32              +19 trailing count mask   byte
//   +12+(key length+8): entry 1 ...      +20 record number bits    byte
//   at most 500 / (key length + 8)       +21 duplicate count bits  byte
//   entries; each carries the highest    +22 trailing count bits   byte
//   key below its child.                 +23 bytes per entry       byte
//                                        +24 key area, 488 bytes:
//   ┌─ key area ────────────────────────────────────────────────────────┐
//   │ entry 0 │ entry 1 │ … │   free   │ … │ key 1 bytes │ key 0 bytes │
//   └───────────────────────────────────────────────────────────────────┘
//   An entry (bytes-per-entry bytes, read as a little-endian integer): the
//   record number in the low bits, the duplicate count (leading bytes shared
//   with the previous key of the page) in the next, the trailing count (bytes
//   by which the key is shorter than the key length) in the top bits. The
//   remaining bytes of each key are packed from the end of the area backwards.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velorin::cdx_format {

constexpr int32_t kPageSize = 512;
constexpr int32_t kHeaderSize = 1024;  // a tag header takes two pages
constexpr int32_t kNewFileSize = 1536;  // directory header and its empty root leaf
constexpr int32_t kDirectoryRoot = 1024;
constexpr int32_t kMaxKeyLength = 240;
constexpr int32_t kDirectoryKeyLength = 10;
constexpr int32_t kNone = -1;

namespace header {
constexpr size_t kRoot = 0;
constexpr size_t kFreeList = 4;
constexpr size_t kChangeCounter = 8;
constexpr size_t kKeyLength = 12;
constexpr size_t kOptions = 14;
constexpr size_t kSignature = 15;
constexpr size_t kCollation = 494;
constexpr size_t kCollationSize = 8;
constexpr size_t kDescending = 502;
constexpr size_t kKeyExpressionLength = 504;
constexpr size_t kForExpressionLength = 506;
constexpr size_t kKeyExpressionLength2 = 510;
constexpr size_t kExpressions = 512;
constexpr size_t kExpressionArea = 512;  // key, zero, FOR, zero must fit
}  // namespace header

namespace options {
constexpr uint8_t kUnique = 0x01;
constexpr uint8_t kHasFor = 0x08;
constexpr uint8_t kCompact = 0x20;
constexpr uint8_t kCompound = 0x40;
constexpr uint8_t kDirectory = 0x80;
constexpr uint8_t kTag = kCompact | kCompound;             // 0x60
constexpr uint8_t kDirectoryTag = kTag | kDirectory;       // 0xE0
}  // namespace options

constexpr uint8_t kSignature = 1;
constexpr uint8_t kSignatureGeneral = 2;
constexpr char kGeneralName[] = "GENERAL";
constexpr char kMachineName[] = "MACHINE";

namespace page {
constexpr size_t kAttributes = 0;
constexpr size_t kKeyCount = 2;
constexpr size_t kLeftSibling = 4;
constexpr size_t kRightSibling = 8;
constexpr size_t kInteriorEntries = 12;
constexpr int32_t kInteriorArea = 500;
}  // namespace page

namespace attributes {
constexpr uint16_t kRoot = 0x01;
constexpr uint16_t kLeaf = 0x02;
}  // namespace attributes

namespace leaf {
constexpr size_t kFreeBytes = 12;
constexpr size_t kRecordMask = 14;
constexpr size_t kDuplicateMask = 18;
constexpr size_t kTrailingMask = 19;
constexpr size_t kRecordBits = 20;
constexpr size_t kDuplicateBits = 21;
constexpr size_t kTrailingBits = 22;
constexpr size_t kBytesPerEntry = 23;
constexpr size_t kKeyArea = 24;
constexpr int32_t kKeyAreaSize = 488;
constexpr int32_t kMaxBytesPerEntry = 8;  // an entry is read as one 64-bit integer
}  // namespace leaf

namespace interior_entry {
constexpr size_t kRecord = 0;  // after the key
constexpr size_t kChild = 4;
constexpr int32_t kTail = 8;
}  // namespace interior_entry

constexpr int32_t InteriorEntryLength(int32_t keyLength) { return keyLength + interior_entry::kTail; }
constexpr int32_t KeysPerInterior(int32_t keyLength) { return page::kInteriorArea / InteriorEntryLength(keyLength); }

// The bit layout of a leaf, from the largest record number it must hold.
struct LeafLayout {
  uint32_t recordMask = 0;
  uint8_t duplicateMask = 0;
  uint8_t trailingMask = 0;
  uint8_t recordBits = 0;
  uint8_t duplicateBits = 0;
  uint8_t trailingBits = 0;
  uint8_t bytesPerEntry = 0;
};

// The layout rule: count bits from the key length, 3 bytes per entry, one more
// byte (8 more record bits) while the record mask is below largestRecord, at
// most 31 record bits. widen false: the 3-byte layout whatever the records.
constexpr LeafLayout LeafLayoutFor(int32_t keyLength, int64_t largestRecord, bool widen = true) {
  LeafLayout layout;
  uint8_t bits = 1;
  while ((int64_t{1} << bits) <= keyLength) ++bits;
  layout.duplicateBits = layout.trailingBits = bits;
  layout.duplicateMask = layout.trailingMask = static_cast<uint8_t>((1u << bits) - 1);
  layout.bytesPerEntry = 3;
  layout.recordBits = static_cast<uint8_t>(24 - 2 * bits);
  uint64_t mask = (uint64_t{1} << layout.recordBits) - 1;
  while (widen && mask < static_cast<uint64_t>(largestRecord) && layout.recordBits < 31) {
    ++layout.bytesPerEntry;
    if (layout.recordBits >= 24) {
      layout.recordBits = 31;
      mask = 0x7FFFFFFF;
    } else {
      layout.recordBits = static_cast<uint8_t>(layout.recordBits + 8);
      mask = mask * 256 + 255;
    }
  }
  layout.recordMask = static_cast<uint32_t>(mask);
  return layout;
}

}  // namespace velorin::cdx_format
