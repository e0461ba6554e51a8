#include "tools/field_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <vector>

#include "engine/dbf_format.h"
#include "engine/field_kind.h"
#include "engine/text_trim.h"
#include "engine/vr6_DBF.h"
#include "engine/vr6_Date.h"
#include "engine/vr6_memo.h"
#include "platform/code_page.h"
#include "platform/date_format.h"
#include "platform/locale_settings.h"
#include "platform/number_text.h"
#include "tools/base64.h"

namespace velorin::tools {

namespace {

// A Visual FoxPro date-time: day number and milliseconds.
constexpr size_t kDateTimeLength = 8;

// Doubles hold every whole number up to 2^53 exactly.
constexpr double kExactWholeLimit = 9007199254740992.0;

bool IsVisualFoxPro(const VRO_dBaseFld& table) { return table.Version() == dbf_version::kVisualFoxPro; }

// The kinds of field, as far as the conversions care.
enum class FieldClass { Character, Numeric, Date, Logical, MemoText, MemoBytes, Integer, Double, Currency, DateTime, Raw };

// The engine's kind and storage of the field, as the conversions use them.
FieldClass ClassOf(const VRO_dBaseFld& table, int32_t number) {
  FieldKind kind = table.KindOfField(number);
  if (table.IsMemoField(number)) return kind == FieldKind::Memo ? FieldClass::MemoText : FieldClass::MemoBytes;
  switch (table.StorageOfField(number)) {
    case FieldStorage::Text: return kind == FieldKind::Character ? FieldClass::Character : FieldClass::Raw;
    case FieldStorage::NumberText: return FieldClass::Numeric;
    case FieldStorage::DateText: return FieldClass::Date;
    case FieldStorage::LogicalLetter: return FieldClass::Logical;
    case FieldStorage::Int32: return FieldClass::Integer;
    case FieldStorage::Double: return FieldClass::Double;
    case FieldStorage::Currency: return FieldClass::Currency;
    case FieldStorage::DayAndTime: return FieldClass::DateTime;
  }
  return FieldClass::Raw;
}

const char* KindName(ValueKind kind) {
  switch (kind) {
    case ValueKind::Null: return "null";
    case ValueKind::Text: return "a string";
    case ValueKind::Integer:
    case ValueKind::Number: return "a number";
    case ValueKind::Boolean: return "a boolean";
    case ValueKind::Bytes: return "bytes";
  }
  return "a value";
}

// The shortest text that reads back as the same double, in fixed notation for
// the magnitudes a table field holds (0.0001, not 1e-04), else scientific.
std::string ShortestText(double value) {
  char buffer[400];
  double magnitude = std::fabs(value);
  auto format = (magnitude == 0.0 || (magnitude >= 1e-6 && magnitude < 1e21)) ? std::chars_format::fixed
                                                                            : std::chars_format::general;
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
  return std::string(buffer, result.ptr);
}

std::string Quoted(std::string_view text) {
  // Long values are cut in messages; the reason is in the first characters.
  constexpr size_t kShown = 40;
  std::string shown(text.substr(0, kShown));
  if (text.size() > kShown) shown += "...";
  return "\"" + shown + "\"";
}

std::string CodePointName(char32_t codePoint) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(codePoint));
  return buffer;
}

// ---- reading -------------------------------------------------------------------

FieldValue NumberFromText(const std::string& raw, int decimals, int codePage) {
  std::string text = TrimBlanks(raw);
  if (text.empty()) return FieldValue::Null();
  double value = 0;
  if (!platform::TryTextToFloat(text, &value)) return FieldValue::OfText(platform::ToUtf8(text, codePage));
  if (decimals == 0 && std::trunc(value) == value && std::fabs(value) <= kExactWholeLimit) {
    return FieldValue::OfInteger(static_cast<int64_t>(value));
  }
  return FieldValue::OfNumber(value);
}

