def build():
    parts = []
    for _ in range(160000):
        parts.append("piece")
    return "".join(parts)


print(len(build()))
