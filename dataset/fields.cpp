#include "dataset/fields.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <type_traits>

#include "dataset/data_set_base.h"
#include "engine/field_kind.h"
#include "engine/text_trim.h"
#include "engine/vr6_Date.h"
#include "platform/convert_error.h"

namespace velorin {

namespace {

// A whole decimal number, optionally signed, blanks around it ignored.
bool ParseInteger(const std::string& text, int64_t* value) {
  std::string t = TrimWhiteSpace(text);
  if (t.empty()) return false;
  const char* first = t.data();
  const char* last = t.data() + t.size();
  if (*first == '+') ++first;
  auto [ptr, ec] = std::from_chars(first, last, *value);
  return ec == std::errc() && ptr == last;
}

// A decimal number with "." as the decimal point, blanks around it ignored.
bool ParseFloat(const std::string& text, double* value) {
  std::string t = TrimWhiteSpace(text);
  if (t.empty()) return false;
  const char* first = t.data();
  const char* last = t.data() + t.size();
  if (*first == '+') ++first;
  auto [ptr, ec] = std::from_chars(first, last, *value, std::chars_format::general);
  return ec == std::errc() && ptr == last && std::isfinite(*value);
}

std::string FormatFloat(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

bool HoldsKindForm(TFieldKind kind, const TFieldData& data) {
  if (std::holds_alternative<std::monostate>(data)) return true;
  switch (kind) {
    case TFieldKind::String:
    case TFieldKind::Memo:
    case TFieldKind::Blob:
      return std::holds_alternative<std::string>(data);
    case TFieldKind::SmallInt:
    case TFieldKind::Integer:
      return std::holds_alternative<int32_t>(data);
    case TFieldKind::Float:
      return std::holds_alternative<double>(data);
    case TFieldKind::Boolean:
      return std::holds_alternative<bool>(data);
    case TFieldKind::Date:
    case TFieldKind::DateTime:
      return std::holds_alternative<TDateTime>(data);
    case TFieldKind::Unknown:
      break;
  }
  return false;
}

const char* FormName(const TFieldData& data) {
  switch (data.index()) {
    case 1: return "String";
    case 2: return "Integer";
    case 3: return "Float";
    case 4: return "Boolean";
    case 5: return "DateTime";
    default: return "Null";
  }
}

bool IsBlobKind(TFieldKind kind) { return kind == TFieldKind::Memo || kind == TFieldKind::Blob; }

}  // namespace

const char* FieldKindName(TFieldKind kind) {
  switch (kind) {
    case TFieldKind::String: return "String";
    case TFieldKind::SmallInt: return "SmallInt";
    case TFieldKind::Integer: return "Integer";
    case TFieldKind::Float: return "Float";
    case TFieldKind::Boolean: return "Boolean";
    case TFieldKind::Date: return "Date";
    case TFieldKind::DateTime: return "DateTime";
    case TFieldKind::Memo: return "Memo";
    case TFieldKind::Blob: return "Blob";
    case TFieldKind::Unknown: break;
  }
  return "Unknown";
}

bool IsNull(const TFieldData& data) { return std::holds_alternative<std::monostate>(data); }

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

const TFieldDef* TFieldDefs::Find(std::string_view name) const {
  for (const auto& def : defs_) {
    if (SameTextIgnoringCase(def.Name, name)) return &def;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// TField

TField::TField(std::string name, TFieldKind kind, int32_t size) : name_(std::move(name)), kind_(kind), size_(size) {}

TField::~TField() = default;

TFieldData TField::Value() const {
  if (dataSet_ == nullptr) throw EDatabaseError("Поле '" + name_ + "' не связано с набором данных");
  TFieldData data = dataSet_->GetFieldData(*this);
  if (IsBlobKind(kind_) && !velorin::IsNull(data)) {
    auto stream = dataSet_->CreateBlobStream(const_cast<TField&>(*this), TBlobStreamMode::Read);
    std::string content(static_cast<size_t>(stream->Size()), '\0');
    if (!content.empty()) content.resize(static_cast<size_t>(stream->Read(content.data(), stream->Size())));
    return content;
  }
  return data;
}

void TField::SetValue(const TFieldData& value) {
  if (dataSet_ == nullptr) throw EDatabaseError("Поле '" + name_ + "' не связано с набором данных");
  if (!HoldsKindForm(kind_, value)) ConversionError(FormName(value));
  if (IsBlobKind(kind_)) {
    // The content goes into the blob's own store; the record keeps its reference.
    auto stream = dataSet_->CreateBlobStream(*this, TBlobStreamMode::Write);
    if (const auto* text = std::get_if<std::string>(&value); text != nullptr && !text->empty()) {
      stream->Write(text->data(), static_cast<int32_t>(text->size()));
    }
    stream->Commit();
    return;
  }
  TFieldData stored = value;
  if (auto* text = std::get_if<std::string>(&stored); text != nullptr && size_ > 0 &&
                                                      text->size() > static_cast<size_t>(size_)) {
    text->resize(static_cast<size_t>(size_));
  }
  dataSet_->SetFieldData(*this, stored);
}

bool TField::IsNull() const {
  if (dataSet_ == nullptr) return true;
  return velorin::IsNull(dataSet_->GetFieldData(*this));
}

std::string TField::AsString() const { ConversionError("String"); }
void TField::SetAsString(const std::string&) { ConversionError("String"); }
int32_t TField::AsInteger() const { ConversionError("Integer"); }
void TField::SetAsInteger(int32_t) { ConversionError("Integer"); }
double TField::AsFloat() const { ConversionError("Float"); }
void TField::SetAsFloat(double) { ConversionError("Float"); }
bool TField::AsBoolean() const { ConversionError("Boolean"); }
void TField::SetAsBoolean(bool) { ConversionError("Boolean"); }
TDateTime TField::AsDateTime() const { ConversionError("DateTime"); }
void TField::SetAsDateTime(TDateTime) { ConversionError("DateTime"); }

void TField::Validate(const TFieldData& newValue) {
  if (OnValidate) OnValidate(*this, newValue);
}

void TField::Changed() {
  if (OnChange) OnChange(*this);
}

void TField::ConversionError(const char* wanted) const {
  throw EDatabaseError("Поле '" + name_ + "' типа " + FieldKindName(kind_) + " нельзя использовать как " + wanted);
}

void TField::InvalidText(const std::string& text, const char* what) const {
  throw EDatabaseError("'" + text + "' не является допустимым значением (" + what + ") для поля '" + name_ + "'");
}

void TField::OutOfRange(const std::string& value) const {
  throw EDatabaseError("Значение " + value + " вне допустимого диапазона поля '" + name_ + "'");
}

// ---------------------------------------------------------------------------
// Text

TStringField::TStringField(std::string name, int32_t size) : TField(std::move(name), TFieldKind::String, size) {}

std::string TStringField::AsString() const {
  TFieldData data = Value();
  if (const auto* text = std::get_if<std::string>(&data)) return *text;
  return {};
}

void TStringField::SetAsString(const std::string& value) { SetValue(value); }

int32_t TStringField::AsInteger() const {
  std::string text = AsString();
  if (TrimWhiteSpace(text).empty()) return 0;
  int64_t value = 0;
  if (!ParseInteger(text, &value)) InvalidText(text, "Integer");
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) OutOfRange(text);
  return static_cast<int32_t>(value);
}

void TStringField::SetAsInteger(int32_t value) { SetValue(std::to_string(value)); }

double TStringField::AsFloat() const {
  std::string text = AsString();
  if (TrimWhiteSpace(text).empty()) return 0.0;
  double value = 0.0;
  if (!ParseFloat(text, &value)) InvalidText(text, "Float");
  return value;
}

void TStringField::SetAsFloat(double value) {
  if (!std::isfinite(value)) OutOfRange(FormatFloat(value));
  SetValue(FormatFloat(value));
}

bool TStringField::AsBoolean() const {
  std::string text = AsString();
  return !text.empty() && IsLogicalTrueLetter(text[0]);
}

void TStringField::SetAsBoolean(bool value) { SetValue(std::string(value ? "T" : "F")); }

TDateTime TStringField::AsDateTime() const {
  std::string text = AsString();
  if (TrimWhiteSpace(text).empty()) return TDateTime{};
  auto value = ParseDateTime(text);
  if (!value) InvalidText(text, "DateTime");
  return *value;
}

void TStringField::SetAsDateTime(TDateTime value) {
  TTimeOfDay t = DecodeTime(value);
  bool midnight = t.Hour == 0 && t.Minute == 0 && t.Second == 0 && t.Millisecond == 0;
  SetValue(midnight ? FormatDate(value) : FormatDateTime(value));
}

// ---------------------------------------------------------------------------
// Integers

TIntegerFieldBase::TIntegerFieldBase(std::string name, TFieldKind kind, int32_t min, int32_t max)
    : TField(std::move(name), kind, 0), min_(min), max_(max) {}

int32_t TIntegerFieldBase::AsInteger() const {
  TFieldData data = Value();
  if (const auto* value = std::get_if<int32_t>(&data)) return *value;
  return 0;
}

std::string TIntegerFieldBase::AsString() const {
  if (IsNull()) return {};
  return std::to_string(AsInteger());
}

void TIntegerFieldBase::SetAsString(const std::string& value) {
  if (TrimWhiteSpace(value).empty()) {
    Clear();
    return;
  }
  int64_t number = 0;
  if (!ParseInteger(value, &number)) InvalidText(value, "Integer");
  if (number < min_ || number > max_) OutOfRange(TrimWhiteSpace(value));
  SetAsInteger(static_cast<int32_t>(number));
}

void TIntegerFieldBase::SetAsInteger(int32_t value) {
  if (value < min_ || value > max_) OutOfRange(std::to_string(value));
  SetValue(value);
}

double TIntegerFieldBase::AsFloat() const { return AsInteger(); }

void TIntegerFieldBase::SetAsFloat(double value) {
  double rounded = std::round(value);
  if (!std::isfinite(rounded) || rounded < min_ || rounded > max_) OutOfRange(FormatFloat(value));
  SetAsInteger(static_cast<int32_t>(rounded));
}

bool TIntegerFieldBase::AsBoolean() const { return AsInteger() != 0; }
void TIntegerFieldBase::SetAsBoolean(bool value) { SetAsInteger(value ? 1 : 0); }

TSmallintField::TSmallintField(std::string name)
    : TIntegerFieldBase(std::move(name), TFieldKind::SmallInt, std::numeric_limits<int16_t>::min(),
                        std::numeric_limits<int16_t>::max()) {}

TIntegerField::TIntegerField(std::string name)
    : TIntegerFieldBase(std::move(name), TFieldKind::Integer, std::numeric_limits<int32_t>::min(),
                        std::numeric_limits<int32_t>::max()) {}

// ---------------------------------------------------------------------------
// Floating point

TFloatField::TFloatField(std::string name) : TField(std::move(name), TFieldKind::Float, 0) {}

double TFloatField::AsFloat() const {
  TFieldData data = Value();
  if (const auto* value = std::get_if<double>(&data)) return *value;
  return 0.0;
}

std::string TFloatField::AsString() const {
  if (IsNull()) return {};
  return FormatFloat(AsFloat());
}

void TFloatField::SetAsString(const std::string& value) {
  if (TrimWhiteSpace(value).empty()) {
    Clear();
    return;
  }
  double number = 0.0;
  if (!ParseFloat(value, &number)) InvalidText(value, "Float");
  SetAsFloat(number);
}

int32_t TFloatField::AsInteger() const {
  double rounded = std::round(AsFloat());
  if (!(rounded >= std::numeric_limits<int32_t>::min() && rounded <= std::numeric_limits<int32_t>::max())) {
    OutOfRange(FormatFloat(AsFloat()));
  }
  return static_cast<int32_t>(rounded);
}

void TFloatField::SetAsInteger(int32_t value) { SetAsFloat(value); }

void TFloatField::SetAsFloat(double value) {
  if (!std::isfinite(value)) OutOfRange(FormatFloat(value));
  SetValue(value);
}

// ---------------------------------------------------------------------------
// Logical

TBooleanField::TBooleanField(std::string name) : TField(std::move(name), TFieldKind::Boolean, 0) {}

bool TBooleanField::AsBoolean() const {
  TFieldData data = Value();
  if (const auto* value = std::get_if<bool>(&data)) return *value;
  return false;
}

std::string TBooleanField::AsString() const {
  if (IsNull()) return {};
  return AsBoolean() ? "T" : "F";
}

void TBooleanField::SetAsString(const std::string& value) {
  std::string t = TrimWhiteSpace(value);
  std::optional<bool> letter = t.empty() ? std::nullopt : LogicalOfLetter(t[0]);
  if (t.empty()) {
    Clear();
  } else if (letter) {
    SetAsBoolean(*letter);
  } else {
    InvalidText(value, "Boolean");
  }
}

void TBooleanField::SetAsBoolean(bool value) { SetValue(value); }
int32_t TBooleanField::AsInteger() const { return AsBoolean() ? 1 : 0; }
void TBooleanField::SetAsInteger(int32_t value) { SetAsBoolean(value != 0); }

// ---------------------------------------------------------------------------
// Dates

TDateTime TDateTimeFieldBase::AsDateTime() const {
  TFieldData data = Value();
  if (const auto* value = std::get_if<TDateTime>(&data)) return *value;
  return TDateTime{};
}

// Dates show in the platform's short date form with a four-digit year.
std::string TDateTimeFieldBase::AsString() const {
  if (IsNull()) return {};
  TDateTime value = AsDateTime();
  std::string text = DBFDate().DayNumberToDisplay(DayNumberOf(value));
  if (Kind() == TFieldKind::DateTime && !text.empty()) {
    TTimeOfDay t = DecodeTime(value);
    char time[16];
    std::snprintf(time, sizeof time, " %02d:%02d:%02d", t.Hour, t.Minute, t.Second);
    text += time;
  }
  return text;
}

void TDateTimeFieldBase::SetAsString(const std::string& value) {
  if (TrimWhiteSpace(value).empty()) {
    Clear();
    return;
  }
  auto parsed = ParseDateTime(value);
  if (!parsed) {
    // The platform's short date form, when it is not one of the fixed forms.
    try {
      int32_t day = DBFDate().TextToDayNumber(TrimWhiteSpace(value));
      if (day > 0) parsed = FromDayNumber(day);
    } catch (const platform::EConvertError&) {
    }
  }
  if (!parsed) InvalidText(value, FieldKindName(Kind()));
  SetAsDateTime(*parsed);
}

double TDateTimeFieldBase::AsFloat() const { return AsDateTime().Value; }
void TDateTimeFieldBase::SetAsFloat(double value) { SetAsDateTime(TDateTime{value}); }
void TDateTimeFieldBase::SetAsDateTime(TDateTime value) {
  if (!DecodeDate(value)) OutOfRange(FormatFloat(value.Value));
  SetValue(value);
}

TDateField::TDateField(std::string name) : TDateTimeFieldBase(std::move(name), TFieldKind::Date, 0) {}

void TDateField::SetAsDateTime(TDateTime value) {
  if (!DecodeDate(value)) OutOfRange(FormatFloat(value.Value));
  // The day of the serial: its integral part, also before 1899 where the
  // fraction counts forward from midnight.
  TDateTimeFieldBase::SetAsDateTime(FromDayNumber(DayNumberOf(value)));
}

TDateTimeField::TDateTimeField(std::string name) : TDateTimeFieldBase(std::move(name), TFieldKind::DateTime, 0) {}

// ---------------------------------------------------------------------------
// Memo and blob

TBlobField::TBlobField(std::string name) : TField(std::move(name), TFieldKind::Blob, 0) {}
TBlobField::TBlobField(std::string name, TFieldKind kind) : TField(std::move(name), kind, 0) {}

std::string TBlobField::AsString() const {
  TFieldData data = Value();
  if (const auto* text = std::get_if<std::string>(&data)) return *text;
  return {};
}

void TBlobField::SetAsString(const std::string& value) { SetValue(value); }

TMemoField::TMemoField(std::string name) : TBlobField(std::move(name), TFieldKind::Memo) {}

void AssignFieldValue(TField& field, const TFieldData& value) {
  std::visit(
      [&field](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          field.Clear();
        } else if constexpr (std::is_same_v<T, std::string>) {
          field.SetAsString(v);
        } else if constexpr (std::is_same_v<T, int32_t>) {
          field.SetAsInteger(v);
        } else if constexpr (std::is_same_v<T, double>) {
          field.SetAsFloat(v);
        } else if constexpr (std::is_same_v<T, bool>) {
          field.SetAsBoolean(v);
        } else {
          field.SetAsDateTime(v);
        }
      },
      value);
}

std::unique_ptr<TField> MakeField(TFieldKind kind, const std::string& name, int32_t size) {
  switch (kind) {
    case TFieldKind::String: return std::make_unique<TStringField>(name, size);
    case TFieldKind::SmallInt: return std::make_unique<TSmallintField>(name);
    case TFieldKind::Integer: return std::make_unique<TIntegerField>(name);
    case TFieldKind::Float: return std::make_unique<TFloatField>(name);
    case TFieldKind::Boolean: return std::make_unique<TBooleanField>(name);
    case TFieldKind::Date: return std::make_unique<TDateField>(name);
    case TFieldKind::DateTime: return std::make_unique<TDateTimeField>(name);
    case TFieldKind::Memo: return std::make_unique<TMemoField>(name);
    case TFieldKind::Blob: return std::make_unique<TBlobField>(name);
    case TFieldKind::Unknown: break;
  }
  return nullptr;
}

}  // namespace velorin
