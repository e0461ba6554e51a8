#include "platform/code_page.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/locale_settings.h"

namespace velorin::platform {

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// The iconv name of a Windows code page number; most are "CP<n>".
std::string IconvName(int codePage) {
  if (codePage == 20866) return "KOI8-R";
  if (codePage == 21866) return "KOI8-U";
  if (codePage >= 28591 && codePage <= 28599) return "ISO-8859-" + std::to_string(codePage - 28590);
  if (codePage == 28603) return "ISO-8859-13";
  if (codePage == 28605) return "ISO-8859-15";
  if (codePage == 10007) return "MAC-CYRILLIC";
  return "CP" + std::to_string(codePage);
}

class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (Valid()) iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() const { return cd_; }

 private:
  iconv_t cd_;
};

enum class ByteDecoding { kCharacter, kUndefined, kMultiByte };

// Decodes one byte on its own, flushing whatever the converter holds back.
ByteDecoding DecodeByte(const IconvHandle& cd, unsigned char byte, char32_t* codePoint) {
  iconv(cd.Get(), nullptr, nullptr, nullptr, nullptr);
  char in[1] = {static_cast<char>(byte)};
  unsigned char out[16] = {};
  char* inPtr = in;
  size_t inLeft = 1;
  char* outPtr = reinterpret_cast<char*>(out);
  size_t outLeft = sizeof out;
  if (iconv(cd.Get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
    return errno == EINVAL ? ByteDecoding::kMultiByte : ByteDecoding::kUndefined;
  }
  if (iconv(cd.Get(), nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
    return ByteDecoding::kUndefined;
  }
  if (sizeof out - outLeft != 4) return ByteDecoding::kUndefined;  // none or several characters
  *codePoint = static_cast<char32_t>(out[0]) | static_cast<char32_t>(out[1]) << 8 |
               static_cast<char32_t>(out[2]) << 16 | static_cast<char32_t>(out[3]) << 24;
  return ByteDecoding::kCharacter;
}

// Unicode case mapping without the user's locale: the C.UTF-8 locale object.
class UnicodeCase {
 public:
  UnicodeCase() : locale_(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr))) {}
  ~UnicodeCase() {
    if (locale_ != static_cast<locale_t>(nullptr)) freelocale(locale_);
  }
  UnicodeCase(const UnicodeCase&) = delete;
  UnicodeCase& operator=(const UnicodeCase&) = delete;

  char32_t Upper(char32_t c) const { return Map(c, true); }
  char32_t Lower(char32_t c) const { return Map(c, false); }

 private:
  char32_t Map(char32_t c, bool upper) const {
    if (locale_ != static_cast<locale_t>(nullptr)) {
      wint_t w = static_cast<wint_t>(c);
      return static_cast<char32_t>(upper ? towupper_l(w, locale_) : towlower_l(w, locale_));
    }
    return FallbackMap(c, upper);
  }

  // Used only when the C library has no C.UTF-8: ASCII, Latin-1 and the basic
  // Cyrillic block, which is all that the Cyrillic code pages need.
  static char32_t FallbackMap(char32_t c, bool upper) {
    if (upper) {
      if (c >= U'a' && c <= U'z') return c - 0x20;
      if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
      if (c >= 0x430 && c <= 0x44F) return c - 0x20;
      if (c >= 0x450 && c <= 0x45F) return c - 0x50;
      if (c >= 0x460 && c <= 0x4FF && (c & 1) == 1) return c - 1;
    } else {
      if (c >= U'A' && c <= U'Z') return c + 0x20;
      if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
      if (c >= 0x410 && c <= 0x42F) return c + 0x20;
      if (c >= 0x400 && c <= 0x40F) return c + 0x50;
      if (c >= 0x460 && c <= 0x4FF && (c & 1) == 0) return c + 1;
    }
    return c;
  }

  locale_t locale_;
};

struct CodePageData {
  bool supported = false;
  std::array<char32_t, 256> unicode{};
  std::unordered_map<char32_t, unsigned char> bytes;  // the first byte of each character
  CaseTable cases{};

  std::optional<unsigned char> ByteOf(char32_t c) const {
    auto it = bytes.find(c);
    if (it == bytes.end()) return std::nullopt;
    return it->second;
  }
};

