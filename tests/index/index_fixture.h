// index_fixture.h — tables with records and NDX files on them, for the index tests.
#pragma once

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
