// The table handler's expression filter: the bit set built in one walk, kept
// up to date by every write and append, cut by Pack, and walked by navigation.
#include <gtest/gtest.h>

#include "engine/vr6_dbsy.h"
#include "expr/expression_filter.h"
#include "expr/expr_fixture.h"
#include "support/raised_message.h"

namespace velorin {
namespace {

using testing::RaisedMessage;

constexpr int32_t kRecords = 100000;
constexpr const char* kFilter = "QTY > 0 .AND. LEFT(NAME, 1) = 'A'";

// A handler that counts the records it reads.
class CountingHandler : public VRO_dBHandler {
 public:
  using VRO_dBHandler::VRO_dBHandler;
  bool RecordEvent(uint8_t event, int32_t number) override {
    if (event == record_event::kAfterRead) ++reads;
    return VRO_dBHandler::RecordEvent(event, number);
  }
  int64_t reads = 0;
};

// NAME C(8) "A<n>" for odd n, "B<n>" for even n; QTY N(3) n % 10.
std::string Record(int32_t n, char flag = ' ') {
  char record[16];
  std::snprintf(record, sizeof record, "%c%c%-7d%3d", flag, n % 2 == 1 ? 'A' : 'B', n % 10000000, n % 10);
  return record;
}

bool Passes(int32_t n) { return n % 2 == 1 && n % 10 != 0; }

class HandlerFilterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallExpressionFilter(); }

  void Make(int32_t count, const std::vector<int32_t>& deleted = {}) {
    std::vector<std::string> records;
    records.reserve(static_cast<size_t>(count));
    for (int32_t n = 1; n <= count; ++n) {
      bool isDeleted = std::find(deleted.begin(), deleted.end(), n) != deleted.end();
      records.push_back(Record(n, isDeleted ? '*' : ' '));
    }
    testing::MakeTable(path_, 0x03, {"NAME:C:8", "QTY:N:3"}, records);
    table_ = std::make_unique<CountingHandler>(path_, true, false);
  }

  // The record numbers a walk from the top visits.
  std::vector<int32_t> Walk() {
    std::vector<int32_t> seen;
    for (table_->GoRecord(nav::kFirst); !table_->AtEOF(); table_->GoRecord(nav::kNext)) {
      seen.push_back(table_->RecordNumber());
    }
    return seen;
  }

  testing::TempDir dir_;
  std::string path_ = dir_.File("F.DBF");
  std::unique_ptr<CountingHandler> table_;
};

TEST_F(HandlerFilterTest, SetBuiltInOneWalkAndNavigationOnlyTestsIt) {
  Make(kRecords);
  table_->GoRecord(77);
  table_->reads = 0;
  table_->SetFilter(kFilter, false, true);
  table_->SetFilterActive(true);
  // One read per record, and one to come back to record 77.
  EXPECT_EQ(table_->reads, kRecords + 1);
  EXPECT_EQ(table_->RecordNumber(), 77);
  int32_t expected = 0;
  for (int32_t n = 1; n <= kRecords; ++n) {
    expected += Passes(n);
    ASSERT_EQ(table_->InFilterSet(n), Passes(n)) << n;
  }
  table_->reads = 0;
  std::vector<int32_t> seen = Walk();
  EXPECT_EQ(static_cast<int32_t>(seen.size()), expected);
  EXPECT_EQ(table_->reads, expected);  // records that do not pass are never read
  EXPECT_EQ(seen.front(), 1);
  EXPECT_EQ(seen.back(), kRecords - 1);
  table_->GoRecord(nav::kLast);
  EXPECT_EQ(table_->RecordNumber(), kRecords - 1);
  table_->GoRecord(nav::kPrevious);
  EXPECT_EQ(table_->RecordNumber(), kRecords - 3);
}

TEST_F(HandlerFilterTest, WrittenAndAppendedRecordsEnterAndLeaveTheSet) {
  Make(100);
  table_->SetFilter(kFilter, false, true);
  table_->SetFilterActive(true);
  table_->GoRecord(2);  // B, fails
  table_->PutText(1, "A2");
  table_->WriteRecord(2);
  EXPECT_TRUE(table_->InFilterSet(2));
  table_->GoRecord(3);  // passes
  table_->PutNumber(2, 0);
  table_->WriteRecord(3);
  EXPECT_FALSE(table_->InFilterSet(3));
  std::vector<int32_t> seen = Walk();
  EXPECT_EQ(std::vector<int32_t>(seen.begin(), seen.begin() + 3), (std::vector<int32_t>{1, 2, 5}));
  table_->BlankRecord();
  table_->PutText(1, "AX");
  table_->PutNumber(2, 4);
  table_->Append();
  EXPECT_TRUE(table_->InFilterSet(101));
  table_->GoRecord(nav::kLast);
  EXPECT_EQ(table_->RecordNumber(), 101);
}

