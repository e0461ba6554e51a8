// code_page.h — single-byte code pages: OEM/ANSI conversion of table text, letter
// case in the active code page, and conversion to and from UTF-8.
//
// Text inside tables is bytes in a single-byte code page: the ANSI code page (1251
// by default) or the OEM one (866 by default) for tables opened with OEM/ANSI
// translation; locale_settings.h says which two are active. Every table here is
// built once per code page from glibc iconv's mapping of each byte to Unicode and
// kept for the life of the process; nothing consults the C library's locale, so the
// results do not depend on the user's LANG.
//
// A code page is known by its Windows number. Usable are the code pages iconv knows
// (CP<n>, and 20866 KOI8-R, 21866 KOI8-U, 28591-28599 and 28605 ISO-8859-n,
// 10007 MAC-CYRILLIC) in which every byte is at most one character and the bytes
// 0x00-0x7F are ASCII. Functions that take a code page number throw
// std::invalid_argument for one that is not usable; kNoCodePage (0) means "no
// conversion": the bytes pass through unchanged.
//
// Characters without a counterpart (CharToOemBuff, OemToCharBuff, ConversionTable).
// A character of the source code page that the target lacks becomes a best-fit
// character of the target where an obvious one exists, otherwise "?":
//  - Cyrillic letters with a plain sibling: Ѓ ѓ Ґ ґ -> Г г, Ќ ќ -> К к, and the
//    Latin look-alikes І і -> I i, Ј ј -> J j, Ѕ ѕ -> S s; Ђ ђ Љ љ Њ њ Ћ ћ Џ џ -> "?";
//  - quotation marks « » „ “ ” -> '"', ‘ ’ -> "'", ‚ -> ",", ‹ › -> "<" ">";
//    dashes – — and the soft hyphen -> "-"; ¦ -> "|"; © -> "C"; ® -> "R";
//    • -> ∙ (or ·), ∙ -> · (or •);
//  - box drawing (866's 0xB0-0xDF): horizontal lines -> "-", vertical lines -> "|",
//    corners, tees and crosses -> "+"; shades and blocks -> "?";
//  - everything else (… † ‡ € ‰ ™ ± ¬ § ¶ µ √ ■, and a byte the source code page
//    leaves undefined such as 1251's 0x98) -> "?".
// So 1251 -> 866 -> 1251 keeps every letter both code pages have (А-я, Ё ё, Є є,
// Ї ї, Ў ў), and conversion never fails.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace velorin::platform {

constexpr int kNoCodePage = 0;

// The code point of a byte the code page leaves undefined.
constexpr char32_t kNoCharacter = 0xFFFFFFFF;

// A byte-to-byte mapping: result byte = table[source byte].
using ByteTable = std::array<unsigned char, 256>;

bool IsSupportedCodePage(int codePage);

// The Unicode code point of every byte of the code page (kNoCharacter when undefined).
const std::array<char32_t, 256>& UnicodeTable(int codePage);

// Byte mapping from one code page to another with the best-fit rule above; the
// identity when the two are equal or either is kNoCodePage.
const ByteTable& ConversionTable(int fromCodePage, int toCodePage);

// dst[i] = table[src[i]] for n bytes; src and dst may be the same buffer.
void ConvertBuffer(const ByteTable& table, const char* src, char* dst, size_t n);

// The active ANSI code page to the active OEM code page and back, n bytes, in place
// allowed (as Windows' CharToOemBuffA and OemToCharBuffA).
void CharToOemBuff(const char* src, char* dst, size_t n);
void OemToCharBuff(const char* src, char* dst, size_t n);
std::string CharToOem(std::string_view text);
std::string OemToChar(std::string_view text);

// Upper and lower case of every byte of a code page. A letter changes only when its
// Unicode upper (lower) case is itself a character of the same code page; all other
// bytes map to themselves. Built from iconv's Unicode mapping and the Unicode case
// mapping of the C.UTF-8 locale object (never the user's locale).
struct CaseTable {
  ByteTable upper;
  ByteTable lower;
};
const CaseTable& CaseTableFor(int codePage);

// Letter case in the active (ANSI) code page; these replace the C library's
// toupper/tolower everywhere in the program.
void UpperBuffer(char* buffer, size_t n);
void LowerBuffer(char* buffer, size_t n);
char UpperChar(char c);
char LowerChar(char c);
// The same for an explicit code page.
void UpperBuffer(char* buffer, size_t n, int codePage);
void LowerBuffer(char* buffer, size_t n, int codePage);

// Table bytes to UTF-8. A byte the code page leaves undefined becomes U+FFFD.
// kNoCodePage returns the bytes unchanged.
std::string ToUtf8(std::string_view bytes, int codePage);

// Why FromUtf8 refused a text: the first character that is malformed UTF-8 or has no
// byte in the code page.
struct Utf8Refusal {
  size_t byteOffset = 0;      // offset of that character in the UTF-8 text
  size_t characterIndex = 0;  // its index counted in characters, from 0
  char32_t codePoint = kNoCharacter;  // kNoCharacter when the UTF-8 is malformed
};

// UTF-8 to table bytes. False when a character cannot be represented (or the UTF-8
// is malformed): *out then holds the bytes converted before it, and *refusal (when
// given) says where. kNoCodePage copies the text unchanged and succeeds.
bool FromUtf8(std::string_view utf8, int codePage, std::string* out,
              Utf8Refusal* refusal = nullptr);

}  // namespace velorin::platform
