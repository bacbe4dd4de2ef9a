-- Recursive calls: the naive Fibonacci function.
local function fib(n)
  if n < 2 then return n end
  return fib(n - 1) + fib(n - 2)
end

local n = 36
print(string.format("fib(%d) = %d", n, fib(n)))
