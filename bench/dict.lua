-- A dictionary with string keys: inserts, then rounds of lookups (half of them
-- misses) that update the entries found.
local n = 5000
local d = {}
for i = 0, n - 1 do
  d["key" .. i] = i
end
local hits, sum = 0, 0
for round = 1, 900 do
  for i = 0, n - 1 do
    local key = "key" .. (i * 2)
    local v = d[key]
    if v ~= nil then
      hits = hits + 1
      sum = sum + v
      d[key] = v + round
    end
  end
end
local count = 0
for _ in pairs(d) do count = count + 1 end
print(string.format("entries = %d", count))
print(string.format("hits = %d", hits))
print(string.format("sum = %d", sum))
print(string.format("key777 = %d", d["key777"]))
print(string.format("key778 = %d", d["key778"]))
