# Real arithmetic in a loop: series sums, products and divisions on doubles.
n = 25000000
basel, leibniz, sign = 0.0, 0.0, 1.0
x, mean = 0.5, 0.0
for i in range(1, n + 1):
    r = i * 1.0
    basel = basel + 1.0 / (r * r)
    leibniz = leibniz + sign / (2.0 * r - 1.0)
    sign = -sign
    x = 3.7 * x * (1.0 - x)
    mean = mean + (x - mean) / r
print("basel = %.9f" % basel)
print("leibniz = %.9f" % (4.0 * leibniz))
print("logistic = %.9f" % x)
print("mean = %.9f" % mean)
