// The memo files: names, block arithmetic and byte layouts of the three formats,
// the lock regions, renaming with the table.
#include "engine/vr6_memo.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "memo_fixtures.h"
#include "platform/file_names.h"

namespace velorin {
namespace {

using memo_test::BE32At;
using memo_test::FileBytes;
using memo_test::LE32At;
using memo_test::MakeMemoTable;
using memo_test::MemoPathOf;
using memo_test::Pattern;
using memo_test::ReadBack;
using memo_test::Text;
using memo_test::Write;
using testing::TempDir;

constexpr uint8_t kDbase3 = dbf_version::kDbase3Memo;
constexpr uint8_t kDbase4 = dbf_version::kDbase4Memo;
constexpr uint8_t kFoxPro = dbf_version::kFoxProMemo;
constexpr uint8_t kVisualFoxPro = dbf_version::kVisualFoxPro;

// ---- names ---------------------------------------------------------------------

TEST(MemoNames, ExtensionFollowsTheLetterCaseOfTheTables) {
  EXPECT_EQ(VRobjMemo::MemoFileName("/d/t.dbf", "dbt"), "/d/t.dbt");
  EXPECT_EQ(VRobjMemo::MemoFileName("/d/T.DBF", "dbt"), "/d/T.DBT");
  EXPECT_EQ(VRobjMemo::MemoFileName("/d/t.dbf", "fpt"), "/d/t.fpt");
  EXPECT_EQ(VRobjMemo::MemoFileName("/d/Info.Dbf", "fpt"), "/d/Info.FPT");
  // No extension: upper case; a dot in a directory is not an extension.
  EXPECT_EQ(VRobjMemo::MemoFileName("/d.x/table", "dbt"), "/d.x/table.DBT");
  EXPECT_EQ(VRobjMemo::MemoFileName("  /d/a.b.dbf  ", "dbt"), "/d/a.b.dbt");
}

TEST(MemoNames, NameForEachVersion) {
  EXPECT_EQ(MemoFileNameFor(kDbase3, "/d/t.dbf"), "/d/t.dbt");
  EXPECT_EQ(MemoFileNameFor(kDbase4, "/d/T.DBF"), "/d/T.DBT");
  EXPECT_EQ(MemoFileNameFor(kFoxPro, "/d/t.dbf"), "/d/t.fpt");
  EXPECT_EQ(MemoFileNameFor(kVisualFoxPro, "/d/T.DBF"), "/d/T.FPT");
  EXPECT_EQ(MemoFileNameFor(dbf_version::kDbase3, "/d/t.dbf"), "");
}

TEST(MemoNames, FactoryMakesTheClassOfTheVersion) {
  TempDir dir;
  for (uint8_t version : {kDbase3, kDbase4, kFoxPro, kVisualFoxPro}) {
    std::string table = MakeMemoTable(dir, version, "v" + std::to_string(version) + ".dbf");
    auto memo = MakeMemoForTable(nullptr, version, table, true, false);
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->Version(), version);
    EXPECT_EQ(memo->FileName(), MemoPathOf(table, version));
    bool dbase4 = dynamic_cast<VRobjMemo4*>(memo.get()) != nullptr;
    bool foxPro = dynamic_cast<VRobjFXMemo20*>(memo.get()) != nullptr;
    EXPECT_EQ(dbase4, version == kDbase4);
    EXPECT_EQ(foxPro, version == kFoxPro || version == kVisualFoxPro);
  }
  EXPECT_EQ(MakeMemoForTable(nullptr, dbf_version::kDbase3, dir.File("x.dbf"), true, false), nullptr);
}

TEST(MemoNames, FindsTheMemoFileInAnotherLetterCase) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase3, "t.dbf");
  std::filesystem::rename(dir.File("t.dbt"), dir.File("T.DBT"));
  VRobjMemo memo(nullptr, kDbase3, dir.File("t.dbf"), true, false);
  EXPECT_EQ(memo.FileName(), dir.File("T.DBT"));
  EXPECT_EQ(ReadBack(memo, Write(memo, "found")), "found");
  // Not upper-cased on Linux: a lower-case table finds a lower-case memo file.
  std::string lower = MakeMemoTable(dir, kFoxPro, "low.dbf");
  VRobjFXMemo20 fox(nullptr, kFoxPro, lower, false, false);
  EXPECT_EQ(fox.FileName(), dir.File("low.fpt"));
}

