// velorin-dbf delete FILE RECNO... [--index INDEXFILE...]: mark records deleted, each under its record lock.
#include <memory>
#include <string>
#include <vector>

#include "tools/cli_commands.h"
#include "tools/command_table.h"
#include "tools/index_options.h"

namespace velorin::tools {

namespace {

struct DeleteOptions {
  TableArguments table;
  std::vector<int64_t> records;
  std::vector<std::string> indexes;
};

int RunDelete(const DeleteOptions& options) {
  auto table = OpenTable(options.table.file, TableAccess::kSharedWrite);
  OpenIndexFiles(*table, options.indexes);
  SetDeletionMarks(*table, options.records, true);
  return 0;
}

}  // namespace

void RegisterDeleteCommand(CLI::App& app, CommandRunner& runner) {
  auto options = std::make_shared<DeleteOptions>();
  CLI::App* command = app.add_subcommand("delete", "Mark records deleted");
  AddTableArguments(command, &options->table, false);
  command->add_option("RECNO", options->records, "Record numbers, from 1")->required()->check(CLI::PositiveNumber);
  AddIndexOption(command, &options->indexes);
  command->callback([options, &runner] { runner = [options] { return RunDelete(*options); }; });
}

}  // namespace velorin::tools
