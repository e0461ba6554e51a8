// Benchmarks of MDX files on a table of a million records, NAME C(20): building
// a tag on UPPER(NAME) against reading the table and sorting the same key
// strings with std::sort; exact seeks on a warm tag of a file opened
// exclusively; walking the table in the tag's order against walking it in
// natural order. The ratios the speed goals are stated in close the report.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/vr6_dbsy.h"
#include "index/index_families.h"
#include "index/vr6_mdx.h"
#include "platform/code_page.h"
#include "tools/table_creator.h"

namespace velorin {
namespace {

constexpr int32_t kRecords = 1000000;
constexpr int kSeeks = 100000;

class BenchDirectory {
 public:
  BenchDirectory() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("velorin-mdx-bench-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~BenchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

BenchDirectory& Directory() {
  static BenchDirectory directory;
  return directory;
}

// Scrambled and in mixed case, so that building has real sorting to do.
std::string NameOf(int32_t i) {
  uint32_t v = static_cast<uint32_t>(i) * 2654435761u % 1000003u;
  return (v % 2 ? "name " : "Name ") + std::to_string(v);
}

// The million-record table, written once per run as raw records.
const std::string& Table() {
  static const std::string path = [] {
    InstallIndexFamilies();
    std::string file = Directory().File("NAMES.DBF");
    tools::TableSpec spec;
    spec.version = 0x03;
    spec.fields.push_back(tools::ParseFieldSpec("NAME:C:20"));
    tools::CreateTable(file, spec);
    std::string bytes;
    {
      std::ifstream in(file, std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    bytes.pop_back();  // the end-of-file byte
    for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>((kRecords >> (8 * i)) & 0xFF);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    char record[32];
    for (int32_t i = 1; i <= kRecords; ++i) {
      int n = std::snprintf(record, sizeof record, " %-20s", NameOf(i).c_str());
      out.write(record, n);
    }
    out.put('\x1A');
    return file;
  }();
  return path;
}

// NAMES.MDX with the tag NAMES on UPPER(NAME), made once per run.
const std::string& Index() {
  static const std::string path = [] {
    std::string file = Directory().File("NAMES.MDX");
    VRO_dBHandler table(Table(), true, false);
    VRobjMDXFile index(&table, file, true, true);
    index.TagAdd("NAMES", "UPPER(NAME)", false, true, "");
    return file;
  }();
  return path;
}

void BM_MdxBuildUpperName(benchmark::State& state) {
  VRO_dBHandler table(Table(), true, false);
  for (auto _ : state) {
    VRobjMDXFile index(&table, Directory().File("BUILD.MDX"), true, true);
    index.TagAdd("BUILD", "UPPER(NAME)", false, true, "");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_MdxBuildUpperName)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor for the build: every record read, its name upper-cased, and the
// million strings sorted in memory.
void BM_ReadAndSortKeys(benchmark::State& state) {
  VRO_dBHandler table(Table(), false, false);
  for (auto _ : state) {
    std::vector<std::string> keys;
    keys.reserve(kRecords);
    for (int32_t n = 1; n <= kRecords; ++n) {
      table.GoRecord(n);
      std::string name = table.ReadFieldText(1);
      platform::UpperBuffer(name.data(), name.size());
      keys.push_back(std::move(name));
    }
    std::sort(keys.begin(), keys.end());
    benchmark::DoNotOptimize(keys.data());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_ReadAndSortKeys)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_MdxSeekExclusive(benchmark::State& state) {
  const std::string& index = Index();  // made before the table is opened read-only
  VRO_dBHandler table(Table(), false, false);
  table.SetExactMatch(true);
  table.OpenIndex(index);
  IndexOrder* order = table.TagByPosition(1);
  std::mt19937 random(5);
  std::vector<TvrVariant> keys(kSeeks);
  for (TvrVariant& key : keys) {
    std::string name = NameOf(static_cast<int32_t>(1 + random() % kRecords));
    platform::UpperBuffer(name.data(), name.size());
    key.SetText(name);
  }
  for (const TvrVariant& key : keys) order->KeyFind(key, -1);  // warm
  int64_t found = 0;
  for (auto _ : state) {
    for (const TvrVariant& key : keys) found += order->KeyFind(key, -1) > 0;
  }
  if (found != state.iterations() * kSeeks) state.SkipWithError("a seek missed its key");
  state.SetItemsProcessed(state.iterations() * kSeeks);
}
BENCHMARK(BM_MdxSeekExclusive)->Unit(benchmark::kMillisecond);

void Walk(benchmark::State& state, bool inIndexOrder) {
  const std::string& index = Index();
  VRO_dBHandler table(Table(), false, false);
  if (inIndexOrder) {
    table.OpenIndex(index);
    std::string tag = "NAMES";
    table.SelectOrder(&tag, false);
  }
  for (auto _ : state) {
    int32_t count = 0;
    for (table.GoRecord(nav::kFirst); !table.AtEOF(); table.GoRecord(nav::kNext)) ++count;
    if (count != kRecords) state.SkipWithError("the walk missed records");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_MdxWalkTagOrder(benchmark::State& state) { Walk(state, true); }
BENCHMARK(BM_MdxWalkTagOrder)->Unit(benchmark::kMillisecond);

void BM_WalkNaturalOrderNames(benchmark::State& state) { Walk(state, false); }
BENCHMARK(BM_WalkNaturalOrderNames)->Unit(benchmark::kMillisecond);

// The console report, and the ratios the speed goals are stated in.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) realTimes_[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    Ratio("MDX build on UPPER(NAME) / read and std::sort the keys", "BM_MdxBuildUpperName", "BM_ReadAndSortKeys");
    Ratio("Walk in MDX tag order / walk in natural order", "BM_MdxWalkTagOrder", "BM_WalkNaturalOrderNames");
    auto seek = realTimes_.find("BM_MdxSeekExclusive");
    if (seek != realTimes_.end() && seek->second > 0) {
      std::printf("BM_MdxSeekExclusive: %.0f exact seeks per second\n", kSeeks / (seek->second / 1000.0));
    }
  }

 private:
  void Ratio(const char* what, const char* a, const char* b) {
    auto x = realTimes_.find(a);
    auto y = realTimes_.find(b);
    if (x != realTimes_.end() && y != realTimes_.end() && y->second > 0) {
      std::printf("%s: %.2f\n", what, x->second / y->second);
    }
  }
  std::map<std::string, double> realTimes_;
};

}  // namespace
}  // namespace velorin

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  velorin::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
