// index_options.h — what the velorin-dbf commands that use index files share:
// the --index option, opening index files named from the current directory,
// and a table handler that draws the progress of index builds, reindex and pack
// on a terminal.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "engine/vr6_dbsy.h"
#include "tools/progress_bar.h"

namespace velorin::tools {

// Adds --index INDEXFILE... (kept current by the command's changes).
void AddIndexOption(CLI::App* command, std::vector<std::string>* files);

// Opens each index file on the table (a name without directory is taken from
// the current directory); the engine's errors pass through. The index families
// are installed first.
void OpenIndexFiles(VRO_dBHandler& table, const std::vector<std::string>& files);

// The order a command walks: the tag of that name, or the file's first tag.
// CommandError when the file has no such tag.
IndexOrder& ChooseOrder(VRO_dBHandler& table, int32_t slot, const std::string& tagName);

// A handler that turns the engine's status reports (index keys, index tree,
// pack) into a progress bar once ShowProgressOn was called.
class ProgressHandler : public VRO_dBHandler {
 public:
  using VRO_dBHandler::VRO_dBHandler;

  // Shows the bar on out when it is a terminal (platform::StandardOutputIsTerminal for stdout).
  void ShowProgressOnTerminal();
  void StatusUpdate(int32_t stat1, int32_t stat2, int32_t stat3) override;

 private:
  bool show_ = false;
  std::optional<ProgressBar> bar_;
};

}  // namespace velorin::tools
