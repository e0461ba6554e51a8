// dataset_shared.h — what the source files of TVelorinDataSet share and nobody
// else uses: the dataset's fixed message texts and a few small helpers.
//
// TVelorinDataSet is one class written in several files, one concern each:
// Velorin6DB.cpp (the handler, properties, checks, code pages), dataset_open.cpp,
// dataset_cursor.cpp, dataset_field_values.cpp, dataset_edits.cpp,
// dataset_search.cpp and dataset_links.cpp (filter, index orders, master links).
#pragma once

#include <cstdint>
#include <string>

#include "dataset/data_set_base.h"
#include "dataset/fields.h"
#include "engine/field_kind.h"
#include "engine/vr6_dbsy.h"
#include "platform/file_names.h"

namespace velorin::dataset_detail {

namespace text {
inline constexpr const char* kTableNameMissing = "Table name missing";
inline constexpr const char* kCannotFindFile = "Cannot find file ";
inline constexpr const char* kErrorGetting = "Error getting ";
inline constexpr const char* kBeyondRange = "Record request beyond range of table";
inline constexpr const char* kCannotDelete = "Cannot delete the record";
inline constexpr const char* kCannotRecall = "Cannot recall the record";
inline constexpr const char* kBookmarkInvalid = "Bookmark is invalid for table ";
inline constexpr const char* kRecordLocked = "Record is locked by another user";
inline constexpr const char* kNotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* kClosed = "Не могу выполнить эту операцию над закрытой базой данных";
inline constexpr const char* kOpen = "Не могу выполнить эту операцию над открытым набором данных (dataset)";
inline constexpr const char* kEmpty = "Не могу выполнить эту операцию над пустой базой данных";
inline constexpr const char* kCircularLink = "Циклические связи не допускаются";
inline constexpr const char* kReadOnlyDataSet = "Не могу изменить набор данных, открытый только для чтения";
}  // namespace text

// The Search option bits the cursor's Locate uses.
inline constexpr uint16_t kLocateBase = search_option::kFromFirstCharacter;

inline bool IsEditing(TDataSetState state) {
  return state == TDataSetState::Edit || state == TDataSetState::Insert;
}

// The dataset's kind of a table column, from the engine's kind of the field;
// Unknown for a column that is not offered.
inline TFieldKind KindOfColumn(char type, int32_t length, int32_t decimals, uint8_t version) {
  switch (FieldKindOf(type, version)) {
    case FieldKind::Character: return TFieldKind::String;
    case FieldKind::Date: return TFieldKind::Date;
    case FieldKind::Number:
      if (decimals > 0) return TFieldKind::Float;
      return length < 5 ? TFieldKind::SmallInt : TFieldKind::Integer;
    case FieldKind::Integer: return TFieldKind::Integer;
    case FieldKind::Double: return TFieldKind::Float;
    case FieldKind::Logical: return TFieldKind::Boolean;
    case FieldKind::Memo: return TFieldKind::Memo;
    case FieldKind::Binary: return TFieldKind::Blob;
    case FieldKind::DateTime: return TFieldKind::DateTime;
    case FieldKind::Currency:
    case FieldKind::Other: break;
  }
  return TFieldKind::Unknown;
}

inline bool HasExtension(const std::string& name) {
  return platform::BaseName(name).find('.') != std::string::npos;
}

}  // namespace velorin::dataset_detail
