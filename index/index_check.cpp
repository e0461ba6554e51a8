#include "index/index_check.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "engine/vr6_dbsy.h"
#include "index/vr6_indx.h"
#include "platform/number_text.h"

namespace velorin {

namespace {


struct Entry {
  VRobjIndexKeyData key;
  int32_t record;
};

class TagChecker {
 public:
  TagChecker(VRobjIndexTag& tag, VRO_dBHandler& table, TagCheckResult& result)
      : tag_(tag), table_(table), result_(result) {}

  void Run() {
    tag_.DropCache();
    int32_t root = 0;
    try {
      root = tag_.RootPageGet();
    } catch (const EVelorinError& e) {
      Problem(e.what());
      return;
    }
    Subtree whole;
    Walk(root, 1, whole, nullptr);
    result_.keys = static_cast<int64_t>(entries_.size());
    result_.pages = static_cast<int64_t>(visited_.size());
    result_.levels = leafDepth_;
    CheckOrder();
    CheckRecords();
  }

 private:
  struct Subtree {
    const VRobjIndexKeyData* first = nullptr;
    const VRobjIndexKeyData* last = nullptr;
  };

  std::string Shown(const TvrVariant& key) const {
    // A damaged key of a numeric or date order may stand for no number: it is
    // shown as stored.
    TvrVariant value = tag_.KeyAsValue(key);
    bool number = value.Kind() == TvrVariantKind::kNumeric || value.Kind() == TvrVariantKind::kDate;
    if (tag_.KeyType() != 'C' && number) return platform::FloatToText(value.AsFloat());
    return "\"" + std::string(key.Bytes()) + "\"";
  }

  void Problem(const std::string& text) {
    if (result_.problems.size() < kMaxProblems) result_.problems.push_back("tag " + tag_.Name() + ": " + text);
  }

  // above: the entry that points to page, nullptr on the tree's right edge.
  void Walk(int32_t page, int32_t depth, Subtree& subtree, const VRobjIndexKeyData* above) {
    if (depth > VRobjIndexTag::kMaxDepth) {
      Problem("the tree is deeper than " + std::to_string(VRobjIndexTag::kMaxDepth) + " levels at page " +
              std::to_string(page));
      return;
    }
    if (!visited_.insert(page).second) {
      Problem("page " + std::to_string(page) + " is reached twice");
      return;
    }
    std::shared_ptr<VRobjIndexKey> node;
    try {
      node = tag_.NodeAt(page, above);
    } catch (const EVelorinError& e) {
      Problem("page " + std::to_string(page) + ": " + e.what());
      return;
    }
    if (node->Leaf) {
      if (leafDepth_ == 0) leafDepth_ = depth;
      if (depth != leafDepth_) {
        Problem("leaf page " + std::to_string(page) + " lies at depth " + std::to_string(depth) + ", others at " +
                std::to_string(leafDepth_));
      }
      for (const VRobjIndexKeyData& e : node->Entries) entries_.push_back({e, e.Pointer});
      if (!node->Entries.empty()) {
        subtree.first = &entries_[entries_.size() - node->Entries.size()].key;
        subtree.last = &entries_.back().key;
      }
      return;
    }
    if (node->Entries.empty()) {
      Problem("interior page " + std::to_string(page) + " has no entries");
      return;
    }
    entries_.reserve(entries_.size());
    for (size_t i = 0; i < node->Entries.size(); ++i) {
      size_t before = entries_.size();
      Subtree child;
      bool rightEdge = above == nullptr && i + 1 == node->Entries.size();
      Walk(node->Entries[i].Pointer, depth + 1, child, rightEdge ? nullptr : &node->Entries[i]);
      if (entries_.size() == before) continue;
      const VRobjIndexKeyData& firstKey = entries_[before].key;
      const VRobjIndexKeyData& lastKey = entries_.back().key;
      if (i + 1 < node->Entries.size() && tag_.CompareKeys(lastKey, node->Entries[i]) > 0) {
        Problem("page " + std::to_string(page) + " entry " + std::to_string(i) + ": key " +
                Shown(node->Entries[i]) + " is below the key " + Shown(lastKey) + " of its child");
      }
      if (i > 0 && tag_.CompareKeys(firstKey, node->Entries[i - 1]) < 0) {
        Problem("page " + std::to_string(page) + " entry " + std::to_string(i) + ": child key " + Shown(firstKey) +
                " is below the key " + Shown(node->Entries[i - 1]) + " before it");
      }
    }
  }

