#include "platform/large_buffer.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace velorin::platform {

LargeBuffer::LargeBuffer(size_t bytes) : size_((bytes + kAlignment - 1) / kAlignment * kAlignment) {
  if (size_ == 0) size_ = kAlignment;
  auto* memory = static_cast<uint8_t*>(std::aligned_alloc(kAlignment, size_));
  if (memory == nullptr) throw std::bad_alloc();
  bytes_.reset(memory);
#ifdef MADV_HUGEPAGE
  madvise(memory, size_, MADV_HUGEPAGE);  // a hint: refused, the memory is still good
#endif
}

void LargeBuffer::Free::operator()(uint8_t* p) const { std::free(p); }

}  // namespace velorin::platform
