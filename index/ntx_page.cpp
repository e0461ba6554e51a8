#include "index/ntx_page.h"

#include <algorithm>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/vr6_sort.h"

namespace velorin {

using namespace ntx_format;

NtxLayout NtxLayout::ForKeyLength(int32_t keyLength) {
  return NtxLayout{keyLength, ItemLength(keyLength), MaxKeys(keyLength)};
}

bool NtxLayout::Valid() const {
  return keyLength > 0 && keyLength <= TvrSort::kMaxKeyLength && itemLength >= keyLength + 8 && maxKeys >= 2 &&
         ItemArea() + (maxKeys + 1) * itemLength <= kPageSize;
}

bool DecodeNtxPage(const uint8_t* page, const NtxLayout& layout, std::vector<NtxItem>& items, bool& interior) {
  items.clear();
  interior = false;
  int32_t count = byte_order::GetLE16(page + page::kCount);
  if (count > layout.maxKeys) return false;
  // Where item i (from 0) lies, or -1 outside the item area.
  auto itemAt = [&](int32_t i) -> int32_t {
    int32_t offset = byte_order::GetLE16(page + page::kOffsetTable + 2 * i);
    return offset >= layout.ItemArea() && offset + layout.itemLength <= kPageSize ? offset : -1;
  };
  int32_t first = itemAt(0);
  if (first < 0) {
    // A page of zeroes (as a zap writes it) is an empty leaf.
    return count == 0 && byte_order::GetLE16(page + page::kOffsetTable) == 0;
  }
  interior = byte_order::GetLE32(page + first + item::kChild) != 0;
  int32_t used = interior ? count + 1 : count;
  items.resize(static_cast<size_t>(used));
  for (int32_t i = 0; i < used; ++i) {
    int32_t offset = itemAt(i);
    if (offset < 0) return false;
    NtxItem& it = items[static_cast<size_t>(i)];
    it.child = byte_order::GetLE32(page + offset + item::kChild);
    it.record = byte_order::GetLE32(page + offset + item::kRecord);
    if ((it.child != 0) != interior || it.child % kPageSize != 0 || it.child > INT32_MAX) return false;
    std::string_view key(reinterpret_cast<const char*>(page + offset + item::kKey),
                         static_cast<size_t>(layout.keyLength));
    size_t end = key.find_last_not_of(' ');
    it.key.assign(key.substr(0, end == std::string_view::npos ? 0 : end + 1));
  }
  return true;
}

NtxPageWriter::NtxPageWriter(const NtxLayout& layout) : layout_(layout) { Clear(); }

void NtxPageWriter::Clear() {
  bytes_.fill(0);
  for (int32_t i = 0; i <= layout_.maxKeys; ++i) {
    byte_order::PutLE16(bytes_.data() + page::kOffsetTable + 2 * i,
                        static_cast<uint16_t>(SlotOffset(layout_.maxKeys, layout_.itemLength, i)));
  }
  items_ = 0;
}

void NtxPageWriter::Put(uint32_t child, uint32_t record, std::string_view key) {
  uint8_t* slot = Slot(items_++);
  byte_order::PutLE32(slot + item::kChild, child);
  byte_order::PutLE32(slot + item::kRecord, record);
  std::memset(slot + item::kKey, ' ', static_cast<size_t>(layout_.keyLength));
  std::memcpy(slot + item::kKey, key.data(), std::min(key.size(), static_cast<size_t>(layout_.keyLength)));
}

std::string_view NtxPageWriter::KeyOf(int32_t item) const {
  return {reinterpret_cast<const char*>(Slot(item) + item::kKey), static_cast<size_t>(layout_.keyLength)};
}

uint32_t NtxPageWriter::RecordOf(int32_t item) const { return byte_order::GetLE32(Slot(item) + item::kRecord); }

void NtxPageWriter::SetRecord(int32_t item, uint32_t record) {
  byte_order::PutLE32(Slot(item) + item::kRecord, record);
}

void NtxPageWriter::SetCount(int32_t count) {
  byte_order::PutLE16(bytes_.data() + page::kCount, static_cast<uint16_t>(count));
}

}  // namespace velorin
