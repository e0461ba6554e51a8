#include "index/packed_keys.h"

#include <algorithm>
#include <bit>

#include "index/vr6_indx.h"

namespace velorin {

namespace {

bool IsByteKind(TvrVariantKind kind) { return kind == TvrVariantKind::kText || kind == TvrVariantKind::kRaw; }

int Sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

void PackedKeys::Build(const std::vector<VRobjIndexKeyData>& entries) {
  Reset();
  built_ = true;
  if (entries.empty()) return;
  TvrVariantKind kind = entries.front().Kind();
  size_t longest = 0;
  for (const VRobjIndexKeyData& entry : entries) {
    if (entry.Kind() != kind) return;
    longest = std::max(longest, static_cast<size_t>(entry.Length()));
  }
  if (longest > UINT16_MAX) return;
  kind_ = kind;
  // Words for text and raw keys, none of them empty (an empty key sorts first
  // whatever the prefix rule says).
  std::string_view first = entries.front().Bytes();
  hasWords_ = IsByteKind(kind);
  commonLength_ = first.size();
  for (const VRobjIndexKeyData& entry : entries) {
    std::string_view key = entry.Bytes();
    if (key.empty()) hasWords_ = false;
    size_t common = 0;
    size_t limit = std::min(commonLength_, key.size());
    while (common < limit && key[common] == first[common]) ++common;
    commonLength_ = common;
  }
  if (!hasWords_) commonLength_ = 0;
  wordsOffset_ = (commonLength_ + 7) / 8 * 8;
  slotsOffset_ = wordsOffset_ + (hasWords_ ? entries.size() * 8 : 0);
  stride_ = kKeyBytes + longest;
  bytes_ = slotsOffset_ + entries.size() * stride_;
  data_ = std::make_unique_for_overwrite<char[]>(bytes_);
  if (commonLength_ > 0) std::memcpy(data_.get(), first.data(), commonLength_);
  char* slot = data_.get() + slotsOffset_;
  for (size_t i = 0; i < entries.size(); ++i, slot += stride_) {
    const VRobjIndexKeyData& entry = entries[i];
    std::string_view key = entry.Bytes();
    auto length = static_cast<uint16_t>(key.size());
    std::memcpy(slot + kPointer, &entry.Pointer, sizeof entry.Pointer);
    std::memcpy(slot + kRecNo, &entry.RecNo, sizeof entry.RecNo);
    std::memcpy(slot + kLength, &length, sizeof length);
    if (length > 0) std::memcpy(slot + kKeyBytes, key.data(), length);
    if (hasWords_) {
      uint64_t word = WordOf(key);
      std::memcpy(data_.get() + wordsOffset_ + i * 8, &word, sizeof word);
    }
  }
}

uint64_t PackedKeys::WordOf(std::string_view key) const {
  size_t have = std::min(key.size() - commonLength_, kWordBytes);
  uint64_t word = 0;
  for (size_t i = 0; i < kWordBytes; ++i) {
    word = word << 8 | (i < have ? static_cast<unsigned char>(key[commonLength_ + i]) : 0u);
  }
  return word << 8 | have;
}

PackedKeys::Probe PackedKeys::Prepare(TvrVariantKind kind, std::string_view key, int prefixResult) const {
  Probe probe;
  probe.kind = kind;
  probe.key = key;
  probe.prefixResult = prefixResult;
  if (!hasWords_ || !IsByteKind(kind) || key.empty()) return probe;
  probe.byWords = true;
  // Text rules (a key that is a proper prefix gives prefixResult) when either
  // side is text, as CompareBytes has it.
  bool text = kind == TvrVariantKind::kText || kind_ == TvrVariantKind::kText;
  size_t shared = std::min(commonLength_, key.size());
  int differs = shared == 0 ? 0 : std::memcmp(key.data(), data_.get(), shared);
  if (differs != 0) {
    probe.decided = true;
    probe.decision = Sign(differs);
  } else if (key.size() < commonLength_) {
    // A proper prefix of every key here.
    probe.decided = true;
    probe.decision = text ? Sign(prefixResult) : -1;
  } else {
    probe.word = WordOf(key);
    // The binary search reads words one after another, each depending on the
    // last: ask for all their cache lines at once.
    const char* words = data_.get() + wordsOffset_;
    size_t wordBytes = slotsOffset_ - wordsOffset_;
    for (size_t line = 0; line < wordBytes; line += 64) __builtin_prefetch(words + line);
  }
  return probe;
}

int PackedKeys::Compare(const Probe& probe, int32_t i) const {
  if (!probe.byWords) return TvrVariant::CompareBytes(probe.kind, probe.key, kind_, KeyAt(i), nullptr, probe.prefixResult);
  if (probe.decided) return probe.decision;
  uint64_t word = WordAt(i);
  uint64_t keyHave = probe.word & 0xFF;
  uint64_t entryHave = word & 0xFF;
  uint64_t have = std::min(keyHave, entryHave);
  uint64_t differ = (probe.word ^ word) >> 8;
  size_t equalBytes = differ == 0 ? kWordBytes : static_cast<size_t>(std::countl_zero(differ) - 8) / 8;
  if (equalBytes < have) return (probe.word >> 8) < (word >> 8) ? -1 : 1;  // a difference in bytes both have
  if (have < kWordBytes) {
    // One key ends within the word and the other begins with it.
    if (keyHave == entryHave) return 0;
    bool text = probe.kind == TvrVariantKind::kText || kind_ == TvrVariantKind::kText;
    if (keyHave < entryHave) return text ? Sign(probe.prefixResult) : -1;
    return 1;
  }
  return TvrVariant::CompareBytes(probe.kind, probe.key, kind_, KeyAt(i), nullptr, probe.prefixResult);
}

}  // namespace velorin
