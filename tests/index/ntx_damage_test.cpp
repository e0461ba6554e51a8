// NTX files damaged or shared: headers and pages that no writer makes are error
// 2112 (and findings of the checker), another program's writes show in the
// change counter, and a rebuild that cannot have the whole file is error 33.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "index/index_check.h"
#include "index/index_fixture.h"
#include "index/ntx_format.h"
#include "support/child_process.h"
#include "support/raised_message.h"

namespace velorin {
namespace {

using namespace ntx_format;
using testing::ChildProcess;
using testing::MakeFilledTable;
using testing::MakeNtx;
using testing::RaisedMessage;

std::string Word(uint32_t value, int bytes) {
  std::string text;
  for (int i = 0; i < bytes; ++i) text += static_cast<char>(value >> (8 * i));
  return text;
}

class NtxDamageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 120; ++i) rows.push_back({"N" + std::to_string(1000 + i)});
    table_ = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10"}, rows);
    MakeNtx(*table_, dir_.File("NAME.NTX"), "NAME");
  }
  std::string Damage() const { return EngineErrorMessage(index_error::kDamaged, sub_code::kNone, path()); }
  std::string path() const { return dir_.File("NAME.NTX"); }

  testing::TempDir dir_;
  std::unique_ptr<VRO_dBHandler> table_;
};

TEST_F(NtxDamageTest, HeadersNoWriterMakesAreRefused) {
  struct Case {
    const char* what;
    size_t offset;
    std::string bytes;
  };
  const std::vector<Case> cases{
      {"key length 0", header::kKeyLength, Word(0, 2)},
      {"key length 300", header::kKeyLength, Word(300, 2)},
      {"item length below key length + 8", header::kItemLength, Word(12, 2)},
      {"maximum keys 0", header::kMaxKeys, Word(0, 2)},
      {"maximum keys beyond the page", header::kMaxKeys, Word(200, 2)},
      {"half page 0", header::kHalfPage, Word(0, 2)},
      {"unknown signature", header::kSignature, Word(9, 2)},
      {"root inside a page", header::kRoot, Word(1000, 4)},
      {"no key expression", header::kExpression, Word(0, 1)},
  };
  std::string good = testing::ReadFileBytes(path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::WriteFileBytes(path(), good);
    testing::PatchFile(path(), c.offset, c.bytes);
    EXPECT_EQ(RaisedMessage([&] { table_->OpenIndex("NAME.NTX"); }), Damage());
    EXPECT_EQ(table_->IndexFileCount(), 0);
  }
}

