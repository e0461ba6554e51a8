// Benchmarks of index files on a table of a million records, NAME C(20), for
// each family (NDX, MDX, CDX, NTX; the capture names it): building an index on UPPER(NAME) against reading
// the table and sorting the same key strings with std::sort; exact seeks on a
// warm index opened exclusively and opened shared (pages reread each seek);
// walking the table in index order against walking it in natural order.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/vr6_dbsy.h"
#include "index/index_families.h"
#include "index/vr6_indx.h"
#include "platform/code_page.h"

namespace velorin {
namespace {

constexpr int32_t kRecords = bench::kWalkRecords;
constexpr int kSeeks = 100000;

std::string NameOf(int32_t i) {
  // Scrambled, mixed case, so that building has real sorting to do.
  uint32_t v = static_cast<uint32_t>(i) * 2654435761u % 1000003u;
  return (v % 2 ? "name " : "Name ") + std::to_string(v);
}

// The million-record table (NAME C(20) first), written once per run.
const std::string& Table() {
  static const std::string path = [] {
    InstallIndexFamilies();
    return bench::WriteBenchTable("NAMES.DBF", NameOf, [](int32_t i) { return i % 1000; });
  }();
  return path;
}

// NAMES.NDX, .MDX, .CDX or .NTX (by extension) with the order NAMES on UPPER(NAME),
// made once per run, before any handler opens the table read-only.
const std::string& Index(const std::string& extension) {
  static std::map<std::string, std::string> made;
  auto found = made.find(extension);
  if (found != made.end()) return found->second;
  std::string file = bench::Directory().File("NAMES" + extension);
  VRO_dBHandler table(Table(), true, false);
  CreateIndexFile(table, file)->TagAdd("NAMES", "UPPER(NAME)", false, true, "");
  return made[extension] = file;
}

void BM_BuildIndexUpperName(benchmark::State& state, const std::string& extension) {
  VRO_dBHandler table(Table(), true, false);
  std::string file = bench::Directory().File("BUILD" + extension);
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(file);  // an MDX file would keep the tags of earlier rounds
    state.ResumeTiming();
    CreateIndexFile(table, file)->TagAdd("BUILD", "UPPER(NAME)", false, true, "");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK_CAPTURE(BM_BuildIndexUpperName, ndx, std::string(".NDX"))->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_BuildIndexUpperName, mdx, std::string(".MDX"))->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_BuildIndexUpperName, cdx, std::string(".CDX"))->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_BuildIndexUpperName, ntx, std::string(".NTX"))->Unit(benchmark::kMillisecond)->Iterations(3);

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

std::vector<TvrVariant> SeekKeys() {
  std::mt19937 random(5);
  std::vector<TvrVariant> keys(kSeeks);
  for (TvrVariant& key : keys) {
    std::string name = NameOf(static_cast<int32_t>(1 + random() % kRecords));
    platform::UpperBuffer(name.data(), name.size());
    key.SetText(name);
  }
  return keys;
}

void Seeks(benchmark::State& state, bool shared, const std::string& extension) {
  const std::string& index = Index(extension);
  VRO_dBHandler table(Table(), false, shared);
  table.SetExactMatch(true);
  table.OpenIndex(index);
  IndexOrder* order = table.TagByPosition(1);
  std::vector<TvrVariant> keys = SeekKeys();
  for (const TvrVariant& key : keys) order->KeyFind(key, -1);  // warm
  int64_t found = 0;
  for (auto _ : state) {
    for (const TvrVariant& key : keys) found += order->KeyFind(key, -1) > 0;
  }
  if (found != state.iterations() * kSeeks) state.SkipWithError("a seek missed its key");
  state.SetItemsProcessed(state.iterations() * kSeeks);
}

void BM_SeekExclusive(benchmark::State& state, const std::string& extension) { Seeks(state, false, extension); }
BENCHMARK_CAPTURE(BM_SeekExclusive, ndx, std::string(".NDX"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SeekExclusive, mdx, std::string(".MDX"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SeekExclusive, cdx, std::string(".CDX"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SeekExclusive, ntx, std::string(".NTX"))->Unit(benchmark::kMillisecond);

void BM_SeekShared(benchmark::State& state, const std::string& extension) { Seeks(state, true, extension); }
BENCHMARK_CAPTURE(BM_SeekShared, ndx, std::string(".NDX"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SeekShared, mdx, std::string(".MDX"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SeekShared, cdx, std::string(".CDX"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SeekShared, ntx, std::string(".NTX"))->Unit(benchmark::kMillisecond);

void Walk(benchmark::State& state, bool inIndexOrder, const std::string& extension) {
  const std::string& index = Index(extension);
  VRO_dBHandler table(Table(), false, false);
  if (inIndexOrder) {
    table.OpenIndex(index);
    std::string tag = "NAMES";
    table.SelectOrder(&tag, false);
  }
  for (auto _ : state) {
    if (bench::RecordsWalked(table) != kRecords) state.SkipWithError("the walk missed records");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_WalkIndexOrder(benchmark::State& state, const std::string& extension) { Walk(state, true, extension); }
BENCHMARK_CAPTURE(BM_WalkIndexOrder, ndx, std::string(".NDX"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WalkIndexOrder, mdx, std::string(".MDX"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WalkIndexOrder, cdx, std::string(".CDX"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WalkIndexOrder, ntx, std::string(".NTX"))->Unit(benchmark::kMillisecond);

void BM_WalkNaturalOrderNames(benchmark::State& state) { Walk(state, false, ".NDX"); }
BENCHMARK(BM_WalkNaturalOrderNames)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velorin

int main(int argc, char** argv) {
  return velorin::bench::RunWithRatios(
      argc, argv,
      {{"BM_BuildIndexUpperName/ndx", "BM_ReadAndSortKeys", "NDX: build on UPPER(NAME) / read and std::sort the keys"},
       {"BM_BuildIndexUpperName/mdx", "BM_ReadAndSortKeys", "MDX: build on UPPER(NAME) / read and std::sort the keys"},
       {"BM_WalkIndexOrder/ndx", "BM_WalkNaturalOrderNames", "NDX: walk in index order / walk in natural order"},
       {"BM_BuildIndexUpperName/cdx", "BM_ReadAndSortKeys", "CDX: build on UPPER(NAME) / read and std::sort the keys"},
       {"BM_BuildIndexUpperName/ntx", "BM_ReadAndSortKeys", "NTX: build on UPPER(NAME) / read and std::sort the keys"},
       {"BM_WalkIndexOrder/mdx", "BM_WalkNaturalOrderNames", "MDX: walk in index order / walk in natural order"},
       {"BM_WalkIndexOrder/cdx", "BM_WalkNaturalOrderNames", "CDX: walk in index order / walk in natural order"},
       {"BM_WalkIndexOrder/ntx", "BM_WalkNaturalOrderNames", "NTX: walk in index order / walk in natural order"}});
}
