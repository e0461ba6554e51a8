// progress_bar.h — a one-line progress bar for a person at a terminal, fed by
// the engine's status reports: Start (-1, kind, total), Advance (kind, current,
// 0), Finish (0, ...).
//
// The line is redrawn in place ("\r") only when what it shows changes, so a
// million reports cost a few hundred writes. Whether to show it at all is the
// caller's decision (platform/terminal.h).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace velorin::tools {

class ProgressBar {
 public:
  // Writes to out, the bar itself barWidth characters wide.
  ProgressBar(std::FILE* out, std::string caption, int barWidth);

  void Start(int64_t total);
  void Advance(int64_t current);
  // Draws the full bar and ends the line.
  void Finish();

  // The line for current of total, without "\r": caption, the bar in brackets,
  // the percentage and the counts, e.g. "Packing [#####     ]  50% 5/10".
  static std::string Line(const std::string& caption, int barWidth, int64_t current, int64_t total);

 private:
  void Draw(int64_t current);

  std::FILE* out_;
  std::string caption_;
  int barWidth_;
  int64_t total_ = 0;
  std::string shown_;
  bool started_ = false;
};

}  // namespace velorin::tools
