-- Real arithmetic in a loop: series sums, products and divisions on doubles.
local n = 25000000
local basel, leibniz, sign = 0.0, 0.0, 1.0
local x, mean = 0.5, 0.0
for i = 1, n do
  local r = i * 1.0
  basel = basel + 1.0 / (r * r)
  leibniz = leibniz + sign / (2.0 * r - 1.0)
  sign = -sign
  x = 3.7 * x * (1.0 - x)
  mean = mean + (x - mean) / r
end
print(string.format("basel = %.9f", basel))
print(string.format("leibniz = %.9f", 4.0 * leibniz))
print(string.format("logistic = %.9f", x))
print(string.format("mean = %.9f", mean))
