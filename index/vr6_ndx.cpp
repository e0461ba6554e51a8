#include "index/vr6_ndx.h"

#include <cstring>
#include <limits>

#include "engine/byte_order.h"
#include "engine/vr6_dbsy.h"
#include "index/ndx_format.h"

namespace velorin {

namespace {

using namespace ndx_format;

constexpr double kHighestNumericKey = 1.7E308;

}  // namespace

// ---- the order -----------------------------------------------------------------------

void VRobjNDXTag::AdjustValue(TvrVariant& value) const {
  if (keyType_ == 'C') {
    TextKeyForm(value);
  } else if (keyType_ == 'D') {
    DateKeyForm(value, kBlankDateKey);
  } else {
    value.SetFloat(value.AsFloat());
  }
}

int32_t VRobjNDXTag::KeyLengthOf(const TvrVariant& key) const {
  return keyType_ == 'C' ? key.Length() : kNumericKeyLength;
}

void VRobjNDXTag::EncodeKey(const TvrVariant& key, uint8_t* out) const {
  if (keyType_ == 'C') {
    std::memset(out, ' ', static_cast<size_t>(keyLength_));
    if (!key.IsEmpty()) std::memcpy(out, key.Data(), static_cast<size_t>(std::min(key.Length(), keyLength_)));
  } else {
    byte_order::PutLEDouble(out, key.AsFloat());
  }
}

int32_t VRobjNDXTag::ReadHeader(bool everything) {
  uint8_t block[kBlockSize];
  if (!file_.BlockRead(0, block, kBlockSize)) file_.Damaged();
  int32_t root = static_cast<int32_t>(byte_order::GetLE32(block + header::kRoot));
  if (!everything) {
    if (root <= 0) file_.Damaged();
    return root;
  }
  auto keyLength = static_cast<int16_t>(byte_order::GetLE16(block + header::kKeyLength));
  auto maxKeys = static_cast<int16_t>(byte_order::GetLE16(block + header::kMaxKeys));
  uint16_t type = byte_order::GetLE16(block + header::kKeyType);
  auto entryLength = static_cast<int16_t>(byte_order::GetLE16(block + header::kEntryLength));
  // Two entries must fit a node, each holding its key behind the two pointers.
  if (keyLength <= 0 || keyLength > TvrSort::kMaxKeyLength || entryLength < keyLength + 8 ||
      entryLength > node::kEntryRoom / 2 || maxKeys < 2 || maxKeys > node::kEntryRoom / entryLength ||
      type > kTypeNumeric || (type == kTypeNumeric && keyLength != kNumericKeyLength) || root <= 0) {
    file_.Damaged();
  }
  const char* text = reinterpret_cast<const char*>(block + header::kExpression);
  keyText_.assign(text, strnlen(text, header::kExpressionSize));
  keyLength_ = keyLength;
  maxKeys_ = maxKeys;
  entryLength_ = entryLength;
  unique_ = (block[header::kUnique] & 1) != 0;
  keyType_ = type == kTypeCharacter ? 'C' : 'N';
  return root;
}

void VRobjNDXTag::TagLoad() {
  rootPage_ = ReadHeader(true);
  headerDirty_ = false;
  KeyExprCompile();
  if (keyType_ == 'N' && keyExpression_ && keyExpression_->ResultType() == 'D') keyType_ = 'D';
}

int32_t VRobjNDXTag::RootPageGet() {
  if (file_.Shared() || rootPage_ <= 0) rootPage_ = ReadHeader(false);
  return rootPage_;
}

void VRobjNDXTag::TagStore() {
  uint8_t block[kBlockSize] = {};
  int32_t nextFree = file_.AllocationPoint() < 0 ? file_.PageEndRefresh() : file_.AllocationPoint();
  byte_order::PutLE32(block + header::kRoot, static_cast<uint32_t>(rootPage_));
  byte_order::PutLE32(block + header::kNextFree, static_cast<uint32_t>(nextFree));
  byte_order::PutLE16(block + header::kKeyLength, static_cast<uint16_t>(keyLength_));
  byte_order::PutLE16(block + header::kMaxKeys, static_cast<uint16_t>(maxKeys_));
  byte_order::PutLE16(block + header::kKeyType, keyType_ == 'C' ? kTypeCharacter : kTypeNumeric);
  byte_order::PutLE16(block + header::kEntryLength, static_cast<uint16_t>(entryLength_));
  block[header::kUnique] = unique_ ? 1 : 0;
  std::memcpy(block + header::kExpression, keyText_.data(), std::min(keyText_.size(), header::kExpressionSize - 1));
  file_.BlockWrite(0, block, kBlockSize);
  headerDirty_ = false;
}

std::shared_ptr<VRobjIndexKey> VRobjNDXTag::PageLoad(int32_t page) {
  uint8_t block[kBlockSize];
  if (!file_.BlockRead(page, block, kBlockSize)) file_.Damaged();
  uint32_t count = byte_order::GetLE32(block + node::kCount);
  auto node = std::make_shared<VRobjIndexKey>();
  node->Leaf = byte_order::GetLE32(block + node::kEntries + entry::kChild) == 0;
  uint32_t entries = node->Leaf ? count : count + 1;
  if (count > static_cast<uint32_t>(maxKeys_) ||
      node::kEntries + entries * static_cast<uint32_t>(entryLength_) > static_cast<uint32_t>(kBlockSize)) {
    file_.Damaged();
  }
  node->Entries.resize(entries);
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* p = block + node::kEntries + i * static_cast<uint32_t>(entryLength_);
    VRobjIndexKeyData& e = node->Entries[i];
    e.Pointer = static_cast<int32_t>(byte_order::GetLE32(p + (node->Leaf ? entry::kRecord : entry::kChild)));
    if (!node->Leaf && i == count) {
      // The rightmost pointer has no key: it stands above every key.
      if (keyType_ == 'C') e.SetText("\xFF"); else e.SetFloat(kHighestNumericKey);
    } else if (keyType_ == 'C') {
      std::string_view text(reinterpret_cast<const char*>(p + entry::kKey), static_cast<size_t>(keyLength_));
      size_t end = text.find_last_not_of(' ');
      e.SetText(text.substr(0, end == std::string_view::npos ? 0 : end + 1));
    } else {
      e.SetFloat(byte_order::GetLEDouble(p + entry::kKey));
    }
  }
  return node;
}

