#include "tools/index_options.h"

#include "index/index_families.h"
#include "platform/file_names.h"
#include "platform/terminal.h"
#include "tools/command_table.h"

namespace velorin::tools {

namespace {

constexpr int kBarWidth = 40;

const char* CaptionOf(int32_t kind) {
  switch (kind) {
    case status_kind::kIndexKeys: return "Reading keys";
    case status_kind::kIndexTree: return "Writing index";
    case status_kind::kPack: return "Packing";
    default: return "Working";
  }
}

}  // namespace

void AddIndexOption(CLI::App* command, std::vector<std::string>* files) {
  command->add_option("--index", *files, "Index files to keep current (NDX)")->expected(1, -1);
}

void OpenIndexFiles(VRO_dBHandler& table, const std::vector<std::string>& files) {
  InstallIndexFamilies();
  for (const std::string& file : files) {
    std::string path = file.find('/') == std::string::npos ? platform::FullPathName(file) : file;
    table.OpenIndex(path);
  }
}

IndexOrder& ChooseOrder(VRO_dBHandler& table, int32_t slot, const std::string& tagName) {
  IndexFileLink* file = table.IndexFileInSlot(slot);
  IndexOrder* order = nullptr;
  if (file != nullptr) order = tagName.empty() ? file->TagByIndex(0) : file->TagByName(tagName);
  if (order == nullptr) {
    throw CommandError("The index file has no tag " + (tagName.empty() ? std::string("at all") : tagName));
  }
  return *order;
}

void ProgressHandler::ShowProgressOnTerminal() { show_ = platform::StandardOutputIsTerminal(); }

void ProgressHandler::StatusUpdate(int32_t stat1, int32_t stat2, int32_t stat3) {
  if (!show_) return;
  if (stat1 == -1) {
    bar_.emplace(stdout, CaptionOf(stat2), kBarWidth);
    bar_->Start(stat3);
  } else if (stat1 == 0) {
    if (bar_) bar_->Finish();
    bar_.reset();
  } else if (bar_) {
    bar_->Advance(stat2);
  }
}

}  // namespace velorin::tools
