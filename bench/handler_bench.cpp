// Benchmarks of the table handler: walking a table of a million records in
// natural order against reading the same file with plain read() calls, appending
// to an exclusive table, and Skip over the whole table.
//
// The tables live in a fresh directory under the system's temporary directory
// (TMPDIR), removed at the end of the run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_directory.h"
#include "engine/vr6_dbsy.h"
#include "tools/table_creator.h"

namespace velorin {
namespace {

constexpr int32_t kWalkRecords = 1000000;
constexpr int32_t kAppendRecords = 100000;
constexpr size_t kReadChunk = 32768;  // what the handler's read-ahead reads at a time

// NAME C(20), QTY N(8), PRICE N(10,2), WHEN D, OK L: 48 bytes a record.
tools::TableSpec BenchSpec() {
  tools::TableSpec tableLayout;
  tableLayout.version = 0x03;
  for (const char* field : {"NAME:C:20", "QTY:N:8", "PRICE:N:10:2", "WHEN:D", "OK:L"}) {
    tableLayout.fields.push_back(tools::ParseFieldSpec(field));
  }
  return tableLayout;
}

// The million-record table, written once per run as raw records.
const std::string& WalkTable() {
  static const std::string path = [] {
    std::string file = BenchFile("WALK.DBF");
    tools::CreateTable(file, BenchSpec());
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
      int n = std::snprintf(record, sizeof record, " %-20s%8d%10.2f%04d%02d%02d%c", ("name " + std::to_string(i)).c_str(),
                            i % 100000, (i % 9999) / 4.0, 1980 + i % 40, 1 + i % 12, 1 + i % 28, i % 2 ? 'T' : 'F');
      out.write(record, n);
    }
    out.put('\x1A');
    return file;
  }();
  return path;
}

void BM_WalkNaturalOrder(benchmark::State& state) {
  VRO_dBHandler table(WalkTable(), false, true);
  for (auto _ : state) {
    int64_t records = 0;
    for (table.GoRecord(nav::kFirst); !table.AtEOF(); table.GoRecord(nav::kNext)) {
      benchmark::DoNotOptimize(table.CurrentRecord()[1]);
      ++records;
    }
    if (records != kWalkRecords) state.SkipWithError("the walk missed records");
  }
  state.SetItemsProcessed(state.iterations() * kWalkRecords);
  state.SetBytesProcessed(state.iterations() * int64_t{kWalkRecords} * table.RecordLength());
}
BENCHMARK(BM_WalkNaturalOrder)->Unit(benchmark::kMillisecond);

// The floor: the same bytes through read() in the read-ahead's chunk size.
void BM_SequentialRead(benchmark::State& state) {
  std::vector<char> buffer(kReadChunk);
  int64_t bytes = 0;
  for (auto _ : state) {
    int fd = open(WalkTable().c_str(), O_RDONLY);
    if (fd < 0) {
      state.SkipWithError("cannot open the table");
      break;
    }
    ssize_t got;
    while ((got = read(fd, buffer.data(), buffer.size())) > 0) {
      benchmark::DoNotOptimize(buffer[0]);
      bytes += got;
    }
    close(fd);
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_SequentialRead)->Unit(benchmark::kMillisecond);

void BM_AppendExclusive(benchmark::State& state) {
  std::string file = BenchFile("APPEND.DBF");
  for (auto _ : state) {
    state.PauseTiming();
    tools::CreateTable(file, BenchSpec());
    state.ResumeTiming();
    {
      VRO_dBHandler table(file, true, false);
      for (int32_t i = 1; i <= kAppendRecords; ++i) {
        table.BlankRecord();
        table.PutText(1, "appended");
        table.PutNumber(2, i);
        table.Append();
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kAppendRecords);
}
BENCHMARK(BM_AppendExclusive)->Unit(benchmark::kMillisecond);

// Nothing hidden: a direct jump to the last record.
void BM_SkipWholeTable(benchmark::State& state) {
  VRO_dBHandler table(WalkTable(), false, true);
  for (auto _ : state) {
    table.GoRecord(nav::kFirst);
    table.Skip(kWalkRecords);
    if (!table.AtEOF() || table.RecordNumber() != kWalkRecords) state.SkipWithError("Skip did not reach the end");
  }
}
BENCHMARK(BM_SkipWholeTable)->Unit(benchmark::kMicrosecond);

// Deleted records hidden: Skip steps record by record through the read-ahead.
void BM_SkipWholeTableHidingDeleted(benchmark::State& state) {
  VRO_dBHandler table(WalkTable(), false, true);
  table.SetUseDeleted(false);
  for (auto _ : state) {
    table.GoRecord(nav::kFirst);
    table.Skip(kWalkRecords);
    if (!table.AtEOF()) state.SkipWithError("Skip did not reach the end");
  }
  state.SetItemsProcessed(state.iterations() * kWalkRecords);
}
BENCHMARK(BM_SkipWholeTableHidingDeleted)->Unit(benchmark::kMillisecond);

// The console report, and the ratio of the walk to the plain read at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only for a terminal.
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) realTimes_[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto walk = realTimes_.find("BM_WalkNaturalOrder");
    auto read = realTimes_.find("BM_SequentialRead");
    if (walk != realTimes_.end() && read != realTimes_.end() && read->second > 0) {
      std::printf("Walk in natural order / sequential read(): %.2f\n", walk->second / read->second);
    }
  }

 private:
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
