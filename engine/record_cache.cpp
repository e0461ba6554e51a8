#include "engine/record_cache.h"

#include <algorithm>
#include <cstring>

namespace velorin {

const RecordBlockCache::Block& RecordBlockCache::Load(size_t number, const FileReader& readFile) {
  if (number >= blocks_.size()) blocks_.resize(number + 1);
  Block& block = blocks_[number];
  if (!block.bytes) {
    if ((blocksHeld_ + 1) * static_cast<size_t>(kBlockBytes) > kBoundBytes) {
      Clear();
      blocks_.resize(number + 1);
    }
    Block& fresh = blocks_[number];
    fresh.bytes.emplace(kBlockBytes);
    fresh.valid = std::max(readFile(static_cast<int32_t>(number * kBlockBytes), fresh.bytes->Data(), kBlockBytes), 0);
    ++blocksHeld_;
    return fresh;
  }
  return block;
}

int32_t RecordBlockCache::Read(int32_t offset, void* buffer, int32_t count, const FileReader& readFile) {
  auto* out = static_cast<uint8_t*>(buffer);
  int32_t done = 0;
  while (done < count) {
    int64_t at = int64_t{offset} + done;
    auto number = static_cast<size_t>(at / kBlockBytes);
    auto within = static_cast<int32_t>(at % kBlockBytes);
    int32_t piece = std::min(count - done, kBlockBytes - within);
    const Block* block = &Load(number, readFile);
    if (within + piece > block->valid) {
      // The file may have grown since the block was read (a record appended).
      blocks_[number] = Block{};
      --blocksHeld_;
      block = &Load(number, readFile);
    }
    int32_t available = std::clamp(block->valid - within, 0, piece);
    if (available > 0) std::memcpy(out + done, block->bytes->Data() + within, static_cast<size_t>(available));
    done += available;
    if (available < piece) break;  // the end of the file
  }
  return done;
}

void RecordBlockCache::Prefetch(int32_t offset, int32_t count) const {
  constexpr int64_t kLine = 64;
  if (offset < 0 || count <= 0) return;
  int64_t last = int64_t{offset} + count - 1;
  for (int64_t at = offset; at <= last; at = (at / kLine + 1) * kLine) {
    auto number = static_cast<size_t>(at / kBlockBytes);
    if (number >= blocks_.size() || !blocks_[number].bytes) continue;
    __builtin_prefetch(blocks_[number].bytes->Data() + at % kBlockBytes);
  }
}

void RecordBlockCache::Written(int32_t offset, const void* buffer, int32_t count) {
  if (offset < 0 || count <= 0) return;
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t end = int64_t{offset} + count;
  for (int64_t at = offset; at < end;) {
    auto number = static_cast<size_t>(at / kBlockBytes);
    auto within = static_cast<int32_t>(at % kBlockBytes);
    auto piece = static_cast<int32_t>(std::min<int64_t>(end - at, kBlockBytes - within));
    if (number < blocks_.size() && blocks_[number].bytes) {
      Block& block = blocks_[number];
      if (within + piece <= block.valid) {
        std::memcpy(block.bytes->Data() + within, in + (at - offset), static_cast<size_t>(piece));
      } else {
        block = Block{};  // the write runs past what was read: read it again when wanted
        --blocksHeld_;
      }
    }
    at += piece;
  }
}

void RecordBlockCache::Clear() {
  blocks_.clear();
  blocksHeld_ = 0;
}

}  // namespace velorin
