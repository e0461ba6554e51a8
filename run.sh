#!/usr/bin/env bash
# Builds the Release programs and starts the main program on the sample data.
set -euo pipefail
cd "$(dirname "$0")"

packages=(build-essential cmake pkg-config libcli11-dev nlohmann-json3-dev qt6-base-dev fonts-liberation)
scripts/ensure-packages.sh "${packages[@]}"

build=build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build "$build" -j "$(nproc)"

# Start the testing program on the sample tables the build made in $build/data.
exec app/run_program.sh "$build"