FieldValue DateFromText(const std::string& raw, int codePage) {
  std::string text = TrimBlanks(raw);
  if (text.empty() || text == "00000000") return FieldValue::Null();
  bool digits = text.size() == 8 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (digits) {
    int year = std::stoi(text.substr(0, 4));
    int month = std::stoi(text.substr(4, 2));
    int day = std::stoi(text.substr(6, 2));
    if (platform::IsValidCalendarDate(year, month, day)) {
      return FieldValue::OfText(text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6, 2));
    }
  }
  return FieldValue::OfText(platform::ToUtf8(text, codePage));
}

FieldValue LogicalFromText(const std::string& raw) {
  if (raw.empty() || raw == " " || raw == "?") return FieldValue::Null();
  return FieldValue::OfBoolean(IsLogicalTrueLetter(raw[0]));
}

FieldValue DateTimeFromField(VRO_dBaseFld& table, int32_t number) {
  const VRFieldEntry* field = table.Field(number);
  const uint8_t* bytes = table.CurrentRecord() + field->Displacement;
  bool allZero = std::all_of(bytes, bytes + kDateTimeLength, [](uint8_t b) { return b == 0; });
  bool allBlank = std::all_of(bytes, bytes + kDateTimeLength, [](uint8_t b) { return b == ' '; });
  if (allZero || allBlank) return FieldValue::Null();
  double value = table.GetNumber(number);
  if (!std::isfinite(value) || std::fabs(value) > kExactWholeLimit) return FieldValue::Null();
  auto total = static_cast<int64_t>(value);
  int64_t days = total / kMillisecondsPerDay;
  int64_t ms = total % kMillisecondsPerDay;
  if (ms < 0) {
    ms += kMillisecondsPerDay;
    --days;
  }
  int64_t dayNumber = days + kDateTimeEpochDay;
  int year, month, day;
  if (dayNumber > std::numeric_limits<int32_t>::max() ||
      !DBFDate().DecodeDayNumber(static_cast<int32_t>(dayNumber), &year, &month, &day)) {
    return FieldValue::Null();
  }
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", year, month, day,
                static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60),
                static_cast<int>(ms % 1000));
  return FieldValue::OfText(buffer);
}

// The bytes of the field's memo; no more than the memo file holds, whatever the
// block header claims.
std::string MemoBytes(VRO_dBaseFld& table, int32_t number) {
  VRobjMemo* memo = table.MemoFor(number);
  if (memo == nullptr) return std::string();
  int32_t size = table.MemoSize(number);
  size = std::min(size, std::max(memo->Size(), 0));
  if (size <= 0) return std::string();
  std::string bytes(static_cast<size_t>(size), '\0');
  table.MemoRead(number, bytes.data(), size);
  bytes.resize(static_cast<size_t>(std::clamp(size, 0, static_cast<int32_t>(bytes.size()))));
  return bytes;
}

// ---- storing -------------------------------------------------------------------

class Refusal {
 public:
  Refusal(const VRO_dBaseFld& table, int32_t number) : field_(table.Field(number)) {}
  [[noreturn]] void Raise(const std::string& reason) const { throw FieldValueError(field_->Name(), reason); }
  [[noreturn]] void WrongKind(const FieldValue& value, const char* wanted) const {
    Raise(std::string("type ") + field_->Type() + " takes " + wanted + ", not " + KindName(value.kind));
  }

 private:
  const VRFieldEntry* field_;
};

std::string ToTableBytes(const std::string& utf8, int codePage, const Refusal& refusal) {
  std::string bytes;
  platform::Utf8Refusal where;
  if (!platform::FromUtf8(utf8, codePage, &bytes, &where)) {
    if (where.codePoint == platform::kNoCharacter) {
      refusal.Raise("malformed UTF-8 at byte " + std::to_string(where.byteOffset));
    }
    refusal.Raise("character " + CodePointName(where.codePoint) + " (character " +
                  std::to_string(where.characterIndex + 1) + ") has no byte in code page " + std::to_string(codePage));
  }
  return bytes;
}

