// velorin-dbf check FILE INDEXFILE...: are the index files true to the table?
//
// Prints each problem found (index_check.h says what is checked) and exits 1;
// when all is well prints one line per tag, "FILE TAG: n keys, p pages, l
// levels, ok", and exits 0. A file too damaged to open is a problem too.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "index/index_check.h"
#include "platform/file_names.h"
#include "tools/cli_commands.h"
#include "tools/command_table.h"
#include "tools/index_options.h"

namespace velorin::tools {

namespace {

struct CheckOptions {
  TableArguments table;
  std::vector<std::string> indexes;
};

int RunCheck(const CheckOptions& options) {
  auto table = OpenTable(options.table.file, TableAccess::kRead);
  bool sound = true;
  std::vector<std::string> summaries;
  for (const std::string& index : options.indexes) {
    std::string name = platform::BaseName(index);
    try {
      table->CloseIndexes();
      OpenIndexFiles(*table, {index});
    } catch (const EVelorinError& e) {
      std::printf("%s: %s\n", name.c_str(), e.what());
      sound = false;
      continue;
    }
    for (const TagCheckResult& result : CheckIndex(*table->IndexFileInSlot(1), *table)) {
      for (const std::string& problem : result.problems) std::printf("%s: %s\n", name.c_str(), problem.c_str());
      if (result.problems.empty()) {
        summaries.push_back(name + " " + result.tag + ": " + std::to_string(result.keys) + " keys, " +
                            std::to_string(result.pages) + " pages, " + std::to_string(result.levels) +
                            " levels, ok");
      } else {
        sound = false;
      }
    }
  }
  if (sound) {
    for (const std::string& line : summaries) std::printf("%s\n", line.c_str());
  }
  return std::fflush(stdout) == 0 && sound ? 0 : 1;
}

}  // namespace

void RegisterCheckCommand(CLI::App& app, CommandRunner& runner) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* command = app.add_subcommand("check", "Check index files against the table; exit 1 on a problem");
  AddTableArguments(command, &options->table, false);
  command->add_option("INDEXFILE", options->indexes, "Index files")->required();
  command->callback([options, &runner] { runner = [options] { return RunCheck(*options); }; });
}

}  // namespace velorin::tools
