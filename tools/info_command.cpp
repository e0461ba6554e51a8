// velorin-dbf info FILE: the header and fields of a table as one JSON object.
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/dbf_format.h"
#include "engine/vr6_DBF.h"
#include "tools/cli_commands.h"

namespace velorin::tools {

namespace {

// The header's year byte: this engine writes the year modulo 100, dBase the
// years since 1900; both read back right for 1980 to 2079.
int FullYear(uint8_t stored) {
  if (stored >= 100) return 1900 + stored;
  return stored < 80 ? 2000 + stored : 1900 + stored;
}

int RunInfo(const std::string& file) {
  VRO_dBaseDBF table(file, false, true);
  const uint8_t* header = table.HeaderImage();
  char date[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", FullYear(header[dbf_header::kYear]),
                header[dbf_header::kMonth] % 100, header[dbf_header::kDay] % 100);
  nlohmann::ordered_json info;
  info["file"] = file;
  info["version"] = table.Version();
  info["records"] = table.RecordCount();
  info["header_length"] = table.HeaderLength();
  info["record_length"] = table.RecordLength();
  info["last_update"] = date;
  info["flags"] = header[dbf_header::kFlags];
  info["language_driver"] = header[dbf_header::kLanguageDriver];
  info["fields"] = nlohmann::ordered_json::array();
  for (int32_t i = 1; i <= table.FieldCount(); ++i) {
    const VRFieldEntry* field = table.Field(i);
    nlohmann::ordered_json entry;
    entry["name"] = field->Name();
    entry["type"] = std::string(1, field->Type());
    entry["length"] = field->Length();
    entry["decimals"] = field->Decimals();
    entry["offset"] = field->Displacement;
    info["fields"].push_back(entry);
  }
  std::printf("%s\n", info.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
  return 0;
}

}  // namespace

void RegisterInfoCommand(CLI::App& app, CommandRunner& runner) {
  auto file = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand("info", "Show the header and fields of a table as JSON");
  command->add_option("FILE", *file, "Table file")->required();
  command->callback([file, &runner] { runner = [file] { return RunInfo(*file); }; });
}

}  // namespace velorin::tools
