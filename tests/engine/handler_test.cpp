#include "engine/vr6_dbsy.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <functional>

#include "engine/vr6_eror.h"
#include "support/child_process.h"
#include "support/table_fixture.h"
#include "support/raised_message.h"
#include "support/temp_dir.h"

namespace velorin {
namespace {

using testing::MakeTable;
using testing::ReadFileBytes;
using testing::TempDir;

using testing::RaisedMessage;

// A handler that records its progress reports and can refuse records.
class RecordingHandler : public VRO_dBHandler {
 public:
  using VRO_dBHandler::VRO_dBHandler;
  void StatusUpdate(int32_t a, int32_t b, int32_t c) override { reports.push_back({a, b, c}); }
  bool RecordAccepted() override { return !refuse || !refuse(RecordNumber()); }
  std::vector<std::array<int32_t, 3>> reports;
  std::function<bool(int32_t)> refuse;
};

// NAME C(8), N N(4), D D, OK L; records "r1".."r10" unless given.
std::string Rec(const std::string& name, int n = 0, const std::string& date = "        ", char ok = 'F',
                char flag = ' ') {
  std::string r(1, flag);
  std::string padded = name;
  padded.resize(8, ' ');
  char number[8];
  std::snprintf(number, sizeof number, "%4d", n);
  return r + padded + number + date + ok;
}

class HandlerTest : public ::testing::Test {
 protected:
  void Make(const std::vector<std::string>& records) {
    MakeTable(path_, 0x03, {"NAME:C:8", "N:N:4", "D:D", "OK:L"}, records);
  }
  std::vector<std::string> Ten(std::initializer_list<int> deleted = {}) {
    std::vector<std::string> records;
    for (int i = 1; i <= 10; ++i) {
      bool isDeleted = std::find(deleted.begin(), deleted.end(), i) != deleted.end();
      records.push_back(Rec("r" + std::to_string(i), i, "        ", 'F', isDeleted ? '*' : ' '));
    }
    return records;
  }
  TempDir dir_;
  std::string path_ = dir_.File("H.DBF");
};

TEST_F(HandlerTest, HiddenDeletedRecordsArePassedOverButNumbersReachThem) {
  Make(Ten({1, 2, 10}));
  VRO_dBHandler table(path_, false, true);
  table.SetUseDeleted(false);
  table.GoRecord(nav::kFirst);
  EXPECT_EQ(table.RecordNumber(), 3);
  table.GoRecord(nav::kLast);
  EXPECT_EQ(table.RecordNumber(), 9);
  table.GoRecord(nav::kNext);
  EXPECT_TRUE(table.AtEOF());
  table.GoRecord(1);  // a record number is taken as it is
  EXPECT_EQ(table.RecordNumber(), 1);
  EXPECT_TRUE(table.IsDeleted());
  table.GoRecord(nav::kReread);  // a reread of a hidden record moves on
  EXPECT_EQ(table.RecordNumber(), 3);
  table.GoRecord(nav::kPrevious);
  EXPECT_TRUE(table.AtBOF());
  table.SetUseDeleted(true);
  table.GoRecord(nav::kFirst);
  EXPECT_EQ(table.RecordNumber(), 1);
}

TEST_F(HandlerTest, AllRecordsHiddenGivesTheEndAtOnce) {
  Make(Ten({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  VRO_dBHandler table(path_, false, true);
  table.SetUseDeleted(false);
  table.GoRecord(nav::kFirst);
  EXPECT_TRUE(table.AtEOF());
}

TEST_F(HandlerTest, RecordAcceptedRefusesRecords) {
  Make(Ten());
  RecordingHandler table(path_, false, true);
  table.refuse = [](int32_t n) { return n % 2 == 1; };
  std::vector<int32_t> seen;
  for (table.GoRecord(nav::kFirst); !table.AtEOF(); table.GoRecord(nav::kNext)) seen.push_back(table.RecordNumber());
  EXPECT_EQ(seen, (std::vector<int32_t>{2, 4, 6, 8, 10}));
}

TEST_F(HandlerTest, SkipJumpsAndClampsAtTheEnds) {
  Make(Ten());
  VRO_dBHandler table(path_, false, true);
  table.GoRecord(8);
  table.Skip(5);
  EXPECT_EQ(table.RecordNumber(), 10);
  EXPECT_TRUE(table.AtEOF());
  table.Skip(-3);
  EXPECT_EQ(table.RecordNumber(), 7);
  EXPECT_FALSE(table.AtBOF());
  table.Skip(-100);
  EXPECT_EQ(table.RecordNumber(), 1);
  EXPECT_TRUE(table.AtBOF());
  table.Skip(0);
  EXPECT_EQ(table.RecordNumber(), 1);
}

TEST_F(HandlerTest, SkipWalksWhenRecordsAreHidden) {
  Make(Ten({4, 5, 6}));
  VRO_dBHandler table(path_, false, true);
  table.SetUseDeleted(false);
  table.GoRecord(3);
  table.Skip(2);
  EXPECT_EQ(table.RecordNumber(), 8);
  table.Skip(10);
  EXPECT_TRUE(table.AtEOF());
}

TEST_F(HandlerTest, ReadAheadSeesOwnWritesAndShortReads) {
  Make(Ten());
  VRO_dBHandler table(path_, true, false);
  EXPECT_TRUE(table.ReadAheadActive());
  table.GoRecord(3);
  std::memcpy(table.CurrentRecord() + 1, "changed ", 8);
  table.WriteRecord(3);
  table.GoRecord(4);
  table.GoRecord(3);
  EXPECT_EQ(table.GetText(1), "changed ");
  // A read that reaches past the last record copies what exists.
  char buffer[64];
  std::memset(buffer, '#', sizeof buffer);
  int32_t last = static_cast<int32_t>(table.RecordOffset(10));
  EXPECT_EQ(table.ReadAt(last, buffer, 30), table.RecordLength() + 1);  // the record and 0x1A
  EXPECT_EQ(table.Status(), 221);
  EXPECT_EQ(buffer[table.RecordLength()], '\x1A');
  EXPECT_EQ(buffer[29], '\0');
}

TEST_F(HandlerTest, ReadAheadCanBeSwitchedOffAndForbidden) {
  Make(Ten());
  VRO_dBHandler table(path_, false, true);
  table.SetReadAheadAllowed(false);
  EXPECT_FALSE(table.ReadAheadActive());
  table.SetReadAhead(true);
  EXPECT_FALSE(table.ReadAheadActive());
  int count = 0;
  for (table.GoRecord(nav::kFirst); !table.AtEOF(); table.GoRecord(nav::kNext)) ++count;
  EXPECT_EQ(count, 10);
}

TEST_F(HandlerTest, PackRemovesDeletedRecordsAndReportsProgress) {
  Make({Rec("a", 1), Rec("b", 2, "        ", 'F', '*'), Rec("c", 3), Rec("d", 4, "        ", 'F', '*'), Rec("e", 5)});
  {
    RecordingHandler table(path_, true, false);
    table.Pack();
    EXPECT_EQ(table.RecordCount(), 3);
    EXPECT_EQ(table.RecordNumber(), 1);
    EXPECT_EQ(table.reports.front(), (std::array<int32_t, 3>{-1, 11, 5}));
    EXPECT_EQ(table.reports[1], (std::array<int32_t, 3>{11, 1, 0}));
    EXPECT_EQ(table.reports[5], (std::array<int32_t, 3>{11, 5, 0}));
    EXPECT_EQ(table.reports.back(), (std::array<int32_t, 3>{0, 0, 0}));
    // The header on disk is current before the table is closed.
    EXPECT_EQ(testing::LE32At(ReadFileBytes(path_), 4), 3u);
  }
  std::string bytes = ReadFileBytes(path_);
  size_t header = 32 + 4 * 32 + 1;
  ASSERT_EQ(bytes.size(), header + 3 * 22 + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(bytes.substr(header, 22), Rec("a", 1));
  EXPECT_EQ(bytes.substr(header + 22, 22), Rec("c", 3));
  EXPECT_EQ(bytes.substr(header + 44, 22), Rec("e", 5));
}

TEST_F(HandlerTest, PackNeedsAnExclusiveTable) {
  Make(Ten());
  VRO_dBHandler table(path_, true, true);
  EXPECT_EQ(RaisedMessage([&] { table.Pack(); }), "File access denied - " + path_);
}

TEST_F(HandlerTest, SearchWithTheOptionBits) {
  Make({Rec("alpha", 1, "20260101", 'F'), Rec("Beta", 22, "20261207", 'T'), Rec("gamma", 3), Rec("betamax", 4)});
  VRO_dBHandler table(path_, false, true);
  auto search = [&](const std::string& text, int32_t field, uint16_t options, int32_t start = 0) {
    table.SetSearchOptions(options);
    int32_t found = start;
    return table.Search(text, field, 0, found) ? found : 0;
  };
  EXPECT_EQ(search("eta", 1, 0), 2);                      // anywhere in the field
  EXPECT_EQ(search("eta", 1, search_option::kFromFirstCharacter), 0);
  EXPECT_EQ(search("beta", 1, search_option::kFromFirstCharacter), 4);  // case counts
  EXPECT_EQ(search("beta", 1, search_option::kIgnoreCase | search_option::kFromFirstCharacter), 2);
  EXPECT_EQ(search("beta", 1, search_option::kIgnoreCase | search_option::kWholeField), 2);
  EXPECT_EQ(search("beta", 1, search_option::kWholeField), 0);
  EXPECT_EQ(search("bet", 1, search_option::kWholeField | search_option::kFromFirstCharacter), 0);
  EXPECT_EQ(search("*max", 1, search_option::kWildcards), 4);
  EXPECT_EQ(search("g*", 1, search_option::kWildcards), 3);
  EXPECT_EQ(search("g?mma", 1, search_option::kWildcards), 3);
  EXPECT_EQ(search("a?pha*", 1, search_option::kWildcards), 1);
  EXPECT_EQ(search("22", 2, 0), 2);
  EXPECT_EQ(search("22.0", 0, 0), 2);  // every field: numbers compare as numbers
  EXPECT_EQ(search("20261207", 3, 0), 2);
  EXPECT_EQ(search("07.12.2026", 0, 0), 2);
  EXPECT_EQ(search("T", 4, 0), 2);
  EXPECT_EQ(search("a", 1, 0, 1), 2);  // from after record 1
  EXPECT_EQ(search("a", 1, 0, 2), 3);
  EXPECT_EQ(search("", 1, 0), 0);
  EXPECT_EQ(search("a", 5, 0), 0);  // no such field
  table.SetSearchOptions(0);
  int32_t found = 0;
  EXPECT_FALSE(table.Search("gamma", 1, 2, found));  // not up to record 2
}

TEST_F(HandlerTest, SearchNeverMatchesAHiddenFirstRecord) {
  Make({Rec("target", 1, "        ", 'F', '*'), Rec("other", 2), Rec("target", 3)});
  RecordingHandler table(path_, false, true);
  table.SetUseDeleted(false);
  table.GoRecord(2);
  int32_t found = 0;
  EXPECT_TRUE(table.Search("target", 1, 0, found));
  EXPECT_EQ(found, 3);
  EXPECT_EQ(table.RecordNumber(), 3);
  EXPECT_EQ(table.reports.front(), (std::array<int32_t, 3>{-1, 21, 3}));
  EXPECT_EQ(table.reports.back(), (std::array<int32_t, 3>{0, 3, 0}));
  // Not found: back where it was, and the record it stood on is untouched.
  table.GoRecord(2);
  std::string before(reinterpret_cast<const char*>(table.CurrentRecord()), 22);
  table.SetSearchOptions(search_option::kWildcards);
  found = 0;
  EXPECT_FALSE(table.Search("o?hers", 1, 0, found));
  EXPECT_EQ(table.RecordNumber(), 2);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(table.CurrentRecord()), 22), before);
  EXPECT_EQ(table.TableState(), table_state::kNormal);
}

// Code 0 does nothing, also on a record that a walk would pass over; a walk
// stepping by 0 would never end, so the child gives up after five seconds.
TEST_F(HandlerTest, CodeZeroDoesNothingOnAHiddenRecord) {
  Make(Ten({1}));
  struct Case {
    const char* what;
    int32_t standOn;
  };
  for (Case c : {Case{"deleted and hidden", 1}, Case{"refused by RecordAccepted", 4}}) {
    testing::ChildProcess child([&] {
      alarm(5);
      RecordingHandler table(path_, false, true);
      table.SetUseDeleted(false);
      table.refuse = [](int32_t n) { return n == 4; };
      table.GoRecord(c.standOn);  // a record number is taken as it is
      table.GoRecord(0);
      return table.RecordNumber() == c.standOn && !table.AtEOF() && !table.AtBOF() ? 0 : 1;
    });
    EXPECT_EQ(child.Wait(), 0) << c.what;
  }
}

// In wildcard mode the number and the date are those of the pattern without its "*".
TEST_F(HandlerTest, WildcardSearchComparesNumbersAndDatesWithoutTheStars) {
  Make({Rec("a", 1, "20240101"), Rec("b", 5, "20240102")});
  VRO_dBHandler table(path_, false, true);
  table.SetSearchOptions(search_option::kWildcards);
  struct Case {
    const char* pattern;
    int32_t field;
    int32_t found;
  };
  for (Case c : {Case{"5*", 2, 2}, Case{"*5", 2, 2}, Case{"*20240102", 3, 2}, Case{"20240101*", 3, 1},
                 Case{"*", 2, 0}}) {
    int32_t found = 0;
    EXPECT_EQ(table.Search(c.pattern, c.field, 0, found) ? found : 0, c.found) << c.pattern;
  }
}

// Whatever locks the caller holds, the count on disk is right when Pack returns,
// and the table lock Pack took is gone again.
TEST_F(HandlerTest, PackWritesTheCountWhateverLocksAreHeld) {
  struct Case {
    const char* what;
    std::function<void(VRO_dBHandler&)> lock;
    bool tableLockedAfter;
  };
  const Case cases[] = {
      {"no lock", [](VRO_dBHandler&) {}, false},
      {"a record lock", [](VRO_dBHandler& t) {
         t.GoRecord(1);
         t.LockRecord();
       }, false},
      {"the table lock", [](VRO_dBHandler& t) { t.LockTable(); }, true},
  };
  for (const Case& c : cases) {
    Make(Ten({2, 4}));
    VRO_dBHandler table(path_, true, false);
    c.lock(table);
    table.Pack();
    EXPECT_EQ(testing::LE32At(ReadFileBytes(path_), 4), 8u) << c.what;
    EXPECT_EQ(table.TableLocked(), c.tableLockedAfter) << c.what;
  }
}

TEST_F(HandlerTest, WithoutIndexFilesAndFiltersEverythingIsNaturalOrder) {
  Make(Ten());
  VRO_dBHandler table(path_, false, true);
  EXPECT_FALSE(table.HasIndexFiles());
  EXPECT_EQ(table.OpenIndexes(nullptr, ""), 1);
  std::string missing = "NOPE";
  EXPECT_EQ(RaisedMessage([&] { table.OpenIndexes(&missing, ""); }), "File not found - " + dir_.File("NOPE.NDX"));
  std::string tag = "BYNAME";
  EXPECT_EQ(table.SelectOrder(&tag, false), -1);
  EXPECT_EQ(table.SelectOrder(nullptr, false), 0);
  EXPECT_EQ(table.RecordNumber(), 1);
  EXPECT_FALSE(table.Find("r5"));
  EXPECT_TRUE(table.AtEOF());
  EXPECT_EQ(table.FindInTag("BYNAME", "r5"), -1);
  EXPECT_EQ(RaisedMessage([&] { table.SetFilter("N > 3", false, true); }),
            "Formula expression cannot be translated - N > 3");
  EXPECT_EQ(table.TagByPosition(1), nullptr);
}

TEST_F(HandlerTest, IndexFileNamesTakeTheTablesDirectory) {
  Make(Ten());
  VRO_dBHandler table(path_, false, true);
  EXPECT_EQ(table.IndexFileName("names"), dir_.File("names.NDX"));
  EXPECT_EQ(table.IndexFileName("/x/y.ntx"), "/x/y.ntx");
}

}  // namespace
}  // namespace velorin

namespace velorin {
namespace {

TEST(HandlerMemos, FieldMemosRoundTripAndPackFreesDbase4Blocks) {
  TempDir dir;
  std::string path = dir.File("M.DBF");
  MakeTable(path, 0x8B, {"NAME:C:4", "NOTE:M"});
  std::string first(700, 'a'), second(100, 'b');
  {
    VRO_dBHandler table(path, true, false);
    for (const std::string* text : {&first, &second}) {
      table.BlankRecord();
      table.PutText(1, text->substr(0, 1));
      ASSERT_TRUE(table.MemoWrite(2, text->data(), static_cast<int32_t>(text->size())));
      table.Append();
    }
    table.GoRecord(1);
    EXPECT_EQ(table.MemoSize(2), 700);
    EXPECT_EQ(table.GetDisplay(2), "---MEMO---");
    std::string back(700, '\0');
    int32_t size = 700;
    ASSERT_TRUE(table.MemoRead(2, back.data(), size));
    EXPECT_EQ(back, first);
    EXPECT_EQ(table.GetNumber(2), 1);  // block 1, right after the header
    table.DeleteRecord();
    table.Pack();
    EXPECT_EQ(table.RecordCount(), 1);
    EXPECT_EQ(table.GetDisplay(1), "b");
    EXPECT_EQ(table.MemoSize(2), 100);
  }
  // The two blocks of the packed-away memo head the free chain for reuse.
  std::string memo = testing::ReadFileBytes(dir.File("M.DBT"));
  EXPECT_EQ(testing::LE32At(memo, 0), 1u);
  EXPECT_EQ(testing::LE32At(memo, 512 + 4), 2u);
  VRO_dBHandler table(path, true, false);
  table.GoRecord(1);
  std::string third(600, 'c');
  table.BlankRecord();
  ASSERT_TRUE(table.MemoWrite(2, third.data(), 600));
  EXPECT_EQ(table.GetNumber(2), 1);  // the freed run is taken again
}

TEST(HandlerMemos, NonMemoFieldsHaveNoMemo) {
  TempDir dir;
  MakeTable(dir.File("V.DBF"), 0x30, {"D:B", "NOTE:M"});
  VRO_dBHandler table(dir.File("V.DBF"), true, false);
  EXPECT_EQ(table.MemoFor(1), nullptr);  // a double in Visual FoxPro tables
  EXPECT_NE(table.MemoFor(2), nullptr);
  EXPECT_EQ(table.MemoSize(1), 0);
}

}  // namespace
}  // namespace velorin