std::unique_ptr<CodePageData> BuildCodePage(int codePage) {
  auto data = std::make_unique<CodePageData>();
  if (codePage <= 0 || codePage > 65535) return data;
  IconvHandle cd("UTF-32LE", IconvName(codePage).c_str());
  if (!cd.Valid()) return data;
  for (int b = 0; b < 256; ++b) {
    char32_t c = kNoCharacter;
    switch (DecodeByte(cd, static_cast<unsigned char>(b), &c)) {
      case ByteDecoding::kCharacter:
        break;
      case ByteDecoding::kUndefined:
        c = kNoCharacter;
        break;
      case ByteDecoding::kMultiByte:
        return data;  // a lead byte: not a single-byte code page
    }
    // The engine relies on ASCII digits, letters and blanks in the lower half.
    if (b < 0x80 && c != static_cast<char32_t>(b)) return data;
    data->unicode[b] = c;
    if (c != kNoCharacter) data->bytes.emplace(c, static_cast<unsigned char>(b));
  }
  static const UnicodeCase unicodeCase;
  for (int b = 0; b < 256; ++b) {
    auto self = static_cast<unsigned char>(b);
    data->cases.upper[b] = self;
    data->cases.lower[b] = self;
    char32_t c = data->unicode[b];
    if (c == kNoCharacter) continue;
    if (auto up = data->ByteOf(unicodeCase.Upper(c))) data->cases.upper[b] = *up;
    if (auto low = data->ByteOf(unicodeCase.Lower(c))) data->cases.lower[b] = *low;
  }
  data->supported = true;
  return data;
}

std::mutex& TablesMutex() {
  static std::mutex mutex;
  return mutex;
}

// Built on first use and kept: references handed out stay valid.
const CodePageData& CodePage(int codePage) {
  static std::map<int, std::unique_ptr<CodePageData>> pages;
  std::lock_guard<std::mutex> lock(TablesMutex());
  auto it = pages.find(codePage);
  if (it == pages.end()) it = pages.emplace(codePage, BuildCodePage(codePage)).first;
  return *it->second;
}

const CodePageData& UsableCodePage(int codePage) {
  const CodePageData& data = CodePage(codePage);
  if (!data.supported) {
    throw std::invalid_argument("code page " + std::to_string(codePage) + " is not supported");
  }
  return data;
}

// Candidates for a character the target code page lacks, tried in order.
std::vector<char32_t> BestFit(char32_t c) {
  switch (c) {
    case 0x0403: return {0x0413};  // Ѓ -> Г
    case 0x0453: return {0x0433};  // ѓ -> г
    case 0x0490: return {0x0413};  // Ґ -> Г
    case 0x0491: return {0x0433};  // ґ -> г
    case 0x040C: return {0x041A};  // Ќ -> К
    case 0x045C: return {0x043A};  // ќ -> к
    case 0x0406: return {U'I'};    // І
    case 0x0456: return {U'i'};    // і
    case 0x0408: return {U'J'};    // Ј
    case 0x0458: return {U'j'};    // ј
    case 0x0405: return {U'S'};    // Ѕ
    case 0x0455: return {U's'};    // ѕ
    case 0x00AB: case 0x00BB: case 0x201E: case 0x201C: case 0x201D: return {U'"'};
    case 0x2018: case 0x2019: return {U'\''};
    case 0x201A: return {U','};
    case 0x2039: return {U'<'};
    case 0x203A: return {U'>'};
    case 0x2013: case 0x2014: case 0x00AD: return {U'-'};
    case 0x00A6: return {U'|'};
    case 0x00A9: return {U'C'};
    case 0x00AE: return {U'R'};
    case 0x2022: return {0x2219, 0x00B7};  // • -> ∙ or ·
    case 0x2219: return {0x00B7, 0x2022};  // ∙ -> · or •
    default: break;
  }
  if (c == 0x2500 || c == 0x2501 || c == 0x2550) return {U'-'};
  if (c == 0x2502 || c == 0x2503 || c == 0x2551) return {U'|'};
  if (c >= 0x2500 && c <= 0x257F) return {U'+'};
  return {};
}

ByteTable IdentityTable() {
  ByteTable table{};
  for (int b = 0; b < 256; ++b) table[b] = static_cast<unsigned char>(b);
  return table;
}

std::unique_ptr<ByteTable> BuildConversion(const CodePageData& from, const CodePageData& to) {
  auto table = std::make_unique<ByteTable>();
  for (int b = 0; b < 256; ++b) {
    unsigned char result = '?';
    char32_t c = from.unicode[b];
    if (c != kNoCharacter) {
      if (auto direct = to.ByteOf(c)) {
        result = *direct;
      } else {
        for (char32_t candidate : BestFit(c)) {
          if (auto fit = to.ByteOf(candidate)) {
            result = *fit;
            break;
          }
        }
      }
    }
    (*table)[b] = result;
  }
  return table;
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
// Returns the bytes used, or 0 when the sequence at text[offset] is malformed.
size_t DecodeUtf8(std::string_view text, size_t offset, char32_t* c) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(offset);
  size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    *c = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - offset < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    unsigned char next = byte(offset + i);
    if ((next & 0xC0) != 0x80) return 0;
    value = value << 6 | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *c = value;
  return length;
}

const ByteTable& ActiveAnsiToOem() {
  static const ByteTable& table =
      ConversionTable(ActiveLocale().AnsiCodePage(), ActiveLocale().OemCodePage());
  return table;
}

