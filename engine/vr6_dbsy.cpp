#include "engine/vr6_dbsy.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "engine/field_kind.h"
#include "engine/number_format.h"
#include "engine/text_trim.h"
#include "engine/vr6_Date.h"
#include "engine/vr6_eror.h"
#include "engine/vr6_glbl.h"
#include "engine/vr6_memo.h"
#include "platform/code_page.h"
#include "platform/convert_error.h"
#include "platform/file_names.h"
#include "platform/number_text.h"
#include "platform/os_error.h"

namespace velorin {

namespace {

void UpperInCodePage(std::string& text, int codePage) {
  if (codePage == 0) {
    platform::UpperBuffer(text.data(), text.size());
  } else {
    platform::UpperBuffer(text.data(), text.size(), codePage);
  }
}

// Restores what a long operation changed, on every exit.
class StateRestorer {
 public:
  explicit StateRestorer(std::function<void()> restore) : restore_(std::move(restore)) {}
  ~StateRestorer() {
    if (restore_) restore_();
  }
  StateRestorer(const StateRestorer&) = delete;
  StateRestorer& operator=(const StateRestorer&) = delete;

 private:
  std::function<void()> restore_;
};

}  // namespace

// What Search looks for, prepared once.
struct SearchPattern {
  std::string text;           // the pattern, upper-cased when ignoring case
  bool ignoreCase = false;
  int codePage = 0;           // of the case folding
  bool anyBefore = false;     // the match may start after the field's first character
  bool anyAfter = false;      // the match may end before the field's end
  bool questionMarks = false;  // "?" matches any one character
  bool hasDate = false;
  int32_t day = 0;
  bool hasNumber = false;
  double number = 0.0;
  bool logical = false;

  bool CharactersMatch(const std::string& field, size_t at) const {
    for (size_t i = 0; i < text.size(); ++i) {
      if (questionMarks && text[i] == '?') continue;
      if (field[at + i] != text[i]) return false;
    }
    return true;
  }

