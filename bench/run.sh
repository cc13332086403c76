#!/usr/bin/env bash
# The frequency and dictionary benchmarks, side by side with the peers, on a
# warm page cache. Builds Release when needed, writes the data files into
# bench/data/ when missing (make_long_sav), installs PSPP and R's haven when
# missing (apt), and prints a table of medians.
#   RUNS=5 bench/run.sh        (default 3 runs per figure; one warm-up first)
#   SKIP_PEERS=1 bench/run.sh  (our figures only)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BUILD_DIR:-$root/build/bench}
data=$root/bench/data
runs=${RUNS:-3}

if [ ! -x "$build/src/cli/brindle-cli" ] || [ ! -x "$build/bench/make_long_sav" ] || [ ! -x "$build/bench/bench-raw-pass" ] || [ ! -x "$build/bench/bench-next-pass" ] ||
   [ -n "$(find src bench -newer "$build/src/cli/brindle-cli" \( -name '*.cpp' -o -name '*.h' \) -print -quit)" ]; then
  # A fresh build directory skips the tests; an existing one keeps its options.
  if [ -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  else
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRINDLE_GUI=OFF -DBRINDLE_TESTS=OFF >/dev/null
  fi
  cmake --build "$build" --target brindle-cli make_long_sav bench-raw-pass bench-next-pass -j"$(nproc)" >"$build/bench-build.log" 2>&1 ||
    { echo "build failed, see $build/bench-build.log" >&2; exit 1; }
  # Only where libdeflate is installed.
  cmake --build "$build" --target bench-inflate >>"$build/bench-build.log" 2>&1 || true
fi
cli=$build/src/cli/brindle-cli

mkdir -p "$data"
make_data() { [ -s "$data/$1" ] || "$build/bench/make_long_sav" "${@:2}" "$data/$1"; }
make_data long.sav
make_data long_uncompressed.sav --uncompressed
make_data long.zsav --zsav
# PSPP 1.6.2 stops reading long.zsav (and a ZSAV it writes itself from
# long.sav) with "ZLIB stream inconsistency" after about 130,000 cases; the
# smaller file gives a ZSAV figure it reads whole.
make_data long120k.zsav --zsav --cases 120000
make_data wide.sav --wide
make_data wide100k.sav --wide --vars 100000 --cases 10

. bench/common.sh
install_pkg pspp
install_pkg r-cran-haven

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

pspp_freq() {  # FILE VAR
  printf "GET FILE='%s'.\nFREQUENCIES VARIABLES=%s /STATISTICS=MEAN STDDEV MIN MAX VARIANCE SUM.\n" "$1" "$2" > "$tmp/f.sps"
  pspp -O format=csv -o "$tmp/f.csv" "$tmp/f.sps"
}
r_freq() {  # FILE VAR
  Rscript -e "suppressMessages(library(haven)); d <- read_sav('$1', col_select = '$2'); print(table(d[['$2']]))"
}

rows=()
row() { rows+=("$(printf '%-40s %10s %12s %s' "$1" "$2" "$3" "${4:-}")"); }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.1fx", a / b; else print "-" }'; }

load=$(cut -d' ' -f1-3 /proc/loadavg)
echo "Benchmark, $runs runs per figure (medians), load average before: $load"

cat_sav=$(median_of cat "$data/long.sav")
cat_unc=$(median_of cat "$data/long_uncompressed.sav")
cat_zsav=$(median_of cat "$data/long.zsav")

q7=$(median_of "$cli" freq "$data/long.sav" q7)
x3=$(median_of "$cli" freq "$data/long.sav" x3)
s1=$(median_of "$cli" freq "$data/long.sav" s1)
q7w=$(median_of "$cli" freq "$data/long.sav" q7 --weight w)
q7u=$(median_of "$cli" freq "$data/long_uncompressed.sav" q7)
q7z=$(median_of "$cli" freq "$data/long.zsav" q7)
q7z120=$(median_of "$cli" freq "$data/long120k.zsav" q7)
idv=$(median_of "$cli" freq "$data/long.sav" id)
/usr/bin/time -f '%M' -o "$tmp/rss" "$cli" freq "$data/long.sav" id >/dev/null
id_mb=$(awk '{ printf "%.0f", $1 / 1024 }' "$tmp/rss")
/usr/bin/time -f '%M' -o "$tmp/rss" "$cli" freq "$data/long.sav" x3 >/dev/null
rss_mb=$(awk '{ printf "%.1f", $1 / 1024 }' "$tmp/rss")
vars_wide=$(median_of "$cli" vars "$data/wide.sav")
vars_100k=$(median_of "$cli" vars "$data/wide100k.sav")
raw_line=$("$build/bench/bench-raw-pass" "$data/long.sav" q7 "$runs")
# The floor under a ZSAV pass: reading and inflating its blocks alone, on every core.
inflate_zsav=0
[ -x "$build/bench/bench-inflate" ] &&
  inflate_zsav=$("$build/bench/bench-inflate" "$data/long.zsav" "$runs" | sed -n 's/.* threads: median \([0-9.]*\) s$/\1/p')
raw=$(echo "$raw_line" | sed 's/.*median \([0-9.]*\) s.*/\1/')
raw_mbs=$(echo "$raw_line" | sed 's/.* \([0-9]*\) MB\/s.*/\1/')

if [ -z "${SKIP_PEERS:-}" ]; then
  pspp_q7=$(median_of pspp_freq "$data/long.sav" q7)
  pspp_q7z=$(median_of pspp_freq "$data/long.zsav" q7)
  pspp_freq "$data/long.zsav" q7 >"$tmp/pspp.out" 2>&1 || true
  pspp_zsav_note=""
  grep -qi "error" "$tmp/pspp.out" "$tmp/f.csv" 2>/dev/null &&
    pspp_zsav_note="; PSPP stops with a read error after $(awk -F, '/^N,Valid/ { print $3; exit }' "$tmp/f.csv") cases"
  pspp_q7z120=$(median_of pspp_freq "$data/long120k.zsav" q7)
  r_q7=$(median_of r_freq "$data/long.sav" q7)
  r_q7z=$(median_of r_freq "$data/long.zsav" q7)
else
  pspp_q7=0 pspp_q7z=0 r_q7=0 r_q7z=0 pspp_q7z120=0 pspp_zsav_note=""
fi
# A move after the first pass: the pass over another variable of an indexed file.
next_sav=$("$build/bench/bench-next-pass" "$data/long.sav" q7 q8 "$runs" | sed -n 's/^next pass (q8, \(.*\)): \([0-9.]*\) s.*/\2 s on \1/p' | paste -sd';' -)
next_zsav=$("$build/bench/bench-next-pass" "$data/long.zsav" q7 q8 "$runs" | sed -n 's/^next pass (q8, \(.*\)): \([0-9.]*\) s.*/\2 s on \1/p' | paste -sd';' -)

row "figure" "seconds" "target" "comparison"
row "brindle-cli freq long.sav q7" "$q7" "<= 0.35" "$(ratio "$q7" "$cat_sav") cat (<= 2x); PSPP $pspp_q7 s ($(ratio "$pspp_q7" "$q7"), >= 20x); R haven $r_q7 s ($(ratio "$r_q7" "$q7"), >= 14x)"
row "move after first pass, long.sav" "-" "<= 0.15" "$next_sav"
row "move after first pass, long.zsav" "-" "" "$next_zsav"
row "brindle-cli freq long.sav id" "$idv" "<= 3x q7" "$(ratio "$idv" "$q7") q7; peak $id_mb MB (< 200)"
row "brindle-cli freq long.sav x3" "$x3" "<= 0.6"
row "brindle-cli freq long.sav s1" "$s1" "<= 0.5"
row "brindle-cli freq long.sav q7 --weight w" "$q7w" "<= 0.45"
row "brindle-cli freq long.zsav q7" "$q7z" ">= 8x R" "$(ratio "$q7z" "$inflate_zsav") inflating alone on every core ($inflate_zsav s, <= 1.2x); R haven $r_q7z s ($(ratio "$r_q7z" "$q7z")); PSPP $pspp_q7z s$pspp_zsav_note; PSPP on long.sav $pspp_q7 s ($(ratio "$pspp_q7" "$q7z"))"
row "brindle-cli freq long120k.zsav q7" "$q7z120" ">= 3x PSPP" "PSPP $pspp_q7z120 s ($(ratio "$pspp_q7z120" "$q7z120"))"
row "brindle-cli freq uncompressed q7" "$q7u" "-"
row "peak RSS, freq long.sav x3 (MB)" "$rss_mb" "< 100"
row "brindle-cli vars wide.sav (2001 vars)" "$vars_wide" "< 0.030"
row "brindle-cli vars wide100k.sav" "$vars_100k" "< 0.5"
row "raw pass long.sav (I/O module)" "$raw" "" "$raw_mbs MB/s; cat $(awk -v b="$(stat -c %s "$data/long.sav")" -v s="$cat_sav" 'BEGIN { printf "%.0f", b / 1e6 / s }') MB/s"
row "cat long.sav / uncompressed / zsav" "$cat_sav" "" "$cat_unc s / $cat_zsav s"
printf '%s\n' "${rows[@]}"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
