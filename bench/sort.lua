-- Sorting an array of generated integers with the built-in sort.
local n = 1200000
local a = {}
local x = 42
for i = 1, n do
  x = (x * 1103515245 + 12345) % 2147483648
  a[i] = x // 16
end
table.sort(a)
local check = 0
for i = 1, n do
  check = (check * 31 + a[i]) % 1000000007
end
print(string.format("first = %d", a[1]))
print(string.format("median = %d", a[n // 2 + 1]))
print(string.format("last = %d", a[n]))
print(string.format("check = %d", check))
