// table_walk TABLE FIELD — prints each record's number and the field's text (UTF-8).
#include <cstdio>
#include <exception>

#include "dataset/Velorin6DB.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: table_walk TABLE FIELD\n");
    return 2;
  }
  try {
    velorin::TVelorinDataSet table;
    table.SetTableName(argv[1]);
    table.SetReadOnly(true);
    table.SetTranslateASCII(false);  // text in the ANSI code page, as in the question tables
    table.Open();
    for (table.First(); !table.AtEnd(); table.Next())
      std::printf("%d\t%s\n", static_cast<int>(table.RecordNumber()), table.FieldTextUtf8(argv[2]).c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "table_walk: %s\n", e.what());
    return 1;
  }
}
