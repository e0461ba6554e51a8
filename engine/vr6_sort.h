// vr6_sort.h — sorting (key, record number) pairs in bounded memory, for index builds.
//
// TvrSort takes pairs one by one into a letter tree of at most 32 pages of 40960
// bytes (4096 nodes of 10 bytes each). When the tree is full it is written out as
// a sorted run: prefix-compressed entries in 16384-byte pages, kept in memory (no
// temporary files). Retrieval merges the runs, smallest stored key first, the
// earlier run winning ties. Equal keys come back in ascending record number; with
// the unique flag only the first of each group of equal keys is returned.
//
// A stored key is the key in an order-preserving byte form (text without trailing
// blanks, numerics with the sign bit flipped, dates big-endian) followed by the
// record number as 4 bytes, most significant first; the kind mark (0x10 raw, 0x20
// text, 0x30 numeric, 0x40 date) travels with it so NextKey hands back the value
// in the kind it was added with. Failures are EVelorinError.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/vr6_glbl.h"

namespace velorin {

// One sorted run: entries (mark, total length, new bytes n, n bytes) one after
// another in pages of kPageBytes, each page's entries ending with a 0 byte.
class TvrPageCollection {
 public:
  static constexpr int32_t kPageBytes = 16384;

  // Appends an entry holding key (its bytes shared with the previous key of the
  // run are not stored again).
  void Write(uint8_t mark, const uint8_t* key, int32_t length);
  // Back to the first entry, loaded as the current key; exhausted when empty.
  void Rewind();
  // The next entry becomes the current key; exhausted after the last.
  void Advance();

  bool Exhausted() const { return offset_ < 0; }
  uint8_t Mark() const { return mark_; }
  const uint8_t* Key() const { return key_; }
  int32_t KeyLength() const { return keyLength_; }

 private:
  void Load();

  std::vector<std::unique_ptr<uint8_t[]>> pages_;
  uint8_t key_[256] = {};  // the run's current key (while reading) or last key (while writing)
  int32_t keyLength_ = 0;
  uint8_t mark_ = 0;
  int32_t offset_ = -1;  // read/write offset in the current page; -1 exhausted
  int32_t page_ = 0;
};

class TvrSort {
 public:
  static constexpr int32_t kTreePageBytes = 40960;
  static constexpr int32_t kMaxTreePages = 32;
  static constexpr int32_t kNodeBytes = 10;
  static constexpr int32_t kMaxKeyLength = 240;

  // Kind marks of stored keys.
  static constexpr uint8_t kMarkRaw = 0x10;
  static constexpr uint8_t kMarkText = 0x20;
  static constexpr uint8_t kMarkNumeric = 0x30;
  static constexpr uint8_t kMarkDate = 0x40;

  // "Sort key length greater than 240 bytes" for a maximum above 240.
  TvrSort(int32_t maxKeyLength, bool unique);
  virtual ~TvrSort();
  TvrSort(const TvrSort&) = delete;
  TvrSort& operator=(const TvrSort&) = delete;

  // Adds one pair. Refused after retrieval began, for a key longer than the
  // maximum, and for a kind other than text, numeric, date and raw.
  void AddKey(const TvrVariant& key, int32_t recordNumber);
  // The next pair in order; false when none is left.
  bool NextKey(TvrVariant& key, int32_t& recordNumber);

  int32_t KeyCount() const { return keyCount_; }
  int32_t RunCount() const { return static_cast<int32_t>(runs_.size()); }
  int32_t TreePageCount() const { return static_cast<int32_t>(treePages_.size()); }
  bool Unique() const { return unique_; }

 private:
  uint8_t* Node(uint32_t n);
  uint32_t NewNode();
  void WriteRun();
  void SplitInline(uint8_t* node);
  // The index of the run with the smallest current key (ties: the earlier); -1 none.
  int32_t SmallestRun();

  bool unique_;
  int32_t keyCount_ = 0;
  std::vector<std::unique_ptr<uint8_t[]>> treePages_;
  std::vector<std::unique_ptr<TvrPageCollection>> runs_;
  int32_t maxKeyLength_;
  bool accepting_ = true;
  uint32_t nodeCount_ = 0;  // nodes taken since the tree was last emptied; node n lives at n
  uint8_t work_[kMaxKeyLength + 4] = {};
  TvrVariant lastReturned_;
  bool haveLast_ = false;
  uint8_t root_[kNodeBytes] = {};
  std::vector<int32_t> heap_;  // runs not exhausted, a min-heap by (key, run index)
};

}  // namespace velorin
