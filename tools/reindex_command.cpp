// velorin-dbf reindex FILE INDEXFILE...: rebuild index files from the table,
// with a progress bar when standard output is a terminal.
#include <memory>
#include <string>
#include <vector>

#include "tools/cli_commands.h"
#include "tools/command_table.h"
#include "tools/index_options.h"

namespace velorin::tools {

namespace {

struct ReindexOptions {
  TableArguments table;
  std::vector<std::string> indexes;
};

int RunReindex(const ReindexOptions& options) {
  auto table = OpenTable<ProgressHandler>(options.table.file, TableAccess::kSharedWrite);
  OpenIndexFiles(*table, options.indexes);
  table->ShowProgressOnTerminal();
  table->Reindex();
  return 0;
}

}  // namespace

void RegisterReindexCommand(CLI::App& app, CommandRunner& runner) {
  auto options = std::make_shared<ReindexOptions>();
  CLI::App* command = app.add_subcommand("reindex", "Rebuild index files from the table");
  AddTableArguments(command, &options->table, false);
  command->add_option("INDEXFILE", options->indexes, "Index files")->required();
  command->callback([options, &runner] { runner = [options] { return RunReindex(*options); }; });
}

}  // namespace velorin::tools
