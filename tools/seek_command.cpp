// velorin-dbf seek FILE INDEXFILE [--tag NAME] KEY [--exact]: the record of a key.
//
// Prints the record found as one JSON line (as dump does); exit status 1 when
// the key is not found. Without --exact a key that begins with KEY is found.
// Date keys are written YYYY-MM-DD or yyyymmdd.
#include <cstdio>
#include <memory>
#include <string>

#include "platform/code_page.h"
#include "tools/cli_commands.h"
#include "tools/command_table.h"
#include "tools/index_options.h"

namespace velorin::tools {

namespace {

struct SeekOptions {
  TableArguments table;
  std::string indexFile;
  std::string tag;
  std::string key;
  bool exact = false;
};

int RunSeek(const SeekOptions& options) {
  auto table = OpenTable(options.table.file, TableAccess::kRead);
  int codePage = CodePageFor(options.table, *table);
  OpenIndexFiles(*table, {options.indexFile});
  IndexOrder& order = ChooseOrder(*table, 1, options.tag);
  std::string name = order.Name();
  table->SelectOrder(&name, false);
  std::string key;
  if (!platform::FromUtf8(options.key, codePage, &key)) throw CommandError("The key has a character the table's code page lacks");
  if (order.KeyType() == 'D' && key.size() == 10 && key[4] == '-' && key[7] == '-') {
    key = key.substr(0, 4) + key.substr(5, 2) + key.substr(8, 2);
  }
  table->SetExactMatch(options.exact);
  if (!table->Find(key)) {
    std::fprintf(stderr, "Key %s not found\n", options.key.c_str());
    return 1;
  }
  std::string line = RecordJsonLine(*table, codePage);
  std::fwrite(line.data(), 1, line.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

void RegisterSeekCommand(CLI::App& app, CommandRunner& runner) {
  auto options = std::make_shared<SeekOptions>();
  CLI::App* command = app.add_subcommand("seek", "Find a key in an index and print its record as JSON");
  AddTableArguments(command, &options->table, true);
  command->add_option("INDEXFILE", options->indexFile, "The index file")->required();
  command->add_option("KEY", options->key, "The key (a prefix of a key unless --exact)")->required();
  command->add_option("--tag", options->tag, "The tag (default: the file's first)");
  command->add_flag("--exact", options->exact, "The whole key must match");
  command->callback([options, &runner] { runner = [options] { return RunSeek(*options); }; });
}

}  // namespace velorin::tools
