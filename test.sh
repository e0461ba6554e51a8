#!/usr/bin/env bash
# Installs what is missing, then configures, builds and runs every test (sanitizer build).
set -euo pipefail
cd "$(dirname "$0")"

packages=(
  build-essential cmake pkg-config dpkg-dev file desktop-file-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  qt6-base-dev fonts-liberation xvfb xauth
  clang libclang-rt-14-dev
  python3 python3-dbf python3-dbfread libdbd-xbase-perl
)
scripts/ensure-packages.sh "${packages[@]}"

build=build/test
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVELORIN_SANITIZE=ON -DBUILD_TESTING=ON
cmake --build "$build" -j "$(nproc)"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
tests/fuzz/run_fuzz.sh
