#!/usr/bin/env bash
# Records what PSPP reads from each real data file (SYSFILE INFO as CSV), as the
# expectations of the conformance test. Needs the Debian package pspp.
# Usage: scripts/record-pspp-expectations.sh [DATA_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
data=${1:-../shared/testdata/sav}
out=src/cli/conformance
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for f in "$data"/*.sav "$data"/*.zsav; do
  [ -e "$f" ] || continue
  name=$(basename "$f")
  printf "SYSFILE INFO FILE='%s'.\n" "$(realpath "$f")" > "$tmp/info.sps"
  pspp -O format=csv -o "$tmp/info.csv" "$tmp/info.sps" >/dev/null 2>&1 || true
  # PSPP prints the tables twice into the file; keep the first copy, and drop
  # the File line, which holds this machine's path.
  awk '/^Table: File Information/ && seen++ { exit } { print }' "$tmp/info.csv" |
    grep -v -e '^File,' -e '^"warning: ' > "$out/$name.csv"
  echo "$name: $(wc -l < "$out/$name.csv") lines"
done
