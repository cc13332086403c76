#!/usr/bin/env bash
# The CSV export benchmark: brindle-cli export data long.sav against ReadStat
# (readstat long.sav out.csv) and PSPP (pspp-convert long.sav out.csv) in the
# same run, each writing its CSV to a file, with wall time and peak memory;
# then the Parquet export, with its time as a ratio to our CSV export's and
# its size as a ratio to the CSV's and the .sav file's, and the Excel export.
# Builds brindle-cli and the data file like run.sh; installs readstat and
# pspp when missing (apt).
#   RUNS=3 bench/export.sh       (default 1 run per figure after a warm-up)
#   SKIP_PEERS=1 bench/export.sh (our figures only)
#   SKIP_XLSX=1 bench/export.sh  (without the Excel export, which takes minutes)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-$PWD/build/bench}
data=$PWD/bench/data
runs=${RUNS:-1}

if [ ! -x "$build/src/cli/brindle-cli" ] || [ ! -x "$build/bench/make_long_sav" ]; then
  [ -f "$build/CMakeCache.txt" ] ||
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRINDLE_GUI=OFF -DBRINDLE_TESTS=OFF >/dev/null
  cmake --build "$build" --target brindle-cli make_long_sav -j"$(nproc)" >"$build/bench-build.log" 2>&1 ||
    { echo "build failed, see $build/bench-build.log" >&2; exit 1; }
fi
mkdir -p "$data"
[ -s "$data/long.sav" ] || "$build/bench/make_long_sav" "$data/long.sav"

. bench/common.sh
install_pkg readstat
install_pkg pspp

tmp=$(mktemp -d "$data/export.XXXX")
trap 'rm -rf "$tmp"' EXIT

# measure NAME CMD...: one warm-up, then RUNS runs; prints the median wall
# time, the largest peak RSS and the output's size.
measure() {
  local name=$1; shift
  "$@" >/dev/null 2>&1 || true
  local times=() rss=0
  for ((i = 0; i < runs; i++)); do
    rm -f "$tmp"/out.*
    /usr/bin/time -f '%e %M' -o "$tmp/time" "$@" >/dev/null 2>"$tmp/err" || { cat "$tmp/err" >&2; return 1; }
    read -r t m <"$tmp/time"
    times+=("$t"); [ "$m" -gt "$rss" ] && rss=$m
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
  last_time=$median
  last_size=$(stat -c %s "$tmp"/out.* 2>/dev/null || echo 0)
  printf '%-44s %8s s %8.1f MB %10s bytes\n' "$name" "$median" "$(awk -v m="$rss" 'BEGIN { print m / 1024 }')" \
    "$last_size"
}

echo "Export benchmark, $runs run(s) per figure (median), load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
cli=$build/src/cli/brindle-cli
measure "brindle-cli export data long.sav" "$cli" export data "$data/long.sav" --out "$tmp/out.csv"
csv_time=$last_time csv_size=$last_size
measure "brindle-cli export data --out long.parquet" "$cli" export data "$data/long.sav" --out "$tmp/out.parquet"
awk -v p="$last_time" -v c="$csv_time" -v ps="$last_size" -v cs="$csv_size" -v ss="$(stat -c %s "$data/long.sav")" \
  'BEGIN { printf "  Parquet/CSV time %.2f (target <= 1.2), Parquet/CSV size %.3f, Parquet/.sav size %.3f\n", p / c, ps / cs, ps / ss }'
measure "brindle-cli export data --out long.parquet (none)" "$cli" export data "$data/long.sav" --out "$tmp/out.parquet" --compression none
measure "brindle-cli export data --out long.dta" "$cli" export data "$data/long.sav" --out "$tmp/out.dta"
dta_time=$last_time
awk -v d="$dta_time" -v c="$csv_time" 'BEGIN { printf "  Stata/CSV time %.2f (target <= 2)\n", d / c }'
if [ -z "${SKIP_PEERS:-}" ] && command -v Rscript >/dev/null && Rscript -e 'library(haven)' >/dev/null 2>&1; then
  measure "R haven read_sav + write_dta" Rscript -e \
    "haven::write_dta(haven::read_sav('$data/long.sav'), '$tmp/out.dta')"
  awk -v d="$dta_time" -v h="$last_time" 'BEGIN { printf "  brindle/haven time %.2f\n", d / h }'
fi
if [ -z "${SKIP_XLSX:-}" ]; then  # minutes: libxlsxwriter writes each cell as XML text
  measure "brindle-cli export data --out long.xlsx" "$cli" export data "$data/long.sav" --out "$tmp/out.xlsx"
  echo "  Excel time $last_time s (target <= 10 s)"
fi
measure "brindle-cli export data --formatted" "$cli" export data "$data/long.sav" --formatted --out "$tmp/out.csv"
measure "brindle-cli export data --labels" "$cli" export data "$data/long.sav" --labels --out "$tmp/out.csv"
if [ -z "${SKIP_PEERS:-}" ]; then
  measure "readstat long.sav out.csv" readstat "$data/long.sav" "$tmp/out.csv"
  measure "pspp-convert long.sav out.csv" pspp-convert "$data/long.sav" "$tmp/out.csv"
fi
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
