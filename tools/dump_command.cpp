// velorin-dbf dump FILE [--deleted] [--filter EXPR [--ignore-case] [--no-partial]]
// [--index INDEXFILE [--tag NAME]] [--codepage ...]: the records (that pass the
// filter) as JSON Lines, in natural or index order.
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "tools/cli_commands.h"
#include "tools/command_table.h"
#include "tools/field_values.h"
#include "tools/index_options.h"

namespace velorin::tools {

namespace {

struct DumpOptions {
  TableArguments table;
  bool deleted = false;
  std::string filter;
  bool ignoreCase = false;
  bool noPartial = false;
  std::string index;
  std::string tag;
};

int RunDump(const DumpOptions& options) {
  auto table = OpenTable(options.table.file, TableAccess::kRead);
  int codePage = CodePageFor(options.table, *table);
  table->SetUseDeleted(options.deleted);
  if (!options.index.empty()) {
    OpenIndexFiles(*table, {options.index});
    std::string name = ChooseOrder(*table, 1, options.tag).Name();
    table->SelectOrder(&name, false);
  }
  if (!options.filter.empty()) {
    table->SetTextCodePage(codePage);  // letter case in the filter
    table->SetFilter(ExpressionForTable(options.filter, codePage), options.ignoreCase, !options.noPartial);
    table->SetFilterActive(true);
  }
  std::string line;
  for (table->GoRecord(nav::kFirst); !table->AtEOF() && table->RecordNumber() > 0; table->GoRecord(nav::kNext)) {
    line = RecordJsonLine(*table, codePage);
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

void RegisterDumpCommand(CLI::App& app, CommandRunner& runner) {
  auto options = std::make_shared<DumpOptions>();
  CLI::App* command = app.add_subcommand("dump", "Print the records as JSON Lines, in natural or index order");
  AddTableArguments(command, &options->table, true);
  command->add_flag("--deleted", options->deleted, "Include the deleted records");
  command->add_option("--filter", options->filter, "Only the records for which this expression is true");
  command->add_flag("--ignore-case", options->ignoreCase, "Compare texts in the filter without regard to case");
  command->add_flag("--no-partial", options->noPartial, "No \"*\" patterns in the filter's text comparisons");
  CLI::Option* index = command->add_option("--index", options->index, "Walk in the order of this index file");
  command->add_option("--tag", options->tag, "The tag of the index file (default: its first)")->needs(index);
  command->callback([options, &runner] { runner = [options] { return RunDump(*options); }; });
}

}  // namespace velorin::tools
