#include "index/vr6_indx.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "engine/text_trim.h"
#include "engine/vr6_dbsy.h"
#include "platform/clock.h"
#include "platform/convert_error.h"
#include "platform/file_names.h"

namespace velorin {

namespace {

std::string UpperAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The path up to the extension of its file-name part.
std::string PathWithoutExtension(const std::string& path) {
  std::string name = platform::BaseName(path);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? path : path.substr(0, path.size() - (name.size() - dot));
}

}  // namespace

std::string UpperTrimmed(std::string_view text) { return UpperAscii(TrimBlanks(text)); }

// ---- a page in memory ----------------------------------------------------------------

size_t VRobjIndexKey::MemoryUse() const {
  // Each key's buffer is its own allocation (rounded up, with the allocator's
  // word); the pack holds the keys again, with a slot each.
  size_t bytes = sizeof(VRobjIndexKey) + Entries.capacity() * sizeof(VRobjIndexKeyData);
  for (const VRobjIndexKeyData& entry : Entries) {
    auto capacity = static_cast<size_t>(entry.Capacity());
    bytes += (capacity + 15) / 16 * 16 + 16 + capacity + 24;
  }
  return bytes;
}

// ---- the index file ----------------------------------------------------------------

VRobjIndexFile::VRobjIndexFile(VRO_dBHandler* table)
    : table_(table), exactMatch_(table == nullptr || table->ExactMatch()) {}

VRobjIndexFile::~VRobjIndexFile() {
  // Whatever a cursor still holds dirty reaches the file; a failure here cannot
  // be reported any more.
  try {
    for (auto& tag : tags_) tag->PageCursorRelease();
  } catch (const std::exception&) {
  }
  if (disk_) disk_->Close();
}

bool VRobjIndexFile::IndexFileOpen(const std::string& name, bool overwrite, bool create,
                                   const std::string& defaultExtension) {
  std::string path = DefaultExtension(TrimBlanks(name), defaultExtension);
  // The name part upper-cased for the file name of messages and comparisons; the
  // path keeps its letter case (the disk file resolves it against the directory).
  fileName_ = UpperAscii(platform::BaseName(path));
  if (table_ != nullptr && path.find('/') == std::string::npos) {
    path = platform::DirectoryName(table_->FileName()) + "/" + path;
  }
  bool readWrite = table_ == nullptr || table_->ReadWrite();
  bool shared = table_ != nullptr && table_->Shared();
  disk_ = std::make_unique<VRO_DiskFile>(path, readWrite || create, shared);
  fullName_ = disk_->FileName();
  if (create && (overwrite || !disk_->Existed())) {
    disk_->CreateEmpty();
    return true;
  }
  if (!disk_->Existed()) {
    disk_.reset();
    return false;
  }
  disk_->Open();
  return true;
}

bool VRobjIndexFile::IsFileNamed(const std::string& path) const {
  return UpperAscii(platform::BaseName(path)) == fileName_;
}

void VRobjIndexFile::FileError(int32_t code, int32_t subCode) const {
  if (table_ != nullptr) {
    table_->Error(code, subCode, fullName_);
  } else {
    EngineErrorProc(code, subCode, fullName_);
  }
  throw EVelorinError(EngineErrorMessage(code, subCode, fullName_));
}

void VRobjIndexFile::Damaged() const { FileError(index_error::kDamaged, sub_code::kNone); }

VRobjIndexTag* VRobjIndexFile::Tag(int32_t index) const {
  return index >= 0 && index < TagCount() ? tags_[static_cast<size_t>(index)].get() : nullptr;
}

IndexOrder* VRobjIndexFile::TagByName(const std::string& name) {
  std::string wanted = UpperTrimmed(name);
  for (auto& tag : tags_) {
    if (UpperAscii(tag->Name()) == wanted) return tag.get();
  }
  return nullptr;
}

bool VRobjIndexFile::TagAdd(const std::string&, const std::string&, bool, bool, const std::string&) { return false; }

bool VRobjIndexFile::TagRemove(const std::string&) { return false; }

void VRobjIndexFile::ProductionFlagSet() {
  if (table_ == nullptr || table_->HasProductionIndex() || !disk_) return;
  if (UpperAscii(PathWithoutExtension(fullName_)) != UpperAscii(PathWithoutExtension(table_->FileName()))) return;
  table_->MarkProductionIndex();
}

void VRobjIndexFile::LockProtocolSet(uint8_t protocol) {
  lockProtocol_ = protocol;
  switch (static_cast<TvrLokProtocol>(protocol)) {
    case TvrLokProtocol::DB4Lock: offsets_ = {0x40000000u, 0xEFFFFFFFu, 0xB0000000u}; break;
    case TvrLokProtocol::ClipLock: offsets_ = {1000000000u, 1000000000u, 1000000000u}; break;
    default: offsets_ = {0x40000000u, 0x7FFFFFFEu, 0x3FFFFFFFu}; break;
  }
}

void VRobjIndexFile::LockRegionOf(uint32_t& offset, uint32_t& length) const {
  switch (static_cast<TvrLokProtocol>(lockProtocol_)) {
    case TvrLokProtocol::DB4Lock:
      offset = offsets_.b - 1;
      length = 2;
      break;
    case TvrLokProtocol::ClipLock:
      offset = offsets_.a;
      length = 1;
      break;
    default:
      offset = offsets_.b - 1;
      length = 1;
      break;
  }
}

bool VRobjIndexFile::IndexLock() {
  if (!disk_) return false;
  if (!disk_->Shared() || lockDepth_ > 0) {
    ++lockDepth_;
    return true;
  }
  uint32_t offset = 0;
  uint32_t length = 0;
  LockRegionOf(offset, length);
  constexpr int kTries = VRO_dBHandler::kLockRetryTimeMs / VRO_dBHandler::kLockRetryIntervalMs;
  for (int attempt = 0; attempt < kTries; ++attempt) {
    if (disk_->LockRegion(offset, length)) {
      lockDepth_ = 1;
      // Another program may have changed everything since we last looked.
      allocationPoint_ = -1;
      for (auto& tag : tags_) tag->DropCache();
      return true;
    }
    platform::SleepMilliseconds(VRO_dBHandler::kLockRetryIntervalMs);
  }
  RaiseEngineMessage("Error " + std::to_string(disk_->Status()) + " in Lock of " + disk_->FileName());
}

void VRobjIndexFile::IndexUnlock() {
  if (lockDepth_ == 0) return;
  if (--lockDepth_ == 0 && disk_ && disk_->Shared()) disk_->Unlock();
}

bool VRobjIndexFile::RecordChanged(int32_t record, bool isNew) {
  allocationPoint_ = -1;
  for (auto& tag : tags_) tag->KeyUpdate(record, isNew);
  return true;
}

bool VRobjIndexFile::FileRename(const std::string& newTableName) {
  if (!disk_) return false;
  std::string extension = platform::BaseName(fullName_);
  size_t dot = extension.rfind('.');
  extension = dot == std::string::npos ? std::string() : extension.substr(dot);
  std::string directory = platform::DirectoryName(newTableName);
  std::string target = NameWithoutExtension(newTableName) + extension;
  if (!directory.empty()) target = directory + "/" + target;
  if (!disk_->Rename(target)) return false;
  fullName_ = disk_->FileName();
  fileName_ = UpperAscii(platform::BaseName(fullName_));
  return true;
}

void VRobjIndexFile::Flush() {
  if (disk_) disk_->Flush();
}

bool VRobjIndexFile::BlockAt(int32_t unit, int32_t unitSize, void* buffer, int32_t length) {
  int64_t offset = int64_t{unit} * unitSize;
  if (!disk_ || unit < 0 || offset + length > std::numeric_limits<int32_t>::max()) return false;
  return disk_->ReadAt(static_cast<int32_t>(offset), buffer, length) == length;
}

void VRobjIndexFile::BlockPut(int32_t unit, int32_t unitSize, const void* buffer, int32_t length) {
  int64_t offset = int64_t{unit} * unitSize;
  if (!disk_ || unit < 0 || offset + length > std::numeric_limits<int32_t>::max()) {
    FileError(error_code::kFileTooLarge, sub_code::kWriteAt);
  }
  disk_->WriteAt(static_cast<int32_t>(offset), buffer, length);
}

int32_t VRobjIndexFile::UnitsInFile(int32_t unitSize) const {
  int32_t size = disk_ ? disk_->Size() : 0;
  return size <= 0 ? 0 : static_cast<int32_t>((int64_t{size} + unitSize - 1) / unitSize);
}

int32_t VRobjIndexFile::PageOffsetEnd(int32_t pageSize) {
  allocationPoint_ = static_cast<int32_t>(int64_t{UnitsInFile(pageSize)} * pageSize);
  return allocationPoint_;
}

int32_t VRobjIndexFile::PageOffsetAllocate(int32_t pageSize) {
  if (allocationPoint_ < 0) PageOffsetEnd(pageSize);
  if (allocationPoint_ > std::numeric_limits<int32_t>::max() - pageSize) {
    FileError(error_code::kFileTooLarge, sub_code::kWriteAt);
  }
  int32_t page = allocationPoint_;
  allocationPoint_ += pageSize;
  return page;
}

IndexFileLockScope::IndexFileLockScope(VRobjIndexFile& file) : disk_(*file.Disk()) {
  if (!disk_.LockFile()) file.FileError(error_code::kLockViolation, sub_code::kNone);
}

IndexFileLockScope::~IndexFileLockScope() { disk_.Unlock(); }

// ---- the order: basics ---------------------------------------------------------------

VRobjIndexTag::VRobjIndexTag(VRobjIndexFile& file, int32_t headerPosition)
    : file_(file), headerPosition_(headerPosition) {}

VRobjIndexTag::~VRobjIndexTag() = default;

bool VRobjIndexTag::TagCreate(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
                              const std::string& forExpression) {
  name_ = UpperTrimmed(name);
  keyText_ = TrimBlanks(keyExpression);
  forText_ = TrimBlanks(forExpression);
  unique_ = unique;
  ascending_ = ascending;
  KeyExprCompile();
  ForExprCompile();
  return true;
}

void VRobjIndexTag::BuildNewOrder(int32_t pageSize) {
  headerPosition_ = file_.PageAllocate();
  rootPage_ = 0;
  std::vector<uint8_t> zeroes(static_cast<size_t>(pageSize), 0);
  file_.BlockWrite(headerPosition_, zeroes.data(), pageSize);
  VRO_dBHandler* table = file_.Table();
  if (table == nullptr || table->RecordCount() == 0) {
    rootPage_ = file_.PageAllocate();
    file_.BlockWrite(rootPage_, zeroes.data(), pageSize);
    headerDirty_ = true;
    TagStore();
  } else {
    BulkBuild();
  }
}

void VRobjIndexTag::KeyExprCompile() {
  keyExpression_.reset();
  if (file_.Table() != nullptr && !keyText_.empty()) keyExpression_ = KeyExpression::Compile(*file_.Table(), keyText_);
}

void VRobjIndexTag::ForExprCompile() {
  forExpression_.reset();
  if (file_.Table() != nullptr && !forText_.empty()) forExpression_ = KeyExpression::Compile(*file_.Table(), forText_);
}

void VRobjIndexTag::KeyEvaluate(VRobjIndexKeyData& result) {
  if (!keyExpression_) RaiseEngineMessage("No key expression in " + file_.FullName());
  keyExpression_->Evaluate(result);
  try {
    AdjustValue(result);
  } catch (const platform::EConvertError&) {
    file_.Damaged();  // the header's key type is not what the key expression gives
  }
  if (KeyLengthOf(result) > keyLength_) {
    RaiseEngineMessage("Key longer than the key length of " + file_.FullName() + " (" +
                       std::to_string(KeyLengthOf(result)) + " > " + std::to_string(keyLength_) + ")");
  }
}

bool VRobjIndexTag::ForEvaluate() {
  if (!forExpression_) return true;
  TvrVariant result;
  forExpression_->Evaluate(result);
  return forExpression_->ResultType() == 'L' && result.AsBoolean();
}

void VRobjIndexTag::DropCache() { cache_.Clear(); }

void VRobjIndexTag::ForgetCursor() {
  path_.clear();
  dirty_.clear();
  DropCache();
}

void VRobjIndexTag::TextKeyForm(TvrVariant& value) {
  if (value.Kind() == TvrVariantKind::kText) {
    value.TrimText();
    return;
  }
  std::string text = value.Kind() == TvrVariantKind::kText ? std::string(value.Bytes()) : value.AsString();
  size_t end = text.find_last_not_of(' ');
  text.resize(end == std::string::npos ? 0 : end + 1);
  value.SetText(text);
}

void VRobjIndexTag::DateKeyForm(TvrVariant& value, double blankDate) {
  // A day number, from a date, a number or a text; the blank date sorts last.
  double number = KeyDayNumber(value);
  value.SetFloat(number < 0.1 ? blankDate : number);
}

double VRobjIndexTag::KeyDayNumber(const TvrVariant& value) {
  return value.Kind() == TvrVariantKind::kNumeric ? value.AsFloat() : value.AsDate();
}

void VRobjIndexTag::SoughtKeyForm(TvrVariant& key) const {
  try {
    AdjustValue(key);
  } catch (const platform::EConvertError& e) {
    RaiseEngineMessage(e.what());
  }
}

bool VRobjIndexTag::KeyLayoutFromSample(int32_t numericLength, int32_t dateLength) {
  if (!keyExpression_ || file_.Table() == nullptr) return false;
  TvrVariant sample;
  keyExpression_->Evaluate(sample);
  switch (keyExpression_->ResultType()) {
    case 'N': keyType_ = 'N'; keyLength_ = numericLength; break;
    case 'D': keyType_ = 'D'; keyLength_ = dateLength; break;
    default:
      keyType_ = 'C';
      keyLength_ = sample.Kind() == TvrVariantKind::kText ? sample.Length() : static_cast<int32_t>(sample.AsString().size());
  }
  if (keyLength_ <= 0) RaiseEngineMessage("Index key of length 0 - " + file_.FullName());
  return true;
}

void VRobjIndexTag::Remember(const std::shared_ptr<VRobjIndexKey>& node) {
  cache_.Put(node->Page, node, node->MemoryUse());  // nodes on the cursor outlive a restart
}

std::shared_ptr<VRobjIndexKey> VRobjIndexTag::NodeAt(int32_t page, const VRobjIndexKeyData* above) {
  if (const std::shared_ptr<VRobjIndexKey>* found = cache_.Find(page)) return *found;
  int32_t end = file_.AllocationPoint();
  if (end < 0) end = file_.PageEndRefresh();
  if (page <= 0 || page >= end) file_.Damaged();
  std::shared_ptr<VRobjIndexKey> node = PageLoadBelow(page, above);
  node->Page = page;
  Remember(node);
  return node;
}

void VRobjIndexTag::BeginRead() {
  if (!file_.Shared()) return;
  if (!file_.LockedHere()) {
    DropCache();
    file_.SetAllocationPoint(-1);
  }
  rootPage_ = RootPageGet();
}

int VRobjIndexTag::CompareKey(const TvrVariant& key, const TvrVariant& entry, int prefixResult) const {
  int result = key.Compare(&entry, nullptr, prefixResult);
  return treeDescending_ ? -result : result;
}

// ---- the cursor --------------------------------------------------------------------------

void VRobjIndexTag::OpenRoot() {
  path_.clear();
  if (rootPage_ <= 0) rootPage_ = RootPageGet();
  path_.push_back({NodeAt(rootPage_), -1});
}

void VRobjIndexTag::ChildDescend(size_t level, bool atEnd) {
  if (level + 1 >= static_cast<size_t>(kMaxDepth)) file_.Damaged();  // a cycle, or a tree no writer makes
  const CursorLevel& parent = path_[level];
  const VRobjIndexKeyData& entry = parent.node->Entries[static_cast<size_t>(parent.position)];
  bool rightEdge = true;
  for (size_t l = 0; l <= level && rightEdge; ++l) rightEdge = path_[l].position == path_[l].node->Count() - 1;
  // The pointer from the pack when there is one: the search has just read it.
  const PackedKeys& packed = parent.node->Packed();
  int32_t pointer = packed.Kind() == TvrVariantKind::kNone ? entry.Pointer : packed.PointerAt(parent.position);
  std::shared_ptr<VRobjIndexKey> child = NodeAt(pointer, rightEdge ? nullptr : &entry);
  path_.resize(level + 1);
  int32_t position = atEnd ? child->Count() - 1 : 0;
  if (!child->Leaf && child->Count() == 0) file_.Damaged();
  path_.push_back({child, position});
}

bool VRobjIndexTag::EntryFirst() {
  OpenRoot();
  path_[0].position = 0;
  if (!path_[0].node->Leaf && path_[0].node->Count() == 0) file_.Damaged();
  for (size_t level = 0; !path_[level].node->Leaf; ++level) ChildDescend(level, false);
  if (path_.back().node->Count() > 0) return true;
  path_.back().position = -1;
  return EntryNext();
}

bool VRobjIndexTag::EntryLast() {
  OpenRoot();
  path_[0].position = path_[0].node->Count() - 1;
  if (!path_[0].node->Leaf && path_[0].node->Count() == 0) file_.Damaged();
  for (size_t level = 0; !path_[level].node->Leaf; ++level) ChildDescend(level, true);
  if (path_.back().node->Count() > 0) return true;
  path_.back().position = 0;
  return EntryPrior();
}

bool VRobjIndexTag::EntryNext() {
  if (path_.empty()) return false;
  CursorLevel& leaf = path_.back();
  if (leaf.position + 1 < leaf.node->Count()) {
    ++leaf.position;
    return true;
  }
  while (true) {
    int64_t up = static_cast<int64_t>(path_.size()) - 2;
    while (up >= 0 && path_[static_cast<size_t>(up)].position + 1 >= path_[static_cast<size_t>(up)].node->Count()) --up;
    if (up < 0) {
      path_.back().position = path_.back().node->Count();
      return false;
    }
    auto level = static_cast<size_t>(up);
    ++path_[level].position;
    for (; !path_[level].node->Leaf; ++level) ChildDescend(level, false);
    if (path_.back().node->Count() > 0) return true;
  }
}

bool VRobjIndexTag::EntryPrior() {
  if (path_.empty()) return false;
  CursorLevel& leaf = path_.back();
  if (leaf.position > 0) {
    leaf.position = std::min(leaf.position, leaf.node->Count()) - 1;
    if (leaf.position >= 0) return true;
  }
  while (true) {
    int64_t up = static_cast<int64_t>(path_.size()) - 2;
    while (up >= 0 && path_[static_cast<size_t>(up)].position <= 0) --up;
    if (up < 0) {
      path_.back().position = -1;
      return false;
    }
    auto level = static_cast<size_t>(up);
    --path_[level].position;
    for (; !path_[level].node->Leaf; ++level) ChildDescend(level, true);
    if (path_.back().node->Count() > 0) return true;
  }
}

bool VRobjIndexTag::EntryCurrent() {
  if (path_.empty()) return false;
  const CursorLevel& leaf = path_.back();
  if (!leaf.node->Leaf || leaf.position < 0 || leaf.position >= leaf.node->Count()) return false;
  const VRobjIndexKeyData& entry = leaf.node->Entries[static_cast<size_t>(leaf.position)];
  const PackedKeys& packed = leaf.node->Packed();
  if (packed.Kind() == TvrVariantKind::kNone) {
    currentKey_ = entry;
    return true;
  }
  // From the pack, which a seek has just read: the entry and its own buffer
  // would be more cache misses.
  std::string_view bytes = packed.KeyAt(leaf.position);
  currentKey_.SetBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
  currentKey_.SetKind(packed.Kind());
  currentKey_.RecNo = packed.RecNoAt(leaf.position);
  currentKey_.Pointer = packed.PointerAt(leaf.position);
  return true;
}

int VRobjIndexTag::NodeSearch(int32_t record, const TvrVariant& key, int prefixResult) {
  OpenRoot();
  bool byRecord = file_.DuplicatesByRecNo() && record != kAnyRecord && record != kAfterEqualKeys;
  // The adjusted comparison of the search key with an entry: c, the keys'
  // comparison; record, the entry's record number.
  auto adjusted = [&](int c, int32_t other) {
    if (c == 0 && record == kAfterEqualKeys) return 1;
    if (c == 0 && byRecord) return record > other ? 1 : (record < other ? -1 : 0);
    return c;
  };
  // Through the node's pack, with the key prepared for it.
  auto compareAt = [&](const VRobjIndexKey& node, const PackedKeys& packed, const PackedKeys::Probe& probe, int32_t i) {
    if (packed.Kind() == TvrVariantKind::kNone) {
      const VRobjIndexKeyData& entry = node.Entries[static_cast<size_t>(i)];
      return adjusted(CompareKey(key, entry, prefixResult), node.Leaf ? entry.Pointer : entry.RecNo);
    }
    int c = packed.Compare(probe, i);
    if (treeDescending_) c = -c;
    return c == 0 ? adjusted(c, node.Leaf ? packed.PointerAt(i) : packed.RecNoAt(i)) : c;
  };
  auto probeFor = [&](const PackedKeys& packed) {
    return packed.Kind() == TvrVariantKind::kNone ? PackedKeys::Probe{}
                                                   : packed.Prepare(key.Kind(), key.Bytes(), prefixResult);
  };
  size_t level = 0;
  while (true) {
    CursorLevel& current = path_[level];
    const VRobjIndexKey& node = *current.node;
    if (node.Count() == 0) {
      if (!node.Leaf) file_.Damaged();
      current.position = 0;
      return 1;
    }
    // The first entry the key does not exceed; interior nodes go into their last
    // child when the key exceeds every other one.
    bool packedBefore = node.PackedBuilt();
    const PackedKeys& packed = node.Packed();
    if (!packedBefore) cache_.SetHint(node.Page, packed.Data());
    PackedKeys::Probe probe = probeFor(packed);
    int32_t searched = node.Leaf ? node.Count() : node.Count() - 1;
    int32_t low = 0;
    int32_t high = searched;
    while (low < high) {
      int32_t middle = low + (high - low) / 2;
      if (compareAt(node, packed, probe, middle) > 0) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    current.position = low;
    if (node.Leaf) break;
    ChildDescend(level, false);
    ++level;
  }
  int result;
  if (path_.back().position >= path_.back().node->Count()) {
    // Every key of this leaf is smaller: the next leaf's first key, if any.
    path_.back().position = path_.back().node->Count() - 1;
    if (!EntryNext()) return 1;
  }
  {
    const CursorLevel& leaf = path_.back();
    const PackedKeys& packed = leaf.node->Packed();
    result = compareAt(*leaf.node, packed, probeFor(packed), leaf.position) == 0 ? 0 : -1;
  }
  if (record == kAnyRecord || record == kAfterEqualKeys || file_.DuplicatesByRecNo()) return result;
  // Among equal keys, on to the wanted record, through the following leaves too.
  while (result == 0) {
    const CursorLevel& leaf = path_.back();
    if (leaf.node->Entries[static_cast<size_t>(leaf.position)].Pointer == record) return 0;
    if (!EntryNext()) return 1;
    const CursorLevel& next = path_.back();
    result = CompareKey(key, next.node->Entries[static_cast<size_t>(next.position)], prefixResult) == 0 ? 0 : -1;
  }
  return result;
}

// ---- seeking and walking --------------------------------------------------------------

void VRobjIndexTag::RangeCheck() {
  if ((lowBound_.IsEmpty() && highBound_.IsEmpty()) || bof_ || eof_) return;
  if (!highBound_.IsEmpty() && CompareKey(highBound_, currentKey_, 0) < 0) eof_ = true;
  if (!eof_ && !lowBound_.IsEmpty() && CompareKey(lowBound_, currentKey_, 0) > 0) bof_ = true;
}

int VRobjIndexTag::RangeResult() {
  if (lowBound_.IsEmpty() && highBound_.IsEmpty()) return 0;
  if (bof_ || eof_) return eof_ ? 1 : -1;
  if (!highBound_.IsEmpty()) {
    int c = CompareKey(highBound_, currentKey_, 0);
    if (c == 0 && highInclusive_) c = 1;
    if (c < 0) return c;
  }
  if (lowBound_.IsEmpty()) return 0;
  int c = CompareKey(lowBound_, currentKey_, 0);
  if (c == 0 && lowInclusive_) c = -1;
  return c + 1;
}

int32_t VRobjIndexTag::KeyMove(int32_t code) {
  currentKey_.Pointer = 0;
  if (walkReversed_) {
    if (code == -4) code = -3; else if (code == -3) code = -4;
    else if (code == -2) code = -1; else if (code == -1) code = -2;
  }
  bof_ = eof_ = false;
  switch (code) {
    case -5:
      if (!EntryCurrent()) bof_ = eof_ = true;
      RangeCheck();
      break;
    case -4:
      BeginRead();
      if (highBound_.IsEmpty() || updating_) {
        if (!EntryLast()) eof_ = true;
      } else if (NodeSearch(kAfterEqualKeys, highBound_, 1) == -1) {
        if (!EntryPrior()) bof_ = true;
      } else if (!EntryLast()) {
        eof_ = true;
      }
      if (!(bof_ || eof_) && !EntryCurrent()) eof_ = true;
      RangeCheck();
      if (bof_ || eof_) bof_ = eof_ = true;
      break;
    case -3:
      BeginRead();
      if (lowBound_.IsEmpty() || updating_) {
        if (!EntryFirst()) bof_ = true;
      } else if (NodeSearch(kAnyRecord, lowBound_, 0) == 1) {
        eof_ = true;
      }
      if (!(bof_ || eof_) && !EntryCurrent()) bof_ = true;
      RangeCheck();
      if (bof_ || eof_) bof_ = eof_ = true;
      break;
    case -2:
      if (path_.empty() || !EntryPrior()) bof_ = true; else EntryCurrent();
      RangeCheck();
      break;
    case -1:
      if (path_.empty() || !EntryNext()) eof_ = true; else EntryCurrent();
      RangeCheck();
      break;
    default: return 0;
  }
  if (bof_ || eof_) currentKey_.Pointer = 0;
  if (walkReversed_) std::swap(bof_, eof_);
  return currentKey_.Pointer;
}

int32_t VRobjIndexTag::KeyFind(const TvrVariant& key, int32_t record) {
  VRO_dBHandler* table = file_.Table();
  file_.SetExactMatch(table == nullptr || table->ExactMatch());
  currentKey_.Pointer = 0;
  static_cast<TvrVariant&>(soughtKey_) = key;
  SoughtKeyForm(soughtKey_);
  BeginRead();
  bof_ = eof_ = false;
  int result = NodeSearch(record, soughtKey_, file_.ExactMatch() ? -1 : 0);
  if (result == 1 || !EntryCurrent()) {
    eof_ = true;
    currentKey_.Pointer = 0;
    return 0;
  }
  if (result == -1) {
    if (RangeResult() < 0) eof_ = true;
    return 0;
  }
  if (RangeResult() == 0) return currentKey_.Pointer;
  eof_ = true;
  return 0;
}

int32_t VRobjIndexTag::KeyFindInTag(const TvrVariant& key) {
  std::vector<CursorLevel> savedPath = path_;
  VRobjIndexKeyData savedKey = currentKey_;
  bool savedBof = bof_;
  bool savedEof = eof_;
  VRO_dBHandler* table = file_.Table();
  bool savedExact = table != nullptr && table->ExactMatch();
  if (table != nullptr) table->SetExactMatch(true);
  int32_t found = 0;
  try {
    found = KeyFind(key, kAnyRecord);
  } catch (...) {
    if (table != nullptr) table->SetExactMatch(savedExact);
    throw;
  }
  if (table != nullptr) table->SetExactMatch(savedExact);
  path_ = std::move(savedPath);
  currentKey_ = savedKey;
  bof_ = savedBof;
  eof_ = savedEof;
  return found;
}

int32_t VRobjIndexTag::CurrentRecNo() {
  PageCursorReset(1);
  return bof_ || eof_ ? 0 : currentKey_.Pointer;
}

int32_t VRobjIndexTag::RangeSet(const TvrVariant* low, bool lowInclusive, bool highInclusive,
                                const TvrVariant* high) {
  lowBound_.Clear();
  highBound_.Clear();
  lowInclusive_ = lowInclusive;
  highInclusive_ = highInclusive;
  if (low != nullptr && !low->IsEmpty()) {
    lowBound_ = *low;
    SoughtKeyForm(lowBound_);
  }
  if (high != nullptr && !high->IsEmpty()) {
    highBound_ = *high;
    SoughtKeyForm(highBound_);
  }
  return KeyMove(-3);
}

void VRobjIndexTag::PageCursorReset(int32_t mode) {
  PageCursorRelease();
  BeginRead();
  OpenRoot();
  if (mode == 2) return;
  VRO_dBHandler* table = file_.Table();
  if (mode == 1 && keyExpression_ && table != nullptr && table->RecordNumber() > 0 &&
      table->RecordNumber() <= table->RecordCount() && path_[0].node->Count() > 0) {
    VRobjIndexKeyData key;
    KeyEvaluate(key);
    if (NodeSearch(table->RecordNumber(), key, -1) == 0 && EntryCurrent() && KeyMove(-5) > 0) return;
  }
  KeyMove(-3);
}

void VRobjIndexTag::PageCursorRelease() {
  WriteDirty();
  path_.clear();
  if (headerDirty_) TagStore();
}

}  // namespace velorin
