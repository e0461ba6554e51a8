// bench_support.h — what the benchmark programs share: a scratch directory for
// their tables, and a console report that ends with ratios of two benchmarks'
// real times from the same run.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace velorin::bench {

// A fresh directory under the system's temporary directory (TMPDIR), removed
// with everything in it when the object goes.
class BenchDirectory {
 public:
  explicit BenchDirectory(const std::string& prefix) {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / (prefix + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~BenchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  BenchDirectory(const BenchDirectory&) = delete;
  BenchDirectory& operator=(const BenchDirectory&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// One line at the end of the report: caption, then the real time of the first
// benchmark divided by that of the second.
struct TimeRatio {
  const char* caption;
  const char* numerator;
  const char* denominator;
};

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only for a terminal.
  explicit RatioReporter(std::vector<TimeRatio> ratios)
      : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular), ratios_(std::move(ratios)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) realTimes_[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const TimeRatio& ratio : ratios_) {
      auto x = realTimes_.find(ratio.numerator);
      auto y = realTimes_.find(ratio.denominator);
      if (x != realTimes_.end() && y != realTimes_.end() && y->second > 0) {
        std::printf("%s: %.2f\n", ratio.caption, x->second / y->second);
      }
    }
  }

 private:
  std::vector<TimeRatio> ratios_;
  std::map<std::string, double> realTimes_;
};

// Runs the benchmarks the command line selects with that report.
inline int RunBenchmarks(int argc, char** argv, std::vector<TimeRatio> ratios) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(std::move(ratios));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace velorin::bench
