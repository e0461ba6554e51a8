#!/usr/bin/env bash
# Builds the Release programs and starts the main program on the sample data.
set -euo pipefail
cd "$(dirname "$0")"

packages=(build-essential cmake pkg-config libcli11-dev nlohmann-json3-dev qt6-base-dev fonts-liberation)
scripts/ensure-packages.sh "${packages[@]}"

build=build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build "$build" -j "$(nproc)"

# Until the testing program exists: make a sample table and show it.
sample=$(mktemp -d)
trap 'rm -rf "$sample"' EXIT
"$build/tools/velorin-dbf" create "$sample/INFO.DBF" --version 03 --codepage 866 \
  --field NAME:C:15 --field VARIANT:C:2 --field COUNT:N:4 --field TRUECOUNT:N:4 --field DATE:D
"$build/tools/velorin-dbf" info "$sample/INFO.DBF"
