// velorin-dbf delete, recall, pack and search: what they do to the file, their
// exit statuses, and how they meet other processes using the table.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "engine/vr6_dbsy.h"
#include "support/child_process.h"
#include "support/table_fixture.h"
#include "support/temp_dir.h"
#include "tests/tools/cli_test_support.h"

namespace velorin {
namespace {

using nlohmann::json;
using testing::Dbf;
using testing::RunCommand;
using testing::TempDir;

// The record numbers dump shows (deleted ones too when asked) and their names.
std::vector<std::string> Names(const std::string& arguments) {
  auto dumped = Dbf("dump " + arguments);
  EXPECT_EQ(dumped.status, 0) << dumped.out;
  std::vector<std::string> names;
  std::istringstream in(dumped.out);
  for (std::string line; std::getline(in, line);) {
    json r = json::parse(line);
    names.push_back(std::to_string(r["recno"].get<int>()) + (r["deleted"] ? "*" : "") + ":" +
                    r["fields"]["NAME"].get<std::string>());
  }
  return names;
}

// NAME C(10), QTY N(5), WHEN D, OK L, NOTE M in a dBase IV table; five records.
void MakeFive(const std::string& file = "t.dbf", const std::string& version = "8B") {
  ASSERT_EQ(Dbf("create " + file + " --version " + version +
                " --field NAME:C:10 --field QTY:N:5 --field WHEN:D --field OK:L --field NOTE:M --codepage 1251")
                .status,
            0);
  auto appended = Dbf("append " + file, R"({"NAME":"Alpha","QTY":1,"WHEN":"2024-01-01","OK":true,"NOTE":"memo one"}
{"NAME":"beta","QTY":22,"WHEN":"2024-02-29","OK":false,"NOTE":"memo two"}
{"NAME":"Гамма","QTY":333,"WHEN":"1999-12-31","OK":true,"NOTE":"memo three"}
{"NAME":"delta beta","QTY":-4,"OK":false,"NOTE":"memo four"}
{"NAME":"Epsilon","QTY":5,"WHEN":"2000-01-01","OK":true,"NOTE":"memo five"}
)");
  ASSERT_EQ(appended.status, 0) << appended.out;
}

// ---- delete and recall ----------------------------------------------------------------

TEST(DeleteCommand, MarksAndRecallClearsTheDeletionFlag) {
  TempDir dir;
  MakeFive();
  EXPECT_EQ(Dbf("delete t.dbf 2 4").status, 0);
  EXPECT_EQ(Names("t.dbf"), (std::vector<std::string>{"1:Alpha", "3:Гамма", "5:Epsilon"}));
  EXPECT_EQ(Names("t.dbf --deleted"),
            (std::vector<std::string>{"1:Alpha", "2*:beta", "3:Гамма", "4*:delta beta", "5:Epsilon"}));
  std::string bytes = testing::ReadFileBytes("t.dbf");
  int32_t headerLength = testing::LE16At(bytes, 8), recordLength = testing::LE16At(bytes, 10);
  for (int n = 1; n <= 5; ++n) {
    EXPECT_EQ(bytes[static_cast<size_t>(headerLength + (n - 1) * recordLength)], (n == 2 || n == 4) ? '*' : ' ');
  }
  EXPECT_EQ(Dbf("delete t.dbf 2").status, 0);  // deleting again changes nothing
  EXPECT_EQ(Dbf("recall t.dbf 4 1").status, 0);
  EXPECT_EQ(Names("t.dbf --deleted"),
            (std::vector<std::string>{"1:Alpha", "2*:beta", "3:Гамма", "4:delta beta", "5:Epsilon"}));
}

TEST(DeleteCommand, RecordsThatDoNotExistAndBadNumbers) {
  TempDir dir;
  MakeFive();
  auto beyond = Dbf("delete t.dbf 1 6 2", "", true);
  EXPECT_EQ(beyond.status, 1);
  EXPECT_EQ(beyond.out, "Record 6 does not exist; the table has 5 records\n");
  // The records before the missing one were changed, the ones after it not.
  EXPECT_EQ(Names("t.dbf").front(), "2:beta");
  EXPECT_EQ(Dbf("recall t.dbf 99 2>/dev/null").status, 1);
  EXPECT_EQ(Dbf("delete t.dbf 0 2>/dev/null").status, 2);
  EXPECT_EQ(Dbf("delete t.dbf x 2>/dev/null").status, 2);
  EXPECT_EQ(Dbf("delete t.dbf 2>/dev/null").status, 2);
  EXPECT_EQ(Dbf("recall missing.dbf 1 2>/dev/null").status, 1);
}

TEST(DeleteCommand, ARecordLockedByAnotherProcessIsRefused) {
  TempDir dir;
  MakeFive();
  testing::Signal locked, release;
  std::string path = dir.File("t.dbf");
  testing::ChildProcess holder([&] {
    VRO_dBHandler table(path, true, true);
    table.GoRecord(2);
    if (!table.LockRecord()) return 1;
    locked.Notify();
    release.WaitFor(30000);
    table.Unlock();
    return 0;
  });
  ASSERT_TRUE(locked.WaitFor());
  auto refused = Dbf("delete t.dbf 2", "", true);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "Record 2 is locked by another user\n");
  EXPECT_EQ(Dbf("delete t.dbf 3").status, 0);  // other records are free
  EXPECT_EQ(Dbf("recall t.dbf 2 2>/dev/null").status, 1);
  release.Notify();
  EXPECT_EQ(holder.Wait(), 0);
  EXPECT_EQ(Dbf("delete t.dbf 2").status, 0);
  EXPECT_EQ(Names("t.dbf"), (std::vector<std::string>{"1:Alpha", "4:delta beta", "5:Epsilon"}));
}

// ---- pack -------------------------------------------------------------------------------

TEST(PackCommand, RemovesTheDeletedRecordsAndEndsTheFileRight) {
  TempDir dir;
  MakeFive();
  ASSERT_EQ(Dbf("delete t.dbf 2 4").status, 0);
  size_t memoBefore = testing::ReadFileBytes("t.dbt").size();
  auto packed = Dbf("pack t.dbf");
  EXPECT_EQ(packed.status, 0);
  EXPECT_EQ(packed.out, "");  // no progress bar: the output is not a terminal
  EXPECT_EQ(Names("t.dbf --deleted"), (std::vector<std::string>{"1:Alpha", "2:Гамма", "3:Epsilon"}));
  std::string bytes = testing::ReadFileBytes("t.dbf");
  int32_t headerLength = testing::LE16At(bytes, 8), recordLength = testing::LE16At(bytes, 10);
  EXPECT_EQ(bytes.size(), static_cast<size_t>(headerLength + 3 * recordLength + 1));
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(testing::LE32At(bytes, 4), 3u);  // the header's count, for other programs
  // The memos of the kept records moved with them.
  auto dumped = Dbf("dump t.dbf");
  EXPECT_NE(dumped.out.find("\"NOTE\":\"memo three\""), std::string::npos);
  EXPECT_EQ(dumped.out.find("memo two"), std::string::npos);
  // The freed dBase IV blocks are reused by the next memos: the file does not grow.
  ASSERT_EQ(Dbf("append t.dbf", "{\"NAME\":\"new\",\"NOTE\":\"memo six\"}\n").status, 0);
  EXPECT_EQ(testing::ReadFileBytes("t.dbt").size(), memoBefore);
  EXPECT_EQ(Dbf("pack t.dbf").status, 0);  // nothing to remove
  EXPECT_EQ(Names("t.dbf").size(), 4u);
}

TEST(PackCommand, ShowsAProgressBarOnATerminal) {
  if (RunCommand("command -v script >/dev/null") != 0) GTEST_SKIP() << "script (util-linux) missing";
  TempDir dir;
  MakeFive();
  ASSERT_EQ(Dbf("delete t.dbf 5").status, 0);
  std::string out;
  ASSERT_EQ(RunCommand("script -qec '" + std::string(VELORIN_DBF_TOOL) + " pack t.dbf' /dev/null", &out), 0) << out;
  EXPECT_NE(out.find("\rPacking [                                        ]   0% 0/5"), std::string::npos) << out;
  EXPECT_NE(out.find("\rPacking [################################        ]  80% 4/5"), std::string::npos) << out;
  EXPECT_NE(out.find("\rPacking [########################################] 100% 5/5"), std::string::npos) << out;
  EXPECT_EQ(Names("t.dbf").size(), 4u);
}

TEST(PackCommand, NeedsTheTableForItself) {
  TempDir dir;
  MakeFive();
  ASSERT_EQ(Dbf("delete t.dbf 1").status, 0);
  testing::Signal opened, release;
  std::string path = dir.File("t.dbf");
  testing::ChildProcess user([&] {
    VRO_dBHandler table(path, false, true);
    opened.Notify();
    release.WaitFor(30000);
    return 0;
  });
  ASSERT_TRUE(opened.WaitFor());
  auto refused = Dbf("pack t.dbf", "", true);
  EXPECT_EQ(refused.status, 1);
  EXPECT_FALSE(refused.out.empty());
  release.Notify();
  EXPECT_EQ(user.Wait(), 0);
  EXPECT_EQ(Names("t.dbf --deleted").size(), 5u);  // nothing happened
  EXPECT_EQ(Dbf("pack t.dbf").status, 0);
  EXPECT_EQ(Names("t.dbf --deleted").size(), 4u);
  EXPECT_EQ(Dbf("pack missing.dbf 2>/dev/null").status, 1);
}

// ---- search -------------------------------------------------------------------------------

struct SearchResult {
  int status;
  std::string out;
};

SearchResult Search(const std::string& arguments) {
  auto found = Dbf("search t.dbf " + arguments, "", true);
  return {found.status, found.out};
}

TEST(SearchCommand, PrintsTheFirstRecordThatHoldsTheText) {
  TempDir dir;
  MakeFive();
  EXPECT_EQ(Search("beta").out, "2\n");  // every field, from the top
  EXPECT_EQ(Search("beta").status, 0);
  EXPECT_EQ(Search("Гамма").out, "3\n");  // UTF-8 text in the table's code page
  EXPECT_EQ(Search("333 --field QTY").out, "3\n");  // numbers compare as numbers
  EXPECT_EQ(Search("20240229").out, "2\n");        // dates as dates
  EXPECT_EQ(Search("29.02.2024").out, "2\n");      // also in the short date format
  EXPECT_EQ(Search("T --field OK").out, "1\n");    // logicals only in their field
  EXPECT_EQ(Search("F --field OK").out, "2\n");
  auto none = Search("zeta");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "");
}

