def loop3m():
    total = 0
    for i in range(1, 3000001):
        if i % 2 == 0:
            total += 3
        else:
            total += 1
    return total


print(loop3m())
