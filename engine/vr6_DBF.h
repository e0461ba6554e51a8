// vr6_DBF.h — one open DBF table file: header, field descriptors, records, locks.
//
// VRO_dBaseDBF opens an existing table (the engine never creates one), checks its
// header and descriptors, and keeps the record count, the current record number
// and a buffer for the current record. It reads records by number or navigation
// code, writes records in place, appends them, and maintains the header (date of
// last update, record count, change stamp, id of the last writer). It holds the
// record, header and table locks of the chosen locking protocol. The layout is in
// dbf_format.h.
//
// The record count is taken from the file size, never from the header, and is
// refreshed from the file before each append and record write of a shared table,
// so records other processes appended are neither overwritten nor lost. Appends
// of a shared table are serialised by the header lock, and the header is only
// rewritten while that lock (or the table lock) is held.
//
// Construction throws EVelorinError when the file is missing or its header is
// damaged; every other failure is reported through Error as in VRO_DiskFile.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf_format.h"
#include "engine/field_kind.h"
#include "engine/vr6_disk.h"

namespace velorin {

class VRobjMemo;

// Navigation codes of GoRecord; a positive value is a record number.
namespace nav {
constexpr int32_t kNext = -1;
constexpr int32_t kPrevious = -2;
constexpr int32_t kFirst = -3;
constexpr int32_t kLast = -4;
constexpr int32_t kReread = -5;
}  // namespace nav

// Record events passed to RecordEvent.
namespace record_event {
constexpr uint8_t kBlanked = 0;       // number 0
constexpr uint8_t kFieldStored = 1;   // number: the field
constexpr uint8_t kOpened = 2;        // number 0
constexpr uint8_t kBeforeRead = 4;    // number: the GoRecord request
constexpr uint8_t kBeforeWrite = 5;   // number: the record, 0 for an append
constexpr uint8_t kAfterRead = 6;     // number: the record
constexpr uint8_t kAfterWrite = 7;    // number: the record, 0 for an append
constexpr uint8_t kAfterFlush = 8;    // number: RecordNumber
}  // namespace record_event

// TableState values.
namespace table_state {
constexpr int32_t kNormal = 1;
constexpr int32_t kRaw = 4;  // the next positioning reads its record raw
}  // namespace table_state

// One field of the table: its descriptor as read, and what the engine adds.
struct VRFieldEntry {
  VRFieldEntry();
  ~VRFieldEntry();
  VRFieldEntry(VRFieldEntry&&) noexcept;
  VRFieldEntry& operator=(VRFieldEntry&&) noexcept;

  uint8_t Descriptor[dbf_descriptor::kSize] = {};
  int32_t Displacement = 0;  // offset in the record; the first field is at 1
  int32_t Number = 0;        // 1-based
  std::unique_ptr<VRobjMemo> Memo;  // made on first use of a memo field

  // The name: up to 11 bytes, ending at the first zero byte.
  std::string Name() const;
  char Type() const { return static_cast<char>(Descriptor[dbf_descriptor::kType]); }
  // For "C" fields the decimal byte is the high byte of the length.
  int32_t Length() const;
  int32_t Decimals() const;
};

class VRO_dBaseDBF : public VRO_DiskFile {
 public:
  // Header-lock attempts of an append to a shared table, 50 ms apart.
  static constexpr int kAppendLockTries = 40;
  static constexpr int kLockRetryIntervalMs = 50;
  // Attempts at the header lock for a header rewrite after a record write; the
  // rewrite is skipped (and stays pending) rather than write a stale count.
  static constexpr int kHeaderRewriteTries = 4;

  // Opens the table: the name with blanks trimmed and ".DBF" added when it has no
  // extension. Throws EVelorinError on any failure.
  VRO_dBaseDBF(const std::string& fileName, bool readWrite, bool shared);
  ~VRO_dBaseDBF() override;

