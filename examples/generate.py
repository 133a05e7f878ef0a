#!/usr/bin/env python3
"""Writes the example surveys of this folder: stations over a buried sphere.

The model, in metres and mGal:
  - sphere centre at x = 3000, y = 2000, 600 m below height 0; radius 300 m; density
    contrast 600 kg/m^3, so M = 4/3 pi 300^3 600 = 6.786e10 kg;
  - anomaly of the sphere at a station of height h:
        g = G M z / r^3 * 1e5   (mGal),  z = 600 + h,  r^2 = (x-3000)^2 + (y-2000)^2 + z^2,
    with G = 6.674e-11 m^3 kg^-1 s^-2;
  - its analytic horizontal gradient (mGal/m):
        dg/dx = -3 G M z (x - 3000) / r^5 * 1e5,  dg/dy = -3 G M z (y - 2000) / r^5 * 1e5;
  - regional trend -12 + 0.0004 (x - 3000) - 0.0002 (y - 2000) mGal;
  - smooth terrain 340 + 25 sin(x/700) cos(y/900) + 10 sin((x + y)/400) m, and at each
    station a local relief drawn uniformly from -15 to 15 m (without it the heights
    around a station lie almost on a plane in x and y, and a fit with a height term
    cannot tell the height slope from the horizontal ones);
  - reading noise: normal, standard deviation 0.002 mGal.
CBA = regional + sphere + noise. Python standard library only; fixed seeds, so a run
writes the same files every time.
"""

import argparse
import math
import os
import random

G = 6.674e-11
XS, YS, DEPTH, RADIUS, CONTRAST = 3000.0, 2000.0, 600.0, 300.0, 600.0
MASS = 4.0 / 3.0 * math.pi * RADIUS ** 3 * CONTRAST


def height(x, y):
    return 340.0 + 25.0 * math.sin(x / 700.0) * math.cos(y / 900.0) + 10.0 * math.sin((x + y) / 400.0)


def sphere_anomaly(x, y, h):
    z = DEPTH + h
    r = math.sqrt((x - XS) ** 2 + (y - YS) ** 2 + z * z)
    return G * MASS * z / r ** 3 * 1e5


def horizontal_gradient(x, y, h):
    z = DEPTH + h
    r = math.sqrt((x - XS) ** 2 + (y - YS) ** 2 + z * z)
    k = -3.0 * G * MASS * z / r ** 5 * 1e5
    return k * (x - XS), k * (y - YS)


def cba(x, y, h, rng):
    regional = -12.0 + 0.0004 * (x - XS) - 0.0002 * (y - YS)
    return regional + sphere_anomaly(x, y, h) + rng.gauss(0.0, 0.002)


def station_line(x, y, number, rng):
    h = height(x, y) + rng.uniform(-15.0, 15.0)
    return "%.2f %.2f %d %.2f %.4f\n" % (x, y, number, h, cba(x, y, h, rng))


def write_scattered(folder):
    rng = random.Random(1501)
    lines = []
    for number in range(1, 1501):
        x = rng.uniform(1000.0, 5000.0)
        y = rng.uniform(500.0, 3500.0)
        lines.append(station_line(x, y, number, rng))
    with open(os.path.join(folder, "sphere_survey.dat"), "w") as out:
        out.write("X Y POINT HEIGHT CBA\n")
        out.writelines(lines)
    # The trace subset: the first stations within 600 m of the sphere's axis.
    subset = [l for l in lines if math.hypot(float(l.split()[0]) - XS, float(l.split()[1]) - YS) < 600.0]
    with open(os.path.join(folder, "sphere_subset.dat"), "w") as out:
        out.write("X Y POINT HEIGHT CBA\n")
        out.writelines(subset[:5])


def write_lines(folder):
    rng = random.Random(801)
    with open(os.path.join(folder, "sphere_lines.xyz"), "w") as out:
        out.write("/ Orvane example: north-south lines over a buried sphere\n")
        out.write("/ X Y POINT HEIGHT CBA\n")
        number = 10001
        for k in range(16):
            line_x = 1500.0 + 200.0 * k
            out.write("Line %d\n" % (10 * (k + 1)))
            for s in range(50):
                x = line_x + rng.uniform(-5.0, 5.0)
                y = 600.0 + 57.0 * s + rng.uniform(-3.0, 3.0)
                out.write(station_line(x, y, number, rng))
                number += 1


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(
        description="Writes sphere_survey.dat, sphere_subset.dat and sphere_lines.xyz, "
        "the example surveys over a buried sphere (the same bytes every time).")
    parser.add_argument("--folder", default=here,
                        help="folder to write the files into (default: %(default)s)")
    args = parser.parse_args()
    write_scattered(args.folder)
    write_lines(args.folder)


if __name__ == "__main__":
    main()
