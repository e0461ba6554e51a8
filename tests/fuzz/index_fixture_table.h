// index_fixture_table.h — the table the index fuzzer reads its index files
// against, the families of those files, and the seed files built on it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "engine/vr6_dbsy.h"
#include "index/index_families.h"
#include "engine/table_creator.h"

namespace velorin::fuzz {

constexpr int kIndexTableRecords = 120;

// The families an input may be: its first byte (modulo their count) picks the
// extension, the rest is the file.
inline constexpr const char* kIndexExtensions[] = {".NDX", ".CDX", ".MDX", ".NTX"};
constexpr size_t kIndexFamilies = sizeof kIndexExtensions / sizeof kIndexExtensions[0];

// Makes F.DBF in directory: NAME C(6), NUM N(6), BORN D, 120 records.
inline void MakeIndexTable(const std::string& directory) {
  InstallIndexFamilies();
  TableSpec tableLayout;
  tableLayout.version = 0x03;
  for (const char* field : {"NAME:C:6", "NUM:N:6", "BORN:D"}) tableLayout.fields.push_back(ParseFieldSpec(field));
  std::string path = directory + "/F.DBF";
  CreateTable(path, tableLayout);
  VRO_dBHandler table(path, true, false);
  char text[16];
  for (int i = 0; i < kIndexTableRecords; ++i) {
    table.BlankRecord();
    std::snprintf(text, sizeof text, "K%03d", (i * 37) % 100);
    table.PutTextByName("NAME", text);
    table.PutNumberByName("NUM", (i * 53) % 97 - 40);
    std::snprintf(text, sizeof text, "2%03d0%d1%d", i % 100, 1 + i % 9, i % 10);
    table.PutTextByName("BORN", text);
    table.Append();
  }
}

}  // namespace velorin::fuzz
