// CDX files kept current by record writes: random updates against a model with
// the index checker after every batch, two processes writing one table, and a
// change by one program seen by another.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "index/cdx_fixture.h"
#include "index/index_check.h"
#include "support/child_process.h"

namespace velorin {
namespace {

using testing::ChildProcess;
using testing::RecordsInOrder;
using testing::Signal;

struct Row {
  std::string name;
  int num = 0;
  bool ok = false;
};

class CdxUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("T.DBF");
    auto table = testing::MakeFilledTable(path_, {"NAME:C:8", "NUM:N:8", "OK:L"}, {});
    testing::MakeCdx(*table, dir_.File("T.CDX"),
                     {{"NAME", "NAME"},
                      {"DOWN", "NUM", false, false},
                      {"SOME", "NAME", false, true, "OK"},
                      {"ONCE", "NAME", true}});
  }

  static void Store(VRO_dBHandler& table, const Row& row) {
    table.PutValue(1, row.name);
    table.PutNumber(2, row.num);
    table.PutValue(3, row.ok ? "T" : "F");
  }

  std::string path_;
  testing::TempDir dir_;
};

TEST_F(CdxUpdateTest, RandomWritesKeepEveryTagTrueToTheTable) {
  VRO_dBHandler table(path_, true, false);
  ASSERT_EQ(table.OpenIndex("T.CDX"), 0);
  // A unique tag loses a key when the record that holds it changes (other
  // records with that key get it back only from Reindex): checked elsewhere.
  ASSERT_TRUE(dynamic_cast<VRobjCDXFile&>(*table.IndexFileInSlot(1)).TagRemove("ONCE"));
  std::mt19937 random(20261208);
  auto name = [&] { return "K" + std::to_string(random() % 300); };
  std::vector<Row> model;
  for (int batch = 0; batch < 12; ++batch) {
    for (int op = 0; op < 150; ++op) {
      Row row{name(), static_cast<int>(random() % 1000) - 500, random() % 2 == 0};
      if (model.empty() || random() % 3 == 0) {
        table.BlankRecord();
        Store(table, row);
        table.Append();
        model.push_back(row);
      } else {
        auto n = static_cast<int32_t>(random() % model.size()) + 1;
        table.GoRecord(n);
        Row& old = model[static_cast<size_t>(n - 1)];
        if (random() % 2 == 0) row.name = old.name;  // keys that stay as they were too
        Store(table, row);
        table.WriteRecord(n);
        old = row;
      }
    }
    SCOPED_TRACE("batch " + std::to_string(batch));
    std::vector<std::string> problems = CheckIndexFile(*table.IndexFileInSlot(1), table);
    ASSERT_TRUE(problems.empty()) << problems.front();
    // The descending tag: numbers from the highest, equal numbers by record from the highest.
    std::vector<std::tuple<int, int32_t>> expected;
    for (size_t i = 0; i < model.size(); ++i) expected.emplace_back(model[i].num, static_cast<int32_t>(i + 1));
    std::sort(expected.rbegin(), expected.rend());
    std::vector<int32_t> records;
    for (const auto& e : expected) records.push_back(std::get<1>(e));
    std::string tag = "DOWN";
    table.SelectOrder(&tag, false);
    EXPECT_EQ(RecordsInOrder(table), records);
    table.SelectOrder(nullptr, false);
  }
  table.Reindex();
  std::vector<std::string> problems = CheckIndexFile(*table.IndexFileInSlot(1), table);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

TEST_F(CdxUpdateTest, TwoProcessesWriteOneTableAndItsIndex) {
  constexpr int kEach = 300;
  Signal go;
  std::vector<std::unique_ptr<ChildProcess>> children;
  for (int p = 0; p < 2; ++p) {
    children.push_back(std::make_unique<ChildProcess>([&, p] {
      VRO_dBHandler table(path_, true, true);
      if (table.OpenIndex("T.CDX") != 0) return 1;
      go.WaitFor();
      for (int i = 0; i < kEach; ++i) {
        table.BlankRecord();
        Store(table, Row{"P" + std::to_string(p) + "-" + std::to_string(i * 7 % kEach), p * 1000 + i, i % 2 == 0});
        table.Append();
        if (i % 10 == 9) {  // and rewrite one of its own records
          int32_t n = table.RecordNumber();
          table.GoRecord(n);
          table.PutNumber(2, -i);
          table.WriteRecord(n);
        }
      }
      return 0;
    }));
  }
  for (int p = 0; p < 2; ++p) go.Notify();
  for (auto& child : children) EXPECT_EQ(child->Wait(), 0);
  VRO_dBHandler table(path_, true, false);
  ASSERT_EQ(table.RecordCount(), 2 * kEach);
  ASSERT_EQ(table.OpenIndex("T.CDX"), 0);
  std::vector<TagCheckResult> results = CheckIndex(*table.IndexFileInSlot(1), table);
  ASSERT_EQ(results.size(), 4u);
  for (const TagCheckResult& result : results) {
    EXPECT_TRUE(result.problems.empty()) << result.problems.front();
  }
  EXPECT_EQ(results[0].keys, 2 * kEach);
}

TEST_F(CdxUpdateTest, AWriteByAnotherProgramIsAnExternalChange) {
  VRO_dBHandler table(path_, true, true);
  ASSERT_EQ(table.OpenIndex("T.CDX"), 0);
  auto* file = dynamic_cast<VRobjCDXFile*>(table.IndexFileInSlot(1));
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(file->ExternalChange());
  ChildProcess writer([&] {
    VRO_dBHandler other(path_, true, true);
    if (other.OpenIndex("T.CDX") != 0) return 1;
    other.BlankRecord();
    Store(other, Row{"OTHER", 1, true});
    other.Append();
    return 0;
  });
  ASSERT_EQ(writer.Wait(), 0);
  EXPECT_TRUE(file->ExternalChange());
  // Our own write counts on from the file's counter and is no external change.
  table.BlankRecord();
  Store(table, Row{"MINE", 2, true});
  table.Append();
  EXPECT_FALSE(file->ExternalChange());
  std::string tag = "NAME";
  table.SelectOrder(&tag, false);
  EXPECT_EQ(RecordsInOrder(table), (std::vector<int32_t>{2, 1}));
}

}  // namespace
}  // namespace velorin
