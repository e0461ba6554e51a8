#include "index/page_cache.h"

#include <utility>

namespace velorin {

size_t PageCache::Home(int32_t page) const {
  // Fibonacci hashing: byte-offset page numbers (multiples of 512) spread too.
  uint32_t mixed = static_cast<uint32_t>(page) * 0x9E3779B1u;
  return (static_cast<size_t>(mixed) * slots_.size()) >> 32;
}

const std::shared_ptr<VRobjIndexKey>* PageCache::Find(int32_t page) const {
  if (slots_.empty() || page == 0) return nullptr;
  size_t mask = slots_.size() - 1;
  for (size_t i = Home(page);; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.page == page) {
      if (slot.hint != nullptr) __builtin_prefetch(slot.hint);
      return &slot.node;
    }
    if (slot.page == 0) return nullptr;
  }
}

void PageCache::Put(int32_t page, std::shared_ptr<VRobjIndexKey> node, size_t bytes) {
  if (page == 0) return;
  if (bytes_ + bytes > byteBound_) Clear();
  bytes_ += bytes;
  if ((count_ + 1) * 2 > slots_.size()) Grow();
  size_t mask = slots_.size() - 1;
  for (size_t i = Home(page);; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.page == page || slot.page == 0) {
      if (slot.page == 0) ++count_;
      slot.page = page;
      slot.node = std::move(node);
      slot.hint = nullptr;
      return;
    }
  }
}

void PageCache::SetHint(int32_t page, const void* hint) {
  if (slots_.empty() || page == 0) return;
  size_t mask = slots_.size() - 1;
  for (size_t i = Home(page); slots_[i].page != 0; i = (i + 1) & mask) {
    if (slots_[i].page == page) {
      slots_[i].hint = hint;
      return;
    }
  }
}

void PageCache::Erase(int32_t page) {
  if (slots_.empty() || page == 0) return;
  size_t mask = slots_.size() - 1;
  size_t hole = Home(page);
  while (slots_[hole].page != page) {
    if (slots_[hole].page == 0) return;
    hole = (hole + 1) & mask;
  }
  slots_[hole] = Slot{};
  --count_;
  // Backward shift: a later slot of the run moves into the hole unless its home
  // lies cyclically after the hole (it would then no longer be found).
  for (size_t i = (hole + 1) & mask; slots_[i].page != 0; i = (i + 1) & mask) {
    size_t home = Home(slots_[i].page);
    bool homeAfterHole = hole <= i ? (home > hole && home <= i) : (home > hole || home <= i);
    if (homeAfterHole) continue;
    slots_[hole] = std::move(slots_[i]);
    slots_[i] = Slot{};
    hole = i;
  }
}

void PageCache::Clear() {
  slots_.clear();
  count_ = 0;
  bytes_ = 0;
}

void PageCache::Grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_ = std::vector<Slot>(old.empty() ? kFirstSlots : old.size() * 2);
  size_t mask = slots_.size() - 1;
  for (Slot& slot : old) {
    if (slot.page == 0) continue;
    size_t i = Home(slot.page);
    while (slots_[i].page != 0) i = (i + 1) & mask;
    slots_[i] = std::move(slot);
  }
}

}  // namespace velorin