  bool MatchesText(std::string field) const {
    if (ignoreCase) UpperInCodePage(field, codePage);
    if (!anyAfter) {
      // A whole-field match: trailing blanks do not count, down to the pattern's length.
      size_t end = field.find_last_not_of(' ');
      size_t trimmed = end == std::string::npos ? 0 : end + 1;
      field.resize(std::max(trimmed, std::min(field.size(), text.size())));
    }
    if (field.size() < text.size()) return false;
    if (!anyBefore) {
      if (!anyAfter && field.size() != text.size()) return false;
      return CharactersMatch(field, 0);
    }
    if (!anyAfter) return CharactersMatch(field, field.size() - text.size());
    for (size_t at = 0; at + text.size() <= field.size(); ++at) {
      if (CharactersMatch(field, at)) return true;
    }
    return false;
  }
};

VRO_dBHandler::VRO_dBHandler(const std::string& fileName, bool readWrite, bool shared)
    : VRO_dBaseFld(fileName, readWrite, shared) {
  SetReadAhead(true);
}

VRO_dBHandler::~VRO_dBHandler() = default;

// ---- navigation ----------------------------------------------------------------

bool VRO_dBHandler::RecordAccepted() { return true; }

bool VRO_dBHandler::IsVisible() { return (!IsDeleted() || useDeleted_) && RecordAccepted(); }

void VRO_dBHandler::GoRecord(int32_t request) {
  if (tableState_ != table_state::kNormal) {
    VRO_dBaseFld::GoRecord(request);  // raw: whatever the record holds
    return;
  }
  if (request == 0) return;  // code 0 does nothing
  atEof_ = atBof_ = false;
  // The code that walks on from a hidden record; 0 for a record number (taken
  // as it is) and for a code the table refuses, so that no walk steps by 0.
  int32_t step = 0;
  switch (request) {
    case nav::kReread:
    case nav::kFirst: step = nav::kNext; break;
    case nav::kLast: step = nav::kPrevious; break;
    case nav::kNext:
    case nav::kPrevious: step = request; break;
    default: break;
  }
  // With the filter in effect natural order walks the filter set.
  bool walkFilter = filterInEffect_ && currentOrder_ == nullptr && step != 0;
  int32_t code = request;
  while (true) {
    int32_t candidate = walkFilter ? FilterCandidate(code) : code;
    if (currentOrder_ != nullptr && code < 0) {
      candidate = currentOrder_->KeyMove(code);
      atEof_ = currentOrder_->Eof();
      atBof_ = currentOrder_->Bof();
      if (atEof_ || atBof_) break;
      if (step != 0 && RecordCacheInUse()) PrefetchRecordsAhead(step);
      if (filterInEffect_ && filterSet_ && !filterSet_->Test(candidate)) {
        code = step;  // the filter refuses it: on in the order
        continue;
      }
    }
    if (candidate == 0) break;  // nothing left in the set: AtEOF or AtBOF
    VRO_dBaseFld::GoRecord(candidate);
    if (atEof_ || atBof_) break;
    if (recordNumber_ <= 0 || recordNumber_ > recordCount_) {
      BlankRecord();
      break;
    }
    if (step == 0 || IsVisible()) break;
    code = step;
  }
  if (lockProtocol_ == static_cast<uint8_t>(TvrLokProtocol::ClipLock)) UnlockIndexes();
}

void VRO_dBHandler::PrefetchRecordsAhead(int32_t step) {
  // Records lie all over the file in index order: asked for early, several
  // come from memory at once instead of one after another.
  constexpr int32_t kAhead = 16;
  int32_t records[kAhead];
  int32_t count = currentOrder_->RecordsAhead(step, records, kAhead);
  for (int32_t i = 0; i < count; ++i) {
    if (records[i] < 1 || records[i] > recordCount_) continue;
    recordCache_.Prefetch(static_cast<int32_t>(RecordOffset(records[i])), recordLength_);
  }
}

void VRO_dBHandler::Skip(int32_t count) {
  if (count == 0) {
    GoRecord(nav::kReread);
    return;
  }
  if (!filterWanted_ && useDeleted_ && currentOrder_ != nullptr) {
    SkipInOrder(count);
    return;
  }
  if (!filterWanted_ && useDeleted_ && currentOrder_ == nullptr) {
    // Nothing is hidden: a direct jump.
    if (recordCount_ == 0) ReadHeader();
    int64_t target = int64_t{recordNumber_} + count;
    bool clamped = false;
    if (target > recordCount_) {
      ReadHeader();
      if (target > recordCount_) {
        target = recordCount_;
        clamped = true;
      }
    }
    if (target < 1) {
      target = 1;
      clamped = true;
    }
    GoRecord(static_cast<int32_t>(target));
    if (clamped) {
      if (count > 0) {
        atEof_ = true;
      } else {
        atBof_ = true;
      }
    }
    return;
  }
  int32_t code = count > 0 ? nav::kNext : nav::kPrevious;
  for (int64_t i = 0; i < (count > 0 ? int64_t{count} : -int64_t{count}); ++i) {
    GoRecord(code);
    if (atEof_ || atBof_) break;
  }
}

void VRO_dBHandler::SkipInOrder(int32_t count) {
  int32_t code = count > 0 ? nav::kNext : nav::kPrevious;
  bool ranOut = false;
  for (int64_t i = 0; i < (count > 0 ? int64_t{count} : -int64_t{count}); ++i) {
    if (currentOrder_->KeyMove(code) == 0) {
      currentOrder_->KeyMove(count > 0 ? nav::kLast : nav::kFirst);
      ranOut = true;
      break;
    }
  }
  int32_t record = currentOrder_->KeyMove(nav::kReread);
  if (record > 0) VRO_dBaseFld::GoRecord(record);
  atEof_ = atBof_ = false;
  if (ranOut || record == 0) {
    if (count > 0) {
      atEof_ = true;
    } else {
      atBof_ = true;
    }
  }
}

bool VRO_dBHandler::Find(const std::string& key) {
  findFound_ = false;
  if (recordCount_ == 0) return false;
  bool clipper = lockProtocol_ == static_cast<uint8_t>(TvrLokProtocol::ClipLock);
  if (clipper && !LockIndexes()) return false;
  StateRestorer unlock([this, clipper] {
    if (clipper) UnlockIndexes();
  });
  if (currentOrder_ == nullptr) {
    GoRecord(nav::kLast);
    atEof_ = true;
    return false;
  }
  TvrVariant sought;
  sought.SetText(key);
  int32_t record = currentOrder_->KeyFind(sought, -1);
  if (record > 0) {
    VRO_dBaseFld::GoRecord(record);
    atEof_ = atBof_ = false;
    while (!IsVisible() && !atEof_) Skip(1);
    if (!atEof_) {
      currentOrder_->AdjustValue(sought);
      const TvrVariant& current = currentOrder_->CurrentKey();
      int32_t position = 0;
      int difference = sought.Compare(&current, &position, -1);
      findFound_ = difference == 0 ||
                   (!exactMatch_ && sought.Kind() == TvrVariantKind::kText && position > sought.Length());
    }
  }
  if (!findFound_) {
    GoRecord(nav::kLast);
    atEof_ = true;
  }
  return findFound_;
}

int32_t VRO_dBHandler::FindInTag(const std::string& tagName, const std::string& key) {
  bool clipper = lockProtocol_ == static_cast<uint8_t>(TvrLokProtocol::ClipLock);
  if (clipper && !LockIndexes()) return -1;
  StateRestorer unlock([this, clipper] {
    if (clipper) UnlockIndexes();
  });
  for (const auto& file : indexFiles_) {
    IndexOrder* tag = file->TagByName(tagName);
    if (tag == nullptr) continue;
    TvrVariant sought;
    sought.SetText(key);
    return tag->KeyFindInTag(sought);
  }
  return -1;
}

// ---- the read-ahead cache ------------------------------------------------------

void VRO_dBHandler::SetReadAheadAllowed(bool allowed) {
  readAheadAllowed_ = allowed;
  if (!allowed) SetReadAhead(false);
}

void VRO_dBHandler::SetReadAhead(bool on) {
  if (!readAheadAllowed_) on = false;
  if (on && readAheadActive_) return;
  if (!on) {
    readAheadBuffer_.clear();
    readAheadBuffer_.shrink_to_fit();
    readAheadActive_ = false;
    readAheadStart_ = -1;
    return;
  }
  int32_t records = std::max(1, kReadAheadBytes / std::max(recordLength_, 1));
  readAheadSize_ = records * std::max(recordLength_, 1);
  readAheadBuffer_.assign(static_cast<size_t>(readAheadSize_), 0);
  readAheadStart_ = -1;
  readAheadEnd_ = 0;
  readAheadActive_ = true;
}

int32_t VRO_dBHandler::ReadAt(int32_t offset, void* buffer, int32_t count) {
  if (RecordCacheInUse() && offset >= headerLength_ && count >= 0 && count <= RecordBlockCache::kBlockBytes) {
    if (!readFile_) {
      readFile_ = [this](int32_t at, void* into, int32_t n) { return VRO_DiskFile::ReadAt(at, into, n); };
    }
    int32_t available = recordCache_.Read(offset, buffer, count, readFile_);
    if (available < count) std::memset(static_cast<char*>(buffer) + available, 0, static_cast<size_t>(count - available));
    bytesDone_ = available;
    position_ = offset + count;
    status_ = available < count ? error_code::kShortRead : 0;
    return available;
  }
  if (!readAheadActive_ || offset < headerLength_ || count > readAheadSize_ || offset < 0 || count < 0) {
    return VRO_DiskFile::ReadAt(offset, buffer, count);
  }
  if (readAheadStart_ < 0 || offset < readAheadStart_ || int64_t{offset} + count > readAheadEnd_) {
    int32_t got = VRO_DiskFile::ReadAt(offset, readAheadBuffer_.data(), readAheadSize_);
    readAheadStart_ = offset;
    readAheadEnd_ = offset + std::max(got, 0);
  }
  // What was asked and what exists; the rest reads as zero bytes.
  int32_t available = std::clamp(readAheadEnd_ - offset, 0, count);
  if (available > 0) {
    std::memcpy(buffer, readAheadBuffer_.data() + (offset - readAheadStart_), static_cast<size_t>(available));
  }
  if (available < count) std::memset(static_cast<char*>(buffer) + available, 0, static_cast<size_t>(count - available));
  bytesDone_ = available;
  position_ = offset + count;
  status_ = available < count ? error_code::kShortRead : 0;
  return available;
}

void VRO_dBHandler::WriteAt(int32_t offset, const void* buffer, int32_t count) {
  try {
    VRO_DiskFile::WriteAt(offset, buffer, count);
  } catch (...) {
    recordCache_.Clear();  // what reached the file is not known
    throw;
  }
  if (status_ == 0) {
    recordCache_.Written(offset, buffer, count);
  } else {
    recordCache_.Clear();  // what reached the file is not known
  }
  if (status_ != 0 || !readAheadActive_ || readAheadStart_ < 0 || offset == 0) return;
  if (offset >= readAheadStart_ && int64_t{offset} + count <= readAheadEnd_) {
    std::memcpy(readAheadBuffer_.data() + (offset - readAheadStart_), buffer, static_cast<size_t>(count));
  } else if (int64_t{offset} + count > readAheadStart_ && offset < readAheadEnd_) {
    readAheadStart_ = -1;  // a write across the cache's edge: drop it
  }
}

void VRO_dBHandler::Truncate(int32_t newSize) {
  recordCache_.Clear();
  VRO_DiskFile::Truncate(newSize);
}

// ---- writes under the index locks ----------------------------------------------

bool VRO_dBHandler::LockIndexes() {
  size_t locked = 0;
  try {
    for (; locked < indexFiles_.size(); ++locked) {
      if (!indexFiles_[locked]->IndexLock()) break;
    }
  } catch (...) {
    for (size_t i = 0; i < locked; ++i) indexFiles_[i]->IndexUnlock();
    throw;
  }
  if (locked == indexFiles_.size()) return true;
  for (size_t i = 0; i < locked; ++i) indexFiles_[i]->IndexUnlock();
  platform::SetLastError(error_code::kLockViolation);
  return false;
}

void VRO_dBHandler::UnlockIndexes() {
  for (auto& file : indexFiles_) file->IndexUnlock();
}

void VRO_dBHandler::Append() {
  if (!LockIndexes()) {
    status_ = error_code::kLockViolation;
    ReportStatus(sub_code::kNone);
    return;
  }
  StateRestorer unlock([this] { UnlockIndexes(); });
  VRO_dBaseFld::Append();
}

void VRO_dBHandler::WriteRecord(int32_t n) {
  if (!LockIndexes()) {
    status_ = error_code::kLockViolation;
    ReportStatus(sub_code::kNone);
    return;
  }
  StateRestorer unlock([this] { UnlockIndexes(); });
  VRO_dBaseFld::WriteRecord(n);
}

bool VRO_dBHandler::RecordEvent(uint8_t event, int32_t number) {
  VRO_dBaseFld::RecordEvent(event, number);
  if (event == record_event::kAfterWrite) UpdateFilterBit(number > 0 ? number : recordNumber_);
  if (event == record_event::kAfterWrite && !indexMaintenanceSuspended_ && !indexFiles_.empty()) {
    for (auto& file : indexFiles_) file->RecordChanged(recordNumber_, number == 0);
    if (currentOrder_ != nullptr) {
      currentOrder_->CurrentRecNo();
      atBof_ = currentOrder_->Bof();
      atEof_ = currentOrder_->Eof();
      if (!filterInEffect_) {
        atEof_ = number == 0 || number == recordCount_;
        atBof_ = number == 1;
      }
    }
  } else if (event == record_event::kAfterFlush) {
    for (auto& file : indexFiles_) file->Flush();
  }
  return true;
}

bool VRO_dBHandler::Rename(const std::string& newName) {
  std::string oldName = NameWithoutExtension(fileName_);
  if (!VRO_dBaseFld::Rename(newName)) return false;
  for (auto& file : indexFiles_) {
    if (CompareTextNoCase(NameWithoutExtension(file->FullName()), oldName) == 0) file->FileRename(fileName_);
  }
  return true;
}

void VRO_dBHandler::SetLockProtocol(uint8_t protocol) {
  VRO_dBaseFld::SetLockProtocol(protocol);
  for (auto& file : indexFiles_) file->LockProtocolSet(protocol);
}

bool VRO_dBHandler::HasIndexFiles() { return !indexFiles_.empty(); }

// ---- index files and filters ---------------------------------------------------

void VRO_dBHandler::ClearRange() {
  if (currentOrder_ != nullptr) currentOrder_->RangeSet(nullptr, false, false, nullptr);
}

void VRO_dBHandler::SetRange(const std::string& low, const std::string& high, bool lowInclusive, bool highInclusive) {
  if (currentOrder_ == nullptr) return;
  TvrVariant lowValue;
  TvrVariant highValue;
  lowValue.SetText(low);
  highValue.SetText(high);
  currentOrder_->RangeSet(&lowValue, lowInclusive, highInclusive, &highValue);
  GoRecord(nav::kFirst);
  if (atBof_) BlankRecord();
}

void VRO_dBHandler::CloseIndexes() {
  recordCache_.Clear();
  currentOrder_ = nullptr;
  currentTagName_.clear();
  indexFiles_.clear();
}

std::string VRO_dBHandler::IndexFileName(const std::string& name) const {
  std::string full = name;
  if (full.find('/') == std::string::npos) full = platform::DirectoryName(fileName_) + "/" + full;
  if (platform::BaseName(full).find('.') == std::string::npos) full += ".NDX";
  return platform::FullPathName(full);
}

void VRO_dBHandler::AddIndexFile(std::unique_ptr<IndexFileLink> file) {
  if (IndexFileCount() >= kMaxIndexFiles) {
    RaiseEngineMessage("Too many index files open - " + file->FullName());
  }
  file->LockProtocolSet(lockProtocol_);
  indexFiles_.push_back(std::move(file));
}

int32_t VRO_dBHandler::OpenIndex(const std::string& name) {
  std::string full = IndexFileName(name);
  for (const auto& file : indexFiles_) {
    if (CompareTextNoCase(file->FullName(), full) == 0) return 1;
  }
  if (!platform::FileExists(full)) {
    status_ = error_code::kFileNotFound;
    Error(status_, sub_code::kNone, full);
    return 2;
  }
  std::string base = platform::BaseName(full);
  size_t dot = base.rfind('.');
  IndexFileOpener opener = IndexFamilyOpener(dot == std::string::npos ? std::string_view() : std::string_view(base).substr(dot));
  if (opener == nullptr) RaiseEngineMessage("Index file type not available - " + full);
  if (IndexFileCount() >= kMaxIndexFiles) RaiseEngineMessage("Too many index files open - " + full);
  std::unique_ptr<IndexFileLink> file = opener(*this, full);
  if (!file) {
    status_ = error_code::kFileNotFound;
    Error(status_, sub_code::kNone, full);
    return 2;
  }
  AddIndexFile(std::move(file));
  return 0;
}

int32_t VRO_dBHandler::OpenIndexes(const std::string* list, const std::string& tagName) {
  CloseIndexes();
  if (list == nullptr) return 1;
  std::string names = *list;
  while (!names.empty() && (names.back() == ' ' || names.back() == ',' || names.back() == ';')) names.pop_back();
  std::vector<std::string> files;
  std::string current;
  bool quoted = false;
  for (char c : names) {
    if (c == '"') {
      quoted = !quoted;
      if (!current.empty()) files.push_back(current);
      current.clear();
    } else if (!quoted && (c == ' ' || c == ',' || c == ';')) {
      if (!current.empty()) files.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) files.push_back(current);
  int32_t result = 0;
  for (const std::string& file : files) {
    result = OpenIndex(file);
    if (result != 0) return result;
  }
  SelectOrder(&tagName, true);
  return result;
}

IndexOrder* VRO_dBHandler::TagByPosition(int32_t n) {
  if (n < 1) return nullptr;
  for (const auto& file : indexFiles_) {
    if (n <= file->TagCount()) return file->TagByIndex(n - 1);
    n -= file->TagCount();
  }
  return nullptr;
}

int32_t VRO_dBHandler::SelectOrder(const std::string* tagName, bool keepPosition) {
  std::string name = tagName == nullptr ? std::string() : TrimBlanks(*tagName);
  IndexOrder* chosen = nullptr;
  int32_t slot = 0;
  if (!name.empty()) {
    for (size_t i = 0; i < indexFiles_.size() && chosen == nullptr; ++i) {
      chosen = indexFiles_[i]->TagByName(name);
      slot = static_cast<int32_t>(i + 1);
    }
    if (chosen == nullptr) return -1;  // no open index file has a tag of that name
  }
  if (currentOrder_ != nullptr) {
    ClearRange();
    currentOrder_->PageCursorRelease();
  }
  currentOrder_ = nullptr;
  currentTagName_.clear();
  if (chosen == nullptr) {
    recordCache_.Clear();  // natural order reads ahead instead
    SetReadAhead(true);
    if (!keepPosition) GoRecord(nav::kFirst);
    return 0;
  }
  SetReadAhead(false);
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  currentTagName_ = name.substr(0, 15);
  currentOrder_ = chosen;
  currentOrder_->PageCursorReset(1);
  GoRecord(keepPosition && recordNumber_ > 0 ? recordNumber_ : nav::kFirst);
  return slot;
}

void VRO_dBHandler::Reindex() {
  IndexOrder* order = currentOrder_;
  bool readAhead = readAheadActive_;
  currentOrder_ = nullptr;
  tableState_ = table_state::kRaw;
  SetReadAhead(true);
  {
    StateRestorer restore([this, readAhead] {
      tableState_ = table_state::kNormal;
      SetReadAhead(false);
      SetReadAhead(readAhead);
    });
    for (auto& file : indexFiles_) file->Reindex();
  }
  currentOrder_ = order;
  if (currentOrder_ != nullptr) currentOrder_->PageCursorReset(0);
  GoRecord(nav::kFirst);
}

// ---- pack ----------------------------------------------------------------------

void VRO_dBHandler::Pack() {
  if (shared_) {
    status_ = error_code::kAccessDenied;
    Error(status_, sub_code::kHandlerLock, fileName_);
    return;
  }
  IndexOrder* order = currentOrder_;
  bool readAhead = readAheadActive_;
  bool anyMemoField = std::any_of(fields_.begin(), fields_.end(),
                                  [this](const VRFieldEntry& f) { return IsMemoFieldType(f.Type(), version_); });
  std::unique_ptr<VRobjMemo> packMemo = anyMemoField ? OpenMemo() : nullptr;
  currentOrder_ = nullptr;
  SetReadAhead(false);
  SetReadAhead(true);
  // The records move without index maintenance; the indexes are rebuilt after.
  indexMaintenanceSuspended_ = true;
  StateRestorer maintain([this] { indexMaintenanceSuspended_ = false; });

  int32_t total = recordCount_;
  int32_t kept = 0;
  ReportProgress(-1, status_kind::kPack, total);
  {
    // The moved records' header writes are deferred to one at the end.
    LockTable();
    StateRestorer unlock([this] {
      if (tableLocked_) UnlockTable();
    });
    for (int32_t i = 1; i <= total; ++i) {
      {
        ReadSubCodeScope scope(this, sub_code::kReadRecord);
        ReadAt(static_cast<int32_t>(RecordOffset(i)), currentRecord_, recordLength_);
      }
      recordNumber_ = i;
      if (!IsDeleted()) {
        ++kept;
        if (kept != i) VRO_dBaseDBF::WriteRecord(kept);
      } else if (packMemo) {
        for (const VRFieldEntry& field : fields_) {
          if (!IsMemoFieldType(field.Type(), version_)) continue;
          std::string text = TrimTrailingBlanks(ReadFieldText(field.Number));
          double block = 0;
          if (IsMachineValue(field)) {
            block = GetNumber(field.Number);
          } else if (!platform::TryTextToFloat(text, &block)) {
            continue;  // no block number in the field
          }
          auto blockNumber = TruncToInt32(block);
          if (blockNumber && *blockNumber > 0) packMemo->FreeBlocks(*blockNumber);
        }
      }
      ReportProgress(status_kind::kPack, i, 0);
    }
    if (kept < total) {
      recordCount_ = kept;
      // The numbers beyond the new end are no records any more.
      if (filterSet_) {
        for (int32_t n = kept + 1; n <= filterSet_->Highest(); ++n) filterSet_->Modify(n, TvrHugeSet::kClearBit);
      }
      int64_t end = RecordOffset(kept + 1);
      uint8_t endOfFile = dbf_layout::kEndOfFile;
      WriteAt(static_cast<int32_t>(end), &endOfFile, 1);
      Truncate(static_cast<int32_t>(end + 1));
    }
    headerDirty_ = true;
  }
  // The header (with the new count) reaches the disk now, for other programs,
  // also when the caller holds the table lock (the table is not shared).
  StoreHeader();
  Flush();
  ReportProgress(0, 0, 0);
  packMemo.reset();
  indexMaintenanceSuspended_ = false;
  if (kept < total) Reindex();
  currentOrder_ = order;
  if (currentOrder_ != nullptr) currentOrder_->PageCursorReset(0);
  SetReadAhead(false);
  SetReadAhead(readAhead);
  GoRecord(nav::kFirst);
}

// ---- search --------------------------------------------------------------------

bool VRO_dBHandler::FieldMatches(int32_t number, const SearchPattern& pattern) {
  const VRFieldEntry* field = Field(number);
  std::string raw = ReadFieldText(number);
  switch (field->Type()) {
    case 'C': return pattern.MatchesText(raw);
    case 'D': {
      if (!pattern.hasDate) return false;
      try {
        return DBFDate().TextToDayNumber(raw) == pattern.day;
      } catch (const platform::EConvertError&) {
        return false;
      }
    }
    case 'F':
    case 'N': {
      double value = 0;
      std::string text = TrimTrailingBlanks(raw);
      if (!pattern.hasNumber || (!text.empty() && !platform::TryTextToFloat(text, &value))) return false;
      return value == pattern.number;
    }
    case 'L': return GetLogical(number) == pattern.logical;
    default: return false;
  }
}

bool VRO_dBHandler::Search(const std::string& text, int32_t fieldNumber, int32_t lastRecord, int32_t& startRecord) {
  if (fieldNumber > FieldCount() || fieldNumber < 0 || text.empty()) return false;
  uint16_t options = searchOptions_;
  SearchPattern pattern;
  pattern.ignoreCase = (options & search_option::kIgnoreCase) != 0;
  pattern.codePage = textCodePage_;
  pattern.text = text;
  if (pattern.ignoreCase) UpperInCodePage(pattern.text, pattern.codePage);
  bool wholeField = (options & search_option::kWholeField) != 0;
  if (options & search_option::kWildcards) {
    bool leading = !pattern.text.empty() && pattern.text.front() == '*';
    if (leading) pattern.text.erase(0, 1);
    bool trailing = !pattern.text.empty() && pattern.text.back() == '*';
    if (trailing) pattern.text.pop_back();
    pattern.anyBefore = leading;
    pattern.anyAfter = trailing;
    pattern.questionMarks = !leading && pattern.text.find('?') != std::string::npos;
  } else {
    pattern.anyBefore = (options & search_option::kFromFirstCharacter) == 0;
    pattern.anyAfter = !wholeField;
  }
  // The date, number and logical of the prepared pattern, wildcards removed.
  if (!pattern.text.empty()) {
    try {
      pattern.day = DBFDate().TextToDayNumber(pattern.text);
      pattern.hasDate = true;
    } catch (const platform::EConvertError&) {
      pattern.day = -1;
    }
    pattern.hasNumber = platform::TryTextToFloat(pattern.text, &pattern.number);
    pattern.logical = IsLogicalTrueLetter(pattern.text[0]);
  }

  ReportProgress(-1, status_kind::kSearch, recordCount_);
  int32_t remembered = recordNumber_;
  IndexOrder* order = currentOrder_;
  bool readAhead = readAheadActive_;
  if (!(options & search_option::kKeepTableState)) tableState_ = table_state::kRaw;
  if (!(options & search_option::kKeepOrder)) currentOrder_ = nullptr;
  if (currentOrder_ == nullptr) SetReadAhead(true);

  int32_t visited = 0;
  bool found = false;
  {
    StateRestorer restore([&] {
      tableState_ = table_state::kNormal;
      SetReadAhead(false);
      SetReadAhead(readAhead);
      currentOrder_ = order;
    });
    if (startRecord > 0) {
      GoRecord(startRecord);
      Skip(1);
    } else {
      GoRecord(nav::kFirst);
    }
    while (!atEof_ && !(lastRecord > 0 && recordNumber_ > lastRecord) && recordNumber_ > 0) {
      ++visited;
      // The first record may have been read raw: it must pass the same tests as
      // the records that navigation reaches.
      if (IsVisible()) {
        for (int32_t f = (fieldNumber == 0 ? 1 : fieldNumber); f <= (fieldNumber == 0 ? FieldCount() : fieldNumber);
             ++f) {
          if (fieldNumber == 0 && Field(f)->Type() == 'L') continue;
          if (FieldMatches(f, pattern)) {
            found = true;
            break;
          }
        }
      }
      if (found) break;
      ReportProgress(status_kind::kSearch, visited, 0);
      GoRecord(nav::kNext);
    }
  }
  if (found) {
    startRecord = recordNumber_;
    GoRecord(recordNumber_);
  } else if (remembered > 0) {
    GoRecord(remembered);
  }
  ReportProgress(0, visited, 0);
  return found;
}

}  // namespace velorin
