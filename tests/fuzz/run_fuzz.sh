#!/usr/bin/env bash
# Builds the three fuzzers with clang's libFuzzer (address and undefined-behaviour
# sanitizers) in build/fuzz: the table fuzzer over a seed corpus of valid
# tables, the expression fuzzer over tests/fuzz/expr_seeds.txt (one expression a
# line), and the index fuzzer over seed NDX, CDX, MDX and NTX files, each for VELORIN_FUZZ_SECONDS
# (20) seconds. Exits non-zero when a fuzzer finds a crash, a sanitizer report, a
# leak or a hang; the input that caused it is left in build/fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=build/fuzz
seconds=${VELORIN_FUZZ_SECONDS:-20}
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELORIN_FUZZ=ON \
  -DVELORIN_WITH_QT=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target table_fuzzer expr_fuzzer fuzz_seed_corpus index_fuzzer index_seed_corpus

seeds="$build/seeds"
corpus="$build/corpus"
artifacts="$build/artifacts"
rm -rf "$seeds"
mkdir -p "$corpus" "$artifacts"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
"$build/tests/fuzz/fuzz_seed_corpus" "$seeds"
# New inputs go into the first directory, which grows from run to run.
"$build/tests/fuzz/table_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$seeds"

# Expression seeds: no options, the record as it is, the text.
expr_seeds="$build/expr_seeds"
expr_corpus="$build/expr_corpus"
rm -rf "$expr_seeds"
mkdir -p "$expr_seeds" "$expr_corpus"
n=0
while IFS= read -r line; do
  n=$((n + 1))
  printf '\0\0%s' "$line" >"$expr_seeds/seed$n"
done <tests/fuzz/expr_seeds.txt
"$build/tests/fuzz/expr_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=1024 \
  -print_final_stats=1 -artifact_prefix="$artifacts/expr-" "$expr_corpus" "$expr_seeds"

index_seeds="$build/index-seeds"
index_corpus="$build/index-corpus"
rm -rf "$index_seeds"
mkdir -p "$index_corpus"
"$build/tests/fuzz/index_seed_corpus" "$index_seeds"
"$build/tests/fuzz/index_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
  -print_final_stats=1 -artifact_prefix="$artifacts/index-" "$index_corpus" "$index_seeds"