  // The operations added to those of the disk file, in their slot order.
  // Appends the current record under the header lock; error 33 when a shared
  // table's header lock cannot be had, and then nothing is appended.
  virtual void Append();
  virtual bool RecordEvent(uint8_t event, int32_t number);
  // A record number, or a navigation code (nav::); 0 does nothing.
  virtual void GoRecord(int32_t request);
  virtual bool LockHeader();
  virtual bool LockTable();
  virtual bool LockTableLow();
  virtual bool UnlockTable();
  // Locks the current record by the protocol's rule.
  virtual bool LockRecord();
  // Writes the current record as record n (an append when n is not a record).
  virtual void WriteRecord(int32_t n);
  virtual void SetLockProtocol(uint8_t protocol);
  virtual bool HasIndexFiles();

  // Flushes the table and its memo file, then signals kAfterFlush.
  void Flush() override;
  // Renames the table and its memo file.
  bool Rename(const std::string& newName) override;

  // Shared tables: rereads the header and the record count from the file.
  void ReadHeader();
  // Writes the header when read-write, dirty and the table is not locked.
  void WriteHeader();
  // Undoes what one successful LockHeader took.
  void UnlockHeader();
  // Sets the production-index flag (a structural index file belongs to the
  // table) and rewrites the header under the header lock, 40 tries 50 ms apart;
  // under the table lock the write waits for its release. False for a read-only
  // table, or when the lock cannot be had (the flag then goes with the next
  // header write).
  bool MarkProductionIndex();
  bool IsDeleted() const;
  void SetUserID(int32_t id) { userId_ = id; }

  // State.
  const uint8_t* HeaderImage() const { return headerImage_; }
  bool HeaderDirty() const { return headerDirty_; }
  int32_t TableState() const { return tableState_; }
  void SetTableState(int32_t state) { tableState_ = state; }
  int32_t RecordCount() const { return recordCount_; }
  int32_t HeaderLength() const { return headerLength_; }
  int32_t RecordLength() const { return recordLength_; }
  int32_t FieldCount() const { return static_cast<int32_t>(fields_.size()); }
  // Field i, 1-based; nullptr out of range.
  VRFieldEntry* Field(int32_t number);
  const VRFieldEntry* Field(int32_t number) const;
  int32_t RecordNumber() const { return recordNumber_; }
  // The bytes of the current record (RecordLength of them). Callers may point it
  // at a buffer of their own of at least RecordLength bytes, and back with
  // ResetCurrentRecord.
  uint8_t* CurrentRecord() const { return currentRecord_; }
  void SetCurrentRecord(uint8_t* record) { currentRecord_ = record; }
  void ResetCurrentRecord() { currentRecord_ = recordBuffer_.data(); }
  uint8_t* RecordBuffer() { return recordBuffer_.data(); }
  const uint8_t* OriginalRecord() const { return originalRecord_.data(); }
  // Entry 0 is the deletion flag, entry i field i.
  std::vector<bool>& FieldChanged() { return fieldChanged_; }
  bool AtEOF() const { return atEof_; }
  bool AtBOF() const { return atBof_; }
  void SetAtEOF(bool value) { atEof_ = value; }
  void SetAtBOF(bool value) { atBof_ = value; }
  uint8_t Version() const { return version_; }
  bool TableLocked() const { return tableLocked_; }
  bool HasProductionIndex() const { return hasProductionIndex_; }
  bool HasMemoFlag() const { return hasMemoFlag_; }
  // Whether the table has a memo file: versions 0x83, 0x8B and 0xF5 always;
  // version 0x30 when the header flag says so, and also when the table has memo
  // fields and its .FPT is there (other writers of such tables leave the flag
  // clear). The flag itself is written back as it was read.
  bool HasMemoFile() const;
  bool IsContainer() const { return isContainer_; }
  int32_t ChangeStamp() const { return changeStamp_; }
  bool RecordModified() const { return recordModified_; }
  bool UseDeleted() const { return useDeleted_; }
  void SetUseDeleted(bool value) { useDeleted_ = value; }
  bool ExactMatch() const { return exactMatch_; }
  void SetExactMatch(bool value) { exactMatch_ = value; }
  int32_t UserID() const { return userId_; }
  uint32_t FileLockOffset() const { return locks_.fileLockOffset; }
  uint32_t HeaderLockOffset() const { return locks_.headerLockOffset; }
  uint32_t FileLockLength() const { return locks_.fileLockLength; }
  uint8_t LockProtocol() const { return lockProtocol_; }

