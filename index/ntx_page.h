// ntx_page.h — one NTX page between its bytes and its items (the layout is in
// ntx_format.h).
//
// DecodeNtxPage reads the items of a page in key order through its offset
// table and refuses a damaged page; NtxPageWriter fills a page slot by slot with
// the offset table in slot order, for the order's page writes and the bulk
// builder alike.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "index/ntx_format.h"

namespace velorin {

// The sizes a header gives every page of the file.
struct NtxLayout {
  int32_t keyLength = 0;
  int32_t itemLength = 0;
  int32_t maxKeys = 0;

  // The layout of a new file for keys of this length.
  static NtxLayout ForKeyLength(int32_t keyLength);
  // Whether a page holds maximum keys + 1 items behind an offset table of as
  // many entries, each item holding its key behind the two pointers.
  bool Valid() const;
  // Where the item area begins: behind the offset table.
  int32_t ItemArea() const { return static_cast<int32_t>(ntx_format::page::kOffsetTable) + 2 * (maxKeys + 1); }
};

struct NtxItem {
  uint32_t child = 0;
  uint32_t record = 0;
  std::string key;  // trailing blanks removed
};

// The items of a page in key order: its n keys, and in an interior page item
// n + 1 with the rightmost child. False when the page is damaged: a count above
// the maximum, an offset-table entry outside the item area, a child that is not
// a page offset, or leaf and interior items mixed. A page of zeroes is an empty
// leaf.
bool DecodeNtxPage(const uint8_t* page, const NtxLayout& layout, std::vector<NtxItem>& items, bool& interior);

class NtxPageWriter {
 public:
  explicit NtxPageWriter(const NtxLayout& layout);

  // Back to an empty page: zeroes with the offset table in slot order.
  void Clear();
  // Puts an item in the next slot, its key blank-padded to the key length
  // (callers never give a longer key); the count is set apart with SetCount.
  void Put(uint32_t child, uint32_t record, std::string_view key);
  int32_t Items() const { return items_; }
  bool Full() const { return items_ > layout_.maxKeys; }
  std::string_view KeyOf(int32_t item) const;
  uint32_t RecordOf(int32_t item) const;
  void SetRecord(int32_t item, uint32_t record);
  void SetCount(int32_t count);
  const uint8_t* Bytes() const { return bytes_.data(); }

 private:
  uint8_t* Slot(int32_t item) { return bytes_.data() + layout_.ItemArea() + item * layout_.itemLength; }
  const uint8_t* Slot(int32_t item) const {
    return bytes_.data() + layout_.ItemArea() + item * layout_.itemLength;
  }

  NtxLayout layout_;
  std::array<uint8_t, ntx_format::kPageSize> bytes_{};
  int32_t items_ = 0;
};

}  // namespace velorin
