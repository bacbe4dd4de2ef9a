# Sorting an array of generated integers with the built-in sort.
n = 1200000
a = []
x = 42
for i in range(n):
    x = (x * 1103515245 + 12345) % 2147483648
    a.append(x // 16)
a.sort()
check = 0
for v in a:
    check = (check * 31 + v) % 1000000007
print("first = %d" % a[0])
print("median = %d" % a[n // 2])
print("last = %d" % a[n - 1])
print("check = %d" % check)
