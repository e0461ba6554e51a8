// index_fixture.h — tables with records and NDX files on them, for the index tests.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/vr6_dbsy.h"
#include "index/index_families.h"
#include "index/vr6_ndx.h"
#include "index/vr6_ntx.h"
#include "support/table_fixture.h"

namespace velorin::testing {

// A dBase III table at path with the fields, and one appended record per row
// (values in field order, as text).
inline std::unique_ptr<VRO_dBHandler> MakeFilledTable(const std::string& path, const std::vector<std::string>& fields,
                                                      const std::vector<std::vector<std::string>>& rows,
                                                      bool shared = false) {
  InstallIndexFamilies();
  MakeTable(path, 0x03, fields);
  auto table = std::make_unique<VRO_dBHandler>(path, true, shared);
  for (const auto& row : rows) {
    table->BlankRecord();
    for (size_t i = 0; i < row.size(); ++i) table->PutValue(static_cast<int32_t>(i + 1), row[i]);
    table->Append();
  }
  return table;
}

// Makes an NDX file for the table (replacing any) and closes it again.
inline void MakeNdx(VRO_dBHandler& table, const std::string& path, const std::string& key, bool unique = false) {
  VRobjNDXFile file(&table, path, true, true);
  file.TagAdd(NameWithoutExtension(path), key, unique, true, "");
}

// Makes an NTX file for the table (replacing any) and closes it again.
inline void MakeNtx(VRO_dBHandler& table, const std::string& path, const std::string& key, bool unique = false,
                    const std::string& forExpression = "") {
  VRobjNTXFile file(&table, path, true, true);
  file.TagAdd(NameWithoutExtension(path), key, unique, true, forExpression);
}

// A table of n records: NAME C(12) "N" + a scrambled number, NUM N(10,2), BORN D.
inline void MakeLargeTable(const std::string& path, int n) {
  std::vector<std::string> records;
  records.reserve(static_cast<size_t>(n));
  char buffer[64];
  for (int i = 0; i < n; ++i) {
    int v = static_cast<int>((static_cast<int64_t>(i) * 7919) % 50000);  // duplicates too
    std::snprintf(buffer, sizeof buffer, " N%-11d%10.2f%04d%02d%02d", v, (v - 25000) / 4.0, 1950 + v % 60,
                  1 + v % 12, 1 + v % 28);
    records.emplace_back(buffer);
  }
  MakeTable(path, 0x03, {"NAME:C:12", "NUM:N:10:2", "BORN:D"}, records, true);
}

// The records in the current order, from the first.
inline std::vector<int32_t> RecordsInOrder(VRO_dBHandler& table) {
  std::vector<int32_t> records;
  table.GoRecord(nav::kFirst);
  while (!table.AtEOF() && table.RecordNumber() > 0) {
    records.push_back(table.RecordNumber());
    table.GoRecord(nav::kNext);
  }
  return records;
}

}  // namespace velorin::testing
