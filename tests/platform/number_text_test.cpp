#include "platform/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "platform/convert_error.h"

namespace velorin::platform {
namespace {

double Read(std::string_view text) {
  double value = -12345.0;
  EXPECT_TRUE(TryTextToFloat(text, &value)) << text;
  return value;
}

bool Refused(std::string_view text) {
  double value = 0.0;
  return !TryTextToFloat(text, &value);
}

TEST(StandardNumberReading, DecimalPointAndBlanks) {
  EXPECT_EQ(Read("12.5"), 12.5);
  EXPECT_EQ(Read("   12.5"), 12.5);
  EXPECT_EQ(Read("12.5   "), 12.5);
  EXPECT_EQ(Read("-0.25"), -0.25);
  EXPECT_EQ(Read("+7"), 7.0);
  EXPECT_EQ(Read(".5"), 0.5);
  EXPECT_EQ(Read("-.5"), -0.5);
  EXPECT_EQ(Read("5."), 5.0);
  EXPECT_EQ(Read("1e3"), 1000.0);
  EXPECT_EQ(Read("1.5E-2"), 0.015);
  EXPECT_EQ(Read("2E+2"), 200.0);
  EXPECT_EQ(Read("000123"), 123.0);
  EXPECT_EQ(Read("1e-400"), 0.0);  // too small for a double: zero
  EXPECT_EQ(Read("0.000000000000000000001e-390"), 0.0);
  EXPECT_EQ(Read("123456789012345678"), 123456789012345678.0);
}

TEST(StandardNumberReading, EverythingElseIsAConversionError) {
  for (const char* bad : {"", "   ", "1,5", "1.2.3", "12a", "a12", "1 2", "--1", "+-1", "-", ".",
                          "e5", "1e", "1e+", "inf", "nan", "0x10", "1e400", "-1e400", "1..", "\t1"}) {
    EXPECT_TRUE(Refused(bad)) << bad;
  }
  try {
    TextToFloat("1,2x");
    FAIL() << "nothing raised";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'1,2x' is not a valid floating point value");
  }
}

TEST(LocaleNumberReading, AcceptsPointAndTheSeparator) {
  EXPECT_EQ(LocaleTextToFloat("2,5", ','), 2.5);
  EXPECT_EQ(LocaleTextToFloat("2.5", ','), 2.5);
  EXPECT_EQ(LocaleTextToFloat(" -1,25e1 ", ','), -12.5);
  double value = 0.0;
  EXPECT_FALSE(TryLocaleTextToFloat("1,2,3", ',', &value));
  EXPECT_FALSE(TryLocaleTextToFloat("1,2.3", ',', &value));
  EXPECT_FALSE(TryLocaleTextToFloat("2,5", '.', &value));
  EXPECT_THROW(LocaleTextToFloat("x", ','), EConvertError);
}

TEST(NumberWriting, ShortestTextAtFifteenDigits) {
  EXPECT_EQ(FloatToText(0.0), "0");
  EXPECT_EQ(FloatToText(-0.0), "0");
  EXPECT_EQ(FloatToText(2.5), "2.5");
  EXPECT_EQ(FloatToText(-17.0), "-17");
  EXPECT_EQ(FloatToText(0.1), "0.1");
  EXPECT_EQ(FloatToText(0.1 + 0.2), "0.3");
  EXPECT_EQ(FloatToText(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(FloatToText(2444240.0), "2444240");
  EXPECT_EQ(FloatToText(123456789012345.0), "123456789012345");
  EXPECT_EQ(FloatToText(1e15), "1E15");
  EXPECT_EQ(FloatToText(1.5e-7), "1.5E-7");
  EXPECT_EQ(FloatToText(0.0001), "0.0001");
  EXPECT_EQ(FloatToText(-2.5e100), "-2.5E100");
  EXPECT_EQ(FloatToText(std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FloatToText(std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(FloatToText(-std::numeric_limits<double>::infinity()), "-INF");
}

TEST(NumberWriting, TextReadsBack) {
  for (double value : {0.5, -3.25, 1e15, 1.5e-7, 12345.678, 1e-300, 9.87654321e200}) {
    EXPECT_EQ(TextToFloat(FloatToText(value)), value) << value;
  }
}

// Short decimals take a quicker road than std::from_chars; the value must be
// the same to the last bit.
TEST(NumberReading, ShortDecimalsReadExactlyAsFromChars) {
  std::mt19937_64 random(20261208);
  for (int i = 0; i < 20000; ++i) {
    int digits = 1 + static_cast<int>(random() % 15);
    std::string text;
    for (int d = 0; d < digits; ++d) text += static_cast<char>('0' + random() % 10);
    int point = static_cast<int>(random() % (digits + 1));
    if (point < digits) text.insert(static_cast<size_t>(point), ".");
    if (random() % 2) text.insert(0, "-");
    double expected = 0;
    // from_chars wants a digit before the point.
    std::string plain = text;
    if (plain.front() == '.' || plain.rfind("-.", 0) == 0) plain.insert(plain.find('.'), "0");
    std::from_chars(plain.data(), plain.data() + plain.size(), expected);
    double value = 0;
    ASSERT_TRUE(TryTextToFloat("  " + text + " ", &value)) << text;
    ASSERT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << text;
  }
}

}  // namespace
}  // namespace velorin::platform
