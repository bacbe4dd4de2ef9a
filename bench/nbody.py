# The classic n-body simulation of the Jovian planets (symplectic integrator).
from math import pi, sqrt

SOLAR_MASS = 4 * pi * pi
DAYS_PER_YEAR = 365.24


class Body:
    def __init__(self, x, y, z, vx, vy, vz, mass):
        self.x, self.y, self.z = x, y, z
        self.vx = vx * DAYS_PER_YEAR
        self.vy = vy * DAYS_PER_YEAR
        self.vz = vz * DAYS_PER_YEAR
        self.mass = mass * SOLAR_MASS


bodies = [
    Body(0, 0, 0, 0, 0, 0, 1),  # sun
    Body(4.84143144246472090e+00, -1.16032004402742839e+00, -1.03622044471123109e-01,
         1.66007664274403694e-03, 7.69901118419740425e-03, -6.90460016972063023e-05,
         9.54791938424326609e-04),  # jupiter
    Body(8.34336671824457987e+00, 4.12479856412430479e+00, -4.03523417114321381e-01,
         -2.76742510726862411e-03, 4.99852801234917238e-03, 2.30417297573763929e-05,
         2.85885980666130812e-04),  # saturn
    Body(1.28943695621391310e+01, -1.51111514016986312e+01, -2.23307578892655734e-01,
         2.96460137564761618e-03, 2.37847173959480950e-03, -2.96589568540237556e-05,
         4.36624404335156298e-05),  # uranus
    Body(1.53796971148509165e+01, -2.59193146099879641e+01, 1.79258772950371181e-01,
         2.68067772490389322e-03, 1.62824170038242295e-03, -9.51592254519715870e-05,
         5.15138902046611451e-05),  # neptune
]


def offset_momentum(b):
    px = py = pz = 0.0
    for bi in b:
        px = px + bi.vx * bi.mass
        py = py + bi.vy * bi.mass
        pz = pz + bi.vz * bi.mass
    b[0].vx = -px / SOLAR_MASS
    b[0].vy = -py / SOLAR_MASS
    b[0].vz = -pz / SOLAR_MASS


def energy(b):
    e = 0.0
    n = len(b)
    for i in range(n):
        bi = b[i]
        e = e + 0.5 * bi.mass * (bi.vx * bi.vx + bi.vy * bi.vy + bi.vz * bi.vz)
        for j in range(i + 1, n):
            bj = b[j]
            dx, dy, dz = bi.x - bj.x, bi.y - bj.y, bi.z - bj.z
            e = e - bi.mass * bj.mass / sqrt(dx * dx + dy * dy + dz * dz)
    return e


def advance(b, dt):
    n = len(b)
    for i in range(n):
        bi = b[i]
        for j in range(i + 1, n):
            bj = b[j]
            dx, dy, dz = bi.x - bj.x, bi.y - bj.y, bi.z - bj.z
            d2 = dx * dx + dy * dy + dz * dz
            mag = dt / (d2 * sqrt(d2))
            bim, bjm = bi.mass * mag, bj.mass * mag
            bi.vx = bi.vx - dx * bjm
            bi.vy = bi.vy - dy * bjm
            bi.vz = bi.vz - dz * bjm
            bj.vx = bj.vx + dx * bim
            bj.vy = bj.vy + dy * bim
            bj.vz = bj.vz + dz * bim
    for bi in b:
        bi.x = bi.x + dt * bi.vx
        bi.y = bi.y + dt * bi.vy
        bi.z = bi.z + dt * bi.vz


n = 350000
offset_momentum(bodies)
print("%0.9f" % energy(bodies))
for _ in range(n):
    advance(bodies, 0.01)
print("%0.9f" % energy(bodies))