// The number a value stands for, for a numeric field; nullopt for null or "".
std::optional<double> NumberOf(const FieldValue& value, const Refusal& refusal) {
  switch (value.kind) {
    case ValueKind::Null: return std::nullopt;
    case ValueKind::Integer: return static_cast<double>(value.integer);
    case ValueKind::Number:
      if (!std::isfinite(value.number)) refusal.Raise("a number must be finite");
      return value.number;
    case ValueKind::Text: {
      std::string text = TrimBlanks(value.text);
      if (text.empty()) return std::nullopt;
      double number = 0;
      if (!platform::TryTextToFloat(text, &number)) refusal.Raise(Quoted(value.text) + " is not a number");
      return number;
    }
    default: refusal.WrongKind(value, "a number");
  }
}

void StoreText(VRO_dBaseFld& table, int32_t number, const FieldValue& value, int codePage, const Refusal& refusal) {
  if (value.kind == ValueKind::Null) {
    table.PutText(number, "");
    return;
  }
  if (value.kind != ValueKind::Text) refusal.WrongKind(value, "a string");
  std::string bytes = TrimTrailingBlanks(ToTableBytes(value.text, codePage, refusal));
  int32_t length = table.FieldLength(number);
  if (static_cast<int64_t>(bytes.size()) > length) {
    refusal.Raise("a text of " + std::to_string(bytes.size()) + " bytes does not fit in " + std::to_string(length));
  }
  table.PutText(number, bytes);
}

void StoreNumber(VRO_dBaseFld& table, int32_t number, const FieldValue& value, const Refusal& refusal) {
  std::optional<double> n = NumberOf(value, refusal);
  if (!n) {
    table.PutText(number, "");
    return;
  }
  table.PutNumber(number, *n);
}

// "YYYY-MM-DD" or "YYYYMMDD" as a day number; 0 for a blank value.
int32_t DayNumberOfText(const std::string& text, const Refusal& refusal) {
  auto digits = [&](size_t at, size_t n, int* out) {
    if (at + n > text.size()) return false;
    int v = 0;
    for (size_t i = at; i < at + n; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      v = v * 10 + (text[i] - '0');
    }
    *out = v;
    return true;
  };
  int year = 0, month = 0, day = 0;
  bool shaped = (text.size() == 10 && text[4] == '-' && text[7] == '-' && digits(0, 4, &year) &&
                 digits(5, 2, &month) && digits(8, 2, &day)) ||
                (text.size() == 8 && digits(0, 4, &year) && digits(4, 2, &month) && digits(6, 2, &day));
  int32_t dayNumber = shaped ? DayNumberOf(year, month, day) : 0;
  if (dayNumber <= 0) refusal.Raise(Quoted(text) + " is not a date (YYYY-MM-DD)");
  return dayNumber;
}

void StoreDate(VRO_dBaseFld& table, int32_t number, const FieldValue& value, const Refusal& refusal) {
  if (value.kind == ValueKind::Null) {
    table.PutDate(number, 0);
    return;
  }
  if (value.kind != ValueKind::Text) refusal.WrongKind(value, "a date string");
  std::string text = TrimBlanks(value.text);
  table.PutDate(number, text.empty() ? 0 : DayNumberOfText(text, refusal));
}

void StoreLogical(VRO_dBaseFld& table, int32_t number, const FieldValue& value, const Refusal& refusal) {
  switch (value.kind) {
    case ValueKind::Null: table.PutText(number, ""); return;
    case ValueKind::Boolean: table.PutLogical(number, value.boolean); return;
    case ValueKind::Text: {
      std::string text = TrimBlanks(value.text);
      std::optional<bool> letter = text.size() == 1 ? LogicalOfLetter(text[0]) : std::nullopt;
      if (text.empty() || text == "?") {
        table.PutText(number, "");
      } else if (text == "true" || text == "false") {
        table.PutLogical(number, text == "true");
      } else if (letter) {
        table.PutLogical(number, *letter);
      } else {
        refusal.Raise(Quoted(value.text) + " is not a logical value (true, false, T, F, Y, N)");
      }
      return;
    }
    default: refusal.WrongKind(value, "a boolean");
  }
}

