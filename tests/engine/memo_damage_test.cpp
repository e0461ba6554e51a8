// Damaged memo files: every bad block number, block header, length, block size
// and free chain gives an engine error or a sound result, never a crash, a hang
// or a read outside a buffer.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/vr6_memo.h"
#include "memo_fixtures.h"
#include "support/child_process.h"

namespace velorin {
namespace {

using memo_test::BE32Bytes;
using memo_test::BE32At;
using memo_test::FileBytes;
using memo_test::LE32At;
using memo_test::LE32Bytes;
using memo_test::MakeMemoTable;
using memo_test::MemoPathOf;
using memo_test::Patch;
using memo_test::Pattern;
using memo_test::ReadBack;
using memo_test::Text;
using memo_test::Write;
using testing::TempDir;

constexpr uint8_t kDbase3 = dbf_version::kDbase3Memo;
constexpr uint8_t kDbase4 = dbf_version::kDbase4Memo;
constexpr uint8_t kFoxPro = dbf_version::kFoxProMemo;

constexpr int32_t kFormat = error_code::kMemoFormat;
constexpr int32_t kFormatSub = sub_code::kMemoFormat;

// ---- block numbers from records ------------------------------------------------

class MemoDamagedBlockNumbers : public ::testing::TestWithParam<uint8_t> {};

INSTANTIATE_TEST_SUITE_P(Versions, MemoDamagedBlockNumbers, ::testing::Values(kDbase3, kDbase4, kFoxPro),
                         [](const auto& info) {
                           char name[8];
                           std::snprintf(name, sizeof name, "V%02X", info.param);
                           return std::string(name);
                         });

TEST_P(MemoDamagedBlockNumbers, OutsideTheFileIsAFormatError) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, GetParam());
  auto memo = MakeMemoForTable(nullptr, GetParam(), table, true, false);
  Write(*memo, "one memo");
  int32_t fileBlocks = memo->Size() / memo->BlockSize();
  char buffer[16];
  for (int32_t block : {fileBlocks, fileBlocks + 1, 100000, -1, -2147483647 - 1, 2147483647}) {
    SCOPED_TRACE(block);
    EXPECT_ENGINE_ERROR(memo->MemoLength(block), kFormat, kFormatSub);
    int32_t size = sizeof buffer;
    EXPECT_ENGINE_ERROR(memo->ReadMemo(buffer, block, size), kFormat, kFormatSub);
  }
}

TEST_P(MemoDamagedBlockNumbers, MessageNamesTheMemoFile) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, GetParam());
  auto memo = MakeMemoForTable(nullptr, GetParam(), table, false, false);
  try {
    memo->MemoLength(77777);
    FAIL() << "no error";
  } catch (const EVelorinError& e) {
    EXPECT_EQ(std::string(e.what()), "dBase memo record has format error - " + MemoPathOf(table, GetParam()));
  }
}

TEST_P(MemoDamagedBlockNumbers, AnErrorProcedureThatReturnsGetsNothing) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, GetParam());
  auto memo = MakeMemoForTable(nullptr, GetParam(), table, true, false);
  int32_t good = Write(*memo, "good");
  memo_test::ErrorRecorder recorder(/*raise=*/false);
  char buffer[4] = {'a', 'b', 'c', 'd'};
  int32_t size = sizeof buffer;
  memo->ReadMemo(buffer, 99999, size);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  EXPECT_EQ(memo->CurrentBlockCount(), 0);
  EXPECT_EQ(memo->MemoLength(-5), 0);
  EXPECT_EQ(recorder.count, 2);
  // A rewrite naming the bad block never writes in place there.
  int32_t bad = 99999;
  int32_t placed = Write(*memo, "new", bad);
  EXPECT_NE(placed, 99999);
  EXPECT_LT(static_cast<int64_t>(placed) * memo->BlockSize(), memo->Size());
  EXPECT_EQ(ReadBack(*memo, good), "good");
  EXPECT_EQ(ReadBack(*memo, placed), "new");
}

// ---- block headers and lengths -------------------------------------------------

TEST(MemoDamagedDbase4, BlockWithoutSignature) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase4);
  VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
  int32_t block = Write(memo, "text");
  Patch(dir.File("t.dbt"), 512, std::string("\xFF\xFE", 2));
  EXPECT_ENGINE_ERROR(memo.MemoLength(block), kFormat, kFormatSub);
}

