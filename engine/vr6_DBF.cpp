#include "engine/vr6_DBF.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/byte_order.h"
#include "engine/text_trim.h"
#include "engine/vr6_eror.h"
#include "engine/vr6_memo.h"
#include "platform/clock.h"
#include "platform/file_names.h"
#include "platform/os_error.h"

namespace velorin {

namespace {

bool IsAcceptedVersion(uint8_t version) {
  switch (version) {
    case dbf_version::kDbase3:
    case dbf_version::kDbase3Memo:
    case dbf_version::kDbase4Memo:
    case dbf_version::kFoxProMemo:
    case dbf_version::kVisualFoxPro: return true;
    default: return false;
  }
}

// Whether a protocol value names one of the four protocols.
bool IsKnownProtocol(uint8_t protocol) { return protocol <= static_cast<uint8_t>(TvrLokProtocol::FoxLock); }

// Holds what one successful LockHeader took until the end of the scope.
class HeaderLockGuard {
 public:
  explicit HeaderLockGuard(VRO_dBaseDBF* table) : table_(table) {}
  ~HeaderLockGuard() { Release(); }
  HeaderLockGuard(const HeaderLockGuard&) = delete;
  HeaderLockGuard& operator=(const HeaderLockGuard&) = delete;
  void Release() {
    if (table_ != nullptr) table_->UnlockHeader();
    table_ = nullptr;
  }

