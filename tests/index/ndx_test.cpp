#include "index/vr6_ndx.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "index/index_fixture.h"
#include "index/ndx_format.h"
#include "support/raised_message.h"

namespace velorin {
namespace {

using testing::LE16At;
using testing::LE32At;
using testing::MakeFilledTable;
using testing::MakeNdx;
using testing::RecordsInOrder;

class NdxTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
};

TEST_F(NdxTest, HeaderLayoutOfCharacterAndNumericKeys) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10", "AMOUNT:N:8:2", "BORN:D"}, {});
  MakeNdx(*table, dir_.File("NAME.NDX"), "NAME", true);
  MakeNdx(*table, dir_.File("AMOUNT.NDX"), "AMOUNT");
  std::string name = testing::ReadFileBytes(dir_.File("NAME.NDX"));
  ASSERT_EQ(name.size(), 1024u);  // header and an empty root leaf
  EXPECT_EQ(LE32At(name, ndx_format::header::kRoot), 1u);
  EXPECT_EQ(LE32At(name, ndx_format::header::kNextFree), 2u);
  EXPECT_EQ(LE16At(name, ndx_format::header::kKeyLength), 10);
  EXPECT_EQ(LE16At(name, ndx_format::header::kEntryLength), 20);
  EXPECT_EQ(LE16At(name, ndx_format::header::kMaxKeys), 25);
  EXPECT_EQ(LE16At(name, ndx_format::header::kKeyType), 0);
  EXPECT_EQ(name[ndx_format::header::kUnique], 1);
  EXPECT_EQ(std::string(name.c_str() + ndx_format::header::kExpression), "NAME");
  EXPECT_EQ(name.substr(512), std::string(512, '\0'));
  std::string amount = testing::ReadFileBytes(dir_.File("AMOUNT.NDX"));
  EXPECT_EQ(LE16At(amount, ndx_format::header::kKeyLength), 8);
  EXPECT_EQ(LE16At(amount, ndx_format::header::kEntryLength), 16);
  EXPECT_EQ(LE16At(amount, ndx_format::header::kMaxKeys), 31);
  EXPECT_EQ(LE16At(amount, ndx_format::header::kKeyType), 1);
}

TEST_F(NdxTest, BuiltIndexOrdersTheTableAndEqualKeysKeepRecordOrder) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10"}, {{"PETROV"}, {"IVANOV"}, {"SIDOROV"}, {"IVANOV"}, {""}});
  MakeNdx(*table, dir_.File("NAME.NDX"), "NAME");
  ASSERT_EQ(table->OpenIndex("NAME.NDX"), 0);
  std::string tag = "NAME";
  ASSERT_EQ(table->SelectOrder(&tag, false), 1);
  EXPECT_EQ(RecordsInOrder(*table), (std::vector<int32_t>{5, 2, 4, 1, 3}));
  EXPECT_TRUE(table->Find("SIDOROV"));
  EXPECT_EQ(table->RecordNumber(), 3);
  EXPECT_TRUE(table->Find(""));  // the all-blank key is found again
  EXPECT_EQ(table->RecordNumber(), 5);
}

TEST_F(NdxTest, ExactSettingDecidesWhetherAPrefixIsFound) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10"}, {{"ABC"}});
  MakeNdx(*table, dir_.File("NAME.NDX"), "NAME");
  ASSERT_EQ(table->OpenIndex("NAME"), 0);
  std::string tag = "NAME";
  table->SelectOrder(&tag, false);
  table->SetExactMatch(true);
  EXPECT_FALSE(table->Find("AB"));
  EXPECT_TRUE(table->AtEOF());
  table->SetExactMatch(false);
  EXPECT_TRUE(table->Find("AB"));
  EXPECT_EQ(table->RecordNumber(), 1);
}

// A seek typed by hand that is no date (no number) in a date (numeric) order is
// an engine error naming it, not a conversion failure escaping the engine, for
// each family that converts the sought text; the order stays usable.
TEST_F(NdxTest, SeekingANonDateOrNonNumberIsAnEngineError) {
  struct Case {
    const char* file;
    const char* key;
  };
  for (const Case& c : {Case{"BORN.NDX", "BORN"}, Case{"QTY.NDX", "QTY"}, Case{"BORN.NTX", "BORN"}}) {
    SCOPED_TRACE(c.file);
    auto table = MakeFilledTable(dir_.File("D.DBF"), {"BORN:D", "QTY:N:5"}, {{"20240301", "7"}, {"19991231", "3"}});
    if (std::string(c.file).ends_with(".NDX")) {
      MakeNdx(*table, dir_.File(c.file), c.key);
    } else {
      testing::MakeNtx(*table, dir_.File(c.file), c.key);
    }
    ASSERT_EQ(table->OpenIndex(c.file), 0);
    std::string tag = c.key;
    table->SelectOrder(&tag, false);
    std::string message;
    try {
      table->Find("K050");
    } catch (const EVelorinError& e) {
      message = e.what();
    }
    EXPECT_NE(message.find("K050"), std::string::npos) << message;
    EXPECT_EQ(RecordsInOrder(*table), (std::vector<int32_t>{2, 1}));
  }
}

// Enough keys for a tree of three levels, inserted one by one in random order:
// every split up to a new root keeps the order.
TEST_F(NdxTest, InsertionsSplitUpToNewRoots) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NUM:N:8"}, {});
  MakeNdx(*table, dir_.File("NUM.NDX"), "NUM");
  ASSERT_EQ(table->OpenIndex("NUM.NDX"), 0);
  std::vector<int> values;
  for (int i = 0; i < 3000; ++i) values.push_back((i * 7919) % 3001);
  for (int v : values) {
    table->BlankRecord();
    table->PutNumber(1, v);
    table->Append();
  }
  std::string tag = "NUM";
  table->SelectOrder(&tag, false);
  std::vector<double> seen;
  table->GoRecord(nav::kFirst);
  while (!table->AtEOF()) {
    seen.push_back(table->GetNumber(1));
    table->GoRecord(nav::kNext);
  }
  ASSERT_EQ(seen.size(), values.size());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  std::string bytes = testing::ReadFileBytes(dir_.File("NUM.NDX"));
  EXPECT_GT(bytes.size() / 512, 3000u / 31);
  EXPECT_TRUE(table->Find("1234"));
  EXPECT_EQ(table->GetNumber(1), 1234);
}

}  // namespace
}  // namespace velorin
