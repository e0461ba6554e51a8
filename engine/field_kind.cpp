// The field kinds and storages by type letter, version and length.
#include "engine/field_kind.h"

#include "engine/dbf_format.h"

namespace velorin {

namespace {

// The width of each machine value of Visual FoxPro tables.
constexpr int32_t kInt32Width = 4;
constexpr int32_t kWideWidth = 8;

}  // namespace

FieldKind FieldKindOf(char type, uint8_t version) {
  switch (type) {
    case 'C': return FieldKind::Character;
    case 'N':
    case 'F': return FieldKind::Number;
    case 'D': return FieldKind::Date;
    case 'L': return FieldKind::Logical;
    case 'M': return FieldKind::Memo;
    case 'G': return FieldKind::Binary;
    case 'B': return version == dbf_version::kVisualFoxPro ? FieldKind::Double : FieldKind::Binary;
    case 'I': return FieldKind::Integer;
    case 'Y': return FieldKind::Currency;
    case 'T': return FieldKind::DateTime;
    default: return FieldKind::Other;
  }
}

FieldStorage FieldStorageOf(char type, int32_t length, uint8_t version) {
  bool vfp = version == dbf_version::kVisualFoxPro;
  switch (type) {
    case 'C': return FieldStorage::Text;
    case 'N':
    case 'F': return FieldStorage::NumberText;
    case 'D': return FieldStorage::DateText;
    case 'L': return FieldStorage::LogicalLetter;
    case 'M':
    case 'G':
    case 'I': return vfp && length >= kInt32Width ? FieldStorage::Int32 : FieldStorage::NumberText;
    case 'B': return vfp && length >= kWideWidth ? FieldStorage::Double : FieldStorage::NumberText;
    case 'Y':
      if (!vfp) return FieldStorage::Text;
      return length >= kWideWidth ? FieldStorage::Currency : FieldStorage::NumberText;
    case 'T':
      if (!vfp) return FieldStorage::Text;
      return length >= kWideWidth ? FieldStorage::DayAndTime : FieldStorage::NumberText;
    default: return FieldStorage::Text;
  }
}

bool IsMemoFieldType(char type, uint8_t version) {
  FieldKind kind = FieldKindOf(type, version);
  return kind == FieldKind::Memo || kind == FieldKind::Binary;
}

bool IsMachineStorage(FieldStorage storage) {
  switch (storage) {
    case FieldStorage::Int32:
    case FieldStorage::Double:
    case FieldStorage::Currency:
    case FieldStorage::DayAndTime: return true;
    default: return false;
  }
}

std::optional<bool> LogicalOfLetter(char c) {
  if (IsLogicalTrueLetter(c)) return true;
  if (kLogicalFalseLetters.find(c) != std::string_view::npos) return false;
  return std::nullopt;
}

}  // namespace velorin
