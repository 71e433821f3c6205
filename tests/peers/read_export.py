#!/usr/bin/python3
"""Reads an exported file back with a third-party reader and prints it as JSON.

read_export.py csv FILE SEPARATOR  -> [[cell, ...], ...] (Python's csv, UTF-16)
read_export.py xlsx FILE           -> {"sheet": name, "rows": [[[type, value, format], ...]]}
                                      (format: the number format unless "General")
"""
import csv
import json
import sys


def cell(c):
    v = c.value.isoformat(sep=" ") if hasattr(c.value, "isoformat") else c.value
    return [type(c.value).__name__, v, "" if c.number_format == "General" else c.number_format]


if sys.argv[1] == "csv":
    with open(sys.argv[2], encoding="utf-16", newline="") as f:
        out = list(csv.reader(f, delimiter=sys.argv[3]))
else:
    import openpyxl
    sheet = openpyxl.load_workbook(sys.argv[2]).worksheets[0]
    out = {"sheet": sheet.title, "rows": [[cell(c) for c in row] for row in sheet.iter_rows()]}
json.dump(out, sys.stdout, ensure_ascii=False)
