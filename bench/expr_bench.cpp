// Benchmarks of the expression evaluator: compiled keys evaluated on the
// current record, and a filtered walk of a million records (the filter set
// built by SetFilter, then navigation that tests only the set) against the
// plain walk of the same table in natural order.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_support.h"
#include "engine/vr6_dbsy.h"
#include "expr/expression_filter.h"
#include "expr/table_link.h"
#include "expr/vr6_sql.h"

namespace velorin {
namespace {

using bench::kWalkRecords;

constexpr const char* kFilter = "QTY > 0 .AND. LEFT(NAME,1) = \"A\"";

// Names begin with A for odd records, QTY is 0 for every seventh.
std::string NameOf(int32_t i) { return (i % 2 ? "Alpha " : "Beta ") + std::to_string(i); }
int32_t QtyOf(int32_t i) { return i % 7; }

const std::string& FilterTable() {
  static const std::string path = bench::WriteBenchTable("FILTER.DBF", NameOf, QtyOf);
  return path;
}

// How many records pass the filter.
int64_t Passing() {
  int64_t count = 0;
  for (int32_t i = 1; i <= kWalkRecords; ++i) count += QtyOf(i) > 0 && NameOf(i)[0] == 'A';
  return count;
}

void EvaluateKey(benchmark::State& state, const char* key) {
  VRO_dBHandler table(FilterTable(), false, true);
  table.GoRecord(12345);
  auto link = MakeTableLink(table);
  TvrExpHandler expression(link.get(), false, key);
  TvrExpBuffer buffer;
  for (auto _ : state) benchmark::DoNotOptimize(expression.EvaluateToBuffer(buffer));
  state.SetItemsProcessed(state.iterations());
}

void BM_EvaluateUpperName(benchmark::State& state) { EvaluateKey(state, "UPPER(NAME)"); }
BENCHMARK(BM_EvaluateUpperName);

void BM_EvaluateDtosPlusName(benchmark::State& state) { EvaluateKey(state, "DTOS(WHEN)+NAME"); }
BENCHMARK(BM_EvaluateDtosPlusName);

void BM_EvaluateFilterExpression(benchmark::State& state) { EvaluateKey(state, kFilter); }
BENCHMARK(BM_EvaluateFilterExpression);

void BM_EvaluateNumberField(benchmark::State& state) { EvaluateKey(state, "QTY"); }
BENCHMARK(BM_EvaluateNumberField);

// The key as an engine value, as index keys are taken.
void BM_EvaluateKeyToVariant(benchmark::State& state) {
  VRO_dBHandler table(FilterTable(), false, true);
  table.GoRecord(12345);
  auto link = MakeTableLink(table);
  TvrExpHandler expression(link.get(), false, "UPPER(NAME)");
  TvrVariant key(256);
  for (auto _ : state) benchmark::DoNotOptimize(expression.EvaluateToVariant(key));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvaluateKeyToVariant);

void BM_PlainWalk(benchmark::State& state) {
  VRO_dBHandler table(FilterTable(), false, true);
  for (auto _ : state) {
    if (bench::RecordsWalked(table) != kWalkRecords) state.SkipWithError("the walk missed records");
  }
  state.SetItemsProcessed(state.iterations() * kWalkRecords);
}
BENCHMARK(BM_PlainWalk)->Unit(benchmark::kMillisecond);

// SetFilter (one evaluation per record) and the walk through the set.
void BM_FilterSetAndWalk(benchmark::State& state) {
  InstallExpressionFilter();
  VRO_dBHandler table(FilterTable(), false, true);
  const int64_t passing = Passing();
  for (auto _ : state) {
    table.SetFilter(kFilter, false, true);
    table.SetFilterActive(true);
    if (bench::RecordsWalked(table) != passing) {
      state.SkipWithError("the filter passed other records");
      break;
    }
    state.PauseTiming();
    table.SetFilter("", false, true);  // the next SetFilter compiles and fills again
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kWalkRecords);
}
BENCHMARK(BM_FilterSetAndWalk)->Unit(benchmark::kMillisecond);

// The walk alone once the set is built.
void BM_FilteredWalk(benchmark::State& state) {
  InstallExpressionFilter();
  VRO_dBHandler table(FilterTable(), false, true);
  table.SetFilter(kFilter, false, true);
  table.SetFilterActive(true);
  for (auto _ : state) benchmark::DoNotOptimize(bench::RecordsWalked(table));
  state.SetItemsProcessed(state.iterations() * kWalkRecords);
}
BENCHMARK(BM_FilteredWalk)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velorin

int main(int argc, char** argv) {
  return velorin::bench::RunWithRatios(
      argc, argv,
      {{"BM_FilterSetAndWalk", "BM_PlainWalk", "SetFilter and filtered walk / plain walk"},
       {"BM_FilteredWalk", "BM_PlainWalk", "Filtered walk alone / plain walk"}});
}
