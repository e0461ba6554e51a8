// VRobjSortNTX: the sorted keys of an NTX order written as pages, bottom up.
//
// Each level fills one page. A full leaf is written and the next key goes up as
// the separator with that leaf as its left child; a full interior page gives its
// last item up (its child stays as the page's rightmost pointer). At the end
// each level's page is written from the bottom, the last leaf's last key being
// sent up too, where it only carries the pointer (in the slot behind a full
// page's keys).
#include <string>

#include "engine/vr6_dbsy.h"
#include "index/ntx_format.h"
#include "index/vr6_ntx.h"

namespace velorin {

VRobjSortNTX::VRobjSortNTX(VRobjNTXTag& tag, VRobjNTXFile& file)
    : TvrSort(tag.KeyLength() + 1, tag.Unique()), tag_(tag), file_(file) {}

VRobjSortNTX::~VRobjSortNTX() = default;

int32_t VRobjSortNTX::Write(size_t level, int32_t count) {
  NtxPageWriter& page = *levels_[level];
  page.SetCount(count);
  int32_t offset = file_.PageAllocate();
  file_.BlockWrite(offset, page.Bytes(), ntx_format::kPageSize);
  page.Clear();
  return offset;
}

void VRobjSortNTX::Add(size_t level, uint32_t record, const std::string& key, uint32_t child, bool closing) {
  if (level >= static_cast<size_t>(kMaxLevels)) file_.Damaged();
  if (level >= levels_.size()) levels_.push_back(std::make_unique<NtxPageWriter>(tag_.Layout()));
  NtxPageWriter& page = *levels_[level];
  int32_t maxKeys = tag_.Layout().maxKeys;
  // The pointer that closes an interior page takes the slot behind its keys, so
  // that no page is left with a pointer and no key.
  if (page.Items() == maxKeys && !(closing && level > 0)) {
    if (level == 0) {
      Add(1, record, key, static_cast<uint32_t>(Write(0, maxKeys)), false);
      return;
    }
    int32_t last = maxKeys - 1;
    std::string upKey(page.KeyOf(last));
    uint32_t upRecord = page.RecordOf(last);
    page.SetRecord(last, 0);
    Add(level + 1, upRecord, upKey, static_cast<uint32_t>(Write(level, maxKeys - 1)), false);
  }
  page.Put(child, record, key);
}

void VRobjSortNTX::WriteTree() {
  tag_.ForEachSortedKey(*this, [this](TvrVariant& key, int32_t record) {
    Add(0, static_cast<uint32_t>(record), std::string(key.Bytes()), 0, false);
  });
  if (levels_.empty()) levels_.push_back(std::make_unique<NtxPageWriter>(tag_.Layout()));
  for (size_t level = 0; level < levels_.size(); ++level) {
    NtxPageWriter& page = *levels_[level];
    int32_t items = page.Items();
    std::string lastKey = items > 0 ? std::string(page.KeyOf(items - 1)) : std::string();
    uint32_t lastRecord = items > 0 ? page.RecordOf(items - 1) : 0;
    int32_t count = items;
    if (level > 0) {
      // The last item only carries the rightmost pointer.
      page.SetRecord(items - 1, 0);
      count = items - 1;
    }
    int32_t offset = Write(level, count);
    if (level + 1 < levels_.size()) {
      Add(level + 1, lastRecord, lastKey, static_cast<uint32_t>(offset), true);
    } else {
      tag_.SetRoot(offset);
    }
  }
  if (VRO_dBHandler* table = file_.Table()) table->StatusUpdate(0, 0, 0);
}

}  // namespace velorin