TEST(MemoDamagedDbase4, LengthBelowTheBlockHeaderOrPastTheEnd) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase4);
  VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
  int32_t block = Write(memo, "text");
  for (uint32_t length : {0u, 7u, 1024u - 512u + 1u, 0x7FFFFFF0u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(length);
    Patch(dir.File("t.dbt"), 512 + 4, LE32Bytes(length));
    EXPECT_ENGINE_ERROR(memo.MemoLength(block), kFormat, kFormatSub);
    char buffer[8];
    int32_t size = sizeof buffer;
    EXPECT_ENGINE_ERROR(memo.ReadMemo(buffer, block, size), kFormat, kFormatSub);
  }
  // Exactly to the end of the file is a memo.
  Patch(dir.File("t.dbt"), 512 + 4, LE32Bytes(512));
  EXPECT_EQ(memo.MemoLength(block), 504);
}

TEST(MemoDamagedFoxPro, BlockOfAnotherType) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kFoxPro);
  VRobjFXMemo20 memo(nullptr, kFoxPro, table, true, false);
  int32_t block = Write(memo, "text");
  for (uint32_t type : {2u, 0x01000000u, 0xFFFFFFFFu}) {
    Patch(dir.File("t.fpt"), static_cast<size_t>(block) * 64, BE32Bytes(type));
    EXPECT_ENGINE_ERROR(memo.MemoLength(block), kFormat, kFormatSub);
  }
}

TEST(MemoDamagedFoxPro, LengthPastTheEnd) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kFoxPro);
  VRobjFXMemo20 memo(nullptr, kFoxPro, table, true, false);
  int32_t block = Write(memo, "text");  // file: 512 + 64 bytes
  for (uint32_t length : {57u, 1000000u, 0x7FFFFFF8u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(length);
    Patch(dir.File("t.fpt"), static_cast<size_t>(block) * 64 + 4, BE32Bytes(length));
    EXPECT_ENGINE_ERROR(memo.MemoLength(block), kFormat, kFormatSub);
  }
  Patch(dir.File("t.fpt"), static_cast<size_t>(block) * 64 + 4, BE32Bytes(56));
  EXPECT_EQ(memo.MemoLength(block), 56);
}

TEST(MemoDamagedFoxPro, BlockSizeZeroOrBelowEight) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kFoxPro);
  for (uint16_t blockSize : {0, 1, 7}) {
    SCOPED_TRACE(blockSize);
    Patch(dir.File("t.fpt"), 6, std::string{char(blockSize >> 8), char(blockSize & 0xFF)});
    EXPECT_ENGINE_ERROR(VRobjFXMemo20(nullptr, kFoxPro, table, true, false), kFormat, kFormatSub);
  }
  Patch(dir.File("t.fpt"), 6, std::string("\x00\x08", 2));
  VRobjFXMemo20 memo(nullptr, kFoxPro, table, true, false);
  EXPECT_EQ(memo.BlockSize(), 8);
  EXPECT_EQ(ReadBack(memo, Write(memo, "eight")), "eight");
  // A file too short to hold the block size reads it as 0.
  testing::WriteFileBytes(dir.File("t.fpt"), std::string("\x00\x00\x00\x08\x00", 5));
  EXPECT_ENGINE_ERROR(VRobjFXMemo20(nullptr, kFoxPro, table, true, false), kFormat, kFormatSub);
}

TEST(MemoDamagedDbase4, BlockSizeTooSmallForABlockHeader) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase4);
  Patch(dir.File("t.dbt"), 20, std::string("\x05\x00", 2));
  EXPECT_ENGINE_ERROR(VRobjMemo4(nullptr, kDbase4, table, true, false), kFormat, kFormatSub);
}

