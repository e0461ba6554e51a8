#include "index/cdx_page.h"

#include <algorithm>
#include <cstring>

#include "engine/byte_order.h"
#include "index/cdx_keys.h"

namespace velorin::cdx_page {

namespace {

using namespace cdx_format;

size_t CommonPrefix(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

std::string PageBytes(const TvrVariant& key, const CdxKeyForm& form, bool squeeze) {
  std::string bytes = StoredBytes(key);
  if (squeeze && form.general) cdx_keys::SqueezeSecondary(bytes);
  return bytes;
}

void PutHeader(uint8_t* out, uint16_t attributes, const VRobjIndexKey& node) {
  std::memset(out, 0, kPageSize);
  byte_order::PutLE16(out + page::kAttributes, attributes);
  byte_order::PutLE16(out + page::kKeyCount, static_cast<uint16_t>(node.Count()));
  byte_order::PutLE32(out + page::kLeftSibling, static_cast<uint32_t>(node.LeftSibling));
  byte_order::PutLE32(out + page::kRightSibling, static_cast<uint32_t>(node.RightSibling));
}

// A key read from a page, in the kind its tag compares with.
void SetKey(VRobjIndexKeyData& entry, std::string key, const CdxKeyForm& form) {
  if (form.general) {
    cdx_keys::ExpandSecondary(key);
    entry.SetText(key);
  } else if (form.text) {
    size_t zero = key.find('\0');
    if (zero != std::string::npos) key.resize(zero);
    size_t end = key.find_last_not_of(' ');
    key.resize(end == std::string::npos ? 0 : end + 1);
    entry.SetText(key);
  } else {
    // Writers that keep the zero bytes of a number store the same key.
    while (!key.empty() && key.back() == '\0') key.pop_back();
    entry.SetBytes(key.data(), static_cast<int32_t>(key.size()));
  }
}

bool DecodeLeaf(const uint8_t* in, int32_t count, const CdxKeyForm& form, VRobjIndexKey& node) {
  uint32_t recordMask = byte_order::GetLE32(in + leaf::kRecordMask);
  uint8_t duplicateMask = in[leaf::kDuplicateMask];
  uint8_t trailingMask = in[leaf::kTrailingMask];
  int32_t recordBits = in[leaf::kRecordBits];
  int32_t duplicateBits = in[leaf::kDuplicateBits];
  int32_t trailingBits = in[leaf::kTrailingBits];
  int32_t bytesPerEntry = in[leaf::kBytesPerEntry];
  if (bytesPerEntry < 1 || bytesPerEntry > leaf::kMaxBytesPerEntry || recordBits < 1 || recordBits > 32 ||
      duplicateBits < 1 || duplicateBits > 8 || trailingBits < 1 || trailingBits > 8 ||
      recordBits + duplicateBits + trailingBits > bytesPerEntry * 8 || count * bytesPerEntry > leaf::kKeyAreaSize) {
    return false;
  }
  const uint8_t* area = in + leaf::kKeyArea;
  int32_t end = leaf::kKeyAreaSize;
  int32_t entriesEnd = count * bytesPerEntry;
  char buffer[kMaxKeyLength + 16];
  std::memset(buffer, ' ', sizeof buffer);
  int32_t previousLength = 0;
  node.Entries.resize(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    uint64_t value = 0;
    for (int32_t b = bytesPerEntry - 1; b >= 0; --b) value = (value << 8) | area[i * bytesPerEntry + b];
    auto record = static_cast<uint32_t>(value & recordMask & ((uint64_t{1} << recordBits) - 1));
    auto duplicates = static_cast<int32_t>((value >> recordBits) & duplicateMask & ((1u << duplicateBits) - 1));
    auto trailing =
        static_cast<int32_t>((value >> (recordBits + duplicateBits)) & trailingMask & ((1u << trailingBits) - 1));
    if (duplicates + trailing > form.keyLength || (i > 0 && duplicates > previousLength) || record > 0x7FFFFFFFu) {
      return false;
    }
    int32_t stored = form.keyLength - trailing - duplicates;
    end -= stored;
    if (end < entriesEnd) return false;
    std::memcpy(buffer + duplicates, area + end, static_cast<size_t>(stored));
    previousLength = form.keyLength - trailing;
    VRobjIndexKeyData& entry = node.Entries[static_cast<size_t>(i)];
    SetKey(entry, std::string(buffer, static_cast<size_t>(previousLength)), form);
    entry.RecNo = entry.Pointer = static_cast<int32_t>(record);
  }
  return true;
}

bool DecodeInterior(const uint8_t* in, int32_t count, const CdxKeyForm& form, VRobjIndexKey& node) {
  int32_t entryLength = InteriorEntryLength(form.keyLength);
  if (count * entryLength > page::kInteriorArea) return false;
  node.Entries.resize(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* p = in + page::kInteriorEntries + i * entryLength;
    VRobjIndexKeyData& entry = node.Entries[static_cast<size_t>(i)];
    SetKey(entry, std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(form.keyLength)), form);
    entry.RecNo = static_cast<int32_t>(byte_order::GetBE32(p + form.keyLength + interior_entry::kRecord));
    uint32_t child = byte_order::GetBE32(p + form.keyLength + interior_entry::kChild);
    if (child == 0 || child % kPageSize != 0 || child > 0x7FFFFFFFu) return false;
    entry.Pointer = static_cast<int32_t>(child);
  }
  return true;
}

}  // namespace

std::string StoredBytes(const TvrVariant& key) { return std::string(key.Bytes()); }

int32_t LeafBytes(const std::vector<VRobjIndexKeyData>& keys, const CdxKeyForm& form, const LeafLayout& layout,
                  bool squeeze) {
  int32_t total = 0;
  std::string previous;
  for (const VRobjIndexKeyData& key : keys) {
    std::string bytes = PageBytes(key, form, squeeze);
    total += layout.bytesPerEntry + static_cast<int32_t>(bytes.size() - CommonPrefix(previous, bytes));
    previous = std::move(bytes);
  }
  return total;
}

bool EncodeLeaf(const VRobjIndexKey& node, uint16_t attributes, const CdxKeyForm& form, const LeafLayout& layout,
                bool squeeze, uint8_t* out) {
  PutHeader(out, attributes, node);
  byte_order::PutLE32(out + leaf::kRecordMask, layout.recordMask);
  out[leaf::kDuplicateMask] = layout.duplicateMask;
  out[leaf::kTrailingMask] = layout.trailingMask;
  out[leaf::kRecordBits] = layout.recordBits;
  out[leaf::kDuplicateBits] = layout.duplicateBits;
  out[leaf::kTrailingBits] = layout.trailingBits;
  out[leaf::kBytesPerEntry] = layout.bytesPerEntry;
  uint8_t* area = out + leaf::kKeyArea;
  int32_t end = leaf::kKeyAreaSize;
  int32_t entryAt = 0;
  std::string previous;
  for (const VRobjIndexKeyData& key : node.Entries) {
    std::string bytes = PageBytes(key, form, squeeze);
    auto length = static_cast<int32_t>(bytes.size());
    if (length > form.keyLength || static_cast<uint32_t>(key.Pointer) > layout.recordMask) return false;
    auto duplicates = static_cast<int32_t>(CommonPrefix(previous, bytes));
    int32_t trailing = form.keyLength - length;
    int32_t stored = length - duplicates;
    end -= stored;
    if (end < entryAt + layout.bytesPerEntry) return false;
    std::memcpy(area + end, bytes.data() + duplicates, static_cast<size_t>(stored));
    uint64_t value = static_cast<uint64_t>(static_cast<uint32_t>(key.Pointer)) |
                     (static_cast<uint64_t>(duplicates) << layout.recordBits) |
                     (static_cast<uint64_t>(trailing) << (layout.recordBits + layout.duplicateBits));
    for (int32_t b = 0; b < layout.bytesPerEntry; ++b) area[entryAt + b] = static_cast<uint8_t>(value >> (8 * b));
    entryAt += layout.bytesPerEntry;
    previous = std::move(bytes);
  }
  byte_order::PutLE16(out + leaf::kFreeBytes, static_cast<uint16_t>(end - entryAt));
  return true;
}

bool EncodeInterior(const VRobjIndexKey& node, uint16_t attributes, const CdxKeyForm& form, bool squeeze,
                    uint8_t* out) {
  if (node.Count() > KeysPerInterior(form.keyLength)) return false;
  PutHeader(out, attributes, node);
  int32_t entryLength = InteriorEntryLength(form.keyLength);
  for (int32_t i = 0; i < node.Count(); ++i) {
    const VRobjIndexKeyData& key = node.Entries[static_cast<size_t>(i)];
    uint8_t* p = out + page::kInteriorEntries + i * entryLength;
    std::string bytes = PageBytes(key, form, squeeze);
    if (static_cast<int32_t>(bytes.size()) > form.keyLength) return false;
    std::memset(p, form.text ? ' ' : 0, static_cast<size_t>(form.keyLength));
    std::memcpy(p, bytes.data(), bytes.size());
    byte_order::PutBE32(p + form.keyLength + interior_entry::kRecord, static_cast<uint32_t>(key.RecNo));
    byte_order::PutBE32(p + form.keyLength + interior_entry::kChild, static_cast<uint32_t>(key.Pointer));
  }
  return true;
}

bool DecodePage(const uint8_t* in, const CdxKeyForm& form, VRobjIndexKey& node) {
  uint16_t attributes = byte_order::GetLE16(in + page::kAttributes);
  int32_t count = byte_order::GetLE16(in + page::kKeyCount);
  if (attributes > (attributes::kRoot | attributes::kLeaf) || form.keyLength <= 0 || form.keyLength > kMaxKeyLength) {
    return false;
  }
  node.Leaf = (attributes & attributes::kLeaf) != 0;
  node.LeftSibling = static_cast<int32_t>(byte_order::GetLE32(in + page::kLeftSibling));
  node.RightSibling = static_cast<int32_t>(byte_order::GetLE32(in + page::kRightSibling));
  return node.Leaf ? DecodeLeaf(in, count, form, node) : DecodeInterior(in, count, form, node);
}

}  // namespace velorin::cdx_page
