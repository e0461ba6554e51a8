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
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/table_creator.h"
#include "engine/vr6_dbsy.h"

namespace velorin {
namespace {

using bench::BenchSpec;
using bench::Directory;
using bench::kWalkRecords;
using bench::WalkTable;

constexpr int32_t kAppendRecords = 100000;
constexpr size_t kReadChunk = 32768;  // what the handler's read-ahead reads at a time

void BM_WalkNaturalOrder(benchmark::State& state) {
  VRO_dBHandler table(WalkTable(), false, true);
  for (auto _ : state) {
    if (bench::RecordsWalked(table) != kWalkRecords) state.SkipWithError("the walk missed records");
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
  std::string file = Directory().File("APPEND.DBF");
  for (auto _ : state) {
    state.PauseTiming();
    CreateTable(file, BenchSpec());
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

}  // namespace
}  // namespace velorin

int main(int argc, char** argv) {
  return velorin::bench::RunWithRatios(argc, argv, {{"BM_WalkNaturalOrder", "BM_SequentialRead",
                                                     "Walk in natural order / sequential read()"}});
}
