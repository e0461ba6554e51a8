// vr6_indx.h — the index framework: ordered, keyed access to a table through index files.
//
// Four classes, specialised by every family (CDX, MDX, NDX, NTX):
//  - VRobjIndexKeyData: one key value (a TvrVariant) with its record number
//    (RecNo, where the family stores one with interior keys) and its Pointer (the
//    record in a leaf entry, the child page in an interior one).
//  - VRobjIndexKey: one page decoded in memory, its entries in stored order.
//  - VRobjIndexTag: one order: key and FOR expressions, flags, the cursor (the
//    path of pages from the root to the current leaf) and all the tree logic:
//    exact, partial and soft seeks, walking, ranges, insertion with splits up to a
//    new root, deletion, and keeping keys current when a record is written.
//  - VRobjIndexFile: one index file: the disk file, its orders, page allocation
//    and the lock an update takes.
//
// The tree: leaves hold (key, record) entries; each interior entry holds the
// highest key below its child and points to it. Equal keys are kept in the order
// they were added (or by record number on files with DuplicatesByRecNo).
//
// What a family supplies (and nothing else):
//  - header layout: TagLoad reads and checks the order's header (damage is error
//    2112 through Damaged), TagStore writes it when dirty, RootPageGet returns the
//    root (rereading the header when other programs may have changed it);
//  - page layout: PageLoad decodes and checks one page, PageStore encodes a node
//    that PageFits (the framework splits nodes that do not fit before storing);
//  - key conversion: AdjustValue turns an expression result or a search value
//    into the stored key form; KeyLengthOf says how long a converted key is for
//    the check against the key length;
//  - page allocation: PageAllocate and PageEndRefresh on the file, BlockRead and
//    BlockWrite at the family's page positions;
//  - bulk build: BulkBuild feeds ForEachRecordKey into a TvrSort and writes the
//    pages bottom up.
//
// Every page that an update makes dirty, and the header, are written before the
// update returns, so nothing is written after the caller released the index lock.
// Pages are cached per order with a bound on their memory (kCacheBytes: a warm
// order of a million keys fits); when the file is shared
// and not locked by this program the cache is dropped before every seek, first or
// last, so that pages another program changed are read again.
//
// Errors: a damaged page or header is error 2112 naming the file; a cursor
// deeper than 32 levels, a page beyond the file or a short page read is damage
// too. Lock failure raises "Error %s in Lock of %s". Expression errors pass
// through.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/index_links.h"
#include "engine/vr6_disk.h"
#include "engine/vr6_glbl.h"
#include "index/key_expression.h"
#include "index/packed_keys.h"
#include "index/page_cache.h"

namespace velorin {

// A tag or file name as the index files keep it: blanks trimmed, ASCII upper-cased.
std::string UpperTrimmed(std::string_view text);

class TvrSort;
class VRO_dBHandler;
class VRobjIndexFile;

namespace index_error {
constexpr int32_t kDamaged = 2112;  // a damaged index header or page
}  // namespace index_error

class VRobjIndexKeyData : public TvrVariant {
 public:
  using TvrVariant::TvrVariant;
  int32_t RecNo = 0;
  int32_t Pointer = 0;
};

class VRobjIndexKey {
 public:
  int32_t Page = 0;
  int32_t LeftSibling = -1;
  int32_t RightSibling = -1;
  bool Leaf = true;
  // A word the family keeps with the page and may update as it stores the node
  // (MDX: the block written before it); -1 for a node never read or written.
  mutable int32_t FamilyWord = -1;
  std::vector<VRobjIndexKeyData> Entries;

  int32_t Count() const { return static_cast<int32_t>(Entries.size()); }

  // The entries' keys packed for the search of a seek (packed_keys.h), built
  // when first asked; whoever changes Entries calls KeysChanged() (the
  // framework's MarkDirty does).
  const PackedKeys& Packed() const {
    if (!packed_.Built()) packed_.Build(Entries);
    return packed_;
  }
  void KeysChanged() { packed_.Reset(); }
  bool PackedBuilt() const { return packed_.Built(); }
  // What the node holds in memory, roughly, for the cache's bound.
  size_t MemoryUse() const;