TEST(MemoDamagedDbase3, NoEndMarkStopsAtTheEndOfTheFile) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase3);
  std::string path = dir.File("t.dbt");
  // 700 bytes from block 1, no end mark: the last block is short.
  testing::WriteFileBytes(path, FileBytes(path).substr(0, 512) + Pattern(700, 1));
  VRobjMemo memo(nullptr, kDbase3, table, false, false);
  EXPECT_EQ(memo.MemoLength(1), 700);
  EXPECT_EQ(ReadBack(memo, 1), Pattern(700, 1));
  EXPECT_EQ(memo.MemoLength(2), 188);
  // Longer than the cap: still capped.
  testing::WriteFileBytes(path, FileBytes(path).substr(0, 512) + Text(70000, 'q'));
  EXPECT_EQ(memo.MemoLength(1), 65519);
  // A single end-mark byte ends the text as well.
  testing::WriteFileBytes(path, FileBytes(path).substr(0, 512) + "abc\x1A" + "def");
  EXPECT_EQ(ReadBack(memo, 1), "abc");
}

// ---- damaged headers -----------------------------------------------------------

TEST(MemoDamagedHeaders, ZeroNextFreeNeverWritesOverTheHeader) {
  for (uint8_t version : {kDbase3, kFoxPro}) {
    SCOPED_TRACE(int(version));
    TempDir dir;
    std::string table = MakeMemoTable(dir, version);
    std::string path = MemoPathOf(table, version);
    auto memo = MakeMemoForTable(nullptr, version, table, true, false);
    int32_t first = Write(*memo, Pattern(300, 1));
    std::string header = FileBytes(path).substr(4, 508);
    Patch(path, 0, std::string(4, '\0'));
    int32_t second = Write(*memo, "second");
    EXPECT_GT(second, first);
    EXPECT_EQ(FileBytes(path).substr(4, 508), header);
    EXPECT_EQ(ReadBack(*memo, first), Pattern(300, 1));
    EXPECT_EQ(ReadBack(*memo, second), "second");
  }
}

TEST(MemoDamagedHeaders, StaleNextFreeDoesNotOverwriteMemos) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase3);
  VRobjMemo memo(nullptr, kDbase3, table, true, false);
  int32_t a = Write(memo, Pattern(100, 1));
  int32_t b = Write(memo, Pattern(900, 2));
  Patch(dir.File("t.dbt"), 0, LE32Bytes(2));  // points into b
  int32_t c = Write(memo, "third");
  EXPECT_EQ(c, 4);
  EXPECT_EQ(ReadBack(memo, a), Pattern(100, 1));
  EXPECT_EQ(ReadBack(memo, b), Pattern(900, 2));
}

TEST(MemoDamagedHeaders, NextFreeFarBeyondAnyFileIsAFormatErrorAndWritesNothing) {
  for (uint8_t version : {kDbase3, kFoxPro}) {
    SCOPED_TRACE(int(version));
    TempDir dir;
    std::string table = MakeMemoTable(dir, version);
    std::string path = MemoPathOf(table, version);
    Patch(path, 0, std::string("\xF0\xFF\xFF\x7F", 4));
    std::string before = FileBytes(path);
    auto memo = MakeMemoForTable(nullptr, version, table, true, true);
    EXPECT_ENGINE_ERROR(Write(*memo, "x"), kFormat, kFormatSub);
    EXPECT_EQ(FileBytes(path), before);
    EXPECT_EQ(memo->LockCount(), 0);  // the memo header lock went with the failure
  }
}

// ---- the dBase IV free chain ---------------------------------------------------

// A dBase IV file with memos in blocks 1, 2 and 3 ("a", "b", "c").
std::string ThreeMemos(const TempDir& dir) {
  std::string table = MakeMemoTable(dir, kDbase4);
  VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
  for (const char* text : {"a", "b", "c"}) Write(memo, text);
  return table;
}

TEST(MemoDamagedChain, ALoopEndsTheWalk) {
  TempDir dir;
  std::string table = ThreeMemos(dir);
  std::string path = dir.File("t.dbt");
  // Blocks 1 and 2 are runs of one block that link to each other.
  Patch(path, 0, LE32Bytes(1));
  Patch(path, 512, LE32Bytes(2) + LE32Bytes(1));
  Patch(path, 1024, LE32Bytes(1) + LE32Bytes(1));
  VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
  int32_t block = Write(memo, Pattern(600, 1));  // two blocks: no run fits
  EXPECT_EQ(block, 4);
  EXPECT_EQ(ReadBack(memo, 4), Pattern(600, 1));
  EXPECT_EQ(ReadBack(memo, 3), "c");
  // The loop is broken: the chain now leads to the end of the file.
  int32_t next = Write(memo, Pattern(700, 2));
  EXPECT_EQ(next, 6);
  EXPECT_EQ(ReadBack(memo, 4), Pattern(600, 1));
}

