// The MDX tag: its header block, its nodes and its key forms.
#include "index/vr6_mdx.h"

#include <algorithm>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/vr6_dbsy.h"
#include "index/mdx_format.h"
#include "index/mdx_number.h"

namespace velorin {

namespace {

using namespace mdx_format;

// A zero-terminated text of at most size bytes at p; false when it has no zero.
bool TerminatedText(const uint8_t* p, size_t size, std::string& text) {
  const void* zero = std::memchr(p, 0, size);
  if (zero == nullptr) return false;
  text.assign(reinterpret_cast<const char*>(p), static_cast<size_t>(static_cast<const uint8_t*>(zero) - p));
  return true;
}

// Eight bytes whose unsigned order is the order of the doubles.
void OrderedDouble(double value, uint8_t* out) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bits = (bits >> 63) != 0 ? ~bits : bits | (uint64_t{1} << 63);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
}

double DoubleOfOrdered(const uint8_t* in) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = (bits << 8) | in[i];
  bits = (bits >> 63) != 0 ? bits & ~(uint64_t{1} << 63) : ~bits;
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void Invert(uint8_t* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(~bytes[i]);
}

}  // namespace

VRobjMDXTag::VRobjMDXTag(VRobjMDXFile& file, int32_t headerBlock)
    : VRobjIndexTag(file, headerBlock), blockSize_(file.BlockSize()) {}

VRobjMDXFile& VRobjMDXTag::mdx() const { return static_cast<VRobjMDXFile&>(file_); }

// ---- key forms -------------------------------------------------------------------------

void VRobjMDXTag::AdjustValue(TvrVariant& value) const {
  switch (keyType_) {
    case 'N': {
      // Already in sortable form (or the highest key of an interior node).
      if (value.Kind() == TvrVariantKind::kRaw && (value.Length() == kNumericKeyLength || value.Length() == 1)) return;
      uint8_t sortable[mdx_number::kSize];
      if (!mdx_number::SortableFromValue(value.AsFloat(), sortable)) {
        file_.FileError(error_code::kNumberTooLarge, sub_code::kNone);
      }
      value.SetBytes(sortable, kNumericKeyLength);
      return;
    }
    case 'D': DateKeyForm(value, kBlankDateKey); return;
    default: TextKeyForm(value);
  }
}

int32_t VRobjMDXTag::KeyLengthOf(const TvrVariant& key) const {
  switch (keyType_) {
    case 'N': return kNumericKeyLength;
    case 'D': return kDateKeyLength;
    default: return key.Length();
  }
}

TvrVariant VRobjMDXTag::KeyAsValue(const TvrVariant& stored) const {
  TvrVariant value = stored;
  if (keyType_ == 'N' && stored.Length() == kNumericKeyLength) {
    value.SetFloat(mdx_number::ValueOfSortable(reinterpret_cast<const uint8_t*>(stored.Data())));
  }
  return value;
}

void VRobjMDXTag::EncodeKey(const TvrVariant& key, uint8_t* out) const {
  switch (keyType_) {
    case 'N': {
      TvrVariant sortable = key;
      AdjustValue(sortable);
      if (sortable.Length() == kNumericKeyLength) {
        mdx_number::PackedFromSortable(reinterpret_cast<const uint8_t*>(sortable.Data()), out);
      } else {
        std::memset(out, 0, kNumericKeyLength);
      }
      return;
    }
    case 'D': byte_order::PutLEDouble(out, key.AsFloat()); return;
    default:
      std::memset(out, ' ', static_cast<size_t>(keyLength_));
      if (!key.IsEmpty()) std::memcpy(out, key.Data(), static_cast<size_t>(std::min(key.Length(), keyLength_)));
  }
}

void VRobjMDXTag::SortForm(const TvrVariant& key, TvrVariant& sorted) const {
  if (ascending_) {
    sorted = key;
    return;
  }
  // Descending: bytes in the order of the stored form, inverted.
  uint8_t bytes[kMaxKeyLength];
  switch (keyType_) {
    case 'N': key.CopyBytes(bytes, kNumericKeyLength); break;
    case 'D': OrderedDouble(key.AsFloat(), bytes); break;
    default: EncodeKey(key, bytes);
  }
  Invert(bytes, static_cast<size_t>(keyLength_));
  sorted.SetBytes(bytes, keyLength_);
}

