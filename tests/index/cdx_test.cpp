#include "index/vr6_cdx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "index/cdx_fixture.h"
#include "index/cdx_keys.h"
#include "index/cdx_page.h"
#include "index/index_check.h"
#include "support/raised_message.h"

namespace velorin {
namespace {

namespace f = cdx_format;
using testing::CdxTagSpec;
using testing::LE16At;
using testing::LE32At;
using testing::MakeCdx;
using testing::MakeFilledTable;
using testing::RecordsInOrder;

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

class CdxTest : public ::testing::Test {
 protected:
  std::vector<int32_t> InOrder(VRO_dBHandler& table, const std::string& tag) {
    std::string name = tag;
    EXPECT_GT(table.SelectOrder(&name, false), 0);
    return RecordsInOrder(table);
  }
  testing::TempDir dir_;
};

TEST_F(CdxTest, ANewFileIsTheDirectoryHeaderAndAnEmptyRootLeaf) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10"}, {});
  { VRobjCDXFile file(table.get(), dir_.File("NEW.CDX"), true, true); }
  std::string bytes = testing::ReadFileBytes(dir_.File("NEW.CDX"));
  ASSERT_EQ(bytes.size(), 1536u);
  EXPECT_EQ(LE32At(bytes, f::header::kRoot), 1024u);
  EXPECT_EQ(LE16At(bytes, f::header::kKeyLength), 10);
  EXPECT_EQ(static_cast<uint8_t>(bytes[f::header::kOptions]), 0xE0);
  EXPECT_EQ(bytes[f::header::kSignature], 1);
  const size_t leaf = 1024;
  EXPECT_EQ(LE16At(bytes, leaf + f::page::kAttributes), 3);
  EXPECT_EQ(LE16At(bytes, leaf + f::page::kKeyCount), 0);
  EXPECT_EQ(LE32At(bytes, leaf + f::page::kLeftSibling), 0xFFFFFFFFu);
  EXPECT_EQ(LE32At(bytes, leaf + f::page::kRightSibling), 0xFFFFFFFFu);
  EXPECT_EQ(LE16At(bytes, leaf + f::leaf::kFreeBytes), 488);
  EXPECT_EQ(LE32At(bytes, leaf + f::leaf::kRecordMask), 65535u);
  EXPECT_EQ(Bytes({15, 15, 16, 4, 4, 3}), bytes.substr(leaf + f::leaf::kDuplicateMask, 6));
  EXPECT_EQ(bytes.substr(leaf + f::leaf::kKeyArea), std::string(488, '\0'));
}

TEST_F(CdxTest, LeafLayoutRule) {
  struct Case {
    int32_t keyLength;
    int64_t records;
    int bits, recordBits, bytesPerEntry;
    uint32_t mask;
  };
  for (const Case& c : {Case{10, 1000, 4, 16, 3, 65535}, Case{10, 100000, 4, 24, 4, 16777215},
                        Case{10, 20000000, 4, 31, 5, 0x7FFFFFFF}, Case{1, 10, 1, 22, 3, 4194303},
                        Case{200, 300, 8, 16, 4, 65535}}) {
    f::LeafLayout layout = f::LeafLayoutFor(c.keyLength, c.records);
    EXPECT_EQ(layout.duplicateBits, c.bits) << c.keyLength;
    EXPECT_EQ(layout.recordBits, c.recordBits) << c.records;
    EXPECT_EQ(layout.bytesPerEntry, c.bytesPerEntry) << c.records;
    EXPECT_EQ(layout.recordMask, c.mask) << c.records;
  }
}

// ABC and ABD in one leaf of key length 10: the second key shares two bytes and
// stores one; the stored bytes fill the key area from its end.
TEST_F(CdxTest, LeafKeysAreCompressedAgainstTheirPredecessor) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10"}, {{"ABD"}, {"ABC"}});
  MakeCdx(*table, dir_.File("T.CDX"), {{"NAME", "NAME"}});
  std::string bytes = testing::ReadFileBytes(dir_.File("T.CDX"));
  int32_t header = testing::TagHeaderPosition(bytes, "NAME");
  ASSERT_GT(header, 0);
  EXPECT_EQ(LE16At(bytes, header + f::header::kKeyLength), 10);
  EXPECT_EQ(static_cast<uint8_t>(bytes[header + f::header::kOptions]), 0x60);
  EXPECT_EQ(std::string(bytes.c_str() + header + f::header::kExpressions), "NAME");
  size_t leaf = LE32At(bytes, header + f::header::kRoot);
  EXPECT_EQ(LE16At(bytes, leaf + f::page::kAttributes), 3);
  ASSERT_EQ(LE16At(bytes, leaf + f::page::kKeyCount), 2);
  // Entries: record 2, duplicates 0, trailing 7; then record 1, duplicates 2, trailing 7.
  std::string entries = bytes.substr(leaf + f::leaf::kKeyArea, 6);
  EXPECT_EQ(entries, Bytes({2, 0, 0x70, 1, 0, 0x72}));
  EXPECT_EQ(bytes.substr(leaf + 512 - 4, 4), "DABC");
  EXPECT_EQ(LE16At(bytes, leaf + f::leaf::kFreeBytes), 488 - 6 - 4);
}