TEST(MemoNames, MissingMemoFileIsFileNotFound) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase4);
  std::filesystem::remove(dir.File("t.dbt"));
  EXPECT_ENGINE_ERROR(VRobjMemo4(nullptr, kDbase4, table, true, false), error_code::kFileNotFound,
                      sub_code::kMemoOpen);
  try {
    VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
  } catch (const EVelorinError& e) {
    EXPECT_EQ(std::string(e.what()), "File not found - " + dir.File("t.dbt"));
  }
}

TEST(MemoNames, ErrorsGoThroughTheTable) {
  // A table whose Error adds its own mark shows that the memo reports through it.
  class MarkingTable : public VRO_dBaseDBF {
   public:
    using VRO_dBaseDBF::VRO_dBaseDBF;
    void Error(int32_t code, int32_t subCode, std::string_view text) override {
      ++reports;
      VRO_dBaseDBF::Error(code, subCode, text);
    }
    int reports = 0;
  };
  TempDir dir;
  std::string path = MakeMemoTable(dir, kFoxPro);
  MarkingTable table(path, true, false);
  VRobjFXMemo20 memo(&table, kFoxPro, table.FileName(), true, false);
  EXPECT_ENGINE_ERROR(memo.MemoLength(1000), error_code::kMemoFormat, sub_code::kMemoFormat);
  EXPECT_EQ(table.reports, 1);
  std::filesystem::remove(dir.File("t.fpt"));
  EXPECT_THROW(VRobjFXMemo20(&table, kFoxPro, table.FileName(), true, false), EVelorinError);
  EXPECT_EQ(table.reports, 2);
}

// ---- dBase III -----------------------------------------------------------------

TEST(MemoDbase3, A512ByteMemoTakesTwoBlocksAndItsEndMarkStartsTheSecond) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase3);
  VRobjMemo memo(nullptr, kDbase3, table, true, false);
  std::string text = Pattern(512, 1);
  EXPECT_EQ(Write(memo, text), 1);
  EXPECT_EQ(memo.CurrentBlockCount(), 2);
  std::string bytes = FileBytes(dir.File("t.dbt"));
  ASSERT_EQ(bytes.size(), 3u * 512);
  EXPECT_EQ(LE32At(bytes, 0), 3u);  // next free block
  EXPECT_EQ(bytes.substr(512, 512), text);
  EXPECT_EQ(bytes.substr(1024, 2), "\x1A\x1A");
  EXPECT_EQ(bytes.substr(1026), std::string(510, '\0'));
  EXPECT_EQ(memo.MemoLength(1), 512);
  EXPECT_EQ(ReadBack(memo, 1), text);
}

TEST(MemoDbase3, A510ByteMemoFitsOneBlockAnd511AfterReadingAppends) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase3);
  VRobjMemo memo(nullptr, kDbase3, table, true, false);
  std::string text = Pattern(510, 2);
  int32_t block = Write(memo, text);
  EXPECT_EQ(block, 1);
  std::string bytes = FileBytes(dir.File("t.dbt"));
  ASSERT_EQ(bytes.size(), 1024u);
  EXPECT_EQ(LE32At(bytes, 0), 2u);
  EXPECT_EQ(bytes.substr(1022, 2), "\x1A\x1A");

  EXPECT_EQ(ReadBack(memo, block), text);
  EXPECT_EQ(memo.CurrentBlock(), 1);
  EXPECT_EQ(memo.CurrentBlockCount(), 1);
  std::string longer = Pattern(511, 3);
  int32_t rewritten = Write(memo, longer, block);
  EXPECT_EQ(rewritten, 2);
  bytes = FileBytes(dir.File("t.dbt"));
  EXPECT_EQ(LE32At(bytes, 0), 4u);
  // 511 bytes, then the end mark over the block boundary.
  EXPECT_EQ(bytes.substr(1024, 511), longer);
  EXPECT_EQ(bytes.substr(1535, 2), "\x1A\x1A");
  EXPECT_EQ(bytes.size(), 4u * 512);
  // The old block is abandoned as it was.
  EXPECT_EQ(ReadBack(memo, 1), text);
  EXPECT_EQ(ReadBack(memo, 2), longer);
}

