// The owning list, the checked truncations and the text and file-name routines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "engine/vr6_glbl.h"
#include "support/temp_dir.h"

namespace velorin {
namespace {

struct Counted {
  explicit Counted(int* live) : live_(live) { ++*live_; }
  ~Counted() { --*live_; }
  int* live_;
};

TEST(CollectionOwnership, RemovingClearingAndDestroyingFreeTheItems) {
  int live = 0;
  {
    TvrCollection<Counted> list;
    auto owned = std::make_unique<Counted>(&live);
    Counted* a = owned.get();
    list.Add(owned.release());  // the list takes raw items too
    list.Add(std::make_unique<Counted>(&live));
    list.Add(std::make_unique<Counted>(&live));
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(live, 3);
    EXPECT_EQ(list.IndexOf(a), 0);
    EXPECT_EQ(list.Remove(a), 0);
    EXPECT_EQ(live, 2);
    EXPECT_EQ(list.Remove(a), -1);
    list.Delete(1);
    EXPECT_EQ(live, 1);
    EXPECT_EQ(list.Count(), 1);
    list.Add(std::make_unique<Counted>(&live));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(live, 0);
    list.Add(std::make_unique<Counted>(&live));
    list.Add(nullptr);
  }
  EXPECT_EQ(live, 0);
}

TEST(CollectionOwnership, DetachHandsTheItemBack) {
  int live = 0;
  TvrCollection<Counted> list;
  list.Add(std::make_unique<Counted>(&live));
  std::unique_ptr<Counted> item(list.Detach(0));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(live, 1);
}

TEST(CollectionOwnership, AListOfReferencesFreesNothing) {
  int live = 0;
  Counted a(&live), b(&live);
  {
    TvrCollection<Counted> refs(false);
    refs.Add(&a);
    refs.Add(&b);
    refs.Remove(&a);
    EXPECT_EQ(refs.IndexOf(&a), -1);
    EXPECT_EQ(refs.IndexOf(&b), 0);
  }
  EXPECT_EQ(live, 2);
}

// A descendant that changes the per-item release (and clears in its destructor).
class RecordingList : public TvrCollection<Counted> {
 public:
  explicit RecordingList(std::vector<Counted*>* released) : released_(released) {}
  ~RecordingList() override { Clear(); }

 protected:
  void FreeItem(Counted* item) override { released_->push_back(item); }