void VRobjMDXTag::NodeFormOfSorted(const TvrVariant& sorted, uint8_t* out) const {
  if (ascending_) {
    EncodeKey(sorted, out);
    return;
  }
  uint8_t bytes[kMaxKeyLength] = {};
  sorted.CopyBytes(bytes, keyLength_);
  Invert(bytes, static_cast<size_t>(keyLength_));
  switch (keyType_) {
    case 'N': mdx_number::PackedFromSortable(bytes, out); break;
    case 'D': byte_order::PutLEDouble(out, DoubleOfOrdered(bytes)); break;
    default: std::memcpy(out, bytes, static_cast<size_t>(keyLength_));
  }
}

// ---- the header block --------------------------------------------------------------------

int32_t VRobjMDXTag::ReadHeader(bool everything) {
  if (!everything && headerDirty_) return rootPage_;
  VRobjMDXFile& file = mdx();
  if (!file.IsBlockInFile(headerPosition_)) file.Damaged();
  std::vector<uint8_t> block(static_cast<size_t>(blockSize_));
  if (!file.BlockRead(headerPosition_, block.data(), blockSize_)) file.Damaged();
  const uint8_t* b = block.data();
  auto root = static_cast<int32_t>(byte_order::GetLE32(b + tag_header::kRoot));
  if (root < file.HeaderSectors()) file.Damaged();
  firstBlock_ = static_cast<int32_t>(byte_order::GetLE32(b + tag_header::kFirstBlock));
  lastBlock_ = static_cast<int32_t>(byte_order::GetLE32(b + tag_header::kLastBlock));
  if (!everything) return root;
  char type = static_cast<char>(b[tag_header::kKeyType]);
  int32_t keyLength = byte_order::GetLE16(b + tag_header::kKeyLength);
  int32_t maxKeys = byte_order::GetLE16(b + tag_header::kMaxKeys);
  int32_t entryLength = byte_order::GetLE16(b + tag_header::kEntryLength);
  bool typeFits = (type == 'C' && keyLength >= 1 && keyLength <= kMaxKeyLength) ||
                  (type == 'N' && keyLength == kNumericKeyLength) || (type == 'D' && keyLength == kDateKeyLength);
  // Two keys at least in a node, and room after the counted entries for the
  // pointer that tells leaves from interior nodes.
  int32_t room = (blockSize_ - static_cast<int32_t>(node::kEntries)) / std::max(entryLength, 1);
  if (!typeFits || entryLength < keyLength + static_cast<int32_t>(entry::kKey) || maxKeys < 2 || maxKeys > room - 1) {
    file.Damaged();
  }
  std::string keyText;
  std::string forText;
  bool hasFor = b[tag_header::kHasFor] != 0;
  if (!TerminatedText(b + tag_header::kExpression, tag_header::kExpressionSize, keyText) || keyText.empty() ||
      (hasFor && !TerminatedText(b + tag_header::kForExpression,
                                 static_cast<size_t>(blockSize_) - tag_header::kForExpression, forText))) {
    file.Damaged();
  }
  keyType_ = type;
  keyLength_ = keyLength;
  maxKeys_ = maxKeys;
  entryLength_ = entryLength;
  keyText_ = keyText;
  forText_ = forText;
  unique_ = b[tag_header::kUnique] != 0;
  ascending_ = (b[tag_header::kOptions] & tag_header::kOptionDescending) == 0;
  treeDescending_ = !ascending_;
  return root;
}

void VRobjMDXTag::TagLoad() {
  rootPage_ = ReadHeader(true);
  headerDirty_ = false;
  KeyExprCompile();
  ForExprCompile();
}

