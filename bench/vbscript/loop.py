total = 0
for i in range(1, 3000001):
    if i % 2 == 0:
        total = total + 3
    else:
        total = total + 1
print(total)
