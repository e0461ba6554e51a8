// fuzz_seed_corpus DIRECTORY: writes valid tables of every version, with
// records of every field type and their memos, as fuzz inputs (fuzz_input.h).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/table_creator.h"
#include "engine/vr6_dbsy.h"
#include "tests/fuzz/fuzz_input.h"
#include "tools/field_values.h"

namespace {

using velorin::tools::FieldValue;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Seed {
  const char* name;
  uint8_t version;
  std::vector<std::string> fields;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seed_corpus DIRECTORY\n");
    return 2;
  }
  std::filesystem::path out = argv[1];
  std::filesystem::create_directories(out);
  std::filesystem::path work = out / "work";
  std::filesystem::create_directories(work);
  const std::vector<std::string> plain = {"NAME:C:12", "QTY:N:6", "PRICE:N:9:2", "RATE:F:8:3", "WHEN:D", "OK:L"};
  std::vector<Seed> seeds = {{"dbase3", 0x03, plain},
                             {"dbase3memo", 0x83, plain},
                             {"dbase4memo", 0x8B, plain},
                             {"foxpro", 0xF5, plain},
                             {"visualfoxpro", 0x30, plain}};
  seeds[1].fields.push_back("NOTE:M");
  seeds[2].fields.insert(seeds[2].fields.end(), {"NOTE:M", "PIC:G", "BIN:B"});
  seeds[3].fields.insert(seeds[3].fields.end(), {"NOTE:M", "PIC:G"});
  seeds[4].fields.insert(seeds[4].fields.end(), {"NOTE:M", "PIC:G", "CNT:I", "AMT:Y", "STAMP:T", "DBL:B"});
  for (const Seed& seed : seeds) {
    std::string table = (work / (std::string(seed.name) + ".dbf")).string();
    velorin::TableSpec tableLayout;
    tableLayout.version = seed.version;
    tableLayout.codePage = 1251;
    for (const std::string& field : seed.fields) tableLayout.fields.push_back(velorin::ParseFieldSpec(field));
    velorin::CreateTable(table, tableLayout);
    std::string memoFile = velorin::MemoFileFor(table, seed.version, true);
    std::string memoEmpty = memoFile.empty() ? "" : ReadAll(memoFile);
    {
      velorin::VRO_dBHandler handler(table, true, false);
      for (int i = 0; i < 4; ++i) {
        velorin::tools::BlankRecordForValues(handler);
        for (int32_t f = 1; f <= handler.FieldCount(); ++f) {
          std::string name = handler.FieldName(f);
          FieldValue value;
          if (name == "NAME") value = FieldValue::OfText(i == 2 ? "" : "Запись " + std::to_string(i));
          if (name == "QTY") value = FieldValue::OfInteger(i * 37 - 20);
          if (name == "PRICE" || name == "RATE") value = FieldValue::OfNumber(i * 1.25);
          if (name == "WHEN" && i != 1) value = FieldValue::OfText("2024-02-2" + std::to_string(i + 1));
          if (name == "OK" && i != 3) value = FieldValue::OfBoolean(i % 2 == 0);
          if (name == "NOTE" && i != 2) value = FieldValue::OfText(std::string(static_cast<size_t>(i * 300 + 5), 'm'));
          if ((name == "PIC" || name == "BIN") && i != 0) value = FieldValue::OfBytes(std::string(i * 70, '\x01'));
          if (name == "CNT") value = FieldValue::OfInteger(-i);
          if (name == "AMT" || name == "DBL") value = FieldValue::OfNumber(i / 3.0);
          if (name == "STAMP" && i != 1) value = FieldValue::OfText("2023-05-06T07:08:09.12" + std::to_string(i));
          velorin::tools::StoreFieldValue(handler, f, value, 1251);
        }
        handler.Append();
      }
      handler.GoRecord(2);
      handler.DeleteRecord();
    }
    std::string dbf = ReadAll(table);
    std::string memo = memoFile.empty() ? "" : ReadAll(memoFile);
    std::ofstream(out / seed.name, std::ios::binary) << velorin::fuzz::JoinInput(dbf, memo, false);
    std::ofstream(out / (std::string(seed.name) + "-write"), std::ios::binary)
        << velorin::fuzz::JoinInput(dbf, memo, true);
    // The empty table too, with its empty memo file.
    velorin::CreateTable(table, tableLayout);
    std::ofstream(out / (std::string(seed.name) + "-empty"), std::ios::binary)
        << velorin::fuzz::JoinInput(ReadAll(table), memoEmpty, true);
  }
  std::filesystem::remove_all(work);
  return 0;
}
