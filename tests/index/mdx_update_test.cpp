// MDX files under change and under damage: random appends and edits against a
// model, checked by the index checker; damaged headers and nodes refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "index/index_check.h"
#include "index/mdx_fixture.h"
#include "index/mdx_format.h"
#include "support/raised_message.h"

namespace velorin {
namespace {

using namespace mdx_format;
using testing::LE32At;
using testing::MakeMdx;
using testing::RecordsInTag;

struct Row {
  std::string name;
  double number = 0;
  std::string born;  // yyyymmdd or blank
  bool active = false;
};

class MdxUpdateTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { InstallIndexFamilies(); }
  testing::TempDir dir_;
};

Row RandomRow(std::mt19937& random) {
  Row row;
  int n = static_cast<int>(random() % 400);
  row.name = n % 50 == 0 ? "" : "K" + std::to_string(n);  // duplicates and blank keys
  row.number = static_cast<double>(static_cast<int>(random() % 20001) - 10000) / 100.0;
  int day = static_cast<int>(random() % 3000);
  row.born = day < 100 ? "" : std::to_string(1980 + day % 40) + "0" + std::to_string(1 + day % 9) + "1" +
                                  std::to_string(day % 10);
  row.active = random() % 3 != 0;
  return row;
}

void Store(VRO_dBHandler& table, const Row& row) {
  table.PutValue(1, row.name);
  table.PutNumber(2, row.number);
  table.PutText(3, row.born);
  table.PutValue(4, row.active ? "T" : "F");
}

// Random appends and edits with five tags open; after every round the checker
// finds nothing and each tag walks the model's keys in the model's order. The
// unique tag's key is never edited: a record whose equal key was refused does
// not take the place of an edited one until the next reindex.
TEST_P(MdxUpdateTest, RandomUpdatesKeepEveryTagTrueToTheTable) {
  bool shared = GetParam();
  testing::MakeTable(dir_.File("T.DBF"), 0x03, {"NAME:C:8", "NUM:N:8:2", "BORN:D", "ACTIVE:L", "ID:C:6"});
  {
    VRO_dBHandler table(dir_.File("T.DBF"), true, false);
    MakeMdx(table, dir_.File("T.MDX"),
            {{"NAME", "NAME"}, {"NUMDOWN", "NUM", false, false}, {"BORN", "BORN"}, {"ID", "ID", true},
             {"ACT", "NAME", false, false, "ACTIVE"}});
  }
  VRO_dBHandler table(dir_.File("T.DBF"), true, shared);
  ASSERT_EQ(table.OpenIndex("T.MDX"), 0);
  std::mt19937 random(20261208);
  std::vector<Row> model;
  for (int round = 0; round < 6; ++round) {
    for (int step = 0; step < 400; ++step) {
      Row row = RandomRow(random);
      if (model.empty() || random() % 3 != 0) {
        table.BlankRecord();
        Store(table, row);
        table.PutValue(5, std::to_string(model.size() % 1000));  // unique until the thousandth record
        table.Append();
        model.push_back(row);
      } else {
        auto n = static_cast<int32_t>(random() % model.size()) + 1;
        table.GoRecord(n);
        Store(table, row);
        table.WriteRecord(n);
        model[static_cast<size_t>(n - 1)] = row;
      }
    }
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<std::string> problems = CheckIndexFile(*table.IndexFileInSlot(1), table);
    ASSERT_TRUE(problems.empty()) << problems.front();
    // The walk of each tag against the model's keys.
    std::vector<std::string> names;
    for (const Row& r : model) names.push_back(r.name);
    std::sort(names.begin(), names.end());
    std::vector<std::string> walked;
    for (int32_t record : RecordsInTag(table, "NAME")) walked.push_back(model[static_cast<size_t>(record - 1)].name);
    EXPECT_EQ(walked, names);
    std::vector<double> numbers;
    for (const Row& r : model) numbers.push_back(r.number);
    std::sort(numbers.rbegin(), numbers.rend());
    std::vector<double> walkedNumbers;
    for (int32_t record : RecordsInTag(table, "NUMDOWN")) {
      walkedNumbers.push_back(model[static_cast<size_t>(record - 1)].number);
    }
    EXPECT_EQ(walkedNumbers, numbers);
    size_t active = static_cast<size_t>(std::count_if(model.begin(), model.end(), [](const Row& r) { return r.active; }));
    EXPECT_EQ(RecordsInTag(table, "ACT").size(), active);
  }
  table.SelectOrder(nullptr, false);
  table.CloseIndexes();
  ASSERT_EQ(table.OpenIndex("T.MDX"), 0);
  std::vector<std::string> problems = CheckIndexFile(*table.IndexFileInSlot(1), table);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

INSTANTIATE_TEST_SUITE_P(ExclusiveAndShared, MdxUpdateTest, ::testing::Values(false, true));

// ---- damage ------------------------------------------------------------------------------

class MdxDamageTest : public ::testing::Test {
 protected:
  // T.MDX with a NAME tag (header at block 4) over 300 records: two levels.
  void SetUp() override {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 300; ++i) rows.push_back({"R" + std::to_string((i * 7) % 300)});
    table_ = testing::MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10"}, rows);
    MakeMdx(*table_, dir_.File("T.MDX"), {{"NAME", "NAME"}});
    bytes_ = testing::ReadFileBytes(dir_.File("T.MDX"));
    root_ = LE32At(bytes_, kTagHeader + tag_header::kRoot) * 512;
  }

  void Patch(size_t offset, const std::string& bytes) { testing::PatchFile(dir_.File("T.MDX"), offset, bytes); }
  static std::string LE16(uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
  static std::string LE32(uint32_t v) {
    std::string s(4, '\0');
    byte_order::PutLE32(s.data(), v);
    return s;
  }

  static constexpr size_t kTagHeader = 4 * 512;
  testing::TempDir dir_;
  std::unique_ptr<VRO_dBHandler> table_;
  std::string bytes_;
  size_t root_ = 0;
};

TEST_F(MdxDamageTest, DamagedHeadersAreRefusedWhenTheFileIsOpened) {
  struct Case {
    const char* what;
    size_t offset;
    std::string bytes;
  };
  size_t entry1 = TagEntryOffset(1);
  const Case cases[] = {
      {"no sectors per block", header::kSectorsPerBlock, LE16(0)},
      {"block size not a multiple of sectors", header::kBlockSize, LE16(1000)},
      {"block size beyond sectors per block", header::kBlockSize, LE16(2048)},
      {"more tags than the header holds", header::kTagCount, LE16(48)},
      {"more tags than the maximum", header::kMaxTags, std::string(1, '\0')},
      {"tag table entry length", header::kEntryLength, std::string(1, 16)},
      {"tag header inside the file header", entry1 + tag_entry::kHeaderBlock, LE32(1)},
      {"tag header beyond the file", entry1 + tag_entry::kHeaderBlock, LE32(100000)},
      {"tag name without its zero", entry1 + tag_entry::kName, std::string(11, 'N')},
      {"empty tag name", entry1 + tag_entry::kName, std::string(1, '\0')},
      {"key length 0", kTagHeader + tag_header::kKeyLength, LE16(0)},
      {"key length beyond 240", kTagHeader + tag_header::kKeyLength, LE16(300)},
      {"numeric key of 10 bytes", kTagHeader + tag_header::kKeyType, "N"},
      {"unknown key type", kTagHeader + tag_header::kKeyType, "X"},
      {"entry length below the key", kTagHeader + tag_header::kEntryLength, LE16(8)},
      {"more keys than a block holds", kTagHeader + tag_header::kMaxKeys, LE16(63)},
      {"one key per node", kTagHeader + tag_header::kMaxKeys, LE16(1)},
      {"root in the file header", kTagHeader + tag_header::kRoot, LE32(0)},
      {"key expression without its zero", kTagHeader + tag_header::kExpression, std::string(221, 'A')},
      {"FOR expression without its zero", kTagHeader + tag_header::kHasFor,
       std::string(1, 1) + std::string(516, '\0') + std::string(262, 'A')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::WriteFileBytes(dir_.File("T.MDX"), bytes_);
    Patch(c.offset, c.bytes);
    EXPECT_NE(testing::RaisedMessage([&] { table_->OpenIndex("T.MDX"); }).find("2112"), std::string::npos);
    EXPECT_EQ(table_->IndexFileCount(), 0);
  }
  testing::WriteFileBytes(dir_.File("T.MDX"), bytes_.substr(0, 1000));
  EXPECT_NE(testing::RaisedMessage([&] { table_->OpenIndex("T.MDX"); }).find("2112"), std::string::npos);
}

// Damage in the nodes is met when they are read: walking raises error 2112 and
// the checker names the page.
TEST_F(MdxDamageTest, DamagedNodesAreRefusedWhenReadAndFoundByTheChecker) {
  ASSERT_EQ(LE32At(bytes_, root_ + node::kCount), 4u);  // 5 children: the last without a key
  ASSERT_NE(LE32At(bytes_, root_ + node::kEntries + 4 * 16 + entry::kPointer), 0u);
  size_t child0 = root_ + node::kEntries + entry::kPointer;
  struct Case {
    const char* what;
    size_t offset;
    std::string bytes;
  };
  const Case cases[] = {
      {"count above the maximum", root_ + node::kCount, LE32(63)},
      {"child in the file header", child0, LE32(2)},
      {"child beyond the file", child0, LE32(100000)},
      {"child is the root itself", child0, LE32(static_cast<uint32_t>(root_ / 512))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    table_->CloseIndexes();
    testing::WriteFileBytes(dir_.File("T.MDX"), bytes_);
    Patch(c.offset, c.bytes);
    ASSERT_EQ(table_->OpenIndex("T.MDX"), 0);
    std::vector<std::string> problems = CheckIndexFile(*table_->IndexFileInSlot(1), *table_);
    EXPECT_FALSE(problems.empty());
    std::string tag = "NAME";
    EXPECT_NE(testing::RaisedMessage([&] {
                table_->SelectOrder(&tag, false);
                testing::RecordsInOrder(*table_);
              }).find("2112"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace velorin