TEST_F(HandlerFilterTest, PackLeavesNoBitsBeyondTheTable) {
  Make(kRecords, {kRecords - 1, kRecords - 3, 5});
  table_->SetUseDeleted(true);
  table_->SetFilter(kFilter, false, true);
  table_->SetFilterActive(true);
  ASSERT_TRUE(table_->FilterSet()->Test(kRecords - 1));
  table_->Pack();
  ASSERT_EQ(table_->RecordCount(), kRecords - 3);
  for (int32_t n = kRecords - 2; n <= kRecords; ++n) EXPECT_FALSE(table_->FilterSet()->Test(n)) << n;
  // The moved records carry their verdicts to their new numbers: record 7 is now 6.
  EXPECT_TRUE(table_->InFilterSet(6));
  EXPECT_FALSE(table_->InFilterSet(5));
  table_->GoRecord(nav::kLast);
  EXPECT_FALSE(table_->AtEOF());
  EXPECT_LE(table_->RecordNumber(), table_->RecordCount());
  EXPECT_EQ(table_->GetText(1).substr(0, 6), "A99995");
}

TEST_F(HandlerFilterTest, DeletedRecordsAreHiddenWhenAsked) {
  Make(10, {1, 3});
  table_->SetUseDeleted(false);
  table_->SetFilter(kFilter, false, true);
  table_->SetFilterActive(true);
  EXPECT_FALSE(table_->InFilterSet(1));
  EXPECT_EQ(Walk(), (std::vector<int32_t>{5, 7, 9}));
}

TEST_F(HandlerFilterTest, NoRecordPassing) {
  Make(20);
  table_->SetFilter("QTY > 100", false, true);
  table_->SetFilterActive(true);
  table_->GoRecord(nav::kFirst);
  EXPECT_TRUE(table_->AtEOF());
  EXPECT_TRUE(table_->AtBOF());
  table_->GoRecord(nav::kLast);
  EXPECT_TRUE(table_->AtEOF());
  EXPECT_TRUE(table_->AtBOF());
}

TEST_F(HandlerFilterTest, OptionsAndSwitchingOff) {
  Make(20);
  table_->SetFilter("NAME = 'a1*'", true, true);
  table_->SetFilterActive(true);
  EXPECT_EQ(Walk(), (std::vector<int32_t>{1, 11, 13, 15, 17, 19}));
  table_->SetFilter("NAME = 'a1*'", false, true);
  EXPECT_TRUE(Walk().empty());
  table_->SetFilter("NAME = 'A1*'", false, false);
  EXPECT_TRUE(Walk().empty());
  table_->SetFilterActive(false);
  EXPECT_EQ(Walk().size(), 20u);
  table_->SetFilter("", false, true);
  table_->SetFilterActive(true);
  EXPECT_FALSE(table_->FilterInEffect());
  EXPECT_EQ(Walk().size(), 20u);
}

TEST_F(HandlerFilterTest, RefusedTextLeavesNoFilter) {
  Make(20);
  table_->SetFilter("QTY > 5", false, true);
  table_->SetFilterActive(true);
  for (const char* text : {"RECNO()", "NAME"}) {
    EXPECT_EQ(RaisedMessage([&] { table_->SetFilter(text, false, true); }),
              "Filter expression must return boolean result");
    EXPECT_EQ(table_->FilterText(), "");
    EXPECT_FALSE(table_->FilterInEffect());
    EXPECT_FALSE(table_->InFilterSet(6));
    EXPECT_EQ(Walk().size(), 20u);
  }
  EXPECT_EQ(RaisedMessage([&] { table_->SetFilter("QTY >", false, true); }),
            "Target value missing for > operation");
  EXPECT_EQ(table_->FilterText(), "");
  EXPECT_FALSE(table_->FilterInEffect());
  // The same text as before the failure compiles again.
  table_->SetFilter("QTY > 5", false, true);
  EXPECT_TRUE(table_->FilterInEffect());
  EXPECT_EQ(Walk().size(), 8u);
}

TEST_F(HandlerFilterTest, WithoutTheEvaluatorSetFilterFails) {
  Make(3);
  SetRecordFilterMaker(nullptr);
  EXPECT_THROW(table_->SetFilter("QTY > 1", false, true), EVelorinError);
  InstallExpressionFilter();
  InstallExpressionFilter();
  table_->SetFilter("QTY > 1", false, true);
  table_->SetFilterActive(true);
  EXPECT_EQ(Walk(), (std::vector<int32_t>{2, 3}));
}

}  // namespace
}  // namespace velorin
