#!/usr/bin/env bash
# Records PSPP's unweighted frequency counts of every variable of each real
# data file, as the expectations of the frequency conformance test. Needs the
# Debian package pspp and python3.
# Output, one line per frequency table in dictionary order:
#   TITLE <TAB> valid counts <TAB> missing counts   (counts in PSPP's row order)
# Usage: scripts/record-pspp-frequencies.sh [DATA_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
data=${1:-../shared/testdata/sav}
out=src/values/conformance
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for f in "$data"/*.sav "$data"/*.zsav; do
  [ -e "$f" ] || continue
  name=$(basename "$f")
  printf "GET FILE='%s'.\nWEIGHT OFF.\nFREQUENCIES /VARIABLES=ALL.\n" "$(realpath "$f")" > "$tmp/freq.sps"
  pspp -O format=csv -o "$tmp/freq.csv" "$tmp/freq.sps" >/dev/null 2>&1 || true
  python3 - "$tmp/freq.csv" > "$out/$name.freq" <<'PY'
import csv, sys
rows = list(csv.reader(open(sys.argv[1], encoding="utf-8", errors="replace")))
tables, title, seen = [], None, set()
for r in rows:
    if len(r) == 1 and r[0].startswith("Table: "):
        title = r[0][7:]
        # PSPP writes every table twice; the first copy is enough.
        if title == "Statistics" and tables:
            break
        if title != "Statistics":
            tables.append([title, [], []])
        continue
    if not r or title in (None, "Statistics") or len(r) < 3:
        continue
    if r[0] == "Valid" or r[0] == "Missing":
        block = r[0]
    elif r[0] == "" and r[2] and r[2] != "Frequency":
        pass
    else:
        continue
    tables[-1][1 if block == "Valid" else 2].append(r[2])
for t, valid, missing in tables:
    print(t + "\t" + " ".join(valid) + "\t" + " ".join(missing))
PY
  echo "$name: $(wc -l < "$out/$name.freq") tables"
done
