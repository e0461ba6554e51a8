// velorin-dbf — the table engine from a shell: make, inspect and change tables.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "engine/vr6_eror.h"
#include "expr/expression_filter.h"
#include "platform/convert_error.h"
#include "tools/cli_commands.h"
#include "tools/command_table.h"
#include "tools/field_values.h"

int main(int argc, char** argv) {
  CLI::App app{"velorin-dbf: dBase-family tables from the command line"};
  app.require_subcommand(1);
  velorin::tools::CommandRunner runner;
  velorin::tools::RegisterCreateCommand(app, runner);
  velorin::tools::RegisterInfoCommand(app, runner);
  velorin::tools::RegisterDumpCommand(app, runner);
  velorin::tools::RegisterAppendCommand(app, runner);
  velorin::tools::RegisterDeleteCommand(app, runner);
  velorin::tools::RegisterRecallCommand(app, runner);
  velorin::tools::RegisterPackCommand(app, runner);
  velorin::tools::RegisterSearchCommand(app, runner);
  velorin::tools::RegisterImportCommand(app, runner);
  velorin::tools::RegisterExportCommand(app, runner);
  velorin::tools::RegisterQuestionsCommand(app, runner);
  velorin::tools::RegisterIndexCommand(app, runner);
  velorin::tools::RegisterSeekCommand(app, runner);
  velorin::tools::RegisterReindexCommand(app, runner);
  velorin::tools::RegisterCheckCommand(app, runner);
  velorin::tools::RegisterEvalCommand(app, runner);
  velorin::InstallExpressionFilter();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }
  try {
    return runner ? runner() : 2;
  } catch (const velorin::EVelorinError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  } catch (const velorin::tools::CommandError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  } catch (const velorin::platform::EConvertError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  } catch (const velorin::tools::FieldValueError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velorin-dbf: %s\n", e.what());
    return 1;
  }
}