void VRobjNDXTag::PageStore(const VRobjIndexKey& node) {
  uint8_t block[kBlockSize] = {};
  int32_t count = node.Leaf ? node.Count() : node.Count() - 1;
  byte_order::PutLE32(block + node::kCount, static_cast<uint32_t>(std::max(count, 0)));
  for (int32_t i = 0; i < node.Count(); ++i) {
    uint8_t* p = block + node::kEntries + i * entryLength_;
    const VRobjIndexKeyData& e = node.Entries[static_cast<size_t>(i)];
    byte_order::PutLE32(p + (node.Leaf ? entry::kRecord : entry::kChild), static_cast<uint32_t>(e.Pointer));
    if (node.Leaf || i < count) EncodeKey(e, p + entry::kKey);
  }
  file_.BlockWrite(node.Page, block, kBlockSize);
}

bool VRobjNDXTag::KeyAdd(const VRobjIndexKeyData& key) {
  VRobjIndexKeyData added = key;
  added.RecNo = 0;  // NDX stores no record number with interior keys
  return VRobjIndexTag::KeyAdd(added);
}

bool VRobjNDXTag::TagCreate(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
                            const std::string& forExpression) {
  VRobjIndexTag::TagCreate(name, keyExpression, unique, ascending, forExpression);
  if (!KeyLayoutFromSample(kNumericKeyLength, kNumericKeyLength)) return false;
  if (keyLength_ > TvrSort::kMaxKeyLength - 1) RaiseEngineMessage("Sort key length greater than 240 bytes");
  entryLength_ = ndx_format::EntryLength(keyLength_);
  maxKeys_ = ndx_format::MaxKeys(keyLength_);
  BuildNewOrder(kBlockSize);
  return true;
}

void VRobjNDXTag::BulkBuild() {
  auto& file = static_cast<VRobjNDXFile&>(file_);
  VRobjSortNdx sorter(*this, file);
  ForEachRecordKey([&sorter](const VRobjIndexKeyData& key) { sorter.AddKey(key, key.Pointer); });
  sorter.WriteTree();
  ForgetCursor();
  headerDirty_ = true;
  TagStore();
}

// ---- the bulk builder ----------------------------------------------------------------

struct VRobjSortNdx::Level {
  uint8_t block[kBlockSize] = {};
  int32_t count = 0;
  TvrVariant lastKey;
};

VRobjSortNdx::VRobjSortNdx(VRobjNDXTag& tag, VRobjNDXFile& file)
    : TvrSort(tag.KeyLength() + 1, tag.Unique()), tag_(tag), file_(file) {}

int32_t VRobjSortNdx::Write(Level& level, bool interior) {
  int32_t count = interior ? level.count - 1 : level.count;
  if (interior) {
    // The last entry keeps only its pointer.
    std::memset(level.block + node::kEntries + count * tag_.EntryLength() + entry::kKey, 0,
                static_cast<size_t>(tag_.EntryLength() - static_cast<int32_t>(entry::kKey)));
  }
  byte_order::PutLE32(level.block + node::kCount, static_cast<uint32_t>(count));
  int32_t block = file_.PageAllocate();
  file_.BlockWrite(block, level.block, kBlockSize);
  std::memset(level.block, 0, kBlockSize);
  level.count = 0;
  return block;
}

