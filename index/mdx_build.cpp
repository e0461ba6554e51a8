// Building an MDX tag in one pass: the table's keys through the sorter, then the
// nodes bottom up, one block buffer per level.
#include <cstring>

#include "engine/byte_order.h"
#include "engine/vr6_dbsy.h"
#include "index/mdx_format.h"
#include "index/vr6_mdx.h"

namespace velorin {

using namespace mdx_format;

void VRobjMDXTag::BulkBuild() {
  VRobjSortMDX sorter(*this, mdx());
  TvrVariant sorted;
  ForEachRecordKey([this, &sorter, &sorted](const VRobjIndexKeyData& key) {
    SortForm(key, sorted);
    sorter.AddKey(sorted, key.Pointer);
  });
  sorter.WriteTree();
  ForgetCursor();
  headerDirty_ = true;
  TagStore();
}

struct VRobjSortMDX::Level {
  explicit Level(int32_t blockSize) : block(static_cast<size_t>(blockSize), 0) {}
  std::vector<uint8_t> block;
  int32_t count = 0;
  std::vector<uint8_t> lastKey;
};

VRobjSortMDX::VRobjSortMDX(VRobjMDXTag& tag, VRobjMDXFile& file)
    : TvrSort(tag.KeyLength(), tag.Unique()), tag_(tag), file_(file) {}

VRobjSortMDX::~VRobjSortMDX() = default;

int32_t VRobjSortMDX::Write(Level& level, bool interior) {
  int32_t count = interior ? level.count - 1 : level.count;
  uint8_t* b = level.block.data();
  if (interior) {
    // The last entry keeps only its pointer.
    std::memset(b + node::kEntries + count * tag_.EntryLength() + entry::kKey, 0,
                static_cast<size_t>(tag_.EntryLength()) - entry::kKey);
  }
  byte_order::PutLE32(b + node::kCount, static_cast<uint32_t>(count));
  int32_t block = file_.PageAllocate();
  byte_order::PutLE32(b + node::kWrittenBefore, static_cast<uint32_t>(tag_.NoteWritten(block)));
  file_.BlockWrite(block, b, file_.BlockSize());
  std::memset(b, 0, level.block.size());
  level.count = 0;
  return block;
}

void VRobjSortMDX::Add(size_t level, int32_t pointer, const uint8_t* key) {
  if (level >= static_cast<size_t>(kMaxLevels)) file_.Damaged();
  if (level >= levels_.size()) levels_.push_back(std::make_unique<Level>(file_.BlockSize()));
  Level& current = *levels_[level];
  if (current.count == tag_.MaxKeys()) {
    std::vector<uint8_t> carried = current.lastKey;
    int32_t block = Write(current, level > 0);
    Add(level + 1, block, carried.data());
  }
  uint8_t* p = current.block.data() + node::kEntries + current.count * tag_.EntryLength();
  byte_order::PutLE32(p + entry::kPointer, static_cast<uint32_t>(pointer));
  std::memcpy(p + entry::kKey, key, static_cast<size_t>(tag_.KeyLength()));
  current.lastKey.assign(key, key + tag_.KeyLength());
  ++current.count;
}

void VRobjSortMDX::WriteTree() {
  std::vector<uint8_t> key(static_cast<size_t>(tag_.KeyLength()));
  tag_.ForEachSortedKey(*this, [&](TvrVariant& sorted, int32_t record) {
    tag_.NodeFormOfSorted(sorted, key.data());
    Add(0, record, key.data());
  });
  if (levels_.empty()) levels_.push_back(std::make_unique<Level>(file_.BlockSize()));
  for (size_t level = 0; level < levels_.size(); ++level) {
    Level& current = *levels_[level];
    std::vector<uint8_t> carried = current.lastKey;
    int32_t block = Write(current, level > 0);
    if (level + 1 < levels_.size()) {
      Add(level + 1, block, carried.data());
    } else {
      tag_.SetRoot(block);
    }
  }
  if (VRO_dBHandler* table = file_.Table()) table->StatusUpdate(0, 0, 0);
}

}  // namespace velorin
