// velorin-dbf recall FILE RECNO... [--index INDEXFILE...]: clear the deletion mark of records, each under its record lock.
#include <memory>
#include <string>
#include <vector>

#include "tools/cli_commands.h"
#include "tools/command_table.h"
#include "tools/index_options.h"

namespace velorin::tools {

namespace {

struct RecallOptions {
  TableArguments table;
  std::vector<int64_t> records;
  std::vector<std::string> indexes;
};

int RunRecall(const RecallOptions& options) {
  auto table = OpenTable(options.table.file, TableAccess::kSharedWrite);
  OpenIndexFiles(*table, options.indexes);
  SetDeletionMarks(*table, options.records, false);
  return 0;
}

}  // namespace

void RegisterRecallCommand(CLI::App& app, CommandRunner& runner) {
  auto options = std::make_shared<RecallOptions>();
  CLI::App* command = app.add_subcommand("recall", "Clear the deletion mark of records");
  AddTableArguments(command, &options->table, false);
  command->add_option("RECNO", options->records, "Record numbers, from 1")->required()->check(CLI::PositiveNumber);
  AddIndexOption(command, &options->indexes);
  command->callback([options, &runner] { runner = [options] { return RunRecall(*options); }; });
}

}  // namespace velorin::tools