int32_t VRobjMDXTag::RootPageGet() {
  if (file_.Shared() || rootPage_ <= 0) rootPage_ = ReadHeader(false);
  return rootPage_;
}

void VRobjMDXTag::TagStore() {
  std::vector<uint8_t> block(static_cast<size_t>(blockSize_), 0);
  uint8_t* b = block.data();
  byte_order::PutLE32(b + tag_header::kRoot, static_cast<uint32_t>(rootPage_));
  b[tag_header::kOptions] = static_cast<uint8_t>(tag_header::kOptionBase | (unique_ ? tag_header::kOptionUnique : 0) |
                                                 (ascending_ ? 0 : tag_header::kOptionDescending));
  b[tag_header::kKeyType] = static_cast<uint8_t>(keyType_);
  byte_order::PutLE16(b + tag_header::kKeyLength, static_cast<uint16_t>(keyLength_));
  byte_order::PutLE16(b + tag_header::kMaxKeys, static_cast<uint16_t>(maxKeys_));
  byte_order::PutLE16(b + tag_header::kEntryLength, static_cast<uint16_t>(entryLength_));
  b[tag_header::kUnique] = unique_ ? tag_header::kOptionUnique : 0;
  std::memcpy(b + tag_header::kExpression, keyText_.data(),
              std::min(keyText_.size(), static_cast<size_t>(kMaxKeyExpressionLength)));
  b[tag_header::kHasFor] = forText_.empty() ? 0 : 1;
  b[tag_header::kOne] = 1;
  byte_order::PutLE32(b + tag_header::kFirstBlock, static_cast<uint32_t>(firstBlock_));
  byte_order::PutLE32(b + tag_header::kLastBlock, static_cast<uint32_t>(lastBlock_));
  std::memcpy(b + tag_header::kForExpression, forText_.data(),
              std::min(forText_.size(), static_cast<size_t>(MaxForExpressionLength(blockSize_))));
  file_.BlockWrite(headerPosition_, b, blockSize_);
  headerDirty_ = false;
  mdx().NextFreeStore();
}

int32_t VRobjMDXTag::NoteWritten(int32_t block) {
  int32_t before = lastBlock_;
  if (firstBlock_ == 0) firstBlock_ = block;
  lastBlock_ = block;
  headerDirty_ = true;
  return before;
}

// ---- nodes -----------------------------------------------------------------------------

std::shared_ptr<VRobjIndexKey> VRobjMDXTag::PageLoad(int32_t page) {
  if (page < mdx().HeaderSectors()) file_.Damaged();
  std::vector<uint8_t> block(static_cast<size_t>(blockSize_));
  if (!file_.BlockRead(page, block.data(), blockSize_)) file_.Damaged();
  const uint8_t* b = block.data();
  uint32_t count = byte_order::GetLE32(b + node::kCount);
  if (count > static_cast<uint32_t>(maxKeys_)) file_.Damaged();
  auto node = std::make_shared<VRobjIndexKey>();
  node->FamilyWord = static_cast<int32_t>(byte_order::GetLE32(b + node::kWrittenBefore));
  // maxKeys + 1 entries fit the block (checked with the header).
  const uint8_t* after = b + node::kEntries + count * static_cast<uint32_t>(entryLength_);
  node->Leaf = byte_order::GetLE32(after + entry::kPointer) == 0;
  uint32_t entries = node->Leaf ? count : count + 1;
  node->Entries.resize(entries);
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* p = b + node::kEntries + i * static_cast<uint32_t>(entryLength_);
    VRobjIndexKeyData& e = node->Entries[i];
    e.Pointer = static_cast<int32_t>(byte_order::GetLE32(p + entry::kPointer));
    const uint8_t* key = p + entry::kKey;
    bool rightmost = !node->Leaf && i == count;
    switch (keyType_) {
      case 'N':
        if (rightmost) {
          const uint8_t highest = mdx_number::kClassPositive + 1;
          e.SetBytes(&highest, 1);
        } else {
          uint8_t sortable[mdx_number::kSize];
          mdx_number::SortableFromPacked(key, sortable);
          e.SetBytes(sortable, kNumericKeyLength);
        }
        break;
      case 'D': e.SetFloat(rightmost ? kHighestDateKey : byte_order::GetLEDouble(key)); break;
      default:
        if (rightmost) {
          e.SetText("\xFF");
        } else {
          std::string_view text(reinterpret_cast<const char*>(key), static_cast<size_t>(keyLength_));
          size_t end = text.find_last_not_of(' ');
          e.SetText(text.substr(0, end == std::string_view::npos ? 0 : end + 1));
        }
    }
  }
  return node;
}

