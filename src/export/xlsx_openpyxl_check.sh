#!/usr/bin/env bash
# Reads workbook exports back with openpyxl (Debian's python3-openpyxl) and
# compares them with the CSV exports of the same data:
#   xlsx_openpyxl_check.sh BRINDLE_CLI EXPORT_TEST TESTDATA_DIR
# the files of TESTDATA_DIR through brindle-cli, and the workbooks of many
# sheets the export test writes. Exit 77 (skipped) without openpyxl.
set -uo pipefail
cli=$1 export_test=$2 testdata=$3
here=$(cd "$(dirname "$0")" && pwd)
python=""
for p in /usr/bin/python3 python3; do
  if "$p" -c 'import openpyxl' 2>/dev/null; then python=$p; break; fi
done
[ -n "$python" ] || { echo "no openpyxl: skipped"; exit 77; }
check() { "$python" "$here/xlsx_openpyxl_check.py" "$@"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
BRINDLE_XLSX_OUT=$work "$export_test" --gtest_filter='ExcelExport.*' >/dev/null ||
  { echo "the export test failed"; exit 1; }
ls "$work"/*.xlsx >/dev/null 2>&1 || { echo "this build writes no workbooks: skipped"; exit 77; }
for f in "$work"/*.xlsx; do
  b=${f%.xlsx}
  check "$f" "$b.raw.csv" "$b.formatted.csv" "$b.vars.csv" "$b.labels.csv" $( [ -e "$b.data_labels.csv" ] && echo "$b.data_labels.csv") || failed=1
done
if [ -d "$testdata" ]; then
  for f in "$testdata"/*.sav "$testdata"/*.zsav; do
    [ -e "$f" ] || continue
    n=$work/$(basename "$f")
    "$cli" export data "$f" --out "$n.raw.csv" 2>/dev/null
    "$cli" export data "$f" --out "$n.formatted.csv" --formatted 2>/dev/null
    "$cli" export data "$f" --out "$n.data_labels.csv" --labels 2>/dev/null
    "$cli" export vars "$f" --out "$n.vars.csv" 2>/dev/null
    "$cli" export labels "$f" --out "$n.labels.csv" 2>/dev/null
    "$cli" export data "$f" --out "$n.xlsx" 2>/dev/null
    "$cli" export data "$f" --out "$n.labels.xlsx" --labels 2>/dev/null
    check "$n.xlsx" "$n.raw.csv" "$n.formatted.csv" "$n.vars.csv" "$n.labels.csv" || failed=1
    check "$n.labels.xlsx" "$n.raw.csv" "$n.formatted.csv" "$n.vars.csv" "$n.labels.csv" "$n.data_labels.csv" || failed=1
  done
fi
exit $failed