  // File offset of record n.
  int64_t RecordOffset(int32_t n) const;

 protected:
  // The memo file follows a rename of the table from oldName to newName (both
  // full paths); nothing when the table has no memo file.
  virtual void RenameMemoFile(const std::string& oldName, const std::string& newName);
  // Rewrites a dirty header under the header lock (briefly tried); skipped, and
  // left pending, when the lock cannot be had.
  void RewriteHeader();
  // Locks the header region, tries times, 50 ms apart.
  bool LockHeaderTrying(int tries);
  // Writes a dirty header of a read-write table now, also while the table lock
  // is held (WriteHeader defers it to the unlock then).
  void StoreHeader();

  uint8_t headerImage_[dbf_header::kSize] = {};
  bool headerDirty_ = false;
  int32_t tableState_ = table_state::kNormal;
  int32_t recordCount_ = 0;
  int32_t headerLength_ = 0;
  int32_t recordLength_ = 0;
  std::vector<VRFieldEntry> fields_;
  int32_t recordNumber_ = 0;
  uint8_t* currentRecord_ = nullptr;
  std::vector<uint8_t> recordBuffer_;
  std::vector<uint8_t> originalRecord_;
  std::vector<bool> fieldChanged_;
  bool atEof_ = false;
  bool atBof_ = true;
  uint8_t version_ = 0;
  bool tableLocked_ = false;
  bool hasProductionIndex_ = false;
  bool hasMemoFlag_ = false;
  bool isContainer_ = false;
  int32_t changeStamp_ = 0;
  bool recordModified_ = false;
  bool useDeleted_ = true;
  bool exactMatch_ = false;
  int32_t userId_ = 0;
  LockConstants locks_ = kDefaultLocks;
  uint8_t lockProtocol_ = 0;

 private:
  void OpenTable();
  // Whether the header lock is held by a region of its own (as opposed to a
  // nesting level of the table lock or an exclusive table).
  int32_t headerLockCount_ = 0;
  // The lock count below the table lock: other regions an exclusive table held
  // when the table lock was taken. The table lock ends when the count is back there.
  int32_t tableLockBase_ = 0;
  int32_t headerLockNestedInTable_ = 0;
  std::vector<uint8_t> appendBuffer_;
};

// The field layer: the fields of the current record by name or number, read and
// stored as raw text, display text, numbers, dates and logicals. Every operation
// works on the bytes CurrentRecord points at; nothing reaches the disk here (the
// record is written by WriteRecord or Append). Numbered operations take 1-based
// field numbers; a number out of range gives the empty result without an error.
// Names are matched without regard to ASCII letter case, trailing blanks ignored.
//
// Version 0x30 tables hold machine values in B (double), G, I, M (int32), T (day
// number and milliseconds) and Y (int64 ten-thousandths) fields. A field of one
// of these types that is shorter than its machine value (a damaged descriptor)
// is read and stored as text, as an N field is, so that nothing reaches past it.
class VRO_dBaseFld : public VRO_dBaseDBF {
 public:
  VRO_dBaseFld(const std::string& fileName, bool readWrite, bool shared);
  ~VRO_dBaseFld() override;

