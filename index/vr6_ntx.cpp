#include "index/vr6_ntx.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/byte_order.h"
#include "engine/number_format.h"
#include "engine/vr6_Date.h"
#include "engine/vr6_dbsy.h"
#include "index/ntx_format.h"
#include "platform/convert_error.h"

namespace velorin {

namespace {

using namespace ntx_format;

// The key of the rightmost pointer of an interior page on the right edge: above
// every key (only the framework's bookkeeping sees it).
constexpr const char* kHighestKey = "\xFF";

// Whether text is a numeric key already: key length long, digits (or the
// characters negative digits become) with the point where the decimals put it.
bool IsNumericKeyText(std::string_view text, int32_t keyLength, int32_t decimals) {
  if (static_cast<int32_t>(text.size()) != keyLength) return false;
  size_t point = decimals > 0 ? static_cast<size_t>(keyLength - decimals - 1) : std::string_view::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    bool digit = (c >= '0' && c <= '9') || (c >= kNegativeDigitBase - '9' && c <= kNegativeDigitBase - '0');
    if (i == point ? c != '.' : !digit) return false;
  }
  return true;
}

bool AllDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

// ---- key forms -----------------------------------------------------------------------

void VRobjNTXTag::AdjustValue(TvrVariant& value) const {
  bool isText = value.Kind() == TvrVariantKind::kText;
  std::string_view text = isText ? value.Bytes() : std::string_view();
  if (keyType_ == 'N') {
    if (isText && IsNumericKeyText(text, keyLength_, decimals_)) return;  // converted before
    double number = value.AsFloat();
    std::optional<std::string> digits = FormatFixed(std::fabs(number), decimals_);
    if (!digits) RaiseEngineMessage("Numeric key out of range - " + file_.FullName());
    // Right-aligned with leading zeros; a longer text is refused by the key length check.
    if (static_cast<int32_t>(digits->size()) < keyLength_) digits->insert(0, keyLength_ - digits->size(), '0');
    if (number < 0) {
      for (char& c : *digits) {
        if (c >= '0' && c <= '9') c = static_cast<char>(kNegativeDigitBase - c);
      }
    }
    value.SetText(*digits);
    return;
  }
  if (keyType_ == 'D') {
    if (isText && text.size() <= 8 && AllDigits(text)) return;  // a date key, or the start of one
    auto day = static_cast<int32_t>(KeyDayNumber(value));
    std::string stored = day > 0 ? DBFDate().DayNumberToStorage(day) : std::string();
    value.SetText(stored.empty() || stored[0] == ' ' ? kBlankDateKey : stored);
    return;
  }
  std::string key = isText ? std::string(text) : value.AsString();
  key.resize(std::min(key.size(), key.find_last_not_of(' ') + 1));
  value.SetText(key);
  if (file_.UpperKeys()) value.UpperText();
}

TvrVariant VRobjNTXTag::KeyAsValue(const TvrVariant& stored) const {
  TvrVariant key = stored;
  if (key.Kind() != TvrVariantKind::kText || (keyType_ != 'N' && keyType_ != 'D')) return key;
  std::string text(key.Bytes());
  try {
    if (keyType_ == 'D') {
      key.SetDate(text == kBlankDateKey ? 0 : DBFDate().TextToDayNumber(text));
      return key;
    }
    bool negative = false;
    for (char& c : text) {
      if (c >= kNegativeDigitBase - '9' && c <= kNegativeDigitBase - '0') {
        c = static_cast<char>(kNegativeDigitBase - c);
        negative = true;
      }
    }
    key.SetText(text);
    double number = key.AsFloat();
    key.SetFloat(negative ? -number : number);
    return key;
  } catch (const platform::EConvertError&) {
    return stored;  // a damaged key stands for no value: shown as it is stored
  }
}

// ---- the header ------------------------------------------------------------------------

int32_t VRobjNTXTag::ReadHeader(bool everything) {
  uint8_t block[kPageSize];
  if (!file_.BlockRead(0, block, kPageSize)) file_.Damaged();
  auto& file = static_cast<VRobjNTXFile&>(file_);
  uint16_t signature = byte_order::GetLE16(block + header::kSignature);
  uint32_t root = byte_order::GetLE32(block + header::kRoot);
  if ((signature != kSignature && signature != kSignatureWithFor) || root < static_cast<uint32_t>(kPageSize) ||
      root % kPageSize != 0 || root > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
    file_.Damaged();
  }
  file.SetChangeCounter(byte_order::GetLE16(block + header::kChangeCounter));
  if (!everything) return static_cast<int32_t>(root);
  NtxLayout layout{byte_order::GetLE16(block + header::kKeyLength), byte_order::GetLE16(block + header::kItemLength),
                   byte_order::GetLE16(block + header::kMaxKeys)};
  int32_t halfPage = byte_order::GetLE16(block + header::kHalfPage);
  int32_t decimals = byte_order::GetLE16(block + header::kDecimals);
  const char* key = reinterpret_cast<const char*>(block + header::kExpression);
  size_t keySize = strnlen(key, header::kExpressionSize);
  if (!layout.Valid() || halfPage < 1 || halfPage > layout.maxKeys || decimals >= layout.keyLength || keySize == 0 ||
      keySize == header::kExpressionSize) {
    file_.Damaged();
  }
  const char* forText = reinterpret_cast<const char*>(block + header::kForExpression);
  size_t forSize = (signature & 1) != 0 ? strnlen(forText, header::kForExpressionSize) : 0;
  if (forSize == header::kForExpressionSize) file_.Damaged();
  layout_ = layout;
  keyLength_ = layout.keyLength;
  decimals_ = decimals;
  keyText_.assign(key, keySize);
  forText_.assign(forText, forSize);
  unique_ = (block[header::kUnique] & 1) != 0;
  return static_cast<int32_t>(root);
}

void VRobjNTXTag::TagLoad() {
  rootPage_ = ReadHeader(true);
  headerDirty_ = false;
  KeyExprCompile();
  ForExprCompile();
  char type = keyExpression_ ? keyExpression_->ResultType() : 'C';
  keyType_ = type == 'N' || type == 'D' ? type : 'C';
}

int32_t VRobjNTXTag::RootPageGet() {
  if (file_.Shared() || rootPage_ <= 0) rootPage_ = ReadHeader(false);
  return rootPage_;
}

void VRobjNTXTag::TagStore() {
  uint8_t block[kPageSize] = {};
  auto& file = static_cast<VRobjNTXFile&>(file_);
  byte_order::PutLE16(block + header::kSignature, HasFor() ? kSignatureWithFor : kSignature);
  byte_order::PutLE16(block + header::kChangeCounter, file.ChangeCounter());
  byte_order::PutLE32(block + header::kRoot, static_cast<uint32_t>(rootPage_));
  byte_order::PutLE16(block + header::kItemLength, static_cast<uint16_t>(layout_.itemLength));
  byte_order::PutLE16(block + header::kKeyLength, static_cast<uint16_t>(layout_.keyLength));
  byte_order::PutLE16(block + header::kDecimals, static_cast<uint16_t>(decimals_));
  byte_order::PutLE16(block + header::kMaxKeys, static_cast<uint16_t>(layout_.maxKeys));
  byte_order::PutLE16(block + header::kHalfPage, static_cast<uint16_t>(layout_.maxKeys / 2));
  std::memcpy(block + header::kExpression, keyText_.data(), std::min(keyText_.size(), header::kExpressionSize - 1));
  block[header::kUnique] = unique_ ? 1 : 0;
  block[header::kDescending] = ascending_ ? 0 : 1;
  std::memcpy(block + header::kForExpression, forText_.data(),
              std::min(forText_.size(), header::kForExpressionSize - 1));
  file_.BlockWrite(0, block, kPageSize);
  headerDirty_ = false;
}

// ---- pages -----------------------------------------------------------------------------

std::shared_ptr<VRobjIndexKey> VRobjNTXTag::PageLoadBelow(int32_t page, const VRobjIndexKeyData* above) {
  uint8_t block[kPageSize];
  if (!file_.BlockRead(page, block, kPageSize)) file_.Damaged();
  std::vector<NtxItem> items;
  bool interior = false;
  if (!DecodeNtxPage(block, layout_, items, interior)) file_.Damaged();
  auto node = std::make_shared<VRobjIndexKey>();
  node->Leaf = !interior;
  size_t keys = interior ? items.size() - 1 : items.size();
  node->Entries.resize(keys);
  for (size_t i = 0; i < keys; ++i) {
    VRobjIndexKeyData& e = node->Entries[i];
    e.SetText(items[i].key);
    e.RecNo = static_cast<int32_t>(items[i].record);
    e.Pointer = static_cast<int32_t>(interior ? items[i].child : items[i].record);
  }
  // The key above the page closes it: the interior page's rightmost child leads
  // to it, and the leaf returns it as its last key.
  if (interior) {
    VRobjIndexKeyData& last = node->Entries.emplace_back();
    if (above != nullptr) {
      static_cast<TvrVariant&>(last) = *above;
      last.RecNo = above->RecNo;
    } else {
      last.SetText(kHighestKey);
    }
    last.Pointer = static_cast<int32_t>(items.back().child);
  } else if (above != nullptr) {
    VRobjIndexKeyData& last = node->Entries.emplace_back();
    static_cast<TvrVariant&>(last) = *above;
    last.RecNo = above->RecNo;
    last.Pointer = above->RecNo;
  }
  return node;
}

bool VRobjNTXTag::PageFits(const VRobjIndexKey& node) const {
  // A leaf off the right edge could hold one entry more (its last is its
  // parent's); counting it keeps the test free of the tree's shape.
  return node.Leaf ? node.Count() <= layout_.maxKeys : node.Count() - 1 <= layout_.maxKeys;
}

bool VRobjNTXTag::OnRightEdge(int32_t page) {
  if (page == rootPage_) return true;
  std::shared_ptr<VRobjIndexKey> node = NodeAt(rootPage_);
  for (int32_t depth = 0; !node->Leaf && !node->Entries.empty() && depth < kMaxDepth; ++depth) {
    int32_t child = node->Entries.back().Pointer;
    if (child == page) return true;
    node = NodeAt(child);
  }
  return false;
}

void VRobjNTXTag::PageStore(const VRobjIndexKey& node) {
  NtxPageWriter writer(layout_);
  int32_t count = 0;
  if (!node.Leaf) {
    count = node.Count() - 1;
    for (int32_t i = 0; i < count; ++i) {
      const VRobjIndexKeyData& e = node.Entries[static_cast<size_t>(i)];
      writer.Put(static_cast<uint32_t>(e.Pointer), static_cast<uint32_t>(e.RecNo), e.Bytes());
    }
    writer.Put(static_cast<uint32_t>(node.Entries.back().Pointer), 0, "");
  } else {
    bool edge = OnRightEdge(node.Page);
    count = edge ? node.Count() : std::max(node.Count() - 1, 0);
    for (int32_t i = 0; i < count; ++i) {
      const VRobjIndexKeyData& e = node.Entries[static_cast<size_t>(i)];
      writer.Put(0, static_cast<uint32_t>(e.Pointer), e.Bytes());
    }
  }
  writer.SetCount(count);
  WritePage(node.Page, writer);
}

void VRobjNTXTag::WritePage(int32_t page, const NtxPageWriter& writer) {
  file_.BlockWrite(page, writer.Bytes(), kPageSize);
}

// ---- building --------------------------------------------------------------------------

bool VRobjNTXTag::TagCreate(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
                            const std::string& forExpression) {
  VRobjIndexTag::TagCreate(name, keyExpression, unique, ascending, forExpression);
  VRO_dBHandler* table = file_.Table();
  if (!keyExpression_ || table == nullptr) return false;
  TvrVariant sample;
  keyExpression_->Evaluate(sample);
  decimals_ = 0;
  switch (keyExpression_->ResultType()) {
    case 'N':
      keyType_ = 'N';
      keyLength_ = keyExpression_->ResultWidth();
      decimals_ = keyExpression_->ResultDecimals();
      break;
    case 'D':
      keyType_ = 'D';
      keyLength_ = 8;
      break;
    default:
      keyType_ = 'C';
      keyLength_ = sample.Kind() == TvrVariantKind::kText ? sample.Length()
                                                          : static_cast<int32_t>(sample.AsString().size());
  }
  if (keyLength_ <= 0) RaiseEngineMessage("Index key of length 0 - " + file_.FullName());
  if (keyLength_ > TvrSort::kMaxKeyLength - 1) RaiseEngineMessage("Sort key length greater than 240 bytes");
  if (keyText_.size() >= header::kExpressionSize || forText_.size() >= header::kForExpressionSize) {
    RaiseEngineMessage("Index expression too long - " + file_.FullName());
  }
  layout_ = NtxLayout::ForKeyLength(keyLength_);
  if (!layout_.Valid() || decimals_ < 0 || decimals_ >= keyLength_) {
    RaiseEngineMessage("Index key does not fit a page - " + file_.FullName());
  }
  BuildNewOrder(kPageSize);
  return true;
}

void VRobjNTXTag::BulkBuild() {
  auto& file = static_cast<VRobjNTXFile&>(file_);
  VRobjSortNTX sorter(*this, file);
  ForEachRecordKey([&sorter](const VRobjIndexKeyData& key) { sorter.AddKey(key, key.Pointer); });
  sorter.WriteTree();
  ForgetCursor();
  headerDirty_ = true;
  TagStore();
}

// ---- the file ----------------------------------------------------------------------------

VRobjNTXFile::VRobjNTXFile(VRO_dBHandler* table, const std::string& name, bool overwrite, bool create)
    : VRobjIndexFile(table) {
  if (!IndexFileOpen(name, overwrite, create, ".NTX")) return;
  if (create) {
    allocationPoint_ = 0;
  } else {
    auto tag = std::make_unique<VRobjNTXTag>(*this, 0);
    tag->SetName(NameWithoutExtension(fileName_));
    PageEndRefresh();
    tag->TagLoad();
    tags_.push_back(std::move(tag));
  }
  opened_ = true;
}

bool VRobjNTXFile::TagAdd(const std::string& name, const std::string& keyExpression, bool unique, bool ascending,
                          const std::string& forExpression) {
  if (!ascending) RaiseEngineMessage("NTX files keep no descending order - " + fullName_);
  tags_.clear();
  allocationPoint_ = 0;
  changeCounter_ = 1;
  auto tag = std::make_unique<VRobjNTXTag>(*this, 0);
  VRobjNTXTag* added = tag.get();
  tags_.push_back(std::move(tag));
  return added->TagCreate(name, keyExpression, unique, ascending, forExpression);
}

int32_t VRobjNTXFile::PageAllocate() { return PageOffsetAllocate(kPageSize); }

int32_t VRobjNTXFile::PageEndRefresh() { return PageOffsetEnd(kPageSize); }

bool VRobjNTXFile::BlockRead(int32_t page, void* buffer, int32_t length) {
  return BlockAt(page, 1, buffer, length);
}

void VRobjNTXFile::BlockWrite(int32_t page, const void* buffer, int32_t length) {
  BlockPut(page, 1, buffer, length);
}

bool VRobjNTXFile::RecordChanged(int32_t record, bool isNew) {
  VRobjNTXTag* tag = NtxTag();
  if (tag == nullptr) return false;
  // Another program may have moved the root and the counter: take them first.
  tag->RootPageGet();
  changeCounter_ = changeCounter_ >= kLastChangeCounter ? 1 : static_cast<uint16_t>(changeCounter_ + 1);
  tag->MarkHeaderDirty();
  tag->TagStore();
  return VRobjIndexFile::RecordChanged(record, isNew);
}

bool VRobjNTXFile::ExternalChange() {
  if (!disk_ || !disk_->Shared()) return false;
  uint8_t counter[2];
  if (!BlockRead(header::kChangeCounter, counter, 2)) return false;
  return byte_order::GetLE16(counter) != changeCounter_;
}

void VRobjNTXFile::ZapLocked() {
  VRobjNTXTag* tag = NtxTag();
  tag->ForgetCursor();
  disk_->Truncate(2 * kPageSize);
  allocationPoint_ = 2 * kPageSize;
  changeCounter_ = 1;
  tag->SetRoot(kPageSize);
  tag->TagStore();
  uint8_t zeroes[kPageSize] = {};
  BlockWrite(kPageSize, zeroes, kPageSize);
}

void VRobjNTXFile::IndexZap() {
  if (NtxTag() == nullptr) return;
  IndexFileLockScope lock(*this);
  ZapLocked();
}

void VRobjNTXFile::Reindex() {
  VRobjNTXTag* tag = NtxTag();
  if (tag == nullptr) return;
  IndexFileLockScope lock(*this);
  ZapLocked();
  allocationPoint_ = kPageSize;  // the zapped root page is built over
  tag->BulkBuild();
}

}  // namespace velorin
