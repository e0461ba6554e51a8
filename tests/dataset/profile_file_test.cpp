#include "dataset/profile_file.h"

#include <gtest/gtest.h>

#include "engine/text_trim.h"
#include "support/temp_dir.h"

namespace velorin {
namespace {

using Entries = std::vector<TProfileFile::Entry>;

TEST(ProfileFile, SectionsAndKeysIgnoreLetterCaseAndBlanks) {
  auto file = TProfileFile::Parse("[ Alias ]\n  Data =  /srv/Data  \nother=x\n[Second]\nk=v\n");
  EXPECT_TRUE(file.HasSection("ALIAS"));
  EXPECT_TRUE(file.HasSection("second"));
  EXPECT_FALSE(file.HasSection("third"));
  EXPECT_EQ(file.Section("alias"), (Entries{{"Data", "/srv/Data"}, {"other", "x"}}));
  EXPECT_EQ(file.Value("ALIAS", "data"), "/srv/Data");
  EXPECT_EQ(file.Value("second", "K"), "v");
  EXPECT_FALSE(file.Value("second", "data"));
  EXPECT_FALSE(file.Value("nothing", "k"));
}

TEST(ProfileFile, CrLfLinesAndTheByteOrderMark) {
  auto file = TProfileFile::Parse("\xEF\xBB\xBF[Alias]\r\nA=/one\r\nB=/two\r\n");
  EXPECT_EQ(file.Section("Alias"), (Entries{{"A", "/one"}, {"B", "/two"}}));
}

TEST(ProfileFile, CommentsAndMalformedLinesAreIgnored) {
  auto file = TProfileFile::Parse(
      "before=section\n"
      "; a comment\n"
      "[Alias]\n"
      "   ; indented comment\n"
      "no equals sign\n"
      "=no key\n"
      "\n"
      "\t\n"
      "path=/a;b=c\n"  // ";" and "=" inside a value belong to it
      "empty=\n");
  EXPECT_EQ(file.Section("Alias"), (Entries{{"path", "/a;b=c"}, {"empty", ""}}));
  EXPECT_FALSE(file.Value("Alias", "before"));
}

TEST(ProfileFile, QuotesAroundAValueAreRemoved) {
  auto file = TProfileFile::Parse("[S]\na=\" /with blanks/ \"\nb=\"\nc=\"\"\nd=x\"y\"\n");
  EXPECT_EQ(file.Value("S", "a"), " /with blanks/ ");
  EXPECT_EQ(file.Value("S", "b"), "\"");
  EXPECT_EQ(file.Value("S", "c"), "");
  EXPECT_EQ(file.Value("S", "d"), "x\"y\"");
}

TEST(ProfileFile, RepeatedSectionsAndKeysKeepFileOrder) {
  auto file = TProfileFile::Parse("[Alias]\na=1\n[Other]\nz=0\n[ALIAS]\nA=2\nb=3\n");
  EXPECT_EQ(file.Section("alias"), (Entries{{"a", "1"}, {"A", "2"}, {"b", "3"}}));
  EXPECT_EQ(file.Value("alias", "a"), "1");  // the first
}

TEST(ProfileFile, HeadingWithoutClosingBracketAndTextAfterIt) {
  auto file = TProfileFile::Parse("[Open\nk=1\n[Closed] trailing\nj=2\n");
  EXPECT_EQ(file.Value("Open", "k"), "1");
  EXPECT_EQ(file.Value("Closed", "j"), "2");
}

TEST(ProfileFile, LastLineWithoutNewlineAndEmptyText) {
  EXPECT_EQ(TProfileFile::Parse("[S]\nk=v").Value("S", "k"), "v");
  EXPECT_TRUE(TProfileFile::Parse("").Section("S").empty());
  EXPECT_TRUE(TProfileFile::Parse("\n\n\r\n").Section("S").empty());
}

TEST(ProfileFile, BinaryGarbageNeverFails) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
  auto file = TProfileFile::Parse(garbage);
  (void)file.Section("Alias");
  EXPECT_FALSE(file.HasSection("Alias"));
  // Lines between garbage read as they are, and what the garbage adds to their
  // section are trimmed names and values of one line each.
  file = TProfileFile::Parse(garbage + "\n[Alias]\nDATA = /data\n" + garbage);
  EXPECT_EQ(file.Value("alias", "data"), "/data");
  for (const auto& [key, value] : file.Section("Alias")) {
    EXPECT_FALSE(key.empty());
    EXPECT_EQ(key.find_first_of("\n="), std::string::npos) << key;
    EXPECT_EQ(value.find('\n'), std::string::npos) << value;
    EXPECT_EQ(TrimWhiteSpace(key), key);
  }
}

TEST(ProfileFile, LoadReadsAFileAndMissingFilesGiveNothing) {
  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("velorin.cfg"), "[Alias]\nX=/x\n");
  auto file = TProfileFile::Load(dir.File("velorin.cfg"));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Value("alias", "x"), "/x");
  EXPECT_FALSE(TProfileFile::Load(dir.File("missing.cfg")));
}

}  // namespace
}  // namespace velorin