 private:
  mutable PackedKeys packed_;
};

class VRobjIndexTag : public IndexOrder {
 public:
  static constexpr int32_t kMaxDepth = 32;
  static constexpr size_t kCacheBytes = size_t{160} << 20;
  static constexpr int32_t kAnyRecord = -1;
  static constexpr int32_t kAfterEqualKeys = 2147483647;

  VRobjIndexTag(VRobjIndexFile& file, int32_t headerPosition);
  ~VRobjIndexTag() override;

  // ---- IndexOrder ----
  std::string Name() const override { return name_; }
  std::string KeyExpressionText() const override { return keyText_; }
  std::string ForExpressionText() const override { return forText_; }
  char KeyType() const override { return keyType_; }
  int32_t KeyFind(const TvrVariant& key, int32_t record) override;
  int32_t KeyFindInTag(const TvrVariant& key) override;
  int32_t KeyMove(int32_t code) override;
  int32_t CurrentRecNo() override;
  int32_t RangeSet(const TvrVariant* low, bool lowInclusive, bool highInclusive, const TvrVariant* high) override;
  void PageCursorReset(int32_t mode) override;
  void PageCursorRelease() override;
  int32_t RecordsAhead(int32_t code, int32_t* records, int32_t max) override;
  const TvrVariant& CurrentKey() const override { return currentKey_; }
  bool Bof() const override { return bof_; }
  bool Eof() const override { return eof_; }

  // ---- the family's slots ----
  void AdjustValue(TvrVariant& value) const override = 0;
  // Defines the order and builds it from the table; false when the key cannot be
  // evaluated.
  virtual bool TagCreate(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
                         const std::string& forExpression);
  // Inserts one key (its Pointer the record); false when a unique order already
  // has an equal key.
  virtual bool KeyAdd(const VRobjIndexKeyData& key);
  virtual int32_t RootPageGet() { return rootPage_; }
  // Reads and decodes one page; damage is error 2112.
  virtual std::shared_ptr<VRobjIndexKey> PageLoad(int32_t page) = 0;
  // The same for a page reached from its parent: above is the parent's entry
  // that points to it, or nullptr when the page lies on the tree's right edge
  // (the root, and every page reached through last entries). Families whose
  // interior keys are entries of their own (a true B-tree) need it to give the
  // node its last key; the others ignore it.
  virtual std::shared_ptr<VRobjIndexKey> PageLoadBelow(int32_t page, const VRobjIndexKeyData* above) {
    (void)above;
    return PageLoad(page);
  }
  virtual void PageStore(const VRobjIndexKey& node) = 0;
  virtual bool PageFits(const VRobjIndexKey& node) const = 0;
  virtual void TagLoad() = 0;
  virtual void TagStore() = 0;
  // Builds the whole order from the table (the file is locked and empty).
  virtual void BulkBuild() = 0;
  // The end of a family's TagCreate: a zeroed header page, then an empty root
  // leaf when the table has no records, else the bulk build.
  void BuildNewOrder(int32_t pageSize);
  // True B-tree families keep the leaf at the tree's right edge when it
  // empties: the last interior key above it cannot move down into it.
  virtual bool KeepsEmptyLastLeaf() const { return false; }
  // The length a converted key takes in a page.
  virtual int32_t KeyLengthOf(const TvrVariant& key) const { return key.Length(); }
  // The value a stored key stands for (text, number, or a date), for showing it:
  // families that keep numbers and dates in a byte or text form of their own
  // turn them back; the others return the key as it is.
  virtual TvrVariant KeyAsValue(const TvrVariant& stored) const { return stored; }

  // ---- expressions ----
  void KeyExprCompile();
  void ForExprCompile();
  // The key of the current record in stored form; an engine error when it is
  // longer than the key length.
  void KeyEvaluate(VRobjIndexKeyData& result);
  // True when there is no FOR condition or the current record passes it.
  bool ForEvaluate();

