#include "engine/vr6_sort.h"

#include <algorithm>
#include <cstring>

#include "engine/byte_order.h"

namespace velorin {

namespace {

// Tree node, 10 bytes.
namespace tree_node {
constexpr size_t kFirstChild = 0;  // uint32 LE, 0 = none
constexpr size_t kSibling = 4;     // uint32 LE; or up to 4 inline key bytes
constexpr size_t kFlags = 8;       // low 3 bits: inline byte count; high 4: end-of-key mark
constexpr size_t kByte = 9;        // the key byte of this node
constexpr uint8_t kInlineMask = 0x07;
constexpr uint8_t kMarkMask = 0xF0;
constexpr int32_t kMaxInline = 4;
}  // namespace tree_node

// Run entry: mark, total length, new byte count, the new bytes.
namespace run_entry {
constexpr int32_t kMark = 0;
constexpr int32_t kTotal = 1;
constexpr int32_t kNewCount = 2;
constexpr int32_t kBytes = 3;
}  // namespace run_entry

constexpr uint32_t kNodesPerPage = TvrSort::kTreePageBytes / TvrSort::kNodeBytes;  // 4096
constexpr uint32_t kMaxNodes = kNodesPerPage * TvrSort::kMaxTreePages;

[[noreturn]] void KeyTooLong() { RaiseEngineMessage("Sort key length greater than 240 bytes"); }

}  // namespace

// ---- runs ------------------------------------------------------------------------

void TvrPageCollection::Write(uint8_t mark, const uint8_t* key, int32_t length) {
  int32_t shared = 0;
  int32_t limit = std::min(length, keyLength_);
  while (shared < limit && key_[shared] == key[shared]) ++shared;
  if (pages_.empty() || offset_ + length + run_entry::kBytes > kPageBytes - 1) {
    pages_.push_back(std::make_unique<uint8_t[]>(kPageBytes));  // zeroed
    offset_ = 0;
  }
  uint8_t* p = pages_.back().get() + offset_;
  p[run_entry::kMark] = mark;
  p[run_entry::kTotal] = static_cast<uint8_t>(length);
  p[run_entry::kNewCount] = static_cast<uint8_t>(length - shared);
  std::memcpy(p + run_entry::kBytes, key + shared, static_cast<size_t>(length - shared));
  offset_ += run_entry::kBytes + length - shared;
  pages_.back()[static_cast<size_t>(offset_)] = 0;
  std::memcpy(key_ + shared, key + shared, static_cast<size_t>(length - shared));
  keyLength_ = length;
}

void TvrPageCollection::Rewind() {
  page_ = 0;
  offset_ = 0;
  keyLength_ = 0;
  Load();
}

void TvrPageCollection::Advance() {
  if (offset_ >= 0) Load();
}

void TvrPageCollection::Load() {
  while (page_ < static_cast<int32_t>(pages_.size())) {
    const uint8_t* p = pages_[static_cast<size_t>(page_)].get() + offset_;
    if (p[run_entry::kMark] == 0) {
      ++page_;
      offset_ = 0;
      continue;
    }
    mark_ = p[run_entry::kMark];
    int32_t total = p[run_entry::kTotal];
    int32_t fresh = p[run_entry::kNewCount];
    std::memcpy(key_ + (total - fresh), p + run_entry::kBytes, static_cast<size_t>(fresh));
    keyLength_ = total;
    offset_ += run_entry::kBytes + fresh;
    return;
  }
  offset_ = -1;
}

// ---- the sorter --------------------------------------------------------------------

TvrSort::TvrSort(int32_t maxKeyLength, bool unique) : unique_(unique), maxKeyLength_(maxKeyLength) {
  if (maxKeyLength > kMaxKeyLength) KeyTooLong();
  treePages_.push_back(std::make_unique<uint8_t[]>(kTreePageBytes));
}

TvrSort::~TvrSort() = default;

uint8_t* TvrSort::Node(uint32_t n) {
  return treePages_[n / kNodesPerPage].get() + (n % kNodesPerPage) * kNodeBytes;
}

uint32_t TvrSort::NewNode() {
  uint32_t n = ++nodeCount_;
  if (n / kNodesPerPage >= treePages_.size()) treePages_.push_back(std::make_unique<uint8_t[]>(kTreePageBytes));
  uint8_t* node = Node(n);
  std::memset(node, 0, kNodeBytes);
  return n;
}

// The node keeps its own byte; a new node below takes the inline bytes, the end
// mark and the children.
void TvrSort::SplitInline(uint8_t* node) {
  int32_t count = node[tree_node::kFlags] & tree_node::kInlineMask;
  uint8_t bytes[tree_node::kMaxInline];
  std::memcpy(bytes, node + tree_node::kSibling, tree_node::kMaxInline);
  uint32_t n = NewNode();
  uint8_t* below = Node(n);
  below[tree_node::kByte] = bytes[0];
  std::memcpy(below + tree_node::kSibling, bytes + 1, static_cast<size_t>(count - 1));
  below[tree_node::kFlags] =
      static_cast<uint8_t>((node[tree_node::kFlags] & tree_node::kMarkMask) | (count - 1));
  std::memcpy(below + tree_node::kFirstChild, node + tree_node::kFirstChild, 4);
  byte_order::PutLE32(node + tree_node::kFirstChild, n);
  byte_order::PutLE32(node + tree_node::kSibling, 0);
  node[tree_node::kFlags] = 0;
}

void TvrSort::AddKey(const TvrVariant& key, int32_t recordNumber) {
  if (!accepting_) RaiseEngineMessage("Cannot add sort keys after beginning retrieval");
  if (key.Length() > maxKeyLength_) KeyTooLong();
  int32_t length = 0;
  uint8_t mark;
  switch (key.Kind()) {
    case TvrVariantKind::kText: {
      std::string_view text = key.Bytes();
      while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
      mark = kMarkText;
      std::memcpy(work_, text.data(), text.size());
      length = static_cast<int32_t>(text.size());
      break;
    }
    case TvrVariantKind::kNumeric: {
      uint64_t bits;
      double value = key.AsFloat();
      std::memcpy(&bits, &value, sizeof bits);
      bits = (bits >> 63) != 0 ? ~bits : bits | (uint64_t{1} << 63);
      byte_order::PutBE32(work_, static_cast<uint32_t>(bits >> 32));
      byte_order::PutBE32(work_ + 4, static_cast<uint32_t>(bits));
      mark = kMarkNumeric;
      length = 8;
      break;
    }
    case TvrVariantKind::kDate:
      // The sign bit flipped so that blank (negative) days sort first.
      byte_order::PutBE32(work_, static_cast<uint32_t>(key.AsDate()) ^ 0x80000000u);
      mark = kMarkDate;
      length = 4;
      break;
    case TvrVariantKind::kRaw:
      mark = kMarkRaw;
      length = key.Length();
      if (length > 0) std::memcpy(work_, key.Data(), static_cast<size_t>(length));
      break;
    default: RaiseEngineMessage("Variant type cannot be sorted");
  }
  byte_order::PutBE32(work_ + length, static_cast<uint32_t>(recordNumber));
  length += 4;

  if (nodeCount_ + static_cast<uint32_t>(length) + 2 >= kMaxNodes) WriteRun();

  uint8_t* parent = root_;
  int32_t i = 0;
  while (i < length) {
    uint32_t first = byte_order::GetLE32(parent + tree_node::kFirstChild);
    if (first == 0) {
      uint32_t n = NewNode();
      uint8_t* node = Node(n);
      int32_t inlineCount = std::min(tree_node::kMaxInline, length - i - 1);
      node[tree_node::kByte] = work_[i];
      std::memcpy(node + tree_node::kSibling, work_ + i + 1, static_cast<size_t>(inlineCount));
      node[tree_node::kFlags] = static_cast<uint8_t>(inlineCount);
      byte_order::PutLE32(parent + tree_node::kFirstChild, n);
      parent = node;
      i += 1 + inlineCount;
      continue;
    }
    uint8_t* firstNode = Node(first);
    if (firstNode[tree_node::kFlags] & tree_node::kInlineMask) SplitInline(firstNode);
    uint8_t* previous = nullptr;
    uint32_t current = first;
    uint8_t* found = nullptr;
    while (current != 0) {
      uint8_t* node = Node(current);
      if (node[tree_node::kByte] == work_[i]) {
        found = node;
        break;
      }
      if (node[tree_node::kByte] > work_[i]) break;
      previous = node;
      current = byte_order::GetLE32(node + tree_node::kSibling);
    }
    if (found == nullptr) {
      uint32_t n = NewNode();
      found = Node(n);
      found[tree_node::kByte] = work_[i];
      byte_order::PutLE32(found + tree_node::kSibling, current);
      byte_order::PutLE32(previous ? previous + tree_node::kSibling : parent + tree_node::kFirstChild, n);
    }
    parent = found;
    ++i;
  }
  parent[tree_node::kFlags] = static_cast<uint8_t>((parent[tree_node::kFlags] & tree_node::kInlineMask) | mark);
  ++keyCount_;
}

void TvrSort::WriteRun() {
  uint32_t first = byte_order::GetLE32(root_ + tree_node::kFirstChild);
  if (first != 0) {
    auto run = std::make_unique<TvrPageCollection>();
    uint8_t key[kMaxKeyLength + 8] = {};
    struct Step {
      uint32_t node;
      int32_t depth;
    };
    std::vector<Step> stack{{first, 0}};
    while (!stack.empty()) {
      Step step = stack.back();
      stack.pop_back();
      const uint8_t* node = Node(step.node);
      int32_t inlineCount = node[tree_node::kFlags] & tree_node::kInlineMask;
      key[step.depth] = node[tree_node::kByte];
      std::memcpy(key + step.depth + 1, node + tree_node::kSibling, static_cast<size_t>(inlineCount));
      int32_t end = step.depth + 1 + inlineCount;
      uint8_t mark = node[tree_node::kFlags] & tree_node::kMarkMask;
      if (mark != 0) run->Write(mark, key, end);
      uint32_t sibling = inlineCount == 0 ? byte_order::GetLE32(node + tree_node::kSibling) : 0;
      uint32_t child = byte_order::GetLE32(node + tree_node::kFirstChild);
      if (sibling != 0) stack.push_back({sibling, step.depth});
      if (child != 0) stack.push_back({child, end});
    }
    run->Rewind();
    runs_.push_back(std::move(run));
  }
  std::memset(root_, 0, sizeof root_);
  nodeCount_ = 0;
}

int32_t TvrSort::SmallestRun() {
  if (heap_.empty()) return -1;
  return heap_.front();
}

bool TvrSort::NextKey(TvrVariant& key, int32_t& recordNumber) {
  // Heap order: the smaller key first, the earlier run on equal keys.
  auto after = [this](int32_t a, int32_t b) {
    const TvrPageCollection& x = *runs_[static_cast<size_t>(a)];
    const TvrPageCollection& y = *runs_[static_cast<size_t>(b)];
    int32_t common = std::min(x.KeyLength(), y.KeyLength());
    int c = std::memcmp(x.Key(), y.Key(), static_cast<size_t>(common));
    if (c != 0) return c > 0;
    if (x.KeyLength() != y.KeyLength()) return x.KeyLength() > y.KeyLength();
    return a > b;
  };
  if (accepting_) {
    WriteRun();
    treePages_.clear();
    accepting_ = false;
    for (size_t i = 0; i < runs_.size(); ++i) {
      if (!runs_[i]->Exhausted()) heap_.push_back(static_cast<int32_t>(i));
    }
    std::make_heap(heap_.begin(), heap_.end(), after);
  }
  while (true) {
    int32_t index = SmallestRun();
    if (index < 0) return false;
    std::pop_heap(heap_.begin(), heap_.end(), after);
    heap_.pop_back();
    TvrPageCollection& run = *runs_[static_cast<size_t>(index)];
    const uint8_t* bytes = run.Key();
    int32_t length = run.KeyLength() - 4;
    recordNumber = static_cast<int32_t>(byte_order::GetBE32(bytes + length));
    switch (run.Mark()) {
      case kMarkText: key.SetText(std::string_view(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length))); break;
      case kMarkNumeric: {
        uint64_t bits = (uint64_t{byte_order::GetBE32(bytes)} << 32) | byte_order::GetBE32(bytes + 4);
        bits = (bits >> 63) != 0 ? bits & ~(uint64_t{1} << 63) : ~bits;
        double value;
        std::memcpy(&value, &bits, sizeof value);
        key.SetFloat(value);
        break;
      }
      case kMarkDate: key.SetDate(static_cast<int32_t>(byte_order::GetBE32(bytes) ^ 0x80000000u)); break;
      default: key.SetBytes(bytes, length); break;
    }
    run.Advance();
    if (!run.Exhausted()) {
      heap_.push_back(index);
      std::push_heap(heap_.begin(), heap_.end(), after);
    }
    if (unique_) {
      if (haveLast_ && key.Compare(&lastReturned_, nullptr, -1) == 0) continue;
      lastReturned_ = key;
      haveLast_ = true;
    }
    return true;
  }
}

}  // namespace velorin
