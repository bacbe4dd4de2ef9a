-- String building with concatenation, then searching, slicing and case mapping.
local find, sub, upper, byte = string.find, string.sub, string.upper, string.byte
local rounds = 150000
local total, check = 0, 0
for r = 0, rounds - 1 do
  local s = ""
  for j = 0, 29 do
    s = s .. "item" .. ((r * 7 + j) % 100) .. ";"
  end
  local count = 0
  local pos = find(s, "item4", 1, true)
  while pos do
    count = count + 1
    pos = find(s, "item4", pos + 1, true)
  end
  local first = find(s, ";", 1, true) - 1
  local word = upper(sub(s, first + 2, first + 7))
  total = total + #s + count
  check = (check * 131 + byte(word, 5) + #word) % 1000003
end
print(string.format("total = %d", total))
print(string.format("check = %d", check))
