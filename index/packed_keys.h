// packed_keys.h — the keys of one index page packed for searching.
//
// A decoded page holds each key in a buffer of its own; a binary search over
// them would touch one allocation per probe. PackedKeys copies a page's keys,
// with their record numbers and pointers, into one buffer:
//
//   +-------------------+--------------------+----------------------------------+
//   | common prefix:    | words: count x 8   | slots: count x stride bytes      |
//   | the bytes every   | bytes, text and    |  +0 pointer (int32)              |
//   | key begins with,  | raw keys only      |  +4 record (int32)               |
//   | padded to 8       |                    |  +8 key length (uint16)          |
//   |                   |                    | +10 key bytes, to the longest    |
//   +-------------------+--------------------+----------------------------------+
//
// (numbers in host order). A key's word holds the 7 bytes after the common
// prefix (zero-padded) in its high bytes, big-endian, and in its low byte how
// many of them the key has (7 for 7 or more). Most probes decide on the common
// prefix or on a word; the others read one slot.
//
// The pack holds no keys (Kind() kNone) when they are of more than one kind or
// one is longer than 65,535 bytes: the search then compares the entries
// themselves. A pack is a copy: whoever changes the page's entries resets it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/vr6_glbl.h"

namespace velorin {

class VRobjIndexKeyData;

class PackedKeys {
 public:
  // A search key prepared against one pack.
  struct Probe {
    TvrVariantKind kind = TvrVariantKind::kNone;
    std::string_view key;
    int prefixResult = 0;
    bool byWords = false;   // else every comparison goes through the slots
    bool decided = false;   // the common prefix decides for every key
    int decision = 0;
    uint64_t word = 0;
  };

  void Build(const std::vector<VRobjIndexKeyData>& entries);
  void Reset() { *this = PackedKeys{}; }
  bool Built() const { return built_; }

  TvrVariantKind Kind() const { return kind_; }
  std::string_view KeyAt(int32_t i) const {
    const char* slot = Slot(i);
    return {slot + kKeyBytes, Load<uint16_t>(slot + kLength)};
  }
  int32_t PointerAt(int32_t i) const { return Load<int32_t>(Slot(i) + kPointer); }
  int32_t RecNoAt(int32_t i) const { return Load<int32_t>(Slot(i) + kRecNo); }
  size_t MemoryUse() const { return sizeof(PackedKeys) + bytes_; }
  // Where the pack's bytes begin (what a search reads first); nullptr when empty.
  const void* Data() const { return data_.get(); }

  // Prepares a key of that kind for Compare; prefixResult as for
  // TvrVariant::Compare.
  Probe Prepare(TvrVariantKind kind, std::string_view key, int prefixResult) const;
  // The key compared with key i, exactly as TvrVariant::CompareBytes would
  // (including its error for kinds that do not compare). Needs Kind() != kNone.
  int Compare(const Probe& probe, int32_t i) const;

 private:
  static constexpr size_t kWordBytes = 7;  // key bytes in a word
  // Offsets within a slot.
  static constexpr size_t kPointer = 0;
  static constexpr size_t kRecNo = 4;
  static constexpr size_t kLength = 8;
  static constexpr size_t kKeyBytes = 10;

  template <class T>
  static T Load(const char* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
  }
  // The word of the bytes after the common prefix (see the diagram).
  uint64_t WordOf(std::string_view key) const;
  const char* Slot(int32_t i) const { return data_.get() + slotsOffset_ + static_cast<size_t>(i) * stride_; }
  uint64_t WordAt(int32_t i) const { return Load<uint64_t>(data_.get() + wordsOffset_ + static_cast<size_t>(i) * 8); }

  std::unique_ptr<char[]> data_;
  size_t bytes_ = 0;
  size_t commonLength_ = 0;
  size_t wordsOffset_ = 0;
  size_t slotsOffset_ = 0;
  size_t stride_ = 0;
  TvrVariantKind kind_ = TvrVariantKind::kNone;
  bool hasWords_ = false;
  bool built_ = false;
};

}  // namespace velorin
