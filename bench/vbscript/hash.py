def hash_sum():
    d = {}
    for i in range(1, 200001):
        d["key" + str(i)] = i
    found = 0
    for i in range(1, 200001):
        v = d.get("key" + str(i))
        if v is not None:
            found += v
    return found


print(hash_sum())
