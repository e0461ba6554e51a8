#include "tools/progress_bar.h"

#include <algorithm>

namespace velorin::tools {

ProgressBar::ProgressBar(std::FILE* out, std::string caption, int barWidth)
    : out_(out), caption_(std::move(caption)), barWidth_(std::max(barWidth, 1)) {}

std::string ProgressBar::Line(const std::string& caption, int barWidth, int64_t current, int64_t total) {
  current = std::clamp<int64_t>(current, 0, std::max<int64_t>(total, 0));
  // An empty job is complete from the start.
  int64_t percent = total > 0 ? current * 100 / total : 100;
  int64_t filled = total > 0 ? current * barWidth / total : barWidth;
  std::string line = caption + " [" + std::string(static_cast<size_t>(filled), '#') +
                     std::string(static_cast<size_t>(barWidth - filled), ' ') + "] ";
  std::string number = std::to_string(percent);
  line += std::string(3 - std::min<size_t>(number.size(), 3), ' ') + number + "% " + std::to_string(current) + "/" +
          std::to_string(std::max<int64_t>(total, 0));
  return line;
}

void ProgressBar::Start(int64_t total) {
  total_ = total;
  started_ = true;
  shown_.clear();
  Draw(0);
}

void ProgressBar::Advance(int64_t current) {
  if (started_) Draw(current);
}

void ProgressBar::Finish() {
  if (!started_) return;
  Draw(total_);
  std::fputc('\n', out_);
  std::fflush(out_);
  started_ = false;
}

void ProgressBar::Draw(int64_t current) {
  // The counts change with every record; the bar and percentage far less often.
  std::string withoutCounts = Line(caption_, barWidth_, current, total_);
  withoutCounts.resize(withoutCounts.rfind(' '));
  bool last = current >= total_;
  if (withoutCounts == shown_ && !last) return;
  shown_ = withoutCounts;
  std::fputc('\r', out_);
  std::fputs(Line(caption_, barWidth_, current, total_).c_str(), out_);
  std::fflush(out_);
}

}  // namespace velorin::tools
