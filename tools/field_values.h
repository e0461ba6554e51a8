// field_values.h — the values of table fields as other programs see them.
//
// Inside a table a value is bytes in the table's code page, laid out by the field
// type. Outside, in JSON or CSV, it is a typed value with its text in UTF-8:
//
//   C              text without trailing blanks
//   N, F           a number (whole when the field has no decimals); null when blank
//   D              "YYYY-MM-DD"; null when blank
//   L              true or false; null when blank or "?"
//   M              the memo text ("" when the field has no memo)
//   B, G           the memo bytes (Base64 in JSON and CSV)
//   Visual FoxPro (version 0x30) machine values:
//     I a whole number, B a number (a double), Y a number with up to four
//     decimals, T "YYYY-MM-DDTHH:MM:SS.mmm" (null when blank), M and G as above
//   other types    the field's bytes as text
//
// A field whose bytes are damaged (an N field holding "12x", a D field holding
// "2024XX01") reads as the text it holds, so that nothing is lost in a dump.
//
// StoreFieldValue is the way back: it checks the value against the field first
// and refuses with FieldValueError (the field left as it was) when the value has
// the wrong kind, does not fit, is not a date, or holds a character the table's
// code page lacks. Numbers go through the engine's PutNumber, whose own refusal
// (error 1011, number too large) arrives as EVelorinError. Memo contents are
// written into the memo file at once; the record itself only reaches the disk
// when the caller writes or appends it.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velorin {
class VRO_dBaseFld;
}

namespace velorin::tools {

enum class ValueKind { Null, Text, Integer, Number, Boolean, Bytes };

struct FieldValue {
  ValueKind kind = ValueKind::Null;
  std::string text;  // Text: UTF-8; Bytes: the raw bytes
  int64_t integer = 0;
  double number = 0.0;
  bool boolean = false;

  static FieldValue Null() { return {}; }
  static FieldValue OfText(std::string utf8);
  static FieldValue OfInteger(int64_t value);
  static FieldValue OfNumber(double value);
  static FieldValue OfBoolean(bool value);
  static FieldValue OfBytes(std::string bytes);
  friend bool operator==(const FieldValue&, const FieldValue&) = default;
};

// A value that a field cannot take; nothing was stored.
class FieldValueError : public std::runtime_error {
 public:
  FieldValueError(const std::string& fieldName, const std::string& reason);
  const std::string& FieldName() const { return fieldName_; }
  const std::string& Reason() const { return reason_; }

 private:
  std::string fieldName_;
  std::string reason_;
};

// The value of field number (1-based) of the current record; codePage is the
// table's (platform::kNoCodePage: the bytes are taken as UTF-8). Memo fields read
// their memo file. Engine errors (a missing or damaged memo file) pass through.
FieldValue ReadFieldValue(VRO_dBaseFld& table, int32_t number, int codePage);

// Stores value into field number of the current record (see above). Text given
// to a B or G memo field is Base64. Throws FieldValueError or EVelorinError.
void StoreFieldValue(VRO_dBaseFld& table, int32_t number, const FieldValue& value, int codePage);

// The record as an appended record starts: BlankRecord, and then the T fields of
// Visual FoxPro tables empty (eight zero bytes) instead of the engine's blank,
// which is the number 0, day 1721425 (31 December of the year 0): other
// programs refuse that day.
void BlankRecordForValues(VRO_dBaseFld& table);

// The value as one UTF-8 text, as a CSV cell holds it: "" for null, whole numbers
// in decimal, other numbers in the shortest form that reads back the same,
// "true"/"false", Base64 for bytes.
std::string FieldValueText(const FieldValue& value);

// JSON: null, string, number (NaN and infinities as null), boolean; bytes as a
// Base64 string.
nlohmann::ordered_json FieldValueJson(const FieldValue& value);

// A JSON value as a field value: strings become Text, numbers Integer or Number,
// booleans Boolean, null Null. Arrays and objects are refused (FieldValueError
// naming fieldName).
FieldValue FieldValueFromJson(const nlohmann::json& json, const std::string& fieldName);

// The code page of a table's text for a command: option "866", "1251" or "none"
// (platform::kNoCodePage); "" takes the language-driver byte (0x26 and 0x65 mean
// 866, 0xC9 1251) and otherwise the ANSI code page of the active locale.
int ChooseCodePage(const std::string& option, uint8_t languageDriver);

}  // namespace velorin::tools
