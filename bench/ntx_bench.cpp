// Benchmarks of NTX index files on a table of 300,000 records: building an order
// against reading the keys and sorting them with std::sort, exact seeks with the
// pages in memory, and walking the table in index order (and the keys alone)
// against the natural walk.
//
// The table and the index live in a fresh directory under the system's temporary
// directory (TMPDIR), removed at the end of the run. The ratios the figures are
// judged by are printed at the end, each from the same run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_support.h"
#include "engine/vr6_dbsy.h"
#include "index/index_families.h"
#include "index/vr6_ntx.h"
#include "engine/table_creator.h"

namespace velorin {
namespace {

constexpr int32_t kRecords = 300000;
constexpr int32_t kSeeks = 100000;

// NAME C(20) holding a scrambled number, QTY N(8): 29 bytes a record.
std::string KeyOf(int32_t i) { return "name " + std::to_string((int64_t{i} * 7919) % kRecords); }

const std::string& Table() {
  static const std::string path = [] {
    InstallIndexFamilies();
    std::string file = bench::Directory().File("NTX.DBF");
    TableSpec tableLayout;
    tableLayout.version = 0x03;
    for (const char* field : {"NAME:C:20", "QTY:N:8"}) tableLayout.fields.push_back(ParseFieldSpec(field));
    CreateTable(file, tableLayout);
    std::string bytes;
    {
      std::ifstream in(file, std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    bytes.pop_back();  // the end-of-file byte
    for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>(kRecords >> (8 * i));
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    char record[64];
    for (int32_t i = 1; i <= kRecords; ++i) {
      int n = std::snprintf(record, sizeof record, " %-20s%8d", KeyOf(i).c_str(), i);
      out.write(record, n);
    }
    out.put('\x1A');
    return file;
  }();
  return path;
}

void Build(VRO_dBHandler& table) {
  VRobjNTXFile file(&table, bench::Directory().File("NAME.NTX"), true, true);
  file.TagAdd("NAME", "NAME", false, true, "");
}

void BM_NtxBuild(benchmark::State& state) {
  VRO_dBHandler table(Table(), true, false);
  for (auto _ : state) Build(table);
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_NtxBuild)->Unit(benchmark::kMillisecond);

// The floor of a build: every key read through the handler, then std::sort.
void BM_ReadAndSort(benchmark::State& state) {
  VRO_dBHandler table(Table(), false, true);
  for (auto _ : state) {
    std::vector<std::pair<std::string, int32_t>> keys;
    keys.reserve(kRecords);
    for (table.GoRecord(nav::kFirst); !table.AtEOF(); table.GoRecord(nav::kNext)) {
      keys.emplace_back(table.ReadFieldText(1), table.RecordNumber());
    }
    std::sort(keys.begin(), keys.end());
    benchmark::DoNotOptimize(keys.data());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_ReadAndSort)->Unit(benchmark::kMillisecond);

// Exact seeks of keys in random order, the pages read once before.
void BM_NtxExactSeek(benchmark::State& state) {
  VRO_dBHandler table(Table(), true, false);
  Build(table);
  table.OpenIndex("NAME.NTX");
  IndexOrder* order = table.IndexFileInSlot(1)->TagByIndex(0);
  std::vector<TvrVariant> keys(kSeeks);
  std::mt19937 random(7);
  for (TvrVariant& key : keys) key.SetText(KeyOf(static_cast<int32_t>(1 + random() % kRecords)));
  for (const TvrVariant& key : keys) order->KeyFind(key, -1);  // warm
  for (auto _ : state) {
    for (const TvrVariant& key : keys) {
      if (order->KeyFind(key, -1) == 0) state.SkipWithError("a key was not found");
    }
  }
  state.SetItemsProcessed(state.iterations() * kSeeks);
}
BENCHMARK(BM_NtxExactSeek)->Unit(benchmark::kMillisecond);

void BM_NaturalWalk(benchmark::State& state) {
  VRO_dBHandler table(Table(), false, false);
  for (auto _ : state) {
    if (bench::RecordsWalked(table) != kRecords) state.SkipWithError("the walk missed records");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_NaturalWalk)->Unit(benchmark::kMillisecond);

// Opened exclusively the records come through the record cache; opened shared
// each is read again, since another program may have changed it.
void OrderWalk(benchmark::State& state, bool shared) {
  {
    VRO_dBHandler writer(Table(), true, false);
    Build(writer);
  }
  VRO_dBHandler table(Table(), false, shared);
  table.OpenIndex("NAME.NTX");
  std::string tag = "NAME";
  table.SelectOrder(&tag, false);
  for (auto _ : state) {
    if (bench::RecordsWalked(table) != kRecords) state.SkipWithError("the walk missed records");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_NtxOrderWalk(benchmark::State& state) { OrderWalk(state, false); }
BENCHMARK(BM_NtxOrderWalk)->Unit(benchmark::kMillisecond);

void BM_NtxOrderWalkShared(benchmark::State& state) { OrderWalk(state, true); }
BENCHMARK(BM_NtxOrderWalkShared)->Unit(benchmark::kMillisecond);

// The order's own part of that walk: the keys alone, no record read.
void BM_NtxKeyWalk(benchmark::State& state) {
  VRO_dBHandler table(Table(), true, false);
  Build(table);
  table.OpenIndex("NAME.NTX");
  IndexOrder* order = table.IndexFileInSlot(1)->TagByIndex(0);
  for (auto _ : state) {
    int64_t keys = 0;
    for (int32_t record = order->KeyMove(nav::kFirst); record > 0; record = order->KeyMove(nav::kNext)) ++keys;
    if (keys != kRecords) state.SkipWithError("the walk missed keys");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_NtxKeyWalk)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velorin

int main(int argc, char** argv) {
  return velorin::bench::RunWithRatios(argc, argv,
                                       {{"BM_NtxBuild", "BM_ReadAndSort", "Build / read and std::sort"},
                                        {"BM_NtxOrderWalk", "BM_NaturalWalk", "Walk in index order / natural walk"},
                                        {"BM_NtxOrderWalkShared", "BM_NaturalWalk", "Shared walk in index order / natural walk"},
                                        {"BM_NtxKeyWalk", "BM_NaturalWalk", "Keys alone in index order / natural walk"}});
}