  // After a record write: the record's key follows it (see KeyUpdate in the
  // framework's notes). True when the order changed.
  bool KeyUpdate(int32_t record, bool isNew);
  // Walks the table's records 1 .. RecordCount by position (deleted ones too),
  // giving each record that passes the FOR condition with its key; progress goes
  // to the table's StatusUpdate.
  void ForEachRecordKey(const std::function<void(const VRobjIndexKeyData&)>& take);
  // The other half of a bulk build: gives the sorter's keys in sorted order,
  // each with its record, reporting the tree's progress to the table's
  // StatusUpdate.
  void ForEachSortedKey(TvrSort& sorter, const std::function<void(TvrVariant& key, int32_t record)>& take);

  // The page, through the cache; error 2112 for a page outside the file. above:
  // as for PageLoadBelow.
  std::shared_ptr<VRobjIndexKey> NodeAt(int32_t page, const VRobjIndexKeyData* above = nullptr);
  // Forgets every cached page (they are read again).
  void DropCache();
  // Drops the cursor, the pages waiting to be written and the cache without
  // writing anything (the file is being emptied or rewritten).
  void ForgetCursor();
  // A new root page; the header is written with the next release.
  void SetRoot(int32_t root) {
    rootPage_ = root;
    headerDirty_ = true;
  }
  // Three-way comparison of two stored keys in the order's direction.
  int CompareKeys(const TvrVariant& a, const TvrVariant& b) const { return CompareKey(a, b, -1); }

  VRobjIndexFile& File() const { return file_; }
  int32_t KeyLength() const { return keyLength_; }
  bool Unique() const { return unique_; }
  bool Ascending() const { return ascending_; }
  bool HasFor() const { return !forText_.empty(); }
  int32_t RootPage() const { return rootPage_; }
  bool KeyChanged() const { return keyChanged_; }
  int32_t HeaderPosition() const { return headerPosition_; }
  // Rendered key expression (empty when none is compiled).
  std::string RenderedKeyExpression() const { return keyExpression_ ? keyExpression_->Text() : std::string(); }

 protected:
  // The key forms most families share: character keys are their text without
  // trailing blanks; date keys the day number as a numeric (a blank date
  // blankDate); numeric keys are left alone when already numeric.
  static void TextKeyForm(TvrVariant& value);
  static void DateKeyForm(TvrVariant& value, double blankDate);
  // The day number of a date key given as a date, a number or a text.
  static double KeyDayNumber(const TvrVariant& value);
  // A key sought or bounding a range in the stored form (AdjustValue): a text
  // that is no number or date for such an order (typed by hand) is an engine
  // error naming it, raised before the file is locked.
  void SoughtKeyForm(TvrVariant& key) const;
  // Evaluates the key once on the current record and sets the key type ('C' for
  // text and logicals, 'N', 'D') and the key length (the text's length,
  // numericLength, dateLength); false when no key expression is compiled.
  // "Index key of length 0" for an empty text.
  bool KeyLayoutFromSample(int32_t numericLength, int32_t dateLength);
  // Compare a search key with an entry (negated on trees stored descending).
  int CompareKey(const TvrVariant& key, const TvrVariant& entry, int prefixResult) const;
  // Opens the cursor on the root (reading it when it has a page).
  void OpenRoot();
  // Descends from the root for key: 0 on a matching entry, -1 on the first
  // greater one, 1 after every key. record: kAnyRecord, kAfterEqualKeys, or the
  // record wanted among equal keys.
  int NodeSearch(int32_t record, const TvrVariant& key, int prefixResult);
  bool EntryFirst();
  bool EntryLast();
  bool EntryNext();
  bool EntryPrior();
  // The leaf beside the cursor's in the direction, when every page down to it
  // is cached (nothing is read); nullptr otherwise.
  const VRobjIndexKey* CachedNeighbourLeaf(bool forward) const;
  // Copies the leaf entry under the cursor into the current key; false when none.
  bool EntryCurrent();
  void RangeCheck();
  int RangeResult();
  // Opens the child of the interior entry at level's position as the next level.
  void ChildDescend(size_t level, bool atEnd);
  // Inserts key into the leaf before the cursor and writes what changed.
  void EntryInsert(const VRobjIndexKeyData& key);
  // Removes the leaf entry under the cursor and writes what changed.
  void EntryDelete();
  // A page leaving the tree: its neighbours link to each other instead.
  void UnlinkSiblings(const VRobjIndexKey& node);
  // Splits the nodes of the path that do not fit, from level up to the root.
  void SplitUpward(size_t level);
  // After the last key of the node at level changed: the parents' keys follow.
  void PropagateLastKey(size_t level);
  void MarkDirty(const std::shared_ptr<VRobjIndexKey>& node);
  void WriteDirty();
  // Before an operation that reads from the root: the cache is dropped and the
  // header reread when other programs may have changed the file.
  void BeginRead();
  void Remember(const std::shared_ptr<VRobjIndexKey>& node);

