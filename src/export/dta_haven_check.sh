#!/usr/bin/env bash
# Reads Stata exports back with R haven (Debian's r-cran-haven) and compares
# them with the CSV export of the same data:
#   dta_haven_check.sh BRINDLE_CLI EXPORT_TEST TESTDATA_DIR
# the files of TESTDATA_DIR through brindle-cli, and the file the export
# test writes (its user-missing codes as .a, .b, .c; data that ends early). Exit 77 (skipped)
# without R haven.
set -uo pipefail
cli=$1 export_test=$2 testdata=$3
here=$(cd "$(dirname "$0")" && pwd)
command -v Rscript >/dev/null && Rscript -e 'library(haven)' >/dev/null 2>&1 ||
  { echo "no R haven: skipped"; exit 77; }
check() { Rscript "$here/dta_haven_check.R" "$@"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
BRINDLE_DTA_OUT=$work "$export_test" --gtest_filter='StataExport.*' >/dev/null ||
  { echo "the export test failed"; exit 1; }
[ -e "$work/mixed.dta" ] || { echo "this build writes no Stata files: skipped"; exit 77; }
check "$work/mixed.dta" "$work/mixed.csv" "m:2:a,m:3:b,r_range:2:a,r_range:3:b,r_range:4:a" || failed=1
# Data that ends early: the cases that could be read, and the count of them.
for f in "$work"/short_*.dta; do check "$f" "${f%.dta}.csv" "m:2:a,m:3:b,r_range:2:a,r_range:3:b,r_range:4:a" || failed=1; done
if [ -d "$testdata" ]; then
  for f in "$testdata"/*.sav "$testdata"/*.zsav; do
    [ -e "$f" ] || continue
    n=$work/$(basename "$f")
    "$cli" export data "$f" --out "$n.csv" 2>/dev/null
    "$cli" export data "$f" --out "$n.dta" 2>/dev/null
    check "$n.dta" "$n.csv" || failed=1
  done
fi
exit $failed
