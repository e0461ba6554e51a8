// vr6_mdx.h — MDX files: several orders (tags) of one table in the dBase IV
// multiple-index format.
//
// VRobjMDXFile holds up to 47 VRobjMDXTag in a 2048-byte header (its tag table,
// kept in name order); each tag has a header block and B+-tree nodes of one
// block (1024 bytes in files made here) with fixed-length entries. The layout is
// in mdx_format.h; pointers are sector numbers and the allocation point counts
// sectors. Character keys are stored blank-padded and compared without their
// trailing blanks; dates are 8-byte doubles of the day number (a blank date
// 1.0E100); numbers are 12-byte packed decimals, compared in memory in their
// sortable form (mdx_number.h). Descending tags keep their tree in descending
// order (TreeDescending). VRobjSortMDX builds a whole tag bottom up.
//
// Opening checks the header (block size, sectors per block, tag count), every
// tag header (key type and length, entry length, maximum keys against the
// block, expressions) and every node read (its count against the maximum);
// damage is error 2112 naming the file. TagAdd refuses a name over 10
// characters, a key expression over 220, a FOR expression over what the tag
// header block holds (261) and a tag beyond the header's tag table; a number
// without a packed form (1E-60) is error 1011.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/vr6_sort.h"
#include "index/vr6_indx.h"

namespace velorin {

class VRobjMDXFile;

class VRobjMDXTag : public VRobjIndexTag {
 public:
  // The tag whose header lies at block headerBlock of file.
  VRobjMDXTag(VRobjMDXFile& file, int32_t headerBlock);

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
  TvrVariant KeyAsValue(const TvrVariant& stored) const override;

  void SetName(const std::string& name) { name_ = name; }
  void SetHeaderBlock(int32_t block) { headerPosition_ = block; }
  int32_t EntryLength() const { return entryLength_; }
  int32_t MaxKeys() const { return maxKeys_; }
  int32_t FirstBlock() const { return firstBlock_; }
  int32_t LastBlock() const { return lastBlock_; }
  // Writes a key in node form (blank-padded text, a date's double, a packed
  // number) at out, key length bytes.
  void EncodeKey(const TvrVariant& key, uint8_t* out) const;
  // The key as the sorter orders it: the stored form, or for a descending tag
  // raw bytes whose ascending order is the tag's descending one.
  void SortForm(const TvrVariant& key, TvrVariant& sorted) const;
  // The node form of a key the sorter gave back (SortForm undone), at out.
  void NodeFormOfSorted(const TvrVariant& sorted, uint8_t* out) const;
  // A block written for the tag: the first and last written blocks follow it;
  // the block written before it (for the node's offset 4).
  int32_t NoteWritten(int32_t block);
  void SetRoot(int32_t root) {
    rootPage_ = root;
    headerDirty_ = true;
  }
  // Builds the tag anew at a fresh header block: a built tree, or an empty root
  // when the table has no records. The file is locked.
  void Rebuild();

 private:
  VRobjMDXFile& mdx() const;
  // Reads the header block; the root, or error 2112 when the header is damaged.
  int32_t ReadHeader(bool everything);
  // Sets the key type and layout from an evaluated key; false when there is no key.
  bool LayoutFromSample();
  void WriteEmptyRoot();

  int32_t blockSize_;
  int32_t entryLength_ = 0;
  int32_t maxKeys_ = 0;
  int32_t firstBlock_ = 0;
  int32_t lastBlock_ = 0;
};

class VRobjMDXFile : public VRobjIndexFile {
 public:
  // Opens name (".MDX" added) for the table; with create, makes a new file with
  // no tags (replacing one when overwrite). OpenedSuccessfully is false when
  // there is no such file; a damaged header is error 2112. A file named as the
  // table sets the table's production-index flag.
  VRobjMDXFile(VRO_dBHandler* table, const std::string& name, bool overwrite, bool create);

  // Adds (or replaces) a tag and builds it; false when the key cannot be
  // evaluated. Engine errors for a name, expression or tag count that does not
  // fit the file.
  bool TagAdd(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
              const std::string& forExpression) override;
  bool TagRemove(const std::string& name) override;
  int32_t PageAllocate() override;
  int32_t PageEndRefresh() override;
  bool BlockRead(int32_t page, void* buffer, int32_t length) override;
  void BlockWrite(int32_t page, const void* buffer, int32_t length) override;
  void Reindex() override;
  bool FileRename(const std::string& newTableName) override;

  int32_t BlockSize() const { return blockSize_; }
  int32_t HeaderSize() const { return headerSize_; }
  int32_t HeaderSectors() const { return headerSize_ / 512; }
  int32_t SectorsPerBlock() const { return sectorsPerBlock_; }
  // The file's size in sectors.
  int32_t SizeInSectors();
  // Whether a block of the file may hold a node or a tag header: after the
  // header and wholly within the file.
  bool IsBlockInFile(int32_t block);
  VRobjMDXTag* MdxTag(int32_t index) const { return static_cast<VRobjMDXTag*>(Tag(index)); }
  // Writes the next free sector (the allocation point) into the file header.
  void NextFreeStore();

 private:
  void ReadFileHeader();
  void WriteNewHeader();
  // Rewrites the tag table from the tag list, the tag count, the next free
  // sector and the date of last update.
  void TagTableStore();
  // Refuses, before anything changes, a tag that would not fit the file.
  void CheckNewTag(const std::string& name, const std::string& keyExpression, const std::string& forExpression);

  int32_t blockSize_ = 0;
  int32_t headerSize_ = 0;
  int32_t maxTags_ = 0;
  int32_t sectorsPerBlock_ = 0;
  int32_t storedNextFree_ = -1;
};

// Writes the sorted keys of a tag as MDX nodes, one block buffer per level.
class VRobjSortMDX : public TvrSort {
 public:
  static constexpr int32_t kMaxLevels = 32;

  VRobjSortMDX(VRobjMDXTag& tag, VRobjMDXFile& file);
  ~VRobjSortMDX() override;
  // Takes every key from the sorter, writes the nodes and sets the tag's root.
  void WriteTree();

 private:
  struct Level;
  void Add(size_t level, int32_t pointer, const uint8_t* key);
  // Writes the level's node to a new block and empties it; the block.
  int32_t Write(Level& level, bool interior);

  VRobjMDXTag& tag_;
  VRobjMDXFile& file_;
  std::vector<std::unique_ptr<Level>> levels_;
};

}  // namespace velorin
