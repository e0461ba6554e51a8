// vr6_dbsy.h — the table handler: the cursor over one table that a dataset drives.
//
// VRO_dBHandler adds to the field layer: navigation that hides deleted records
// when asked and honours a record filter (the RecordAccepted hook, and later an
// expression filter held as a bit set), a general field Search, Skip with a
// direct jump, Pack, a read-ahead cache for walking in natural order and a
// record cache for walking an exclusive table in index order, locking of
// the index files around every write, and progress reports through StatusUpdate:
// (-1, kind, total) at the start, (kind, current, 0) as it goes, (0, 0, 0) or
// (0, visited, 0) at the end; kinds 1 and 2 index builds, 11 pack, 21 search.
//
// The expression filter comes through the RecordFilter seam (record_filter.h):
// SetFilter compiles its text against the table and builds the bit set of the
// records that pass in one walk; every record written or appended afterwards
// enters or leaves the set, Pack clears the numbers it removed, and navigation
// with the filter in effect tests only the set. Without an installed filter
// maker SetFilter raises an engine error.
//
// Index files are opened through the families registered in index_links.h (up
// to 63, slots 1 to 63); one of their orders may be the current order, which
// navigation, Find, Skip and SetRange then follow. Every record write and append
// runs under the locks of all open index files and is followed by RecordChanged
// on each of them. Without a registered family OpenIndex raises an engine error
// and the handler works in natural order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/index_links.h"
#include "engine/record_cache.h"
#include "engine/record_filter.h"
#include "engine/vr6_DBF.h"
#include "engine/vr6_glbl.h"

namespace velorin {

// Option bits of Search.
namespace search_option {
constexpr uint16_t kIgnoreCase = 1;        // search text and field text upper-cased
constexpr uint16_t kWholeField = 2;        // character fields must match whole
constexpr uint16_t kWildcards = 4;         // "*" at the start or end, "?" for one character
constexpr uint16_t kKeepTableState = 8;    // else the starting record is read raw
constexpr uint16_t kKeepOrder = 16;        // else the search runs in natural order
constexpr uint16_t kFromFirstCharacter = 32;  // a plain match starts at the field's start
}  // namespace search_option

// Kinds of progress report.
namespace status_kind {
constexpr int32_t kIndexKeys = 1;
constexpr int32_t kIndexTree = 2;
constexpr int32_t kPack = 11;
constexpr int32_t kSearch = 21;
}  // namespace status_kind

class VRO_dBHandler : public VRO_dBaseFld {
 public:
  static constexpr int kMaxIndexFiles = 63;
  static constexpr int32_t kReadAheadBytes = 32768;
  // The engine's lock timing: retry time and interval (memo and index locks).
  static constexpr int32_t kLockRetryTimeMs = 2000;
  static constexpr int32_t kLockRetryIntervalMs = 50;

  // Opens the table; natural order, no filter, read-ahead allowed and on.
  VRO_dBHandler(const std::string& fileName, bool readWrite, bool shared);
  ~VRO_dBHandler() override;

  // The operations added to the field layer's, in their slot order.
  // Seeks the key in the current order; false (and the table at its end) when
  // not found or when there is no order.
  virtual bool Find(const std::string& key);
  // The record of the key in the named tag, 0 when not found, -1 for no tag.
  virtual int32_t FindInTag(const std::string& tagName, const std::string& key);
  // Moves count visible records (a direct jump when nothing is hidden).
  virtual void Skip(int32_t count);
  // The owner's record-acceptance test; true here.
  virtual bool RecordAccepted();
  // Locks every open index file; false (last error 33) when one cannot be had.
  virtual bool LockIndexes();

  // Navigation in the current order, passing over deleted records unless
  // UseDeleted and records that RecordAccepted refuses. A positive request
  // takes that record whatever it holds; 0 does nothing.
  void GoRecord(int32_t request) override;
  // The read-ahead cache sits under the record reads and writes.
  int32_t ReadAt(int32_t offset, void* buffer, int32_t count) override;
  void WriteAt(int32_t offset, const void* buffer, int32_t count) override;
  void Truncate(int32_t newSize) override;
  bool Rename(const std::string& newName) override;
  // Under the index locks; error 33 when they cannot be had (nothing written).
  void Append() override;
  void WriteRecord(int32_t n) override;
  bool RecordEvent(uint8_t event, int32_t number) override;
  void SetLockProtocol(uint8_t protocol) override;
  bool HasIndexFiles() override;

