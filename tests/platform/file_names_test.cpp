#include "platform/file_names.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/os_error.h"
#include "support/temp_dir.h"

namespace velorin::platform {
namespace {

using testing::TempDir;

TEST(NormalizePath, FoldsDotsAndSlashesWithoutResolvingLinks) {
  EXPECT_EQ(NormalizePath("/a//b/./c/../d"), "/a/b/d");
  EXPECT_EQ(NormalizePath("/../x"), "/x");
  EXPECT_EQ(NormalizePath("/"), "/");
  TempDir dir;
  std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(NormalizePath("t.dbf"), cwd + "/t.dbf");
  EXPECT_EQ(NormalizePath("./sub/../t.dbf"), cwd + "/t.dbf");
  std::string longName(300, 'n');  // no length limit
  EXPECT_EQ(NormalizePath("/" + longName + "/x"), "/" + longName + "/x");
}

TEST(FullPathName, ResolvesLetterCaseComponentByComponent) {
  TempDir dir;
  std::filesystem::create_directory("Data");
  testing::WriteFileBytes("Data/INFO.DBF", "x");
  std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(FullPathName("data/info.dbf"), cwd + "/Data/INFO.DBF");
  EXPECT_EQ(FullPathName("DATA/Info.Dbf"), cwd + "/Data/INFO.DBF");
  // A missing file keeps the spelling the caller gave, after the resolved part.
  EXPECT_EQ(FullPathName("data/new.dbf"), cwd + "/Data/new.dbf");
  EXPECT_EQ(FullPathName("nothere/X.DBF"), cwd + "/nothere/X.DBF");
}

TEST(FullPathName, ExactSpellingFirstThenTheBytewiseSmallest) {
  TempDir dir;
  testing::WriteFileBytes("name.dbf", "1");
  testing::WriteFileBytes("NAME.DBF", "2");
  testing::WriteFileBytes("Name.dbf", "3");
  std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(FullPathName("Name.dbf"), cwd + "/Name.dbf");
  EXPECT_EQ(FullPathName("nAME.dbf"), cwd + "/NAME.DBF");  // "NAME.DBF" < "Name.dbf" < "name.dbf"
}

TEST(RenameFile, NeverReplacesAnExistingFile) {
  TempDir dir;
  testing::WriteFileBytes("a", "a");
  testing::WriteFileBytes("b", "b");
  EXPECT_FALSE(RenameFile("a", "b"));
  EXPECT_EQ(LastError(), 183u);
  EXPECT_EQ(testing::ReadFileBytes("b"), "b");
  EXPECT_TRUE(RenameFile("a", "c"));
  EXPECT_FALSE(FileExists("a"));
  EXPECT_FALSE(RenameFile("missing", "d"));
  EXPECT_EQ(LastError(), 2u);
}

TEST(PathParts, BaseAndDirectory) {
  EXPECT_EQ(BaseName("/a/b/T.DBF"), "T.DBF");
  EXPECT_EQ(DirectoryName("/a/b/T.DBF"), "/a/b");
  EXPECT_EQ(DirectoryName("/T.DBF"), "/");
  EXPECT_EQ(BaseName("T.DBF"), "T.DBF");
}

}  // namespace
}  // namespace velorin::platform
