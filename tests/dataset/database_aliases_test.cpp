#include "dataset/database_aliases.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace velorin {
namespace {

using testing::ChildProcess;
using testing::TempDir;
using testing::WriteFileBytes;
using Entry = TAliasTable::Entry;

void LoadText(TAliasTable& table, const std::string& text) { table.Load(TProfileFile::Parse(text)); }

std::string ExecutableDirectoryWithSlash() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/";
}

TEST(AliasTable, StartsWithTheBareDefaultDirectory) {
  TAliasTable table;
  EXPECT_EQ(table.Entries(), (std::vector<Entry>{{"Default Directory", "", false}}));
  EXPECT_FALSE(table.Lookup("Default Directory"));
}

TEST(AliasTable, AnAliasResolvesToItsDirectoryInItsOwnSpelling) {
  TAliasTable table;
  LoadText(table, "[Alias]\nData=/srv/Tests/Data\n");
  EXPECT_EQ(table.Lookup("DATA"), "/srv/Tests/Data");
  EXPECT_EQ(table.DirectoryOf("data"), "/srv/Tests/Data/");
  EXPECT_EQ(table.DirectoryOf("Data"), "/srv/Tests/Data/");
}

TEST(AliasTable, ADirectoryEndingInASlashGetsNoSecond) {
  TAliasTable table;
  LoadText(table, "[Alias]\nroot=/\nwork=/work/\n");
  EXPECT_EQ(table.DirectoryOf("ROOT"), "/");
  EXPECT_EQ(table.DirectoryOf("work"), "/work/");
}

TEST(AliasTable, DefaultDirectoryInAnyCaseIsTheExecutablesDirectory) {
  TAliasTable table;
  EXPECT_EQ(table.DirectoryOf("Default Directory"), ExecutableDirectoryWithSlash());
  EXPECT_EQ(table.DirectoryOf("DEFAULT DIRECTORY"), ExecutableDirectoryWithSlash());
  EXPECT_EQ(table.DirectoryOf("default directory"), ExecutableDirectoryWithSlash());
}

TEST(AliasTable, AConfiguredDefaultDirectoryIsPassedOver) {
  TAliasTable table;
  LoadText(table, "[Alias]\nDefault Directory=/elsewhere\n");
  EXPECT_EQ(table.Entries().size(), 1u);
  EXPECT_EQ(table.DirectoryOf("default directory"), ExecutableDirectoryWithSlash());
}

TEST(AliasTable, EmptyAndUnknownNamesAreUsedAsTheyStand) {
  TAliasTable table;
  LoadText(table, "[Alias]\nData=/srv/data\n");
  EXPECT_EQ(table.DirectoryOf(""), "");
  EXPECT_EQ(table.DirectoryOf("relative/dir"), "relative/dir/");
  EXPECT_EQ(table.DirectoryOf("/abs/Dir/"), "/abs/Dir/");
}

TEST(AliasTable, LaterKeysReplaceAndEmptyValuesRemove) {
  TAliasTable table;
  LoadText(table, 
      "[Alias]\n"
      "One=/1\n"
      "Two=/2\n"
      "ONE=/one again\n"
      "Three=/3\n"
      "two=\n"
      "Four=\n");
  EXPECT_EQ(table.Entries(), (std::vector<Entry>{{"Default Directory", "", false},
                                                 {"One", "/one again", false},
                                                 {"Three", "/3", false}}));
  EXPECT_EQ(table.DirectoryOf("two"), "two/");
}

TEST(AliasTable, OnlyTheAliasSectionIsRead) {
  TAliasTable table;
  LoadText(table, "[Other]\nX=/x\n[Alias]\nY=/y\n");
  EXPECT_FALSE(table.Lookup("X"));
  EXPECT_EQ(table.Lookup("y"), "/y");
}

TEST(AliasTable, NamesAndDirectoriesMayHoldEquals) {
  TAliasTable table;
  LoadText(table, "[Alias]\nodd=/srv/a=b\n");
  EXPECT_EQ(table.DirectoryOf("ODD"), "/srv/a=b/");
  EXPECT_EQ(table.RegisterDatabaseName("/tmp/x=y/"), "/tmp/x=y");
  EXPECT_EQ(table.Lookup("/tmp/x=y"), "/tmp/x=y");
  EXPECT_EQ(table.DirectoryOf("/tmp/x=y"), "/tmp/x=y/");
}

TEST(AliasTable, MissingFileOrSectionLeavesOnlyEntryZero) {
  TempDir dir;
  TAliasTable table;
  table.LoadFile(dir.File("missing.cfg"));
  EXPECT_EQ(table.Entries().size(), 1u);
  WriteFileBytes(dir.File("other.cfg"), "[Something]\nA=/a\n");
  table.LoadFile(dir.File("other.cfg"));
  EXPECT_EQ(table.Entries().size(), 1u);
  table.LoadFile(dir.Path().string());  // a directory is no file
  EXPECT_EQ(table.Entries().size(), 1u);
}