TEST(MemoDamagedChain, ALoopOnItself) {
  TempDir dir;
  std::string table = ThreeMemos(dir);
  std::string path = dir.File("t.dbt");
  Patch(path, 0, LE32Bytes(2));
  Patch(path, 1024, LE32Bytes(2) + LE32Bytes(1));
  VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
  EXPECT_EQ(Write(memo, Pattern(600, 1)), 4);
  EXPECT_EQ(Write(memo, "fits"), 2);
}

TEST(MemoDamagedChain, LinksThatLeaveTheFileOrAreZero) {
  for (uint32_t link : {0u, 5u, 1000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(link);
    TempDir dir;
    std::string table = ThreeMemos(dir);
    std::string path = dir.File("t.dbt");
    // The head is the bad link; or a run in the chain has it.
    Patch(path, 0, LE32Bytes(link));
    {
      VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
      EXPECT_EQ(Write(memo, "d"), 4);
      EXPECT_EQ(LE32At(FileBytes(path), 0), 5u);
    }
    Patch(path, 0, LE32Bytes(1));
    Patch(path, 512, LE32Bytes(link) + LE32Bytes(1));
    VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
    EXPECT_EQ(Write(memo, Pattern(600, 3)), 5);
    EXPECT_EQ(LE32At(FileBytes(path), 512), 7u);  // the run's link now names the new end
    EXPECT_EQ(ReadBack(memo, 4), "d");
    EXPECT_EQ(ReadBack(memo, 3), "c");
  }
}

TEST(MemoDamagedChain, ARunReachingPastTheEndIsNotTaken) {
  TempDir dir;
  std::string table = ThreeMemos(dir);
  std::string path = dir.File("t.dbt");
  Patch(path, 0, LE32Bytes(2));
  Patch(path, 1024, LE32Bytes(4) + LE32Bytes(1000));
  VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
  EXPECT_EQ(Write(memo, Pattern(800, 4)), 4);
  EXPECT_EQ(ReadBack(memo, 3), "c");
  EXPECT_EQ(ReadBack(memo, 4), Pattern(800, 4));
}

TEST(MemoDamagedChain, AnUnpaddedLastMemoIsNotOverwritten) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase4);
  std::string path = dir.File("t.dbt");
  {
    VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
    Write(memo, Pattern(100, 1));
  }
  // Another writer left the last block short; its chain head is the block after
  // it, or (damaged) the memo's own block.
  std::string unpadded = FileBytes(path).substr(0, 512 + 108);
  for (uint32_t head : {2u, 1u}) {
    SCOPED_TRACE(head);
    testing::WriteFileBytes(path, unpadded);
    Patch(path, 0, LE32Bytes(head));
    VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
    EXPECT_EQ(Write(memo, "next"), 2);
    EXPECT_EQ(ReadBack(memo, 1), Pattern(100, 1));
  }
}

// ---- the lock on failure -------------------------------------------------------

TEST(MemoDamagedHeaders, TheLockIsFreeForOthersAfterAFailedWrite) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kFoxPro);
  std::string path = dir.File("t.fpt");
  testing::Signal go;
  // Forked before anything is open here, so that it opens the file on its own.
  testing::ChildProcess child([&] {
    if (!go.WaitFor(20000)) return 2;
    VRO_DiskFile file(path, true, true);
    file.Open();
    return file.LockRegion(kDefaultMemoLock.offset, kDefaultMemoLock.length) ? 0 : 1;
  });
  {
    VRobjFXMemo20 memo(nullptr, kFoxPro, table, true, true);
    Write(memo, "a");
    Patch(path, 0, BE32Bytes(0x7FFFFFF0u));  // the allocation fails after the lock
    EXPECT_ENGINE_ERROR(Write(memo, Pattern(700, 1)), kFormat, kFormatSub);
    EXPECT_EQ(memo.LockCount(), 0);
    go.Notify();
    EXPECT_EQ(child.Wait(), 0);
  }
}

}  // namespace
}  // namespace velorin
