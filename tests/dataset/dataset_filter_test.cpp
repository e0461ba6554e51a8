// The dataset's Filter, Filtered and FilterOptions: the expression in the
// program's code page against a table held in the OEM code page, set before or
// after opening, together with OnFilterRecord.
#include <gtest/gtest.h>

#include "dataset/Velorin6DB.h"
#include "support/raised_message.h"
#include "support/table_fixture.h"
#include "support/temp_dir.h"

namespace velorin {
namespace {

using testing::RaisedMessage;

// Иванов, Ивашов, Петров in code page 866 (the table) and 1251 (the program).
const std::string kIvanov866 = "\x88\xA2\xA0\xAD\xAE\xA2";
const std::string kIvashov866 = "\x88\xA2\xA0\xE8\xAE\xA2";
const std::string kPetrov866 = "\x8F\xA5\xE2\xE0\xAE\xA2";
const std::string kIv1251 = "\xC8\xE2";
const std::string kIvLower1251 = "\xE8\xE2";

std::string Record(const std::string& name, int count) {
  std::string record = " " + name + std::string(15 - name.size(), ' ');
  std::string number = std::to_string(count);
  return record + std::string(4 - number.size(), ' ') + number;
}

class DataSetFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::MakeTable(path_, 0x03, {"NAME:C:15", "COUNT:N:4"},
                       {Record(kIvanov866, 3), Record(kPetrov866, 7), Record(kIvashov866, 9), Record("Smith", 1)});
    data_.SetTableName(path_);
  }

  std::vector<int> Walk() {
    std::vector<int> seen;
    for (data_.First(); !data_.AtEnd() && seen.size() < 10; data_.Next()) seen.push_back(data_.RecordNumber());
    return seen;
  }

  testing::TempDir dir_;
  std::string path_ = dir_.File("PEOPLE.DBF");
  TVelorinDataSet data_{"People"};
};

TEST_F(DataSetFilterTest, FilterSetBeforeOpenHidesRecordsInFirstAndNext) {
  data_.SetFilter("NAME = '" + kIv1251 + "*' .AND. COUNT > 5");
  data_.SetFiltered(true);
  data_.Open();
  EXPECT_EQ(Walk(), (std::vector<int>{3}));
  data_.SetFilter("COUNT > 2");
  EXPECT_EQ(data_.RecordNumber(), 1);
  EXPECT_EQ(Walk(), (std::vector<int>{1, 2, 3}));
  data_.SetFiltered(false);
  EXPECT_EQ(Walk(), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(DataSetFilterTest, OptionsReachTheTextComparisons) {
  data_.Open();
  data_.SetFilter("NAME = '" + kIvLower1251 + "*'");
  data_.SetFiltered(true);
  EXPECT_EQ(Walk(), (std::vector<int>{}));
  data_.SetFilterOptions(true, false);
  EXPECT_EQ(Walk(), (std::vector<int>{1, 3}));
  data_.SetFilterOptions(true, true);  // no patterns: the text is compared whole
  EXPECT_EQ(Walk(), (std::vector<int>{}));
}

TEST_F(DataSetFilterTest, OnFilterRecordAndTheExpressionBothDecide) {
  data_.Open();
  data_.OnFilterRecord = [](TDataSetBase& data, bool& accept) {
    accept = static_cast<TVelorinDataSet&>(data).RecordNumber() != 3;
  };
  data_.SetFilter("COUNT > 2");
  data_.SetFiltered(true);
  EXPECT_EQ(Walk(), (std::vector<int>{1, 2}));
  data_.SetFilter("");
  EXPECT_EQ(Walk(), (std::vector<int>{1, 2, 4}));
}

TEST_F(DataSetFilterTest, AFilterThatCannotBeUsedLeavesFilteredFalse) {
  data_.Open();
  data_.SetFilter("COUNT");
  EXPECT_EQ(RaisedMessage([&] { data_.SetFiltered(true); }), "Filter expression must return boolean result");
  EXPECT_FALSE(data_.Filtered());
  EXPECT_EQ(Walk().size(), 4u);
  data_.Close();
  data_.SetFilter("COUNT >");
  data_.SetFiltered(true);
  EXPECT_EQ(RaisedMessage([&] { data_.Open(); }), "Target value missing for > operation");
  EXPECT_FALSE(data_.Active());
  EXPECT_FALSE(data_.Filtered());
}

}  // namespace
}  // namespace velorin
