#include "index/vr6_cdx.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/byte_order.h"
#include "engine/vr6_dbsy.h"
#include "index/cdx_keys.h"

namespace velorin {

namespace {

using namespace cdx_format;

constexpr int32_t kMaxTagName = kDirectoryKeyLength;

// Keeps the index lock of a file for as long as it lives.
class IndexLockScope {
 public:
  explicit IndexLockScope(VRobjIndexFile& file) : file_(file) { file_.IndexLock(); }
  ~IndexLockScope() { file_.IndexUnlock(); }
  IndexLockScope(const IndexLockScope&) = delete;
  IndexLockScope& operator=(const IndexLockScope&) = delete;

 private:
  VRobjIndexFile& file_;
};

}  // namespace

// ---- the tag: header -----------------------------------------------------------------

VRobjCDXTag::VRobjCDXTag(VRobjCDXFile& file, int32_t headerPosition, bool directory, const std::string& name)
    : VRobjIndexTag(file, headerPosition), directory_(directory) {
  name_ = name;
  options_ = directory ? options::kDirectoryTag : options::kTag;
  if (headerPosition >= 0) {
    TagLoad();
    return;
  }
  keyLength_ = kDirectoryKeyLength;
  headerPosition_ = file.PageAllocate();
  file.PageAllocate();
  headerDirty_ = true;
}

VRobjCDXFile& VRobjCDXTag::CdxFile() const { return static_cast<VRobjCDXFile&>(file_); }

void VRobjCDXTag::TagLoad() {
  uint8_t header[kHeaderSize];
  if (!file_.BlockRead(headerPosition_, header, kHeaderSize)) file_.Damaged();
  auto root = static_cast<int32_t>(byte_order::GetLE32(header + header::kRoot));
  int32_t keyLength = byte_order::GetLE16(header + header::kKeyLength);
  uint8_t options = header[header::kOptions];
  int32_t fileSize = file_.Disk()->Size();
  if (root <= 0 || root % kPageSize != 0 || root >= fileSize || keyLength <= 0 || keyLength > kMaxKeyLength) {
    file_.Damaged();
  }
  // The key expression and the FOR expression after it, each ending in a zero
  // inside the area.
  const auto* area = reinterpret_cast<const char*>(header + header::kExpressions);
  const char* keyEnd = static_cast<const char*>(std::memchr(area, 0, header::kExpressionArea));
  if (keyEnd == nullptr) file_.Damaged();
  std::string keyText(area, keyEnd);
  std::string forText;
  if ((options & options::kHasFor) != 0) {
    const char* forBegin = keyEnd + 1;
    size_t left = header::kExpressionArea - static_cast<size_t>(forBegin - area);
    const char* forEnd = left == 0 ? nullptr : static_cast<const char*>(std::memchr(forBegin, 0, left));
    if (forEnd == nullptr) file_.Damaged();
    forText.assign(forBegin, forEnd);
  }
  if (!directory_ && keyText.empty()) file_.Damaged();
  rootPage_ = root;
  keyLength_ = keyLength;
  changeCounter_ = byte_order::GetLE32(header + header::kChangeCounter);
  unique_ = (options & options::kUnique) != 0;
  ascending_ = byte_order::GetLE16(header + header::kDescending) == 0;
  walkReversed_ = !ascending_;
  std::string collation(reinterpret_cast<const char*>(header + header::kCollation),
                        strnlen(reinterpret_cast<const char*>(header + header::kCollation), header::kCollationSize));
  collation = UpperTrimmed(collation);
  collation_ = collation == kGeneralName ? kCollationGeneral
                                         : (collation == kMachineName ? kCollationMachine : kCollationNone);
  keyText_ = keyText;
  forText_ = forText;
  keyType_ = 'C';
  if (!directory_) {
    KeyExprCompile();
    ForExprCompile();
    if (keyExpression_) {
      char type = keyExpression_->ResultType();
      if (type == 'N' || type == 'D') {
        keyType_ = type;
        if (keyLength_ != cdx_keys::kNumericLength) file_.Damaged();
      }
    }
  }
  options_ = directory_ ? options::kDirectoryTag : options::kTag;
  headerDirty_ = false;
}

void VRobjCDXTag::TagStore() {
  uint8_t header[kHeaderSize] = {};
  bool general = collation_ == kCollationGeneral && !directory_;
  byte_order::PutLE32(header + header::kRoot, static_cast<uint32_t>(rootPage_));
  byte_order::PutLE32(header + header::kChangeCounter, changeCounter_);
  byte_order::PutLE16(header + header::kKeyLength, static_cast<uint16_t>(keyLength_));
  uint8_t options = options_;
  if (!directory_) {
    if (unique_) options |= options::kUnique;
    if (HasFor()) options |= options::kHasFor;
  }
  header[header::kOptions] = options;
  header[header::kSignature] = general ? kSignatureGeneral : kSignature;
  if (general) std::memcpy(header + header::kCollation, kGeneralName, sizeof kGeneralName);
  byte_order::PutLE16(header + header::kDescending, ascending_ ? 0 : 1);
  auto keyLength = static_cast<uint16_t>(keyText_.size());
  byte_order::PutLE16(header + header::kKeyExpressionLength, keyText_.empty() ? 0 : keyLength + 1);
  byte_order::PutLE16(header + header::kForExpressionLength,
                      HasFor() ? static_cast<uint16_t>(forText_.size() + 1) : 1);
  byte_order::PutLE16(header + header::kKeyExpressionLength2, static_cast<uint16_t>(keyLength + 1));
  // TagAdd refused expressions that do not fit with their terminators.
  size_t room = header::kExpressionArea - 1;
  size_t keyBytes = std::min(keyText_.size(), room);
  std::memcpy(header + header::kExpressions, keyText_.data(), keyBytes);
  if (HasFor() && keyBytes + 1 < room) {
    std::memcpy(header + header::kExpressions + keyBytes + 1, forText_.data(),
                std::min(forText_.size(), room - keyBytes - 1));
  }
  file_.BlockWrite(headerPosition_, header, kHeaderSize);
  headerDirty_ = false;
}

int32_t VRobjCDXTag::RootPageGet() {
  if (file_.Shared() || rootPage_ <= 0) {
    uint8_t bytes[4];
    if (!file_.BlockRead(headerPosition_ + static_cast<int32_t>(header::kRoot), bytes, 4)) file_.Damaged();
    auto root = static_cast<int32_t>(byte_order::GetLE32(bytes));
    if (root <= 0 || root % kPageSize != 0) file_.Damaged();
    rootPage_ = root;
  }
  return rootPage_;
}

void VRobjCDXTag::Relocate(int32_t headerPosition) {
  headerPosition_ = headerPosition;
  changeCounter_ = 0;
  rootPage_ = 0;
  headerDirty_ = true;
}

// ---- the tag: keys and pages ------------------------------------------------------------

cdx_page::CdxKeyForm VRobjCDXTag::KeyForm() const {
  return {keyLength_, keyType_ == 'C', keyType_ == 'C' && collation_ == kCollationGeneral && !directory_};
}

void VRobjCDXTag::AdjustValue(TvrVariant& value) const {
  // Raw bytes are a key in stored form already (numbers, general-collation text).
  if (value.Kind() == TvrVariantKind::kRaw) return;
  if (keyType_ == 'C') {
    bool general = KeyForm().general;
    if (value.Kind() == TvrVariantKind::kText && !general && (value.IsEmpty() || value.Bytes().back() != ' ')) {
      return;  // text without trailing blanks is its own key (the common seek)
    }
    std::string text = value.Kind() == TvrVariantKind::kText ? std::string(value.Bytes()) : value.AsString();
    size_t end = text.find_last_not_of(' ');
    text.resize(end == std::string::npos ? 0 : end + 1);
    if (general && !text.empty()) {
      std::string key = cdx_keys::GeneralKey(text);
      value.SetBytes(key.data(), static_cast<int32_t>(key.size()));
    } else {
      value.SetText(text);
    }
    return;
  }
  double number = keyType_ == 'D' ? KeyDayNumber(value) : value.AsFloat();
  std::string key = cdx_keys::NumericKey(number);
  value.SetBytes(key.data(), static_cast<int32_t>(key.size()));
}

TvrVariant VRobjCDXTag::KeyAsValue(const TvrVariant& stored) const {
  TvrVariant value = stored;
  if (keyType_ != 'C' && stored.Kind() == TvrVariantKind::kRaw) value.SetFloat(cdx_keys::NumericValue(stored.Bytes()));
  return value;
}

LeafLayout VRobjCDXTag::CurrentLayout(int64_t largestInPage) const {
  int64_t largest = largestInPage;
  if (directory_) {
    largest = std::max<int64_t>({largest, file_.AllocationPoint(), file_.Disk() ? file_.Disk()->Size() : 0});
  } else if (file_.Table() != nullptr) {
    largest = std::max<int64_t>(largest, file_.Table()->RecordCount());
  }
  return LeafLayoutFor(keyLength_, largest);
}

namespace {

int64_t LargestPointer(const VRobjIndexKey& node) {
  int64_t largest = 0;
  for (const VRobjIndexKeyData& e : node.Entries) largest = std::max<int64_t>(largest, e.Pointer);
  return largest;
}

}  // namespace

uint16_t VRobjCDXTag::Attributes(const VRobjIndexKey& node) const {
  return static_cast<uint16_t>((node.Leaf ? attributes::kLeaf : 0) | (node.Page == rootPage_ ? attributes::kRoot : 0));
}

bool VRobjCDXTag::PageFits(const VRobjIndexKey& node) const {
  if (!node.Leaf) return node.Count() <= KeysPerInterior();
  LeafLayout layout = CurrentLayout(LargestPointer(node));
  return cdx_page::LeafBytes(node.Entries, KeyForm(), layout, true) <= leaf::kKeyAreaSize;
}

std::shared_ptr<VRobjIndexKey> VRobjCDXTag::PageLoad(int32_t page) {
  uint8_t bytes[kPageSize];
  if (!file_.BlockRead(page, bytes, kPageSize)) file_.Damaged();
  auto node = std::make_shared<VRobjIndexKey>();
  if (!cdx_page::DecodePage(bytes, KeyForm(), *node)) file_.Damaged();
  return node;
}

void VRobjCDXTag::PageStore(const VRobjIndexKey& node) {
  uint8_t bytes[kPageSize];
  bool encoded = node.Leaf ? cdx_page::EncodeLeaf(node, Attributes(node), KeyForm(),
                                                  CurrentLayout(LargestPointer(node)), true, bytes)
                           : cdx_page::EncodeInterior(node, Attributes(node), KeyForm(), true, bytes);
  if (!encoded) file_.Damaged();  // the framework splits what does not fit before storing
  file_.BlockWrite(node.Page, bytes, kPageSize);
}

void VRobjCDXTag::WriteEmptyRoot() {
  VRobjIndexKey node;
  node.Page = file_.PageAllocate();
  uint8_t bytes[kPageSize];
  cdx_page::EncodeLeaf(node, attributes::kRoot | attributes::kLeaf, KeyForm(), LeafLayoutFor(keyLength_, 0, false),
                       false, bytes);
  file_.BlockWrite(node.Page, bytes, kPageSize);
  SetRoot(node.Page);
}

bool VRobjCDXTag::KeyAdd(const VRobjIndexKeyData& key) {
  // Equal keys are placed by record number at every level.
  VRobjIndexKeyData added = key;
  added.RecNo = added.Pointer;
  return VRobjIndexTag::KeyAdd(added);
}

// ---- the tag: creating and building ----------------------------------------------------

bool VRobjCDXTag::TagCreate(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
                            const std::string& forExpression) {
  VRobjIndexTag::TagCreate(name, keyExpression, unique, ascending, forExpression);
  walkReversed_ = !ascending;
  options_ = options::kTag;
  VRO_dBHandler* table = file_.Table();
  if (!keyExpression_ || table == nullptr) return false;
  TvrVariant sample;
  keyExpression_->Evaluate(sample);
  switch (keyExpression_->ResultType()) {
    case 'N': keyType_ = 'N'; keyLength_ = cdx_keys::kNumericLength; break;
    case 'D': keyType_ = 'D'; keyLength_ = cdx_keys::kNumericLength; break;
    default:
      keyType_ = 'C';
      keyLength_ = sample.Kind() == TvrVariantKind::kText ? sample.Length()
                                                          : static_cast<int32_t>(sample.AsString().size());
      if (collation_ == kCollationGeneral) keyLength_ *= 2;
  }
  if (keyLength_ <= 0) RaiseEngineMessage("Index key of length 0 - " + file_.FullName());
  if (keyLength_ > TvrSort::kMaxKeyLength - 1) RaiseEngineMessage("Sort key length greater than 240 bytes");
  uint8_t zeroes[kHeaderSize] = {};
  file_.BlockWrite(headerPosition_, zeroes, kHeaderSize);
  BulkBuild();
  return true;
}

void VRobjCDXTag::BulkBuild() {
  {
    VRobjSortCDX sorter(*this);
    ForEachRecordKey([this, &sorter](const VRobjIndexKeyData& key) {
      if (key.Kind() != TvrVariantKind::kRaw) {
        sorter.AddKey(key, key.Pointer);
        return;
      }
      // Stored forms of different lengths sort as zero-padded to the key length
      // (no stored form ends in a zero byte).
      std::string padded(key.Bytes());
      padded.resize(static_cast<size_t>(keyLength_), '\0');
      TvrVariant sortKey;
      sortKey.SetBytes(padded.data(), static_cast<int32_t>(padded.size()));
      sorter.AddKey(sortKey, key.Pointer);
    });
    sorter.WriteTree();
  }
  ForgetCursor();
  headerDirty_ = true;
  TagStore();
}

// ---- the directory ---------------------------------------------------------------------

std::vector<std::pair<std::string, int32_t>> VRobjCDXTag::DirectoryEntries() {
  std::vector<std::pair<std::string, int32_t>> entries;
  for (int32_t record = KeyMove(-3); !Eof() && record != 0; record = KeyMove(-1)) {
    entries.emplace_back(UpperTrimmed(CurrentKey().AsString()), record);
  }
  PageCursorRelease();
  return entries;
}

void VRobjCDXTag::DirectoryAdd(const std::string& name, int32_t headerPosition) {
  VRobjIndexKeyData key;
  key.SetText(name);
  key.Pointer = headerPosition;
  KeyAdd(key);
  PageCursorRelease();
}

bool VRobjCDXTag::DirectoryDelete(const std::string& name, int32_t headerPosition) {
  BeginRead();
  VRobjIndexKeyData key;
  key.SetText(name);
  AdjustValue(key);
  bool found = NodeSearch(headerPosition, key, -1) == 0;
  if (found) EntryDelete();
  PageCursorRelease();
  return found;
}

// ---- the bulk builder ------------------------------------------------------------------

struct VRobjSortCDX::Level {
  VRobjIndexKey node;
  int32_t position = -1;  // the page being filled, allocated with its first key
  int32_t left = kNone;   // the page written before it on this level
  int32_t used = 0;       // key-area bytes taken (leaves)
  std::string previous;   // the last key added to the page (leaves)
};

VRobjSortCDX::VRobjSortCDX(VRobjCDXTag& tag)
    : TvrSort(tag.KeyLength() + 1, tag.Unique()),
      tag_(tag),
      layout_(LeafLayoutFor(tag.KeyLength(),
                            tag.File().Table() != nullptr ? tag.File().Table()->RecordCount() : 0)) {}

VRobjSortCDX::~VRobjSortCDX() = default;

int32_t VRobjSortCDX::Write(Level& level, size_t index, bool more, bool root) {
  VRobjIndexFile& file = tag_.File();
  level.node.Page = level.position;
  level.node.LeftSibling = level.left;
  level.node.RightSibling = more ? file.PageAllocate() : kNone;
  level.node.Leaf = index == 0;
  auto attributes = static_cast<uint16_t>((index == 0 ? attributes::kLeaf : 0) | (root ? attributes::kRoot : 0));
  uint8_t bytes[kPageSize];
  bool encoded = index == 0 ? cdx_page::EncodeLeaf(level.node, attributes, tag_.KeyForm(), layout_, false, bytes)
                            : cdx_page::EncodeInterior(level.node, attributes, tag_.KeyForm(), false, bytes);
  if (!encoded) file.Damaged();
  file.BlockWrite(level.position, bytes, kPageSize);
  int32_t written = level.position;
  VRobjIndexKeyData carried = level.node.Entries.back();
  if (index == 0) carried.RecNo = carried.Pointer;
  carried.Pointer = written;
  level.left = written;
  level.position = level.node.RightSibling;
  level.node.Entries.clear();
  level.used = 0;
  level.previous.clear();
  if (!root) Add(index + 1, carried, more);
  return written;
}

void VRobjSortCDX::Add(size_t index, const VRobjIndexKeyData& key, bool more) {
  if (index >= static_cast<size_t>(kMaxLevels)) tag_.File().Damaged();
  if (index >= levels_.size()) levels_.push_back(std::make_unique<Level>());
  Level& level = *levels_[index];
  if (level.position < 0) level.position = tag_.File().PageAllocate();
  level.node.Entries.push_back(key);
  bool full;
  if (index == 0) {
    std::string bytes = cdx_page::StoredBytes(key);
    size_t shared = 0;
    while (shared < bytes.size() && shared < level.previous.size() && bytes[shared] == level.previous[shared]) {
      ++shared;
    }
    level.used += layout_.bytesPerEntry + static_cast<int32_t>(bytes.size() - shared);
    level.previous = std::move(bytes);
    full = leaf::kKeyAreaSize - level.used < 2 * (layout_.bytesPerEntry + tag_.KeyLength() + 8);
  } else {
    full = level.node.Count() >= tag_.KeysPerInterior();
  }
  if (full) Write(level, index, more, false);
}

void VRobjSortCDX::WriteTree() {
  VRO_dBHandler* table = tag_.File().Table();
  if (table != nullptr) table->StatusUpdate(-1, status_kind::kIndexTree, table->RecordCount());
  VRobjIndexKeyData next;
  int32_t record = 0;
  auto take = [&]() {
    if (!NextKey(next, record)) return false;
    if (next.Kind() == TvrVariantKind::kRaw) {
      std::string bytes(next.Bytes());
      while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
      next.SetBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
    }
    next.RecNo = next.Pointer = record;
    return true;
  };
  bool more = take();
  int32_t written = 0;
  while (more) {
    VRobjIndexKeyData current = next;
    more = take();
    Add(0, current, more);
    if (table != nullptr) table->StatusUpdate(status_kind::kIndexTree, ++written, 0);
  }
  if (levels_.empty()) {
    tag_.WriteEmptyRoot();
  } else {
    for (size_t index = 0; index < levels_.size(); ++index) {
      Level& level = *levels_[index];
      if (level.node.Entries.empty()) continue;
      bool root = index + 1 == levels_.size();
      int32_t page = Write(level, index, false, root);
      if (root) tag_.SetRoot(page);
    }
  }
  if (table != nullptr) table->StatusUpdate(0, 0, 0);
}

// ---- the file --------------------------------------------------------------------------

VRobjCDXFile::VRobjCDXFile(VRO_dBHandler* table, const std::string& name, bool overwrite, bool create)
    : VRobjIndexFile(table) {
  if (!IndexFileOpen(name, overwrite, create, ".CDX")) return;
  duplicatesByRecNo_ = true;
  int32_t size = disk_->Size();
  if (size == 0) {
    CreateDirectory();
  } else if (size < kNewFileSize) {
    Damaged();  // shorter than the smallest file: never written over silently
  } else {
    ReadDirectory();
  }
  ProductionFlagSet();
  opened_ = true;
}

VRobjCDXFile::~VRobjCDXFile() {
  try {
    if (directory_) directory_->PageCursorRelease();
  } catch (const std::exception&) {
  }
}

void VRobjCDXFile::CreateDirectory() {
  allocationPoint_ = 0;
  directory_ = std::make_unique<VRobjCDXTag>(*this, -1, true, NameWithoutExtension(fileName_));
  directory_->WriteEmptyRoot();
  directory_->TagStore();
}

void VRobjCDXFile::ReadDirectory() {
  directory_ = std::make_unique<VRobjCDXTag>(*this, 0, true, NameWithoutExtension(fileName_));
  int32_t size = PageEndRefresh();
  for (const auto& [tagName, position] : directory_->DirectoryEntries()) {
    if (position <= 0 || position % kPageSize != 0 || position > size - kHeaderSize) Damaged();
    tags_.push_back(std::make_unique<VRobjCDXTag>(*this, position, false, tagName));
  }
}

bool VRobjCDXFile::TagAdd(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
                          const std::string& forExpression) {
  if (!disk_) return false;
  std::string tagName = UpperTrimmed(name);
  if (tagName.empty() || static_cast<int32_t>(tagName.size()) > kMaxTagName) {
    RaiseEngineMessage("Tag name \"" + tagName + "\" is not 1 to 10 characters long - " + fullName_);
  }
  std::string key = UpperTrimmed(keyExpression).empty() ? std::string() : keyExpression;
  size_t texts = key.size() + 1 + forExpression.size() + 1;
  if (texts > header::kExpressionArea) {
    RaiseEngineMessage("Key and FOR expressions of tag " + tagName + " are longer than " +
                       std::to_string(header::kExpressionArea - 2) + " characters - " + fullName_);
  }
  IndexLockScope lock(*this);
  for (auto it = tags_.begin(); it != tags_.end(); ++it) {
    if ((*it)->Name() == tagName) {
      directory_->DirectoryDelete(tagName, (*it)->HeaderPosition());
      tags_.erase(it);
      break;
    }
  }
  auto tag = std::make_unique<VRobjCDXTag>(*this, -1, false, tagName);
  tag->SetCollation(VRobjCDXTag::kCollationMachine);
  VRobjCDXTag* added = tag.get();
  tags_.push_back(std::move(tag));
  bool created = false;
  try {
    created = added->TagCreate(tagName, keyExpression, unique, ascending, forExpression);
  } catch (...) {
    tags_.pop_back();
    throw;
  }
  if (!created) {
    tags_.pop_back();
    return false;
  }
  directory_->DirectoryAdd(tagName, added->HeaderPosition());
  return true;
}

bool VRobjCDXFile::TagRemove(const std::string& name) {
  std::string tagName = UpperTrimmed(name);
  auto it = std::find_if(tags_.begin(), tags_.end(), [&](const auto& tag) { return tag->Name() == tagName; });
  if (it == tags_.end()) return false;
  {
    IndexLockScope lock(*this);
    directory_->DirectoryDelete(tagName, (*it)->HeaderPosition());
    tags_.erase(it);
  }
  if (tags_.empty()) Reindex();
  return true;
}

void VRobjCDXFile::Reindex() {
  if (!disk_) return;
  IndexFileLockScope lock(*this);
  directory_->ForgetCursor();
  for (auto& tag : tags_) tag->ForgetCursor();
  disk_->Truncate(kNewFileSize);
  allocationPoint_ = kDirectoryRoot;
  directory_->Relocate(0);
  directory_->WriteEmptyRoot();
  directory_->TagStore();
  for (auto& tag : tags_) {
    auto* cdx = static_cast<VRobjCDXTag*>(tag.get());
    int32_t position = PageAllocate();
    PageAllocate();
    cdx->Relocate(position);
    cdx->TagStore();
    cdx->BulkBuild();
    directory_->DirectoryAdd(cdx->Name(), position);
  }
}

bool VRobjCDXFile::RecordChanged(int32_t record, bool isNew) {
  if (disk_ && directory_) {
    // The counter in the file, not ours: another program may have counted too.
    uint8_t bytes[4];
    if (!BlockRead(static_cast<int32_t>(header::kChangeCounter), bytes, 4)) Damaged();
    uint32_t counter = byte_order::GetLE32(bytes) + 1;
    byte_order::PutLE32(bytes, counter);
    BlockWrite(static_cast<int32_t>(header::kChangeCounter), bytes, 4);
    directory_->SetChangeCounter(counter);
  }
  return VRobjIndexFile::RecordChanged(record, isNew);
}

bool VRobjCDXFile::ExternalChange() {
  if (!disk_ || !disk_->Shared() || !directory_) return false;
  uint8_t header[kPageSize];
  if (!BlockRead(0, header, kPageSize)) return true;
  return byte_order::GetLE32(header + header::kChangeCounter) != directory_->ChangeCounter();
}

int32_t VRobjCDXFile::PageAllocate() { return PageOffsetAllocate(kPageSize); }

int32_t VRobjCDXFile::PageEndRefresh() { return PageOffsetEnd(kPageSize); }

bool VRobjCDXFile::BlockRead(int32_t page, void* buffer, int32_t length) {
  return BlockAt(page, 1, buffer, length);
}

void VRobjCDXFile::BlockWrite(int32_t page, const void* buffer, int32_t length) {
  BlockPut(page, 1, buffer, length);
}

}  // namespace velorin
