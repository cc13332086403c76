#!/usr/bin/env bash
# The Data page's figures on the long and wide files, on a warm page cache,
# beside PSPP's LIST of the last cases and R haven reading the whole file,
# measured in the same run. Builds a Release tree with the viewer when needed,
# writes the data files into bench/data/ when missing, installs PSPP and R's
# haven from Debian when missing (apt).
#   RUNS=5 bench/data.sh        (default 3 runs per peer figure; one warm-up first)
#   SKIP_PEERS=1 bench/data.sh  (our figures only)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BUILD_DIR:-$root/build/release}
data=$root/bench/data
runs=${RUNS:-3}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target brindle-cli make_long_sav bench-data-page bench-case-column -j"$(nproc)" \
  >"$build/bench-data-build.log" 2>&1 || { echo "build failed, see $build/bench-data-build.log" >&2; exit 1; }
cli=$build/src/cli/brindle-cli
page=$build/bench/bench-data-page

mkdir -p "$data"
make_data() { [ -s "$data/$1" ] || "$build/bench/make_long_sav" "${@:2}" "$data/$1"; }
make_data long.sav
make_data long.zsav --zsav
make_data long_uncompressed.sav --uncompressed
make_data wide.sav --wide

. bench/common.sh
install_pkg pspp
install_pkg r-base-core
install_pkg r-cran-haven

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.1fx", a / b; else print "-" }'; }

pspp_list() {  # FILE
  printf "GET FILE='%s'.\nLIST /CASES=FROM 1999990 TO 2000000.\n" "$1" > "$tmp/l.sps"
  pspp -O format=csv -o "$tmp/l.csv" "$tmp/l.sps"
}
r_read() {  # FILE
  Rscript -e "suppressMessages(library(haven)); d <- read_sav('$1'); print(d[nrow(d), 1])"
}

echo "Data page benchmark, load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for f in long.sav long.zsav long_uncompressed.sav; do
  echo "== bench-data-page $f"
  "$page" "$data/$f" q7 id 2>&1 | grep -v 'propagateSizeHints\|XDG_RUNTIME_DIR'
done
for f in long.sav long.zsav; do
  for v in q7 id; do
    echo "== bench-case-column $f $v"
    "$build/bench/bench-case-column" "$data/$f" "$v"
  done
done
echo "== bench-data-page wide.sav"
"$page" "$data/wide.sav" v1 v2 2>&1 | grep -v 'propagateSizeHints\|XDG_RUNTIME_DIR'

echo "== the last cases from the command line, and the peers"
for f in long.sav long.zsav; do
  ours=$(median_of "$cli" cases "$data/$f" --from 1999990 --count 11 --formatted)
  line="brindle-cli cases $f --from 1999990 --count 11: $ours s"
  if [ -z "${SKIP_PEERS:-}" ]; then
    pspp=$(median_of pspp_list "$data/$f")
    line="$line; PSPP LIST $pspp s ($(ratio "$pspp" "$ours"))"
    if command -v Rscript >/dev/null; then
      r=$(median_of r_read "$data/$f")
      line="$line; R haven read_sav (whole file) $r s ($(ratio "$r" "$ours"))"
    else
      line="$line; R is not available"
    fi
  fi
  echo "$line"
done
# The command line agrees with PSPP on the values of the last cases.
if [ -z "${SKIP_PEERS:-}" ]; then
  pspp_list "$data/long.sav" >/dev/null 2>&1 || true
  "$cli" cases "$data/long.sav" --from 1999990 --count 11 --vars id,q7,x1 > "$tmp/ours.tsv"
  echo "PSPP's LIST of the same cases (first lines):"
  head -4 "$tmp/l.csv" 2>/dev/null || true
  echo "ours:"
  head -4 "$tmp/ours.tsv"
fi
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
