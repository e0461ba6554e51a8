// velorin-dbf questions FILE: checks a question table as the testing program
// reads it (question_check.h); each problem on a line of its own, exit status 1
// when there is one.
#include <cstdio>
#include <memory>
#include <string>

#include "engine/vr6_dbsy.h"
#include "platform/locale_settings.h"
#include "tools/cli_commands.h"
#include "tools/question_check.h"

namespace velorin::tools {

namespace {

int RunQuestions(const std::string& file) {
  // Read-only and shared, as the testing program opens it.
  VRO_dBHandler table(file, false, true);
  std::vector<QuestionProblem> problems = CheckQuestionTable(table, platform::ActiveLocale().AnsiCodePage());
  for (const QuestionProblem& problem : problems) {
    if (problem.record == 0) {
      std::printf("%s: %s\n", file.c_str(), problem.message.c_str());
    } else {
      std::printf("%s: record %d: %s\n", file.c_str(), problem.record, problem.message.c_str());
    }
  }
  int32_t count = table.RecordCount();
  std::printf("%s: %d question%s, ", file.c_str(), count, count == 1 ? "" : "s");
  if (problems.empty()) {
    std::printf("no problems\n");
  } else {
    std::printf("%zu problem%s\n", problems.size(), problems.size() == 1 ? "" : "s");
  }
  if (std::fflush(stdout) != 0) return 1;
  return problems.empty() ? 0 : 1;
}

}  // namespace

void RegisterQuestionsCommand(CLI::App& app, CommandRunner& runner) {
  auto file = std::make_shared<std::string>();
  CLI::App* command =
      app.add_subcommand("questions", "Check a question table (Input, A to E) as the testing program reads it");
  command->add_option("FILE", *file, "Table file")->required();
  command->callback([file, &runner] { runner = [file] { return RunQuestions(*file); }; });
}

}  // namespace velorin::tools
