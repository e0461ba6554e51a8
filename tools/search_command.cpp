// velorin-dbf search FILE TEXT [--field NAME] [--options N] [--deleted]: the
// number of the first record, in natural order, whose field holds the text.
#include <cstdio>
#include <memory>
#include <string>

#include "platform/code_page.h"
#include "tools/cli_commands.h"
#include "tools/command_table.h"

namespace velorin::tools {

namespace {

struct SearchOptions {
  TableArguments table;
  std::string text;
  std::string field;
  int options = 0;
  bool deleted = false;
};

int RunSearch(const SearchOptions& options) {
  auto table = OpenTable(options.table.file, TableAccess::kRead);
  int codePage = CodePageFor(options.table, *table);
  std::string text;
  platform::Utf8Refusal refusal;
  if (!platform::FromUtf8(options.text, codePage, &text, &refusal)) {
    throw CommandError("The search text has a character (number " + std::to_string(refusal.characterIndex + 1) +
                       ") that code page " + std::to_string(codePage) + " lacks");
  }
  int32_t fieldNumber = 0;
  if (!options.field.empty()) {
    VRFieldEntry* field = table->FieldByName(options.field);
    if (field == nullptr) throw CommandError("No field " + options.field);
    fieldNumber = field->Number;
  }
  table->SetTextCodePage(codePage);  // letter case folds in the table's code page
  table->SetUseDeleted(options.deleted);
  table->SetSearchOptions(static_cast<uint16_t>(options.options));
  int32_t found = 0;
  if (!table->Search(text, fieldNumber, 0, found)) return 1;
  std::printf("%d\n", found);
  return 0;
}

}  // namespace

void RegisterSearchCommand(CLI::App& app, CommandRunner& runner) {
  auto options = std::make_shared<SearchOptions>();
  CLI::App* command = app.add_subcommand(
      "search", "Print the number of the first record whose field holds TEXT; exit status 1 when none does");
  AddTableArguments(command, &options->table, true);
  command->add_option("TEXT", options->text, "The text to look for")->required();
  command->add_option("--field", options->field, "Search this field only (default: every field but logicals)");
  command
      ->add_option("--options", options->options,
                   "Search option bits: 1 ignore case, 2 whole field, 4 wildcards * and ?, 8 keep table state, "
                   "16 keep order, 32 match from the first character")
      ->check(CLI::Range(0, 65535));
  command->add_flag("--deleted", options->deleted, "Search the deleted records too");
  command->callback([options, &runner] { runner = [options] { return RunSearch(*options); }; });
}

}  // namespace velorin::tools