TEST(MemoDbase3, RewriteAfterReadingStaysInPlaceWhenItFits) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase3);
  VRobjMemo memo(nullptr, kDbase3, table, true, false);
  int32_t block = Write(memo, Pattern(1000, 4));  // two blocks
  Write(memo, "after");
  ReadBack(memo, block);
  EXPECT_EQ(memo.CurrentBlockCount(), 2);
  EXPECT_EQ(Write(memo, Pattern(700, 5), block), block);
  EXPECT_EQ(ReadBack(memo, block), Pattern(700, 5));
  EXPECT_EQ(ReadBack(memo, 3), "after");
  // Without the read the object does not know the memo: it appends.
  VRobjMemo other(nullptr, kDbase3, table, true, false);
  EXPECT_EQ(Write(other, "x", block), 4);
}

TEST(MemoDbase3, EveryGrowthAppendsAndNextFreeNeverShrinks) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase3);
  VRobjMemo memo(nullptr, kDbase3, table, true, false);
  // 1, 2, 3 and 4 blocks, then 1 again: each growth appends, the shrink stays.
  const size_t lengths[] = {300, 700, 1100, 1600, 200};
  const uint32_t nextFree[] = {2, 4, 7, 11, 11};
  const int32_t blocks[] = {1, 2, 4, 7, 7};
  int32_t block = 0;
  for (size_t i = 0; i < 5; ++i) {
    block = Write(memo, Pattern(lengths[i], static_cast<uint32_t>(i)), block);
    EXPECT_EQ(block, blocks[i]);
    EXPECT_EQ(LE32At(FileBytes(dir.File("t.dbt")), 0), nextFree[i]);
  }
  EXPECT_EQ(ReadBack(memo, 7), Pattern(200, 4));
}

TEST(MemoDbase3, SizeZeroWithBlockZeroWritesNothing) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase3);
  std::string before = FileBytes(dir.File("t.dbt"));
  VRobjMemo memo(nullptr, kDbase3, table, true, false);
  int32_t block = 0;
  EXPECT_EQ(memo.WriteMemo("", block, 0), 0);
  EXPECT_EQ(block, 0);
  EXPECT_EQ(FileBytes(dir.File("t.dbt")), before);
}

TEST(MemoDbase3, SizeZeroOverAMemoReadsAsEmpty) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase3);
  VRobjMemo memo(nullptr, kDbase3, table, true, false);
  int32_t block = Write(memo, "something");
  ReadBack(memo, block);
  int32_t again = block;
  EXPECT_EQ(memo.WriteMemo("", again, 0), block);
  EXPECT_EQ(memo.MemoLength(block), 0);
  EXPECT_EQ(ReadBack(memo, block), "");
}

TEST(MemoDbase3, ASmallerBufferDeliversItsSizeAndALaterRewriteAppends) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase3);
  VRobjMemo memo(nullptr, kDbase3, table, true, false);
  std::string text = Pattern(1000, 6);
  int32_t block = Write(memo, text);
  char buffer[100];
  int32_t size = sizeof buffer;
  memo.ReadMemo(buffer, block, size);
  EXPECT_EQ(size, 100);
  EXPECT_EQ(std::string(buffer, 100), text.substr(0, 100));
  EXPECT_EQ(memo.CurrentBlockCount(), 1);
  EXPECT_NE(Write(memo, text, block), block);
}

TEST(MemoDbase3, BlockZeroReadsAsEmpty) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase3);
  VRobjMemo memo(nullptr, kDbase3, table, false, false);
  char buffer[8] = {'q', 'q'};
  int32_t size = sizeof buffer;
  memo.ReadMemo(buffer, 0, size);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(memo.MemoLength(0), 0);
  size = 0;
  memo.ReadMemo(buffer, 1, size);  // room for nothing: nothing is read
  EXPECT_EQ(size, 0);
}

