// Benchmarks of index files on a table of a million records, NAME C(20):
// building an NDX index on UPPER(NAME) against reading the table and sorting
// the same key strings with std::sort; exact seeks on a warm index opened
// exclusively and opened shared (pages reread each seek); walking the table in
// index order against walking it in natural order.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/vr6_dbsy.h"
#include "index/index_families.h"
#include "index/vr6_mdx.h"
#include "index/vr6_ndx.h"
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

const std::string& Index() {
  static const std::string path = [] {
    std::string file = bench::Directory().File("NAMES.NDX");
    VRO_dBHandler table(Table(), true, false);
    VRobjNDXFile index(&table, file, true, true);
    index.TagAdd("NAMES", "UPPER(NAME)", false, true, "");
    return file;
  }();
  return path;
}

// NAMES.MDX with the tag NAMES on UPPER(NAME).
const std::string& MdxIndex() {
  static const std::string path = [] {
    std::string file = bench::Directory().File("NAMES.MDX");
    VRO_dBHandler table(Table(), true, false);
    VRobjMDXFile index(&table, file, true, true);
    index.TagAdd("NAMES", "UPPER(NAME)", false, true, "");
    return file;
  }();
  return path;
}

void BM_BuildMdxUpperName(benchmark::State& state) {
  VRO_dBHandler table(Table(), true, false);
  for (auto _ : state) {
    VRobjMDXFile index(&table, bench::Directory().File("BUILD.MDX"), true, true);
    index.TagAdd("BUILD", "UPPER(NAME)", false, true, "");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_BuildMdxUpperName)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_BuildIndexUpperName(benchmark::State& state) {
  VRO_dBHandler table(Table(), true, false);
  for (auto _ : state) {
    VRobjNDXFile index(&table, bench::Directory().File("BUILD.NDX"), true, true);
    index.TagAdd("BUILD", "UPPER(NAME)", false, true, "");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_BuildIndexUpperName)->Unit(benchmark::kMillisecond)->Iterations(3);

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

// index: the index file, made before the table is opened read-only here.
void Seeks(benchmark::State& state, bool shared, const std::string& index) {
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

void BM_SeekExclusive(benchmark::State& state) { Seeks(state, false, Index()); }
BENCHMARK(BM_SeekExclusive)->Unit(benchmark::kMillisecond);

void BM_SeekShared(benchmark::State& state) { Seeks(state, true, Index()); }
BENCHMARK(BM_SeekShared)->Unit(benchmark::kMillisecond);

void BM_SeekMdxExclusive(benchmark::State& state) { Seeks(state, false, MdxIndex()); }
BENCHMARK(BM_SeekMdxExclusive)->Unit(benchmark::kMillisecond);

// index: the index file to walk in the order of, or empty for natural order.
void Walk(benchmark::State& state, const std::string& index) {
  VRO_dBHandler table(Table(), false, false);
  if (!index.empty()) {
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

void BM_WalkIndexOrder(benchmark::State& state) { Walk(state, Index()); }
BENCHMARK(BM_WalkIndexOrder)->Unit(benchmark::kMillisecond);

void BM_WalkMdxOrder(benchmark::State& state) { Walk(state, MdxIndex()); }
BENCHMARK(BM_WalkMdxOrder)->Unit(benchmark::kMillisecond);

void BM_WalkNaturalOrderNames(benchmark::State& state) { Walk(state, ""); }
BENCHMARK(BM_WalkNaturalOrderNames)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velorin

int main(int argc, char** argv) {
  return velorin::bench::RunWithRatios(
      argc, argv,
      {{"BM_BuildIndexUpperName", "BM_ReadAndSortKeys", "Build on UPPER(NAME) / read and std::sort the keys"},
       {"BM_WalkIndexOrder", "BM_WalkNaturalOrderNames", "Walk in index order / walk in natural order"},
       {"BM_BuildMdxUpperName", "BM_ReadAndSortKeys", "MDX: build on UPPER(NAME) / read and std::sort the keys"},
       {"BM_WalkMdxOrder", "BM_WalkNaturalOrderNames", "MDX: walk in tag order / walk in natural order"}});
}
