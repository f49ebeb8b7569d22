# fetchall.py DATABASE: reads the table with sqlite3's fetchall, as a Python programmer would;
# prints the row count, a checksum and the milliseconds the fetch took.
import sqlite3
import sys
import time

db = sqlite3.connect(sys.argv[1])
start = time.perf_counter()
rows = db.execute("SELECT id, sale_date, region, product, quantity, amount FROM sales").fetchall()
elapsed = (time.perf_counter() - start) * 1000
checksum = sum(r[0] + r[4] + len(r[2]) + len(r[3]) for r in rows)
print(len(rows), checksum, "%.1f" % elapsed)
