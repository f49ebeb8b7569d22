d = {}
for i in range(1, 200001):
    d["key" + str(i)] = i
found = 0
for i in range(1, 200001):
    k = "key" + str(i)
    if k in d:
        found = found + d[k]
print(found)