void VRobjMDXTag::PageStore(const VRobjIndexKey& node) {
  std::vector<uint8_t> block(static_cast<size_t>(blockSize_), 0);
  uint8_t* b = block.data();
  int32_t count = node.Leaf ? node.Count() : node.Count() - 1;
  byte_order::PutLE32(b + node::kCount, static_cast<uint32_t>(std::max(count, 0)));
  if (node.FamilyWord < 0) node.FamilyWord = NoteWritten(node.Page);  // a node written as new
  byte_order::PutLE32(b + node::kWrittenBefore, static_cast<uint32_t>(node.FamilyWord));
  for (int32_t i = 0; i < node.Count(); ++i) {
    uint8_t* p = b + node::kEntries + i * entryLength_;
    const VRobjIndexKeyData& e = node.Entries[static_cast<size_t>(i)];
    byte_order::PutLE32(p + entry::kPointer, static_cast<uint32_t>(e.Pointer));
    if (node.Leaf || i < count) EncodeKey(e, p + entry::kKey);
  }
  file_.BlockWrite(node.Page, b, blockSize_);
}

bool VRobjMDXTag::KeyAdd(const VRobjIndexKeyData& key) {
  VRobjIndexKeyData added = key;
  added.RecNo = 0;  // MDX stores no record number with interior keys
  return VRobjIndexTag::KeyAdd(added);
}

// ---- making the tag --------------------------------------------------------------------

bool VRobjMDXTag::LayoutFromSample() {
  if (!KeyLayoutFromSample(kNumericKeyLength, kDateKeyLength)) return false;
  if (keyLength_ > kMaxKeyLength) RaiseEngineMessage("Sort key length greater than 240 bytes");
  entryLength_ = mdx_format::EntryLength(keyLength_);
  maxKeys_ = mdx_format::MaxKeys(blockSize_, keyLength_);
  if (maxKeys_ < 2) RaiseEngineMessage("Index key too long for the block size of " + file_.FullName());
  return true;
}

void VRobjMDXTag::WriteEmptyRoot() {
  int32_t root = file_.PageAllocate();
  std::vector<uint8_t> zeroes(static_cast<size_t>(blockSize_), 0);
  file_.BlockWrite(root, zeroes.data(), blockSize_);
  firstBlock_ = lastBlock_ = root;
  SetRoot(root);
  TagStore();
}

bool VRobjMDXTag::TagCreate(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
                            const std::string& forExpression) {
  VRobjIndexTag::TagCreate(name, keyExpression, unique, ascending, forExpression);
  treeDescending_ = !ascending;
  if (!LayoutFromSample()) return false;
  firstBlock_ = lastBlock_ = 0;
  rootPage_ = 0;
  std::vector<uint8_t> zeroes(static_cast<size_t>(blockSize_), 0);
  file_.BlockWrite(headerPosition_, zeroes.data(), blockSize_);
  if (file_.Table()->RecordCount() == 0) {
    WriteEmptyRoot();
  } else {
    BulkBuild();
  }
  return true;
}

void VRobjMDXTag::Rebuild() {
  ForgetCursor();
  headerPosition_ = file_.PageAllocate();
  firstBlock_ = lastBlock_ = 0;
  rootPage_ = 0;
  headerDirty_ = true;
  TagStore();
  if (file_.Table() != nullptr && file_.Table()->RecordCount() > 0) {
    BulkBuild();
  } else {
    WriteEmptyRoot();
  }
}

}  // namespace velorin
