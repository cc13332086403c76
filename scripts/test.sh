#!/usr/bin/env bash
# Installs the dependencies, builds Brindle and runs the whole test suite:
# once as released, once under AddressSanitizer and UndefinedBehaviorSanitizer
# (the viewer's tests included), then the core and brindle-cli cross-built for
# Windows and run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
jobs=$(nproc)
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure -j"$jobs"
# The viewer and its tests too: the GUI tests run offscreen like the others.
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DBRINDLE_SANITIZE=ON -DBRINDLE_BENCH=OFF
cmake --build build/asan -j"$jobs"
ctest --test-dir build/asan --output-on-failure -j"$jobs"
# Windows: the core's tests and brindle-cli under Wine, compared with the
# release tree's brindle-cli byte for byte.
bash scripts/test-windows.sh
