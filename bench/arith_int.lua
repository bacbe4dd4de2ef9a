-- Integer arithmetic in a loop: multiply, add, modulo, integer division, shifts and bit operations.
local n = 25000000
local acc, mix, bits = 0, 0, 0
for i = 1, n do
  acc = (acc * 31 + i) % 1000000007
  mix = mix + ((i * i) // 7) % 1000 - (i % 13)
  bits = ((bits ~ (i << 3)) & 0xffffff) | ((i >> 5) & 0xff)
end
print(string.format("acc = %d", acc))
print(string.format("mix = %d", mix))
print(string.format("bits = %d", bits))
