#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace velorin::platform {
namespace {

// Expected bytes are spelled out here from the published code page charts, so the
// tests do not check the iconv-built tables against themselves.
const std::string kUpper1251 =
    "\xC0\xC1\xC2\xC3\xC4\xC5\xA8\xC6\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF"
    "\xD0\xD1\xD2\xD3\xD4\xD5\xD6\xD7\xD8\xD9\xDA\xDB\xDC\xDD\xDE\xDF";
const std::string kLower1251 =
    "\xE0\xE1\xE2\xE3\xE4\xE5\xB8\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF"
    "\xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF7\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF";
const std::string kUpper866 =
    "\x80\x81\x82\x83\x84\x85\xF0\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F"
    "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F";
const std::string kLower866 =
    "\xA0\xA1\xA2\xA3\xA4\xA5\xF1\xA6\xA7\xA8\xA9\xAA\xAB\xAC\xAD\xAE\xAF"
    "\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF";
const std::string kUpperUtf8 = "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";
const std::string kLowerUtf8 = "абвгдеёжзийклмнопрстуфхцчшщъыьэюя";

std::string Convert(const std::string& text, int from, int to) {
  std::string out(text.size(), '\0');
  ConvertBuffer(ConversionTable(from, to), text.data(), out.data(), text.size());
  return out;
}

std::string Upper(std::string text, int codePage) {
  UpperBuffer(text.data(), text.size(), codePage);
  return text;
}

std::string Lower(std::string text, int codePage) {
  LowerBuffer(text.data(), text.size(), codePage);
  return text;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

TEST(CodePageSupport, SingleByteAsciiCompatibleCodePagesOnly) {
  EXPECT_TRUE(IsSupportedCodePage(1251));
  EXPECT_TRUE(IsSupportedCodePage(866));
  EXPECT_TRUE(IsSupportedCodePage(1252));
  EXPECT_TRUE(IsSupportedCodePage(850));
  EXPECT_TRUE(IsSupportedCodePage(20866));  // KOI8-R
  EXPECT_FALSE(IsSupportedCodePage(932));    // multi-byte
  EXPECT_FALSE(IsSupportedCodePage(65001));  // UTF-8
  EXPECT_FALSE(IsSupportedCodePage(37));     // EBCDIC: not ASCII below 0x80
  EXPECT_FALSE(IsSupportedCodePage(12345));
  EXPECT_FALSE(IsSupportedCodePage(-1));
  EXPECT_FALSE(IsSupportedCodePage(kNoCodePage));
  EXPECT_THROW(ConversionTable(1251, 12345), std::invalid_argument);
  EXPECT_THROW(CaseTableFor(932), std::invalid_argument);
  EXPECT_THROW(ToUtf8("x", 12345), std::invalid_argument);
}

TEST(CodePageTables, UnicodeOfKnownBytes) {
  const auto& cp1251 = UnicodeTable(1251);
  EXPECT_EQ(cp1251[0xC0], U'А');
  EXPECT_EQ(cp1251[0xA8], U'Ё');
  EXPECT_EQ(cp1251[0xB9], U'№');
  EXPECT_EQ(cp1251[0x98], kNoCharacter);  // the one hole in 1251
  const auto& cp866 = UnicodeTable(866);
  EXPECT_EQ(cp866[0x80], U'А');
  EXPECT_EQ(cp866[0xF0], U'Ё');
  EXPECT_EQ(cp866[0xC4], U'─');
  for (int b = 0; b < 0x80; ++b) {
    EXPECT_EQ(cp1251[b], static_cast<char32_t>(b));
    EXPECT_EQ(cp866[b], static_cast<char32_t>(b));
  }
}

TEST(OemAnsiConversion, RussianAlphabetMapsBetweenTheCodePages) {
  EXPECT_EQ(Convert(kUpper1251, 1251, 866), kUpper866);
  EXPECT_EQ(Convert(kLower1251, 1251, 866), kLower866);
  EXPECT_EQ(Convert(kUpper866, 866, 1251), kUpper1251);
  EXPECT_EQ(Convert(kLower866, 866, 1251), kLower1251);
}

TEST(OemAnsiConversion, EveryCyrillicLetterOfBothCodePagesRoundTrips) {
  const auto& ansi = UnicodeTable(1251);
  const auto& oem = UnicodeTable(866);
  const ByteTable& toOem = ConversionTable(1251, 866);
  const ByteTable& toAnsi = ConversionTable(866, 1251);
  int shared = 0;
  for (int a = 0x80; a < 0x100; ++a) {
    char32_t c = ansi[a];
    bool cyrillic = c >= 0x400 && c <= 0x4FF;
    if (!cyrillic) continue;
    bool inOem = false;
    for (int o = 0; o < 256; ++o) {
      if (oem[o] == c) {
        inOem = true;
        EXPECT_EQ(toOem[a], o) << "1251 byte " << a;
        EXPECT_EQ(toAnsi[o], a) << "866 byte " << o;
      }
    }
    if (inOem) ++shared;
  }
  // А-я (64), Ё ё Є є Ї ї Ў ў.
  EXPECT_EQ(shared, 72);
  // And the other way: every Cyrillic letter of 866 is in 1251.
  for (int o = 0x80; o < 0x100; ++o) {
    if (oem[o] >= 0x400 && oem[o] <= 0x4FF) {
      EXPECT_EQ(ansi[toAnsi[o]], oem[o]) << o;
    }
  }
}

TEST(OemAnsiConversion, MissingCharactersTakeBestFitOrQuestionMark) {
  // « » and typographic quotes become plain quotes; dashes a hyphen.
  EXPECT_EQ(Convert(Bytes({0xAB, 0xBB, 0x93, 0x94, 0x84}), 1251, 866), "\"\"\"\"\"");
  EXPECT_EQ(Convert(Bytes({0x91, 0x92, 0x82}), 1251, 866), "'',");
  EXPECT_EQ(Convert(Bytes({0x96, 0x97, 0xAD}), 1251, 866), "---");
  // Ukrainian Ґ ґ -> Г г; Belarusian/Ukrainian І і -> Latin I i; Ѓ Ќ to their base letters.
  EXPECT_EQ(Convert(Bytes({0xA5, 0xB4, 0xB2, 0xB3, 0x81, 0x8D}), 1251, 866),
            Bytes({0x83, 0xA3, 'I', 'i', 0x83, 0x8A}));
  // No sensible counterpart: Ђ Љ Њ Ћ Џ, €, …, ™, and the undefined 0x98.
  EXPECT_EQ(Convert(Bytes({0x80, 0x8A, 0x8C, 0x8E, 0x8F, 0x88, 0x85, 0x99, 0x98}), 1251, 866),
            "?????????");
  // Characters both have: № ° · NBSP ¤.
  EXPECT_EQ(Convert(Bytes({0xB9, 0xB0, 0xB7, 0xA0, 0xA4}), 1251, 866),
            Bytes({0xFC, 0xF8, 0xFA, 0xFF, 0xFD}));
  // • has the bullet operator ∙ in 866.
  EXPECT_EQ(Convert(Bytes({0x95}), 1251, 866), Bytes({0xF9}));
}

TEST(OemAnsiConversion, BoxDrawingBecomesLinesAndCrosses) {
  // ─ ═ -> "-", │ ║ -> "|", corners, tees and crosses -> "+".
  EXPECT_EQ(Convert(Bytes({0xC4, 0xCD, 0xB3, 0xBA}), 866, 1251), "--||");
  EXPECT_EQ(Convert(Bytes({0xDA, 0xBF, 0xC0, 0xD9, 0xC5, 0xCE, 0xC9, 0xBC, 0xC3, 0xB4}), 866, 1251),
            "++++++++++");
  // Shades and blocks have nothing close.
  EXPECT_EQ(Convert(Bytes({0xB0, 0xB1, 0xB2, 0xDB, 0xDC, 0xDF}), 866, 1251), "??????");
  // √ and ■ neither; ∙ becomes the middle dot.
  EXPECT_EQ(Convert(Bytes({0xFB, 0xFE, 0xF9}), 866, 1251), Bytes({'?', '?', 0xB7}));
  // Every box-drawing byte gives plain ASCII.
  for (int b = 0xB0; b <= 0xDF; ++b) {
    EXPECT_LT(ConversionTable(866, 1251)[b], 0x80) << b;
  }
}

TEST(OemAnsiConversion, AsciiUnchangedAndSameOrNoCodePageIsIdentity) {
  std::string ascii;
  for (int b = 0; b < 0x80; ++b) ascii.push_back(static_cast<char>(b));
  EXPECT_EQ(Convert(ascii, 1251, 866), ascii);
  EXPECT_EQ(Convert(ascii, 866, 1251), ascii);
  std::string all;
  for (int b = 0; b < 0x100; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Convert(all, 1251, 1251), all);
  EXPECT_EQ(Convert(all, kNoCodePage, 866), all);
  EXPECT_EQ(Convert(all, 866, kNoCodePage), all);
}

TEST(OemAnsiConversion, InPlaceConversion) {
  std::string text = kUpper1251 + " 123";
  ConvertBuffer(ConversionTable(1251, 866), text.data(), text.data(), text.size());
  EXPECT_EQ(text, kUpper866 + " 123");
}

TEST(OemAnsiConversion, TablesAreBuiltOnceAndStay) {
  EXPECT_EQ(&ConversionTable(1251, 866), &ConversionTable(1251, 866));
  EXPECT_EQ(&CaseTableFor(866), &CaseTableFor(866));
}

TEST(LetterCase, RussianAlphabetInBothCodePages) {
  EXPECT_EQ(Upper(kLower1251, 1251), kUpper1251);
  EXPECT_EQ(Lower(kUpper1251, 1251), kLower1251);
  EXPECT_EQ(Upper(kLower866, 866), kUpper866);
  EXPECT_EQ(Lower(kUpper866, 866), kLower866);
}

TEST(LetterCase, YoInBothCodePages) {
  EXPECT_EQ(CaseTableFor(1251).upper[0xB8], 0xA8);  // ё -> Ё
  EXPECT_EQ(CaseTableFor(1251).lower[0xA8], 0xB8);
  EXPECT_EQ(CaseTableFor(866).upper[0xF1], 0xF0);
  EXPECT_EQ(CaseTableFor(866).lower[0xF0], 0xF1);
}

TEST(LetterCase, OtherCyrillicLettersOf1251) {
  // Ђ ђ, Ѓ ѓ, Љ љ, Њ њ, Ќ ќ, Ћ ћ, Џ џ, Ў ў, Ј ј, Ґ ґ, Є є, І і, Ї ї, Ѕ ѕ.
  const std::string upper = Bytes({0x80, 0x81, 0x8A, 0x8C, 0x8D, 0x8E, 0x8F, 0xA1, 0xA3, 0xA5, 0xAA,
                                   0xB2, 0xAF, 0xBD});
  const std::string lower = Bytes({0x90, 0x83, 0x9A, 0x9C, 0x9D, 0x9E, 0x9F, 0xA2, 0xBC, 0xB4, 0xBA,
                                   0xB3, 0xBF, 0xBE});
  EXPECT_EQ(Upper(lower, 1251), upper);
  EXPECT_EQ(Lower(upper, 1251), lower);
}

TEST(LetterCase, OtherCyrillicLettersOf866) {
  // Є є, Ї ї, Ў ў.
  EXPECT_EQ(Upper(Bytes({0xF3, 0xF5, 0xF7}), 866), Bytes({0xF2, 0xF4, 0xF6}));
  EXPECT_EQ(Lower(Bytes({0xF2, 0xF4, 0xF6}), 866), Bytes({0xF3, 0xF5, 0xF7}));
}

TEST(LetterCase, NonLettersAndLettersWithoutAPartnerStay) {
  // µ's capital is Greek, not in 1251; № and the box drawing have no case.
  EXPECT_EQ(Upper(Bytes({0xB5, 0xB9, '1', ' ', '_'}), 1251), Bytes({0xB5, 0xB9, '1', ' ', '_'}));
  std::string box;
  for (int b = 0xB0; b <= 0xDF; ++b) box.push_back(static_cast<char>(b));
  EXPECT_EQ(Upper(box, 866), box);
  EXPECT_EQ(Lower(box, 866), box);
  EXPECT_EQ(Upper("abz{", 1251), "ABZ{");
  EXPECT_EQ(Lower("ABZ@", 866), "abz@");
}

TEST(LetterCase, OtherCodePagesFromTheirOwnMapping) {
  // 1252: é -> É, ÿ -> Ÿ (at 0x9F), ß has no single-letter capital.
  EXPECT_EQ(Upper(Bytes({0xE9, 0xFF, 0xDF}), 1252), Bytes({0xC9, 0x9F, 0xDF}));
  // KOI8-R puts lower case first: а 0xC1 -> А 0xE1.
  EXPECT_EQ(Upper(Bytes({0xC1, 0xA3}), 20866), Bytes({0xE1, 0xB3}));
  // Without a code page only ASCII has a case.
  EXPECT_EQ(Upper(Bytes({'a', 0xE0}), kNoCodePage), Bytes({'A', 0xE0}));
}

TEST(Utf8Conversion, CyrillicBothWays) {
  EXPECT_EQ(ToUtf8(kUpper1251, 1251), kUpperUtf8);
  EXPECT_EQ(ToUtf8(kLower866, 866), kLowerUtf8);
  std::string out;
  ASSERT_TRUE(FromUtf8(kLowerUtf8 + " ok", 1251, &out));
  EXPECT_EQ(out, kLower1251 + " ok");
  ASSERT_TRUE(FromUtf8(kUpperUtf8, 866, &out));
  EXPECT_EQ(out, kUpper866);
  ASSERT_TRUE(FromUtf8("«№»", 1251, &out));
  EXPECT_EQ(out, Bytes({0xAB, 0xB9, 0xBB}));
}

TEST(Utf8Conversion, EveryDefinedByteRoundTrips) {
  for (int codePage : {1251, 866, 1252, 20866}) {
    const auto& unicode = UnicodeTable(codePage);
    for (int b = 0; b < 256; ++b) {
      if (unicode[b] == kNoCharacter) continue;
      std::string byte(1, static_cast<char>(b));
      std::string back;
      ASSERT_TRUE(FromUtf8(ToUtf8(byte, codePage), codePage, &back)) << codePage << " " << b;
      EXPECT_EQ(back, byte) << codePage << " " << b;
    }
  }
}

TEST(Utf8Conversion, UndefinedByteBecomesReplacementCharacter) {
  EXPECT_EQ(ToUtf8(Bytes({'a', 0x98, 'b'}), 1251), "a\xEF\xBF\xBD" "b");
}

TEST(Utf8Conversion, RefusesCharacterMissingFromTheCodePage) {
  std::string out;
  Utf8Refusal refusal;
  // "Ab" then the euro sign, which 866 lacks (it is at 0x88 in 1251).
  ASSERT_FALSE(FromUtf8("Аb€x", 866, &out, &refusal));
  EXPECT_EQ(refusal.byteOffset, 3u);
  EXPECT_EQ(refusal.characterIndex, 2u);
  EXPECT_EQ(refusal.codePoint, U'€');
  EXPECT_EQ(out, Bytes({0x80, 'b'}));
  ASSERT_TRUE(FromUtf8("Аb€x", 1251, &out));
  EXPECT_EQ(out, Bytes({0xC0, 'b', 0x88, 'x'}));
  // Box drawing is in 866 only; a Chinese character in neither.
  EXPECT_FALSE(FromUtf8("─", 1251, &out));
  EXPECT_TRUE(FromUtf8("─", 866, &out));
  EXPECT_FALSE(FromUtf8("中", 866, &out, &refusal));
  EXPECT_EQ(refusal.codePoint, U'中');
}

TEST(Utf8Conversion, RefusesMalformedUtf8) {
  std::string out;
  Utf8Refusal refusal;
  const std::string cases[] = {
      "ab\xD0",              // truncated sequence
      "ab\x80",              // stray continuation byte
      "ab\xC0\xAF",          // overlong "/"
      "ab\xED\xA0\x80",      // surrogate
      "ab\xF4\x90\x80\x80",  // above U+10FFFF
      "ab\xFF",
  };
  for (const std::string& text : cases) {
    ASSERT_FALSE(FromUtf8(text, 1251, &out, &refusal)) << text;
    EXPECT_EQ(refusal.byteOffset, 2u);
    EXPECT_EQ(refusal.characterIndex, 2u);
    EXPECT_EQ(refusal.codePoint, kNoCharacter);
    EXPECT_EQ(out, "ab");
  }
}

TEST(Utf8Conversion, NoCodePagePassesBytesThrough) {
  std::string bytes = Bytes({'a', 0xC0, 0xFF});
  EXPECT_EQ(ToUtf8(bytes, kNoCodePage), bytes);
  std::string out;
  EXPECT_TRUE(FromUtf8(bytes, kNoCodePage, &out));
  EXPECT_EQ(out, bytes);
  EXPECT_TRUE(FromUtf8("", 1251, &out));
  EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace velorin::platform