// The field no longer refers to a memo: blanks in dBase tables, 0 in Visual
// FoxPro ones. The old memo's blocks stay where they are until a pack.
void ClearMemo(VRO_dBaseFld& table, int32_t number) {
  if (IsVisualFoxPro(table)) {
    table.PutNumber(number, 0);
  } else {
    table.PutText(number, "");
  }
}

void StoreMemo(VRO_dBaseFld& table, int32_t number, const std::string& bytes, const Refusal& refusal) {
  if (bytes.empty()) {
    ClearMemo(table, number);
    return;
  }
  if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 2)) refusal.Raise("the memo is too large");
  if (table.MemoFor(number) == nullptr) refusal.Raise("the table has no memo file");
  table.MemoWrite(number, bytes.data(), static_cast<int32_t>(bytes.size()));
}

void StoreMemoText(VRO_dBaseFld& table, int32_t number, const FieldValue& value, int codePage,
                   const Refusal& refusal) {
  if (value.kind == ValueKind::Null) return ClearMemo(table, number);
  if (value.kind != ValueKind::Text) refusal.WrongKind(value, "a string");
  StoreMemo(table, number, ToTableBytes(value.text, codePage, refusal), refusal);
}

void StoreMemoBytes(VRO_dBaseFld& table, int32_t number, const FieldValue& value, const Refusal& refusal) {
  switch (value.kind) {
    case ValueKind::Null: return ClearMemo(table, number);
    case ValueKind::Bytes: return StoreMemo(table, number, value.text, refusal);
    case ValueKind::Text: {
      std::string bytes;
      if (!Base64Decode(value.text, &bytes)) refusal.Raise(Quoted(value.text) + " is not Base64");
      return StoreMemo(table, number, bytes, refusal);
    }
    default: refusal.WrongKind(value, "a Base64 string");
  }
}

void StoreInteger(VRO_dBaseFld& table, int32_t number, const FieldValue& value, const Refusal& refusal) {
  std::optional<double> n = NumberOf(value, refusal);
  double whole = n.value_or(0.0);
  if (std::trunc(whole) != whole) refusal.Raise(ShortestText(whole) + " is not a whole number");
  if (whole < std::numeric_limits<int32_t>::min() || whole > std::numeric_limits<int32_t>::max()) {
    refusal.Raise(ShortestText(whole) + " is outside the range of a 32-bit integer");
  }
  table.PutNumber(number, whole);
}

void StoreMachineNumber(VRO_dBaseFld& table, int32_t number, const FieldValue& value, const Refusal& refusal) {
  table.PutNumber(number, NumberOf(value, refusal).value_or(0.0));
}

