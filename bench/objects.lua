-- Class instances: construction, field access, method calls and an overridden
-- method that calls the one it overrides.
local Vec = {}
Vec.__index = Vec

function Vec.new(x, y)
  return setmetatable({x = x, y = y}, Vec)
end

function Vec:add(o)
  return Vec.new(self.x + o.x, self.y + o.y)
end

function Vec:dot(o)
  return self.x * o.x + self.y * o.y
end

local Body = {}
Body.__index = Body

function Body.new(mass)
  return setmetatable({mass = mass}, Body)
end

function Body:weight()
  return self.mass * 10
end

local Ball = setmetatable({}, {__index = Body})
Ball.__index = Ball

function Ball.new(mass, radius)
  local ball = Body.new(mass)
  ball.radius = radius
  return setmetatable(ball, Ball)
end

function Ball:weight()
  return Body.weight(self) + self.radius
end

local Counter = {}
Counter.__index = Counter

function Counter.new()
  return setmetatable({hits = 0}, Counter)
end

function Counter:bump(v)
  self.hits = self.hits + v % 3
  return self.hits
end

local n = 1500000
local sum = Vec.new(0, 0)
local check, weights = 0, 0
local counter = Counter.new()
for i = 1, n do
  local v = Vec.new(i % 10, i % 7)
  sum = sum:add(v)
  check = (check + sum:dot(v)) % 1000000007
  local body = (i % 2 == 0) and Ball.new(i % 5, i % 3) or Body.new(i % 5)
  weights = weights + body:weight()
  counter:bump(i)
end
print(string.format("sum = %d,%d", sum.x, sum.y))
print(string.format("check = %d", check))
print(string.format("weights = %d", weights))
print(string.format("hits = %d", counter.hits))