TEST_F(CdxTest, NumericKeysSortAsUnsignedBytes) {
  EXPECT_EQ(cdx_keys::NumericKey(1.0), Bytes({0xBF, 0xF0}));
  EXPECT_EQ(cdx_keys::NumericKey(0.0), Bytes({0x80}));
  EXPECT_EQ(cdx_keys::NumericKey(-1.0), Bytes({0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_LT(cdx_keys::NumericKey(-2.5), cdx_keys::NumericKey(-2.0));
  EXPECT_LT(cdx_keys::NumericKey(2.0), cdx_keys::NumericKey(2.5));
  for (double v : {0.0, 1.0, -1.0, -2.5, 1e10, 123.45}) EXPECT_EQ(cdx_keys::NumericValue(cdx_keys::NumericKey(v)), v);
}

TEST_F(CdxTest, GeneralCollationExpandsLettersAndFoldsCase) {
  EXPECT_EQ(cdx_keys::GeneralKey("\xDF"), Bytes({118, 118}));  // ß: S S
  EXPECT_EQ(cdx_keys::GeneralKey("\xC6"), Bytes({96, 102}));   // Æ: A E
  std::string lower = cdx_keys::GeneralKey("abc");
  std::string upper = cdx_keys::GeneralKey("ABC");
  EXPECT_EQ(lower.substr(0, 3), upper.substr(0, 3));
  EXPECT_LT(cdx_keys::GeneralKey("\xC9T"), cdx_keys::GeneralKey("F"));  // É sorts among the Es
  std::string squeezed = cdx_keys::GeneralKey("\xC9");
  cdx_keys::SqueezeSecondary(squeezed);
  EXPECT_EQ(squeezed, Bytes({102, 0x01}));
  cdx_keys::ExpandSecondary(squeezed);
  EXPECT_EQ(squeezed, cdx_keys::GeneralKey("\xC9"));
}

TEST_F(CdxTest, TagsOfOneFileOrderByCharacterNumberDateDescendingForAndUnique) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:8", "NUM:N:6:1", "BORN:D", "POSITIVE:L"},
                               {{"PETROV", "3.5", "19900102", "T"},
                                {"IVANOV", "-2", "19850301", "F"},
                                {"SIDOROV", "-2.5", "20010101", "F"},
                                {"IVANOV", "10", "19700101", "T"},
                                {"", "0", "", "F"}});
  MakeCdx(*table, dir_.File("T.CDX"),
          {{"NAME", "NAME"},
           {"NUM", "NUM"},
           {"BORN", "BORN"},
           {"DOWN", "NAME", false, false},
           {"POSITIVE", "NUM", false, true, "POSITIVE"},
           {"ONCE", "NAME", true}});
  ASSERT_EQ(table->OpenIndex("T.CDX"), 0);
  EXPECT_EQ(table->IndexFileInSlot(1)->TagCount(), 6);
  EXPECT_EQ(InOrder(*table, "NAME"), (std::vector<int32_t>{5, 2, 4, 1, 3}));  // equal keys by record
  EXPECT_EQ(InOrder(*table, "NUM"), (std::vector<int32_t>{3, 2, 5, 1, 4}));
  EXPECT_EQ(InOrder(*table, "BORN"), (std::vector<int32_t>{5, 4, 2, 1, 3}));
  EXPECT_EQ(InOrder(*table, "DOWN"), (std::vector<int32_t>{3, 1, 4, 2, 5}));
  EXPECT_EQ(InOrder(*table, "POSITIVE"), (std::vector<int32_t>{1, 4}));
  EXPECT_EQ(InOrder(*table, "ONCE"), (std::vector<int32_t>{5, 2, 1, 3}));
  std::string tag = "NUM";
  table->SelectOrder(&tag, false);
  EXPECT_TRUE(table->Find("-2.5"));
  EXPECT_EQ(table->RecordNumber(), 3);
  tag = "DOWN";
  table->SelectOrder(&tag, false);
  table->GoRecord(nav::kFirst);
  EXPECT_EQ(table->RecordNumber(), 3);  // the highest key comes first
  EXPECT_TRUE(CheckIndexFile(*table->IndexFileInSlot(1), *table).empty());
}

// A unique tag over more records than keys, whose first leaf fills exactly at
// the last key: the leaf must not point to a page that was never written.
TEST_F(CdxTest, ALeafFilledByTheLastKeyHasNoRightSibling) {
  std::vector<std::vector<std::string>> rows;
  // Key length 10, 3 bytes per entry, no shared prefixes: 13 bytes a key, and
  // the 35th leaves less than 2 x (3 + 10 + 8) bytes free.
  std::string firsts = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghi";
  for (char c : firsts) rows.push_back({std::string(1, c) + "123456789"});
  for (int i = 0; i < 5; ++i) rows.push_back({"A123456789"});
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10"}, rows);
  MakeCdx(*table, dir_.File("T.CDX"), {{"ONCE", "NAME", true}});
  std::string bytes = testing::ReadFileBytes(dir_.File("T.CDX"));
  int32_t header = testing::TagHeaderPosition(bytes, "ONCE");
  size_t root = LE32At(bytes, header + f::header::kRoot);
  ASSERT_EQ(LE16At(bytes, root + f::page::kAttributes), 1);  // an interior root over one full leaf
  ASSERT_EQ(LE16At(bytes, root + f::page::kKeyCount), 1);
  size_t leaf = testing::BE32At(bytes, root + f::page::kInteriorEntries + 10 + 4);
  EXPECT_EQ(LE16At(bytes, leaf + f::page::kKeyCount), 35);
  EXPECT_EQ(LE32At(bytes, leaf + f::page::kRightSibling), 0xFFFFFFFFu);
  EXPECT_LE(leaf + 512, bytes.size());
}

TEST_F(CdxTest, InsertionsAndDeletionsKeepLinkedLeavesInOrder) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NUM:N:8", "NAME:C:12"}, {});
  MakeCdx(*table, dir_.File("T.CDX"), {{"NUM", "NUM"}, {"NAME", "NAME", false, false}});
  ASSERT_EQ(table->OpenIndex("T.CDX"), 0);
  for (int i = 0; i < 3000; ++i) {
    table->BlankRecord();
    table->PutNumber(1, (i * 7919) % 3001);
    table->PutValue(2, "K" + std::to_string((i * 31) % 977));
    table->Append();
  }
  EXPECT_TRUE(CheckIndexFile(*table->IndexFileInSlot(1), *table).empty());
  std::vector<int32_t> order = InOrder(*table, "NUM");
  ASSERT_EQ(order.size(), 3000u);
  // The leaves of the NUM tag, followed through their right siblings from the first.
  std::string bytes = testing::ReadFileBytes(dir_.File("T.CDX"));
  size_t page = LE32At(bytes, testing::TagHeaderPosition(bytes, "NUM") + f::header::kRoot);
  while ((LE16At(bytes, page) & f::attributes::kLeaf) == 0) {
    page = testing::BE32At(bytes, page + f::page::kInteriorEntries + 8 + 4);
  }
  size_t keys = 0;
  for (int32_t next = static_cast<int32_t>(page); next != -1;
       next = static_cast<int32_t>(LE32At(bytes, static_cast<size_t>(next) + f::page::kRightSibling))) {
    keys += LE16At(bytes, static_cast<size_t>(next) + f::page::kKeyCount);
    ASSERT_LT(keys, 4000u);
  }
  EXPECT_EQ(keys, 3000u);
}