void VRobjSortNdx::Add(size_t level, int32_t pointer, const TvrVariant& key) {
  if (level >= static_cast<size_t>(kMaxLevels)) file_.Damaged();
  if (level >= levels_.size()) levels_.push_back(std::make_unique<Level>());
  Level& current = *levels_[level];
  if (current.count == tag_.MaxKeys()) {
    TvrVariant carried = current.lastKey;
    int32_t block = Write(current, level > 0);
    Add(level + 1, block, carried);
  }
  uint8_t* p = current.block + node::kEntries + current.count * tag_.EntryLength();
  byte_order::PutLE32(p + (level == 0 ? entry::kRecord : entry::kChild), static_cast<uint32_t>(pointer));
  tag_.EncodeKey(key, p + entry::kKey);
  current.lastKey = key;
  ++current.count;
}

void VRobjSortNdx::WriteTree() {
  tag_.ForEachSortedKey(*this, [this](TvrVariant& key, int32_t record) {
    tag_.AdjustValue(key);
    Add(0, record, key);
  });
  if (levels_.empty()) levels_.push_back(std::make_unique<Level>());
  for (size_t level = 0; level < levels_.size(); ++level) {
    Level& current = *levels_[level];
    TvrVariant carried = current.lastKey;
    int32_t block = Write(current, level > 0);
    if (level + 1 < levels_.size()) {
      Add(level + 1, block, carried);
    } else {
      tag_.SetRoot(block);
    }
  }
  if (VRO_dBHandler* table = file_.Table()) table->StatusUpdate(0, 0, 0);
}

// ---- the file ------------------------------------------------------------------------

VRobjNDXFile::VRobjNDXFile(VRO_dBHandler* table, const std::string& name, bool overwrite, bool create)
    : VRobjIndexFile(table) {
  if (!IndexFileOpen(name, overwrite, create, ".NDX")) return;
  if (create) {
    allocationPoint_ = 0;
  } else {
    auto tag = std::make_unique<VRobjNDXTag>(*this, 0);
    tag->SetName(NameWithoutExtension(fileName_));
    PageEndRefresh();
    tag->TagLoad();
    tags_.push_back(std::move(tag));
  }
  opened_ = true;
}

bool VRobjNDXFile::TagAdd(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
                          const std::string& forExpression) {
  // The file could not keep them: an order built with them would not survive closing.
  if (forExpression.find_first_not_of(' ') != std::string::npos) {
    RaiseEngineMessage("NDX files keep no FOR condition - " + fullName_);
  }
  if (!ascending) RaiseEngineMessage("NDX files keep no descending order - " + fullName_);
  tags_.clear();
  allocationPoint_ = 0;
  auto tag = std::make_unique<VRobjNDXTag>(*this, 0);
  VRobjNDXTag* added = tag.get();
  tags_.push_back(std::move(tag));
  return added->TagCreate(name, keyExpression, unique, ascending, forExpression);
}

int32_t VRobjNDXFile::PageAllocate() {
  if (allocationPoint_ < 0) PageEndRefresh();
  return allocationPoint_++;
}

int32_t VRobjNDXFile::PageEndRefresh() {
  allocationPoint_ = UnitsInFile(kBlockSize);
  return allocationPoint_;
}

bool VRobjNDXFile::BlockRead(int32_t page, void* buffer, int32_t length) {
  return BlockAt(page, kBlockSize, buffer, length);
}

void VRobjNDXFile::BlockWrite(int32_t page, const void* buffer, int32_t length) {
  BlockPut(page, kBlockSize, buffer, length);
}

void VRobjNDXFile::ZapLocked() {
  VRobjNDXTag* tag = NdxTag();
  tag->ForgetCursor();
  disk_->Truncate(2 * kBlockSize);
  allocationPoint_ = 2;
  tag->SetRoot(1);
  tag->TagStore();
  uint8_t zeroes[kBlockSize] = {};
  BlockWrite(1, zeroes, kBlockSize);
}

void VRobjNDXFile::IndexZap() {
  if (NdxTag() == nullptr) return;
  IndexFileLockScope lock(*this);
  ZapLocked();
}

void VRobjNDXFile::Reindex() {
  VRobjNDXTag* tag = NdxTag();
  if (tag == nullptr) return;
  IndexFileLockScope lock(*this);
  ZapLocked();
  allocationPoint_ = 1;
  tag->BulkBuild();
}

}  // namespace velorin
