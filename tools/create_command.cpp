// velorin-dbf create FILE --version V --field NAME:TYPE:LENGTH[:DECIMALS] ... [--codepage 866|1251]
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/table_creator.h"
#include "tools/cli_commands.h"

namespace velorin::tools {

namespace {

struct CreateOptions {
  std::string file;
  std::string version = "03";
  std::vector<std::string> fields;
  int codePage = 0;
};

int RunCreate(const CreateOptions& options) {
  try {
    TableSpec tableLayout;
    tableLayout.version = ParseVersion(options.version);
    tableLayout.codePage = options.codePage;
    for (const std::string& text : options.fields) tableLayout.fields.push_back(ParseFieldSpec(text));
    CreateTable(options.file, tableLayout);
  } catch (const TableSpecError& e) {
    std::fprintf(stderr, "velorin-dbf create: %s\n", e.what());
    return 2;
  }
  return 0;
}

}  // namespace

void RegisterCreateCommand(CLI::App& app, CommandRunner& runner) {
  auto options = std::make_shared<CreateOptions>();
  CLI::App* command = app.add_subcommand("create", "Make an empty table (and its memo file)");
  command->add_option("FILE", options->file, "Table file to write")->required();
  command->add_option("--version", options->version, "Version byte in hexadecimal: 03, 83, 8B, F5 or 30")
      ->capture_default_str();
  command->add_option("--field", options->fields, "A field as NAME:TYPE:LENGTH[:DECIMALS]")->required();
  command->add_option("--codepage", options->codePage, "Code page of the text: 866 or 1251")
      ->check(CLI::IsMember({866, 1251}));
  command->callback([options, &runner] { runner = [options] { return RunCreate(*options); }; });
}

}  // namespace velorin::tools