  struct CursorLevel {
    std::shared_ptr<VRobjIndexKey> node;
    int32_t position = -1;
  };

  VRobjIndexFile& file_;
  std::string name_;
  std::string keyText_;
  std::string forText_;
  int32_t keyLength_ = 0;
  TvrVariant lowBound_;
  TvrVariant highBound_;
  bool lowInclusive_ = false;
  bool highInclusive_ = false;
  int32_t headerPosition_;
  int32_t rootPage_ = 0;
  std::vector<CursorLevel> path_;
  bool headerDirty_ = false;
  bool ascending_ = true;
  bool unique_ = false;
  char keyType_ = 'C';
  VRobjIndexKeyData currentKey_;
  bool bof_ = false;
  bool eof_ = false;
  bool keyChanged_ = false;
  bool treeDescending_ = false;
  bool walkReversed_ = false;
  bool updating_ = false;
  std::unique_ptr<KeyExpression> keyExpression_;
  std::unique_ptr<KeyExpression> forExpression_;
  PageCache cache_{kCacheBytes};
  VRobjIndexKeyData soughtKey_;  // KeyFind's converted key, kept for its buffer
  // What RecordsAhead gave last: the leaf, how far in each direction, and how
  // many of the neighbouring leaf's records. The leaves are known by address
  // only and never reached through these pointers once the cursor moved.
  const VRobjIndexKey* aheadLeaf_ = nullptr;
  int32_t aheadForward_ = -1;
  int32_t aheadBackward_ = 0;
  const VRobjIndexKey* aheadNextLeaf_ = nullptr;
  int32_t aheadNextGiven_ = 0;
  std::vector<std::shared_ptr<VRobjIndexKey>> dirty_;
};

class VRobjIndexFile : public IndexFileLink {
 public:
  // The lock offsets of each protocol: (A, B, C) and the region locked.
  struct LockOffsets {
    uint32_t a, b, c;
  };

  explicit VRobjIndexFile(VRO_dBHandler* table);
  ~VRobjIndexFile() override;

  // ---- IndexFileLink ----
  const std::string& FullName() const override { return fullName_; }
  bool IsFileNamed(const std::string& path) const override;
  bool IndexLock() override;
  void IndexUnlock() override;
  void LockProtocolSet(uint8_t protocol) override;
  bool RecordChanged(int32_t record, bool isNew) override;
  void Reindex() override = 0;
  bool FileRename(const std::string& newTableName) override;
  void Flush() override;
  int32_t TagCount() const override { return static_cast<int32_t>(tags_.size()); }
  IndexOrder* TagByIndex(int32_t index) override { return Tag(index); }
  IndexOrder* TagByName(const std::string& name) override;

  // ---- the family's slots ----
  virtual bool TagAdd(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
                      const std::string& forExpression);
  // Deletes the tag of that name (letter case ignored) from a multi-tag file;
  // false when there is none.
  virtual bool TagRemove(const std::string& name);
  virtual int32_t PageAllocate() = 0;
  virtual int32_t PageEndRefresh() = 0;
  virtual bool BlockRead(int32_t page, void* buffer, int32_t length) = 0;
  virtual void BlockWrite(int32_t page, const void* buffer, int32_t length) = 0;
  // Empties the index (single-order families).
  virtual void IndexZap() {}
  // Whether another program changed the file since this one last read or wrote
  // it (families that keep a change counter in their header say so).
  virtual bool ExternalChange() { return false; }