  // The operations added to the table file's, in their slot order.
  // nullptr after error 1003 (sub-code 1298) for a missing name.
  virtual VRFieldEntry* FieldByName(const std::string& name);
  // Blanks, formatted zeros in the numeric fields, every field marked changed.
  virtual void BlankRecord();
  virtual int32_t GetDateByName(const std::string& name);
  virtual int32_t GetDate(int32_t number);
  virtual bool PutDateByName(const std::string& name, int32_t dayNumber);
  virtual bool PutDate(int32_t number, int32_t dayNumber);
  // Marks the current record deleted and writes it.
  virtual void DeleteRecord();
  virtual std::string GetTextByName(const std::string& name);
  // The field's bytes up to the first zero byte.
  virtual std::string GetText(int32_t number);
  virtual bool PutTextByName(const std::string& name, const std::string& text);
  // Left-aligned for C, D and L, right-aligned otherwise; cut to the field.
  virtual bool PutText(int32_t number, const std::string& text);
  virtual int32_t FieldDecimals(int32_t number);
  virtual int32_t FieldLength(int32_t number);
  virtual int32_t FieldOffset(int32_t number);
  virtual std::string FieldName(int32_t number);
  virtual char FieldType(int32_t number);
  // A request to the owner of the table (formulas); -1 here.
  virtual int32_t UserHook(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e);
  virtual bool GetLogicalByName(const std::string& name);
  virtual bool GetLogical(int32_t number);
  virtual bool PutLogicalByName(const std::string& name, bool value);
  virtual bool PutLogical(int32_t number, bool value);
  virtual double GetNumberByName(const std::string& name);
  virtual double GetNumber(int32_t number);
  virtual bool PutNumberByName(const std::string& name, double value);
  // Fixed notation with the field's decimals, right-aligned; error 1011 when it
  // does not fit, and the field is left as it was.
  virtual bool PutNumber(int32_t number, double value);
  virtual std::string GetDisplayByName(const std::string& name);
  virtual std::string GetDisplay(int32_t number);
  virtual bool PutValueByName(const std::string& name, const std::string& text);
  // The general setter for values typed as text (dates in the display form).
  virtual bool PutValue(int32_t number, const std::string& text);
  // Clears the deletion mark of the current record and writes it.
  virtual void RecallRecord();

  // After the read, every FieldChanged flag is cleared.
  void GoRecord(int32_t request) override;

  // 0 when there is no such field.
  int32_t FieldNumber(const std::string& name);
  // The field, when its type suits the wanted one ("N" takes B, F, G, I, M too;
  // "G" takes B and M); nullptr after error 1004 (sub-code 1299) otherwise.
  VRFieldEntry* FieldOfType(const std::string& name, char wantedType);
  void ClearChanged();
  std::string ReadFieldText(int32_t number);
  // The same text without a copy: valid until the record or CurrentRecord changes.
  std::string_view FieldTextView(int32_t number) const;
  void StoreFieldText(int32_t number, const std::string& text);
  // Makes the memo object for the table's version; HasMemo tells whether one was made.
  std::unique_ptr<VRobjMemo> OpenMemo();
  // The memo object of a B, G or M field (made on first use); nullptr otherwise.
  VRobjMemo* MemoFor(int32_t number);
  int32_t MemoSize(int32_t number);
  // Reads at most size bytes of the field's memo into buffer; size becomes the
  // bytes delivered.
  bool MemoRead(int32_t number, void* buffer, int32_t& size);
  // Writes the memo and stores its block number in the field.
  bool MemoWrite(int32_t number, const void* buffer, int32_t size);

  // The field's kind and storage (field_kind.h); Other and Text out of range.
  FieldKind KindOfField(int32_t number) const;
  FieldStorage StorageOfField(int32_t number) const;
  // M, G, and B outside Visual FoxPro tables: the content is in the memo file.
  bool IsMemoField(int32_t number) const;

  bool HasMemo() const { return hasMemo_; }
  const VRFieldEntry* LastField() const { return lastField_; }
  // The table's name in messages: the file name without directory and extension.
  std::string TableName() const;

 protected:
  // Machine-value types of version 0x30 tables, in fields long enough to hold
  // the value (8 bytes for B, T and Y, 4 for G, I and M).
  bool IsMachineValue(const VRFieldEntry& field) const;
  FieldStorage StorageOf(const VRFieldEntry& field) const;

  bool hasMemo_ = false;
  bool productionIndex_ = false;
  VRFieldEntry* lastField_ = nullptr;
};

// The name a table is opened under: blanks trimmed, ".DBF" added when the file
// name has no extension.
std::string TableFileName(const std::string& name);

}  // namespace velorin
