// The framework's changes to a tree: insertion with splits up to a new root,
// deletion, and keeping a record's key current when it is written.
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/vr6_dbsy.h"
#include "engine/vr6_sort.h"
#include "index/vr6_indx.h"

namespace velorin {

namespace {

// Points the table's current record at a copy of its pre-edit image for as long
// as it lives.
class SavedRecordScope {
 public:
  explicit SavedRecordScope(VRO_dBHandler& table)
      : table_(table),
        current_(table.CurrentRecord()),
        saved_(table.OriginalRecord(), table.OriginalRecord() + table.RecordLength()) {
    table_.SetCurrentRecord(saved_.data());
  }
  ~SavedRecordScope() { table_.SetCurrentRecord(current_); }
  SavedRecordScope(const SavedRecordScope&) = delete;
  SavedRecordScope& operator=(const SavedRecordScope&) = delete;

 private:
  VRO_dBHandler& table_;
  uint8_t* current_;
  std::vector<uint8_t> saved_;
};

class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

// The record number an entry stands for: a leaf's pointer, an interior entry's RecNo.
int32_t RecordOf(const VRobjIndexKeyData& entry, bool leaf) { return leaf ? entry.Pointer : entry.RecNo; }

// An interior entry for child, carrying its last key.
VRobjIndexKeyData EntryFor(const VRobjIndexKey& child) {
  VRobjIndexKeyData entry = child.Entries.back();
  entry.RecNo = RecordOf(child.Entries.back(), child.Leaf);
  entry.Pointer = child.Page;
  return entry;
}

}  // namespace

void VRobjIndexTag::MarkDirty(const std::shared_ptr<VRobjIndexKey>& node) {
  node->KeysChanged();
  if (std::find(dirty_.begin(), dirty_.end(), node) == dirty_.end()) dirty_.push_back(node);
}

void VRobjIndexTag::WriteDirty() {
  std::vector<std::shared_ptr<VRobjIndexKey>> dirty;
  dirty.swap(dirty_);
  for (const auto& node : dirty) {
    node->KeysChanged();
    if (node->Page == 0) {
      node->Page = file_.PageAllocate();
      Remember(node);
    }
    PageStore(*node);
  }
  if (headerDirty_) TagStore();
}

void VRobjIndexTag::PropagateLastKey(size_t level) {
  for (size_t l = level; l > 0; --l) {
    const VRobjIndexKey& child = *path_[l].node;
    if (child.Count() == 0) return;
    CursorLevel& parent = path_[l - 1];
    VRobjIndexKeyData& entry = parent.node->Entries[static_cast<size_t>(parent.position)];
    int32_t pointer = entry.Pointer;
    entry = EntryFor(child);
    entry.Pointer = pointer;
    MarkDirty(parent.node);
    if (parent.position != parent.node->Count() - 1) return;
  }
}

void VRobjIndexTag::SplitUpward(size_t level) {
  for (size_t l = level + 1; l-- > 0;) {
    while (!PageFits(*path_[l].node)) {
      std::shared_ptr<VRobjIndexKey> node = path_[l].node;
      int32_t leftCount = (node->Count() + 1) / 2;
      if (node->Count() < 2) file_.FileError(index_error::kDamaged, sub_code::kNone);  // one entry never fits
      auto left = std::make_shared<VRobjIndexKey>();
      left->Leaf = node->Leaf;
      left->Page = file_.PageAllocate();
      left->Entries.assign(std::make_move_iterator(node->Entries.begin()),
                           std::make_move_iterator(node->Entries.begin() + leftCount));
      node->Entries.erase(node->Entries.begin(), node->Entries.begin() + leftCount);
      // Families that link siblings: left takes the old left neighbour.
      left->LeftSibling = node->LeftSibling;
      left->RightSibling = node->Page;
      if (node->LeftSibling > 0) {
        std::shared_ptr<VRobjIndexKey> neighbour = NodeAt(node->LeftSibling);
        neighbour->RightSibling = left->Page;
        MarkDirty(neighbour);
      }
      node->LeftSibling = left->Page;
      Remember(left);
      MarkDirty(left);
      MarkDirty(node);
      bool cursorInLeft = path_[l].position < leftCount;
      if (cursorInLeft) {
        path_[l].node = left;
      } else {
        path_[l].position -= leftCount;
      }
      if (l == 0) {
        // A new root above: one entry for the node, the left part's follows.
        auto root = std::make_shared<VRobjIndexKey>();
        root->Leaf = false;
        root->Page = file_.PageAllocate();
        root->Entries.push_back(EntryFor(*node));
        rootPage_ = root->Page;
        headerDirty_ = true;
        Remember(root);
        MarkDirty(root);
        path_.insert(path_.begin(), CursorLevel{root, 0});
        ++l;
      }
      CursorLevel& parent = path_[l - 1];
      parent.node->Entries.insert(parent.node->Entries.begin() + parent.position, EntryFor(*left));
      if (!cursorInLeft) ++parent.position;
      MarkDirty(parent.node);
      if (!PageFits(cursorInLeft ? *node : *left)) file_.Damaged();
    }
  }
}

void VRobjIndexTag::UnlinkSiblings(const VRobjIndexKey& node) {
  // Families that walk their leaves by the sibling links must not meet the page
  // again; a neighbour is known by a positive position.
  if (node.LeftSibling > 0) {
    std::shared_ptr<VRobjIndexKey> left = NodeAt(node.LeftSibling);
    left->RightSibling = node.RightSibling;
    MarkDirty(left);
  }
  if (node.RightSibling > 0) {
    std::shared_ptr<VRobjIndexKey> right = NodeAt(node.RightSibling);
    right->LeftSibling = node.LeftSibling;
    MarkDirty(right);
  }
}

void VRobjIndexTag::EntryInsert(const VRobjIndexKeyData& key) {
  CursorLevel& leaf = path_.back();
  int32_t position = std::clamp(leaf.position, 0, leaf.node->Count());
  leaf.node->Entries.insert(leaf.node->Entries.begin() + position, key);
  leaf.position = position;
  MarkDirty(leaf.node);
  if (position == leaf.node->Count() - 1) PropagateLastKey(path_.size() - 1);
  SplitUpward(path_.size() - 1);
  WriteDirty();
}

void VRobjIndexTag::EntryDelete() {
  size_t level = path_.size() - 1;
  CursorLevel& leaf = path_[level];
  if (leaf.position < 0 || leaf.position >= leaf.node->Count()) return;
  leaf.node->Entries.erase(leaf.node->Entries.begin() + leaf.position);
  MarkDirty(leaf.node);
  bool lastRemoved = leaf.position == leaf.node->Count();
  // Empty nodes leave their parents; their pages are not used again. Families
  // that keep their last leaf keep it empty at the right edge.
  bool keepLast = KeepsEmptyLastLeaf();
  for (size_t l = 0; l < level && keepLast; ++l) keepLast = path_[l].position == path_[l].node->Count() - 1;
  while (level > 0 && path_[level].node->Count() == 0 && !keepLast) {
    UnlinkSiblings(*path_[level].node);
    cache_.Erase(path_[level].node->Page);
    dirty_.erase(std::remove(dirty_.begin(), dirty_.end(), path_[level].node), dirty_.end());
    path_.resize(level);
    --level;
    CursorLevel& parent = path_[level];
    parent.node->Entries.erase(parent.node->Entries.begin() + parent.position);
    MarkDirty(parent.node);
    lastRemoved = parent.position == parent.node->Count();
  }
  CursorLevel& kept = path_[level];
  if (level == 0 && kept.node->Count() == 0) {
    kept.node->Leaf = true;  // an empty tree is an empty root leaf
  } else if (lastRemoved && kept.node->Count() > 0) {
    kept.position = kept.node->Count() - 1;
    PropagateLastKey(level);
  }
  WriteDirty();
  path_.clear();  // the cursor is placed again by whoever needs it
}

bool VRobjIndexTag::KeyAdd(const VRobjIndexKeyData& key) {
  BeginRead();
  VRobjIndexKeyData added = key;
  AdjustValue(added);
  if (KeyLengthOf(added) > keyLength_) {
    RaiseEngineMessage("Key longer than the key length of " + file_.FullName());
  }
  bof_ = eof_ = false;
  int32_t placement = file_.DuplicatesByRecNo() ? added.Pointer : (treeDescending_ ? kAnyRecord : kAfterEqualKeys);
  if (unique_ && NodeSearch(kAnyRecord, added, -1) == 0) return false;
  int result = NodeSearch(placement, added, -1);
  if (result == 1) path_.back().position = path_.back().node->Count();
  EntryInsert(added);
  // The cursor on the new key.
  if (NodeSearch(added.Pointer, added, -1) == 0) EntryCurrent();
  return true;
}

bool VRobjIndexTag::KeyUpdate(int32_t record, bool isNew) {
  FlagScope updating(updating_);
  keyChanged_ = false;
  VRO_dBHandler* table = file_.Table();
  if (table == nullptr || table->OriginalRecord() == nullptr) return false;
  bool hadCursor = !path_.empty();
  BeginRead();
  bool passes = ForEvaluate();
  VRobjIndexKeyData newKey;
  KeyEvaluate(newKey);
  newKey.RecNo = record;
  newKey.Pointer = record;
  if (isNew) {
    if (passes) {
      KeyAdd(newKey);
      keyChanged_ = true;
    }
  } else {
    VRobjIndexKeyData oldKey;
    {
      SavedRecordScope saved(*table);
      KeyEvaluate(oldKey);
    }
    oldKey.Pointer = record;
    // The old entry is looked for whatever the range: a stale key must not stay.
    bool found = NodeSearch(record, oldKey, -1) == 0;
    if (passes && CompareKey(oldKey, newKey, -1) == 0) {
      if (!found) KeyAdd(newKey);
    } else {
      if (found) EntryDelete();
      if (passes) KeyAdd(newKey);
    }
    keyChanged_ = true;
  }
  if (!hadCursor) PageCursorRelease();
  return keyChanged_;
}

void VRobjIndexTag::ForEachRecordKey(const std::function<void(const VRobjIndexKeyData&)>& take) {
  VRO_dBHandler* table = file_.Table();
  if (table == nullptr) return;
  int32_t count = table->RecordCount();
  table->StatusUpdate(-1, status_kind::kIndexKeys, count);
  VRobjIndexKeyData key;
  // By position: deleted records and records a filter hides have keys too.
  for (int32_t n = 1; n <= count; ++n) {
    table->GoRecord(n);
    if (ForEvaluate()) {
      KeyEvaluate(key);
      key.Pointer = n;
      key.RecNo = 0;
      take(key);
    }
    table->StatusUpdate(status_kind::kIndexKeys, n, 0);
  }
  table->StatusUpdate(0, 0, 0);
}

void VRobjIndexTag::ForEachSortedKey(TvrSort& sorter, const std::function<void(TvrVariant& key, int32_t record)>& take) {
  VRO_dBHandler* table = file_.Table();
  if (table != nullptr) table->StatusUpdate(-1, status_kind::kIndexTree, sorter.KeyCount());
  TvrVariant key;
  int32_t record = 0;
  int32_t written = 0;
  while (sorter.NextKey(key, record)) {
    take(key, record);
    if (table != nullptr) table->StatusUpdate(status_kind::kIndexTree, ++written, 0);
  }
}

}  // namespace velorin
