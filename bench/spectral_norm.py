# The classic spectral-norm program: power iteration on an infinite matrix.
from math import sqrt


def A(i, j):
    ij = i + j
    return 1.0 / (ij * (ij + 1) // 2 + i + 1)


def Av(x, y, n):
    for i in range(n):
        a = 0.0
        for j in range(n):
            a = a + A(i, j) * x[j]
        y[i] = a


def Atv(x, y, n):
    for i in range(n):
        a = 0.0
        for j in range(n):
            a = a + A(j, i) * x[j]
        y[i] = a


def AtAv(x, y, t, n):
    Av(x, t, n)
    Atv(t, y, n)


n = 800
u = [1.0] * n
v = [0.0] * n
t = [0.0] * n
for _ in range(10):
    AtAv(u, v, t, n)
    AtAv(v, u, t, n)
vBv = vv = 0.0
for i in range(n):
    vBv = vBv + u[i] * v[i]
    vv = vv + v[i] * v[i]
print("%0.9f" % sqrt(vBv / vv))
