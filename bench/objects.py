# Class instances: construction, field access, method calls and an overridden
# method that calls the one it overrides.
class Vec:
    def __init__(self, x, y):
        self.x = x
        self.y = y

    def add(self, o):
        return Vec(self.x + o.x, self.y + o.y)

    def dot(self, o):
        return self.x * o.x + self.y * o.y


class Body:
    def __init__(self, mass):
        self.mass = mass

    def weight(self):
        return self.mass * 10


class Ball(Body):
    def __init__(self, mass, radius):
        super().__init__(mass)
        self.radius = radius

    def weight(self):
        return super().weight() + self.radius


class Counter:
    def __init__(self):
        self.hits = 0

    def bump(self, v):
        self.hits += v % 3
        return self.hits


n = 1500000
total = Vec(0, 0)
check = weights = 0
counter = Counter()
for i in range(1, n + 1):
    v = Vec(i % 10, i % 7)
    total = total.add(v)
    check = (check + total.dot(v)) % 1000000007
    body = Ball(i % 5, i % 3) if i % 2 == 0 else Body(i % 5)
    weights += body.weight()
    counter.bump(i)
print("sum = %d,%d" % (total.x, total.y))
print("check = %d" % check)
print("weights = %d" % weights)
print("hits = %d" % counter.hits)
