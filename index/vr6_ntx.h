// vr6_ntx.h — NTX files: one order per file in the Clipper format.
//
// VRobjNTXFile holds exactly one VRobjNTXTag, named after the file. The layout is
// in ntx_format.h: a 1024-byte header and 1024-byte pages forming a true B-tree,
// whose interior keys are index entries themselves. All keys are text: character
// keys blank-padded, numbers as right-aligned digits with leading zeros (the
// digits of negative numbers mapped so that they sort first), dates as yyyymmdd.
//
// The framework works on B+-tree nodes whose interior entries repeat the highest
// key below them; the tag maps one onto the other as pages are read and written:
//  - reading, an interior page gets a last entry for its rightmost child, and a
//    page reached through a parent's key gets that key (with its record number)
//    as its last entry, so that every interior key is present twice: in the
//    interior node and at the end of the rightmost leaf of its left subtree,
//    where walks return it. Pages on the tree's right edge get no such key.
//  - writing drops that last entry again: an interior page keeps only its child
//    as the rightmost pointer; a leaf off the right edge leaves its last key to
//    its parent. Deleting an interior key (a leaf's last entry) therefore
//    promotes the key before it into the parent, as a B-tree deletion does.
//
// Every record write advances the header's change counter, so that other
// programs notice it (ExternalChange). Damage in a header or a page is error
// 2112 naming the file; a number too long for the key length is refused.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/vr6_sort.h"
#include "index/ntx_page.h"
#include "index/vr6_indx.h"

namespace velorin {

class VRobjNTXTag : public VRobjIndexTag {
 public:
  using VRobjIndexTag::VRobjIndexTag;

  void AdjustValue(TvrVariant& value) const override;
  TvrVariant KeyAsValue(const TvrVariant& stored) const override;
  bool TagCreate(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
                 const std::string& forExpression) override;
  int32_t RootPageGet() override;
  std::shared_ptr<VRobjIndexKey> PageLoad(int32_t page) override { return PageLoadBelow(page, nullptr); }
  std::shared_ptr<VRobjIndexKey> PageLoadBelow(int32_t page, const VRobjIndexKeyData* above) override;
  void PageStore(const VRobjIndexKey& node) override;
  bool PageFits(const VRobjIndexKey& node) const override;
  bool KeepsEmptyLastLeaf() const override { return true; }
  void TagLoad() override;
  void TagStore() override;
  void BulkBuild() override;

  void SetName(const std::string& name) { name_ = name; }
  const NtxLayout& Layout() const { return layout_; }
  int32_t Decimals() const { return decimals_; }
  void SetRoot(int32_t root) {
    rootPage_ = root;
    headerDirty_ = true;
  }
  void MarkHeaderDirty() { headerDirty_ = true; }

 private:
  // Reads the header; with everything, checks and takes all its fields. The
  // root; error 2112 when the header is damaged.
  int32_t ReadHeader(bool everything);
  // Whether the page lies on the right edge (the root and the pages reached
  // through last entries).
  bool OnRightEdge(int32_t page);
  void WritePage(int32_t page, const NtxPageWriter& writer);

  NtxLayout layout_;
  int32_t decimals_ = 0;
};

class VRobjNTXFile : public VRobjIndexFile {
 public:
  // Opens name (".NTX" added) for the table; with create, makes a new empty file
  // (replacing one when overwrite) and the caller adds the tag with TagAdd.
  // OpenedSuccessfully is false when there is no such file.
  VRobjNTXFile(VRO_dBHandler* table, const std::string& name, bool overwrite, bool create);

  // Defines the file's one order and builds it. A descending order is refused:
  // NTX readers walk every order ascending.
  bool TagAdd(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
              const std::string& forExpression) override;
  int32_t PageAllocate() override;
  int32_t PageEndRefresh() override;
  bool BlockRead(int32_t page, void* buffer, int32_t length) override;
  void BlockWrite(int32_t page, const void* buffer, int32_t length) override;
  // Zaps and builds the order again, under the whole-file lock (error 33 when
  // it is refused).
  void Reindex() override;
  // Advances the change counter, then every order's key follows the record.
  bool RecordChanged(int32_t record, bool isNew) override;
  bool ExternalChange() override;
  // Empties the order: a header and one empty root leaf, 2048 bytes.
  void IndexZap() override;

  VRobjNTXTag* NtxTag() const { return static_cast<VRobjNTXTag*>(Tag(0)); }
  uint16_t ChangeCounter() const { return changeCounter_; }
  void SetChangeCounter(uint16_t counter) { changeCounter_ = counter; }

 private:
  void ZapLocked();

  uint16_t changeCounter_ = 1;
};

// Writes the sorted keys of a tag as NTX pages bottom up, one page per level.
class VRobjSortNTX : public TvrSort {
 public:
  static constexpr int32_t kMaxLevels = 32;

  VRobjSortNTX(VRobjNTXTag& tag, VRobjNTXFile& file);
  ~VRobjSortNTX() override;
  // Takes every key from the sorter, writes the pages and sets the tag's root;
  // the last leaf written is the right edge's.
  void WriteTree();

 private:
  // Adds (record, key) with its left child to a level, sending keys up from full
  // pages; closing: the item that becomes the page's rightmost pointer.
  void Add(size_t level, uint32_t record, const std::string& key, uint32_t child, bool closing);
  // Writes the level's page with count keys to a new page; its offset.
  int32_t Write(size_t level, int32_t count);

  VRobjNTXTag& tag_;
  VRobjNTXFile& file_;
  std::vector<std::unique_ptr<NtxPageWriter>> levels_;
};

}  // namespace velorin
