// bench_support.h — what the benchmark programs share: a temporary directory,
// the million-record tables they walk, and a console report that ends with the
// ratios of chosen benchmarks' times from the same run.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/table_creator.h"
#include "engine/vr6_dbsy.h"

namespace velorin::bench {

constexpr int32_t kWalkRecords = 1000000;

// Walks the table from its first record to its end in its current order,
// touching each record; the number of records visited.
inline int64_t RecordsWalked(VRO_dBHandler& table) {
  int64_t records = 0;
  for (table.GoRecord(nav::kFirst); !table.AtEOF(); table.GoRecord(nav::kNext)) {
    benchmark::DoNotOptimize(table.CurrentRecord()[1]);
    ++records;
  }
  return records;
}

// NAME C(20), QTY N(8), PRICE N(10,2), WHEN D, OK L: 48 bytes a record.
inline TableSpec BenchSpec() {
  TableSpec tableLayout;
  tableLayout.version = 0x03;
  for (const char* field : {"NAME:C:20", "QTY:N:8", "PRICE:N:10:2", "WHEN:D", "OK:L"}) {
    tableLayout.fields.push_back(ParseFieldSpec(field));
  }
  return tableLayout;
}

class BenchDirectory {
 public:
  BenchDirectory() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("velorin-bench-" + std::to_string(random()));
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

inline BenchDirectory& Directory() {
  static BenchDirectory directory;
  return directory;
}

// Writes a table of BenchSpec with kWalkRecords raw records, NAME nameOf(i),
// QTY qtyOf(i); returns its path.
inline std::string WriteBenchTable(const std::string& name, const std::function<std::string(int32_t)>& nameOf,
                                   const std::function<int32_t(int32_t)>& qtyOf) {
  std::string file = Directory().File(name);
  CreateTable(file, BenchSpec());
  std::string bytes;
  {
    std::ifstream in(file, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  bytes.pop_back();  // the end-of-file byte
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
  char record[64];
  for (int32_t i = 1; i <= kWalkRecords; ++i) {
    int n = std::snprintf(record, sizeof record, " %-20s%8d%10.2f%04d%02d%02d%c", nameOf(i).c_str(), qtyOf(i),
                          (i % 9999) / 4.0, 1980 + i % 40, 1 + i % 12, 1 + i % 28, i % 2 ? 'T' : 'F');
    out.write(record, n);
  }
  out.put('\x1A');
  return file;
}

// The million-record table of the handler's walks, written once per run.
inline const std::string& WalkTable() {
  static const std::string path = WriteBenchTable(
      "WALK.DBF", [](int32_t i) { return "name " + std::to_string(i); }, [](int32_t i) { return i % 100000; });
  return path;
}

// Two benchmarks whose times (real, and CPU) are compared at the end of the
// report; on a loaded machine the CPU times of single-threaded work say more.
struct Ratio {
  const char* numerator;
  const char* denominator;
  const char* label;
};

// The console report, and the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only for a terminal.
  explicit RatioReporter(std::vector<Ratio> ratios)
      : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular), ratios_(std::move(ratios)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      // A captured benchmark is named with its capture: "BM_Walk/ndx".
      std::string name = run.run_name.function_name;
      if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
      realTimes_[name] = run.GetAdjustedRealTime();
      cpuTimes_[name] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const Ratio& ratio : ratios_) {
      double real = Quotient(realTimes_, ratio);
      double cpu = Quotient(cpuTimes_, ratio);
      if (real > 0) std::printf("%s: %.2f (CPU time %.2f)\n", ratio.label, real, cpu);
    }
  }

 private:
  // numerator / denominator of the times, 0 when either is missing.
  static double Quotient(const std::map<std::string, double>& times, const Ratio& ratio) {
    auto numerator = times.find(ratio.numerator);
    auto denominator = times.find(ratio.denominator);
    if (numerator == times.end() || denominator == times.end() || denominator->second <= 0) return 0;
    return numerator->second / denominator->second;
  }

  std::vector<Ratio> ratios_;
  std::map<std::string, double> realTimes_;
  std::map<std::string, double> cpuTimes_;
};

inline int RunWithRatios(int argc, char** argv, std::vector<Ratio> ratios) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(std::move(ratios));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace velorin::bench