TEST_F(NtxDamageTest, DamagedPagesAreRefusedAndTheCheckerSaysWhere) {
  std::string good = testing::ReadFileBytes(path());
  size_t root = testing::LE32At(good, header::kRoot);
  struct Case {
    const char* what;
    size_t offset;
    std::string bytes;
  };
  const std::vector<Case> cases{
      {"a count above the maximum", root + page::kCount, Word(51, 2)},
      {"an item beyond the page's end", root + page::kOffsetTable, Word(1020, 2)},
      {"an item inside the offset table", root + page::kOffsetTable, Word(40, 2)},
      {"a child inside a page", root + 104 + item::kChild, Word(1030, 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::WriteFileBytes(path(), good);
    testing::PatchFile(path(), c.offset, c.bytes);
    ASSERT_EQ(table_->OpenIndex("NAME.NTX"), 0);
    std::string tag = "NAME";
    EXPECT_EQ(RaisedMessage([&] { table_->SelectOrder(&tag, false); }), Damage());
    std::vector<std::string> problems = CheckIndexFile(*table_->IndexFileInSlot(1), *table_);
    ASSERT_FALSE(problems.empty());
    EXPECT_NE(problems.front().find(Damage()), std::string::npos) << problems.front();
    table_->CloseIndexes();
  }
}

// Date and number keys are text in NTX pages; a key that is no date or number
// is a finding of the checker, shown as stored, not a conversion error.
TEST_F(NtxDamageTest, KeysThatStandForNoValueAreFindings) {
  auto table = MakeFilledTable(dir_.File("D.DBF"), {"BORN:D", "NUM:N:6"},
                               {{"20240101", "5"}, {"20230101", "-7"}, {"20250101", "12"}});
  for (const char* key : {"BORN", "NUM"}) {
    SCOPED_TRACE(key);
    std::string file = dir_.File(std::string(key) + ".NTX");
    MakeNtx(*table, file, key);
    std::string bytes = testing::ReadFileBytes(file);
    size_t root = testing::LE32At(bytes, header::kRoot);
    size_t firstItem = root + testing::LE16At(bytes, root + page::kOffsetTable);
    testing::PatchFile(file, firstItem + item::kKey, "2A,1:X");
    ASSERT_EQ(table->OpenIndex(file), 0);
    std::vector<std::string> problems;
    ASSERT_NO_THROW(problems = CheckIndexFile(*table->IndexFileInSlot(1), *table));
    bool shown = std::any_of(problems.begin(), problems.end(),
                             [](const std::string& problem) { return problem.find("2A,1:X") != std::string::npos; });
    EXPECT_TRUE(shown) << problems.size() << " problems, first: " << (problems.empty() ? "" : problems.front());
    table->CloseIndexes();
  }
}

TEST_F(NtxDamageTest, AnotherProgramsWriteShowsInTheChangeCounter) {
  table_.reset();
  VRO_dBHandler table(dir_.File("T.DBF"), true, true);
  ASSERT_EQ(table.OpenIndex("NAME.NTX"), 0);
  auto* file = dynamic_cast<VRobjNTXFile*>(table.IndexFileInSlot(1));
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(file->ExternalChange());
  ChildProcess child([&] {
    VRO_dBHandler other(dir_.File("T.DBF"), true, true);
    if (other.OpenIndex("NAME.NTX") != 0) return 1;
    other.BlankRecord();
    other.PutValue(1, "NEW");
    other.Append();
    return 0;
  });
  ASSERT_EQ(child.Wait(), 0);
  EXPECT_TRUE(file->ExternalChange());
  EXPECT_EQ(testing::LE16At(testing::ReadFileBytes(path()), header::kChangeCounter), 2);
}

TEST_F(NtxDamageTest, TheCounterStartsAgainAt1After32767) {
  ASSERT_EQ(table_->OpenIndex("NAME.NTX"), 0);
  auto* file = dynamic_cast<VRobjNTXFile*>(table_->IndexFileInSlot(1));
  file->SetChangeCounter(kLastChangeCounter);
  table_->GoRecord(1);
  table_->PutValue(1, "CHANGED");
  table_->WriteRecord(1);
  EXPECT_EQ(testing::LE16At(testing::ReadFileBytes(path()), header::kChangeCounter), 1);
}

// Another program holds a lock in the index: the rebuild is refused with error
// 33 and leaves no lock behind; once the other lets go it succeeds.
TEST_F(NtxDamageTest, AReindexThatCannotHaveTheWholeFileIsRefused) {
  table_.reset();
  testing::Signal ready;
  testing::Signal done;
  // The child opens the file before this process does: a handle of its own.
  ChildProcess child([&] {
    VRO_DiskFile holder(path(), true, true);
    holder.Open();
    if (!holder.LockRegion(0x7FFFFFFDu, 1)) return 1;
    ready.Notify();
    done.WaitFor();
    return 0;
  });
  ASSERT_TRUE(ready.WaitFor());
  VRO_dBHandler table(dir_.File("T.DBF"), true, true);
  ASSERT_EQ(table.OpenIndex("NAME.NTX"), 0);
  auto* file = dynamic_cast<VRobjNTXFile*>(table.IndexFileInSlot(1));
  EXPECT_EQ(RaisedMessage([&] { table.Reindex(); }),
            EngineErrorMessage(error_code::kLockViolation, sub_code::kNone, file->FullName()));
  EXPECT_EQ(file->Disk()->LockCount(), 0);
  done.Notify();
  ASSERT_EQ(child.Wait(), 0);
  table.Reindex();
  EXPECT_EQ(file->Disk()->LockCount(), 0);
  EXPECT_TRUE(CheckIndexFile(*file, table).empty());
}

}  // namespace
}  // namespace velorin
