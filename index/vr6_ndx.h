// vr6_ndx.h — NDX files: one order per file in the dBase III single-index format.
//
// VRobjNDXFile holds exactly one VRobjNDXTag, named after the file. The layout is
// in ndx_format.h: a 512-byte header block and 512-byte B+-tree nodes with
// fixed-length entries; pointers are block numbers and the allocation point
// counts blocks. Character keys are stored blank-padded and compared without
// their trailing blanks; numeric and date keys are 8-byte doubles (a date as its
// day number, a blank date as 1.0E100). NDX keeps no FOR condition and no
// descending order in the file. VRobjSortNdx builds a whole tree bottom up from
// the sorted keys.
//
// Opening checks the header (key length, entry length, maximum keys) and every
// node read (its count against the maximum); damage is error 2112 naming the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/vr6_sort.h"
#include "index/vr6_indx.h"

namespace velorin {

class VRobjNDXTag : public VRobjIndexTag {
 public:
  using VRobjIndexTag::VRobjIndexTag;

  void AdjustValue(TvrVariant& value) const override;
  bool TagCreate(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
                 const std::string& forExpression) override;
  bool KeyAdd(const VRobjIndexKeyData& key) override;
  int32_t RootPageGet() override;
  std::shared_ptr<VRobjIndexKey> PageLoad(int32_t page) override;
  void PageStore(const VRobjIndexKey& node) override;
  bool PageFits(const VRobjIndexKey& node) const override { return node.Count() <= maxKeys_; }
  void TagLoad() override;
  void TagStore() override;
  void BulkBuild() override;
  int32_t KeyLengthOf(const TvrVariant& key) const override;

  void SetName(const std::string& name) { name_ = name; }
  int32_t EntryLength() const { return entryLength_; }
  int32_t MaxKeys() const { return maxKeys_; }
  // Writes a key in node form (blank-padded text or an 8-byte double) at out.
  void EncodeKey(const TvrVariant& key, uint8_t* out) const;
  void SetRoot(int32_t root) {
    rootPage_ = root;
    headerDirty_ = true;
  }
  void MarkHeaderDirty() { headerDirty_ = true; }

 private:
  // Reads block 0; the root, or error 2112 when the header is damaged.
  int32_t ReadHeader(bool everything);

  int32_t entryLength_ = 0;
  int32_t maxKeys_ = 0;
};

class VRobjNDXFile : public VRobjIndexFile {
 public:
  // Opens name (".NDX" added) for the table; with create, makes a new empty file
  // (replacing one when overwrite) and the caller adds the tag with TagAdd.
  // OpenedSuccessfully is false when there is no such file.
  VRobjNDXFile(VRO_dBHandler* table, const std::string& name, bool overwrite, bool create);

  bool TagAdd(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
              const std::string& forExpression) override;
  int32_t PageAllocate() override;
  int32_t PageEndRefresh() override;
  bool BlockRead(int32_t page, void* buffer, int32_t length) override;
  void BlockWrite(int32_t page, const void* buffer, int32_t length) override;
  void Reindex() override;
  void IndexZap() override;

  VRobjNDXTag* NdxTag() const { return static_cast<VRobjNDXTag*>(Tag(0)); }

 private:
  void ZapLocked();
};

// Writes the sorted keys of a tag as NDX nodes, one buffer per level.
class VRobjSortNdx : public TvrSort {
 public:
  static constexpr int32_t kMaxLevels = 32;

  VRobjSortNdx(VRobjNDXTag& tag, VRobjNDXFile& file);
  // Takes every key from the sorter, writes the nodes and sets the tag's root.
  void WriteTree();

 private:
  struct Level;
  void Add(size_t level, int32_t pointer, const TvrVariant& key);
  // Writes the level's node to a new block and empties it; the block.
  int32_t Write(Level& level, bool interior);

  VRobjNDXTag& tag_;
  VRobjNDXFile& file_;
  std::vector<std::unique_ptr<Level>> levels_;
};

}  // namespace velorin
