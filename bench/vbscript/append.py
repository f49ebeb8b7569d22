def grow():
    s = ""
    for _ in range(50000):
        s += "piece"
    return s


print(len(grow()))
