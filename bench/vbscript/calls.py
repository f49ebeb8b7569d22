def add_one(a, b):
    return a + b


def call_million():
    total = 0
    for _ in range(1000000):
        total = add_one(total, 1)
    return total


print(call_million())
