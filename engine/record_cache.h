// record_cache.h — a table file's bytes kept in memory in blocks, for walks in
// index order.
//
// Walking in an index order visits records all over the file, and reading each
// with its own read costs a system call per record. RecordBlockCache keeps the
// file in blocks of kBlockBytes, each read whole the first time a record in it is
// wanted and found again by its number, up to kBoundBytes; past the bound the
// cache starts again (so the owner uses it for files within the bound). Blocks
// are huge-page sized: records read at random then cost no page-table walks.
//
// Contract: the owner sends every write of the file through Written() (bytes a
// cached block holds are updated; a block the write runs past is dropped and read
// again) and calls Clear() when the file is truncated, reopened or may have been
// changed by another program. A table that other programs may write does not use
// it; the owner decides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/large_buffer.h"

namespace velorin {

class RecordBlockCache {
 public:
  static constexpr int32_t kBlockBytes = static_cast<int32_t>(platform::LargeBuffer::kAlignment);
  static constexpr size_t kBoundBytes = size_t{128} << 20;

  // Reads count bytes at offset of the file into buffer; what it returns is the
  // number of bytes the file holds there (short at its end).
  using FileReader = std::function<int32_t(int32_t offset, void* buffer, int32_t count)>;

  // count bytes at offset (offset >= 0, count <= kBlockBytes) through the cache:
  // the bytes the file holds, as FileReader would return them.
  int32_t Read(int32_t offset, void* buffer, int32_t count, const FileReader& readFile);
  // Asks the processor for the cache lines of count bytes at offset, as far as
  // their block is cached (a hint: nothing is read from the file).
  void Prefetch(int32_t offset, int32_t count) const;
  void Written(int32_t offset, const void* buffer, int32_t count);
  void Clear();
  size_t BytesHeld() const { return blocksHeld_ * static_cast<size_t>(kBlockBytes); }

 private:
  struct Block {
    std::optional<platform::LargeBuffer> bytes;
    int32_t valid = 0;  // bytes the file held when the block was read
  };
  // The block, read when it is not cached.
  const Block& Load(size_t number, const FileReader& readFile);

  std::vector<Block> blocks_;  // by block number; empty ones not read
  size_t blocksHeld_ = 0;
};

}  // namespace velorin