// "YYYY-MM-DD", then optionally "T" or a blank and "HH:MM[:SS[.mmm]]".
void StoreDateTime(VRO_dBaseFld& table, int32_t number, const FieldValue& value, const Refusal& refusal) {
  if (value.kind == ValueKind::Null) {
    table.PutText(number, std::string(kDateTimeLength, '\0'));
    return;
  }
  if (value.kind != ValueKind::Text) refusal.WrongKind(value, "a date and time string");
  std::string text = TrimBlanks(value.text);
  if (text.empty()) {
    table.PutText(number, std::string(kDateTimeLength, '\0'));
    return;
  }
  auto bad = [&] { refusal.Raise(Quoted(value.text) + " is not a date and time (YYYY-MM-DDTHH:MM:SS.mmm)"); };
  if (text.size() < 10) bad();
  int32_t dayNumber = 0;
  try {
    dayNumber = DayNumberOfText(text.substr(0, 10), refusal);
  } catch (const FieldValueError&) {
    bad();
  }
  int64_t ms = 0;
  if (text.size() > 10) {
    std::string time = text.substr(11);
    if (text[10] != 'T' && text[10] != ' ') bad();
    int parts[3] = {0, 0, 0};
    int fraction = 0;
    size_t at = 0;
    for (int p = 0; p < 3; ++p) {
      if (p > 0) {
        if (at == time.size() && p == 2) break;  // seconds are optional
        if (at >= time.size() || time[at] != ':') bad();
        ++at;
      }
      if (at + 2 > time.size() || time[at] < '0' || time[at] > '9' || time[at + 1] < '0' || time[at + 1] > '9') bad();
      parts[p] = (time[at] - '0') * 10 + (time[at + 1] - '0');
      at += 2;
    }
    if (at < time.size()) {
      if (time[at] != '.' || at + 1 == time.size() || time.size() - at - 1 > 3) bad();
      int scale = 100;
      for (size_t i = at + 1; i < time.size(); ++i, scale /= 10) {
        if (time[i] < '0' || time[i] > '9') bad();
        fraction += (time[i] - '0') * scale;
      }
    }
    if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) bad();
    ms = ((int64_t{parts[0]} * 60 + parts[1]) * 60 + parts[2]) * 1000 + fraction;
  }
  double total = static_cast<double>((dayNumber - kDateTimeEpochDay) * kMillisecondsPerDay + ms);
  table.PutNumber(number, total);
}

}  // namespace

// ---- values --------------------------------------------------------------------

FieldValue FieldValue::OfText(std::string utf8) {
  FieldValue value;
  value.kind = ValueKind::Text;
  value.text = std::move(utf8);
  return value;
}

FieldValue FieldValue::OfInteger(int64_t integer) {
  FieldValue value;
  value.kind = ValueKind::Integer;
  value.integer = integer;
  return value;
}

FieldValue FieldValue::OfNumber(double number) {
  FieldValue value;
  value.kind = ValueKind::Number;
  value.number = number;
  return value;
}

FieldValue FieldValue::OfBoolean(bool boolean) {
  FieldValue value;
  value.kind = ValueKind::Boolean;
  value.boolean = boolean;
  return value;
}

FieldValue FieldValue::OfBytes(std::string bytes) {
  FieldValue value;
  value.kind = ValueKind::Bytes;
  value.text = std::move(bytes);
  return value;
}

FieldValueError::FieldValueError(const std::string& fieldName, const std::string& reason)
    : std::runtime_error("Field " + fieldName + ": " + reason), fieldName_(fieldName), reason_(reason) {}

FieldValue ReadFieldValue(VRO_dBaseFld& table, int32_t number, int codePage) {
  const VRFieldEntry* field = table.Field(number);
  if (field == nullptr) return FieldValue::Null();
  switch (ClassOf(table, number)) {
    case FieldClass::Character: return FieldValue::OfText(platform::ToUtf8(TrimTrailingBlanks(table.GetText(number)), codePage));
    case FieldClass::Numeric: return NumberFromText(table.GetText(number), field->Decimals(), codePage);
    case FieldClass::Date: return DateFromText(table.GetText(number), codePage);
    case FieldClass::Logical: return LogicalFromText(table.GetText(number));
    case FieldClass::MemoText: return FieldValue::OfText(platform::ToUtf8(MemoBytes(table, number), codePage));
    case FieldClass::MemoBytes: return FieldValue::OfBytes(MemoBytes(table, number));
    case FieldClass::Integer: return FieldValue::OfInteger(static_cast<int64_t>(table.GetNumber(number)));
    case FieldClass::Double:
    case FieldClass::Currency: return FieldValue::OfNumber(table.GetNumber(number));
    case FieldClass::DateTime: return DateTimeFromField(table, number);
    case FieldClass::Raw: return FieldValue::OfText(platform::ToUtf8(table.GetText(number), codePage));
  }
  return FieldValue::Null();
}

