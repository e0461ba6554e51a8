// vr6_cdx.h — CDX files: any number of orders (tags) of one table in one compound
// file of 512-byte pages (layout in cdx_format.h).
//
// VRobjCDXFile owns a tag directory (itself a VRobjCDXTag whose keys are the tag
// names and whose record numbers are the positions of the tags' headers) and
// the tags it lists. Equal keys are ordered by record number at every level
// (DuplicatesByRecNo); descending tags are stored ascending and walked
// backwards (WalkReversed). Leaves are compressed against the previous key and
// their entries bit-packed; interior entries hold full keys with big-endian
// record numbers and child positions.
//
// Opening checks every header it reads and every page as it is decoded; damage
// is error 2112 naming the file. Every record write increments the directory's
// change counter, so ExternalChange in another program sees it. Opening a file
// whose path without extension is the table's sets the table's production-index
// flag. Pages are never reused: TagRemove and a replacing TagAdd leave the old
// pages unreferenced until Reindex, which rewrites the whole file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/vr6_sort.h"
#include "index/cdx_format.h"
#include "index/cdx_page.h"
#include "index/vr6_indx.h"

namespace velorin {

class VRobjCDXFile;

class VRobjCDXTag : public VRobjIndexTag {
 public:
  static constexpr uint8_t kCollationNone = 0;
  static constexpr uint8_t kCollationMachine = 1;
  static constexpr uint8_t kCollationGeneral = 2;

  // On an existing header (position >= 0) the header is read and checked (error
  // 2112 when damaged); a new tag (position -1) takes two fresh pages for it.
  VRobjCDXTag(VRobjCDXFile& file, int32_t headerPosition, bool directory, const std::string& name);

  void AdjustValue(TvrVariant& value) const override;
  bool TagCreate(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
                 const std::string& forExpression) override;
  bool KeyAdd(const VRobjIndexKeyData& key) override;
  int32_t RootPageGet() override;
  std::shared_ptr<VRobjIndexKey> PageLoad(int32_t page) override;
  void PageStore(const VRobjIndexKey& node) override;
  bool PageFits(const VRobjIndexKey& node) const override;
  void TagLoad() override;
  void TagStore() override;
  void BulkBuild() override;
  // Numeric and date keys as numbers; general-collation keys stay weights.
  TvrVariant KeyAsValue(const TvrVariant& stored) const override;

  bool IsDirectory() const { return directory_; }
  uint8_t Collation() const { return collation_; }
  void SetCollation(uint8_t collation) { collation_ = collation; }
  uint32_t ChangeCounter() const { return changeCounter_; }
  void SetChangeCounter(uint32_t counter) { changeCounter_ = counter; }
  cdx_page::CdxKeyForm KeyForm() const;
  // The leaf layout for this tag's pages now (the largest record: the table's
  // record count, the file size for the directory; at least largestInPage).
  cdx_format::LeafLayout CurrentLayout(int64_t largestInPage) const;
  int32_t KeysPerInterior() const { return cdx_format::KeysPerInterior(keyLength_); }

  // Writes an empty root leaf on a new page and makes it the root.
  void WriteEmptyRoot();
  // The new header position after the file was emptied (Reindex).
  void Relocate(int32_t headerPosition);
  // The directory's entries in order: (tag name, header position).
  std::vector<std::pair<std::string, int32_t>> DirectoryEntries();
  // Adds or deletes one directory entry and writes the pages at once.
  void DirectoryAdd(const std::string& name, int32_t headerPosition);
  bool DirectoryDelete(const std::string& name, int32_t headerPosition);

 private:
  VRobjCDXFile& CdxFile() const;
  uint16_t Attributes(const VRobjIndexKey& node) const;

  bool directory_;
  uint8_t options_ = cdx_format::options::kTag;
  uint8_t collation_ = kCollationNone;
  uint32_t changeCounter_ = 0;
};

class VRobjCDXFile : public VRobjIndexFile {
 public:
  // Opens name (".CDX" added) for the table; with create, makes a new file of
  // 1536 bytes (replacing one when overwrite) holding an empty directory. A file
  // that does not exist leaves OpenedSuccessfully false; a damaged one raises
  // error 2112.
  VRobjCDXFile(VRO_dBHandler* table, const std::string& name, bool overwrite, bool create);
  ~VRobjCDXFile() override;

  // Adds (or replaces) a tag and builds it from the table. Refuses a name
  // longer than 10 bytes and expressions that do not fit the header.
  bool TagAdd(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
              const std::string& forExpression) override;
  bool TagRemove(const std::string& name) override;
  int32_t PageAllocate() override;
  int32_t PageEndRefresh() override;
  bool BlockRead(int32_t page, void* buffer, int32_t length) override;
  void BlockWrite(int32_t page, const void* buffer, int32_t length) override;
  void Reindex() override;
  bool RecordChanged(int32_t record, bool isNew) override;
  bool ExternalChange() override;

  VRobjCDXTag& Directory() const { return *directory_; }
  VRobjCDXTag* CdxTag(int32_t index) const { return static_cast<VRobjCDXTag*>(Tag(index)); }

 private:
  void ReadDirectory();
  void CreateDirectory();

  std::unique_ptr<VRobjCDXTag> directory_;
};

// Writes the sorted keys of a tag bottom up, one page buffer per level.
class VRobjSortCDX : public TvrSort {
 public:
  static constexpr int32_t kMaxLevels = 32;

  explicit VRobjSortCDX(VRobjCDXTag& tag);
  ~VRobjSortCDX() override;
  // Takes every key from the sorter, writes the pages and sets the tag's root.
  void WriteTree();

 private:
  struct Level;
  void Add(size_t level, const VRobjIndexKeyData& key, bool more);
  // Writes the level's page; its right sibling is a fresh page when more keys
  // follow, else none.
  int32_t Write(Level& level, size_t index, bool more, bool root);

  VRobjCDXTag& tag_;
  cdx_format::LeafLayout layout_;
  std::vector<std::unique_ptr<Level>> levels_;
};

}  // namespace velorin
