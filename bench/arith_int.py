# Integer arithmetic in a loop: multiply, add, modulo, integer division, shifts and bit operations.
n = 25000000
acc = mix = bits = 0
for i in range(1, n + 1):
    acc = (acc * 31 + i) % 1000000007
    mix = mix + ((i * i) // 7) % 1000 - (i % 13)
    bits = ((bits ^ (i << 3)) & 0xffffff) | ((i >> 5) & 0xff)
print("acc = %d" % acc)
print("mix = %d" % mix)
print("bits = %d" % bits)
