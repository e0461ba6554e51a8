// memo_fixtures.h — what the memo tests share: tables with a memo field made by
// the table creator, raw access to the memo file's bytes, the block number in a
// record, and a recorder of the (code, sub-code, text) the engine reports.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/byte_order.h"
#include "engine/table_creator.h"
#include "engine/vr6_DBF.h"
#include "engine/vr6_eror.h"
#include "engine/vr6_memo.h"
#include "support/temp_dir.h"

namespace velorin::memo_test {

// A table NAME C(10), NOTES M, of the version, and its empty memo file.
inline std::string MakeMemoTable(const testing::TempDir& dir, uint8_t version, const std::string& name = "t.dbf",
                                 int codePage = 0) {
  TableSpec tableLayout;
  tableLayout.version = version;
  tableLayout.codePage = codePage;
  tableLayout.fields = {{"NAME", 'C', 10, 0}, {"NOTES", 'M', 0, 0}};
  std::string path = dir.File(name);
  CreateTable(path, tableLayout);
  return path;
}

inline std::string MemoPathOf(const std::string& tablePath, uint8_t version) {
  return MemoFileFor(tablePath, version, true);
}

inline std::string Text(size_t length, char fill = 'x') { return std::string(length, fill); }

// Distinct, position-dependent bytes, so that a shifted or mixed-up memo shows.
inline std::string Pattern(size_t length, uint32_t seed) {
  std::string text(length, ' ');
  uint32_t state = seed * 2654435761u + 1;
  for (char& c : text) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>('A' + (state >> 16) % 26);
  }
  return text;
}

inline std::string ReadBack(VRobjMemo& memo, int32_t block) {
  int32_t size = memo.MemoLength(block);
  std::vector<char> buffer(static_cast<size_t>(size) + 1);
  memo.ReadMemo(buffer.data(), block, size);
  return std::string(buffer.data(), static_cast<size_t>(size));
}

inline int32_t Write(VRobjMemo& memo, const std::string& text, int32_t block = 0) {
  return memo.WriteMemo(text.data(), block, static_cast<int32_t>(text.size()));
}

inline std::string FileBytes(const std::string& path) { return testing::ReadFileBytes(path); }

inline uint32_t LE32At(const std::string& bytes, size_t offset) {
  return offset + 4 <= bytes.size() ? byte_order::GetLE32(bytes.data() + offset) : 0xDEADBEEFu;
}
inline uint32_t BE32At(const std::string& bytes, size_t offset) {
  return offset + 4 <= bytes.size() ? byte_order::GetBE32(bytes.data() + offset) : 0xDEADBEEFu;
}

// Overwrites bytes of a file in place.
inline void Patch(const std::string& path, size_t offset, const std::string& bytes) {
  std::string content = testing::ReadFileBytes(path);
  if (content.size() < offset + bytes.size()) content.resize(offset + bytes.size(), '\0');
  content.replace(offset, bytes.size(), bytes);
  testing::WriteFileBytes(path, content);
}

inline std::string LE32Bytes(uint32_t value) {
  char b[4];
  byte_order::PutLE32(b, value);
  return std::string(b, 4);
}
inline std::string BE32Bytes(uint32_t value) {
  char b[4];
  byte_order::PutBE32(b, value);
  return std::string(b, 4);
}

// The block number a record holds in a memo field: ten digits (blanks = 0), or
// in Visual FoxPro tables a four-byte integer.
inline int32_t BlockInRecord(const VRO_dBaseDBF& table, int32_t field) {
  const VRFieldEntry* entry = table.Field(field);
  const uint8_t* bytes = table.CurrentRecord() + entry->Displacement;
  if (entry->Length() == 4) return static_cast<int32_t>(byte_order::GetLE32(bytes));
  std::string digits(reinterpret_cast<const char*>(bytes), static_cast<size_t>(entry->Length()));
  size_t begin = digits.find_first_not_of(' ');
  return begin == std::string::npos ? 0 : std::stoi(digits.substr(begin));
}

inline void PutBlockInRecord(VRO_dBaseDBF& table, int32_t field, int32_t block) {
  const VRFieldEntry* entry = table.Field(field);
  uint8_t* bytes = table.CurrentRecord() + entry->Displacement;
  if (entry->Length() == 4) {
    byte_order::PutLE32(bytes, static_cast<uint32_t>(block));
    return;
  }
  std::string text = block == 0 ? "" : std::to_string(block);
  text.insert(0, static_cast<size_t>(entry->Length()) - text.size(), ' ');
  std::copy(text.begin(), text.end(), bytes);
}

inline void PutText(VRO_dBaseDBF& table, int32_t field, const std::string& text) {
  const VRFieldEntry* entry = table.Field(field);
  std::string padded = text.substr(0, static_cast<size_t>(entry->Length()));
  padded.resize(static_cast<size_t>(entry->Length()), ' ');
  std::copy(padded.begin(), padded.end(), table.CurrentRecord() + entry->Displacement);
}

inline std::string TextInRecord(const VRO_dBaseDBF& table, int32_t field) {
  const VRFieldEntry* entry = table.Field(field);
  std::string text(reinterpret_cast<const char*>(table.CurrentRecord() + entry->Displacement),
                   static_cast<size_t>(entry->Length()));
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

// Appends a record (NAME, NOTES) whose memo is text, written through memo.
inline int32_t AppendWithMemo(VRO_dBaseDBF& table, VRobjMemo& memo, const std::string& name,
                              const std::string& text) {
  int32_t block = Write(memo, text);
  std::fill(table.CurrentRecord(), table.CurrentRecord() + table.RecordLength(), ' ');
  PutText(table, 1, name);
  PutBlockInRecord(table, 2, block);
  table.Append();
  return block;
}

// Records what the engine reports, then raises as the default procedure does.
class ErrorRecorder {
 public:
  explicit ErrorRecorder(bool raise = true) : saved_(EngineErrorProc) {
    Current() = this;
    raise_ = raise;
    EngineErrorProc = raise ? &RecordAndRaise : &RecordOnly;
  }
  ~ErrorRecorder() {
    EngineErrorProc = saved_;
    Current() = nullptr;
  }
  ErrorRecorder(const ErrorRecorder&) = delete;
  ErrorRecorder& operator=(const ErrorRecorder&) = delete;

  int32_t code = 0;
  int32_t subCode = 0;
  std::string text;
  int count = 0;

 private:
  static ErrorRecorder*& Current() {
    static ErrorRecorder* current = nullptr;
    return current;
  }
  static void Record(int32_t code, int32_t subCode, std::string_view text) {
    ErrorRecorder* self = Current();
    self->code = code;
    self->subCode = subCode;
    self->text = std::string(text);
    ++self->count;
  }
  static void RecordAndRaise(int32_t code, int32_t subCode, std::string_view text) {
    Record(code, subCode, text);
    DefaultEngineError(code, subCode, text);
  }
  static void RecordOnly(int32_t code, int32_t subCode, std::string_view text) { Record(code, subCode, text); }

  EngineErrorProcedure saved_;
  bool raise_ = true;
};

// Expects the statement to raise the engine error (code, subCode).
#define EXPECT_ENGINE_ERROR(statement, expectedCode, expectedSubCode)             \
  do {                                                                            \
    ::velorin::memo_test::ErrorRecorder recorder_;                                \
    EXPECT_THROW(statement, ::velorin::EVelorinError);                            \
    EXPECT_EQ(recorder_.code, (expectedCode));                                    \
    EXPECT_EQ(recorder_.subCode, (expectedSubCode));                              \
  } while (false)

}  // namespace velorin::memo_test
