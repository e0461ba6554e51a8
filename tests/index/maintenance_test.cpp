// Keeping an NDX index current while records change: random inserts, updates,
// deletes and recalls against a model, two processes writing at once, and the
// faults of key maintenance that must not come back.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "index/index_check.h"
#include "index/index_fixture.h"
#include "support/child_process.h"
#include "support/raised_message.h"

namespace velorin {
namespace {

using testing::MakeFilledTable;
using testing::MakeNdx;

class MaintenanceTest : public ::testing::Test {
 protected:
  void Open(VRO_dBHandler& table, const std::string& index) {
    ASSERT_EQ(table.OpenIndex(index), 0);
    std::string tag = NameWithoutExtension(index);
    table.SelectOrder(&tag, false);
  }
  void ExpectSound(VRO_dBHandler& table) {
    std::vector<std::string> problems = CheckIndexFile(*table.IndexFileInSlot(1), table);
    ASSERT_TRUE(problems.empty()) << problems.size() << " problems, first: " << problems.front();
  }
  // (key, record) pairs in index order, as the order walks them.
  static std::vector<std::pair<std::string, int32_t>> Keys(VRO_dBHandler& table) {
    std::vector<std::pair<std::string, int32_t>> keys;
    IndexOrder& order = *table.CurrentOrder();
    for (int32_t r = order.KeyMove(nav::kFirst); r > 0; r = order.KeyMove(nav::kNext)) {
      keys.emplace_back(order.CurrentKey().AsString(), r);
    }
    return keys;
  }
  testing::TempDir dir_;
};

// 100,000 operations: four runs of 25,000 from different seeds (so that each
// stays within a test's time), in batches; after each batch the checker passes
// and the keys are the model's. Short keys from a small alphabet make long runs
// of equal keys that span leaves.
class RandomMaintenanceTest : public MaintenanceTest, public ::testing::WithParamInterface<int> {};

TEST_P(RandomMaintenanceTest, InsertsUpdatesDeletesAndRecallsFollowTheModel) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:3"}, {{"AAA"}});
  MakeNdx(*table, dir_.File("NAME.NDX"), "NAME");
  Open(*table, "NAME.NDX");
  std::mt19937 random(static_cast<unsigned>(GetParam()));
  std::map<int32_t, std::string> model{{1, "AAA"}};
  auto randomKey = [&] {
    std::string key(1 + random() % 3, 'A');
    for (char& c : key) c = static_cast<char>('A' + random() % 4);
    return key;
  };
  const int kBatches = 5;
  const int kPerBatch = 5000;
  for (int batch = 0; batch < kBatches; ++batch) {
    for (int i = 0; i < kPerBatch; ++i) {
      int what = static_cast<int>(random() % 10);
      if (what < 3 || model.size() < 10) {
        std::string key = randomKey();
        table->BlankRecord();
        table->PutTextByName("NAME", key);
        table->Append();
        model[table->RecordNumber()] = key;
      } else {
        auto n = static_cast<int32_t>(1 + random() % table->RecordCount());
        table->GoRecord(n);
        if (what < 7) {
          std::string key = randomKey();
          table->PutTextByName("NAME", key);
          table->WriteRecord(n);
          model[n] = key;
        } else if (what < 9) {
          table->DeleteRecord();
        } else {
          table->RecallRecord();
        }
      }
    }
    SCOPED_TRACE("batch " + std::to_string(batch));
    ExpectSound(*table);
    std::vector<std::pair<std::string, int32_t>> expected;
    for (const auto& [record, key] : model) expected.emplace_back(key, record);
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // Equal keys: the order among them is the order of their insertion, which
    // the model does not keep; compare as sorted pairs and the keys in order.
    auto keys = Keys(*table);
    std::vector<std::string> ourKeys, modelKeys;
    for (const auto& k : keys) ourKeys.push_back(k.first);
    for (const auto& k : expected) modelKeys.push_back(k.first);
    ASSERT_EQ(ourKeys, modelKeys);
    std::sort(keys.begin(), keys.end());
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(keys, expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomMaintenanceTest, ::testing::Values(7, 8, 9, 10));

// Two processes append and rewrite records of one shared table and its index at
// once; afterwards nothing is lost and the index is sound.
TEST_F(MaintenanceTest, TwoProcessesWritingOneIndexedTable) {
  {
    auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:8", "WHO:C:1"}, {});
    MakeNdx(*table, dir_.File("NAME.NDX"), "NAME");
  }
  const int kEach = 300;
  auto work = [&](char who) {
    VRO_dBHandler table(dir_.File("T.DBF"), true, true);
    table.OpenIndex("NAME.NDX");
    std::mt19937 random(who);
    std::vector<int32_t> mine;
    for (int i = 0; i < kEach; ++i) {
      if (i % 3 == 2 && !mine.empty()) {
        int32_t n = mine[random() % mine.size()];
        table.GoRecord(n);
        if (!table.LockRecord()) continue;
        table.GoRecord(n);
        table.PutTextByName("NAME", std::string(1, who) + std::to_string(random() % 1000));
        table.WriteRecord(n);
        table.Unlock();
      } else {
        table.BlankRecord();
        table.PutTextByName("NAME", std::string(1, who) + std::to_string(random() % 1000));
        table.PutTextByName("WHO", std::string(1, who));
        table.Append();
        mine.push_back(table.RecordNumber());
      }
    }
  };
  pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    int status = 0;
    try {
      work('B');
    } catch (const std::exception& e) {
      std::fprintf(stderr, "child: %s\n", e.what());
      status = 1;
    }
    _exit(status);
  }
  work('A');
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  VRO_dBHandler table(dir_.File("T.DBF"), false, true);
  Open(table, "NAME.NDX");
  int appendsEach = kEach - kEach / 3;
  EXPECT_EQ(table.RecordCount(), 2 * appendsEach);
  ExpectSound(table);
  EXPECT_EQ(Keys(table).size(), static_cast<size_t>(2 * appendsEach));
}

// A record rewritten while the order has a range that excludes its old key: the
// old entry goes all the same.
TEST_F(MaintenanceTest, UpdatesIgnoreTheRange) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:4"}, {{"AAAA"}, {"MMMM"}, {"ZZZZ"}});
  MakeNdx(*table, dir_.File("NAME.NDX"), "NAME");
  Open(*table, "NAME.NDX");
  table->SetRange("M", "N", true, true);
  table->GoRecord(1);
  table->PutTextByName("NAME", "NNNA");
  table->WriteRecord(1);
  table->GoRecord(3);
  table->PutTextByName("NAME", "BBBB");
  table->WriteRecord(3);
  ExpectSound(*table);
}

// Many equal keys over several leaves: rewriting the last of them finds its old
// entry, however many leaves lie before it.
TEST_F(MaintenanceTest, EqualKeysAcrossLeavesAreFoundForTheirRecord) {
  std::vector<std::vector<std::string>> rows(200, {"SAME"});
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:4"}, rows);
  MakeNdx(*table, dir_.File("NAME.NDX"), "NAME");
  Open(*table, "NAME.NDX");
  for (int32_t n : {200, 150, 1}) {
    table->GoRecord(n);
    table->PutTextByName("NAME", "ZZZ");
    table->WriteRecord(n);
  }
  ExpectSound(*table);
}

// A deleted record has a key after a rebuild, and keeps it when recalled.
TEST_F(MaintenanceTest, RebuildsKeyDeletedRecordsToo) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:4"}, {{"B"}, {"A"}, {"C"}});
  table->GoRecord(2);
  table->DeleteRecord();
  MakeNdx(*table, dir_.File("NAME.NDX"), "NAME");
  Open(*table, "NAME.NDX");
  table->Reindex();
  ExpectSound(*table);
  table->GoRecord(2);
  table->RecallRecord();
  ExpectSound(*table);
  EXPECT_EQ(Keys(*table).front().second, 2);
}

