// velorin-dbf pack FILE [--index INDEXFILE...]: removes the deleted records for
// good (exclusive use) and rebuilds the indexes, with a progress bar when
// standard output is a terminal.
#include <memory>
#include <string>
#include <vector>

#include "tools/cli_commands.h"
#include "tools/command_table.h"
#include "tools/index_options.h"

namespace velorin::tools {

namespace {

struct PackOptions {
  TableArguments table;
  std::vector<std::string> indexes;
};

int RunPack(const PackOptions& options) {
  auto table = OpenTable<ProgressHandler>(options.table.file, TableAccess::kExclusive);
  OpenIndexFiles(*table, options.indexes);
  table->ShowProgressOnTerminal();
  table->Pack();
  return 0;
}

}  // namespace

void RegisterPackCommand(CLI::App& app, CommandRunner& runner) {
  auto options = std::make_shared<PackOptions>();
  CLI::App* command = app.add_subcommand("pack", "Remove the deleted records for good (needs exclusive use)");
  AddTableArguments(command, &options->table, false);
  AddIndexOption(command, &options->indexes);
  command->callback([options, &runner] { runner = [options] { return RunPack(*options); }; });
}

}  // namespace velorin::tools
