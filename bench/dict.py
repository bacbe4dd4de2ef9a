# A dictionary with string keys: inserts, then rounds of lookups (half of them
# misses) that update the entries found.
n = 5000
d = {}
for i in range(n):
    d["key" + str(i)] = i
hits = total = 0
for round in range(1, 901):
    for i in range(n):
        key = "key" + str(i * 2)
        v = d.get(key)
        if v is not None:
            hits += 1
            total += v
            d[key] = v + round
print("entries = %d" % len(d))
print("hits = %d" % hits)
print("sum = %d" % total)
print("key777 = %d" % d["key777"])
print("key778 = %d" % d["key778"])