  void CheckOrder() {
    for (size_t i = 1; i < entries_.size(); ++i) {
      int c = tag_.CompareKeys(entries_[i - 1].key, entries_[i].key);
      if (c > 0 || (c == 0 && tag_.Unique())) {
        Problem("key " + Shown(entries_[i].key) + " of record " + std::to_string(entries_[i].record) +
                (c > 0 ? " is out of order" : " is not unique"));
      }
    }
  }

  void CheckRecords() {
    int32_t count = table_.RecordCount();
    std::unordered_map<int32_t, std::vector<size_t>> byRecord;
    for (size_t i = 0; i < entries_.size(); ++i) {
      int32_t record = entries_[i].record;
      if (record <= 0 || record > count) {
        Problem("a key points to record " + std::to_string(record) + ", beyond the table's " + std::to_string(count));
      } else {
        byRecord[record].push_back(i);
      }
    }
    VRobjIndexKeyData evaluated;
    for (int32_t n = 1; n <= count; ++n) {
      table_.GoRecord(n);
      auto found = byRecord.find(n);
      size_t keys = found == byRecord.end() ? 0 : found->second.size();
      bool passes = tag_.ForEvaluate();
      if (!passes) {
        if (keys > 0) Problem("record " + std::to_string(n) + " fails the FOR condition but has a key");
        continue;
      }
      tag_.KeyEvaluate(evaluated);
      if (keys > 1) Problem("record " + std::to_string(n) + " has " + std::to_string(keys) + " keys");
      if (keys >= 1) {
        const VRobjIndexKeyData& stored = entries_[found->second.front()].key;
        if (tag_.CompareKeys(stored, evaluated) != 0) {
          Problem("record " + std::to_string(n) + " has the key " + Shown(stored) + " but evaluates to " +
                  Shown(evaluated));
        }
      } else if (!tag_.Unique() || !HasEqualKey(evaluated)) {
        Problem("record " + std::to_string(n) + " has no key (it evaluates to " + Shown(evaluated) + ")");
      }
    }
  }

  // Whether a key equal to key is stored (on unique orders one record stands for all).
  bool HasEqualKey(const TvrVariant& key) const {
    auto below = std::lower_bound(entries_.begin(), entries_.end(), key, [this](const Entry& e, const TvrVariant& k) {
      return tag_.CompareKeys(e.key, k) < 0;
    });
    return below != entries_.end() && tag_.CompareKeys(below->key, key) == 0;
  }

  static constexpr size_t kMaxProblems = 100;

  VRobjIndexTag& tag_;
  VRO_dBHandler& table_;
  TagCheckResult& result_;
  std::vector<Entry> entries_;
  std::unordered_set<int32_t> visited_;
  int32_t leafDepth_ = 0;
};

}  // namespace

std::vector<TagCheckResult> CheckIndex(IndexFileLink& file, VRO_dBHandler& table) {
  std::vector<TagCheckResult> results;
  auto* indexFile = dynamic_cast<VRobjIndexFile*>(&file);
  if (indexFile == nullptr) return results;
  for (int32_t i = 0; i < indexFile->TagCount(); ++i) {
    VRobjIndexTag* tag = indexFile->Tag(i);
    TagCheckResult& result = results.emplace_back();
    result.tag = tag->Name();
    TagChecker(*tag, table, result).Run();
    tag->DropCache();
  }
  return results;
}

std::vector<std::string> CheckIndexFile(IndexFileLink& file, VRO_dBHandler& table) {
  std::vector<std::string> problems;
  for (const TagCheckResult& result : CheckIndex(file, table)) {
    problems.insert(problems.end(), result.problems.begin(), result.problems.end());
  }
  return problems;
}

}  // namespace velorin
