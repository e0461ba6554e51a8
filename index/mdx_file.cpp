// The MDX file: its header and tag table, page allocation, adding and removing
// tags, rebuilding and renaming.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

#include "engine/byte_order.h"
#include "engine/vr6_dbsy.h"
#include "index/mdx_format.h"
#include "index/vr6_mdx.h"
#include "platform/clock.h"

namespace velorin {

namespace {

using namespace mdx_format;

void PutToday(uint8_t* p) {
  platform::LocalDateTime now = platform::LocalNow();
  p[0] = static_cast<uint8_t>(now.year % 100);
  p[1] = static_cast<uint8_t>(now.month);
  p[2] = static_cast<uint8_t>(now.day);
}

// The table name field: the name without extension, upper-cased, 8 characters at most.
void PutTableName(uint8_t* p, const std::string& path) {
  std::memset(p, 0, header::kTableNameSize);
  std::string name = UpperTrimmed(NameWithoutExtension(path)).substr(0, header::kTableNameChars);
  std::memcpy(p, name.data(), name.size());
}

}  // namespace

VRobjMDXFile::VRobjMDXFile(VRO_dBHandler* table, const std::string& name, bool overwrite, bool create)
    : VRobjIndexFile(table) {
  if (!IndexFileOpen(name, overwrite, create, ".MDX")) return;
  if (create && disk_->Size() == 0) {
    WriteNewHeader();
  } else {
    ReadFileHeader();
  }
  opened_ = true;
  ProductionFlagSet();
}

// ---- the header --------------------------------------------------------------------------

void VRobjMDXFile::WriteNewHeader() {
  sectorsPerBlock_ = made::kSectorsPerBlock;
  blockSize_ = made::kBlockSize;
  headerSize_ = made::kHeaderSize;
  maxTags_ = made::kMaxTags;
  std::vector<uint8_t> bytes(static_cast<size_t>(headerSize_), 0);
  uint8_t* h = bytes.data();
  h[header::kVersion] = made::kVersion;
  PutToday(h + header::kUpdated);
  PutTableName(h + header::kTableName, table_ != nullptr ? table_->FileName() : fullName_);
  byte_order::PutLE16(h + header::kSectorsPerBlock, made::kSectorsPerBlock);
  byte_order::PutLE16(h + header::kBlockSize, made::kBlockSize);
  h[header::kProduction] = made::kProduction;
  h[header::kMaxTags] = made::kMaxTags;
  h[header::kEntryLength] = static_cast<uint8_t>(header::kTagEntrySize);
  allocationPoint_ = HeaderSectors();
  storedNextFree_ = allocationPoint_;
  byte_order::PutLE32(h + header::kNextFree, static_cast<uint32_t>(allocationPoint_));
  PutToday(h + header::kCreated);
  disk_->WriteAt(0, h, headerSize_);
}

void VRobjMDXFile::ReadFileHeader() {
  uint8_t first[kSectorSize];
  if (!BlockRead(0, first, kSectorSize)) Damaged();
  sectorsPerBlock_ = byte_order::GetLE16(first + header::kSectorsPerBlock);
  blockSize_ = byte_order::GetLE16(first + header::kBlockSize);
  maxTags_ = first[header::kMaxTags];
  int32_t tagCount = byte_order::GetLE16(first + header::kTagCount);
  if (sectorsPerBlock_ < 1 || sectorsPerBlock_ > kMaxSectorsPerBlock || blockSize_ != sectorsPerBlock_ * kSectorSize) {
    Damaged();
  }
  headerSize_ = sectorsPerBlock_ * blockSize_;
  if (first[header::kEntryLength] != header::kTagEntrySize || TagTableRoom(headerSize_) < 0 ||
      tagCount > std::min(maxTags_, TagTableRoom(headerSize_)) || disk_->Size() < headerSize_) {
    Damaged();
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(headerSize_));
  if (!BlockRead(0, bytes.data(), headerSize_)) Damaged();
  PageEndRefresh();
  storedNextFree_ = static_cast<int32_t>(byte_order::GetLE32(bytes.data() + header::kNextFree));
  for (int32_t i = 1; i <= tagCount; ++i) {
    const uint8_t* e = bytes.data() + TagEntryOffset(i);
    const void* zero = std::memchr(e + tag_entry::kName, 0, tag_entry::kNameSize);
    if (zero == nullptr || zero == e + tag_entry::kName) Damaged();
    std::string tagName(reinterpret_cast<const char*>(e + tag_entry::kName),
                        static_cast<size_t>(static_cast<const uint8_t*>(zero) - (e + tag_entry::kName)));
    auto tag = std::make_unique<VRobjMDXTag>(*this, static_cast<int32_t>(byte_order::GetLE32(e + tag_entry::kHeaderBlock)));
    tag->SetName(UpperTrimmed(tagName));
    tag->TagLoad();
    tags_.push_back(std::move(tag));
  }
}

void VRobjMDXFile::TagTableStore() {
  std::vector<uint8_t> bytes(static_cast<size_t>(headerSize_));
  if (!BlockRead(0, bytes.data(), headerSize_)) Damaged();
  uint8_t* h = bytes.data();
  PutToday(h + header::kUpdated);
  byte_order::PutLE16(h + header::kTagCount, static_cast<uint16_t>(TagCount()));
  if (allocationPoint_ < 0) PageEndRefresh();
  byte_order::PutLE32(h + header::kNextFree, static_cast<uint32_t>(allocationPoint_));
  storedNextFree_ = allocationPoint_;
  std::memset(h + TagEntryOffset(0), 0, static_cast<size_t>(headerSize_) - TagEntryOffset(0));
  for (int32_t i = 1; i <= TagCount(); ++i) {
    const VRobjMDXTag& tag = *MdxTag(i - 1);
    uint8_t* e = h + TagEntryOffset(i);
    h[TagEntryOffset(i - 1) + tag_entry::kNext] = static_cast<uint8_t>(i);
    byte_order::PutLE32(e + tag_entry::kHeaderBlock, static_cast<uint32_t>(tag.HeaderPosition()));
    std::string name = tag.Name().substr(0, static_cast<size_t>(kMaxTagNameLength));
    std::memcpy(e + tag_entry::kName, name.data(), name.size());
    e[tag_entry::kMark] = tag_entry::kMarkValue;
    e[tag_entry::kKeyType] = static_cast<uint8_t>(tag.KeyType());
  }
  disk_->WriteAt(0, h, headerSize_);
}

void VRobjMDXFile::NextFreeStore() {
  if (allocationPoint_ < 0) PageEndRefresh();
  if (allocationPoint_ == storedNextFree_) return;
  uint8_t bytes[4];
  byte_order::PutLE32(bytes, static_cast<uint32_t>(allocationPoint_));
  disk_->WriteAt(static_cast<int32_t>(header::kNextFree), bytes, 4);
  storedNextFree_ = allocationPoint_;
}

// ---- blocks ----------------------------------------------------------------------------

int32_t VRobjMDXFile::PageAllocate() {
  if (allocationPoint_ < 0) PageEndRefresh();
  int32_t block = allocationPoint_;
  allocationPoint_ += sectorsPerBlock_;
  return block;
}

int32_t VRobjMDXFile::PageEndRefresh() {
  allocationPoint_ = UnitsInFile(kSectorSize);
  return allocationPoint_;
}

int32_t VRobjMDXFile::SizeInSectors() { return disk_ ? disk_->Size() / kSectorSize : 0; }

bool VRobjMDXFile::IsBlockInFile(int32_t block) {
  return block >= HeaderSectors() && int64_t{block} + sectorsPerBlock_ <= SizeInSectors();
}

bool VRobjMDXFile::BlockRead(int32_t page, void* buffer, int32_t length) {
  return BlockAt(page, kSectorSize, buffer, length);
}

void VRobjMDXFile::BlockWrite(int32_t page, const void* buffer, int32_t length) {
  BlockPut(page, kSectorSize, buffer, length);
}

// ---- tags ------------------------------------------------------------------------------

void VRobjMDXFile::CheckNewTag(const std::string& name, const std::string& keyExpression,
                               const std::string& forExpression) {
  std::string where = " - " + fullName_;
  if (name.empty()) RaiseEngineMessage("Tag name missing" + where);
  if (static_cast<int32_t>(name.size()) > kMaxTagNameLength) {
    RaiseEngineMessage("Tag name " + name + " longer than " + std::to_string(kMaxTagNameLength) + " characters" + where);
  }
  if (static_cast<int32_t>(UpperTrimmed(keyExpression).size()) > kMaxKeyExpressionLength) {
    RaiseEngineMessage("Key expression longer than " + std::to_string(kMaxKeyExpressionLength) + " characters" + where);
  }
  if (static_cast<int32_t>(UpperTrimmed(forExpression).size()) > MaxForExpressionLength(blockSize_)) {
    RaiseEngineMessage("FOR expression longer than " + std::to_string(MaxForExpressionLength(blockSize_)) +
                       " characters" + where);
  }
  int32_t kept = TagCount() - (TagByName(name) != nullptr ? 1 : 0);
  if (kept + 1 > std::min(maxTags_, TagTableRoom(headerSize_))) {
    RaiseEngineMessage("No room for another tag (" + std::to_string(kept) + " tags)" + where);
  }
}

bool VRobjMDXFile::TagAdd(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
                          const std::string& forExpression) {
  if (!opened_) return false;
  std::string tagName = UpperTrimmed(name);
  CheckNewTag(tagName, keyExpression, forExpression);
  IndexFileLockScope lock(*this);
  // A tag of the same name is replaced; its blocks are not used again.
  auto same = std::find_if(tags_.begin(), tags_.end(), [&](const auto& t) { return t->Name() == tagName; });
  if (same != tags_.end()) tags_.erase(same);
  auto tag = std::make_unique<VRobjMDXTag>(*this, PageAllocate());
  VRobjMDXTag* added = tag.get();
  auto after = std::find_if(tags_.begin(), tags_.end(), [&](const auto& t) { return t->Name() > tagName; });
  tags_.insert(after, std::move(tag));
  bool created = false;
  try {
    created = added->TagCreate(tagName, keyExpression, unique, ascending, forExpression);
  } catch (...) {
    // No half-made tag stays in the tag table.
    tags_.erase(std::find_if(tags_.begin(), tags_.end(), [&](const auto& t) { return t.get() == added; }));
    TagTableStore();
    throw;
  }
  if (!created) tags_.erase(std::find_if(tags_.begin(), tags_.end(), [&](const auto& t) { return t.get() == added; }));
  TagTableStore();
  return created;
}

bool VRobjMDXFile::TagRemove(const std::string& name) {
  if (!opened_) return false;
  std::string tagName = UpperTrimmed(name);
  auto found = std::find_if(tags_.begin(), tags_.end(), [&](const auto& t) { return t->Name() == tagName; });
  if (found == tags_.end()) return false;
  IndexFileLockScope lock(*this);
  tags_.erase(found);
  if (tags_.empty()) {
    Reindex();
  } else {
    TagTableStore();
  }
  return true;
}

void VRobjMDXFile::Reindex() {
  if (!opened_) return;
  IndexFileLockScope lock(*this);
  for (int32_t i = 0; i < TagCount(); ++i) MdxTag(i)->ForgetCursor();
  disk_->Truncate(headerSize_);
  allocationPoint_ = HeaderSectors();
  for (int32_t i = 0; i < TagCount(); ++i) MdxTag(i)->Rebuild();
  TagTableStore();
}

bool VRobjMDXFile::FileRename(const std::string& newTableName) {
  if (!VRobjIndexFile::FileRename(newTableName)) return false;
  uint8_t name[header::kTableNameSize];
  PutTableName(name, newTableName);
  disk_->WriteAt(static_cast<int32_t>(header::kTableName), name, header::kTableNameSize);
  return true;
}

}  // namespace velorin
