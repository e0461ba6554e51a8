// Reading ahead in an order: the records of the keys a walk will reach soon,
// which the table handler asks the processor for before it reads them.
#include <algorithm>

#include "engine/vr6_DBF.h"
#include "index/vr6_indx.h"

namespace velorin {

const VRobjIndexKey* VRobjIndexTag::CachedNeighbourLeaf(bool forward) const {
  // Up to the nearest level with an entry beside the path, then down its
  // outer edge, through cached pages only.
  size_t level = path_.size() - 1;
  while (level > 0) {
    --level;
    const CursorLevel& up = path_[level];
    int32_t beside = up.position + (forward ? 1 : -1);
    if (beside < 0 || beside >= up.node->Count()) continue;
    const VRobjIndexKey* node = up.node.get();
    int32_t position = beside;
    for (size_t depth = level; depth < path_.size() - 1; ++depth) {
      const PackedKeys& packed = node->Packed();
      if (node->Leaf || packed.Kind() == TvrVariantKind::kNone) return nullptr;
      const std::shared_ptr<VRobjIndexKey>* child = cache_.Find(packed.PointerAt(position));
      if (child == nullptr || (*child)->Count() == 0) return nullptr;
      node = child->get();
      position = forward ? 0 : node->Count() - 1;
    }
    return node->Leaf ? node : nullptr;
  }
  return nullptr;
}

int32_t VRobjIndexTag::RecordsAhead(int32_t code, int32_t* records, int32_t max) {
  if (path_.empty() || max <= 0 || (code != nav::kNext && code != nav::kPrevious)) return 0;
  const CursorLevel& leaf = path_.back();
  const VRobjIndexKey& node = *leaf.node;
  if (!node.Leaf || leaf.position < 0 || leaf.position >= node.Count()) return 0;
  const PackedKeys& packed = node.Packed();
  if (packed.Kind() == TvrVariantKind::kNone) return 0;
  bool forward = (code == nav::kNext) != walkReversed_;
  if (aheadLeaf_ != &node) {
    // A leaf reached: what was given of it as the neighbour counts.
    bool wasNext = aheadNextLeaf_ == &node;
    aheadLeaf_ = &node;
    aheadForward_ = wasNext && forward ? aheadNextGiven_ - 1 : leaf.position;
    aheadBackward_ = wasNext && !forward ? node.Count() - aheadNextGiven_ : leaf.position;
    aheadNextLeaf_ = nullptr;
    aheadNextGiven_ = 0;
  }
  int32_t given = 0;
  int32_t wanted = 0;  // how far past the leaf's end the walk will go
  if (forward) {
    int32_t last = std::min(node.Count() - 1, leaf.position + max);
    for (int32_t i = std::max(aheadForward_, leaf.position) + 1; i <= last; ++i) records[given++] = packed.PointerAt(i);
    aheadForward_ = std::max(aheadForward_, last);
    wanted = leaf.position + max - (node.Count() - 1);
  } else {
    int32_t first = std::max(0, leaf.position - max);
    for (int32_t i = std::min(aheadBackward_, leaf.position) - 1; i >= first; --i) records[given++] = packed.PointerAt(i);
    aheadBackward_ = std::min(aheadBackward_, first);
    wanted = max - leaf.position;
  }
  if (wanted <= 0) return given;
  // Near the leaf's end: the neighbouring leaf's first records, when it is cached.
  if (aheadNextLeaf_ == nullptr) {
    aheadNextLeaf_ = CachedNeighbourLeaf(forward);
    aheadNextGiven_ = 0;
  }
  if (aheadNextLeaf_ == nullptr) return given;
  const PackedKeys& next = aheadNextLeaf_->Packed();
  if (next.Kind() == TvrVariantKind::kNone) return given;
  int32_t upTo = std::min(wanted, aheadNextLeaf_->Count());
  for (; aheadNextGiven_ < upTo && given < max; ++aheadNextGiven_) {
    records[given++] = next.PointerAt(forward ? aheadNextGiven_ : aheadNextLeaf_->Count() - 1 - aheadNextGiven_);
  }
  return given;
}

}  // namespace velorin