  void UnlockIndexes();
  void SetReadAheadAllowed(bool allowed);
  void SetReadAhead(bool on);
  void ClearRange();
  void SetRange(const std::string& low, const std::string& high, bool lowInclusive, bool highInclusive);
  // Compiles the filter text (ignoreCase and partialMatch are the options of
  // its text comparisons) and builds the set of the visible records that pass;
  // the position is kept. An empty text leaves no expression. A text that does
  // not compile, or whose result is not logical ("Filter expression must
  // return boolean result"), raises and leaves no expression. The filter takes
  // effect as SetFilterActive last asked.
  void SetFilter(const std::string& expression, bool ignoreCase, bool partialMatch);
  void SetFilterActive(bool on);
  // Opens the listed index files (blank, comma or semicolon separated, double
  // quotes around names with blanks) and selects tagName. No list: 1.
  int32_t OpenIndexes(const std::string* list, const std::string& tagName);
  // 0 opened, 1 already open, 2 or 2112 failed.
  int32_t OpenIndex(const std::string& name);
  void CloseIndexes();
  // The full name of an index file: the table's directory in front of a bare
  // name, ".NDX" added when there is no extension.
  std::string IndexFileName(const std::string& name) const;
  IndexOrder* TagByPosition(int32_t n);
  // Selects the order by tag name (nullptr: natural order); the slot number of
  // its file, 0 for natural order, -1 for an unknown tag.
  int32_t SelectOrder(const std::string* tagName, bool keepPosition);
  void Reindex();
  // Removes the deleted records for good; exclusive tables only (error 5). The
  // header on disk holds the new count when it returns, whatever locks are held.
  void Pack();
  // Looks for text in the field (0: every field but logicals) from startRecord
  // on (0: from the top), up to lastRecord (0: no limit). Found: startRecord is
  // the record and the table stands on it.
  bool Search(const std::string& text, int32_t fieldNumber, int32_t lastRecord, int32_t& startRecord);

  // The code page of the table's text, for the case folding of Search (0: the
  // ANSI code page). A table whose text is stored in the OEM code page folds
  // with the OEM letters.
  void SetTextCodePage(int codePage) { textCodePage_ = codePage; }
  int TextCodePage() const { return textCodePage_; }

  uint16_t SearchOptions() const { return searchOptions_; }
  void SetSearchOptions(uint16_t options) { searchOptions_ = options; }
  bool ReadAheadActive() const { return readAheadActive_; }
  // Whether record reads go through the record cache: in index order, on a
  // table no other program may write (opened exclusively) that fits the cache's
  // bound, with read-ahead allowed. Other tables read each record as it is
  // wanted.
  bool RecordCacheInUse() const {
    return currentOrder_ != nullptr && !shared_ && readAheadAllowed_ &&
           int64_t{headerLength_} + int64_t{recordCount_} * recordLength_ <=
               static_cast<int64_t>(RecordBlockCache::kBoundBytes);
  }
  size_t RecordCacheBytes() const { return recordCache_.BytesHeld(); }
  bool ReadAheadAllowed() const { return readAheadAllowed_; }
  bool FindFound() const { return findFound_; }
  IndexOrder* CurrentOrder() const { return currentOrder_; }
  int32_t IndexFileCount() const { return static_cast<int32_t>(indexFiles_.size()); }
  // The index file in slot (1 .. IndexFileCount()); nullptr outside.
  IndexFileLink* IndexFileInSlot(int32_t slot) const {
    return slot >= 1 && slot <= IndexFileCount() ? indexFiles_[static_cast<size_t>(slot - 1)].get() : nullptr;
  }
  // Opens an index file object made elsewhere (velorin-dbf's index create) in
  // the first free slot, as OpenIndex would.
  void AddIndexFile(std::unique_ptr<IndexFileLink> file);
  const std::string& CurrentTagName() const { return currentTagName_; }
  bool FilterWanted() const { return filterWanted_; }
  bool FilterInEffect() const { return filterInEffect_; }
  const std::string& FilterText() const { return filterText_; }
  // The records that passed the filter (nullptr before the first SetFilter).
  const TvrHugeSet* FilterSet() const { return filterSet_.get(); }
  // Whether record n is in the filter set (false beyond RecordCount).
  bool InFilterSet(int32_t n) const;

 private:
  // Whether the current record passes the deleted test and RecordAccepted.
  bool IsVisible();
  bool FieldMatches(int32_t number, const struct SearchPattern& pattern);
  // The next record of the filter set for a navigation code (nav::), or 0 with
  // AtEOF or AtBOF set when there is none.
  int32_t FilterCandidate(int32_t code);
  void FillFilterSet();
  // The written record n enters or leaves the filter set.
  void UpdateFilterBit(int32_t n);
  void ClearFilterExpression();
  void ReportProgress(int32_t stat1, int32_t stat2, int32_t stat3) { StatusUpdate(stat1, stat2, stat3); }

  // While walking in index order through the record cache: asks the processor
  // for the records the order will reach soon.
  void PrefetchRecordsAhead(int32_t step);
  // Reads the record the current order stands on after a fast Skip.
  void SkipInOrder(int32_t count);

  IndexOrder* currentOrder_ = nullptr;
  std::vector<std::unique_ptr<IndexFileLink>> indexFiles_;
  // Set while Pack moves records: the indexes are rebuilt afterwards.
  bool indexMaintenanceSuspended_ = false;
  std::string currentTagName_;
  int32_t readAheadStart_ = -1;
  int32_t readAheadEnd_ = 0;
  std::vector<uint8_t> readAheadBuffer_;
  int32_t readAheadSize_ = 0;
  bool readAheadActive_ = false;
  bool readAheadAllowed_ = true;
  RecordBlockCache recordCache_;
  RecordBlockCache::FileReader readFile_;
  bool findFound_ = false;
  std::unique_ptr<TvrHugeSet> filterSet_;
  std::unique_ptr<RecordFilter> filterExpression_;
  std::string filterText_;
  bool filterIgnoreCase_ = false;
  bool filterPartialMatch_ = true;
  bool filterWanted_ = false;
  bool filterInEffect_ = false;
  uint16_t searchOptions_ = 0;
  int textCodePage_ = 0;
};

}  // namespace velorin
