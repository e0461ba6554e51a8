// field_kind.h — what kind of value a table field holds, and how its bytes hold it.
//
// The one place that answers, from a field's type letter, the table's version and
// the field's length:
//   FieldKindOf      what the value means (text, number, date, memo...)
//   FieldStorageOf   how the record bytes hold it (text, or a Visual FoxPro
//                    machine value)
//   IsMemoFieldType  whether the content lives in the memo file (M, G, and B
//                    outside Visual FoxPro tables, where B is a double)
// and the constants of reading them: the letters a logical reads as true and as
// false, the day a date-time's numeric value counts from. The field layer
// (VRO_dBaseFld), the dataset's typed fields, expressions, index keys and the
// tools all ask here; nobody else classifies type letters.
//
//   letter  kind                       storage in version 0x30         in other versions
//   C       Character                  Text                            Text
//   N, F    Number                     NumberText                      NumberText
//   D       Date                       DateText (yyyymmdd or blanks)   DateText
//   L       Logical                    LogicalLetter                   LogicalLetter
//   M       Memo                       Int32 block number (4 bytes)    NumberText block number
//   G       Binary                     Int32 block number (4 bytes)    NumberText block number
//   B       Double (0x30), else Binary Double (8 bytes)                NumberText block number
//   I       Integer                    Int32 (4 bytes)                 NumberText
//   Y       Currency                   Currency: int64 / 10000 (8)     Text
//   T       DateTime                   DayAndTime: day, ms (8 bytes)   Text
//   other   Other                      Text                            Text
//
// A version 0x30 machine-value field shorter than its value (a damaged
// descriptor) is stored as NumberText, so that nothing reads past it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/vr6_Date.h"

namespace velorin {

enum class FieldKind : uint8_t {
  Character,
  Number,    // N and F: decimal text with the field's decimals
  Integer,   // I
  Double,    // B of Visual FoxPro tables
  Currency,  // Y
  Date,
  DateTime,  // T
  Logical,
  Memo,      // text in the memo file
  Binary,    // bytes in the memo file: G, and B outside Visual FoxPro tables
  Other,     // a letter the engine does not know: the bytes as they are
};

enum class FieldStorage : uint8_t {
  Text,           // bytes, blank-padded
  NumberText,     // a number as text, right-aligned
  DateText,       // yyyymmdd, or eight blanks
  LogicalLetter,  // one letter
  Int32,          // little-endian signed 32 bits
  Double,         // little-endian IEEE double
  Currency,       // little-endian signed 64 bits counting ten-thousandths
  DayAndTime,     // little-endian day number, then milliseconds since midnight
};

FieldKind FieldKindOf(char type, uint8_t version);
FieldStorage FieldStorageOf(char type, int32_t length, uint8_t version);
bool IsMemoFieldType(char type, uint8_t version);
// Int32, Double, Currency or DayAndTime: bytes that are not text.
bool IsMachineStorage(FieldStorage storage);

// The letters a logical field (and a logical typed as text) reads as true and as
// false; a logical is written "T" or "F".
inline constexpr std::string_view kLogicalTrueLetters = "TtYyJj";
inline constexpr std::string_view kLogicalFalseLetters = "FfNn";
inline bool IsLogicalTrueLetter(char c) { return kLogicalTrueLetters.find(c) != std::string_view::npos; }
// true or false for a letter of either set; nullopt for any other character.
std::optional<bool> LogicalOfLetter(char c);

// A date-time's numeric value is milliseconds since the start of this day
// number (the day before 1 January of the year 1); four blank day bytes read as
// the day of date serial 0.
inline constexpr int32_t kDateTimeEpochDay = 1721425;
inline constexpr int32_t kBlankDateTimeDay = kDaySerialOffset;
inline constexpr int64_t kMillisecondsPerDay = 86400000;

}  // namespace velorin
