// Memo writers in separate processes: the memo header lock keeps their
// allocations apart, and a writer that cannot get it gives up with 1112.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "engine/vr6_memo.h"
#include "memo_fixtures.h"
#include "platform/clock.h"
#include "support/child_process.h"

namespace velorin {
namespace {

using memo_test::BlockInRecord;
using memo_test::FileBytes;
using memo_test::LE32At;
using memo_test::MakeMemoTable;
using memo_test::MemoPathOf;
using memo_test::Pattern;
using memo_test::ReadBack;
using memo_test::TextInRecord;
using memo_test::Write;
using testing::TempDir;

constexpr int kMemosPerWriter = 800;

size_t LengthFor(int writer, int i) { return static_cast<size_t>(5 + (i * 131 + writer * 57) % 1300); }
uint32_t SeedFor(int writer, int i, bool rewritten) {
  return static_cast<uint32_t>(writer * 100000 + i * 2 + (rewritten ? 1 : 0));
}
// Every third memo is rewritten once with another length before its record is
// appended: in dBase IV files that frees and reallocates, elsewhere it appends.
bool Rewritten(int i) { return i % 3 == 0; }
size_t RewrittenLength(int writer, int i) { return LengthFor(writer, i) / 2 + 600; }

struct Param {
  uint8_t version;
  uint8_t protocol;
};

class MemoTwoWriters : public ::testing::TestWithParam<Param> {};

INSTANTIATE_TEST_SUITE_P(Versions, MemoTwoWriters,
                         ::testing::Values(Param{dbf_version::kDbase3Memo, 0}, Param{dbf_version::kDbase4Memo, 1},
                                           Param{dbf_version::kDbase4Memo, 0}, Param{dbf_version::kFoxProMemo, 3},
                                           Param{dbf_version::kVisualFoxPro, 2}),
                         [](const auto& info) {
                           char name[16];
                           std::snprintf(name, sizeof name, "V%02X_P%d", info.param.version, info.param.protocol);
                           return std::string(name);
                         });

int RunWriter(const std::string& path, Param param, int writer, testing::Signal& go) {
  if (!go.WaitFor(20000)) return 2;
  VRO_dBaseDBF table(path, true, true);
  auto memo = MakeMemoForTable(&table, param.version, table.FileName(), true, true);
  memo->SetLockProtocol(param.protocol);
  // All memos first, back to back, so that the two writers' allocations meet;
  // then the records that name them.
  std::vector<int32_t> blocks;
  for (int i = 0; i < kMemosPerWriter; ++i) {
    int32_t block = Write(*memo, Pattern(LengthFor(writer, i), SeedFor(writer, i, false)));
    if (Rewritten(i)) block = Write(*memo, Pattern(RewrittenLength(writer, i), SeedFor(writer, i, true)), block);
    blocks.push_back(block);
  }
  for (int i = 0; i < kMemosPerWriter; ++i) {
    char name[11];
    std::snprintf(name, sizeof name, "W%d-%04d", writer, i);
    std::fill(table.CurrentRecord(), table.CurrentRecord() + table.RecordLength(), ' ');
    memo_test::PutText(table, 1, name);
    memo_test::PutBlockInRecord(table, 2, blocks[static_cast<size_t>(i)]);
    table.Append();
  }
  return 0;
}

// The blocks a memo of length bytes fills in this format.
int64_t BlocksFilled(const VRobjMemo& memo, int64_t length) {
  int64_t bytes = memo.BlockHeaderSize() == 0 ? length + 2 : length + memo.BlockHeaderSize();
  return (bytes + memo.BlockSize() - 1) / memo.BlockSize();
}

TEST_P(MemoTwoWriters, EveryMemoReadsBackAndNoneOverlapsAnother) {
  TempDir dir;
  const Param param = GetParam();
  std::string path = MakeMemoTable(dir, param.version);
  testing::Signal go1, go2;
  // Both are forked before anything is open here; each opens its own objects.
  testing::ChildProcess first([&] { return RunWriter(path, param, 1, go1); });
  testing::ChildProcess second([&] { return RunWriter(path, param, 2, go2); });
  go1.Notify();
  go2.Notify();
  ASSERT_EQ(first.Wait(), 0);
  ASSERT_EQ(second.Wait(), 0);

  VRO_dBaseDBF table(path, false, false);
  auto memo = MakeMemoForTable(&table, param.version, table.FileName(), false, false);
  ASSERT_EQ(table.RecordCount(), 2 * kMemosPerWriter);
  std::map<int64_t, int64_t> spans;  // first block -> blocks filled
  int seen[3] = {0, 0, 0};
  for (int32_t n = 1; n <= table.RecordCount(); ++n) {
    table.GoRecord(n);
    std::string name = TextInRecord(table, 1);
    int writer = 0, i = 0;
    ASSERT_EQ(std::sscanf(name.c_str(), "W%d-%d", &writer, &i), 2) << name;
    ASSERT_TRUE(writer == 1 || writer == 2);
    ++seen[writer];
    int32_t block = BlockInRecord(table, 2);
    std::string expected = Rewritten(i) ? Pattern(RewrittenLength(writer, i), SeedFor(writer, i, true))
                                        : Pattern(LengthFor(writer, i), SeedFor(writer, i, false));
    EXPECT_EQ(ReadBack(*memo, block), expected) << name;
    EXPECT_TRUE(spans.emplace(block, BlocksFilled(*memo, static_cast<int64_t>(expected.size()))).second)
        << name << " shares block " << block;
  }
  EXPECT_EQ(seen[1], kMemosPerWriter);
  EXPECT_EQ(seen[2], kMemosPerWriter);
  int64_t end = 1;
  for (const auto& [block, blocks] : spans) {
    EXPECT_GE(block, end) << "memo at block " << block << " overlaps the one before it";
    end = block + blocks;
  }

  if (param.version == dbf_version::kDbase4Memo) {
    // The free runs overlap no memo either.
    std::string bytes = FileBytes(MemoPathOf(path, param.version));
    int64_t fileBlocks = static_cast<int64_t>(bytes.size()) / memo->BlockSize();
    int64_t run = LE32At(bytes, 0);
    for (int steps = 0; run > 0 && run < fileBlocks && steps < fileBlocks; ++steps) {
      int64_t runBlocks = LE32At(bytes, static_cast<size_t>(run * memo->BlockSize()) + 4);
      auto after = spans.upper_bound(run);
      if (after != spans.end()) {
        EXPECT_LE(run + runBlocks, after->first) << "free run " << run;
      }
      if (after != spans.begin()) {
        auto before = std::prev(after);
        EXPECT_GE(run, before->first + before->second) << "free run " << run;
      }
      run = LE32At(bytes, static_cast<size_t>(run * memo->BlockSize()));
    }
  }
}

TEST(MemoHeaderLock, AWriterThatCannotGetTheLockWritesNothing) {
  TempDir dir;
  std::string path = MakeMemoTable(dir, dbf_version::kDbase4Memo);
  std::string memoPath = dir.File("t.dbt");
  testing::Signal ready, done;
  testing::ChildProcess holder([&] {
    VRO_DiskFile file(memoPath, true, true);
    file.Open();
    if (!file.LockRegion(kDB4MemoLock.offset, kDB4MemoLock.length)) return 1;
    ready.Notify();
    return done.WaitFor(30000) ? 0 : 2;
  });
  ASSERT_TRUE(ready.WaitFor(20000));
  std::string before = FileBytes(memoPath);
  {
    VRO_dBaseDBF table(path, true, true);
    VRobjMemo4 memo(&table, dbf_version::kDbase4Memo, table.FileName(), true, true);
    memo.SetLockProtocol(1);
    int64_t started = platform::MonotonicMilliseconds();
    memo_test::ErrorRecorder recorder;
    try {
      Write(memo, "never");
      ADD_FAILURE() << "the write went ahead";
    } catch (const EVelorinError& e) {
      EXPECT_EQ(std::string(e.what()), "Record locked by another user - " + memoPath);
    }
    int64_t waited = platform::MonotonicMilliseconds() - started;
    EXPECT_EQ(recorder.code, error_code::kLockViolation);
    EXPECT_EQ(recorder.subCode, sub_code::kMemoLock);
    // 40 tries, 39 pauses of 50 ms between them.
    EXPECT_GE(waited, 39 * 50);
    EXPECT_EQ(memo.LockCount(), 0);
    EXPECT_EQ(FileBytes(memoPath), before);

    // Another protocol's region is not held by anybody.
    memo.SetLockProtocol(0);
    EXPECT_EQ(ReadBack(memo, Write(memo, "other region")), "other region");
    memo.SetLockProtocol(1);
    done.Notify();
    EXPECT_EQ(holder.Wait(), 0);
    // The holder is gone: the region is free.
    EXPECT_EQ(ReadBack(memo, Write(memo, "now")), "now");
  }
}

TEST(MemoHeaderLock, ExclusiveFilesTakeNoLock) {
  TempDir dir;
  std::string path = MakeMemoTable(dir, dbf_version::kFoxProMemo);
  VRobjFXMemo20 memo(nullptr, dbf_version::kFoxProMemo, path, true, false);
  // A region held by this object does not get in the way of an exclusive write.
  memo.LockRegion(5, 1);
  EXPECT_EQ(ReadBack(memo, Write(memo, "free")), "free");
  EXPECT_EQ(memo.LockCount(), 1);
  memo.Unlock();
}

}  // namespace
}  // namespace velorin