TEST(MemoDbase3, LengthIsCappedAt65519) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase3);
  VRobjMemo memo(nullptr, kDbase3, table, true, false);
  int32_t exact = Write(memo, Pattern(65519, 7));
  int32_t over = Write(memo, Pattern(70000, 8));
  EXPECT_EQ(memo.MemoLength(exact), 65519);
  EXPECT_EQ(memo.MemoLength(over), 65519);
  EXPECT_EQ(ReadBack(memo, over), Pattern(70000, 8).substr(0, 65519));
}

TEST(MemoDbase3, ReadOnlyFileRefusesWrites) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase3);
  std::string before = FileBytes(dir.File("t.dbt"));
  VRobjMemo memo(nullptr, kDbase3, table, false, false);
  EXPECT_ENGINE_ERROR(Write(memo, "no"), error_code::kAccessDenied, sub_code::kWriteAt);
  EXPECT_EQ(FileBytes(dir.File("t.dbt")), before);
}

// ---- dBase IV ------------------------------------------------------------------

TEST(MemoDbase4, BlockHeaderAndPaddingOnDisk) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase4);
  VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
  EXPECT_EQ(memo.BlockSize(), 512);
  EXPECT_EQ(memo.BlockHeaderSize(), 8);
  EXPECT_EQ(Write(memo, "hello"), 1);
  std::string bytes = FileBytes(dir.File("t.dbt"));
  ASSERT_EQ(bytes.size(), 1024u);
  EXPECT_EQ(LE32At(bytes, 0), 2u);  // the chain is empty: its head is the end of the file
  EXPECT_EQ(bytes.substr(512, 8), std::string("\xFF\xFF\x08\x00\x0D\x00\x00\x00", 8));
  EXPECT_EQ(bytes.substr(520, 5), "hello");
  EXPECT_EQ(bytes.substr(525), std::string(1024 - 525, '\0'));
  EXPECT_EQ(memo.MemoLength(1), 5);
  EXPECT_EQ(ReadBack(memo, 1), "hello");
}

TEST(MemoDbase4, RewriteWithTheSameLengthReusesTheRun) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase4);
  VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
  int32_t first = Write(memo, Pattern(1000, 1));
  int32_t second = Write(memo, "second");
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 3);
  EXPECT_EQ(Write(memo, Pattern(1000, 2), first), first);
  EXPECT_EQ(ReadBack(memo, first), Pattern(1000, 2));
  EXPECT_EQ(ReadBack(memo, second), "second");
  std::string bytes = FileBytes(dir.File("t.dbt"));
  EXPECT_EQ(LE32At(bytes, 0), 4u);  // the run was taken whole: the chain is empty again
  EXPECT_EQ(LE32At(bytes, 4), 0u);
  EXPECT_EQ(bytes.size(), 4u * 512);
}

TEST(MemoDbase4, AShorterMemoSplitsAFreeRun) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase4);
  VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
  int32_t big = Write(memo, Pattern(2000, 3));  // (2000 + 8) / 512 + 1 = 4 blocks
  int32_t after = Write(memo, "after");
  EXPECT_EQ(big, 1);
  EXPECT_EQ(after, 5);
  EXPECT_EQ(Write(memo, Pattern(100, 4), big), big);
  std::string bytes = FileBytes(dir.File("t.dbt"));
  EXPECT_EQ(LE32At(bytes, 0), 2u);                // the rest of the run heads the chain
  EXPECT_EQ(LE32At(bytes, 2 * 512), 6u);          // ...linked to the end of the file
  EXPECT_EQ(LE32At(bytes, 2 * 512 + 4), 3u);      // ...three blocks long
  // The next memo that fits takes the rest, and splits it again.
  EXPECT_EQ(Write(memo, Pattern(600, 5)), 2);     // two blocks
  bytes = FileBytes(dir.File("t.dbt"));
  EXPECT_EQ(LE32At(bytes, 0), 4u);
  EXPECT_EQ(LE32At(bytes, 4 * 512), 6u);
  EXPECT_EQ(LE32At(bytes, 4 * 512 + 4), 1u);
  // A memo larger than any run goes to the end.
  EXPECT_EQ(Write(memo, Pattern(900, 6)), 6);
  EXPECT_EQ(LE32At(FileBytes(dir.File("t.dbt")), 4 * 512), 8u);  // the last run now links to the new end
  EXPECT_EQ(ReadBack(memo, 1), Pattern(100, 4));
  EXPECT_EQ(ReadBack(memo, 2), Pattern(600, 5));
  EXPECT_EQ(ReadBack(memo, 5), "after");
  EXPECT_EQ(ReadBack(memo, 6), Pattern(900, 6));
}

