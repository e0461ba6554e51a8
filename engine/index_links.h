// index_links.h — what the table handler asks of index files, and how it opens them.
//
// The handler owns up to 63 open index files and one current order, while index
// files read the handler's table and fields; so the handler speaks only to these
// two interfaces and index/ implements them (VRobjIndexTag, VRobjIndexFile).
// Index families register an opener per extension (".CDX", ".NTX", ".MDX",
// ".NDX") with RegisterIndexFamily; index/InstallIndexFamilies() does that once,
// before the first table is opened. Without a registered family the handler
// refuses to open index files and works in natural order.
//
// Navigation codes are those of the table (nav::): -1 next, -2 prior, -3 first,
// -4 last, -5 reread; record numbers are 1-based, 0 meaning none.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/vr6_glbl.h"

namespace velorin {

class VRO_dBHandler;

// One order (a tag) of an index file, with its cursor.
class IndexOrder {
 public:
  virtual ~IndexOrder() = default;

  virtual std::string Name() const = 0;
  // The key and FOR expressions as written in the file ("" for no FOR).
  virtual std::string KeyExpressionText() const = 0;
  virtual std::string ForExpressionText() const = 0;
  // "C", "N" or "D".
  virtual char KeyType() const = 0;

  // Seeks key (converted with AdjustValue) for record (-1: any record), exact or
  // partial by the table's exact setting. The record number when a matching key
  // inside the range was found; 0 otherwise, the cursor then on the next greater
  // key or Eof set.
  virtual int32_t KeyFind(const TvrVariant& key, int32_t record) = 0;
  // The same, always exact, on an order that is not the current one: its cursor
  // is left where it was.
  virtual int32_t KeyFindInTag(const TvrVariant& key) = 0;
  // Moves the cursor by a navigation code; the record there, 0 at Bof or Eof.
  virtual int32_t KeyMove(int32_t code) = 0;
  // Places the cursor on the table's current record (else on the first key) and
  // returns the record the cursor stands on.
  virtual int32_t CurrentRecNo() = 0;
  // Sets the range (nullptr or an empty value: unbounded) and moves to its first
  // key; the record there. A key equal to the high bound is inside; one equal
  // to the low bound only with lowInclusive.
  virtual int32_t RangeSet(const TvrVariant* low, bool lowInclusive, bool highInclusive, const TvrVariant* high) = 0;
  // Mode 0: to the first key; 1: to the table's current record or the first key;
  // 2: the cursor dropped and the root reopened.
  virtual void PageCursorReset(int32_t mode) = 0;
  // Drops the cursor (what is dirty is written).
  virtual void PageCursorRelease() = 0;
  // Converts a value into the order's stored key form.
  virtual void AdjustValue(TvrVariant& value) const = 0;
  // A hint for reading ahead while walking by code (nav::kNext or kPrevious):
  // the records of keys the walk will reach soon, at most max of them, that the
  // order has not given since it last moved to another page; nothing moves. The
  // number given, 0 when the order knows none.
  virtual int32_t RecordsAhead(int32_t code, int32_t* records, int32_t max) {
    (void)code, (void)records, (void)max;
    return 0;
  }
  // The key under the cursor.
  virtual const TvrVariant& CurrentKey() const = 0;
  virtual bool Bof() const = 0;
  virtual bool Eof() const = 0;
};

// One open index file: one or more orders.
class IndexFileLink {
 public:
  virtual ~IndexFileLink() = default;

  // The full path of the file.
  virtual const std::string& FullName() const = 0;
  // Whether path names this file (name and extension, letter case ignored).
  virtual bool IsFileNamed(const std::string& path) const = 0;

  // Locks the file for an update by the lock protocol (40 tries, 50 ms apart);
  // raises "Error %s in Lock of %s" when it cannot be had. True at once when
  // the file is not shared.
  virtual bool IndexLock() = 0;
  virtual void IndexUnlock() = 0;
  virtual void LockProtocolSet(uint8_t protocol) = 0;

  // After record was written (isNew: appended): every order's key follows it.
  // The caller holds the index lock; everything is on disk on return.
  virtual bool RecordChanged(int32_t record, bool isNew) = 0;
  // Rebuilds every order from the table's records.
  virtual void Reindex() = 0;
  // The file follows the table to newTableName, keeping its own extension.
  virtual bool FileRename(const std::string& newTableName) = 0;
  virtual void Flush() = 0;

  virtual int32_t TagCount() const = 0;
  // nullptr outside 0 .. TagCount() - 1.
  virtual IndexOrder* TagByIndex(int32_t index) = 0;
  // The first order of that name, letter case ignored; nullptr when none.
  virtual IndexOrder* TagByName(const std::string& name) = 0;
};

// Opens an existing index file of a family for the table: nullptr when the file
// does not exist; EVelorinError (2112) when its header is damaged.
using IndexFileOpener = std::unique_ptr<IndexFileLink> (*)(VRO_dBHandler& table, const std::string& fullName);

// Registers the opener of the files with this extension (".NDX"); a second
// registration of an extension replaces the first.
void RegisterIndexFamily(std::string_view extension, IndexFileOpener opener);
// The opener for the extension (with its dot, any letter case); nullptr when none.
IndexFileOpener IndexFamilyOpener(std::string_view extension);

}  // namespace velorin
