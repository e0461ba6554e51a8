#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "engine/vr6_Date.h"
#include "engine/vr6_glbl.h"
#include "platform/convert_error.h"

namespace velorin {
namespace {

using Kind = TvrVariantKind;

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

TvrVariant Text(std::string_view text) {
  TvrVariant v;
  v.SetText(text);
  return v;
}

TvrVariant Raw(std::string_view bytes) {
  TvrVariant v;
  v.SetBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
  return v;
}

TvrVariant Number(double x) {
  TvrVariant v;
  v.SetFloat(x);
  return v;
}

TvrVariant Date(int32_t n) {
  TvrVariant v;
  v.SetDate(n);
  return v;
}

TvrVariant Logical(bool b) {
  TvrVariant v;
  v.SetLogical(b);
  return v;
}

std::string MismatchMessage(const TvrVariant& a, const TvrVariant& b) {
  int32_t position = -1;
  try {
    a.Compare(&b, &position, 0);
  } catch (const EVelorinError& e) {
    return e.what();
  }
  return "(nothing raised)";
}

// ---------------------------------------------------------------------------

TEST(VariantStorage, ConstructionWithCapacity) {
  TvrVariant none;
  EXPECT_EQ(none.Data(), nullptr);
  EXPECT_EQ(none.Capacity(), 0);
  EXPECT_EQ(none.Length(), 0);
  EXPECT_EQ(none.Kind(), Kind::kNone);
  EXPECT_TRUE(none.IsEmpty());
  TvrVariant sized(65535);
  ASSERT_NE(sized.Data(), nullptr);
  EXPECT_EQ(sized.Capacity(), 65535);
  EXPECT_EQ(sized.Length(), 0);
  EXPECT_TRUE(sized.IsEmpty());
  EXPECT_EQ(sized.Kind(), Kind::kNone);
}

TEST(VariantStorage, ReserveGrowsToExactlyNAndKeepsBytes) {
  TvrVariant v;
  v.SetText("abc");
  EXPECT_EQ(v.Capacity(), 3);
  v.Reserve(10);
  EXPECT_EQ(v.Capacity(), 10);
  EXPECT_EQ(v.Length(), 10);
  EXPECT_EQ(v.Kind(), Kind::kText);
  EXPECT_EQ(v.Bytes(), std::string("abc\0\0\0\0\0\0\0", 10));
  const char* buffer = v.Data();
  v.Reserve(2);  // smaller: same buffer, same capacity
  EXPECT_EQ(v.Data(), buffer);
  EXPECT_EQ(v.Capacity(), 10);
  EXPECT_EQ(v.Length(), 2);
  v.Reserve(-4);  // never a negative length
  EXPECT_EQ(v.Length(), 0);
  EXPECT_EQ(v.Capacity(), 10);
  EXPECT_TRUE(v.IsEmpty());
}

TEST(VariantStorage, ClearAndAssign) {
  TvrVariant source(16);
  source.SetText("hello");
  TvrVariant copy;
  EXPECT_TRUE(copy.Assign(&source));
  EXPECT_EQ(copy.Capacity(), 16);
  EXPECT_EQ(copy.Length(), 5);
  EXPECT_EQ(copy.Kind(), Kind::kText);
  EXPECT_EQ(copy.Bytes(), "hello");
  EXPECT_NE(copy.Data(), source.Data());
  EXPECT_FALSE(copy.Assign(nullptr));
  EXPECT_EQ(copy.Kind(), Kind::kNone);
  EXPECT_EQ(copy.Data(), nullptr);
  EXPECT_TRUE(source.Assign(&source));  // assigning itself keeps the value
  EXPECT_EQ(source.Bytes(), "hello");
  source.Clear();
  EXPECT_EQ(source.Data(), nullptr);
  EXPECT_EQ(source.Capacity(), 0);
  EXPECT_EQ(source.Length(), 0);
  EXPECT_EQ(source.Kind(), Kind::kNone);
}

TEST(VariantStorage, CopyAndMove) {
  TvrVariant a = Text("key");
  TvrVariant b = a;
  EXPECT_EQ(b.Bytes(), "key");
  TvrVariant c = std::move(a);
  EXPECT_EQ(c.Bytes(), "key");
  EXPECT_EQ(a.Kind(), Kind::kNone);  // NOLINT(bugprone-use-after-move): moved-from is cleared
  EXPECT_EQ(a.Capacity(), 0);
  b = Number(2.0);
  EXPECT_EQ(b.Kind(), Kind::kNumeric);
}

TEST(VariantLayout, NumericIsEightLittleEndianBytes) {
  EXPECT_EQ(Number(1.0).Bytes(), Bytes({0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
  EXPECT_EQ(Number(-2.5).Bytes(), Bytes({0, 0, 0, 0, 0, 0, 0x04, 0xC0}));
  EXPECT_EQ(Number(1.0).Kind(), Kind::kNumeric);
}

TEST(VariantLayout, DateIsFourLittleEndianBytes) {
  EXPECT_EQ(Date(2444240).Bytes(), Bytes({0xD0, 0x4B, 0x25, 0x00}));
  EXPECT_EQ(Date(-1).Bytes(), Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Date(0).Kind(), Kind::kDate);
}

TEST(VariantLayout, LogicalTextAndRaw) {
  EXPECT_EQ(Logical(true).Bytes(), Bytes({1}));
  EXPECT_EQ(Logical(false).Bytes(), Bytes({0}));
  TvrVariant t;
  t.SetText(static_cast<const char*>("zero\0terminated"));
  EXPECT_EQ(t.Bytes(), "zero");
  t.SetText(std::string_view("counted\0text", 12));
  EXPECT_EQ(t.Length(), 12);
  t.SetText(static_cast<const char*>(nullptr));
  EXPECT_EQ(t.Kind(), Kind::kText);
  EXPECT_TRUE(t.IsEmpty());
  TvrVariant r = Raw(Bytes({0, 1, 2}));
  EXPECT_EQ(r.Kind(), Kind::kRaw);
  EXPECT_EQ(r.Length(), 3);
  r.SetBytes("xy", -3);
  EXPECT_EQ(r.Length(), 0);
  EXPECT_EQ(r.Kind(), Kind::kRaw);
}

TEST(VariantLayout, SettersReuseTheBufferWhenItIsLargeEnough) {
  TvrVariant v(32);
  const char* buffer = v.Data();
  v.SetText("abc");
  v.SetFloat(1.5);
  v.SetDate(7);
  EXPECT_EQ(v.Data(), buffer);
  EXPECT_EQ(v.Capacity(), 32);
  EXPECT_EQ(v.Length(), 4);
}

TEST(VariantLayout, AppendBytesMakesRaw) {
  TvrVariant key = Text("AB");
  unsigned char recordNumber[4] = {0x10, 0, 0, 0};
  key.AppendBytes(recordNumber, 4);
  EXPECT_EQ(key.Kind(), Kind::kRaw);
  EXPECT_EQ(key.Bytes(), Bytes({'A', 'B', 0x10, 0, 0, 0}));
  key.AppendBytes(nullptr, 4);
  key.AppendBytes(recordNumber, 0);
  key.AppendBytes(recordNumber, -1);
  EXPECT_EQ(key.Length(), 6);
  // From its own buffer, which moves while it grows.
  TvrVariant self = Text("xyz");
  self.AppendBytes(self.Data(), self.Length());
  EXPECT_EQ(self.Bytes(), "xyzxyz");
  self.SetBytes(self.Data() + 1, 3);
  EXPECT_EQ(self.Bytes(), "yzx");
  TvrVariant none;
  none.AppendBytes("q", 1);
  EXPECT_EQ(none.Kind(), Kind::kRaw);
  EXPECT_EQ(none.Bytes(), "q");
}

// ---------------------------------------------------------------------------

TEST(VariantConversions, TextValues) {
  EXPECT_TRUE(Text("y").AsBoolean());
  EXPECT_TRUE(Text("Jawohl").AsBoolean());
  EXPECT_TRUE(Text("T").AsBoolean());
  EXPECT_FALSE(Text("N").AsBoolean());
  EXPECT_FALSE(Text("x").AsBoolean());
  EXPECT_FALSE(Text(" T").AsBoolean());
  EXPECT_EQ(Text("20261207").AsDate(), 2461382);
  EXPECT_EQ(Text("        ").AsDate(), 0);
  EXPECT_EQ(Text("12.5").AsFloat(), 12.5);
  EXPECT_EQ(Text("   -7   ").AsFloat(), -7.0);
  EXPECT_EQ(Text("abc").AsString(), "abc");
  EXPECT_THROW(Text("1,5").AsFloat(), platform::EConvertError);
  EXPECT_THROW(Text("   ").AsFloat(), platform::EConvertError);
  EXPECT_THROW(Text("31.02.2026").AsDate(), platform::EConvertError);
}

TEST(VariantConversions, NumericValues) {
  EXPECT_FALSE(Number(0.5).AsBoolean());
  EXPECT_FALSE(Number(-0.9).AsBoolean());
  EXPECT_TRUE(Number(-1.5).AsBoolean());
  EXPECT_TRUE(Number(1e300).AsBoolean());
  EXPECT_FALSE(Number(std::nan("")).AsBoolean());
  EXPECT_EQ(Number(2444240.7).AsDate(), 2444240);
  EXPECT_EQ(Number(0.0).AsDate(), 0);
  EXPECT_EQ(Number(-5.0).AsDate(), 0);
  EXPECT_EQ(Number(1e10).AsDate(), 0);
  EXPECT_EQ(Number(1e100).AsDate(), 0);
  EXPECT_EQ(Number(std::nan("")).AsDate(), 0);
  EXPECT_EQ(Number(-std::numeric_limits<double>::infinity()).AsDate(), 0);
  EXPECT_EQ(Number(2.5).AsFloat(), 2.5);
  EXPECT_EQ(Number(2.5).AsString(), "2.5");
  EXPECT_EQ(Number(-17.0).AsString(), "-17");
  EXPECT_EQ(Number(0.1 + 0.2).AsString(), "0.3");
  EXPECT_EQ(Number(1e20).AsString(), "1E20");
}

TEST(VariantConversions, DateValues) {
  EXPECT_FALSE(Date(2444240).AsBoolean());
  EXPECT_EQ(Date(2444240).AsDate(), 2444240);
  EXPECT_EQ(Date(-3).AsDate(), -3);
  EXPECT_EQ(Date(2444240).AsFloat(), 2444240.0);
  EXPECT_EQ(Date(2461382).AsString(), DBFDate().DayNumberToDisplay(2461382));
  EXPECT_EQ(Date(0).AsString(), "");
}

TEST(VariantConversions, LogicalValues) {
  EXPECT_TRUE(Logical(true).AsBoolean());
  EXPECT_FALSE(Logical(false).AsBoolean());
  EXPECT_EQ(Logical(true).AsDate(), 0);
  EXPECT_EQ(Logical(true).AsFloat(), 1.0);
  EXPECT_EQ(Logical(false).AsFloat(), 0.0);
  EXPECT_EQ(Logical(true).AsString(), "T");
  EXPECT_EQ(Logical(false).AsString(), "F");
}

TEST(VariantConversions, RawValues) {
  TvrVariant raw = Raw(Bytes({0xD0, 0x4B, 0x25, 0x00, 0, 0, 0xF0, 0x3F}));
  EXPECT_TRUE(raw.AsBoolean());
  EXPECT_EQ(raw.AsDate(), 2444240);
  EXPECT_FALSE(Raw(Bytes({0, 1})).AsBoolean());
  EXPECT_EQ(Raw(Bytes({0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0x55})).AsFloat(), 1.0);  // first 8 bytes
  EXPECT_EQ(Raw("a\0b").AsString(), std::string("a"));
  EXPECT_EQ(Raw(std::string_view("a\0b", 3)).AsString(), std::string("a\0b", 3));
}

TEST(VariantConversions, ShortRawValuesReadMissingBytesAsZero) {
  // Three bytes as a day number: the fourth, missing, byte is 0.
  EXPECT_EQ(Raw(Bytes({0xD0, 0x4B, 0x25})).AsDate(), 2444240);
  EXPECT_EQ(Raw(Bytes({0x01})).AsDate(), 1);
  // Two bytes 0xF0 0x3F as a double: the six low bytes are missing -> tiny subnormal,
  // never a read past the value.
  double x = Raw(Bytes({0xF0, 0x3F})).AsFloat();
  uint64_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  EXPECT_EQ(bits, 0x3FF0u);
  // A numeric shortened by Reserve reads the same way.
  TvrVariant shortened = Number(1.0);
  shortened.Reserve(7);
  EXPECT_EQ(shortened.Kind(), Kind::kNumeric);
  x = shortened.AsFloat();
  std::memcpy(&bits, &x, sizeof bits);
  EXPECT_EQ(bits, 0x00F0000000000000u);  // 1.0 is 0x3FF0000000000000: the top byte is gone
  TvrVariant date = Date(2444240);
  date.Reserve(2);
  EXPECT_EQ(date.AsDate(), 0x4BD0);
}

TEST(VariantConversions, EmptyAndNoneGiveNothing) {
  TvrVariant none;
  TvrVariant emptyText = Text("");
  TvrVariant emptyRaw = Raw("");
  TvrVariant shortenedNumber = Number(5.0);
  shortenedNumber.Reserve(0);
  for (const TvrVariant* v : {&none, &emptyText, &emptyRaw, &shortenedNumber}) {
    EXPECT_FALSE(v->AsBoolean());
    EXPECT_EQ(v->AsDate(), 0);
    EXPECT_EQ(v->AsFloat(), 0.0);
    EXPECT_EQ(v->AsString(), "");
  }
  TvrVariant capacityOnly(8);
  EXPECT_EQ(capacityOnly.AsString(), "");
}

TEST(VariantConversions, AsCTextNeverWritesPastItsBuffer) {
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  const char* result = Text("abcdefghijkl").AsCText(buffer, 5);
  EXPECT_EQ(result, buffer);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(buffer[5], '#');
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_STREQ(Logical(true).AsCText(buffer, sizeof buffer), "T");
  EXPECT_STREQ(Number(2.5).AsCText(buffer, sizeof buffer), "2.5");
  // Empty value: nothing written, a shared empty text returned.
  std::memset(buffer, '#', sizeof buffer);
  const char* empty = TvrVariant().AsCText(buffer, sizeof buffer);
  EXPECT_NE(empty, buffer);
  EXPECT_STREQ(empty, "");
  EXPECT_EQ(buffer[0], '#');
  EXPECT_STREQ(Text("abc").AsCText(buffer, 0), "");
  EXPECT_EQ(buffer[0], '#');
  EXPECT_STREQ(Text("abc").AsCText(buffer, 1), "");
  EXPECT_EQ(buffer[0], '\0');
}

TEST(VariantConversions, CopyBytes) {
  TvrVariant v = Text("abcdef");
  char out[8] = "#######";
  EXPECT_EQ(v.CopyBytes(out, 3), out);
  EXPECT_EQ(std::string(out, 7), "abc####");
  EXPECT_EQ(v.CopyBytes(out, 100), out);  // at most Length() bytes
  EXPECT_EQ(std::string(out, 7), "abcdef#");
  EXPECT_EQ(TvrVariant().CopyBytes(out, 3), nullptr);
  EXPECT_EQ(v.CopyBytes(out, 0), nullptr);
  EXPECT_EQ(v.CopyBytes(out, -1), nullptr);
}

// ---------------------------------------------------------------------------

TEST(VariantTextEditing, PadText) {
  TvrVariant v = Text("AB");
  v.PadText(10);
  EXPECT_EQ(v.Bytes(), "AB        ");
  EXPECT_EQ(v.Kind(), Kind::kText);
  v.PadText(1);
  EXPECT_EQ(v.Bytes(), "AB        ");
  TvrVariant s = Text("AB");
  s.PadText(1);
  EXPECT_EQ(s.Bytes(), "AB");
  s.PadText(-5);
  EXPECT_EQ(s.Bytes(), "AB");
  TvrVariant raw = Raw("AB");
  raw.PadText(10);
  EXPECT_EQ(raw.Bytes(), "AB");
}

TEST(VariantTextEditing, TrimText) {
  TvrVariant v = Text("AB   ");
  v.TrimText();
  EXPECT_EQ(v.Bytes(), "AB");
  TvrVariant blank = Text("    ");
  blank.TrimText();
  EXPECT_TRUE(blank.IsEmpty());
  EXPECT_EQ(blank.Kind(), Kind::kText);
  TvrVariant raw = Raw("AB  ");
  raw.TrimText();
  EXPECT_EQ(raw.Length(), 4);
}

TEST(VariantTextEditing, UpperTextInTheActiveCodePage) {
  TvrVariant v = Text("abc xyz");
  v.UpperText();
  EXPECT_EQ(v.Bytes(), "ABC XYZ");
  TvrVariant raw = Raw("abc");
  raw.UpperText();
  EXPECT_EQ(raw.Bytes(), "abc");
  // Cyrillic as the active code page has it; under the default 1251 ё (0xB8) -> Ё.
  TvrVariant cyrillic = Text(Bytes({0xB8, 0xE0}));
  cyrillic.UpperText();
  std::string expected = Bytes({0xB8, 0xE0});
  UpperBuffer(expected.data(), expected.size());
  EXPECT_EQ(cyrillic.Bytes(), expected);
}

// ---------------------------------------------------------------------------

// Compare with the position it reports.
struct Outcome {
  int result;
  int32_t position;
  friend bool operator==(const Outcome&, const Outcome&) = default;
};
std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  return os << "{" << o.result << ", " << o.position << "}";
}
Outcome CompareOf(const TvrVariant& a, const TvrVariant& b, int prefixResult = 0) {
  int32_t position = -99;
  int result = a.Compare(&b, &position, prefixResult);
  return {result, position};
}

TEST(VariantCompare, TextPrefixGivesTheCallersResult) {
  for (int prefixResult : {-1, 0, 1}) {
    EXPECT_EQ(CompareOf(Text("AB"), Text("ABC"), prefixResult), (Outcome{prefixResult, 3}));
  }
  // The longer one is not a prefix: plain length order.
  EXPECT_EQ(CompareOf(Text("ABC"), Text("AB"), -1), (Outcome{1, 3}));
  // The result is reduced to -1, 0 or 1.
  EXPECT_EQ(CompareOf(Text("AB"), Text("ABC"), 7), (Outcome{1, 3}));
  EXPECT_EQ(CompareOf(Text("AB"), Text("ABC"), -7), (Outcome{-1, 3}));
}

TEST(VariantCompare, TextBytesAreUnsigned) {
  EXPECT_EQ(CompareOf(Text("ABD"), Text("ABC")), (Outcome{1, 3}));
  EXPECT_EQ(CompareOf(Text("ABC"), Text("ABD")), (Outcome{-1, 3}));
  EXPECT_EQ(CompareOf(Text("ABC"), Text("ABC")), (Outcome{0, 4}));
  EXPECT_EQ(CompareOf(Text("B"), Text("ABC")), (Outcome{1, 1}));
  EXPECT_EQ(CompareOf(Text(Bytes({0xE0})), Text("z")), (Outcome{1, 1}));  // 0xE0 above ASCII
  EXPECT_EQ(CompareOf(Text(Bytes({'a', 0x00})), Text(Bytes({'a', 0x01}))), (Outcome{-1, 2}));
}

TEST(VariantCompare, RawTakesTheOtherKind) {
  // Text against raw compares as text, prefix rule included.
  EXPECT_EQ(CompareOf(Text("AB"), Raw("ABC"), -1), (Outcome{-1, 3}));
  EXPECT_EQ(CompareOf(Raw("AB"), Text("ABC"), 1), (Outcome{1, 3}));
  EXPECT_EQ(CompareOf(Raw("ABD"), Text("ABC")), (Outcome{1, 3}));
  // Two raw values: a shorter equal start is simply smaller.
  EXPECT_EQ(CompareOf(Raw("AB"), Raw("ABC"), 1), (Outcome{-1, 3}));
  // Raw against numeric reads the raw bytes as a double.
  EXPECT_EQ(CompareOf(Raw(Number(2.0).Bytes()), Number(3.0)), (Outcome{-1, 0}));
  EXPECT_EQ(CompareOf(Number(3.0), Raw(Number(3.0).Bytes())), (Outcome{0, 0}));
  // Raw against a date reads four bytes, even from a shorter raw value.
  EXPECT_EQ(CompareOf(Raw(Bytes({0xD0, 0x4B, 0x25})), Date(2444240)), (Outcome{0, 0}));
  EXPECT_EQ(CompareOf(Logical(true), Raw(Bytes({0}))), (Outcome{1, 0}));
}

TEST(VariantCompare, MixedKindsRaise) {
  EXPECT_EQ(MismatchMessage(Text("1"), Number(1.0)), "Variant types mismatch for compare");
  EXPECT_EQ(MismatchMessage(Number(1.0), Date(1)), "Variant types mismatch for compare");
  EXPECT_EQ(MismatchMessage(Logical(true), Text("T")), "Variant types mismatch for compare");
  EXPECT_EQ(MismatchMessage(TvrVariant(), TvrVariant()), "Variant types mismatch for compare");
  EXPECT_EQ(MismatchMessage(TvrVariant(), Text("")), "Variant types mismatch for compare");
  EXPECT_EQ(MismatchMessage(Raw("a"), TvrVariant()), "Variant types mismatch for compare");
}

TEST(VariantCompare, EmptyValuesSortFirst) {
  EXPECT_EQ(CompareOf(Text(""), Text("")), (Outcome{0, 0}));
  EXPECT_EQ(CompareOf(Text(""), Text("A"), 1), (Outcome{-1, 0}));
  EXPECT_EQ(CompareOf(Text("A"), Text("")), (Outcome{1, 0}));
  TvrVariant emptyNumber = Number(5.0);
  emptyNumber.Reserve(0);
  EXPECT_EQ(CompareOf(emptyNumber, Number(-5.0)), (Outcome{-1, 0}));
}

TEST(VariantCompare, NoOtherValue) {
  int32_t position = -1;
  EXPECT_EQ(Text("A").Compare(nullptr, &position, 0), 1);
  EXPECT_EQ(position, 0);
  EXPECT_EQ(TvrVariant().Compare(nullptr, nullptr, 0), 1);
  TvrVariant b = Text("B");
  EXPECT_EQ(Text("A").Compare(&b, nullptr, 0), -1);  // the position is optional
}

TEST(VariantCompare, NumbersDatesAndLogicals) {
  EXPECT_EQ(CompareOf(Number(-2.0), Number(1.0)), (Outcome{-1, 0}));
  EXPECT_EQ(CompareOf(Number(1e300), Number(1.0)), (Outcome{1, 0}));
  EXPECT_EQ(CompareOf(Number(0.0), Number(-0.0)), (Outcome{0, 0}));
  double nan = std::nan("");
  EXPECT_EQ(CompareOf(Number(nan), Number(nan)), (Outcome{0, 0}));
  EXPECT_EQ(CompareOf(Number(nan), Number(-1e300)), (Outcome{-1, 0}));
  EXPECT_EQ(CompareOf(Number(-1e300), Number(nan)), (Outcome{1, 0}));
  EXPECT_EQ(CompareOf(Date(-5), Date(3)), (Outcome{-1, 0}));  // signed day numbers
  EXPECT_EQ(CompareOf(Date(2461382), Date(2444240)), (Outcome{1, 0}));
  EXPECT_EQ(CompareOf(Logical(true), Logical(false)), (Outcome{1, 0}));
  EXPECT_EQ(CompareOf(Logical(false), Logical(true)), (Outcome{-1, 0}));
  EXPECT_EQ(CompareOf(Logical(true), Logical(true)), (Outcome{0, 0}));
  // Two different true bytes are both true: equal, in either order.
  TvrVariant two = Raw(Bytes({2}));
  two.SetKind(Kind::kLogical);
  EXPECT_EQ(CompareOf(two, Logical(true)), (Outcome{0, 0}));
  EXPECT_EQ(CompareOf(Logical(true), two), (Outcome{0, 0}));
}

}  // namespace
}  // namespace velorin