TEST(MemoDbase4, FreeBlocksPutsTheRunFirstOnTheChain) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase4);
  VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
  Write(memo, Pattern(700, 1));               // blocks 1-2
  int32_t second = Write(memo, "x");          // block 3
  memo.FreeBlocks(second);
  std::string bytes = FileBytes(dir.File("t.dbt"));
  EXPECT_EQ(LE32At(bytes, 0), 3u);
  EXPECT_EQ(LE32At(bytes, 3 * 512), 4u);      // next: the old head, the end of the file
  EXPECT_EQ(LE32At(bytes, 3 * 512 + 4), 1u);  // ceiling(9 / 512)
}

TEST(MemoDbase4, FreeingAStaleBlockChangesNothing) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase4);
  VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
  int32_t first = Write(memo, "one");
  Write(memo, "two");
  memo.FreeBlocks(first);
  std::string once = FileBytes(dir.File("t.dbt"));
  memo.FreeBlocks(first);      // the run header has no FF FF: not a memo any more
  memo.FreeBlocks(0);
  memo.FreeBlocks(-3);
  memo.FreeBlocks(1000000);    // beyond the end
  EXPECT_EQ(FileBytes(dir.File("t.dbt")), once);
  // A rewrite that names the stale block does not link the run twice either.
  int32_t block = Write(memo, "three", first);
  EXPECT_EQ(block, first);
  std::string bytes = FileBytes(dir.File("t.dbt"));
  EXPECT_EQ(LE32At(bytes, 0), 3u);
  EXPECT_EQ(Write(memo, "four"), 3);
  EXPECT_EQ(ReadBack(memo, 2), "two");
}

TEST(MemoDbase4, BlockSizeComesFromTheHeader) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase4);
  memo_test::Patch(dir.File("t.dbt"), 20, std::string("\x00\x04", 2));  // 1024
  VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
  EXPECT_EQ(memo.BlockSize(), 1024);
  EXPECT_EQ(FileBytes(dir.File("t.dbt")).size(), 1024u);  // block 0 filled out
  EXPECT_EQ(Write(memo, Pattern(1020, 1)), 1);            // (1020 + 8) / 1024 + 1 = 2 blocks
  EXPECT_EQ(LE32At(FileBytes(dir.File("t.dbt")), 0), 3u);
  EXPECT_EQ(ReadBack(memo, 1), Pattern(1020, 1));
}

TEST(MemoDbase4, BlockSizeZeroMeans512) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase4);
  memo_test::Patch(dir.File("t.dbt"), 20, std::string(4, '\0'));
  VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
  EXPECT_EQ(memo.BlockSize(), 512);
  EXPECT_EQ(ReadBack(memo, Write(memo, "ok")), "ok");
}

TEST(MemoDbase4, AShortHeaderIsPaddedOnlyWhenReadWrite) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase4);
  std::string header = FileBytes(dir.File("t.dbt")).substr(0, 22);
  testing::WriteFileBytes(dir.File("t.dbt"), header);
  {
    VRobjMemo4 memo(nullptr, kDbase4, table, false, false);
    EXPECT_EQ(memo.BlockSize(), 512);
    EXPECT_EQ(memo.MemoLength(0), 0);
  }
  EXPECT_EQ(FileBytes(dir.File("t.dbt")), header);
  {
    VRobjMemo4 memo(nullptr, kDbase4, table, true, false);
    EXPECT_EQ(memo.Size(), 512);
    EXPECT_EQ(Write(memo, "first"), 1);
  }
  std::string bytes = FileBytes(dir.File("t.dbt"));
  EXPECT_EQ(bytes.substr(4, 18), header.substr(4, 18));  // all but the chain head, which the write moved
  EXPECT_EQ(bytes.substr(22, 490), std::string(490, '\0'));
}

// ---- FoxPro --------------------------------------------------------------------