 private:
  VRO_dBaseDBF* table_;
};

}  // namespace

std::string TableFileName(const std::string& name) {
  std::string trimmed = TrimBlanks(name);
  std::string base = platform::BaseName(trimmed);
  if (base.find('.') == std::string::npos) trimmed += ".DBF";
  return trimmed;
}

// ---- field entries -------------------------------------------------------------

VRFieldEntry::VRFieldEntry() = default;
VRFieldEntry::~VRFieldEntry() = default;
VRFieldEntry::VRFieldEntry(VRFieldEntry&&) noexcept = default;
VRFieldEntry& VRFieldEntry::operator=(VRFieldEntry&&) noexcept = default;

std::string VRFieldEntry::Name() const {
  const char* name = reinterpret_cast<const char*>(Descriptor + dbf_descriptor::kName);
  size_t length = 0;
  while (length < dbf_descriptor::kNameLength && name[length] != '\0') ++length;
  return std::string(name, length);
}

int32_t VRFieldEntry::Length() const {
  int32_t length = Descriptor[dbf_descriptor::kLength];
  if (Type() == 'C') length += Descriptor[dbf_descriptor::kDecimals] * 256;
  return length;
}

int32_t VRFieldEntry::Decimals() const { return Type() == 'C' ? 0 : Descriptor[dbf_descriptor::kDecimals]; }

// ---- opening -------------------------------------------------------------------

VRO_dBaseDBF::VRO_dBaseDBF(const std::string& fileName, bool readWrite, bool shared)
    : VRO_DiskFile(TableFileName(fileName), readWrite, shared) {
  SetLockProtocol(0);
  Open();
  OpenTable();
}

void VRO_dBaseDBF::OpenTable() {
  auto headerInvalid = [this] {
    status_ = error_code::kHeaderInvalid;
    ReportStatus(sub_code::kReadHeader);
  };
  int32_t fileSize = Size();
  {
    ReadSubCodeScope scope(this, sub_code::kReadHeader);
    ReadAt(0, headerImage_, dbf_header::kSize);
  }
  if (fileSize < static_cast<int32_t>(dbf_header::kSize)) return headerInvalid();

  version_ = headerImage_[dbf_header::kVersion];
  if (!IsAcceptedVersion(version_)) return headerInvalid();

  headerLength_ = byte_order::GetLE16(headerImage_ + dbf_header::kHeaderLength);
  recordLength_ = byte_order::GetLE16(headerImage_ + dbf_header::kRecordLength);
  uint8_t flags = headerImage_[dbf_header::kFlags];
  hasProductionIndex_ = (flags & dbf_flags::kProductionIndex) != 0;
  hasMemoFlag_ = (flags & dbf_flags::kMemoFile) != 0;
  isContainer_ = (flags & dbf_flags::kContainer) != 0;
  changeStamp_ = static_cast<int32_t>(byte_order::GetLE32(headerImage_ + dbf_header::kChangeStamp));

  // The header area: the 32 bytes, the descriptors, the terminator and, in Visual
  // FoxPro tables, the back link. It must lie inside the file.
  int32_t minHeader = static_cast<int32_t>(version_ == dbf_version::kVisualFoxPro
                                               ? dbf_layout::kMinVisualFoxProHeaderLength
                                               : dbf_layout::kMinHeaderLength);
  if (recordLength_ == 0 || headerLength_ < minHeader || headerLength_ > fileSize) return headerInvalid();
  int32_t areaSize = headerLength_ - minHeader;
  int32_t descriptorCount = areaSize / static_cast<int32_t>(dbf_descriptor::kSize);
  if (descriptorCount > static_cast<int32_t>(dbf_layout::kMaxFields)) return headerInvalid();

  std::vector<uint8_t> area(static_cast<size_t>(areaSize));
  if (areaSize > 0) {
    ReadSubCodeScope scope(this, sub_code::kReadHeader);
    int32_t got = ReadAt(static_cast<int32_t>(dbf_header::kSize), area.data(), areaSize);
    if (got < areaSize) return headerInvalid();
  }

  int32_t displacement = 1;
  for (int32_t i = 0; i < descriptorCount; ++i) {
    const uint8_t* descriptor = area.data() + i * dbf_descriptor::kSize;
    if (descriptor[0] == dbf_layout::kDescriptorTerminator) break;
    VRFieldEntry entry;
    std::memcpy(entry.Descriptor, descriptor, dbf_descriptor::kSize);
    entry.Displacement = displacement;
    entry.Number = i + 1;
    displacement += entry.Length();
    if (displacement > recordLength_) return headerInvalid();  // a field reaching past the record
    fields_.push_back(std::move(entry));
  }

  recordCount_ = (fileSize - headerLength_) / recordLength_;
  recordBuffer_.assign(static_cast<size_t>(recordLength_) + 1, ' ');
  recordBuffer_.back() = dbf_layout::kEndOfFile;
  originalRecord_.assign(static_cast<size_t>(recordLength_) + 1, ' ');
  appendBuffer_.assign(static_cast<size_t>(recordLength_) + 1, 0);
  fieldChanged_.assign(fields_.size() + 1, false);
  currentRecord_ = recordBuffer_.data();
  recordNumber_ = 0;
  atEof_ = false;
  atBof_ = true;
  useDeleted_ = true;
  exactMatch_ = false;
  userId_ = 0;
  tableLocked_ = false;
  headerDirty_ = false;
  recordModified_ = false;
  tableState_ = table_state::kNormal;
  ReadHeader();
  RecordEvent(record_event::kOpened, 0);
}

VRO_dBaseDBF::~VRO_dBaseDBF() {
  // Destructors must not throw: a failing header write is dropped here, the
  // record data is already on disk.
  try {
    while (tableLocked_ && lockCount_ > 0) {
      if (!UnlockTable()) break;
    }
    if (headerDirty_) RewriteHeader();
  } catch (const EVelorinError&) {
  }
  currentRecord_ = nullptr;
}

VRFieldEntry* VRO_dBaseDBF::Field(int32_t number) {
  if (number < 1 || number > FieldCount()) return nullptr;
  return &fields_[static_cast<size_t>(number - 1)];
}

const VRFieldEntry* VRO_dBaseDBF::Field(int32_t number) const {
  if (number < 1 || number > FieldCount()) return nullptr;
  return &fields_[static_cast<size_t>(number - 1)];
}

int64_t VRO_dBaseDBF::RecordOffset(int32_t n) const {
  return int64_t{headerLength_} + int64_t{n - 1} * recordLength_;
}

// ---- the header ----------------------------------------------------------------

void VRO_dBaseDBF::ReadHeader() {
  if (!shared_ || recordLength_ <= 0) return;
  {
    ReadSubCodeScope scope(this, sub_code::kReadHeader);
    ReadAt(0, headerImage_, dbf_header::kSize);
  }
  int32_t fileSize = Size();
  recordCount_ = fileSize > headerLength_ ? (fileSize - headerLength_) / recordLength_ : 0;
  changeStamp_ = static_cast<int32_t>(byte_order::GetLE32(headerImage_ + dbf_header::kChangeStamp));
}

void VRO_dBaseDBF::WriteHeader() {
  if (tableLocked_) return;
  StoreHeader();
}

void VRO_dBaseDBF::StoreHeader() {
  if (!readWrite_ || !headerDirty_) return;
  platform::LocalDateTime now = platform::LocalNow();
  headerImage_[dbf_header::kYear] = static_cast<uint8_t>(now.year % 100);
  headerImage_[dbf_header::kMonth] = static_cast<uint8_t>(now.month);
  headerImage_[dbf_header::kDay] = static_cast<uint8_t>(now.day);
  byte_order::PutLE32(headerImage_ + dbf_header::kRecordCount, static_cast<uint32_t>(recordCount_));
  headerImage_[dbf_header::kFlags] =
      static_cast<uint8_t>((hasProductionIndex_ ? dbf_flags::kProductionIndex : 0) |
                           (hasMemoFlag_ ? dbf_flags::kMemoFile : 0) | (isContainer_ ? dbf_flags::kContainer : 0));
  uint32_t stamp = ((static_cast<uint32_t>(now.hour) * 64 + static_cast<uint32_t>(now.minute)) * 64 +
                    static_cast<uint32_t>(now.second)) * 1024 + static_cast<uint32_t>(now.millisecond);
  byte_order::PutLE32(headerImage_ + dbf_header::kChangeStamp, stamp);
  changeStamp_ = static_cast<int32_t>(stamp);
  byte_order::PutLE32(headerImage_ + dbf_header::kUserId, static_cast<uint32_t>(userId_));
  WriteAt(0, headerImage_, dbf_header::kSize);
  headerDirty_ = false;
}

bool VRO_dBaseDBF::LockHeaderTrying(int tries) {
  for (int attempt = 1; attempt <= tries; ++attempt) {
    if (LockHeader()) return true;
    if (status_ != error_code::kLockViolation) return false;
    if (attempt < tries) platform::SleepMilliseconds(kLockRetryIntervalMs);
  }
  return false;
}

void VRO_dBaseDBF::RewriteHeader() {
  if (!readWrite_ || !headerDirty_ || tableLocked_) return;
  if (!LockHeaderTrying(kHeaderRewriteTries)) return;  // stays dirty for a later write
  HeaderLockGuard release(this);
  ReadHeader();
  WriteHeader();
}

bool VRO_dBaseDBF::MarkProductionIndex() {
  if (!readWrite_) return false;
  hasProductionIndex_ = true;
  headerDirty_ = true;
  if (tableLocked_) return true;  // UnlockTable writes it
  if (!(shared_ ? LockHeaderTrying(kAppendLockTries) : LockHeader())) return false;
  HeaderLockGuard release(this);
  ReadHeader();
  WriteHeader();
  return true;
}

// ---- records -------------------------------------------------------------------

bool VRO_dBaseDBF::RecordEvent(uint8_t event, int32_t) {
  switch (event) {
    case record_event::kFieldStored: recordModified_ = true; break;
    case record_event::kAfterRead:
    case record_event::kAfterWrite:
      recordModified_ = false;
      tableState_ = table_state::kNormal;
      break;
    default: break;
  }
  return true;
}

void VRO_dBaseDBF::GoRecord(int32_t request) {
  if (recordCount_ == 0) {
    ReadHeader();
    if (recordCount_ == 0) {
      atEof_ = atBof_ = true;
      return;
    }
  }
  if (request == 0) return;
  atEof_ = atBof_ = false;
  int32_t target;
  switch (request) {
    case nav::kReread: target = recordNumber_; break;
    case nav::kLast: target = recordCount_; break;
    case nav::kFirst: target = 1; break;
    case nav::kPrevious: target = recordNumber_ - 1; break;
    case nav::kNext: target = recordNumber_ + 1; break;
    default:
      if (request < nav::kReread) {
        status_ = error_code::kBeyondEof;
        ReportStatus(sub_code::kReadRecord);
        return;
      }
      target = request;
  }
  // Before the first record (a reread or a step back before anything was read,
  // or back from record 1): nothing to read.
  if (target < 1) {
    atBof_ = true;
    return;
  }
  if (target > recordCount_) {
    ReadHeader();
    if (target > recordCount_) {
      if (target > recordCount_ + 1) {
        status_ = error_code::kBeyondEof;
        ReportStatus(sub_code::kReadRecord);
        return;
      }
      atEof_ = true;
      return;
    }
  }
  RecordEvent(record_event::kBeforeRead, request);
  {
    ReadSubCodeScope scope(this, sub_code::kReadRecord);
    ReadAt(static_cast<int32_t>(RecordOffset(target)), currentRecord_, recordLength_);
  }
  recordNumber_ = target;
  RecordEvent(record_event::kAfterRead, target);
  std::memcpy(originalRecord_.data(), currentRecord_, static_cast<size_t>(recordLength_));
}

void VRO_dBaseDBF::WriteRecord(int32_t n) {
  RecordEvent(record_event::kBeforeWrite, n);
  if (n > recordCount_ || n <= 0 || tableState_ == 3) {
    Append();
    return;
  }
  headerDirty_ = true;
  WriteAt(static_cast<int32_t>(RecordOffset(n)), currentRecord_, recordLength_);
  recordNumber_ = n;
  RewriteHeader();
  RecordEvent(record_event::kAfterWrite, n);
  std::memcpy(originalRecord_.data(), currentRecord_, static_cast<size_t>(recordLength_));
}

void VRO_dBaseDBF::Append() {
  bool locked = shared_ ? LockHeaderTrying(kAppendLockTries) : LockHeader();
  if (!locked) {
    // Appending without the lock could put two records in one slot.
    status_ = error_code::kLockViolation;
    ReportStatus(sub_code::kNone);
    return;
  }
  HeaderLockGuard release(this);

  RecordEvent(record_event::kBeforeWrite, 0);
  headerDirty_ = true;
  ReadHeader();
  currentRecord_[0] = dbf_layout::kActiveFlag;
  int32_t newNumber = recordCount_ + 1;
  int64_t offset = RecordOffset(newNumber);
  if (offset + recordLength_ + 1 > std::numeric_limits<int32_t>::max()) {
    status_ = error_code::kFileTooLarge;
    ReportStatus(sub_code::kWriteAt);
    return;
  }
  // The record and the end-of-file byte in one write; the caller's buffer may not
  // have room for the 0x1A.
  std::memcpy(appendBuffer_.data(), currentRecord_, static_cast<size_t>(recordLength_));
  appendBuffer_[static_cast<size_t>(recordLength_)] = dbf_layout::kEndOfFile;
  WriteAt(static_cast<int32_t>(offset), appendBuffer_.data(), recordLength_ + 1);
  if (status_ != 0) return;
  recordCount_ = newNumber;
  recordNumber_ = newNumber;
  WriteHeader();
  release.Release();
  atEof_ = atBof_ = false;
  RecordEvent(record_event::kAfterWrite, 0);
  std::memcpy(originalRecord_.data(), currentRecord_, static_cast<size_t>(recordLength_));
}

bool VRO_dBaseDBF::IsDeleted() const {
  return currentRecord_ != nullptr && currentRecord_[0] == dbf_layout::kDeletedFlag;
}

// ---- locks ---------------------------------------------------------------------

bool VRO_dBaseDBF::LockHeader() {
  if (tableLocked_) {
    // A nesting level of the table lock, which covers the header byte; the
    // UnlockHeader that matches it gives exactly this level back.
    if (!LockRegion(lockOffset_, lockLength_)) return false;
    ++headerLockNestedInTable_;
    return true;
  }
  if (!shared_) {
    status_ = 0;
    ++headerLockCount_;
    return true;
  }
  if (headerLockCount_ > 0) {
    status_ = 0;
    ++headerLockCount_;
    return true;
  }
  // The header lock is a region of its own, so that a record lock held during an
  // edit does not keep the header write after it from being locked.
  if (closed_) {
    status_ = error_code::kInvalidHandle;
    return false;
  }
  if (!LockExtraRegion(locks_.headerLockOffset, 1)) return false;
  headerLockCount_ = 1;
  return true;
}

void VRO_dBaseDBF::UnlockHeader() {
  if (headerLockNestedInTable_ > 0) {
    --headerLockNestedInTable_;
    UnlockTable();
    return;
  }
  if (headerLockCount_ == 0) return;
  if (--headerLockCount_ == 0 && shared_) UnlockExtraRegion(locks_.headerLockOffset, 1);
}

bool VRO_dBaseDBF::LockTable() {
  if (tableLocked_) return LockRegion(lockOffset_, lockLength_);
  tableLockBase_ = lockCount_;
  tableLocked_ = LockRegion(locks_.fileLockOffset, locks_.fileLockLength);
  if (tableLocked_) ReadHeader();
  return tableLocked_;
}

bool VRO_dBaseDBF::LockTableLow() {
  if (tableLocked_) return LockRegion(lockOffset_, lockLength_);
  tableLockBase_ = lockCount_;
  tableLocked_ = LockRegion(0, locks_.fileLockLength);
  if (tableLocked_) ReadHeader();
  return tableLocked_;
}

bool VRO_dBaseDBF::UnlockTable() {
  bool lastLevel = tableLocked_ && lockCount_ == tableLockBase_ + 1;
  if (lastLevel) {
    // The header writes deferred while the table was locked happen now, while
    // the lock still keeps other appenders out.
    tableLocked_ = false;
    if (headerDirty_ && readWrite_) {
      ReadHeader();
      WriteHeader();
    }
  }
  bool result = Unlock();
  if (!result && lastLevel) tableLocked_ = true;  // the lock is still held
  if (lockCount_ <= tableLockBase_) tableLocked_ = false;
  return result;
}

bool VRO_dBaseDBF::LockRecord() {
  if (tableLocked_) return LockRegion(lockOffset_, lockLength_);
  int64_t n = recordNumber_;
  if (n < 1) {
    status_ = error_code::kInvalidParameter;
    return false;
  }
  switch (lockProtocol_) {
    case static_cast<uint8_t>(TvrLokProtocol::DB4Lock):
      return LockRegion(static_cast<uint32_t>(locks_.headerLockOffset - n - 1), 1);
    case static_cast<uint8_t>(TvrLokProtocol::ClipLock):
      return LockRegion(static_cast<uint32_t>(locks_.fileLockOffset + n), 1);
    case static_cast<uint8_t>(TvrLokProtocol::Default):
    case static_cast<uint8_t>(TvrLokProtocol::FoxLock):
      if (HasIndexFiles()) return LockRegion(static_cast<uint32_t>(locks_.headerLockOffset - n), 1);
      // One byte at the record's own offset moved up by 1 GB.
      return LockRegion(static_cast<uint32_t>(locks_.fileLockOffset + RecordOffset(static_cast<int32_t>(n))), 1);
    default: return false;
  }
}

void VRO_dBaseDBF::SetLockProtocol(uint8_t protocol) {
  lockProtocol_ = protocol;
  if (IsKnownProtocol(protocol)) {
    switch (static_cast<TvrLokProtocol>(protocol)) {
      case TvrLokProtocol::DB4Lock: locks_ = kDB4Locks; break;
      case TvrLokProtocol::ClipLock: locks_ = kClipperLocks; break;
      default: locks_ = kDefaultLocks; break;
    }
  }
  for (VRFieldEntry& field : fields_) {
    if (field.Memo) field.Memo->SetLockProtocol(protocol);
  }
}

bool VRO_dBaseDBF::HasIndexFiles() { return false; }

// ---- flush and rename ----------------------------------------------------------

void VRO_dBaseDBF::Flush() {
  VRO_DiskFile::Flush();
  for (VRFieldEntry& field : fields_) {
    if (field.Memo) {
      field.Memo->Flush();
      break;
    }
  }
  RecordEvent(record_event::kAfterFlush, recordNumber_);
}

bool VRO_dBaseDBF::Rename(const std::string& newName) {
  std::string oldName = fileName_;
  bool renamed = VRO_DiskFile::Rename(TableFileName(newName));
  if (renamed) RenameMemoFile(oldName, fileName_);
  return renamed;
}

bool VRO_dBaseDBF::HasMemoFile() const {
  switch (version_) {
    case dbf_version::kDbase3Memo:
    case dbf_version::kDbase4Memo:
    case dbf_version::kFoxProMemo: return true;
    case dbf_version::kVisualFoxPro: {
      if (hasMemoFlag_) return true;
      bool memoFields = std::any_of(fields_.begin(), fields_.end(),
                                    [this](const VRFieldEntry& f) { return IsMemoFieldType(f.Type(), version_); });
      return memoFields && platform::FileExists(platform::FullPathName(MemoFileNameFor(version_, fileName_)));
    }
    default: return false;
  }
}

void VRO_dBaseDBF::RenameMemoFile(const std::string& oldName, const std::string& newName) {
  for (VRFieldEntry& field : fields_) {
    if (field.Memo) {
      field.Memo->RenameForTable(newName);
      return;
    }
  }
  if (!HasMemoFile()) return;
  // No memo object yet: one is made for the rename only. A memo file that is not
  // there has nothing to follow the table; using a memo field will report it.
  std::string memoName = MemoFileNameFor(version_, oldName);
  if (memoName.empty() || !platform::FileExists(platform::FullPathName(memoName))) return;
  std::unique_ptr<VRobjMemo> memo = MakeMemoForTable(this, version_, oldName, readWrite_, shared_);
  if (memo) memo->RenameForTable(newName);
}

}  // namespace velorin
