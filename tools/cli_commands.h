// cli_commands.h — the subcommands of velorin-dbf, each in its own file.
//
// Every command registers itself on the CLI11 application; its callback runs the
// command and returns the process exit status: 0 success, 1 an engine error or
// another refusal (the message is on stderr; for search also: nothing found;
// for questions: a problem found, listed on stdout), 2 bad arguments.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

namespace velorin::tools {

// The command that the parsed command line selected; set by the registrations.
using CommandRunner = std::function<int()>;

void RegisterCreateCommand(CLI::App& app, CommandRunner& runner);
void RegisterInfoCommand(CLI::App& app, CommandRunner& runner);
void RegisterDumpCommand(CLI::App& app, CommandRunner& runner);
void RegisterAppendCommand(CLI::App& app, CommandRunner& runner);
void RegisterDeleteCommand(CLI::App& app, CommandRunner& runner);
void RegisterRecallCommand(CLI::App& app, CommandRunner& runner);
void RegisterPackCommand(CLI::App& app, CommandRunner& runner);
void RegisterSearchCommand(CLI::App& app, CommandRunner& runner);
void RegisterImportCommand(CLI::App& app, CommandRunner& runner);
void RegisterExportCommand(CLI::App& app, CommandRunner& runner);
void RegisterQuestionsCommand(CLI::App& app, CommandRunner& runner);
void RegisterEvalCommand(CLI::App& app, CommandRunner& runner);
void RegisterIndexCommand(CLI::App& app, CommandRunner& runner);
void RegisterSeekCommand(CLI::App& app, CommandRunner& runner);
void RegisterReindexCommand(CLI::App& app, CommandRunner& runner);
void RegisterCheckCommand(CLI::App& app, CommandRunner& runner);

}  // namespace velorin::tools
