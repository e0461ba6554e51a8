// velorin-dbf append FILE [--codepage ...] [--index INDEXFILE...]: records from JSON Lines on standard
// input, appended as one more user of the shared table would append them.
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/vr6_eror.h"
#include "tools/cli_commands.h"
#include "tools/command_table.h"
#include "tools/field_values.h"
#include "tools/index_options.h"

namespace velorin::tools {

namespace {

// The field object of one input line: {"fields": {...}} as dump writes it (its
// "recno" is ignored, "deleted": true appends the record deleted), or the bare
// field object.
struct InputRecord {
  const nlohmann::json* fields = nullptr;
  bool deleted = false;
};

InputRecord RecordOf(const nlohmann::json& line) {
  if (!line.is_object()) throw CommandError("a record is a JSON object, not " + std::string(line.type_name()));
  auto wrapped = line.find("fields");
  if (wrapped == line.end() || !wrapped->is_object()) return {&line, false};
  InputRecord record{&*wrapped, false};
  auto deleted = line.find("deleted");
  if (deleted != line.end()) {
    if (!deleted->is_boolean()) throw CommandError("\"deleted\" must be true or false");
    record.deleted = deleted->get<bool>();
  }
  return record;
}

void AppendOne(VRO_dBHandler& table, const InputRecord& record, int codePage) {
  BlankRecordForValues(table);
  for (const auto& [name, value] : record.fields->items()) {
    int32_t number = table.FieldNumber(name);
    // The engine's own refusal of an unknown name, with its message.
    if (number == 0 && table.FieldByName(name) == nullptr) throw CommandError("No field " + name);
    StoreFieldValue(table, number, FieldValueFromJson(value, name), codePage);
  }
  table.Append();
  if (record.deleted) table.DeleteRecord();
}

struct AppendOptions {
  TableArguments table;
  std::vector<std::string> indexes;
};

int RunAppend(const AppendOptions& options) {
  auto table = OpenTable(options.table.file, TableAccess::kSharedWrite);
  OpenIndexFiles(*table, options.indexes);
  int codePage = CodePageFor(options.table, *table);
  std::string line;
  int64_t lineNumber = 0;
  int64_t appended = 0;
  while (std::getline(std::cin, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    try {
      nlohmann::json parsed;
      try {
        parsed = nlohmann::json::parse(line);
      } catch (const nlohmann::json::parse_error& e) {
        throw CommandError(std::string("not JSON: ") + e.what());
      }
      AppendOne(*table, RecordOf(parsed), codePage);
    } catch (const std::exception& e) {
      std::fflush(stdout);
      std::fprintf(stderr, "%s\nvelorin-dbf append: stopped at input line %lld; %lld records appended before it\n",
                   e.what(), static_cast<long long>(lineNumber), static_cast<long long>(appended));
      return 1;
    }
    ++appended;
    std::printf("%d\n", table->RecordNumber());
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

void RegisterAppendCommand(CLI::App& app, CommandRunner& runner) {
  auto options = std::make_shared<AppendOptions>();
  CLI::App* command = app.add_subcommand(
      "append", "Append records read as JSON Lines from standard input; prints their record numbers");
  AddTableArguments(command, &options->table, true);
  AddIndexOption(command, &options->indexes);
  command->callback([options, &runner] { runner = [options] { return RunAppend(*options); }; });
}

}  // namespace velorin::tools