TEST_F(CdxTest, TagAddRefusesLongNamesAndExpressionsThatDoNotFitTheHeader) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10"}, {{"A"}});
  VRobjCDXFile file(table.get(), dir_.File("T.CDX"), true, true);
  EXPECT_NE(testing::RaisedMessage([&] { file.TagAdd("ELEVENCHARS", "NAME", false, true, ""); }),
            "(nothing raised)");
  std::string longFor = "NAME = \"" + std::string(300, 'x') + "\" .OR. NAME = \"" + std::string(200, 'y') + "\"";
  EXPECT_NE(testing::RaisedMessage([&] { file.TagAdd("LONG", "NAME", false, true, longFor); }), "(nothing raised)");
  EXPECT_EQ(file.TagCount(), 0);
  EXPECT_TRUE(file.TagAdd("NAME", "NAME", false, true, ""));
  EXPECT_TRUE(file.TagAdd("NAME", "UPPER(NAME)", false, true, ""));  // replaces it
  EXPECT_EQ(file.TagCount(), 1);
  EXPECT_TRUE(file.TagRemove("name"));
  EXPECT_FALSE(file.TagRemove("name"));
  EXPECT_EQ(testing::ReadFileBytes(dir_.File("T.CDX")).size(), 1536u);  // the last tag gone: rewritten
}

