// Benchmarks of CDX files over a table of a million records: building a tag
// against reading the keys and std::sort, exact seeks on a warm tag, and
// walking the table in a tag's order against walking it in natural order: once
// by a key in no relation to the record order (every record read is a random
// read) and once by a key that follows it.
//
// The table and its index live in a fresh directory under the system's
// temporary directory (TMPDIR), removed at the end of the run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_support.h"
#include "engine/vr6_dbsy.h"
#include "index/index_families.h"
#include "index/vr6_cdx.h"
#include "engine/table_creator.h"

namespace velorin {
namespace {

constexpr int32_t kRecords = 1000000;

using bench::Directory;

// The name of record n (1-based): a scrambled number, so that the table is in
// no particular key order.
std::string NameOf(int32_t n) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "N%019lld", static_cast<long long>((int64_t{n} * 7919) % kRecords));
  return buffer;
}

// NAME C(20), SEQ N(8) (the record number): 29 bytes a record; made once.
const std::string& TablePath() {
  static const std::string path = [] {
    std::string file = Directory().File("BENCH.DBF");
    TableSpec layout;
    layout.version = 0x03;
    for (const char* field : {"NAME:C:20", "SEQ:N:8"}) layout.fields.push_back(ParseFieldSpec(field));
    CreateTable(file, layout);
    InstallIndexFamilies();
    VRO_dBHandler table(file, true, false);
    for (int32_t n = 1; n <= kRecords; ++n) {
      table.BlankRecord();
      table.PutValue(1, NameOf(n));
      table.PutNumber(2, n);
      table.Append();
    }
    return file;
  }();
  return path;
}

// BENCH.CDX with the tags NAME and SEQ, made once.
const std::string& IndexPath() {
  static const std::string path = [] {
    std::string file = Directory().File("BENCH.CDX");
    VRO_dBHandler table(TablePath(), true, false);
    VRobjCDXFile index(&table, file, true, true);
    index.TagAdd("NAME", "NAME", false, true, "");
    index.TagAdd("SEQ", "SEQ", false, true, "");
    return file;
  }();
  return path;
}

void BM_CdxBuildTag(benchmark::State& state) {
  VRO_dBHandler table(TablePath(), true, false);
  for (auto _ : state) {
    VRobjCDXFile file(&table, Directory().File("BUILD.CDX"), true, true);
    file.TagAdd("NAME", "NAME", false, true, "");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_CdxBuildTag)->Unit(benchmark::kMillisecond)->Iterations(2);

// The floor for a build: every record's key read through the handler, then
// std::sort of the (key, record) pairs.
void BM_ReadKeysAndSort(benchmark::State& state) {
  VRO_dBHandler table(TablePath(), true, false);
  for (auto _ : state) {
    std::vector<std::pair<std::string, int32_t>> keys;
    keys.reserve(kRecords);
    for (int32_t n = 1; n <= kRecords; ++n) {
      table.GoRecord(n);
      keys.emplace_back(table.ReadFieldText(1), n);
    }
    std::sort(keys.begin(), keys.end());
    benchmark::DoNotOptimize(keys.data());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_ReadKeysAndSort)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_CdxExactSeek(benchmark::State& state) {
  const std::string& index = IndexPath();
  VRO_dBHandler table(TablePath(), true, false);
  table.OpenIndex(index);
  IndexOrder* tag = table.IndexFileInSlot(1)->TagByName("NAME");
  table.SetExactMatch(true);
  std::vector<TvrVariant> sought(4096);
  std::mt19937 random(1);
  for (TvrVariant& key : sought) key.SetText(NameOf(static_cast<int32_t>(random() % kRecords) + 1));
  size_t i = 0;
  int64_t found = 0;
  for (auto _ : state) {
    found += tag->KeyFind(sought[i++ % sought.size()], -1) > 0;
  }
  if (found != state.iterations()) state.SkipWithError("a key was not found");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CdxExactSeek);

// Walks the table in the tag's order (natural order without one), opened
// exclusively (records come through the record cache) or shared (each record
// read again, since another program may have changed it).
void Walk(benchmark::State& state, const std::string& tag, bool shared = false) {
  if (!tag.empty()) IndexPath();  // made before the table is opened read-only here
  VRO_dBHandler table(TablePath(), false, shared);
  if (!tag.empty()) {
    table.OpenIndex(IndexPath());
    std::string name = tag;
    table.SelectOrder(&name, false);
  }
  for (auto _ : state) {
    if (bench::RecordsWalked(table) != kRecords) state.SkipWithError("the walk missed records");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_WalkNaturalOrder(benchmark::State& state) { Walk(state, ""); }
BENCHMARK(BM_WalkNaturalOrder)->Unit(benchmark::kMillisecond);

void BM_CdxWalkScatteredKeys(benchmark::State& state) { Walk(state, "NAME"); }
BENCHMARK(BM_CdxWalkScatteredKeys)->Unit(benchmark::kMillisecond);

void BM_CdxWalkFollowingKeys(benchmark::State& state) { Walk(state, "SEQ"); }
BENCHMARK(BM_CdxWalkFollowingKeys)->Unit(benchmark::kMillisecond);

void BM_CdxWalkScatteredKeysShared(benchmark::State& state) { Walk(state, "NAME", true); }
BENCHMARK(BM_CdxWalkScatteredKeysShared)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velorin

int main(int argc, char** argv) {
  return velorin::bench::RunWithRatios(
      argc, argv,
      {{"BM_CdxBuildTag", "BM_ReadKeysAndSort", "Build / (read keys + std::sort)"},
       {"BM_CdxWalkScatteredKeys", "BM_WalkNaturalOrder", "Walk by scattered keys / walk in natural order"},
       {"BM_CdxWalkFollowingKeys", "BM_WalkNaturalOrder", "Walk by following keys / walk in natural order"},
       {"BM_CdxWalkScatteredKeysShared", "BM_WalkNaturalOrder", "Shared walk by scattered keys / walk in natural order"}});
}