TEST(SearchCommand, OptionBits) {
  TempDir dir;
  MakeFive();
  EXPECT_EQ(Search("alpha").status, 1);
  EXPECT_EQ(Search("alpha --options 1").out, "1\n");    // ignore case
  EXPECT_EQ(Search("гамма --options 1").out, "3\n");    // in the ANSI code page too
  EXPECT_EQ(Search("beta --field NAME --options 2").out, "2\n");  // whole field
  EXPECT_EQ(Search("delta --field NAME --options 2").status, 1);
  EXPECT_EQ(Search("beta --field NAME --options 32").out, "2\n");  // from the first character
  EXPECT_EQ(Search("eta --field NAME --options 32").status, 1);
  EXPECT_EQ(Search("'*beta' --field NAME --options 4").out, "2\n");  // wildcards
  EXPECT_EQ(Search("'del*' --field NAME --options 4").out, "4\n");
  EXPECT_EQ(Search("'b?ta' --field NAME --options 4").out, "2\n");
  EXPECT_EQ(Search("'d?ta' --field NAME --options 4").status, 1);
  EXPECT_EQ(Search("'*BETA*' --field NAME --options 5").out, "2\n");
}

TEST(SearchCommand, LetterCaseFoldsInTheTablesCodePage) {
  TempDir dir;
  ASSERT_EQ(Dbf("create t.dbf --field NAME:C:10 --codepage 866").status, 0);
  ASSERT_EQ(Dbf("append t.dbf", "{\"NAME\":\"Ёлка\"}\n{\"NAME\":\"Гамма\"}\n").status, 0);
  EXPECT_EQ(Search("гамма").status, 1);
  EXPECT_EQ(Search("гамма --options 1").out, "2\n");
  EXPECT_EQ(Search("ёЛКА --options 1").out, "1\n");
  // The same bytes taken as 1251 are other letters, which fold otherwise.
  EXPECT_EQ(Search("гамма --options 1 --codepage 1251").status, 1);
}

TEST(SearchCommand, DeletedRecordsOnlyWhenAsked) {
  TempDir dir;
  MakeFive();
  ASSERT_EQ(Dbf("delete t.dbf 1 2").status, 0);
  EXPECT_EQ(Search("Alpha").status, 1);
  EXPECT_EQ(Search("beta").out, "4\n");
  EXPECT_EQ(Search("Alpha --deleted").out, "1\n");  // the first record too, though read first
  EXPECT_EQ(Search("beta --deleted").out, "2\n");
}

TEST(SearchCommand, Refusals) {
  TempDir dir;
  MakeFive();
  auto unknown = Search("x --field NOPE");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.out, "dBase field name is invalid - NOPE\n");
  auto lacking = Search("日本");
  EXPECT_EQ(lacking.status, 1);
  EXPECT_EQ(lacking.out, "The search text has a character (number 1) that code page 1251 lacks\n");
  EXPECT_EQ(Search("x --options 70000").status, 2);
  EXPECT_EQ(Search("x --options -1").status, 2);
  EXPECT_EQ(Search("''").status, 1);  // an empty text finds nothing
  EXPECT_EQ(Dbf("search missing.dbf x 2>/dev/null").status, 1);
}

}  // namespace
}  // namespace velorin