TEST_F(MaintenanceTest, AKeyLongerThanTheKeyLengthIsRefusedNotCut) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:8"}, {{"AB"}});
  MakeNdx(*table, dir_.File("NAME.NDX"), "TRIM(NAME)");  // the current record makes it 2 long
  Open(*table, "NAME.NDX");
  table->BlankRecord();
  table->PutTextByName("NAME", "ABCDEF");
  std::string message = testing::RaisedMessage([&] { table->Append(); });
  EXPECT_NE(message.find("Key longer than the key length"), std::string::npos) << message;
}

// A key update that fails while the record's old key is evaluated (on the
// record's saved image) leaves the table's current record where it was.
TEST_F(MaintenanceTest, AFailedKeyUpdateRestoresTheCurrentRecord) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:8"}, {{"AB"}});
  MakeNdx(*table, dir_.File("NAME.NDX"), "TRIM(NAME)");  // 2 long
  table->BlankRecord();
  table->PutTextByName("NAME", "ABCDEF");
  table->Append();  // the index is not open: record 2 has no key
  table->GoRecord(1);
  Open(*table, "NAME.NDX");
  table->GoRecord(2);
  uint8_t* current = table->CurrentRecord();
  table->PutTextByName("NAME", "CD");
  std::string message = testing::RaisedMessage([&] { table->WriteRecord(2); });
  EXPECT_NE(message.find("Key longer than the key length"), std::string::npos) << message;
  ASSERT_EQ(table->CurrentRecord(), current);  // not the saved image, gone by now
  EXPECT_EQ(table->ReadFieldText(1), "CD      ");
}

// Reindex with the index file locked by another process: error 33 and the file
// unchanged; the lock is released on every exit.
TEST_F(MaintenanceTest, ReindexRefusedByALockChangesNothing) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:4"}, {{"B"}, {"A"}}, true);
  MakeNdx(*table, dir_.File("NAME.NDX"), "NAME");
  std::string before = testing::ReadFileBytes(dir_.File("NAME.NDX"));
  // The other process opens the index file itself (not through a handle
  // inherited from this one) and holds a lock inside the whole-file region.
  testing::Signal ready;
  testing::Signal done;
  testing::ChildProcess child([&] {
    VRO_DiskFile other(dir_.File("NAME.NDX"), true, true);
    other.Open();
    if (!other.LockRegion(0x7FFFFFF0u, 4)) return 1;
    ready.Notify();
    done.WaitFor();
    return 0;
  });
  ASSERT_TRUE(ready.WaitFor());
  Open(*table, "NAME.NDX");
  std::string message = testing::RaisedMessage([&] { table->Reindex(); });
  done.Notify();
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_NE(message.find("Record locked by another user"), std::string::npos) << message;
  EXPECT_EQ(testing::ReadFileBytes(dir_.File("NAME.NDX")), before);
  table->Reindex();  // the lock was given back: now it works
  ExpectSound(*table);
}

}  // namespace
}  // namespace velorin