TEST_F(CdxTest, ProductionFlagOnlyForTheTablesOwnName) {
  auto info = MakeFilledTable(dir_.File("INFO.DBF"), {"NAME:C:10"}, {{"A"}});
  MakeCdx(*info, dir_.File("IN.CDX"), {{"NAME", "NAME"}});
  ASSERT_EQ(info->OpenIndex("IN.CDX"), 0);
  EXPECT_FALSE(info->HasProductionIndex());
  MakeCdx(*info, dir_.File("INFO.CDX"), {{"NAME", "NAME"}});
  EXPECT_TRUE(info->HasProductionIndex());
  info.reset();
  std::string header = testing::ReadFileBytes(dir_.File("INFO.DBF"));
  EXPECT_EQ(header[28] & 1, 1);
}

// Damage of every kind the reader checks is refused as a damaged index.
TEST_F(CdxTest, DamagedFilesAreRefused) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10", "NUM:N:6", "OK:L"}, {});
  for (int i = 0; i < 400; ++i) {
    table->BlankRecord();
    table->PutValue(1, "NAME" + std::to_string(i * 37 % 400));
    table->PutNumber(2, i);
    table->PutValue(3, i % 3 == 0 ? "F" : "T");
    table->Append();
  }
  MakeCdx(*table, dir_.File("GOOD.CDX"), {{"NAME", "NAME"}, {"NUM", "NUM", false, true, "OK"}});
  const std::string good = testing::ReadFileBytes(dir_.File("GOOD.CDX"));
  const size_t name = testing::TagHeaderPosition(good, "NAME");
  const size_t num = testing::TagHeaderPosition(good, "NUM");
  const size_t root = LE32At(good, name + f::header::kRoot);
  ASSERT_EQ(LE16At(good, root), 1);  // 400 keys: an interior root over leaves
  const size_t leaf = testing::BE32At(good, root + f::page::kInteriorEntries + 10 + 4);
  auto le32 = [](uint32_t v) { return Bytes({int(v & 255), int(v >> 8 & 255), int(v >> 16 & 255), int(v >> 24)}); };
  struct Case {
    const char* what;
    size_t offset;
    std::string bytes;
  };
  const std::vector<Case> cases{
      {"root 0", name + f::header::kRoot, le32(0)},
      {"root off the page grid", name + f::header::kRoot, le32(1100)},
      {"root beyond the file", name + f::header::kRoot, le32(1u << 30)},
      {"key length 300", name + f::header::kKeyLength, Bytes({44, 1})},
      {"key expression without its zero", name + f::header::kExpressions, std::string(512, 'N')},
      {"FOR expression without its zero", num + f::header::kExpressions + 4, std::string(508, 'O')},
      {"directory root 0", f::header::kRoot, le32(0)},
      {"attributes 7", root + f::page::kAttributes, Bytes({7, 0})},
      {"interior count beyond the page", root + f::page::kKeyCount, Bytes({40, 0})},
      {"child 0", root + f::page::kInteriorEntries + 10 + 4, le32(0)},
      {"leaf count beyond the area", leaf + f::page::kKeyCount, Bytes({200, 0})},
      {"9 bytes per entry", leaf + f::leaf::kBytesPerEntry, Bytes({9})},
      {"bit widths wider than the entry", leaf + f::leaf::kRecordBits, Bytes({30})},
      {"duplicate and trailing counts beyond the key", leaf + f::leaf::kKeyArea, Bytes({1, 0, 0xFF})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::WriteFileBytes(dir_.File("BAD.CDX"), good);
    testing::PatchFile(dir_.File("BAD.CDX"), c.offset, c.bytes);
    std::string message = testing::RaisedMessage([&] {
      table->CloseIndexes();
      table->OpenIndex("BAD.CDX");
      for (std::string tag : {"NAME", "NUM"}) {
        table->SelectOrder(&tag, false);
        RecordsInOrder(*table);
        table->Find("NAME399");
      }
    });
    EXPECT_NE(message.find("BAD.CDX"), std::string::npos) << message;
  }
  table->CloseIndexes();
  // A file shorter than the smallest one is refused, not made anew.
  testing::WriteFileBytes(dir_.File("BAD.CDX"), good.substr(0, 700));
  EXPECT_NE(testing::RaisedMessage([&] { table->OpenIndex("BAD.CDX"); }), "(nothing raised)");
  EXPECT_EQ(testing::ReadFileBytes(dir_.File("BAD.CDX")).size(), 700u);
}

