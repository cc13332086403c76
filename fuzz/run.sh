#!/bin/sh
# run.sh [SECONDS] [TARGET]
# Builds the fuzz targets with clang and runs TARGET (spssio_fuzz, the
# default, freq_fuzz, bytecode_fuzz or crypt_fuzz) for SECONDS (default 600). The file targets are seeded
# with the real files of ../shared/testdata/sav and the writer's seeds.
# Prints the executions reached and the crashes found. With KEEP_GOING=1 the
# fuzzer runs in fork mode and goes on after a crash, collecting every one.
set -eu
seconds=${1:-600}
target=${2:-spssio_fuzz}
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
build=$src/build-fuzz
work=$build/fuzz-run/$target

CC=clang CXX=clang++ cmake -S "$src" -B "$build" -DBRINDLE_FUZZ=ON -DBRINDLE_TESTS=OFF \
  -DBRINDLE_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target spssio_fuzz bytecode_fuzz freq_fuzz crypt_fuzz make_fuzz_seeds -j2 >/dev/null

mkdir -p "$work/corpus" "$work/seeds" "$work/crashes"
if [ "$target" != bytecode_fuzz ]; then
  "$build/fuzz/make_fuzz_seeds" "$work/seeds"
fi
if [ "$target" != bytecode_fuzz ] && [ -d "$src/../shared/testdata/sav" ]; then
  cp "$src/../shared/testdata/sav/"*.sav "$src/../shared/testdata/sav/"*.zsav "$work/seeds/" 2>/dev/null || true
fi
if [ "$target" = crypt_fuzz ]; then
  # Four control bytes first: wrap with padding as a system file, undamaged.
  for f in "$work/seeds/"*; do
    case $f in *.seed) continue ;; esac
    { printf '\006\000\000\000'; cat "$f"; } >"$f.seed" && rm "$f"
  done
fi

log=$work/fuzz.log
mode=""
if [ "${KEEP_GOING:-0}" = 1 ]; then
  mode="-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1"
fi
set +e
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$build/fuzz/$target" $mode -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
  -timeout=20 -print_final_stats=1 -artifact_prefix="$work/crashes/" \
  "$work/corpus" "$work/seeds" >"$log" 2>&1
status=$?
set -e

echo "exit status: $status"
grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb' "$log" ||
  grep -E '^#[0-9]+' "$log" | tail -n 1
crashes=$(ls "$work/crashes" | wc -l)
echo "crash/timeout/leak inputs: $crashes (in $work/crashes)"
grep -E 'ERROR: (AddressSanitizer|libFuzzer|LeakSanitizer)|runtime error' "$log" | head -n 5 || true
echo "log: $log"
