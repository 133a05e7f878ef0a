#!/usr/bin/python3
"""The radius-mp case done the way a numpy/scipy user would write it, for comparison.

    numpy_peer.py SURVEY RADIUS OUTPUT

Reads the survey (x, y, point, height, CBA), finds every pair of stations within RADIUS
with a k-d tree, builds each station's 4 x 4 normal equations of the plane
CBA = a*x + b*y + c*h + d (x and y taken relative to the station, the station itself
left out) in batches, solves them all with the pseudo-inverse and writes one text row a
station: x, y, point, h, CBA, the gradients, their modulus, the vertical gradient, RGA,
LGA, the analytic signal, the tilt angle and the number of neighbours. Prints the
seconds it took to stdout. Needs Debian's python3-numpy and python3-scipy.
"""

import sys
import time

import numpy as np
from scipy.spatial import cKDTree

# Pairs whose terms are summed at a time: bounds the memory of the temporaries.
PAIR_CHUNK = 4_000_000


def normal_equations(xy, h, u, first, second):
    """Sums t t^T and t*U over the pairs (station first, neighbour second), t = [X, Y, Z, 1]."""
    n = len(h)
    upper = [(i, k) for i in range(4) for k in range(i, 4)]
    a = np.zeros((n, 4, 4))
    b = np.zeros((n, 4))
    for start in range(0, len(first), PAIR_CHUNK):
        i = first[start:start + PAIR_CHUNK]
        j = second[start:start + PAIR_CHUNK]
        t = (xy[j, 0] - xy[i, 0], xy[j, 1] - xy[i, 1], h[j], np.ones(len(i)))
        for r, c in upper:
            a[:, r, c] += np.bincount(i, weights=t[r] * t[c], minlength=n)
        for r in range(4):
            b[:, r] += np.bincount(i, weights=t[r] * u[j], minlength=n)
    for r, c in upper:
        a[:, c, r] = a[:, r, c]
    return a, b


def main():
    survey, radius, output = sys.argv[1], float(sys.argv[2]), sys.argv[3]
    start = time.perf_counter()
    data = np.loadtxt(survey, skiprows=1)
    xy, number, h, u = data[:, 0:2], data[:, 2], data[:, 3], data[:, 4]
    xy = xy - np.minimum(xy.min(axis=0), 0.0)

    pairs = cKDTree(xy).query_pairs(radius, output_type="ndarray")
    first = np.concatenate((pairs[:, 0], pairs[:, 1]))
    second = np.concatenate((pairs[:, 1], pairs[:, 0]))
    del pairs

    a, b = normal_equations(xy, h, u, first, second)
    coefficients = np.einsum("nij,nj->ni", np.linalg.pinv(a), b)

    gx, gy, gz, rga = coefficients.T
    hgga = np.hypot(gx, gy)
    asig = np.sqrt(gx * gx + gy * gy + gz * gz)
    tilt = np.arctan2(gz, hgga)
    count = a[:, 3, 3]
    rows = np.column_stack((xy[:, 0], xy[:, 1], number, h, u, gx, gy, hgga, gz, rga, u - rga,
                            asig, tilt, count))
    np.savetxt(output, rows,
               fmt="%11.3f %11.3f %10.0f %10.3f %10.6f %10.6f %10.6f %10.6f %10.6f %10.6f "
                   "%10.6f %10.6f %10.6f %10.0f",
               header="x y point h cba hggax hggay hgga vgga rga lga asig tilt_angle npoints")
    print(f"{time.perf_counter() - start:.3f}")


if __name__ == "__main__":
    main()
