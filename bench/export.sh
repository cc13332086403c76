#!/usr/bin/env bash
# The export benchmark: brindle-cli export data long.sav as CSV against
# ReadStat (readstat long.sav out.csv) and PSPP (pspp-convert long.sav
# out.csv) in the same run, each writing its CSV to a file; then our Parquet
# (zstd, snappy, uncompressed), Stata and Excel exports and R haven's
# read_sav + write_dta, each with wall time, CPU time (user + system), peak
# memory and size, and as ratios to our CSV export's figures. Outputs go to
# the temporary folder and are removed after each figure. Builds brindle-cli
# and the data file like run.sh (BUILD_DIR names another build); installs
# readstat and pspp when missing (apt).
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

# The outputs go to the temporary folder (the data folder is for the inputs).
tmp=$(mktemp -d "${TMPDIR:-/tmp}/brindle-export.XXXX")
trap 'rm -rf "$tmp"' EXIT

# measure NAME CMD...: one warm-up (none with NO_WARMUP=1), then RUNS runs; prints the median wall
# time, the median CPU time (user + system), the largest peak RSS and the
# output's size.
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
measure() {
  local name=$1; shift
  rm -f "$tmp"/out.*
  [ -n "${NO_WARMUP:-}" ] || "$@" >/dev/null 2>&1 || true
  local times=() cpus=() rss=0
  for ((i = 0; i < runs; i++)); do
    rm -f "$tmp"/out.*
    # Exit code 1 with a note or warning still writes the file; a failure writes none.
    /usr/bin/time -f '%e %U %S %M' -o "$tmp/time" "$@" >/dev/null 2>"$tmp/err" ||
      ls "$tmp"/out.* >/dev/null 2>&1 || { cat "$tmp/err" >&2; return 1; }
    read -r t u s m < <(tail -n 1 "$tmp/time")
    times+=("$t"); cpus+=("$(awk -v u="$u" -v s="$s" 'BEGIN { print u + s }')")
    [ "$m" -gt "$rss" ] && rss=$m
  done
  last_time=$(printf '%s\n' "${times[@]}" | median)
  last_cpu=$(printf '%s\n' "${cpus[@]}" | median)
  last_rss=$rss
  last_size=$(stat -c %s "$tmp"/out.* 2>/dev/null || echo 0)
  printf '%-48s %7s s %7s s CPU %8.1f MB %10s bytes\n' "$name" "$last_time" "$last_cpu" \
    "$(awk -v m="$rss" 'BEGIN { print m / 1024 }')" "$last_size"
  rm -f "$tmp"/out.*
}
# ratio NAME: this figure against our CSV export's (wall, CPU, memory, size).
ratio() {
  awk -v n="$1" -v t="$last_time" -v c="$last_cpu" -v m="$last_rss" -v s="$last_size" \
    -v ct="$csv_time" -v cc="$csv_cpu" -v cm="$csv_rss" -v cs="$csv_size" \
    'BEGIN { printf "  %s/CSV: wall %.2f, CPU %.2f, memory %.2f, size %.3f\n", n, t / ct, c / cc, m / cm, s / cs }'
}

echo "Export benchmark, $runs run(s) per figure (median), load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
cli=$build/src/cli/brindle-cli
measure "brindle-cli export data long.sav" "$cli" export data "$data/long.sav" --out "$tmp/out.csv"
csv_time=$last_time csv_cpu=$last_cpu csv_rss=$last_rss csv_size=$last_size
measure "brindle-cli export data --out long.parquet" "$cli" export data "$data/long.sav" --out "$tmp/out.parquet"
ratio "Parquet (target: wall <= 1.2)"
awk -v ps="$last_size" -v zs="$(stat -c %s "$data/long.zsav" 2>/dev/null || echo 0)" -v ss="$(stat -c %s "$data/long.sav")" \
  'BEGIN { printf "  Parquet/.sav size %.3f, Parquet/.zsav size %s (target < 1)\n", ps / ss, zs ? sprintf("%.3f", ps / zs) : "-" }'
measure "brindle-cli export data --out long.parquet (snappy)" "$cli" export data "$data/long.sav" --out "$tmp/out.parquet" --compression snappy
ratio "Parquet snappy"
measure "brindle-cli export data --out long.parquet (none)" "$cli" export data "$data/long.sav" --out "$tmp/out.parquet" --compression none
ratio "Parquet uncompressed"
measure "brindle-cli export data --out long.dta" "$cli" export data "$data/long.sav" --out "$tmp/out.dta"
ratio "Stata (target: wall <= 2)"
dta_time=$last_time dta_cpu=$last_cpu
if [ -z "${SKIP_PEERS:-}" ] && command -v Rscript >/dev/null && Rscript -e 'library(haven)' >/dev/null 2>&1; then
  NO_WARMUP=1 measure "R haven read_sav + write_dta" Rscript -e \
    "haven::write_dta(haven::read_sav('$data/long.sav'), '$tmp/out.dta')"
  ratio "haven"
  awk -v d="$dta_time" -v h="$last_time" -v dc="$dta_cpu" -v hc="$last_cpu" \
    'BEGIN { printf "  brindle .dta / haven: wall %.2f, CPU %.2f\n", d / h, dc / hc }'
fi
if [ -z "${SKIP_XLSX:-}" ]; then  # minutes: libxlsxwriter writes each cell as XML text
  NO_WARMUP=1 measure "brindle-cli export data --out long.xlsx" "$cli" export data "$data/long.sav" --out "$tmp/out.xlsx"
  ratio "Excel"
  echo "  Excel time $last_time s (target <= 10 s)"
fi
measure "brindle-cli export data --formatted" "$cli" export data "$data/long.sav" --formatted --out "$tmp/out.csv"
measure "brindle-cli export data --labels" "$cli" export data "$data/long.sav" --labels --out "$tmp/out.csv"
if [ -z "${SKIP_PEERS:-}" ]; then
  measure "readstat long.sav out.csv" readstat "$data/long.sav" "$tmp/out.csv"
  measure "pspp-convert long.sav out.csv" pspp-convert "$data/long.sav" "$tmp/out.csv"
fi
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
