// The field layer of a table: VRO_dBaseFld.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/byte_order.h"
#include "engine/field_kind.h"
#include "engine/number_format.h"
#include "engine/text_trim.h"
#include "engine/vr6_DBF.h"
#include "engine/vr6_Date.h"
#include "engine/vr6_eror.h"
#include "engine/vr6_glbl.h"
#include "engine/vr6_memo.h"
#include "platform/convert_error.h"
#include "platform/file_names.h"
#include "platform/number_text.h"

namespace velorin {

namespace {

constexpr double kMillisecondsPerDayDouble = static_cast<double>(kMillisecondsPerDay);

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool NamesEqual(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

bool IsAllBlanks(const uint8_t* bytes, size_t n) {
  return std::all_of(bytes, bytes + n, [](uint8_t b) { return b == ' '; });
}

}  // namespace

VRO_dBaseFld::VRO_dBaseFld(const std::string& fileName, bool readWrite, bool shared)
    : VRO_dBaseDBF(fileName, readWrite, shared) {
  hasMemo_ = HasMemoFile();
  productionIndex_ = hasProductionIndex_;
}

VRO_dBaseFld::~VRO_dBaseFld() = default;

std::string VRO_dBaseFld::TableName() const {
  std::string base = platform::BaseName(fileName_);
  size_t dot = base.rfind('.');
  return dot == std::string::npos ? base : base.substr(0, dot);
}

FieldStorage VRO_dBaseFld::StorageOf(const VRFieldEntry& field) const {
  // The descriptor's length is not checked at open: a field shorter than its
  // machine value is text, since reading the value would run past the field.
  return FieldStorageOf(field.Type(), field.Length(), version_);
}

bool VRO_dBaseFld::IsMachineValue(const VRFieldEntry& field) const { return IsMachineStorage(StorageOf(field)); }

FieldKind VRO_dBaseFld::KindOfField(int32_t number) const {
  const VRFieldEntry* field = Field(number);
  return field == nullptr ? FieldKind::Other : FieldKindOf(field->Type(), version_);
}

FieldStorage VRO_dBaseFld::StorageOfField(int32_t number) const {
  const VRFieldEntry* field = Field(number);
  return field == nullptr ? FieldStorage::Text : StorageOf(*field);
}

bool VRO_dBaseFld::IsMemoField(int32_t number) const {
  const VRFieldEntry* field = Field(number);
  return field != nullptr && IsMemoFieldType(field->Type(), version_);
}

// ---- lookup --------------------------------------------------------------------

int32_t VRO_dBaseFld::FieldNumber(const std::string& name) {
  std::string wanted = TrimTrailingBlanks(name);
  if (wanted.size() > dbf_descriptor::kNameLength) return 0;
  for (VRFieldEntry& field : fields_) {
    // Compared as at most 11 bytes: a name of 11 characters has no zero byte.
    if (NamesEqual(field.Name(), wanted)) return field.Number;
  }
  return 0;
}

VRFieldEntry* VRO_dBaseFld::FieldByName(const std::string& name) {
  int32_t number = FieldNumber(name);
  if (number == 0) {
    status_ = error_code::kFieldNameInvalid;
    Error(status_, sub_code::kFieldByName, TrimTrailingBlanks(name));
    return nullptr;
  }
  lastField_ = Field(number);
  return lastField_;
}

VRFieldEntry* VRO_dBaseFld::FieldOfType(const std::string& name, char wantedType) {
  VRFieldEntry* field = FieldByName(name);
  if (field == nullptr) return nullptr;
  char type = field->Type();
  bool accepted = type == wantedType || (wantedType == 'G' && (type == 'B' || type == 'M')) ||
                  (wantedType == 'N' && std::string_view("BFGIM").find(type) != std::string_view::npos);
  if (!accepted) {
    status_ = error_code::kFieldTypeIncorrect;
    Error(status_, sub_code::kFieldOfType, TrimTrailingBlanks(name));
    return nullptr;
  }
  return field;
}

int32_t VRO_dBaseFld::FieldDecimals(int32_t number) {
  const VRFieldEntry* field = Field(number);
  return field == nullptr ? 0 : field->Decimals();
}

int32_t VRO_dBaseFld::FieldLength(int32_t number) {
  const VRFieldEntry* field = Field(number);
  return field == nullptr ? 0 : field->Length();
}

int32_t VRO_dBaseFld::FieldOffset(int32_t number) {
  const VRFieldEntry* field = Field(number);
  return field == nullptr ? 0 : field->Displacement;
}

std::string VRO_dBaseFld::FieldName(int32_t number) {
  const VRFieldEntry* field = Field(number);
  return field == nullptr ? std::string() : field->Name();
}

char VRO_dBaseFld::FieldType(int32_t number) {
  const VRFieldEntry* field = Field(number);
  return field == nullptr ? '\0' : field->Type();
}

int32_t VRO_dBaseFld::UserHook(int32_t, int32_t, int32_t, int32_t, int32_t) { return -1; }

// ---- raw text ------------------------------------------------------------------

std::string VRO_dBaseFld::ReadFieldText(int32_t number) { return std::string(FieldTextView(number)); }

std::string_view VRO_dBaseFld::FieldTextView(int32_t number) const {
  const VRFieldEntry* field = Field(number);
  if (field == nullptr || currentRecord_ == nullptr) return std::string_view();
  const char* bytes = reinterpret_cast<const char*>(currentRecord_ + field->Displacement);
  size_t length = static_cast<size_t>(field->Length());
  return std::string_view(bytes, strnlen(bytes, length));
}

void VRO_dBaseFld::StoreFieldText(int32_t number, const std::string& text) {
  const VRFieldEntry* field = Field(number);
  if (field == nullptr || currentRecord_ == nullptr) return;
  uint8_t* bytes = currentRecord_ + field->Displacement;
  size_t length = static_cast<size_t>(field->Length());
  std::memset(bytes, ' ', length);
  size_t n = std::min(text.size(), length);
  char type = field->Type();
  bool leftAligned = type == 'C' || type == 'D' || type == 'L';
  std::memcpy(leftAligned ? bytes : bytes + (length - n), text.data(), n);
  fieldChanged_[static_cast<size_t>(number)] = true;
  RecordEvent(record_event::kFieldStored, number);
}

std::string VRO_dBaseFld::GetText(int32_t number) { return ReadFieldText(number); }

bool VRO_dBaseFld::PutText(int32_t number, const std::string& text) {
  if (Field(number) == nullptr) return false;
  StoreFieldText(number, text);
  return true;
}

std::string VRO_dBaseFld::GetTextByName(const std::string& name) {
  VRFieldEntry* field = FieldByName(name);
  return field == nullptr ? std::string() : GetText(field->Number);
}

bool VRO_dBaseFld::PutTextByName(const std::string& name, const std::string& text) {
  VRFieldEntry* field = FieldByName(name);
  return field != nullptr && PutText(field->Number, text);
}

// ---- dates ---------------------------------------------------------------------

int32_t VRO_dBaseFld::GetDate(int32_t number) {
  const VRFieldEntry* field = Field(number);
  if (field == nullptr) return 0;
  std::string raw = ReadFieldText(number);
  try {
    return DBFDate().TextToDayNumber(raw);
  } catch (const platform::EConvertError&) {
    status_ = error_code::kFieldTypeIncorrect;
    Error(status_, sub_code::kNone, "Invalid date in field " + TableName() + "->" + field->Name() + " (" + raw + ")");
    return 0;
  }
}

bool VRO_dBaseFld::PutDate(int32_t number, int32_t dayNumber) {
  if (dayNumber == -1) {
    status_ = error_code::kFieldTypeIncorrect;
    Error(status_, sub_code::kPutDate, "");
    return false;
  }
  const VRFieldEntry* field = Field(number);
  if (field == nullptr || field->Type() != 'D') return false;
  StoreFieldText(number, DBFDate().DayNumberToStorage(dayNumber));
  return true;
}

int32_t VRO_dBaseFld::GetDateByName(const std::string& name) {
  VRFieldEntry* field = FieldOfType(name, 'D');
  return field == nullptr ? -1 : GetDate(field->Number);
}

bool VRO_dBaseFld::PutDateByName(const std::string& name, int32_t dayNumber) {
  VRFieldEntry* field = FieldOfType(name, 'D');
  return field != nullptr && PutDate(field->Number, dayNumber);
}

// ---- logicals ------------------------------------------------------------------

bool VRO_dBaseFld::GetLogical(int32_t number) {
  std::string raw = ReadFieldText(number);
  // An empty text is false: it would be "found" in any text.
  return !raw.empty() && kLogicalTrueLetters.find(raw) != std::string_view::npos;
}

bool VRO_dBaseFld::PutLogical(int32_t number, bool value) {
  const VRFieldEntry* field = Field(number);
  if (field == nullptr) return false;
  if (field->Type() != 'L') {
    status_ = error_code::kFieldTypeIncorrect;
    Error(status_, sub_code::kFieldOfType, "");
    return false;
  }
  StoreFieldText(number, value ? "T" : "F");
  return true;
}

bool VRO_dBaseFld::GetLogicalByName(const std::string& name) {
  VRFieldEntry* field = FieldOfType(name, 'L');
  return field != nullptr && GetLogical(field->Number);
}

bool VRO_dBaseFld::PutLogicalByName(const std::string& name, bool value) {
  VRFieldEntry* field = FieldOfType(name, 'L');
  return field != nullptr && PutLogical(field->Number, value);
}

// ---- numbers -------------------------------------------------------------------

double VRO_dBaseFld::GetNumber(int32_t number) {
  const VRFieldEntry* field = Field(number);
  if (field == nullptr || currentRecord_ == nullptr) return 0.0;
  const uint8_t* bytes = currentRecord_ + field->Displacement;
  switch (StorageOf(*field)) {
    case FieldStorage::Double: return byte_order::GetLEDouble(bytes);
    case FieldStorage::DayAndTime: {
      int32_t day = IsAllBlanks(bytes, 4) ? kBlankDateTimeDay : static_cast<int32_t>(byte_order::GetLE32(bytes));
      int32_t ms = IsAllBlanks(bytes + 4, 4) ? 0 : static_cast<int32_t>(byte_order::GetLE32(bytes + 4));
      return (static_cast<double>(day) - kDateTimeEpochDay) * kMillisecondsPerDayDouble + ms;
    }
    case FieldStorage::Currency: return static_cast<double>(static_cast<int64_t>(byte_order::GetLE64(bytes))) / 10000.0;
    case FieldStorage::Int32: return static_cast<int32_t>(byte_order::GetLE32(bytes));  // G, I, M
    default: break;
  }
  // Read in place: filters and index keys read numbers once per record.
  const char* chars = reinterpret_cast<const char*>(bytes);
  std::string_view text =
      TrailingBlanksTrimmed(std::string_view(chars, strnlen(chars, static_cast<size_t>(field->Length())))).substr(0, 31);
  if (text.empty()) return 0.0;
  double value = 0.0;
  if (!platform::TryTextToFloat(text, &value)) {
    status_ = error_code::kFieldTypeIncorrect;
    Error(status_, sub_code::kNone,
          "Invalid number in field " + TableName() + "->" + field->Name() + " (" + std::string(text) + ")");
    return 0.0;
  }
  return value;
}

bool VRO_dBaseFld::PutNumber(int32_t number, double value) {
  VRFieldEntry* field = Field(number);
  if (field == nullptr || currentRecord_ == nullptr) return false;
  char type = field->Type();
  bool vfp = version_ == dbf_version::kVisualFoxPro;
  bool numeric = std::string_view("BFGMN").find(type) != std::string_view::npos ||
                 (vfp && std::string_view("BITY").find(type) != std::string_view::npos);
  if (!numeric) {
    status_ = error_code::kFieldTypeIncorrect;
    Error(status_, sub_code::kFieldOfType, "");
    return false;
  }
  auto tooLarge = [&](const std::string& shown) {
    status_ = error_code::kNumberTooLarge;
    Error(status_, sub_code::kPutNumber, field->Name() + " - " + shown);
    return false;
  };
  FieldStorage storage = StorageOf(*field);
  if (IsMachineStorage(storage)) {
    uint8_t* bytes = currentRecord_ + field->Displacement;
    switch (storage) {
      case FieldStorage::Double: byte_order::PutLEDouble(bytes, value); break;
      case FieldStorage::DayAndTime: {
        auto day = TruncToInt32(value / kMillisecondsPerDayDouble);
        if (!day || *day > INT32_MAX - kDateTimeEpochDay) return tooLarge(FormatFixed(value, 0).value_or("NAN"));
        auto ms = TruncToInt32(value - *day * kMillisecondsPerDayDouble);
        if (!ms) return tooLarge(FormatFixed(value, 0).value_or("NAN"));
        byte_order::PutLE32(bytes, static_cast<uint32_t>(*day + kDateTimeEpochDay));
        byte_order::PutLE32(bytes + 4, static_cast<uint32_t>(*ms));
        break;
      }
      case FieldStorage::Currency: {
        // Rounded, not truncated: 12.3456 * 10000 is 123455.99999999999 in binary.
        auto scaled = TruncToInt64(std::round(value * 10000.0));
        if (!scaled) return tooLarge(FormatFixed(value, 4).value_or("NAN"));
        byte_order::PutLE64(bytes, static_cast<uint64_t>(*scaled));
        break;
      }
      default: {  // Int32: G, I, M
        auto integer = TruncToInt32(value);
        if (!integer) return tooLarge(FormatFixed(value, 0).value_or("NAN"));
        byte_order::PutLE32(bytes, static_cast<uint32_t>(*integer));
      }
    }
    fieldChanged_[static_cast<size_t>(number)] = true;
    return true;
  }
  int32_t width = field->Descriptor[dbf_descriptor::kLength];
  std::optional<std::string> text = FormatFixed(value, field->Decimals());
  if (!text) return tooLarge(value != value ? "NAN" : (value > 0 ? "INF" : "-INF"));
  if (static_cast<int32_t>(text->size()) > width) return tooLarge(*text);
  StoreFieldText(number, std::string(static_cast<size_t>(width) - text->size(), ' ') + *text);
  return true;
}

double VRO_dBaseFld::GetNumberByName(const std::string& name) {
  VRFieldEntry* field = FieldOfType(name, 'N');
  return field == nullptr ? 0.0 : GetNumber(field->Number);
}

bool VRO_dBaseFld::PutNumberByName(const std::string& name, double value) {
  VRFieldEntry* field = FieldOfType(name, 'N');
  return field != nullptr && PutNumber(field->Number, value);
}

// ---- display and general values ------------------------------------------------

std::string VRO_dBaseFld::GetDisplay(int32_t number) {
  const VRFieldEntry* field = Field(number);
  if (field == nullptr) return std::string();
  std::string text = TrimTrailingBlanks(ReadFieldText(number));
  auto placeholder = [](const std::string& shown, const char* full, const char* empty) {
    return std::string(shown > "0" ? full : empty);
  };
  switch (field->Type()) {
    case 'B': return placeholder(TrimLeadingBlanks(text), "--BINARY--", "--binary--");
    case 'G': return placeholder(TrimLeadingBlanks(text), "-GENERAL--", "-general--");
    case 'M':
      if (version_ == dbf_version::kVisualFoxPro) {
        text = GetNumber(number) > 0.1 ? "1" : "0";
      } else {
        text = TrimLeadingBlanks(text);
      }
      return placeholder(text, "---MEMO---", "---memo---");
    case 'D': return DBFDate().DayNumberToDisplay(DBFDate().TextToDayNumber(text));
    case 'F':
    case 'N': {
      text = TrimLeadingBlanks(text);
      if (text.empty()) text = FormatFixed(0.0, field->Decimals()).value_or("0");
      return text;
    }
    case 'L': return GetLogical(number) ? "T" : "F";
    default: return text;
  }
}

std::string VRO_dBaseFld::GetDisplayByName(const std::string& name) {
  VRFieldEntry* field = FieldByName(name);
  return field == nullptr ? std::string() : GetDisplay(field->Number);
}

bool VRO_dBaseFld::PutValue(int32_t number, const std::string& text) {
  const VRFieldEntry* field = Field(number);
  if (field == nullptr) return false;
  switch (field->Type()) {
    case 'D': return PutDate(number, DBFDate().TextToDayNumber(text));
    case 'N': {
      std::string number32 = TrimTrailingBlanks(text);
      if (number32.size() > 32) number32.resize(32);
      double value = 0.0;
      if (!number32.empty() && !platform::TryTextToFloat(number32, &value)) {
        status_ = error_code::kFieldTypeIncorrect;
        Error(status_, sub_code::kPutNumber, "");
        return false;
      }
      return PutNumber(number, value);
    }
    default: StoreFieldText(number, text); return true;
  }
}

bool VRO_dBaseFld::PutValueByName(const std::string& name, const std::string& text) {
  VRFieldEntry* field = FieldByName(name);
  return field != nullptr && PutValue(field->Number, text);
}

// ---- records -------------------------------------------------------------------

void VRO_dBaseFld::ClearChanged() { std::fill(fieldChanged_.begin(), fieldChanged_.end(), false); }

void VRO_dBaseFld::GoRecord(int32_t request) {
  VRO_dBaseDBF::GoRecord(request);
  ClearChanged();
}

void VRO_dBaseFld::BlankRecord() {
  if (currentRecord_ == nullptr) return;
  std::memset(currentRecord_, ' ', static_cast<size_t>(recordLength_));
  for (VRFieldEntry& field : fields_) {
    char type = field.Type();
    if (type == 'F' || type == 'N' || IsMachineValue(field)) PutNumber(field.Number, 0.0);
  }
  std::fill(fieldChanged_.begin(), fieldChanged_.end(), true);
  RecordEvent(record_event::kBlanked, 0);
}

void VRO_dBaseFld::DeleteRecord() {
  if (currentRecord_ == nullptr) return;
  currentRecord_[0] = dbf_layout::kDeletedFlag;
  fieldChanged_[0] = true;
  WriteRecord(recordNumber_);
}

void VRO_dBaseFld::RecallRecord() {
  if (currentRecord_ == nullptr) return;
  currentRecord_[0] = dbf_layout::kActiveFlag;
  fieldChanged_[0] = true;
  WriteRecord(recordNumber_);
}

// ---- memo fields ---------------------------------------------------------------

std::unique_ptr<VRobjMemo> VRO_dBaseFld::OpenMemo() {
  std::unique_ptr<VRobjMemo> memo;
  if (hasMemo_) {
    memo = MakeMemoForTable(this, version_, fileName_, readWrite_, shared_);
    if (memo) memo->SetLockProtocol(lockProtocol_);
  }
  hasMemo_ = memo != nullptr;
  return memo;
}

VRobjMemo* VRO_dBaseFld::MemoFor(int32_t number) {
  VRFieldEntry* field = Field(number);
  if (field == nullptr) return nullptr;
  if (!IsMemoFieldType(field->Type(), version_)) return nullptr;
  if (!field->Memo) field->Memo = OpenMemo();
  return field->Memo.get();
}

int32_t VRO_dBaseFld::MemoSize(int32_t number) {
  VRobjMemo* memo = MemoFor(number);
  if (memo == nullptr) return 0;
  auto block = TruncToInt32(GetNumber(number));
  return memo->MemoLength(block.value_or(0));
}

bool VRO_dBaseFld::MemoRead(int32_t number, void* buffer, int32_t& size) {
  VRobjMemo* memo = MemoFor(number);
  if (memo == nullptr) {
    size = 0;
    return false;
  }
  auto block = TruncToInt32(GetNumber(number));
  memo->ReadMemo(buffer, block.value_or(0), size);
  return true;
}

bool VRO_dBaseFld::MemoWrite(int32_t number, const void* buffer, int32_t size) {
  VRobjMemo* memo = MemoFor(number);
  if (memo == nullptr) return false;
  int32_t block = TruncToInt32(GetNumber(number)).value_or(0);
  int32_t written = memo->WriteMemo(buffer, block, size);
  return PutNumber(number, written);
}

}  // namespace velorin
