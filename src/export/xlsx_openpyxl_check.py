"""Reads a workbook export back with openpyxl and compares it with the CSV
exports of the same data:
  python3 xlsx_openpyxl_check.py XLSX RAW_CSV FORMATTED_CSV VARS_CSV LABELS_CSV [DATA_LABELS_CSV]
The data sheets ("Data", "Data 2", ...) in order hold the raw CSV's rows
under its header, the header row frozen: an empty cell where the CSV field
is empty, numbers equal (to the 15 significant digits a workbook keeps),
dates, date-times and times the same instant (dates the day), text cells of
numeric variables (dates Excel cannot show) the formatted CSV's field, text
equal. With DATA_LABELS_CSV (the export was made with --labels) text cells
are that CSV's fields. "Variables" and "Value labels" hold VARS_CSV's and
LABELS_CSV's rows. Exits 1 with the first difference."""
import csv
import datetime
import math
import sys

import openpyxl

SPSS_EPOCH = datetime.datetime(1582, 10, 14)


def read_csv(path):
    with open(path, encoding="utf-8", newline="") as f:
        return list(csv.reader(f))


def fail(message):
    print(f"{sys.argv[1]}: {message}")
    sys.exit(1)


def main():
    raw, formatted = read_csv(sys.argv[2]), read_csv(sys.argv[3])
    variables, labels = read_csv(sys.argv[4]), read_csv(sys.argv[5])
    data_labels = read_csv(sys.argv[6]) if len(sys.argv) > 6 else None
    book = openpyxl.load_workbook(sys.argv[1], read_only=False)
    names = book.sheetnames
    data_names = [n for n in names if n == "Data" or n.startswith("Data ")]
    want = ["Data"] + [f"Data {i}" for i in range(2, len(data_names) + 1)]
    if data_names != want or names[len(want):] != ["Variables", "Value labels"]:
        fail(f"sheets {names}")
    rows = []
    for name in data_names:
        sheet = book[name]
        if sheet.freeze_panes != "A2":
            fail(f"{name}: frozen at {sheet.freeze_panes}")
        got = [list(r) for r in sheet.iter_rows(values_only=True)]
        header = [c if c is not None else "" for c in got[0]] if got else []
        if header != raw[0]:
            fail(f"{name}: header {header} != {raw[0]}")
        rows += got[1:]
    if len(rows) != len(raw) - 1:
        fail(f"{len(rows)} rows, the CSV has {len(raw) - 1}")
    width = len(raw[0])
    for r, row in enumerate(rows):
        row = list(row) + [None] * (width - len(row))
        for c in range(width):
            cell, field = row[c], raw[r + 1][c]
            where = f"row {r + 1}, {raw[0][c]}"
            if isinstance(cell, str):
                # Strings are the same in both CSVs; a text cell of a
                # numeric variable is its formatted value.
                expected = (data_labels or formatted)[r + 1][c]
                if cell != expected:
                    fail(f"{where}: {cell!r} != {expected!r}")
            elif cell is None:
                if field != "":
                    fail(f"{where}: empty, the CSV has {field!r}")
            elif isinstance(cell, bool):
                fail(f"{where}: a boolean")
            elif isinstance(cell, (int, float)):
                if not math.isclose(cell, float(field), rel_tol=1e-15, abs_tol=0):
                    fail(f"{where}: {cell!r} != {field}")
            elif isinstance(cell, datetime.datetime):
                seconds = (cell - SPSS_EPOCH).total_seconds()
                x = float(field)
                is_day = cell.hour == cell.minute == cell.second == cell.microsecond == 0
                if not (abs(seconds - x) < 1e-3 or (is_day and seconds == math.floor(x / 86400) * 86400)):
                    fail(f"{where}: {cell} != {field}")
            elif isinstance(cell, datetime.timedelta):
                if abs(cell.total_seconds() - float(field)) >= 1e-3:
                    fail(f"{where}: {cell} != {field}")
            elif isinstance(cell, datetime.time):
                seconds = cell.hour * 3600 + cell.minute * 60 + cell.second + cell.microsecond / 1e6
                if abs(seconds - float(field)) >= 1e-3:
                    fail(f"{where}: {cell} != {field}")
            else:
                fail(f"{where}: unexpected {type(cell)}")
    for name, expected in (("Variables", variables), ("Value labels", labels)):
        got = [["" if c is None else c for c in r] for r in book[name].iter_rows(values_only=True)]
        got = [r + [""] * (len(expected[0]) - len(r)) for r in got]
        if got != expected:
            fail(f"{name}: {got[:3]} != {expected[:3]}")
    print(f"{sys.argv[1]}: {len(rows)} rows on {len(data_names)} sheet(s) equal")


main()
