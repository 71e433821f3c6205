#!/usr/bin/python3
"""Reads an exported file back with a third-party reader and prints it as JSON.

read_export.py csv FILE SEPARATOR  -> [[cell, ...], ...] (Python's csv, UTF-16)
read_export.py xlsx FILE           -> {"sheet": name, "rows": [[[type, value, format], ...]]}
                                      (format: the number format unless "General")
"""
import csv
import json
import sys


def read_csv(path, sep):
    with open(path, encoding="utf-16", newline="") as f:
        return list(csv.reader(f, delimiter=sep))


def read_xlsx(path):
    import openpyxl
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    rows = []
    for row in sheet.iter_rows():
        cells = []
        for c in row:
            v = c.value
            kind = type(v).__name__
            if hasattr(v, "isoformat"):
                v = v.isoformat(sep=" ")
            cells.append([kind, v, "" if c.number_format == "General" else c.number_format])
        rows.append(cells)
    return {"sheet": sheet.title, "rows": rows}


if __name__ == "__main__":
    if sys.argv[1] == "csv":
        out = read_csv(sys.argv[2], sys.argv[3])
    else:
        out = read_xlsx(sys.argv[2])
    json.dump(out, sys.stdout, ensure_ascii=False)
