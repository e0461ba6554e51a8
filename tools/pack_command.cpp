// velorin-dbf pack FILE: removes the deleted records for good (exclusive use),
// with a progress bar when standard output is a terminal.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "platform/terminal.h"
#include "tools/cli_commands.h"
#include "tools/command_table.h"
#include "tools/progress_bar.h"

namespace velorin::tools {

namespace {

constexpr int kBarWidth = 40;

// The handler's pack reports (-1, 11, total), then (11, i, 0) per record and
// (0, 0, 0) at the end; they drive the bar.
class PackingHandler : public VRO_dBHandler {
 public:
  using VRO_dBHandler::VRO_dBHandler;

  void ShowProgressOn(std::FILE* out) { bar_.emplace(out, "Packing", kBarWidth); }

  void StatusUpdate(int32_t stat1, int32_t stat2, int32_t stat3) override {
    if (!bar_) return;
    if (stat1 == -1 && stat2 == status_kind::kPack) {
      bar_->Start(stat3);
    } else if (stat1 == status_kind::kPack) {
      bar_->Advance(stat2);
    } else if (stat1 == 0) {
      bar_->Finish();
    }
  }

 private:
  std::optional<ProgressBar> bar_;
};

int RunPack(const TableArguments& arguments) {
  auto table = OpenTable<PackingHandler>(arguments.file, TableAccess::kExclusive);
  if (platform::StandardOutputIsTerminal()) table->ShowProgressOn(stdout);
  table->Pack();
  return 0;
}

}  // namespace

void RegisterPackCommand(CLI::App& app, CommandRunner& runner) {
  auto arguments = std::make_shared<TableArguments>();
  CLI::App* command = app.add_subcommand("pack", "Remove the deleted records for good (needs exclusive use)");
  AddTableArguments(command, arguments.get(), false);
  command->callback([arguments, &runner] { runner = [arguments] { return RunPack(*arguments); }; });
}

}  // namespace velorin::tools