TEST(DatabaseNameAssignment, APathIsRegisteredOnceWithoutItsTrailingSlash) {
  TAliasTable table;
  EXPECT_EQ(table.RegisterDatabaseName("/work/"), "/work");
  EXPECT_EQ(table.RegisterDatabaseName("/work/"), "/work");
  EXPECT_EQ(table.RegisterDatabaseName("/work"), "/work");
  EXPECT_EQ(table.Entries(), (std::vector<Entry>{{"Default Directory", "", false}, {"/work", "/work", true}}));
  EXPECT_EQ(table.DirectoryOf("/work"), "/work/");
}

TEST(DatabaseNameAssignment, TheRootKeepsItsSlash) {
  TAliasTable table;
  EXPECT_EQ(table.RegisterDatabaseName("/"), "/");
  EXPECT_EQ(table.DirectoryOf("/"), "/");
}

TEST(DatabaseNameAssignment, DefaultDirectoryAndEmptyAreStoredAsGiven) {
  TAliasTable table;
  EXPECT_EQ(table.RegisterDatabaseName("default DIRECTORY"), "default DIRECTORY");
  EXPECT_EQ(table.RegisterDatabaseName(""), "");
  EXPECT_EQ(table.Entries().size(), 1u);
}

TEST(DatabaseNameAssignment, AnAliasIsNotRegisteredAgain) {
  TAliasTable table;
  LoadText(table, "[Alias]\nData=/srv/data\n");
  EXPECT_EQ(table.RegisterDatabaseName("DATA"), "DATA");
  EXPECT_EQ(table.Entries().size(), 2u);
  EXPECT_EQ(table.DirectoryOf("DATA"), "/srv/data/");
}

TEST(DatabaseNameAssignment, ARegisteredPathResolvesInTheSpellingGiven) {
  // Linux paths are case-sensitive: /data/Tests and /DATA/TESTS are two places,
  // even though alias names match without regard to case.
  TAliasTable table;
  table.RegisterDatabaseName("/data/Tests");
  EXPECT_EQ(table.RegisterDatabaseName("/DATA/TESTS"), "/DATA/TESTS");
  EXPECT_EQ(table.DirectoryOf("/DATA/TESTS"), "/DATA/TESTS/");
  EXPECT_EQ(table.DirectoryOf("/data/Tests"), "/data/Tests/");
}

TEST(DatabaseNameAssignment, ClearForgetsEverythingButEntryZero) {
  TAliasTable table;
  LoadText(table, "[Alias]\nData=/srv/data\n");
  table.RegisterDatabaseName("/x");
  table.Clear();
  EXPECT_EQ(table.Entries().size(), 1u);
}

TEST(ConfigurationFile, TheEnvironmentNamesItOrEtcVelorinCfgServes) {
  ChildProcess child([] {
    unsetenv("VELORIN_CONFIG");
    if (ConfigurationFilePath() != "/etc/velorin.cfg") return 1;
    setenv("VELORIN_CONFIG", "", 1);
    if (ConfigurationFilePath() != "/etc/velorin.cfg") return 2;
    setenv("VELORIN_CONFIG", "/somewhere/my.cfg", 1);
    if (ConfigurationFilePath() != "/somewhere/my.cfg") return 3;
    return 0;
  });
  EXPECT_EQ(child.Wait(), 0);
}

TEST(ConfigurationFile, TheProcessTableIsLoadedFromIt) {
  TempDir dir;
  WriteFileBytes(dir.File("velorin.cfg"), "; the test's aliases\r\n[ALIAS]\r\nData = " + dir.File("Data") +
                                              "\r\nold=/old\r\nOLD=\r\n");
  std::string config = dir.File("velorin.cfg");
  std::string expected = dir.File("Data") + "/";
  ChildProcess child([config, expected] {
    setenv("VELORIN_CONFIG", config.c_str(), 1);
    ReloadAliases();
    if (DatabaseDirectory("data") != expected) return 1;
    if (Aliases().Entries().size() != 2) return 2;
    if (DatabaseDirectory("old") != "old/") return 3;
    if (Aliases().RegisterDatabaseName("/tmp/") != "/tmp") return 4;
    if (Aliases().Entries().size() != 3) return 5;
    ReloadAliases();  // forgets what assignments registered
    if (Aliases().Entries().size() != 2) return 6;
    setenv("VELORIN_CONFIG", "/nonexistent/velorin.cfg", 1);
    ReloadAliases();
    if (Aliases().Entries().size() != 1) return 7;
    return 0;
  });
  EXPECT_EQ(child.Wait(), 0);
}

}  // namespace
}  // namespace velorin
