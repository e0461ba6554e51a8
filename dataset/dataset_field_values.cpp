// Field values: reading and writing typed values in the record image and the calculated area.
#include "dataset/Velorin6DB.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "dataset/current_record_scope.h"
#include "dataset/dataset_shared.h"
#include "engine/text_trim.h"
#include "engine/byte_order.h"
#include "engine/vr6_Date.h"
#include "platform/code_page.h"
#include "platform/locale_settings.h"
#include "platform/number_text.h"

namespace velorin {

using namespace dataset_detail;

// ---------------------------------------------------------------------------
// Field values

std::string TVelorinDataSet::FieldText(std::string_view fieldName) const {
  CheckActive();
  return FieldByName(fieldName).AsString();
}

std::string TVelorinDataSet::FieldTextUtf8(std::string_view fieldName) const {
  return platform::ToUtf8(FieldText(fieldName), platform::ActiveLocale().AnsiCodePage());
}

TDateTime TVelorinDataSet::FieldDateTime(std::string_view fieldName) const {
  CheckActive();
  return FieldByName(fieldName).AsDateTime();
}

int32_t TVelorinDataSet::FieldInteger(std::string_view fieldName) const {
  CheckActive();
  return FieldByName(fieldName).AsInteger();
}

double TVelorinDataSet::FieldFloat(std::string_view fieldName) const {
  CheckActive();
  return FieldByName(fieldName).AsFloat();
}

bool TVelorinDataSet::FieldBoolean(std::string_view fieldName) const {
  CheckActive();
  return FieldByName(fieldName).AsBoolean();
}

bool TVelorinDataSet::FieldIsNull(std::string_view fieldName) const {
  CheckActive();
  return FieldByName(fieldName).IsNull();
}

uint8_t* TVelorinDataSet::ActiveImage() {
  if (!Active()) return nullptr;
  switch (State()) {
    case TDataSetState::Filter: return handler_->CurrentRecord();
    case TDataSetState::CalcFields: return calcTarget_ != nullptr ? calcTarget_->Image() : nullptr;
    case TDataSetState::Edit:
    case TDataSetState::Insert:
    case TDataSetState::NewValue: return current_.Image();
    default: return hasRecord_ ? current_.Image() : nullptr;
  }
}

uint8_t* TVelorinDataSet::ActiveCalcArea(const TField& field) {
  if (!Active() || field.CalcIndex() < 0 || field.CalcIndex() >= CalcFieldCount()) return nullptr;
  TRecordBuffer* buffer = nullptr;
  switch (State()) {
    case TDataSetState::Filter: return nullptr;  // the candidate has no calculated values
    case TDataSetState::CalcFields: buffer = calcTarget_; break;
    case TDataSetState::Edit:
    case TDataSetState::Insert:
    case TDataSetState::NewValue: buffer = &current_; break;
    default: buffer = hasRecord_ ? &current_ : nullptr;
  }
  return buffer == nullptr ? nullptr : buffer->Calc(layout_, field.CalcIndex());
}

TFieldData TVelorinDataSet::GetFieldData(const TField& field) {
  CheckActive();
  if (field.Calculated()) return ReadCalcField(field);
  uint8_t* image = ActiveImage();
  if (image == nullptr || field.FieldNo() <= 0) return {};
  return ReadDataField(field, image);
}

TFieldData TVelorinDataSet::ReadDataField(const TField& field, uint8_t* image) {
  CurrentRecordScope scope(*handler_, image);
  const int32_t n = field.FieldNo();
  switch (field.Kind()) {
    case TFieldKind::String: {
      std::string value = handler_->GetDisplay(n);
      TranslateBuffer(value.data(), value.size(), false);
      // A declared field narrower than the column takes what fits.
      if (field.Size() > 0 && value.size() > static_cast<size_t>(field.Size())) {
        value = TrimTrailingBlanks(value.substr(0, static_cast<size_t>(field.Size())));
      }
      if (value.empty()) return {};
      return value;
    }
    case TFieldKind::SmallInt:
    case TFieldKind::Integer: {
      double number = handler_->GetNumber(n);
      double rounded = std::round(number);
      double low = field.Kind() == TFieldKind::SmallInt ? std::numeric_limits<int16_t>::min()
                                                        : std::numeric_limits<int32_t>::min();
      double high = field.Kind() == TFieldKind::SmallInt ? std::numeric_limits<int16_t>::max()
                                                         : std::numeric_limits<int32_t>::max();
      // A wide N column can hold more than the field's integer: say so rather than wrap.
      if (!(rounded >= low && rounded <= high)) {
        ComponentError("Значение " + platform::FloatToText(number) + " вне допустимого диапазона поля '" +
                       field.FieldName() + "'");
      }
      return static_cast<int32_t>(rounded);
    }
    case TFieldKind::Float: return handler_->GetNumber(n);
    case TFieldKind::Boolean: return handler_->GetLogical(n);
    case TFieldKind::Date: {
      std::string raw = TrimTrailingBlanks(handler_->GetText(n));
      if (raw.size() != 8 || raw == "00000000") return {};
      if (!std::all_of(raw.begin(), raw.end(), [](char c) { return c >= '0' && c <= '9'; })) return {};
      auto date = EncodeDate(std::stoi(raw.substr(0, 4)), std::stoi(raw.substr(4, 2)), std::stoi(raw.substr(6, 2)));
      if (!date) return {};
      return *date;
    }
    case TFieldKind::DateTime: return FromFieldMilliseconds(handler_->GetNumber(n));
    case TFieldKind::Memo:
    case TFieldKind::Blob: {
      double block = handler_->GetNumber(n);
      if (!(std::trunc(block) != 0.0)) return {};
      return std::string();  // content exists; it is read through a blob stream
    }
    case TFieldKind::Unknown: break;
  }
  return {};
}

TFieldData TVelorinDataSet::ReadCalcField(const TField& field) {
  const uint8_t* area = ActiveCalcArea(field);
  if (area == nullptr || area[0] == 0) return {};
  const uint8_t* value = area + 1;
  switch (field.Kind()) {
    case TFieldKind::String: {
      size_t capacity = TRecordLayout::CalcValueSize(field) - 1;
      const char* chars = reinterpret_cast<const char*>(value);
      return std::string(chars, strnlen(chars, capacity));
    }
    case TFieldKind::SmallInt: return static_cast<int32_t>(static_cast<int16_t>(byte_order::GetLE16(value)));
    case TFieldKind::Integer: return static_cast<int32_t>(byte_order::GetLE32(value));
    case TFieldKind::Float: return byte_order::GetLEDouble(value);
    case TFieldKind::Boolean: return value[0] != 0;
    case TFieldKind::Date:
    case TFieldKind::DateTime: return TDateTime{byte_order::GetLEDouble(value)};
    default: return {};
  }
}

void TVelorinDataSet::SetFieldData(TField& field, const TFieldData& value) {
  CheckActive();
  const TDataSetState state = State();
  bool ownUse = state == TDataSetState::CalcFields || state == TDataSetState::Filter ||
                state == TDataSetState::NewValue;
  if (!IsEditing(state) && !ownUse) DatabaseError(text::kNotEditing);
  if (!field.Calculated() && state == TDataSetState::CalcFields) DatabaseError(text::kNotEditing);
  if (field.ReadOnly() && state != TDataSetState::Filter) DatabaseError(dataset_text::FieldReadOnly(field.DisplayName()));
  field.Validate(value);
  if (field.Calculated()) {
    WriteCalcField(field, value);
  } else {
    uint8_t* image = ActiveImage();
    if (image == nullptr || field.FieldNo() <= 0) DatabaseError(text::kNotEditing);
    WriteDataField(field, value, image);
  }
  if (ownUse) return;
  modified_ = true;
  field.Changed();
  if (autoCalcFields_ && !field.Calculated() && CalcFieldCount() > 0) {
    // Calculated values follow the change; recomputing keeps what was written
    // to calculated fields out of the area only for a moment.
    ComputeCalcFields(current_);
  }
}

void TVelorinDataSet::WriteDataField(TField& field, const TFieldData& value, uint8_t* image) {
  CurrentRecordScope scope(*handler_, image);
  const int32_t n = field.FieldNo();
  switch (field.Kind()) {
    case TFieldKind::String: {
      std::string bytes;
      if (const auto* text = std::get_if<std::string>(&value)) bytes = *text;
      TranslateBuffer(bytes.data(), bytes.size(), true);
      handler_->PutText(n, bytes);
      break;
    }
    case TFieldKind::SmallInt:
    case TFieldKind::Integer: {
      const auto* number = std::get_if<int32_t>(&value);
      handler_->PutNumber(n, number != nullptr ? *number : 0);
      break;
    }
    case TFieldKind::Float: {
      const auto* number = std::get_if<double>(&value);
      handler_->PutNumber(n, number != nullptr ? *number : 0.0);
      break;
    }
    case TFieldKind::Boolean: {
      const auto* flag = std::get_if<bool>(&value);
      handler_->PutLogical(n, flag != nullptr && *flag);
      break;
    }
    case TFieldKind::Date: {
      // Null, or a day without a calendar date, is the blank date (8 blanks).
      const auto* day = std::get_if<TDateTime>(&value);
      handler_->PutDate(n, day != nullptr && DecodeDate(*day) ? DayNumberOf(*day) : 0);
      break;
    }
    case TFieldKind::DateTime: {
      const auto* moment = std::get_if<TDateTime>(&value);
      if (moment != nullptr && DecodeDate(*moment)) {
        handler_->PutNumber(n, ToFieldMilliseconds(*moment));
      } else {
        handler_->PutText(n, std::string());  // blanks: the zero date-time
      }
      break;
    }
    case TFieldKind::Memo:
    case TFieldKind::Blob:
    case TFieldKind::Unknown: break;  // blob content goes through a blob stream
  }
}

void TVelorinDataSet::WriteCalcField(const TField& field, const TFieldData& value) {
  uint8_t* area = ActiveCalcArea(field);
  if (area == nullptr) return;
  size_t size = TRecordLayout::CalcValueSize(field);
  std::memset(area, 0, 1 + size);
  if (velorin::IsNull(value)) return;
  area[0] = 1;
  uint8_t* out = area + 1;
  switch (field.Kind()) {
    case TFieldKind::String: {
      const auto& text = std::get<std::string>(value);
      std::memcpy(out, text.data(), std::min(text.size(), size - 1));
      break;
    }
    case TFieldKind::SmallInt:
      byte_order::PutLE16(out, static_cast<uint16_t>(static_cast<int16_t>(std::get<int32_t>(value))));
      break;
    case TFieldKind::Integer: byte_order::PutLE32(out, static_cast<uint32_t>(std::get<int32_t>(value))); break;
    case TFieldKind::Float: byte_order::PutLEDouble(out, std::get<double>(value)); break;
    case TFieldKind::Boolean: out[0] = std::get<bool>(value) ? 1 : 0; break;
    case TFieldKind::Date:
    case TFieldKind::DateTime: byte_order::PutLEDouble(out, std::get<TDateTime>(value).Value); break;
    default: break;
  }
}

void TVelorinDataSet::FieldContentChanged(TField& field) {
  field.SetModified(true);
  if (!IsEditing(State())) return;
  modified_ = true;
  field.Changed();
}

std::unique_ptr<TStream> TVelorinDataSet::CreateBlobStream(TField& field, TBlobStreamMode mode) {
  CheckActive();
  return std::make_unique<TVLBlobStream>(field, mode);
}

}  // namespace velorin
