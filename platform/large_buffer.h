// large_buffer.h — a large block of memory that the system may back with huge
// pages.
//
// Memory read at random over tens of megabytes (a table's records in index
// order) spends much of its time on address translation with 4 KiB pages.
// LargeBuffer allocates kAlignment-aligned memory and asks the system to back it
// with huge pages where it can (Linux: madvise MADV_HUGEPAGE, honoured when
// transparent huge pages are enabled or "madvise"); elsewhere it is plain memory.
// The contents start undefined.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace velorin::platform {

class LargeBuffer {
 public:
  static constexpr size_t kAlignment = size_t{2} << 20;

  // bytes rounded up to kAlignment; std::bad_alloc when it cannot be had.
  explicit LargeBuffer(size_t bytes);

  uint8_t* Data() { return bytes_.get(); }
  const uint8_t* Data() const { return bytes_.get(); }
  size_t Size() const { return size_; }

 private:
  struct Free {
    void operator()(uint8_t* p) const;
  };
  std::unique_ptr<uint8_t, Free> bytes_;
  size_t size_;
};

}  // namespace velorin::platform