TEST(MemoFoxPro, BigEndianBlockHeaderAndPaddingOnDisk) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kFoxPro);
  VRobjFXMemo20 memo(nullptr, kFoxPro, table, true, false);
  EXPECT_EQ(memo.BlockSize(), 64);
  EXPECT_EQ(Write(memo, "hello"), 8);
  std::string bytes = FileBytes(dir.File("t.fpt"));
  ASSERT_EQ(bytes.size(), 576u);
  EXPECT_EQ(BE32At(bytes, 0), 9u);
  EXPECT_EQ(bytes.substr(512, 8), std::string("\x00\x00\x00\x01\x00\x00\x00\x05", 8));
  EXPECT_EQ(bytes.substr(520, 5), "hello");
  EXPECT_EQ(bytes.substr(525), std::string(576 - 525, '\0'));
  EXPECT_EQ(ReadBack(memo, 8), "hello");
}

TEST(MemoFoxPro, BlockCountIsOneMoreWhenTheMemoFillsItsBlocks) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kFoxPro);
  VRobjFXMemo20 memo(nullptr, kFoxPro, table, true, false);
  EXPECT_EQ(Write(memo, Text(56)), 8);  // 56 + 8 = 64: (64 / 64) + 1 = 2 blocks
  EXPECT_EQ(memo.CurrentBlockCount(), 2);
  EXPECT_EQ(BE32At(FileBytes(dir.File("t.fpt")), 0), 10u);
  EXPECT_EQ(FileBytes(dir.File("t.fpt")).size(), 576u);  // nothing to pad
  EXPECT_EQ(Write(memo, Text(55)), 10);  // 63 bytes: one block
  EXPECT_EQ(memo.CurrentBlockCount(), 1);
  EXPECT_EQ(BE32At(FileBytes(dir.File("t.fpt")), 0), 11u);
  EXPECT_EQ(Write(memo, Text(200)), 11);  // 208 / 64 + 1 = 4
  EXPECT_EQ(BE32At(FileBytes(dir.File("t.fpt")), 0), 15u);
  EXPECT_EQ(ReadBack(memo, 8), Text(56));
  EXPECT_EQ(ReadBack(memo, 10), Text(55));
}

TEST(MemoFoxPro, RewriteInPlaceOrAppend) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kFoxPro);
  VRobjFXMemo20 memo(nullptr, kFoxPro, table, true, false);
  int32_t block = Write(memo, Text(100));  // 108 / 64 + 1 = 2 blocks
  EXPECT_EQ(Write(memo, Text(110, 'y'), block), block);  // the object just wrote it
  EXPECT_EQ(ReadBack(memo, block), Text(110, 'y'));
  EXPECT_EQ(Write(memo, Text(120, 'z'), block), block + 2);  // 3 blocks: appended
  EXPECT_EQ(ReadBack(memo, block), Text(110, 'y'));
}

TEST(MemoFoxPro, PictureBlocksAreRead) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kVisualFoxPro);
  VRobjFXMemo20 memo(nullptr, kVisualFoxPro, table, true, false);
  int32_t block = Write(memo, std::string("\x00\x01\x02\x1A\xFF", 5));
  memo_test::Patch(dir.File("t.fpt"), static_cast<size_t>(block) * 64, memo_test::BE32Bytes(0));
  EXPECT_EQ(ReadBack(memo, block), std::string("\x00\x01\x02\x1A\xFF", 5));
}

TEST(MemoFoxPro, SizeZeroWithBlockZeroWritesNothing) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kFoxPro);
  std::string before = FileBytes(dir.File("t.fpt"));
  VRobjFXMemo20 memo(nullptr, kFoxPro, table, true, false);
  int32_t block = 0;
  EXPECT_EQ(memo.WriteMemo(nullptr, block, 0), 0);
  EXPECT_EQ(FileBytes(dir.File("t.fpt")), before);
}

// ---- all formats ---------------------------------------------------------------

class MemoEveryFormat : public ::testing::TestWithParam<uint8_t> {};

