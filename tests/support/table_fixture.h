// table_fixture.h — tables for tests, made with the project's own table creator,
// and raw access to their bytes for checking layouts and damaging files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/table_creator.h"
#include "support/temp_dir.h"

namespace velorin::testing {

// Makes a table at path with the given fields ("NAME:C:10", ...) and appends the
// records as raw bytes (each the whole record, deletion flag first), followed by
// the end-of-file byte; the header's count is left at 0 unless setCount.
inline void MakeTable(const std::string& path, uint8_t version, const std::vector<std::string>& fields,
                      const std::vector<std::string>& records = {}, bool setCount = false) {
  TableSpec tableLayout;
  tableLayout.version = version;
  for (const auto& f : fields) tableLayout.fields.push_back(ParseFieldSpec(f));
  CreateTable(path, tableLayout);
  if (records.empty()) return;
  std::string bytes = ReadFileBytes(path);
  bytes.pop_back();  // the end-of-file byte
  for (const auto& r : records) bytes += r;
  bytes += '\x1A';
  if (setCount) {
    uint32_t n = static_cast<uint32_t>(records.size());
    for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>(n >> (8 * i));
  }
  WriteFileBytes(path, bytes);
}

// Overwrites bytes of a file at offset.
inline void PatchFile(const std::string& path, size_t offset, const std::string& bytes) {
  std::string content = ReadFileBytes(path);
  if (content.size() < offset + bytes.size()) content.resize(offset + bytes.size(), '\0');
  content.replace(offset, bytes.size(), bytes);
  WriteFileBytes(path, content);
}

inline uint32_t LE32At(const std::string& bytes, size_t offset) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[offset + i]);
  return v;
}

inline uint16_t LE16At(const std::string& bytes, size_t offset) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[offset]) | (static_cast<uint8_t>(bytes[offset + 1]) << 8));
}

}  // namespace velorin::testing
