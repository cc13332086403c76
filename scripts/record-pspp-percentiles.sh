#!/usr/bin/env bash
# Records PSPP's quartiles (FREQUENCIES /PERCENTILES=25 50 75, unweighted) of
# every numeric variable of each real data file, as the expectations of the
# quartile conformance test. Numbers are written in F40.10, so the test
# compares figures, not their print formats. Needs the Debian package pspp,
# python3 and a built brindle-cli (for the names of the numeric variables).
# Output, one line per numeric variable in dictionary order:
#   NAME <TAB> 25th <TAB> 50th <TAB> 75th
# Usage: scripts/record-pspp-percentiles.sh [DATA_DIR] [BRINDLE_CLI]
set -euo pipefail
cd "$(dirname "$0")/.."
data=${1:-../shared/testdata/sav}
cli=${2:-build/release/src/cli/brindle-cli}
out=src/values/conformance
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for f in "$data"/*.sav "$data"/*.zsav; do
  [ -e "$f" ] || continue
  name=$(basename "$f")
  # Numeric variables: every print format but A.
  vars=$("$cli" vars "$f" 2>/dev/null | awk -F'\t' '$4 !~ /^A/ { print $1 }' | tr '\n' ' ')
  if [ -z "$vars" ]; then : > "$out/$name.ptiles"; continue; fi
  {
    printf "GET FILE='%s'.\nWEIGHT OFF.\nSET TNUMBERS=VALUES TVARS=NAMES.\n" "$(realpath "$f")"
    printf "FORMATS %s (F40.10).\n" "$vars"
    printf "FREQUENCIES /VARIABLES=%s /FORMAT=NOTABLE /PERCENTILES=25 50 75.\n" "$vars"
  } > "$tmp/p.sps"
  pspp -O format=csv -o "$tmp/p.csv" "$tmp/p.sps" >/dev/null 2>&1 || true
  python3 - "$tmp/p.csv" > "$out/$name.ptiles" <<'PY'
import csv, sys
rows = list(csv.reader(open(sys.argv[1], encoding="utf-8", errors="replace")))
names, q = None, {}
for r in rows:
    if len(r) == 1 and r[0].startswith("Table: "):
        if names is not None:
            break  # PSPP writes the table twice
        continue
    if len(r) > 2 and r[0] == "" and r[1] == "" and names is None:
        names = r[2:]
    elif len(r) > 2 and r[1] in ("25", "50", "75"):
        q[r[1]] = r[2:]
for i, n in enumerate(names or []):
    print("\t".join([n] + [q.get(p, [""] * len(names))[i].strip() for p in ("25", "50", "75")]))
PY
  echo "$name: $(wc -l < "$out/$name.ptiles") variables"
done