INSTANTIATE_TEST_SUITE_P(Versions, MemoEveryFormat, ::testing::Values(kDbase3, kDbase4, kFoxPro, kVisualFoxPro),
                         [](const auto& info) {
                           char name[8];
                           std::snprintf(name, sizeof name, "V%02X", info.param);
                           return std::string(name);
                         });

TEST_P(MemoEveryFormat, CyrillicBytesSurvive) {
  TempDir dir;
  const std::string cp866 =
      "\x8F\xE0\xA8\xA2\xA5\xE2, \xAC\xA8\xE0! \xF0\xA6\xA8\xAA \xF1\xAB\xAA\xA0 \x99";
  const std::string cp1251 =
      "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xA8\xE6\xE8\xEA \xB8\xEB\xEA\xE0 \xD9";
  std::string table = MakeMemoTable(dir, GetParam());
  int32_t a, b, c;
  {
    auto memo = MakeMemoForTable(nullptr, GetParam(), table, true, false);
    a = Write(*memo, cp866);
    b = Write(*memo, cp1251);
    c = Write(*memo, cp866 + "\r\n" + cp1251);
  }
  auto memo = MakeMemoForTable(nullptr, GetParam(), table, false, false);
  EXPECT_EQ(ReadBack(*memo, a), cp866);
  EXPECT_EQ(ReadBack(*memo, b), cp1251);
  EXPECT_EQ(ReadBack(*memo, c), cp866 + "\r\n" + cp1251);
}

TEST_P(MemoEveryFormat, ManyMemosOfManyLengthsReadBack) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, GetParam());
  auto memo = MakeMemoForTable(nullptr, GetParam(), table, true, false);
  std::vector<int32_t> blocks;
  std::vector<size_t> lengths = {0, 1, 2, 55, 56, 57, 63, 64, 503, 504, 505, 510, 511, 512, 513, 1000, 40000};
  for (size_t i = 0; i < lengths.size(); ++i) blocks.push_back(Write(*memo, Pattern(lengths[i], uint32_t(i))));
  // Rewrites through the writer (which knows only its last memo), then through an
  // object that has just read them.
  for (size_t i = 0; i < lengths.size(); i += 3) {
    blocks[i] = Write(*memo, Pattern(lengths[i] + 7, uint32_t(i + 100)), blocks[i]);
    lengths[i] += 7;
  }
  auto reader = MakeMemoForTable(nullptr, GetParam(), table, true, false);
  for (size_t i = 0; i < lengths.size(); ++i) {
    uint32_t seed = uint32_t(i % 3 == 0 ? i + 100 : i);
    EXPECT_EQ(ReadBack(*reader, blocks[i]), Pattern(lengths[i], seed)) << "memo " << i;
    if (i % 2 == 1) {
      blocks[i] = Write(*reader, Pattern(lengths[i], seed + 1), blocks[i]);
      EXPECT_EQ(ReadBack(*memo, blocks[i]), Pattern(lengths[i], seed + 1)) << "memo " << i;
    }
  }
}

TEST_P(MemoEveryFormat, TransfersLongerThanOnePiece) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, GetParam());
  auto memo = MakeMemoForTable(nullptr, GetParam(), table, true, false);
  size_t length = GetParam() == kDbase3 ? 65519 : 100000;
  int32_t block = Write(*memo, Pattern(length, 9));
  EXPECT_EQ(ReadBack(*memo, block), Pattern(length, 9));
}

// ---- the lock regions ----------------------------------------------------------

TEST(MemoLockRegions, OnePerProtocol) {
  TempDir dir;
  std::string table = MakeMemoTable(dir, kDbase4);
  VRobjMemo4 memo(nullptr, kDbase4, table, true, true);
  EXPECT_EQ(memo.MemoLock().offset, 0x7FFFFFFDu);
  EXPECT_EQ(memo.MemoLock().length, 1u);
  memo.SetLockProtocol(1);
  EXPECT_EQ(memo.LockProtocol(), TvrLokProtocol::DB4Lock);
  EXPECT_EQ(memo.MemoLock().offset, 0xEFFFFFFEu);
  EXPECT_EQ(memo.MemoLock().length, 2u);
  memo.SetLockProtocol(2);
  EXPECT_EQ(memo.MemoLock().offset, 1000000000u);
  EXPECT_EQ(memo.MemoLock().length, 1u);
  memo.SetLockProtocol(9);  // unknown: the region stays
  EXPECT_EQ(memo.MemoLock().offset, 1000000000u);
  EXPECT_EQ(memo.LockProtocol(), TvrLokProtocol::ClipLock);
  memo.SetLockProtocol(3);
  EXPECT_EQ(memo.MemoLock().offset, 0x7FFFFFFDu);
  EXPECT_EQ(memo.MemoLock().length, 1u);
  // Every write of a shared file takes and gives back the lock.
  EXPECT_EQ(ReadBack(memo, Write(memo, "locked")), "locked");
  EXPECT_EQ(memo.LockCount(), 0);
}

