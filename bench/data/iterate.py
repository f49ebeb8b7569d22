# iterate.py DATABASE: walks the cursor row by row, the loop a Python programmer writes;
# prints the row count, a checksum and the milliseconds taken.
import sqlite3
import sys
import time

db = sqlite3.connect(sys.argv[1])
start = time.perf_counter()
count = checksum = 0
for row in db.execute("SELECT id, sale_date, region, product, quantity, amount FROM sales"):
    count += 1
    checksum += row[0] + row[4] + len(row[2]) + len(row[3])
elapsed = (time.perf_counter() - start) * 1000
print(count, checksum, "%.1f" % elapsed)
