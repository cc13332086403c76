"""Reads an exported CSV file back with Python's csv module and compares it
with what the export test expected: python3 csv_roundtrip_check.py CSV JSON.
Each expected cell is null (an empty field), {"n": hex float} (a number that
must read back to exactly that double) or {"s": text} (exact text)."""
import csv
import io
import json
import math
import struct
import sys


def bits(x):
    return struct.pack("<d", x)


def main():
    with open(sys.argv[2], encoding="utf-8") as f:
        expected = json.load(f)
    with open(sys.argv[1], encoding="utf-8", newline="") as f:
        raw = f.read()
    if "\r" in raw:
        print("a carriage return in the output")
        return 1
    rows = list(csv.reader(io.StringIO(raw, newline="")))
    if rows[0] != expected["header"]:
        print("header", rows[0], "!=", expected["header"])
        return 1
    body = rows[1:]
    if len(body) != len(expected["rows"]):
        print(len(body), "rows, expected", len(expected["rows"]))
        return 1
    for r, (got, want) in enumerate(zip(body, expected["rows"]), start=1):
        if len(got) != len(want):
            print("row", r, "has", len(got), "fields, expected", len(want))
            return 1
        for c, (field, cell) in enumerate(zip(got, want)):
            if cell is None:
                ok = field == ""
            elif "n" in cell:
                x = float.fromhex(cell["n"])
                ok = field != "" and (bits(float(field)) == bits(x) or (math.isnan(x) and math.isnan(float(field))))
            else:
                ok = field == cell["s"]
            if not ok:
                print("row", r, "column", c, repr(field), "!=", cell)
                return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
