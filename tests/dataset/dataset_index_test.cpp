// The dataset over index files: IndexFiles and IndexName, Locate and Lookup
// through a tag whose key is the searched field, and master-detail ranges.
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "dataset/Velorin6DB.h"
#include "engine/vr6_dbsy.h"
#include "index/index_families.h"
#include "index/vr6_ndx.h"
#include "support/table_fixture.h"

namespace velorin {
namespace {

std::string Left(const std::string& text, size_t width) {
  std::string s = text.substr(0, width);
  s.resize(width, ' ');
  return s;
}

class DataSetIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallIndexFamilies();
    // PEOPLE: NAME C(8), TEAM C(2); records 1..5.
    std::vector<std::string> records;
    const char* rows[][2] = {{"PETROV", "B"}, {"IVANOV", "A"}, {"SIDOROV", "B"}, {"ANTONOV", "A"}, {"KOZLOV", "C"}};
    for (const auto& row : rows) records.push_back(" " + Left(row[0], 8) + Left(row[1], 2));
    testing::MakeTable(dir_.File("PEOPLE.DBF"), 0x03, {"NAME:C:8", "TEAM:C:2"}, records, true);
    testing::MakeTable(dir_.File("TEAMS.DBF"), 0x03, {"TEAM:C:2"}, {" A ", " B ", " Z "}, true);
    VRO_dBHandler table(dir_.File("PEOPLE.DBF"), true, false);
    for (const char* key : {"NAME", "TEAM"}) {
      VRobjNDXFile file(&table, dir_.File(std::string(key) + ".NDX"), true, true);
      file.TagAdd(key, key, false, true, "");
    }
  }
  std::vector<int> Walk(TVelorinDataSet& data) {
    std::vector<int> seen;
    for (data.First(); !data.AtEnd() && seen.size() < 100; data.Next()) seen.push_back(data.RecordNumber());
    return seen;
  }
  testing::TempDir dir_;
  TVelorinDataSet people_{"People"};
};

TEST_F(DataSetIndexTest, IndexNameOrdersTheCursor) {
  people_.SetTableName("PEOPLE");
  people_.SetTranslateASCII(false);
  people_.SetIndexFiles({"NAME", "TEAM.NDX"});
  people_.SetIndexName("NAME");
  people_.Open();
  EXPECT_EQ(Walk(people_), (std::vector<int>{4, 2, 5, 1, 3}));
  people_.SelectIndex("TEAM");
  EXPECT_EQ(Walk(people_), (std::vector<int>{2, 4, 1, 3, 5}));
  people_.SelectIndex("");
  EXPECT_EQ(Walk(people_), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_THROW(people_.SelectIndex("NOSUCH"), EDatabaseError);
}

TEST_F(DataSetIndexTest, AFileListedTwiceCannotBeGot) {
  people_.SetTableName("PEOPLE");
  people_.Open();
  try {
    people_.SetIndexFiles({"NAME", "NAME"});
    FAIL() << "nothing raised";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), "Error getting " + dir_.File("NAME.NDX"));
  }
}

TEST_F(DataSetIndexTest, LocateAndLookupGoThroughAMatchingTag) {
  people_.SetTableName("PEOPLE");
  people_.SetTranslateASCII(false);
  people_.SetIndexFiles({"NAME"});
  people_.Open();
  EXPECT_TRUE(people_.Locate("name", std::string("SIDOROV")));
  EXPECT_EQ(people_.RecordNumber(), 3);
  EXPECT_TRUE(people_.Locate("NAME", std::string("KOZ"), {true, false}));
  EXPECT_EQ(people_.RecordNumber(), 5);
  EXPECT_FALSE(people_.Locate("NAME", std::string("KOZ")));
  EXPECT_EQ(people_.RecordNumber(), 5);
  // The order selected before stays selected: natural order here.
  EXPECT_EQ(Walk(people_), (std::vector<int>{1, 2, 3, 4, 5}));
  people_.Locate("NAME", std::string("IVANOV"));
  TFieldData team = people_.Lookup("NAME", std::string("ANTONOV"), "TEAM");
  ASSERT_TRUE(std::holds_alternative<std::string>(team));
  EXPECT_EQ(std::get<std::string>(team), "A");
  EXPECT_EQ(people_.RecordNumber(), 2);  // Lookup leaves the cursor
}

TEST_F(DataSetIndexTest, ADetailShowsTheRecordsOfItsMastersKey) {
  TVelorinDataSet teams("Teams");
  teams.SetTableName("TEAMS");
  teams.SetTranslateASCII(false);
  teams.Open();
  people_.SetTableName("PEOPLE");
  people_.SetTranslateASCII(false);
  people_.SetIndexFiles({"TEAM"});
  people_.SetIndexName("TEAM");
  people_.SetMasterSource(&teams);
  people_.SetMasterFields("TEAM");
  people_.Open();
  EXPECT_EQ(Walk(people_), (std::vector<int>{2, 4}));
  teams.Next();
  EXPECT_EQ(Walk(people_), (std::vector<int>{1, 3}));
  teams.Next();
  EXPECT_TRUE(Walk(people_).empty());
  teams.Close();
  EXPECT_EQ(Walk(people_), (std::vector<int>{2, 4, 1, 3, 5}));
}

}  // namespace
}  // namespace velorin
