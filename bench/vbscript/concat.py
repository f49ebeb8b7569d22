s = ""
for i in range(200000):
    s = s + "piece"
print(len(s))