// A tag written by another program with the general collation: its keys are
// collation weights, letter case and accents sort with their letters, and keys
// written in place keep their secondary bytes squeezed.
TEST_F(CdxTest, GeneralCollationTagsOrderLettersAlphabetically) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10"},
                               {{"zebra"}, {"\xC9" "CLAIR"}, {"Banana"}, {"eagle"}, {"apple"}});
  MakeCdx(*table, dir_.File("T.CDX"), {{"NAME", "NAME"}});
  std::string bytes = testing::ReadFileBytes(dir_.File("T.CDX"));
  size_t header = testing::TagHeaderPosition(bytes, "NAME");
  testing::PatchFile(dir_.File("T.CDX"), header + f::header::kSignature, Bytes({2}));
  testing::PatchFile(dir_.File("T.CDX"), header + f::header::kCollation, "GENERAL");
  ASSERT_EQ(table->OpenIndex("T.CDX"), 0);
  table->Reindex();
  EXPECT_EQ(InOrder(*table, "NAME"), (std::vector<int32_t>{5, 3, 4, 2, 1}));
  table->BlankRecord();
  table->PutValue(1, "\xE9t\xE9");  // été: after eagle and éclair, before zebra
  table->Append();
  EXPECT_EQ(InOrder(*table, "NAME"), (std::vector<int32_t>{5, 3, 4, 2, 6, 1}));
  table->SetExactMatch(true);
  EXPECT_TRUE(table->Find("\xE9" "clair"));
  EXPECT_EQ(table->RecordNumber(), 2);
  EXPECT_TRUE(CheckIndexFile(*table->IndexFileInSlot(1), *table).empty());
}

TEST_F(CdxTest, TheCheckerReportsADamagedPage) {
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < 300; ++i) rows.push_back({"K" + std::to_string(i)});
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10"}, rows);
  MakeCdx(*table, dir_.File("T.CDX"), {{"NAME", "NAME"}});
  std::string bytes = testing::ReadFileBytes(dir_.File("T.CDX"));
  size_t root = LE32At(bytes, testing::TagHeaderPosition(bytes, "NAME") + f::header::kRoot);
  size_t leaf = testing::BE32At(bytes, root + f::page::kInteriorEntries + 10 + 4);
  testing::PatchFile(dir_.File("T.CDX"), leaf + f::leaf::kBytesPerEntry, Bytes({12}));
  ASSERT_EQ(table->OpenIndex("T.CDX"), 0);
  std::vector<std::string> problems = CheckIndexFile(*table->IndexFileInSlot(1), *table);
  ASSERT_FALSE(problems.empty());
  EXPECT_NE(problems.front().find("page " + std::to_string(leaf)), std::string::npos) << problems.front();
}

// Bytes flipped at random in the file: every open, walk and check ends in an
// error or a result, never in a crash (the sanitizer build watches the reads).
TEST_F(CdxTest, RandomlyDamagedPagesGiveErrorsNotCrashes) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10", "NUM:N:6"}, {});
  for (int i = 0; i < 600; ++i) {
    table->BlankRecord();
    table->PutValue(1, "N" + std::to_string(i * 37 % 600));
    table->PutNumber(2, i % 50);
    table->Append();
  }
  MakeCdx(*table, dir_.File("GOOD.CDX"), {{"NAME", "NAME"}, {"NUM", "NUM", false, false}});
  const std::string good = testing::ReadFileBytes(dir_.File("GOOD.CDX"));
  std::mt19937 random(7);
  int refused = 0;
  for (int round = 0; round < 150; ++round) {
    std::string bad = good;
    for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips) {
      bad[random() % bad.size()] = static_cast<char>(random());
    }
    testing::WriteFileBytes(dir_.File("BAD.CDX"), bad);
    try {
      table->CloseIndexes();
      table->OpenIndex("BAD.CDX");
      for (std::string tag : {"NAME", "NUM"}) {
        table->SelectOrder(&tag, false);
        EXPECT_LE(RecordsInOrder(*table).size(), 100000u);
      }
      CheckIndexFile(*table->IndexFileInSlot(1), *table);
    } catch (const EVelorinError&) {
      ++refused;
    }
  }
  table->CloseIndexes();
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace velorin
