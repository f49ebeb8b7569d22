# make_table.py DATABASE ROWS: the benchmark's table, the same rows every time.
import random
import sqlite3
import sys

path, count = sys.argv[1], int(sys.argv[2])
rng = random.Random(7)
db = sqlite3.connect(path)
db.execute("DROP TABLE IF EXISTS sales")
db.execute("CREATE TABLE sales (id INTEGER PRIMARY KEY, sale_date DATE, region VARCHAR(20), "
           "product VARCHAR(20), quantity INTEGER, amount DOUBLE)")
regions = ["North", "South", "East", "West", "Central"]
db.executemany(
    "INSERT INTO sales VALUES (?, ?, ?, ?, ?, ?)",
    ((i, "2024-%02d-%02d" % (rng.randint(1, 12), rng.randint(1, 28)), rng.choice(regions),
      "Product %d" % rng.randint(1, 40), rng.randint(1, 50), round(rng.random() * 1000, 2))
     for i in range(1, count + 1)))
db.commit()
