#!/usr/bin/env bash
# Reads Parquet exports back with DuckDB (its Node package, installed here
# into NODE_DIR from the npm registry when missing) and compares them value
# by value with the CSV export of the same data:
#   parquet_duckdb_check.sh BRINDLE_CLI EXPORT_TEST TESTDATA_DIR NODE_DIR
# the files of TESTDATA_DIR through brindle-cli, and the row groups and
# pages the export test writes, snappy pages, user-missing values made null
# and dictionary-encoded strings. Exit 77 (skipped) without node and npm, or
# when the package cannot be installed.
set -uo pipefail
cli=$1 export_test=$2 testdata=$3 node_dir=$4
here=$(cd "$(dirname "$0")" && pwd)
command -v node >/dev/null && command -v npm >/dev/null || { echo "no node or npm: skipped"; exit 77; }
if [ ! -d "$node_dir/node_modules/@duckdb/node-api" ]; then
  mkdir -p "$node_dir"
  (cd "$node_dir" && npm install --no-audit --no-fund --silent @duckdb/node-api >/dev/null 2>&1) ||
    { echo "@duckdb/node-api could not be installed: skipped"; exit 77; }
fi
# Node resolves the package from the script's folder: the script goes beside it.
cp "$here/parquet_duckdb_check.mjs" "$node_dir/"
check() { node "$node_dir/parquet_duckdb_check.mjs" "$@"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
BRINDLE_PARQUET_OUT=$work "$export_test" \
  --gtest_filter='ParquetExport.RowGroupsPagesAndRangeWarnings:ParquetExport.DictionaryPagesAndTheirFallback' >/dev/null ||
  { echo "the export test failed"; exit 1; }
for f in "$work"/*.parquet; do
  dictionary=
  [ "$(basename "$f")" = dictionary.parquet ] && dictionary=1
  EXPECT_DICTIONARY=$dictionary check "$f" "${f%.parquet}.csv" || failed=1
done
if [ -d "$testdata" ]; then
  for f in "$testdata"/*.sav "$testdata"/*.zsav; do
    [ -e "$f" ] || continue
    n=$work/$(basename "$f")
    "$cli" export data "$f" --out "$n.csv" 2>/dev/null
    "$cli" export data "$f" --out "$n.parquet" 2>/dev/null
    "$cli" export dict "$f" --json --out "$n.json" 2>/dev/null
    check "$n.parquet" "$n.csv" "$n.json" || failed=1
    "$cli" export data "$f" --out "$n.labels.csv" --labels 2>/dev/null
    "$cli" export data "$f" --out "$n.labels.parquet" --labels 2>/dev/null
    check "$n.labels.parquet" "$n.csv" "$n.json" "$n.labels.csv" || failed=1
    # snappy pages; user-missing values as null; the dictionary-encoded
    # strings of the files that have repeated ones.
    "$cli" export data "$f" --out "$n.snappy.parquet" --compression snappy 2>/dev/null
    EXPECT_CODEC=SNAPPY check "$n.snappy.parquet" "$n.csv" "$n.json" || failed=1
    "$cli" export data "$f" --out "$n.null.parquet" --user-missing null 2>/dev/null
    case $(basename "$f") in
      foreign_electric.sav | foreign_testdata.sav | pyreadstat_missing_test.sav) some=some ;;
      *) some=1 ;;
    esac
    NULL_MISSING=$some check "$n.null.parquet" "$n.csv" "$n.json" || failed=1
    case $(basename "$f") in
      foreign_electric.sav | foreign_testdata.sav)
        EXPECT_DICTIONARY=1 check "$n.parquet" "$n.csv" "$n.json" || failed=1 ;;
    esac
  done
fi
exit $failed
