#!/usr/bin/python3
"""Python's csv writer on the rows bench_csvexport exports: same values, UTF-16, ";" and
quoted text. Only the writing is timed. Usage: csv_python.py FILE [ROWS]"""
import csv
import datetime
import resource
import sys
import time

path = sys.argv[1]
n = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
places = ["Zagreb", "Split", "Čakovec", "Đakovo", "Šibenik"]
start_date = datetime.datetime(2026, 1, 1)
rows = [[i, "Kupac %d d.o.o." % i, places[i % 5], i * 1.25, i % 100,
         start_date + datetime.timedelta(minutes=i), "napomena" if i % 7 else None, bool(i % 2)]
        for i in range(n)]
held = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
t = time.perf_counter()
with open(path, "w", encoding="utf-16", newline="") as f:
    w = csv.writer(f, delimiter=";", quoting=csv.QUOTE_NONNUMERIC, lineterminator="\r\n")
    w.writerow(["Sifra", "Naziv", "Mjesto", "Iznos", "Kolicina", "Datum", "Napomena", "Aktivan"])
    for r in rows:
        w.writerow([str(v).replace(".", ",") if isinstance(v, float) else v for v in r])
s = time.perf_counter() - t
print("python peak RSS MB: %.1f (rows held: %.1f)" % (resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024, held))
print("python csv rows/s: %.0f" % (n / s))
