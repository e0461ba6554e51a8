// page_cache.h — the decoded pages of one index order, found by page number.
//
// PageCache maps a page number (any positive int32: a block number or a byte
// offset, as the family numbers its pages) to its node with open addressing, so
// that a lookup touches one slot where a chained map touches a bucket and a list
// node. It keeps the memory its nodes hold under a bound: a node that would pass
// it makes the cache start again (nodes still in use live on through their other
// owners). Page 0 is never a page of a tree and is not kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace velorin {

class VRobjIndexKey;

class PageCache {
 public:
  explicit PageCache(size_t byteBound) : byteBound_(byteBound) {}

  // The node of the page, or nullptr. When a hint was left for the page, the
  // processor is asked for that memory at once.
  const std::shared_ptr<VRobjIndexKey>* Find(int32_t page) const;
  // Leaves with the page the address that a search of it reads first (its
  // packed keys), so that the next Find asks for it together with the node
  // instead of after it. Only prefetched: a stale address does no harm.
  void SetHint(int32_t page, const void* hint);
  // Keeps node as page (replacing what was kept there), charging bytes.
  void Put(int32_t page, std::shared_ptr<VRobjIndexKey> node, size_t bytes);
  void Erase(int32_t page);
  void Clear();
  size_t Count() const { return count_; }

 private:
  struct Slot {
    int32_t page = 0;  // 0: empty
    std::shared_ptr<VRobjIndexKey> node;
    const void* hint = nullptr;
  };
  static constexpr size_t kFirstSlots = 1024;

  size_t Home(int32_t page) const;
  void Grow();

  size_t byteBound_;
  size_t bytes_ = 0;  // charged by Put; Erase does not give back (errs towards starting again early)
  size_t count_ = 0;
  std::vector<Slot> slots_;  // a power of two in size, at most half full
};

}  // namespace velorin