TEST(MemoLockRegions, TheTableHandsItsProtocolOn) {
  TempDir dir;
  std::string path = MakeMemoTable(dir, kFoxPro);
  VRO_dBaseDBF table(path, true, true);
  table.Field(2)->Memo = MakeMemoForTable(&table, kFoxPro, table.FileName(), true, true);
  table.SetLockProtocol(1);
  EXPECT_EQ(table.Field(2)->Memo->MemoLock().offset, 0xEFFFFFFEu);
}

// ---- renaming with the table ---------------------------------------------------

TEST(MemoRename, DbtFollowsTheTableAndNamesIt) {
  TempDir dir;
  std::string path = MakeMemoTable(dir, kDbase3, "old.dbf");
  int32_t block;
  {
    VRO_dBaseDBF table(path, true, false);
    table.Field(2)->Memo = MakeMemoForTable(&table, kDbase3, table.FileName(), true, false);
    block = memo_test::AppendWithMemo(table, *table.Field(2)->Memo, "a", "kept");
    EXPECT_TRUE(table.Rename(dir.File("renamed.dbf")));
    EXPECT_EQ(table.Field(2)->Memo->FileName(), dir.File("renamed.dbt"));
    EXPECT_EQ(ReadBack(*table.Field(2)->Memo, block), "kept");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("old.dbt")));
  std::string bytes = FileBytes(dir.File("renamed.dbt"));
  EXPECT_EQ(bytes.substr(8, 8), std::string("RENAMED\0", 8));
  EXPECT_EQ(bytes[16], '\x03');  // the dBase III mark beside the name stays
  EXPECT_EQ(LE32At(bytes, 0), 2u);
}

TEST(MemoRename, WithoutAMemoObjectOneIsMadeForTheRename) {
  TempDir dir;
  std::string path = MakeMemoTable(dir, kDbase4, "T.DBF");
  {
    VRobjMemo4 memo(nullptr, kDbase4, path, true, false);
    Write(memo, "carried");
  }
  {
    VRO_dBaseDBF table(path, true, false);
    EXPECT_TRUE(table.Rename(dir.File("A_VERY_LONG_NAME.DBF")));
  }
  std::string bytes = FileBytes(dir.File("A_VERY_LONG_NAME.DBT"));
  EXPECT_EQ(bytes.substr(8, 9), std::string("A_VERY_L\0", 9));
  VRobjMemo4 memo(nullptr, kDbase4, dir.File("A_VERY_LONG_NAME.DBF"), false, false);
  EXPECT_EQ(ReadBack(memo, 1), "carried");
}

TEST(MemoRename, FptIsOnlyRenamed) {
  TempDir dir;
  std::string path = MakeMemoTable(dir, kVisualFoxPro, "fox.dbf");
  std::string before = FileBytes(dir.File("fox.fpt"));
  {
    VRO_dBaseDBF table(path, true, false);
    EXPECT_TRUE(table.Rename(dir.File("hound.dbf")));
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("fox.fpt")));
  EXPECT_EQ(FileBytes(dir.File("hound.fpt")), before);
}

TEST(MemoRename, TableWithoutMemoFileRenamesAlone) {
  TempDir dir;
  std::string path = MakeMemoTable(dir, kDbase3, "lone.dbf");
  std::filesystem::remove(dir.File("lone.dbt"));
  VRO_dBaseDBF table(path, true, false);
  EXPECT_TRUE(table.Rename(dir.File("solo.dbf")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("solo.dbf")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("solo.dbt")));
}

}  // namespace
}  // namespace velorin