const ByteTable& ActiveOemToAnsi() {
  static const ByteTable& table =
      ConversionTable(ActiveLocale().OemCodePage(), ActiveLocale().AnsiCodePage());
  return table;
}

const CaseTable& ActiveCases() {
  static const CaseTable& table = CaseTableFor(ActiveLocale().AnsiCodePage());
  return table;
}

}  // namespace

bool IsSupportedCodePage(int codePage) { return CodePage(codePage).supported; }

const std::array<char32_t, 256>& UnicodeTable(int codePage) { return UsableCodePage(codePage).unicode; }

const ByteTable& ConversionTable(int fromCodePage, int toCodePage) {
  static const ByteTable identity = IdentityTable();
  if (fromCodePage == kNoCodePage || toCodePage == kNoCodePage) return identity;
  const CodePageData& from = UsableCodePage(fromCodePage);
  const CodePageData& to = UsableCodePage(toCodePage);
  if (fromCodePage == toCodePage) return identity;
  static std::map<std::pair<int, int>, std::unique_ptr<ByteTable>> tables;
  std::lock_guard<std::mutex> lock(TablesMutex());
  auto key = std::make_pair(fromCodePage, toCodePage);
  auto it = tables.find(key);
  if (it == tables.end()) it = tables.emplace(key, BuildConversion(from, to)).first;
  return *it->second;
}

void ConvertBuffer(const ByteTable& table, const char* src, char* dst, size_t n) {
  for (size_t i = 0; i < n; ++i) dst[i] = static_cast<char>(table[static_cast<unsigned char>(src[i])]);
}

void CharToOemBuff(const char* src, char* dst, size_t n) { ConvertBuffer(ActiveAnsiToOem(), src, dst, n); }

void OemToCharBuff(const char* src, char* dst, size_t n) { ConvertBuffer(ActiveOemToAnsi(), src, dst, n); }

std::string CharToOem(std::string_view text) {
  std::string result(text);
  CharToOemBuff(result.data(), result.data(), result.size());
  return result;
}

std::string OemToChar(std::string_view text) {
  std::string result(text);
  OemToCharBuff(result.data(), result.data(), result.size());
  return result;
}

const CaseTable& CaseTableFor(int codePage) {
  if (codePage == kNoCodePage) {
    // Without a code page only ASCII letters have a case.
    static const CaseTable ascii = [] {
      CaseTable t{IdentityTable(), IdentityTable()};
      for (int b = 'a'; b <= 'z'; ++b) t.upper[b] = static_cast<unsigned char>(b - 0x20);
      for (int b = 'A'; b <= 'Z'; ++b) t.lower[b] = static_cast<unsigned char>(b + 0x20);
      return t;
    }();
    return ascii;
  }
  return UsableCodePage(codePage).cases;
}

void UpperBuffer(char* buffer, size_t n) { ConvertBuffer(ActiveCases().upper, buffer, buffer, n); }

void LowerBuffer(char* buffer, size_t n) { ConvertBuffer(ActiveCases().lower, buffer, buffer, n); }

char UpperChar(char c) { return static_cast<char>(ActiveCases().upper[static_cast<unsigned char>(c)]); }

char LowerChar(char c) { return static_cast<char>(ActiveCases().lower[static_cast<unsigned char>(c)]); }

void UpperBuffer(char* buffer, size_t n, int codePage) {
  ConvertBuffer(CaseTableFor(codePage).upper, buffer, buffer, n);
}

void LowerBuffer(char* buffer, size_t n, int codePage) {
  ConvertBuffer(CaseTableFor(codePage).lower, buffer, buffer, n);
}

std::string ToUtf8(std::string_view bytes, int codePage) {
  if (codePage == kNoCodePage) return std::string(bytes);
  const auto& unicode = UnicodeTable(codePage);
  std::string result;
  result.reserve(bytes.size() * 2);
  for (char b : bytes) {
    char32_t c = unicode[static_cast<unsigned char>(b)];
    AppendUtf8(c == kNoCharacter ? kReplacementCharacter : c, &result);
  }
  return result;
}

bool FromUtf8(std::string_view utf8, int codePage, std::string* out, Utf8Refusal* refusal) {
  out->clear();
  if (codePage == kNoCodePage) {
    out->assign(utf8);
    return true;
  }
  const CodePageData& data = UsableCodePage(codePage);
  out->reserve(utf8.size());
  size_t offset = 0;
  size_t index = 0;
  while (offset < utf8.size()) {
    char32_t c = kNoCharacter;
    size_t used = DecodeUtf8(utf8, offset, &c);
    std::optional<unsigned char> byte;
    if (used != 0) byte = data.ByteOf(c);
    if (!byte) {
      if (refusal != nullptr) *refusal = Utf8Refusal{offset, index, used == 0 ? kNoCharacter : c};
      return false;
    }
    out->push_back(static_cast<char>(*byte));
    offset += used;
    ++index;
  }
  return true;
}

}  // namespace velorin::platform
