// cdx_fixture.h — CDX files on test tables, and reading their pages back.
#pragma once

#include <string>

#include "index/cdx_format.h"
#include "index/index_fixture.h"
#include "index/vr6_cdx.h"

namespace velorin::testing {

struct CdxTagSpec {
  std::string name;
  std::string key;
  bool unique = false;
  bool ascending = true;
  std::string forExpression = {};
};

inline uint32_t BE32At(const std::string& bytes, size_t offset) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(bytes[offset + i]);
  return v;
}

// Makes a CDX file for the table (replacing any) with the tags, and closes it.
inline void MakeCdx(VRO_dBHandler& table, const std::string& path, const std::vector<CdxTagSpec>& tags) {
  VRobjCDXFile file(&table, path, true, true);
  for (const CdxTagSpec& t : tags) file.TagAdd(t.name, t.key, t.unique, t.ascending, t.forExpression);
}

// The header position of a tag as the directory's root leaf lists it (the
// directory of files made here has one leaf); 0 when it is not there.
inline int32_t TagHeaderPosition(const std::string& file, const std::string& tag) {
  namespace f = cdx_format;
  size_t root = LE32At(file, f::header::kRoot);
  size_t count = LE16At(file, root + f::page::kKeyCount);
  int32_t bytesPerEntry = static_cast<uint8_t>(file[root + f::leaf::kBytesPerEntry]);
  int32_t recordBits = static_cast<uint8_t>(file[root + f::leaf::kRecordBits]);
  int32_t duplicateBits = static_cast<uint8_t>(file[root + f::leaf::kDuplicateBits]);
  std::string previous(f::kDirectoryKeyLength, ' ');
  size_t end = root + f::leaf::kKeyArea + f::leaf::kKeyAreaSize;
  for (size_t i = 0; i < count; ++i) {
    uint64_t value = 0;
    for (int b = bytesPerEntry - 1; b >= 0; --b) {
      value = (value << 8) | static_cast<uint8_t>(file[root + f::leaf::kKeyArea + i * bytesPerEntry + b]);
    }
    auto record = static_cast<int32_t>(value & ((uint64_t{1} << recordBits) - 1));
    auto duplicates = static_cast<size_t>((value >> recordBits) & ((1u << duplicateBits) - 1));
    auto trailing = static_cast<size_t>(value >> (recordBits + duplicateBits) & ((1u << duplicateBits) - 1));
    size_t stored = f::kDirectoryKeyLength - trailing - duplicates;
    end -= stored;
    std::string key = previous.substr(0, duplicates) + file.substr(end, stored);
    previous = key + std::string(trailing, ' ');
    if (key == tag) return record;
  }
  return 0;
}

}  // namespace velorin::testing
