#include "dataset/Velorin6DB.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/vr6_eror.h"
#include "support/child_process.h"
#include "support/table_fixture.h"
#include "support/temp_dir.h"

namespace velorin {
namespace {

using testing::ChildProcess;
using testing::MakeTable;
using testing::ReadFileBytes;
using testing::Signal;
using testing::TempDir;

std::string Raised(const std::function<void()>& action) {
  try {
    action();
  } catch (const EDatabaseError& e) {
    return e.what();
  } catch (const EVelorinError& e) {
    return std::string("engine: ") + e.what();
  }
  return "(nothing raised)";
}

std::string Left(const std::string& text, size_t width) {
  std::string s = text.substr(0, width);
  s.resize(width, ' ');
  return s;
}

std::string Right(const std::string& text, size_t width) {
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

// INFO.DBF as the testing program has it.
const std::vector<std::string> kInfoFields = {"NAME:C:15", "VARIANT:C:2", "COUNT:N:4", "TRUECOUNT:N:4", "DATE:D"};

std::string InfoRecord(const std::string& name, const std::string& date = "20261207", bool deleted = false,
                       int count = 30, int right = 25) {
  return std::string(1, deleted ? '*' : ' ') + Left(name, 15) + Left("1", 2) + Right(std::to_string(count), 4) +
         Right(std::to_string(right), 4) + Left(date, 8);
}

constexpr size_t kInfoRecordLength = 1 + 15 + 2 + 4 + 4 + 8;

// The bytes of record n of a table file.
std::string RecordBytes(const std::string& path, int n, size_t recordLength) {
  std::string bytes = ReadFileBytes(path);
  size_t header = testing::LE16At(bytes, 8);
  return bytes.substr(header + (n - 1) * recordLength, recordLength);
}

class DataSetTest : public ::testing::Test {
 protected:
  // Records A to J; those in deleted are marked deleted.
  void MakeInfo(const std::vector<int>& deleted = {}, int count = 10) {
    std::vector<std::string> records;
    for (int i = 1; i <= count; ++i) {
      bool gone = std::find(deleted.begin(), deleted.end(), i) != deleted.end();
      records.push_back(InfoRecord(std::string(1, static_cast<char>('A' + (i - 1) % 26)) + std::to_string(i),
                                   "20261207", gone));
    }
    MakeTable(path_, 0x03, kInfoFields, records);
  }

  std::vector<int> Walk(TVelorinDataSet& data) {
    std::vector<int> seen;
    data.First();
    while (!data.AtEnd()) {
      seen.push_back(data.RecordNumber());
      data.Next();
      if (seen.size() > 100) break;
    }
    return seen;
  }

  TempDir dir_;
  std::string path_ = dir_.File("INFO.DBF");
  TVelorinDataSet info_{"InfoTable"};
};

// ---------------------------------------------------------------------------

TEST_F(DataSetTest, PropertiesStartAsAWindowDefinitionExpectsThem) {
  EXPECT_FALSE(info_.Active());
  EXPECT_TRUE(info_.AutoCalcFields());
  EXPECT_TRUE(info_.TranslateASCII());
  EXPECT_EQ(info_.LockProtocol(), TvrLokProtocol::Default);
  EXPECT_FALSE(info_.Exclusive());
  EXPECT_FALSE(info_.ExactCount());
  EXPECT_FALSE(info_.Filtered());
  EXPECT_FALSE(info_.ReadOnly());
  EXPECT_FALSE(info_.UseDeleted());
  EXPECT_EQ(info_.UserID(), 0);
  EXPECT_EQ(info_.TableName(), "");
  EXPECT_EQ(info_.DatabaseName(), "");
  EXPECT_EQ(info_.IndexName(), "");
  EXPECT_TRUE(info_.IndexFiles().empty());
  EXPECT_EQ(info_.MasterSource(), nullptr);
  EXPECT_FALSE(TVelorinDataSet::About().empty());
  EXPECT_EQ(info_.State(), TDataSetState::Inactive);
  EXPECT_TRUE(info_.AtEnd());
}

TEST_F(DataSetTest, OpeningWithoutATableName) {
  EXPECT_EQ(Raised([&] { info_.Open(); }), "Table name missing");
  EXPECT_FALSE(info_.Active());
}

TEST_F(DataSetTest, OpeningAMissingTableNamesItsPath) {
  info_.SetTableName("NOWHERE");
  EXPECT_EQ(Raised([&] { info_.Open(); }), "Cannot find file " + dir_.File("NOWHERE.DBF"));
  EXPECT_FALSE(info_.Active());
}

TEST_F(DataSetTest, OpensByNameWithoutExtensionInAnyLetterCase) {
  MakeTable(dir_.File("name.dbf"), 0x03, {"NAME:C:15"}, {" " + Left("Anna", 15)});
  TVelorinDataSet names("NameTable");
  names.SetTableName("NAME");
  names.SetExclusive(true);
  names.Open();
  EXPECT_TRUE(names.Active());
  EXPECT_EQ(names.State(), TDataSetState::Browse);
  EXPECT_EQ(names.FieldText("Name"), "Anna");  // field names in any case
  EXPECT_EQ(names.RecordNumber(), 1);           // Open stands on the first record
  names.Close();
  EXPECT_FALSE(names.Active());
  EXPECT_EQ(names.FieldCount(), 0);
}

TEST_F(DataSetTest, ADamagedTableFailsTheOpeningWithTheEnginesErrorAndStaysClosed) {
  MakeInfo();
  testing::PatchFile(path_, 0, "\x07");
  info_.SetTableName("INFO.DBF");
  EXPECT_EQ(Raised([&] { info_.Open(); }), "engine: dBase DBF file header invalid - " + path_);
  EXPECT_FALSE(info_.Active());
}

TEST_F(DataSetTest, ColumnsBecomeFieldsByTypeWidthAndDecimals) {
  MakeTable(path_, 0x83, {"NAME:C:20", "DAY:D", "SMALL:N:4", "WIDE:N:5", "PRICE:N:5:2", "RATE:F:6:1", "BIG:N:12",
                          "OK:L", "NOTE:M", "ODD:C:3"});
  testing::PatchFile(path_, 32 + 9 * 32 + 11, "X");  // ODD becomes an unknown type
  info_.SetTableName("INFO");
  info_.Open();
  const TFieldDefs& defs = info_.FieldDefs();
  ASSERT_EQ(defs.Count(), 9);
  EXPECT_EQ(defs[0].Kind, TFieldKind::String);
  EXPECT_EQ(defs[0].Size, 20);
  EXPECT_EQ(defs[1].Kind, TFieldKind::Date);
  EXPECT_EQ(defs[2].Kind, TFieldKind::SmallInt);
  EXPECT_EQ(defs[3].Kind, TFieldKind::Integer);
  EXPECT_EQ(defs[4].Kind, TFieldKind::Float);
  EXPECT_EQ(defs[5].Kind, TFieldKind::Float);
  EXPECT_EQ(defs[6].Kind, TFieldKind::Integer);
  EXPECT_EQ(defs[7].Kind, TFieldKind::Boolean);
  EXPECT_EQ(defs[8].Kind, TFieldKind::Memo);
  EXPECT_EQ(defs[8].FieldNo, 9);
  EXPECT_EQ(info_.FindField("ODD"), nullptr);
  EXPECT_EQ(info_.FieldCount(), 9);
}

TEST_F(DataSetTest, FieldDefinitionsCanBeReadWhileClosed) {
  MakeInfo();
  info_.SetTableName("INFO");
  info_.UpdateFieldDefs();
  EXPECT_FALSE(info_.Active());
  ASSERT_EQ(info_.FieldDefs().Count(), 5);
  EXPECT_EQ(info_.FieldDefs()[4].Name, "DATE");
}

TEST_F(DataSetTest, DeclaredFieldsOfTheWrongKindFailTheOpening) {
  MakeInfo();
  info_.SetTableName("INFO.DBF");
  info_.DeclareField<TStringField>("NAME", 15);
  info_.DeclareField<TStringField>("VARIANT", 2);
  info_.DeclareField<TIntegerField>("COUNT");
  EXPECT_EQ(Raised([&] { info_.Open(); }),
            "InfoTable: Неправильный тип для поля 'COUNT', требуется: Integer, фактический: SmallInt");
  EXPECT_FALSE(info_.Active());
}

TEST_F(DataSetTest, DeclaredFieldsAreBoundAndOnlyTheyAreOffered) {
  MakeInfo();
  info_.SetTableName("INFO.DBF");
  auto& name = info_.DeclareField<TStringField>("Name", 15);
  auto& count = info_.DeclareField<TSmallintField>("count");
  info_.Open();
  EXPECT_EQ(info_.FieldCount(), 2);
  EXPECT_EQ(name.AsString(), "A1");
  EXPECT_EQ(count.AsInteger(), 30);
  info_.Close();
  EXPECT_EQ(info_.FieldCount(), 2);
}

TEST_F(DataSetTest, ADeclaredTextFieldNarrowerThanItsColumnTakesWhatFits) {
  MakeTable(path_, 0x03, {"NAME:C:15"}, {" " + Left("Constantinople", 15), " " + Left("Ivan  Petrov", 15)});
  info_.SetTableName("INFO.DBF");
  auto& name = info_.DeclareField<TStringField>("NAME", 6);
  info_.Open();
  EXPECT_EQ(name.AsString(), "Consta");
  info_.Next();
  EXPECT_EQ(name.AsString(), "Ivan");  // the cut leaves no trailing blanks
  info_.Edit();
  name.SetAsString("Alexandra");
  info_.Post();
  EXPECT_EQ(RecordBytes(path_, 2, 16), " " + Left("Alexan", 15));
}

TEST_F(DataSetTest, TableAndDatabaseNameChangeOnlyWhileClosed) {
  MakeInfo();
  info_.SetTableName("INFO.DBF");
  info_.SetDatabaseName(dir_.Path().string() + "/");
  EXPECT_EQ(info_.DatabaseName(), dir_.Path().string());
  info_.Open();
  info_.SetTableName("INFO.DBF");  // the same value does nothing
  info_.SetDatabaseName(dir_.Path().string());
  EXPECT_EQ(Raised([&] { info_.SetTableName("OTHER.DBF"); }),
            "InfoTable: Не могу выполнить эту операцию над открытым набором данных (dataset)");
  EXPECT_EQ(Raised([&] { info_.SetDatabaseName("/tmp"); }),
            "InfoTable: Не могу выполнить эту операцию над открытым набором данных (dataset)");
  EXPECT_EQ(info_.TableName(), "INFO.DBF");
}

TEST_F(DataSetTest, ADirectoryAsDatabaseNameFindsTheTableThere) {
  std::filesystem::create_directory(dir_.File("Data"));
  MakeTable(dir_.File("Data/INFO.DBF"), 0x03, kInfoFields, {InfoRecord("Far")});
  info_.SetDatabaseName("Data");
  info_.SetTableName("info.dbf");
  info_.Open();
  EXPECT_EQ(info_.FieldText("NAME"), "Far");
}

TEST_F(DataSetTest, AnAliasFromTheConfigurationFileFindsTheTable) {
  std::filesystem::create_directory(dir_.File("Tests Data"));
  MakeTable(dir_.File("Tests Data/INFO.DBF"), 0x03, kInfoFields, {InfoRecord("Aliased")});
  testing::WriteFileBytes(dir_.File("velorin.cfg"), "[Alias]\nTests=" + dir_.File("Tests Data") + "\n");
  std::string config = dir_.File("velorin.cfg");
  ChildProcess child([config] {
    setenv("VELORIN_CONFIG", config.c_str(), 1);
    ReloadAliases();
    TVelorinDataSet data("Info");
    data.SetDatabaseName("TESTS");
    data.SetTableName("INFO");
    data.Open();
    return data.FieldText("NAME") == "Aliased" ? 0 : 1;
  });
  EXPECT_EQ(child.Wait(), 0);
}

// ---------------------------------------------------------------------------
// Walking

TEST_F(DataSetTest, WalkingPassesOverDeletedRecords) {
  MakeInfo({2, 5, 10});
  info_.SetTableName("INFO");
  info_.Open();
  EXPECT_EQ(Walk(info_), (std::vector<int>{1, 3, 4, 6, 7, 8, 9}));
  EXPECT_TRUE(info_.AtEnd());
  EXPECT_EQ(info_.RecordNumber(), 9);  // Next past the end stays on the last visible record
  info_.Next();
  EXPECT_EQ(info_.RecordNumber(), 9);
  info_.Prior();
  EXPECT_EQ(info_.RecordNumber(), 8);
  EXPECT_FALSE(info_.AtEnd());
}

TEST_F(DataSetTest, WalkingBackwardsFromTheLast) {
  MakeInfo({1, 5});
  info_.SetTableName("INFO");
  info_.Open();
  info_.Last();
  EXPECT_TRUE(info_.AtEnd());
  std::vector<int> seen;
  while (!info_.AtStart()) {
    seen.push_back(info_.RecordNumber());
    info_.Prior();
  }
  EXPECT_EQ(seen, (std::vector<int>{10, 9, 8, 7, 6, 4, 3, 2}));
  EXPECT_EQ(info_.RecordNumber(), 2);
}

TEST_F(DataSetTest, UseDeletedShowsEveryRecord) {
  MakeInfo({2, 5});
  info_.SetTableName("INFO");
  info_.SetUseDeleted(true);
  info_.Open();
  EXPECT_EQ(Walk(info_).size(), 10u);
  info_.SetUseDeleted(false);
  EXPECT_EQ(Walk(info_).size(), 8u);
}

TEST_F(DataSetTest, ATableOfDeletedRecordsIsAtItsEndAtOnce) {
  MakeInfo({1, 2, 3}, 3);
  info_.SetTableName("INFO");
  info_.Open();
  info_.First();
  EXPECT_TRUE(info_.AtEnd());
  EXPECT_TRUE(info_.AtStart());
  EXPECT_EQ(info_.RecordNumber(), 0);
  EXPECT_EQ(info_.FieldText("NAME"), "");
  EXPECT_TRUE(info_.FieldIsNull("DATE"));
  EXPECT_EQ(info_.RecordCount(), 3);
}

TEST_F(DataSetTest, AnEmptyTable) {
  MakeTable(path_, 0x03, kInfoFields);
  info_.SetTableName("INFO");
  info_.Open();
  EXPECT_TRUE(info_.AtEnd());
  EXPECT_TRUE(info_.AtStart());
  EXPECT_EQ(info_.RecordCount(), 0);
  info_.Next();
  info_.Prior();
  info_.Last();
  EXPECT_TRUE(info_.AtEnd());
  EXPECT_EQ(Raised([&] { info_.Delete(); }), "InfoTable: Не могу выполнить эту операцию над пустой базой данных");
}

TEST_F(DataSetTest, ExactCountCountsTheVisibleRecordsWithoutMoving) {
  MakeInfo({2, 5, 10});
  info_.SetTableName("INFO");
  info_.Open();
  info_.Next();
  info_.Next();
  EXPECT_EQ(info_.RecordNumber(), 4);
  EXPECT_EQ(info_.RecordCount(), 10);
  info_.SetExactCount(true);
  EXPECT_EQ(info_.RecordCount(), 7);
  EXPECT_EQ(info_.RecordNumber(), 4);
  info_.Next();
  EXPECT_EQ(info_.RecordNumber(), 6);
}

TEST_F(DataSetTest, AClosedDataSetRefusesItsOperations) {
  MakeInfo();
  info_.SetTableName("INFO");
  const std::string closed = "Не могу выполнить эту операцию над закрытой базой данных";
  EXPECT_EQ(Raised([&] { info_.RecordCount(); }), closed);
  EXPECT_EQ(Raised([&] { (void)info_.RecordNumber(); }), closed);
  EXPECT_EQ(Raised([&] { info_.First(); }), "InfoTable: " + closed);
  EXPECT_EQ(Raised([&] { info_.Next(); }), "InfoTable: " + closed);
  EXPECT_EQ(Raised([&] { info_.FieldText("NAME"); }), "InfoTable: " + closed);
  EXPECT_EQ(Raised([&] { info_.Delete(); }), "InfoTable: " + closed);
  EXPECT_EQ(Raised([&] { info_.Pack(); }), "InfoTable: " + closed);
  EXPECT_EQ(Raised([&] { info_.AppendValues({}); }), "InfoTable: " + closed);
}

TEST_F(DataSetTest, AssigningTheRecordNumberMoves) {
  MakeInfo({5});
  info_.SetTableName("INFO");
  info_.Open();
  info_.SetRecordNumber(3);
  EXPECT_EQ(info_.RecordNumber(), 3);
  EXPECT_EQ(info_.FieldText("NAME"), "C3");
  info_.SetRecordNumber(5);  // hidden: the next visible one
  EXPECT_EQ(info_.RecordNumber(), 6);
  info_.Next();
  EXPECT_EQ(info_.RecordNumber(), 7);
  EXPECT_EQ(Raised([&] { info_.SetRecordNumber(0); }), "Record request beyond range of table");
  EXPECT_EQ(Raised([&] { info_.SetRecordNumber(11); }), "Record request beyond range of table");
  EXPECT_EQ(info_.RecordNumber(), 7);
}

TEST_F(DataSetTest, BookmarksAreRightAlignedRecordNumbers) {
  MakeInfo({}, 45);
  info_.SetTableName("INFO");
  info_.Open();
  info_.SetRecordNumber(42);
  std::string mark = info_.GetBookmark();
  EXPECT_EQ(mark, std::string("        42\0", 11));
  info_.First();
  info_.GotoBookmark(mark);
  EXPECT_EQ(info_.RecordNumber(), 42);
  EXPECT_EQ(TVelorinDataSet::CompareBookmarks(MakeBookmark(9), MakeBookmark(10)), -1);
  EXPECT_EQ(TVelorinDataSet::CompareBookmarks(MakeBookmark(10), MakeBookmark(10)), 0);
  EXPECT_EQ(TVelorinDataSet::CompareBookmarks("", MakeBookmark(1)), -1);
  EXPECT_EQ(Raised([&] { info_.GotoBookmark("abc"); }), "Bookmark is invalid for table INFO");
}

// ---------------------------------------------------------------------------
// Deleting

TEST_F(DataSetTest, DeleteThenNextLandsAfterTheFollowingRecord) {
  MakeInfo({}, 5);
  info_.SetTableName("INFO");
  info_.Open();
  info_.Next();
  ASSERT_EQ(info_.RecordNumber(), 2);
  info_.Delete();
  EXPECT_EQ(info_.RecordNumber(), 3);
  info_.Next();
  EXPECT_EQ(info_.RecordNumber(), 4);
  EXPECT_EQ(RecordBytes(path_, 2, kInfoRecordLength)[0], '*');
  EXPECT_EQ(RecordBytes(path_, 3, kInfoRecordLength)[0], ' ');
  EXPECT_EQ(Walk(info_), (std::vector<int>{1, 3, 4, 5}));
}

TEST_F(DataSetTest, DeletingTheLastRecordStandsOnTheOneBefore) {
  MakeInfo({4}, 5);
  info_.SetTableName("INFO");
  info_.Open();
  info_.Last();
  info_.Delete();
  EXPECT_EQ(info_.RecordNumber(), 3);
  EXPECT_TRUE(info_.AtEnd());
  info_.First();
  info_.Delete();
  info_.Delete();
  info_.Delete();
  EXPECT_TRUE(info_.AtEnd());
  EXPECT_TRUE(info_.AtStart());
  EXPECT_EQ(info_.RecordNumber(), 0);
}

TEST_F(DataSetTest, DeletingWithUseDeletedStaysAndRecallClears) {
  MakeInfo({}, 3);
  info_.SetTableName("INFO");
  info_.SetUseDeleted(true);
  info_.Open();
  info_.Next();
  info_.Delete();
  EXPECT_EQ(info_.RecordNumber(), 2);
  EXPECT_EQ(RecordBytes(path_, 2, kInfoRecordLength)[0], '*');
  info_.Recall();
  EXPECT_EQ(info_.RecordNumber(), 2);
  EXPECT_EQ(RecordBytes(path_, 2, kInfoRecordLength)[0], ' ');
  EXPECT_TRUE(info_.UseDeleted());
}

TEST_F(DataSetTest, DeleteInTheInsertStateCancels) {
  // Recall cancels the new record as Delete does, rather than storing it.
  for (auto drop : {&TVelorinDataSet::Delete, &TVelorinDataSet::Recall}) {
    MakeInfo({}, 3);
    info_.SetTableName("INFO");
    info_.Open();
    info_.Append();
    info_.FieldByName("NAME").SetAsString("X");
    (info_.*drop)();
    EXPECT_EQ(info_.State(), TDataSetState::Browse);
    EXPECT_EQ(info_.RecordCount(), 3);
    EXPECT_EQ(info_.RecordNumber(), 1);
    info_.Close();
  }
}

TEST_F(DataSetTest, AReadOnlyDataSetCannotDeleteOrChange) {
  MakeInfo({}, 3);
  info_.SetTableName("INFO");
  info_.SetReadOnly(true);
  info_.Open();
  EXPECT_EQ(Raised([&] { info_.Delete(); }), "Cannot delete the record");
  info_.SetUseDeleted(true);
  EXPECT_EQ(Raised([&] { info_.Recall(); }), "Cannot recall the record");
  EXPECT_EQ(Raised([&] { info_.Edit(); }), "InfoTable: Не могу изменить набор данных, открытый только для чтения");
  EXPECT_EQ(Raised([&] { info_.AppendValues({std::string("x")}); }),
            "InfoTable: Не могу изменить набор данных, открытый только для чтения");
  EXPECT_EQ(RecordBytes(path_, 1, kInfoRecordLength)[0], ' ');
}

TEST_F(DataSetTest, AWriteProtectedTableOpensReadOnly) {
  MakeInfo({}, 2);
  std::filesystem::permissions(path_, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                          std::filesystem::perms::others_read);
  std::filesystem::permissions(dir_.Path(), std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                                std::filesystem::perms::group_exec |
                                                std::filesystem::perms::others_read |
                                                std::filesystem::perms::others_exec);
  std::string directory = dir_.Path().string();
  ChildProcess child([directory] {
    // The superuser may write any file: the check runs as an ordinary user.
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 10;
    if (chdir(directory.c_str()) != 0) return 11;
    TVelorinDataSet data("Info");
    data.SetTableName("INFO");
    data.Open();
    if (!data.ReadOnly()) return 1;
    data.SetReadOnly(false);
    if (!data.ReadOnly()) return 2;
    if (data.FieldText("NAME") != "A1") return 3;
    try {
      data.Edit();
      return 4;
    } catch (const EDatabaseError&) {
    }
    return 0;
  });
  EXPECT_EQ(child.Wait(), 0);
}

TEST_F(DataSetTest, AnExclusiveTableCannotBeOpenedByAnotherProcess) {
  MakeInfo({}, 2);
  Signal opened;
  Signal release;
  std::string path = path_;
  ChildProcess child([&] {
    TVelorinDataSet other("Other");
    other.SetTableName(path);
    other.SetExclusive(true);
    other.Open();
    opened.Notify();
    release.WaitFor(20000);
    return 0;
  });
  ASSERT_TRUE(opened.WaitFor());
  info_.SetTableName("INFO");
  EXPECT_EQ(Raised([&] { info_.Open(); }), "engine: File access denied - " + path_);
  EXPECT_FALSE(info_.Active());
  release.Notify();
  EXPECT_EQ(child.Wait(), 0);
  info_.Open();
  EXPECT_TRUE(info_.Active());
}

TEST_F(DataSetTest, LockProtocolAndUserIdReachTheTable) {
  MakeInfo({}, 1);
  info_.SetTableName("INFO");
  info_.SetLockProtocol(TvrLokProtocol::DB4Lock);
  info_.SetUserID(7);
  info_.Open();
  EXPECT_EQ(info_.Handler()->LockProtocol(), 1);
  info_.AppendValues({std::string("U")});
  EXPECT_EQ(testing::LE32At(ReadFileBytes(path_), 20), 7u);
  info_.SetLockProtocol(TvrLokProtocol::ClipLock);
  info_.SetUserID(8);
  EXPECT_EQ(info_.Handler()->LockProtocol(), 2);
  EXPECT_EQ(info_.Handler()->UserID(), 8);
}

TEST_F(DataSetTest, PackRemovesTheDeletedRecordsOfAnExclusiveTable) {
  MakeInfo({2, 4}, 5);
  info_.SetTableName("INFO");
  info_.SetExclusive(true);
  std::vector<std::vector<int32_t>> reports;
  info_.OnStatus = [&](int32_t a, int32_t b, int32_t c) { reports.push_back({a, b, c}); };
  info_.Open();
  info_.Last();
  info_.Pack();
  EXPECT_EQ(info_.RecordCount(), 3);
  info_.Next();  // after packing, the next move starts at the top
  EXPECT_EQ(info_.RecordNumber(), 1);
  EXPECT_EQ(info_.FieldText("NAME"), "A1");
  info_.Next();
  EXPECT_EQ(info_.FieldText("NAME"), "C3");
  std::string bytes = ReadFileBytes(path_);
  EXPECT_EQ(bytes.size(), testing::LE16At(bytes, 8) + 3 * kInfoRecordLength + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.front(), (std::vector<int32_t>{-1, 11, 5}));
  EXPECT_EQ(reports.back(), (std::vector<int32_t>{0, 0, 0}));
}

// After Pack the record number the cursor had may be gone (here record 5 of 4):
// the cursor stands on no record, and nothing reads or writes by the old number.
TEST_F(DataSetTest, AfterPackNothingIsWrittenToAnotherRecord) {
  const std::string empty = "InfoTable: Не могу выполнить эту операцию над пустой базой данных";
  struct Case {
    const char* what;
    std::function<void(TVelorinDataSet&)> action;
    std::string raised;
    int32_t recordsAfter;
  };
  const Case cases[] = {
      {"Delete", [](TVelorinDataSet& d) { d.Delete(); }, empty, 4},
      {"Recall", [](TVelorinDataSet& d) { d.Recall(); }, empty, 4},
      {"Refresh", [](TVelorinDataSet& d) { d.Refresh(); }, "(nothing raised)", 4},
      {"Edit and Post",  // no record to edit: a new one
       [](TVelorinDataSet& d) {
         d.Edit();
         d.FieldByName("NAME").SetAsString("Z");
         d.Post();
       },
       "(nothing raised)", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MakeInfo({3}, 5);
    info_.SetTableName("INFO");
    info_.SetExclusive(true);
    info_.Open();
    info_.Last();
    info_.Pack();
    EXPECT_EQ(info_.RecordNumber(), 0);
    std::string packed = ReadFileBytes(path_);
    size_t header = testing::LE16At(packed, 8);
    EXPECT_EQ(Raised([&] { c.action(info_); }), c.raised);
    std::string after = ReadFileBytes(path_);
    EXPECT_EQ(after.substr(header, 4 * kInfoRecordLength), packed.substr(header, 4 * kInfoRecordLength));
    EXPECT_EQ(info_.RecordCount(), c.recordsAfter);
    info_.Close();
  }
}

// A record another program took away (the file cut short) is not read, edited or
// written in place of another one.
TEST_F(DataSetTest, ARecordThatIsGoneIsNeitherEditedNorAppendedAgain) {
  MakeInfo({}, 3);
  info_.SetTableName("INFO");
  info_.Open();
  info_.Last();
  std::string before = ReadFileBytes(path_);
  std::filesystem::resize_file(path_, testing::LE16At(before, 8) + 2 * kInfoRecordLength);
  EXPECT_EQ(Raised([&] { info_.Edit(); }), "Record request beyond range of table");
  EXPECT_EQ(info_.State(), TDataSetState::Browse);
  EXPECT_EQ(Raised([&] { info_.Delete(); }), "Record request beyond range of table");
  EXPECT_EQ(ReadFileBytes(path_), before.substr(0, testing::LE16At(before, 8) + 2 * kInfoRecordLength));
}

// ReadOnly stays true while the file is open read-only, whoever asked for that.
TEST_F(DataSetTest, ReadOnlyCannotBeSwitchedOffWhileTheFileIsOpenReadOnly) {
  MakeInfo({}, 2);
  info_.SetTableName("INFO");
  info_.SetReadOnly(true);
  info_.Open();
  info_.SetReadOnly(false);
  EXPECT_TRUE(info_.ReadOnly());
  EXPECT_EQ(Raised([&] { info_.Edit(); }), "InfoTable: Не могу изменить набор данных, открытый только для чтения");
  EXPECT_EQ(info_.State(), TDataSetState::Browse);
  info_.Close();
  EXPECT_FALSE(info_.ReadOnly());  // the next opening is read-write
}

// A tag name the handler does not know is refused before it is kept.
TEST_F(DataSetTest, AnUnknownIndexTagIsNotKept) {
  MakeInfo({}, 2);
  info_.SetTableName("INFO");
  info_.Open();
  EXPECT_EQ(Raised([&] { info_.SetIndexName("BYNAME"); }), "Index tag BYNAME is not assigned");
  EXPECT_EQ(info_.IndexName(), "");
  info_.Next();
  EXPECT_EQ(info_.RecordNumber(), 2);
}

TEST_F(DataSetTest, PackingASharedTableIsTheEnginesRefusal) {
  MakeInfo({2}, 3);
  info_.SetTableName("INFO");
  info_.Open();
  EXPECT_EQ(Raised([&] { info_.Pack(); }), "engine: File access denied - " + path_);
}

// ---------------------------------------------------------------------------
// Values

TEST_F(DataSetTest, DatesReadAsTheDayAtMidnightAndBlanksAsNull) {
  MakeTable(path_, 0x03, {"DAY:D"}, {" 20261207", "         ", " 00000000", " 20230230", " 2026x207", " 1999"});
  info_.SetTableName("INFO");
  info_.Open();
  EXPECT_EQ(info_.FieldDateTime("DAY"), *EncodeDate(2026, 12, 7));
  EXPECT_EQ(info_.FieldText("DAY"), "07.12.2026");
  for (int i = 2; i <= 6; ++i) {
    info_.Next();
    EXPECT_TRUE(info_.FieldIsNull("DAY")) << i;
    EXPECT_EQ(info_.FieldDateTime("DAY").Value, 0.0);
  }
}

TEST_F(DataSetTest, DatesAreWrittenAsDigitsAndNullAsBlanks) {
  MakeTable(path_, 0x03, {"DAY:D"}, {" 20261207"});
  info_.SetTableName("INFO");
  info_.Open();
  info_.Edit();
  info_.FieldByName("DAY").SetAsDateTime(*EncodeDateTime({2025, 3, 4}, {15, 30, 0, 0}));
  info_.Post();
  EXPECT_EQ(RecordBytes(path_, 1, 9), " 20250304");
  info_.Edit();
  info_.FieldByName("DAY").Clear();
  info_.Post();
  EXPECT_EQ(RecordBytes(path_, 1, 9), "         ");
  EXPECT_TRUE(info_.FieldIsNull("DAY"));
}

TEST_F(DataSetTest, SmallIntegersIntegersAndFloats) {
  MakeTable(path_, 0x03, {"SMALL:N:4", "WIDE:N:5", "PRICE:N:5:2", "BIG:N:12"},
            {" " + Right("-12", 4) + Right("12345", 5) + Right("3.14", 5) + Right("2147483647", 12),
             " " + Right("", 4) + Right("", 5) + Right("", 5) + Right("99999999999", 12)});
  info_.SetTableName("INFO");
  info_.Open();
  EXPECT_EQ(info_.FieldByName("SMALL").Kind(), TFieldKind::SmallInt);
  EXPECT_EQ(info_.FieldByName("WIDE").Kind(), TFieldKind::Integer);
  EXPECT_EQ(info_.FieldByName("PRICE").Kind(), TFieldKind::Float);
  EXPECT_EQ(info_.FieldInteger("SMALL"), -12);
  EXPECT_EQ(info_.FieldInteger("WIDE"), 12345);
  EXPECT_DOUBLE_EQ(info_.FieldFloat("PRICE"), 3.14);
  EXPECT_EQ(info_.FieldInteger("BIG"), 2147483647);
  EXPECT_EQ(info_.FieldInteger("PRICE"), 3);
  info_.Edit();
  info_.FieldByName("SMALL").SetAsInteger(9999);
  info_.FieldByName("PRICE").SetAsFloat(3.14159);
  info_.FieldByName("WIDE").SetAsString("-42");
  info_.Post();
  EXPECT_EQ(RecordBytes(path_, 1, 27), " 9999  -42 3.14  2147483647");
  info_.Edit();
  EXPECT_EQ(Raised([&] { info_.FieldByName("PRICE").SetAsFloat(123456.7); }),
            "engine: Number too large to fit in field - PRICE - 123456.70");
  info_.Cancel();

  info_.Next();  // blanks read as 0, never null
  EXPECT_EQ(info_.FieldInteger("SMALL"), 0);
  EXPECT_FALSE(info_.FieldIsNull("SMALL"));
  EXPECT_EQ(info_.FieldFloat("PRICE"), 0.0);
  // A value beyond 32 bits is an error naming the field, not a wrapped number.
  EXPECT_EQ(Raised([&] { info_.FieldInteger("BIG"); }),
            "InfoTable: Значение 99999999999 вне допустимого диапазона поля 'BIG'");
}

TEST_F(DataSetTest, TextLosesTrailingBlanksAndKeepsLeadingOnes) {
  MakeTable(path_, 0x03, {"NAME:C:10"}, {" " + Left("  two  ", 10), " " + Left("", 10)});
  info_.SetTableName("INFO");
  info_.SetTranslateASCII(false);
  info_.Open();
  EXPECT_EQ(info_.FieldText("NAME"), "  two");
  info_.Next();
  EXPECT_TRUE(info_.FieldIsNull("NAME"));
  EXPECT_EQ(info_.FieldText("NAME"), "");
}

TEST_F(DataSetTest, LogicalsAndTheirNullWrite) {
  MakeTable(path_, 0x03, {"OK:L"}, {" T", " n", " ?", "  "});
  info_.SetTableName("INFO");
  info_.Open();
  std::vector<bool> seen;
  info_.First();
  while (!info_.AtEnd()) {
    seen.push_back(info_.FieldBoolean("OK"));
    info_.Next();
  }
  EXPECT_EQ(seen, (std::vector<bool>{true, false, false, false}));
  info_.First();
  info_.Edit();
  info_.FieldByName("OK").Clear();
  info_.Post();
  EXPECT_EQ(RecordBytes(path_, 1, 2), " F");
}

TEST_F(DataSetTest, CyrillicTextIsStoredInTheOemCodePage) {
  MakeTable(path_, 0x03, kInfoFields);
  info_.SetTableName("INFO");
  info_.SetExclusive(true);
  info_.Open();
  const std::string ivan1251 = "\xC8\xE2\xE0\xED";  // "Иван" in code page 1251
  const std::string ivan866 = "\x88\xA2\xA0\xAD";   // and in code page 866
  info_.AppendValues({ivan1251, std::string("1"), int32_t{30}, int32_t{25}, *EncodeDate(2026, 12, 7)});
  EXPECT_EQ(info_.RecordNumber(), 1);
  EXPECT_EQ(info_.FieldText("NAME"), ivan1251);
  EXPECT_EQ(info_.FieldTextUtf8("NAME"), "Иван");
  EXPECT_EQ(RecordBytes(path_, 1, kInfoRecordLength), " " + Left(ivan866, 15) + "1   30  2520261207");
  info_.Close();
  info_.Open();
  EXPECT_EQ(info_.FieldText("NAME"), ivan1251);

  std::string out;
  int status = testing::RunCommand(
      "/usr/bin/python3 -c \"import dbfread; t = dbfread.DBF('" + path_ +
          "', encoding='cp866'); print(list(t)[0]['NAME'] == 'Иван')\"",
      &out);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(out, "True\n");
}

TEST_F(DataSetTest, WithoutTranslationTextPassesUnchanged) {
  MakeTable(path_, 0x03, {"NAME:C:10"});
  info_.SetTableName("INFO");
  info_.SetTranslateASCII(false);
  info_.Open();
  info_.AppendValues({std::string("\xC8\xE2\xE0\xED")});
  EXPECT_EQ(RecordBytes(path_, 1, 11), " " + Left("\xC8\xE2\xE0\xED", 10));
}

TEST_F(DataSetTest, TranslateConvertsZeroTerminatedText) {
  char out[16] = "garbage";
  info_.Translate("\xC8\xE2\xE0\xED", out, true);
  EXPECT_STREQ(out, "\x88\xA2\xA0\xAD");
  info_.Translate(out, out, false);
  EXPECT_STREQ(out, "\xC8\xE2\xE0\xED");
  info_.Translate(nullptr, out, true);
  EXPECT_STREQ(out, "");
  info_.SetTranslateASCII(false);
  info_.Translate("\xC8", out, true);
  EXPECT_STREQ(out, "\xC8");
}

// ---------------------------------------------------------------------------
// Changes

TEST_F(DataSetTest, WritingOutsideEditingAndToReadOnlyFields) {
  MakeInfo({}, 2);
  info_.SetTableName("INFO");
  info_.Open();
  EXPECT_EQ(Raised([&] { info_.FieldByName("NAME").SetAsString("x"); }), "Dataset not in edit or insert mode");
  info_.FieldByName("NAME").SetReadOnly(true);
  info_.Edit();
  EXPECT_EQ(Raised([&] { info_.FieldByName("NAME").SetAsString("x"); }), "Поле 'NAME' не может быть изменено");
  info_.Cancel();
}

TEST_F(DataSetTest, EditPostAndCancel) {
  MakeInfo({}, 3);
  info_.SetTableName("INFO");
  info_.Open();
  info_.Next();
  info_.Edit();
  EXPECT_EQ(info_.State(), TDataSetState::Edit);
  info_.FieldByName("NAME").SetAsString("Changed");
  EXPECT_EQ(info_.FieldText("NAME"), "Changed");
  EXPECT_TRUE(info_.Modified());
  info_.Cancel();
  EXPECT_EQ(info_.FieldText("NAME"), "B2");
  EXPECT_EQ(info_.State(), TDataSetState::Browse);
  info_.Edit();
  info_.FieldByName("NAME").SetAsString("Posted");
  info_.Post();
  EXPECT_EQ(RecordBytes(path_, 2, kInfoRecordLength).substr(1, 15), Left("Posted", 15));
  EXPECT_EQ(info_.RecordNumber(), 2);
  info_.Edit();
  info_.FieldByName("NAME").SetAsString("Moved");
  info_.Next();  // leaving a changed record posts it
  EXPECT_EQ(RecordBytes(path_, 2, kInfoRecordLength).substr(1, 15), Left("Moved", 15));
  EXPECT_EQ(info_.RecordNumber(), 3);
}

TEST_F(DataSetTest, InsertAppendsABlankRecordWithZeros) {
  MakeInfo({}, 2);
  info_.SetTableName("INFO");
  info_.Open();
  info_.Insert();
  EXPECT_EQ(info_.RecordNumber(), 0);
  EXPECT_EQ(info_.FieldInteger("COUNT"), 0);
  info_.FieldByName("NAME").SetAsString("New");
  info_.Post();
  EXPECT_EQ(info_.RecordNumber(), 3);
  EXPECT_EQ(RecordBytes(path_, 3, kInfoRecordLength), " " + Left("New", 15) + "     0   0        ");
  info_.Insert();
  info_.Cancel();  // nothing appended
  EXPECT_EQ(info_.RecordCount(), 3);
  EXPECT_EQ(info_.RecordNumber(), 3);
}

TEST_F(DataSetTest, AppendValuesStoresTheRecordAtTheEnd) {
  MakeInfo({}, 2);
  info_.SetTableName("INFO");
  info_.Open();
  info_.AppendValues({std::string("Petr"), std::string("2"), int32_t{10}, int32_t{7}, *EncodeDate(2026, 1, 31)});
  EXPECT_EQ(info_.RecordNumber(), 3);
  EXPECT_EQ(info_.RecordCount(), 3);
  EXPECT_EQ(info_.FieldInteger("TRUECOUNT"), 7);
  std::string bytes = ReadFileBytes(path_);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(RecordBytes(path_, 3, kInfoRecordLength), " " + Left("Petr", 15) + "2   10   720260131");
  EXPECT_EQ(testing::LE32At(bytes, 4), 3u);
  EXPECT_EQ(Raised([&] { info_.AppendValues(std::vector<TFieldData>(6, std::string("x"))); }),
            "InfoTable: Значений (6) больше, чем полей (5)");
  EXPECT_EQ(Raised([&] { info_.AppendValues({std::string("x"), std::string("1"), int32_t{40000}}); }),
            "Значение 40000 вне допустимого диапазона поля 'COUNT'");
  EXPECT_EQ(info_.State(), TDataSetState::Browse);
  EXPECT_EQ(info_.RecordCount(), 3);
}

TEST_F(DataSetTest, TheResultsPurgeOfTheTestingProgram) {
  // Older than 31 days are deleted, then the table is packed and a result appended.
  MakeTable(path_, 0x03, kInfoFields,
            {InfoRecord("Old1", "20260101"), InfoRecord("Keep", "20261201"), InfoRecord("Old2", "20260102"),
             InfoRecord("Old3", "20260103"), InfoRecord("Empty", "        ")});
  info_.SetTableName("INFO");
  info_.SetExclusive(true);
  info_.Open();
  TDateTime now = *EncodeDate(2026, 12, 7);
  info_.First();
  while (!info_.AtEnd()) {
    if (now.Value - info_.FieldDateTime("DATE").Value > 31) {
      info_.Delete();
    } else {
      info_.Next();
    }
  }
  info_.Pack();
  info_.AppendValues({std::string("Ivan"), std::string("1"), int32_t{30}, int32_t{25}, now});
  EXPECT_EQ(info_.RecordCount(), 2);
  info_.First();
  EXPECT_EQ(info_.FieldText("NAME"), "Keep");
  info_.Next();
  EXPECT_EQ(info_.FieldText("NAME"), "Ivan");
  info_.Next();
  EXPECT_TRUE(info_.AtEnd());
}

// ---------------------------------------------------------------------------
// Other programs

TEST_F(DataSetTest, EditOfARecordAnotherProcessHoldsFails) {
  MakeInfo({}, 3);
  Signal locked;
  Signal release;
  std::string path = path_;
  ChildProcess child([&] {
    TVelorinDataSet other("Other");
    other.SetTableName(path);
    other.Open();
    other.Edit();  // locks record 1
    locked.Notify();
    release.WaitFor(20000);
    other.Cancel();
    return 0;
  });
  ASSERT_TRUE(locked.WaitFor());
  info_.SetTableName("INFO");
  info_.Open();
  EXPECT_EQ(Raised([&] { info_.Edit(); }), "Record is locked by another user");
  EXPECT_EQ(info_.State(), TDataSetState::Browse);
  EXPECT_EQ(Raised([&] { info_.Delete(); }), "Record is locked by another user");
  EXPECT_EQ(RecordBytes(path_, 1, kInfoRecordLength)[0], ' ');
  EXPECT_FALSE(info_.Handler()->UseDeleted());  // restored after the refusal too
  EXPECT_EQ(info_.RecordNumber(), 1);
  info_.Next();
  info_.Edit();  // another record is free
  info_.Cancel();
  release.Notify();
  EXPECT_EQ(child.Wait(), 0);
  info_.First();
  info_.Edit();
  info_.Cancel();
}

TEST_F(DataSetTest, AnEditErrorEventCanAbandonTheEdit) {
  MakeInfo({}, 1);
  Signal locked;
  Signal release;
  std::string path = path_;
  ChildProcess child([&] {
    TVelorinDataSet other("Other");
    other.SetTableName(path);
    other.Open();
    other.Edit();
    locked.Notify();
    release.WaitFor(20000);
    return 0;
  });
  ASSERT_TRUE(locked.WaitFor());
  info_.SetTableName("INFO");
  info_.Open();
  std::string seen;
  info_.OnEditError = [&](TDataSetBase&, const EDatabaseError& e, TDataAction& action) {
    seen = e.what();
    action = TDataAction::Abort;
  };
  info_.Edit();  // abandoned quietly
  EXPECT_EQ(seen, "Record is locked by another user");
  EXPECT_EQ(info_.State(), TDataSetState::Browse);
  release.Notify();
  EXPECT_EQ(child.Wait(), 0);
}

TEST_F(DataSetTest, EditStartsFromWhatAnotherProcessWroteBeforeTheLock) {
  MakeInfo({}, 2);
  info_.SetTableName("INFO");
  info_.Open();
  EXPECT_EQ(info_.FieldText("NAME"), "A1");
  std::string path = path_;
  ChildProcess child([path] {
    TVelorinDataSet other("Other");
    other.SetTableName(path);
    other.Open();
    other.Edit();
    other.FieldByName("VARIANT").SetAsString("2");
    other.Post();
    return 0;
  });
  ASSERT_EQ(child.Wait(), 0);
  EXPECT_EQ(info_.FieldText("VARIANT"), "1");  // the cursor's copy
  info_.Edit();
  EXPECT_EQ(info_.FieldText("VARIANT"), "2");
  info_.FieldByName("NAME").SetAsString("Mine");
  info_.Post();
  std::string record = RecordBytes(path_, 1, kInfoRecordLength);
  EXPECT_EQ(record.substr(1, 17), Left("Mine", 15) + "2 ");
}

TEST_F(DataSetTest, RecordsAppendedByAnotherProcessAreCounted) {
  MakeInfo({}, 2);
  info_.SetTableName("INFO");
  info_.Open();
  std::string path = path_;
  ChildProcess child([path] {
    TVelorinDataSet other("Other");
    other.SetTableName(path);
    other.Open();
    other.AppendValues({std::string("Remote")});
    return 0;
  });
  ASSERT_EQ(child.Wait(), 0);
  EXPECT_EQ(info_.RecordCount(), 3);
  info_.Last();
  EXPECT_EQ(info_.FieldText("NAME"), "Remote");
}

// ---------------------------------------------------------------------------
// Searching and filtering

TEST_F(DataSetTest, LocateFindsWholeOrPartialValues) {
  MakeTable(path_, 0x03, kInfoFields,
            {InfoRecord("Anna"), InfoRecord("Boris", "20261207", true), InfoRecord("Boris"), InfoRecord("Borislav"),
             InfoRecord("\x88\xA2\xA0\xAD")});
  info_.SetTableName("INFO");
  info_.Open();
  EXPECT_TRUE(info_.Locate("NAME", std::string("Boris")));
  EXPECT_EQ(info_.RecordNumber(), 3);  // the deleted one is passed over
  EXPECT_TRUE(info_.Locate("name", std::string("Bori"), {true, false}));
  EXPECT_EQ(info_.RecordNumber(), 3);
  EXPECT_TRUE(info_.Locate("NAME", std::string("borislav"), {false, true}));
  EXPECT_EQ(info_.RecordNumber(), 4);
  EXPECT_FALSE(info_.Locate("NAME", std::string("Bori")));
  EXPECT_EQ(info_.RecordNumber(), 4);  // not found: the cursor stays
  EXPECT_TRUE(info_.Locate("NAME", std::string("\xC8\xE2\xE0\xED")));  // ANSI value, OEM table
  EXPECT_EQ(info_.RecordNumber(), 5);
  info_.First();
  // Case folds with the table's own (OEM) letters: "иван" finds "Иван".
  EXPECT_TRUE(info_.Locate("NAME", std::string("\xE8\xE2\xE0\xED"), {false, true}));
  EXPECT_EQ(info_.RecordNumber(), 5);
  EXPECT_TRUE(info_.Locate("COUNT", int32_t{30}));
  EXPECT_EQ(info_.RecordNumber(), 1);
  EXPECT_TRUE(info_.Locate("DATE", *EncodeDate(2026, 12, 7)));
  EXPECT_EQ(Raised([&] { info_.Locate("NOSUCH", std::string("x")); }), "InfoTable: Поле 'NOSUCH' не найдено");
}

TEST_F(DataSetTest, LookupAnswersWithoutMoving) {
  MakeTable(path_, 0x03, kInfoFields, {InfoRecord("Anna", "20260101", false, 10, 1), InfoRecord("Boris", "20260102",
                                                                                                false, 20, 2)});
  info_.SetTableName("INFO");
  info_.Open();
  TFieldData answer = info_.Lookup("NAME", std::string("Boris"), "TRUECOUNT");
  EXPECT_EQ(std::get<int32_t>(answer), 2);
  EXPECT_EQ(info_.RecordNumber(), 1);
  EXPECT_TRUE(IsNull(info_.Lookup("NAME", std::string("Nobody"), "TRUECOUNT")));
  info_.Next();
  EXPECT_EQ(info_.RecordNumber(), 2);
}

TEST_F(DataSetTest, OnFilterRecordHidesRecordsWhileFiltered) {
  MakeInfo({3}, 6);
  info_.SetTableName("INFO");
  info_.Open();
  int tested = 0;
  info_.OnFilterRecord = [&](TDataSetBase& data, bool& accept) {
    ++tested;
    EXPECT_EQ(data.State(), TDataSetState::Filter);
    auto& self = static_cast<TVelorinDataSet&>(data);
    accept = self.RecordNumber() % 2 == 0;
    EXPECT_EQ(self.FieldText("NAME").substr(1), std::to_string(self.RecordNumber()));
  };
  EXPECT_EQ(Walk(info_).size(), 5u);  // not yet filtered
  info_.SetFiltered(true);
  EXPECT_GT(tested, 0);
  EXPECT_EQ(Walk(info_), (std::vector<int>{2, 4, 6}));
  info_.SetExactCount(true);
  EXPECT_EQ(info_.RecordCount(), 3);
  info_.SetFiltered(false);
  EXPECT_EQ(Walk(info_).size(), 5u);
}

TEST_F(DataSetTest, FilterExpressionsAndIndexFilesComeWithTheirSubsystems) {
  MakeInfo({}, 2);
  testing::WriteFileBytes(dir_.File("INFO.NDX"), std::string(512, '\0'));
  info_.SetTableName("INFO");
  info_.Open();
  info_.SetFilter("COUNT > 5 .AND. NAME = 'B*'");
  info_.SetFiltered(true);
  EXPECT_EQ(Walk(info_), (std::vector<int>{2}));
  info_.SetFiltered(false);
  EXPECT_EQ(Raised([&] { info_.SetIndexFiles({"MISSING"}); }), "Cannot find file " + dir_.File("MISSING.NDX"));
  // A damaged header: the engine's error 2112 naming the file.
  std::string damaged = Raised([&] { info_.SetIndexFiles({"INFO"}); });
  EXPECT_NE(damaged.find("engine: Velorin Error 2112"), std::string::npos) << damaged;
  EXPECT_NE(damaged.find("INFO.NDX"), std::string::npos) << damaged;
  EXPECT_EQ(Raised([&] { info_.SetIndexName("BYNAME"); }), "Index tag BYNAME is not assigned");
  info_.SetIndexFiles({});
  EXPECT_EQ(info_.IndexName(), "");
}

TEST_F(DataSetTest, ANewTableNameEmptiesTheIndexFilesExceptWhileLoading) {
  info_.BeginLoading();
  info_.SetIndexFiles({"A.NDX"});
  info_.SetTableName("ONE");
  EXPECT_EQ(info_.IndexFiles().size(), 1u);
  info_.EndLoading();
  info_.SetTableName("TWO");
  EXPECT_TRUE(info_.IndexFiles().empty());
}

TEST_F(DataSetTest, MasterLinksMayNotLeadBack) {
  TVelorinDataSet a("A");
  TVelorinDataSet b("B");
  b.SetMasterSource(&a);
  EXPECT_EQ(Raised([&] { a.SetMasterSource(&b); }), "Циклические связи не допускаются");
  EXPECT_EQ(Raised([&] { a.SetMasterSource(&a); }), "Циклические связи не допускаются");
  EXPECT_EQ(b.MasterSource(), &a);
  EXPECT_EQ(a.MasterSource(), nullptr);
}

TEST_F(DataSetTest, ADetailGoesToItsFirstRecordWhenTheMasterMoves) {
  // Without an index tag the range limits nothing; the detail still follows.
  MakeInfo({}, 3);
  MakeTable(dir_.File("NAME.DBF"), 0x03, {"NAME:C:15"}, {" " + Left("A1", 15), " " + Left("B2", 15)});
  TVelorinDataSet master("NameTable");
  master.SetTableName("NAME");
  master.Open();
  info_.SetTableName("INFO");
  info_.SetMasterSource(&master);
  info_.SetMasterFields("NAME");
  info_.Open();
  info_.Last();
  EXPECT_EQ(info_.RecordNumber(), 3);
  master.Next();
  EXPECT_EQ(info_.RecordNumber(), 1);
  info_.Last();
  master.Close();  // the range is cleared
  EXPECT_EQ(info_.RecordNumber(), 1);
  info_.Last();
  info_.SetMasterSource(nullptr);
  EXPECT_EQ(info_.RecordNumber(), 3);  // nothing was linked any more
}

TEST_F(DataSetTest, FormulaRequestsGoToOnFormula) {
  MakeInfo({}, 1);
  info_.SetTableName("INFO");
  info_.Open();
  EXPECT_EQ(info_.Handler()->UserHook(1, 2, 3, 4, 5), -1);  // not assigned
  std::string request;
  info_.OnFormula = [&](const std::string& who, const std::string& st, std::string& rsl, char& typ, bool&,
                        bool& tf) {
    request = who + ":" + st;
    rsl = "42";
    typ = 'N';
    tf = true;
  };
  EXPECT_EQ(info_.Handler()->UserHook(1, 2, 3, 4, 5), 1);
  EXPECT_EQ(request, "UserHook:1,2,3,4,5");
}

// ---------------------------------------------------------------------------
// Calculated fields and events

TEST_F(DataSetTest, CalculatedFieldsAreComputedOnEveryFetch) {
  MakeInfo({}, 3);
  info_.SetTableName("INFO");
  info_.DeclareField<TStringField>("NAME", 15);
  info_.DeclareField<TSmallintField>("COUNT");
  info_.DeclareField<TSmallintField>("TRUECOUNT");
  auto& wrong = info_.DeclareField<TIntegerField>("WRONG");
  wrong.SetCalculated(true);
  auto& label = info_.DeclareField<TStringField>("LABEL", 20);
  label.SetCalculated(true);
  std::vector<int32_t> numbers;
  info_.OnCalcFields = [&](TDataSetBase& data) {
    auto& self = static_cast<TVelorinDataSet&>(data);
    EXPECT_EQ(data.State(), TDataSetState::CalcFields);
    numbers.push_back(self.RecordNumber());
    data.FieldByName("WRONG").SetAsInteger(data.FieldByName("COUNT").AsInteger() -
                                           data.FieldByName("TRUECOUNT").AsInteger());
    data.FieldByName("LABEL").SetAsString("#" + data.FieldByName("NAME").AsString());
    EXPECT_EQ(Raised([&] { data.FieldByName("NAME").SetAsString("x"); }), "Dataset not in edit or insert mode");
  };
  info_.Open();
  EXPECT_EQ(wrong.AsInteger(), 5);
  EXPECT_EQ(label.AsString(), "#A1");
  info_.Next();
  EXPECT_EQ(label.AsString(), "#B2");
  EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(Raised([&] { label.SetAsString("x"); }), "Dataset not in edit or insert mode");
}

TEST_F(DataSetTest, EventsAroundOpeningMovingAndPosting) {
  MakeInfo({}, 2);
  info_.SetTableName("INFO");
  std::vector<std::string> log;
  auto note = [&](const char* what) { return [&log, what](TDataSetBase&) { log.push_back(what); }; };
  info_.BeforeOpen = note("BeforeOpen");
  info_.AfterOpen = note("AfterOpen");
  info_.BeforeScroll = note("BeforeScroll");
  info_.AfterScroll = note("AfterScroll");
  info_.BeforeEdit = note("BeforeEdit");
  info_.AfterEdit = note("AfterEdit");
  info_.BeforePost = note("BeforePost");
  info_.AfterPost = note("AfterPost");
  info_.BeforeClose = note("BeforeClose");
  info_.AfterClose = note("AfterClose");
  info_.Open();
  info_.Next();
  info_.Edit();
  info_.FieldByName("NAME").SetAsString("E");
  info_.Post();
  info_.Close();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeOpen", "AfterOpen", "BeforeScroll", "AfterScroll", "BeforeEdit",
                                           "AfterEdit", "BeforePost", "AfterPost", "BeforeClose", "AfterClose"}));
}

TEST_F(DataSetTest, FieldChangesAreSignalled) {
  MakeInfo({}, 1);
  info_.SetTableName("INFO");
  info_.Open();
  int changes = 0;
  info_.FieldByName("NAME").OnChange = [&](TField&) { ++changes; };
  info_.Edit();
  info_.FieldByName("NAME").SetAsString("A");
  info_.FieldByName("NAME").SetAsString("B");
  info_.Cancel();
  EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace velorin
