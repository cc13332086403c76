#!/usr/bin/env bash
# The codebook benchmark: brindle-cli codebook of long.sav (2,000,000 cases,
# 51 variables) beside brindle-cli freq long.sav q7 and PSPP's FREQUENCIES
# of every variable (/FORMAT=LIMIT(50) /STATISTICS=ALL) in the same run, and
# the codebook of wide.sav (2,001 variables). Builds brindle-cli and the data
# files like run.sh; installs pspp when missing (apt).
#   RUNS=5 bench/codebook.sh        (default 3 runs per figure; one warm-up first)
#   SKIP_PEERS=1 bench/codebook.sh  (our figures only)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-$PWD/build/bench}
data=$PWD/bench/data
runs=${RUNS:-3}

if [ ! -x "$build/src/cli/brindle-cli" ] || [ ! -x "$build/bench/make_long_sav" ] ||
   [ -n "$(find src bench -newer "$build/src/cli/brindle-cli" \( -name '*.cpp' -o -name '*.h' \) -print -quit)" ]; then
  [ -f "$build/CMakeCache.txt" ] ||
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRINDLE_GUI=OFF -DBRINDLE_TESTS=OFF >/dev/null
  cmake --build "$build" --target brindle-cli make_long_sav -j"$(nproc)" >"$build/bench-build.log" 2>&1 ||
    { echo "build failed, see $build/bench-build.log" >&2; exit 1; }
fi
cli=$build/src/cli/brindle-cli
mkdir -p "$data"
[ -s "$data/long.sav" ] || "$build/bench/make_long_sav" "$data/long.sav"
[ -s "$data/wide.sav" ] || "$build/bench/make_long_sav" --wide "$data/wide.sav"

. bench/common.sh
install_pkg pspp

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

pspp_all() {  # FILE
  printf "GET FILE='%s'.\nFREQUENCIES /VARIABLES=ALL /FORMAT=LIMIT(50) /STATISTICS=ALL.\n" "$1" > "$tmp/all.sps"
  pspp -O format=csv -o "$tmp/all.csv" "$tmp/all.sps"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.1fx", a / b; else print "-" }'; }

echo "Codebook benchmark, $runs runs per figure (medians), load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
q7=$(median_of "$cli" freq "$data/long.sav" q7)
book=$(median_of "$cli" codebook "$data/long.sav" --out "$tmp/long.html")
wide=$(median_of "$cli" codebook "$data/wide.sav" --out "$tmp/wide.html")
/usr/bin/time -f '%M' -o "$tmp/rss" "$cli" codebook "$data/long.sav" --out "$tmp/long.html"
book_mb=$(awk '{ printf "%.0f", $1 / 1024 }' "$tmp/rss")
if [ -z "${SKIP_PEERS:-}" ]; then
  pspp=$(median_of pspp_all "$data/long.sav")
else
  pspp=0
fi
printf '%-44s %10s %12s %s\n' "figure" "seconds" "target" "comparison"
printf '%-44s %10s %12s %s\n' "brindle-cli freq long.sav q7" "$q7" "" ""
printf '%-44s %10s %12s %s\n' "brindle-cli codebook long.sav" "$book" "<= 4x q7" \
  "$(ratio "$book" "$q7") q7; PSPP FREQUENCIES ALL $pspp s ($(ratio "$pspp" "$book"), >= 20x); peak $book_mb MB; $(stat -c %s "$tmp/long.html") bytes"
printf '%-44s %10s %12s %s\n' "brindle-cli codebook wide.sav (2001 vars)" "$wide" "<= 2" "$(stat -c %s "$tmp/wide.html") bytes"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