void StoreFieldValue(VRO_dBaseFld& table, int32_t number, const FieldValue& value, int codePage) {
  const VRFieldEntry* field = table.Field(number);
  if (field == nullptr) throw FieldValueError("#" + std::to_string(number), "no such field");
  Refusal refusal(table, number);
  switch (ClassOf(table, number)) {
    case FieldClass::Character:
    case FieldClass::Raw: return StoreText(table, number, value, codePage, refusal);
    case FieldClass::Numeric: return StoreNumber(table, number, value, refusal);
    case FieldClass::Date: return StoreDate(table, number, value, refusal);
    case FieldClass::Logical: return StoreLogical(table, number, value, refusal);
    case FieldClass::MemoText: return StoreMemoText(table, number, value, codePage, refusal);
    case FieldClass::MemoBytes: return StoreMemoBytes(table, number, value, refusal);
    case FieldClass::Integer: return StoreInteger(table, number, value, refusal);
    case FieldClass::Double:
    case FieldClass::Currency: return StoreMachineNumber(table, number, value, refusal);
    case FieldClass::DateTime: return StoreDateTime(table, number, value, refusal);
  }
}

void BlankRecordForValues(VRO_dBaseFld& table) {
  table.BlankRecord();
  for (int32_t i = 1; i <= table.FieldCount(); ++i) {
    if (ClassOf(table, i) == FieldClass::DateTime) {
      table.PutText(i, std::string(kDateTimeLength, '\0'));
    }
  }
}

std::string FieldValueText(const FieldValue& value) {
  switch (value.kind) {
    case ValueKind::Null: return std::string();
    case ValueKind::Text: return value.text;
    case ValueKind::Integer: return std::to_string(value.integer);
    case ValueKind::Number: return std::isfinite(value.number) ? ShortestText(value.number) : std::string();
    case ValueKind::Boolean: return value.boolean ? "true" : "false";
    case ValueKind::Bytes: return Base64Encode(value.text);
  }
  return std::string();
}

nlohmann::ordered_json FieldValueJson(const FieldValue& value) {
  switch (value.kind) {
    case ValueKind::Null: return nullptr;
    case ValueKind::Text: return value.text;
    case ValueKind::Integer: return value.integer;
    case ValueKind::Number:
      if (!std::isfinite(value.number)) return nullptr;
      return value.number;
    case ValueKind::Boolean: return value.boolean;
    case ValueKind::Bytes: return Base64Encode(value.text);
  }
  return nullptr;
}

FieldValue FieldValueFromJson(const nlohmann::json& json, const std::string& fieldName) {
  switch (json.type()) {
    case nlohmann::json::value_t::null: return FieldValue::Null();
    case nlohmann::json::value_t::string: return FieldValue::OfText(json.get<std::string>());
    case nlohmann::json::value_t::boolean: return FieldValue::OfBoolean(json.get<bool>());
    case nlohmann::json::value_t::number_integer: return FieldValue::OfInteger(json.get<int64_t>());
    case nlohmann::json::value_t::number_unsigned: {
      uint64_t n = json.get<uint64_t>();
      if (n <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return FieldValue::OfInteger(static_cast<int64_t>(n));
      return FieldValue::OfNumber(static_cast<double>(n));
    }
    case nlohmann::json::value_t::number_float: return FieldValue::OfNumber(json.get<double>());
    default: throw FieldValueError(fieldName, std::string("a field value cannot be a JSON ") + json.type_name());
  }
}

int ChooseCodePage(const std::string& option, uint8_t languageDriver) {
  if (option == "866") return 866;
  if (option == "1251") return 1251;
  if (option == "none") return platform::kNoCodePage;
  switch (languageDriver) {
    case dbf_language_driver::kRussianDos:
    case dbf_language_driver::kRussianOem: return 866;
    case dbf_language_driver::kRussianWindows: return 1251;
    default: return platform::ActiveLocale().AnsiCodePage();
  }
}

}  // namespace velorin::tools
