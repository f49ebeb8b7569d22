def add_one(a, b):
    return a + b

total = 0
for i in range(1000000):
    total = add_one(total, 1)
print(total)