 private:
  std::vector<Counted*>* released_;
};

TEST(CollectionOwnership, FreeItemIsVirtual) {
  int live = 0;
  Counted a(&live), b(&live), c(&live);
  std::vector<Counted*> released;
  {
    RecordingList list(&released);
    list.Add(&a);
    list.Add(&b);
    list.Add(&c);
    list.Remove(&b);
    EXPECT_EQ(released, (std::vector<Counted*>{&b}));
  }
  EXPECT_EQ(released, (std::vector<Counted*>{&b, &a, &c}));
  EXPECT_EQ(live, 3);
}

TEST(CollectionAccess, IndexingAndInsertion) {
  int live = 0;
  TvrCollection<Counted> list;
  auto ownedFirst = std::make_unique<Counted>(&live);
  Counted* first = ownedFirst.get();
  Counted* second = list.Items(list.Add(std::make_unique<Counted>(&live)));
  list.Insert(0, ownedFirst.release());
  EXPECT_EQ(list[0], first);
  EXPECT_EQ(list.Items(1), second);
  EXPECT_THROW(list.Items(2), std::out_of_range);
  EXPECT_THROW(list.Items(-1), std::out_of_range);
  EXPECT_THROW(list.Delete(5), std::out_of_range);
  EXPECT_THROW(list.Insert(3, nullptr), std::out_of_range);
  int seen = 0;
  for (Counted* item : list) seen += item != nullptr;
  EXPECT_EQ(seen, 2);
}

// ---------------------------------------------------------------------------

TEST(CheckedTruncation, Int32Range) {
  EXPECT_EQ(TruncToInt32(2.9), 2);
  EXPECT_EQ(TruncToInt32(-2.9), -2);
  EXPECT_EQ(TruncToInt32(2147483647.9), 2147483647);
  EXPECT_EQ(TruncToInt32(-2147483648.9), -2147483647 - 1);
  EXPECT_EQ(TruncToInt32(2147483648.0), std::nullopt);
  EXPECT_EQ(TruncToInt32(-2147483649.0), std::nullopt);
  EXPECT_EQ(TruncToInt32(std::nan("")), std::nullopt);
  EXPECT_EQ(TruncToInt32(std::numeric_limits<double>::infinity()), std::nullopt);
  EXPECT_EQ(TruncToInt32(1e100), std::nullopt);
}

TEST(CheckedTruncation, Int64Range) {
  EXPECT_EQ(TruncToInt64(-9223372036854775808.0), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(TruncToInt64(9223372036854775808.0), std::nullopt);
  EXPECT_EQ(TruncToInt64(9223372036854774784.0), 9223372036854774784);  // largest double below 2^63
  EXPECT_EQ(TruncToInt64(-1e19), std::nullopt);
  EXPECT_EQ(TruncToInt64(std::nan("")), std::nullopt);
  EXPECT_EQ(TruncToInt64(123456789012.75), 123456789012);
}

TEST(CheckedTruncation, FieldStoreRaisesNumberTooLarge) {
  EXPECT_EQ(StoreTruncInt32(12.5, "N - 12.5"), 12);
  try {
    StoreTruncInt32(1e20, "COUNT - 1E20");
    FAIL() << "nothing raised";
  } catch (const EVelorinError& e) {
    EXPECT_STREQ(e.what(), "Number too large to fit in field - COUNT - 1E20");
  }
  EXPECT_THROW(StoreTruncInt64(std::nan(""), "X"), EVelorinError);
  // A replaced error procedure that returns gets 0 back.
  EngineErrorProcedure saved = EngineErrorProc;
  static int32_t seenCode = 0, seenSub = 0;
  EngineErrorProc = [](int32_t code, int32_t subCode, std::string_view) {
    seenCode = code;
    seenSub = subCode;
  };
  EXPECT_EQ(StoreTruncInt32(-1e10, "Y"), 0);
  EXPECT_EQ(StoreTruncInt64(1e30, "Y", 1299), 0);
  EngineErrorProc = saved;
  EXPECT_EQ(seenCode, 1011);
  EXPECT_EQ(seenSub, 1299);
}

// ---------------------------------------------------------------------------

TEST(FileNameRoutines, DefaultExtension) {
  EXPECT_EQ(DefaultExtension("INFO", ".DBF"), "INFO.DBF");
  EXPECT_EQ(DefaultExtension("INFO", "DBF"), "INFO.DBF");
  EXPECT_EQ(DefaultExtension("INFO.TMP", ".DBF"), "INFO.TMP");
  EXPECT_EQ(DefaultExtension("/data.d/INFO", ".DBF"), "/data.d/INFO.DBF");
  EXPECT_EQ(DefaultExtension("/data/INFO.", ".DBF"), "/data/INFO.");
  EXPECT_EQ(DefaultExtension("INFO", ""), "INFO");
}

TEST(FileNameRoutines, NameWithoutExtension) {
  EXPECT_EQ(NameWithoutExtension("/data/INFO.DBF"), "INFO");
  EXPECT_EQ(NameWithoutExtension("His1.dbf"), "His1");
  EXPECT_EQ(NameWithoutExtension("/a.b/c.d.e"), "c.d");
  EXPECT_EQ(NameWithoutExtension("/data.d/NAME"), "NAME");
  EXPECT_EQ(NameWithoutExtension("/data/"), "");
}

TEST(FileNameRoutines, FullFileNameIsAbsolute) {
  testing::TempDir dir;
  testing::WriteFileBytes(dir.File("INFO.DBF"), "x");
  std::string full = FullFileName("info.dbf");
  EXPECT_EQ(full, dir.File("INFO.DBF"));
  EXPECT_EQ(FullFileName("new.dbf"), dir.File("new.dbf"));
}

TEST(TextRoutines, PadBufferStaysInsideItsBuffer) {
  char buffer[8] = "AB";
  std::memset(buffer + 3, '#', 5);
  PadBuffer(buffer, 6, '.', 10);
  EXPECT_STREQ(buffer, "AB...");
  EXPECT_EQ(buffer[6], '#');
  char full[4] = {'w', 'x', 'y', 'z'};  // no terminator at all
  PadBuffer(full, sizeof full, ' ', 4);
  EXPECT_STREQ(full, "wxy");
  char shortPad[8] = "ABCD";
  PadBuffer(shortPad, sizeof shortPad, '-', 2);
  EXPECT_STREQ(shortPad, "ABCD");
  PadBuffer(nullptr, 5, ' ', 3);
  std::string text = "AB";
  PadBuffer(text, '*', 5);
  EXPECT_EQ(text, "AB***");
  PadBuffer(text, '*', 1);
  EXPECT_EQ(text, "AB***");
}

TEST(TextRoutines, TrimBuffer) {
  char buffer[] = "AB  C   ";
  TrimBuffer(buffer);
  EXPECT_STREQ(buffer, "AB  C");
  char blanks[] = "   ";
  TrimBuffer(blanks);
  EXPECT_STREQ(blanks, "");
  TrimBuffer(static_cast<char*>(nullptr));
  std::string text = "x \t ";
  TrimBuffer(text);
  EXPECT_EQ(text, "x \t");
}

TEST(TextRoutines, UpperBufferUsesTheActiveCodePage) {
  char buffer[] = "abc-z";
  UpperBuffer(buffer, 3);
  EXPECT_STREQ(buffer, "ABC-z");
  UpperBuffer(nullptr, 3);
}

TEST(TextRoutines, CompareTextIsBytewiseUnsigned) {
  EXPECT_EQ(CompareText("ABC", "ABC"), 0);
  EXPECT_EQ(CompareText("ABC", "ABD"), -1);
  EXPECT_EQ(CompareText("ABD", "ABC"), 1);
  EXPECT_EQ(CompareText("AB", "ABC"), -1);
  EXPECT_EQ(CompareText("abc", "ABC"), 1);
  EXPECT_EQ(CompareText("\xE0", "z"), 1);
  EXPECT_EQ(CompareText(static_cast<const char*>(nullptr), ""), 0);
  EXPECT_EQ(CompareText(nullptr, "a"), -1);
  EXPECT_EQ(CompareText(std::string("a\0b", 3), std::string("a\0c", 3)), -1);
}

TEST(TextRoutines, CompareTextNoCaseFoldsOnlyAsciiLetters) {
  EXPECT_EQ(CompareTextNoCase("info.dbf", "INFO.DBF"), 0);
  EXPECT_EQ(CompareTextNoCase("abc", "ABD"), -1);
  // a is folded to A (0x41) before comparing, so it sorts below [ (0x5B).
  EXPECT_EQ(CompareTextNoCase("[", "a"), 1);
  EXPECT_EQ(CompareText("[", "a"), -1);
  EXPECT_EQ(CompareTextNoCase("\xE0", "\xC0"), 1);  // Cyrillic is not folded
  EXPECT_EQ(CompareTextNoCase(nullptr, nullptr), 0);
}

}  // namespace
}  // namespace velorin
