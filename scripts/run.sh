#!/usr/bin/env bash
# Installs the dependencies, builds Brindle and shows the example file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DBRINDLE_TESTS=OFF -DBRINDLE_BENCH=OFF
cmake --build build/release -j"$(nproc)"
exec build/release/src/cli/brindle-cli vars examples/survey.sav
