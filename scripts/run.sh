#!/usr/bin/env bash
# Installs the dependencies, builds Brindle and opens the example file in the viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DBRINDLE_TESTS=OFF -DBRINDLE_BENCH=OFF
cmake --build build/release -j"$(nproc)"
exec build/release/src/app/brindle examples/survey.sav