  // Opens or creates the disk file: the name trimmed and upper-cased, the default
  // extension added, the table's directory put in front of a bare name. Creates
  // when create and (overwrite or no such file); else opens an existing file.
  // False when there is no file to open.
  bool IndexFileOpen(const std::string& name, bool overwrite, bool create, const std::string& defaultExtension);
  // A structural index (the file's path without extension is the table's):
  // the table's production-index flag is set and its header rewritten, when
  // it is not set already.
  void ProductionFlagSet();
  // Error 2112 naming the file; does not return.
  [[noreturn]] void Damaged() const;
  // Raises code with the file's name through the table (or the engine's error
  // procedure); does not return.
  [[noreturn]] void FileError(int32_t code, int32_t subCode) const;

  VRobjIndexTag* Tag(int32_t index) const;
  VRO_dBHandler* Table() const { return table_; }
  VRO_DiskFile* Disk() const { return disk_.get(); }
  bool Shared() const { return disk_ && disk_->Shared(); }
  // Locked by this program (an update is under way): cached pages are current.
  bool LockedHere() const { return lockDepth_ > 0; }
  bool DuplicatesByRecNo() const { return duplicatesByRecNo_; }
  bool ExactMatch() const { return exactMatch_; }
  void SetExactMatch(bool exact) { exactMatch_ = exact; }
  int32_t AllocationPoint() const { return allocationPoint_; }
  void SetAllocationPoint(int32_t point) { allocationPoint_ = point; }
  bool OpenedSuccessfully() const { return opened_; }
  // Character keys are upper-cased when converted (families that honour it).
  bool UpperKeys() const { return upperKeys_; }
  void SetUpperKeys(bool upper) { upperKeys_ = upper; }
  const std::string& FileName() const { return fileName_; }
  uint8_t LockProtocol() const { return lockProtocol_; }
  LockOffsets Offsets() const { return offsets_; }
  // The region IndexLock takes for the protocol.
  void LockRegionOf(uint32_t& offset, uint32_t& length) const;

 protected:
  // The file as blocks of unitSize bytes, counted from 0 (a family whose pages
  // are byte offsets uses a unit of 1). BlockAt reads length bytes at a block:
  // false without a file or past 2 GiB; BlockPut writes them there: error 1
  // ("file too large") past 2 GiB. UnitsInFile: the blocks the file holds, a
  // partial last one counted.
  bool BlockAt(int32_t unit, int32_t unitSize, void* buffer, int32_t length);
  void BlockPut(int32_t unit, int32_t unitSize, const void* buffer, int32_t length);
  int32_t UnitsInFile(int32_t unitSize) const;
  // For families whose pages are byte offsets of pageSize-byte pages: the end of
  // the file rounded up to a page, which becomes the allocation point; and a new
  // page there (error 1, "file too large", past 2 GiB).
  int32_t PageOffsetEnd(int32_t pageSize);
  int32_t PageOffsetAllocate(int32_t pageSize);

  std::string fileName_;  // name and extension
  std::string fullName_;
  std::vector<std::unique_ptr<VRobjIndexTag>> tags_;
  VRO_dBHandler* table_;
  std::unique_ptr<VRO_DiskFile> disk_;
  bool duplicatesByRecNo_ = false;
  bool upperKeys_ = false;
  int32_t allocationPoint_ = -1;
  bool exactMatch_ = true;
  bool opened_ = false;
  bool corrupt_ = false;
  uint8_t lockProtocol_ = 0;
  LockOffsets offsets_{0x40000000u, 0x7FFFFFFEu, 0x3FFFFFFFu};
  int32_t lockDepth_ = 0;
};

// Keeps the whole-file lock of an index file for as long as it lives (rebuilds
// and tag changes); error 33 when it is refused.
class IndexFileLockScope {
 public:
  explicit IndexFileLockScope(VRobjIndexFile& file);
  ~IndexFileLockScope();
  IndexFileLockScope(const IndexFileLockScope&) = delete;
  IndexFileLockScope& operator=(const IndexFileLockScope&) = delete;

 private:
  VRO_DiskFile& disk_;
};

}  // namespace velorin
